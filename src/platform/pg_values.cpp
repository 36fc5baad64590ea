// The PostgreSQL back end: the server's values read as SQLite would give them, and a
// statement's text made ready for the server (":name" parameters numbered, a script split).
#include "platform/pg_backend.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace Pg {

qint64 parseInteger(const char* text, int length)
{
    int i = 0;
    bool negative = false;
    if (i < length && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    quint64 value = 0;
    for (; i < length; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - '0';
        if (digit > 9)
            break;
        value = value * 10 + digit;
    }
    return static_cast<qint64>(negative ? 0 - value : value);
}

ColumnKind kindOf(Oid type, Oid table)
{
    switch (type) {
    case Int8Oid:
    case Int2Oid:
    case Int4Oid:
    case OidOid:
        return ColumnKind::Integer;
    case BoolOid:
        return ColumnKind::Boolean;
    case Float4Oid:
    case Float8Oid:
        return ColumnKind::Real;
    case NumericOid:
        return table != InvalidOid ? ColumnKind::StoredNumeric : ColumnKind::Numeric;
    case ByteaOid:
        return ColumnKind::Bytes;
    default:
        return ColumnKind::Text;
    }
}

// A numeric as SQLite gives it. A column's NUMERIC affinity keeps a whole value (also one
// written 10.0) as an integer; a computed number is an integer only when it has no fraction
// at all (SQLite's avg is always a REAL). Others are REAL.
SqlValue numericValue(const char* text, int length, ColumnKind kind)
{
    const std::string_view digits(text, static_cast<size_t>(length));
    const size_t point = digits.find('.');
    const bool whole = digits.find_first_of("eEIN") == std::string_view::npos
                       && (point == std::string_view::npos
                           || (kind == ColumnKind::StoredNumeric
                               && digits.find_first_not_of('0', point + 1) == std::string_view::npos));
    const size_t integerPart = std::min(point, digits.size());
    if (whole && integerPart <= 18)
        return SqlValue::integer(parseInteger(text, static_cast<int>(integerPart)));
    double value = 0;
    std::from_chars(text, text + length, value);
    return SqlValue::real(value);
}

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Where the literal, quoted name or comment that starts at i ends (just past it); -1 when
// none starts there. A doubled quote inside stands for one.
qsizetype endOfQuotedOrComment(const QString& sql, qsizetype i)
{
    const QChar c = sql.at(i);
    const QChar next = i + 1 < sql.size() ? sql.at(i + 1) : QChar();
    if (c == u'-' && next == u'-') {
        const qsizetype end = sql.indexOf(u'\n', i);
        return end < 0 ? sql.size() : end;
    }
    if (c == u'/' && next == u'*') {
        const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
        return end < 0 ? sql.size() : end + 2;
    }
    if (c != u'\'' && c != u'"')
        return -1;
    qsizetype end = i + 1;
    while (end < sql.size()) {
        if (sql.at(end) == c) {
            if (end + 1 < sql.size() && sql.at(end + 1) == c) {
                end += 2;
                continue;
            }
            return end + 1;
        }
        ++end;
    }
    return end;
}

} // namespace

// "\x" and two hex digits a byte (the server's default output).
QByteArray decodeBytea(const char* text, int length)
{
    if (length >= 2 && text[0] == '\\' && text[1] == 'x') {
        QByteArray bytes;
        bytes.resize((length - 2) / 2);
        char* out = bytes.data();
        for (int i = 2; i + 1 < length; i += 2)
            *out++ = static_cast<char>(hexValue(text[i]) << 4 | hexValue(text[i + 1]));
        return bytes;
    }
    // The older escape form, should the server be set to it.
    size_t size = 0;
    unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
    QByteArray bytes(reinterpret_cast<const char*>(raw), static_cast<qsizetype>(size));
    PQfreemem(raw);
    return bytes;
}

SqlValue valueOf(const PGresult* result, int row, int column, ColumnKind kind)
{
    if (PQgetisnull(result, row, column))
        return SqlValue();
    const char* text = PQgetvalue(result, row, column);
    const int length = PQgetlength(result, row, column);
    const QByteArray raw = QByteArray::fromRawData(text, length);
    switch (kind) {
    case ColumnKind::Integer:
        return SqlValue::integer(raw.toLongLong());
    case ColumnKind::Boolean:
        return SqlValue::integer(text[0] == 't' ? 1 : 0);
    case ColumnKind::Real:
        return SqlValue::real(raw.toDouble());
    case ColumnKind::StoredNumeric:
    case ColumnKind::Numeric:
        return numericValue(text, length, kind);
    case ColumnKind::Bytes:
        return SqlValue::blob(decodeBytea(text, length));
    case ColumnKind::Text:
        break;
    }
    return SqlValue::text(QByteArray(text, length));
}

QString numberParameters(const QString& sql, QStringList& names)
{
    QString out;
    out.reserve(sql.size());
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        if (const qsizetype end = endOfQuotedOrComment(sql, i); end >= 0) {
            out += QStringView(sql).mid(i, end - i);
            i = end;
        } else if (c == u':' && i + 1 < sql.size() && sql.at(i + 1) == u':') {
            out += QStringLiteral("::");
            i += 2;
        } else if (c == u':' && i + 1 < sql.size()
                   && (sql.at(i + 1).isLetter() || sql.at(i + 1) == u'_')) {
            qsizetype end = i + 1;
            while (end < sql.size() && (sql.at(end).isLetterOrNumber() || sql.at(end) == u'_'))
                ++end;
            const QString name = sql.mid(i + 1, end - i - 1);
            qsizetype number = names.indexOf(name);
            if (number < 0) {
                names.append(name);
                number = names.size() - 1;
            }
            out += u'$' + QString::number(number + 1);
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QStringList splitStatements(const QString& sql)
{
    QStringList statements;
    QString current;
    bool content = false;
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        qsizetype end = endOfQuotedOrComment(sql, i);
        if (end >= 0) {
            content = content || c == u'\'' || c == u'"';
        } else if (c == u';') {
            if (content)
                statements.append(current);
            current.clear();
            content = false;
            ++i;
            continue;
        } else {
            end = i + 1;
            content = content || !c.isSpace();
        }
        current += QStringView(sql).mid(i, end - i);
        i = end;
    }
    if (content)
        statements.append(current);
    return statements;
}

} // namespace Pg
