#include "catalogue/sql_text.h"

#include "catalogue/catalogue.h"
#include "platform/day_count.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

#include <QLocale>
#include <cmath>
#include <optional>

namespace {

// The largest record_count as an integer: NULL (no rows) is 0; anything that is not a
// whole number has no integer reading.
std::optional<qint64> counterValue(const SqlValue& value)
{
    switch (value.type()) {
    case SqlValue::Type::Null:
        return 0;
    case SqlValue::Type::Integer:
        return value.toInt();
    case SqlValue::Type::Real: {
        const double real = value.toText().toDouble();
        if (std::trunc(real) != real || std::fabs(real) > 9.0e18)
            return std::nullopt;
        return static_cast<qint64>(real);
    }
    case SqlValue::Type::Text: {
        bool ok = false;
        const qint64 parsed = value.toText().trimmed().toLongLong(&ok);
        return ok ? std::optional<qint64>(parsed) : std::nullopt;
    }
    case SqlValue::Type::Blob:
        break;
    }
    return std::nullopt;
}

// Stored values carry no time zone, so the zone that Qt's long time formats end with
// ("t") is left out, together with the blanks that set it apart.
QString withoutTimeZone(const QString& format)
{
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result += c;
    }
    return result.trimmed();
}

QString regionalPattern(const QString& pattern)
{
    if (pattern != u"c")
        return pattern;
    const QLocale locale;
    return locale.dateFormat(QLocale::ShortFormat) + u' '
           + withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

bool isNonZeroDigit(QChar c)
{
    return c >= u'1' && c <= u'9';
}

} // namespace

qint64 GetLastInsertId(SqlConnection& connection, const QString& table)
{
    // A server gives the new id with the INSERT itself.
    if (connection.isServer())
        return connection.lastInsertRowId();
    // The statement yields one row per row of the table; only the first is read.
    SqlStatement statement =
        connection.prepare(QStringLiteral("SELECT last_insert_rowid() FROM [") + table + u']');
    if (!statement.step())
        return -1;
    return statement.integer(0);
}

qint64 GetNextRecordCount(SqlConnection& connection, const QString& table, qint64 beginValue)
{
    // Inside the save's transaction no other user reads the largest counter until the new
    // one is written.
    if (connection.inTransaction())
        connection.lockCounter(table);
    const QueryResult result = connection.query(QStringLiteral("SELECT max(record_count) FROM ")
                                                + connection.dialect().name(table));
    qint64 next = 0;
    if (!result.isEmpty()) {
        const auto& row = result.rows.front();
        const auto largest = row.empty() ? std::nullopt : counterValue(row.front());
        next = largest ? *largest + 1 : -1;
    }
    if (next != -1 && next < beginValue)
        next = beginValue;
    return next;
}

QString AuthorSql(const SqlConnection& connection, const QString& sql)
{
    return connection.dialect().authorSql(sql, CatalogueName);
}

QString FormatDateTimeText(const QString& storedText, const QString& pattern)
{
    const auto value = DayCount::parseStoredText(storedText);
    if (!value)
        return QString();
    return QLocale().toString(*value, regionalPattern(pattern));
}

QString ToStoredText(const QString& text)
{
    QString stored = ToStoredCase(text);
    stored.replace(u'"', QStringLiteral("\"\""));
    return stored;
}

QString SqlStringLiteral(const QString& text)
{
    QString inner = text;
    inner.replace(u'\'', QStringLiteral("''"));
    return u'\'' + inner + u'\'';
}

QString GetFKTableName(const QString& name)
{
    const qsizetype dot = name.indexOf(u'.');
    if (dot < 0)
        return name;
    // After the "id_" of the reference column; a second reference to the same table carries
    // one or two digits 1 to 9 at the end.
    QString table = name.mid(dot + 1).mid(3);
    for (int pass = 0; pass < 2; ++pass) {
        if (!table.isEmpty() && isNonZeroDigit(table.back()))
            table.chop(1);
    }
    return table;
}

QString GetFKColumnName(const QString& name)
{
    const qsizetype dot = name.indexOf(u'.');
    return dot < 0 ? name : name.mid(dot + 1);
}

NumberKind NumberKindOfType(const QString& type)
{
    // The engine's own types first: BOOLEAN, DATE and the like hold no typed numbers.
    const QString t = type.toUpper();
    static const QStringList own = {QStringLiteral("TEXT"), QStringLiteral("DATE"),
                                    QStringLiteral("TIME"), QStringLiteral("DATETIME"),
                                    QStringLiteral("BOOLEAN"), QStringLiteral("IMAGE"),
                                    QStringLiteral("FILE")};
    if (t.isEmpty() || own.contains(t))
        return NumberKind::None;
    // The rest by SQLite's column affinity rules.
    if (t.contains(QLatin1String("INT")))
        return NumberKind::Whole;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB"))
        || t.contains(QLatin1String("TEXT")) || t.contains(QLatin1String("BLOB")))
        return NumberKind::None;
    return NumberKind::Decimal;
}

std::optional<QString> NumberLiteral(const QString& typed, NumberKind kind)
{
    if (kind == NumberKind::None)
        return std::nullopt;
    const QString text = typed.trimmed();
    const QString localSeparator = QLocale().decimalPoint();
    QString result;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        if (text[i] == u'-')
            result += u'-';
        ++i;
    }
    qsizetype digits = 0;
    bool separator = false;
    qsizetype fractionDigits = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            result += c;
            ++digits;
            if (separator)
                ++fractionDigits;
        } else if (kind == NumberKind::Decimal && !separator
                   && (c == u'.' || text.mid(i, localSeparator.size()) == localSeparator)) {
            separator = true;
            if (digits == 0)
                result += u'0';
            result += u'.';
            if (c != u'.')
                i += localSeparator.size() - 1;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || (separator && fractionDigits == 0))
        return std::nullopt;
    if (kind == NumberKind::Whole) {
        bool ok = false;
        result.toLongLong(&ok);
        if (!ok)
            return std::nullopt;
    }
    return result;
}
