// The PostgreSQL back end, on libpq. Rows are read in single-row mode, so a large result is
// never held whole; every value comes as text and is typed by its column's type. Errors are
// told apart by SQLSTATE and libpq's error fields, never by their wording.
#include "platform/errors.h"
#include "platform/lang.h"
#include "platform/sql_backend.h"
#include "platform/sql_dialect.h"

#include <QHash>
#include <cerrno>
#include <algorithm>
#include <charconv>
#include <string_view>
#include <libpq-fe.h>
#include <poll.h>

namespace {

// Type oids of the built-in types (pg_type.dat); they never change.
constexpr Oid BoolOid = 16;
constexpr Oid ByteaOid = 17;
constexpr Oid Int8Oid = 20;
constexpr Oid Int2Oid = 21;
constexpr Oid Int4Oid = 23;
constexpr Oid OidOid = 26;
constexpr Oid Float4Oid = 700;
constexpr Oid Float8Oid = 701;
constexpr Oid NumericOid = 1700;

// A numeric column of a table is told apart from a computed numeric (avg, a division): SQLite
// gives them different types.
enum class ColumnKind { Integer, Boolean, Real, StoredNumeric, Numeric, Text, Bytes };

// A whole number as the server writes it: an optional sign and decimal digits.
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

// bytea in its text form: "\x" and two hex digits a byte (the server's default output).
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

// ":name" parameters (outside literals, quoted names and comments) become "$1", "$2", ...;
// names gives each number's parameter name. A "::type" cast is left alone.
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

// The statements of a script, split at the semicolons outside literals, quoted names and
// comments; pieces holding nothing but blanks and comments are left out. A server prepares
// one statement at a time.
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

void quietNotices(void*, const char*) {}

class PgBackend;

class PgCursor final : public StatementCursor {
public:
    // The statement has been sent; the cursor reads its first answer.
    PgCursor(PgBackend* backend, bool interruptible);
    ~PgCursor() override;

    bool step() override;
    int columnCount() const override { return m_columns; }
    QString columnName(int i) const override { return QString::fromUtf8(PQfname(m_meta, i)); }
    SqlValue::Type columnType(int i) const override
    {
        if (cell(i).null)
            return SqlValue::Type::Null;
        switch (m_kinds[static_cast<size_t>(i)]) {
        case ColumnKind::Integer:
        case ColumnKind::Boolean:
            return SqlValue::Type::Integer;
        case ColumnKind::StoredNumeric:
        case ColumnKind::Numeric:
            return numericValue(cell(i).text, cell(i).length, m_kinds[static_cast<size_t>(i)]).type();
        case ColumnKind::Real:
            return SqlValue::Type::Real;
        case ColumnKind::Bytes:
            return SqlValue::Type::Blob;
        case ColumnKind::Text:
            break;
        }
        return SqlValue::Type::Text;
    }
    const char* textUtf8(int i, int* length) const override
    {
        const Cell& c = cell(i);
        *length = c.length;
        if (c.null)
            return "";
        switch (m_kinds[static_cast<size_t>(i)]) {
        case ColumnKind::Boolean:
            *length = 1;
            return c.text[0] == 't' ? "1" : "0";
        case ColumnKind::Real:
            // The text SQLite gives a REAL, so that numbers read the same on both back ends.
            m_scratch = SqlValue::realText(real(i)).toUtf8();
            *length = static_cast<int>(m_scratch.size());
            return m_scratch.constData();
        case ColumnKind::StoredNumeric:
        case ColumnKind::Numeric:
            m_scratch = numericValue(c.text, c.length, m_kinds[static_cast<size_t>(i)]).toText().toUtf8();
            *length = static_cast<int>(m_scratch.size());
            return m_scratch.constData();
        case ColumnKind::Bytes:
            m_scratch = decodeBytea(c.text, c.length);
            *length = static_cast<int>(m_scratch.size());
            return m_scratch.constData();
        default:
            return c.text;
        }
    }
    qint64 integer(int i) const override
    {
        const Cell& c = cell(i);
        if (c.null)
            return 0;
        switch (m_kinds[static_cast<size_t>(i)]) {
        case ColumnKind::Boolean:
            return c.text[0] == 't' ? 1 : 0;
        case ColumnKind::Real:
            return static_cast<qint64>(real(i));
        case ColumnKind::StoredNumeric:
        case ColumnKind::Numeric:
            return numericValue(c.text, c.length, m_kinds[static_cast<size_t>(i)]).toInt();
        default:
            return parseInteger(c.text, c.length);
        }
    }
    double real(int i) const override
    {
        const Cell& c = cell(i);
        if (c.null)
            return 0;
        double value = 0;
        std::from_chars(c.text, c.text + c.length, value);
        return value;
    }
    QByteArray bytes(int i) const override
    {
        int length = 0;
        const char* data = textUtf8(i, &length);
        return QByteArray(data, length);
    }

    void cancel() override;
    // Reads every row still to come into memory, so that the connection is free for another
    // statement while this cursor is still being read.
    void buffer();
    // Throws away the rest of the result.
    void discard();

private:
    friend class PgBackend;
    void takeMeta(PGresult* result);
    // The next result of the statement from the connection or the buffer.
    PGresult* next();
    // Waits for the server's next answer, running the wait hook meanwhile; throws when a
    // newer statement cancelled this one.
    void waitForAnswer();
    void throwIfCancelled() const;
    void finish(PGresult* last);
    // The statement no longer reads from the connection: what libpq still has of it is read
    // into keep, or thrown away when keep is null, and the connection is free.
    void leaveConnection(std::vector<PGresult*>* keep);

    PgBackend* m_backend;
    PGresult* m_meta = nullptr; // the first result: column names and types
    PGresult* m_row = nullptr;  // the current row
    PGresult* m_pending = nullptr; // the first row, read before the first step
    std::vector<PGresult*> m_buffered;
    size_t m_bufferedNext = 0;
    std::vector<ColumnKind> m_kinds;
    int m_columns = 0;
    bool m_onConnection = true; // its rows still come from the connection
    bool m_cancelled = false;
    bool m_interruptible = false;
    mutable QByteArray m_scratch;

    // The current row's values, read from libpq once per row.
    struct Cell {
        const char* text = "";
        int length = 0;
        bool null = true;
    };
    std::vector<Cell> m_cells;
    const Cell& cell(int i) const { return m_cells[static_cast<size_t>(i)]; }
    void setRow(PGresult* row);
};

// A statement prepared on the server under a name of its own and run again for each rebind,
// its parameters sent beside the text (numbers and texts as text, BLOBs as bytes).
class PgBoundCursor final : public StatementCursor {
public:
    PgBoundCursor(PgBackend* backend, QByteArray name, QStringList parameters, PGresult* description)
        : m_backend(backend), m_name(std::move(name)), m_parameters(std::move(parameters)),
          m_description(description)
    {
    }
    ~PgBoundCursor() override;

    bool step() override { return m_run && m_run->step(); }
    int columnCount() const override { return m_run ? m_run->columnCount() : PQnfields(m_description); }
    QString columnName(int i) const override
    {
        return m_run ? m_run->columnName(i) : QString::fromUtf8(PQfname(m_description, i));
    }
    SqlValue::Type columnType(int i) const override { return m_run->columnType(i); }
    const char* textUtf8(int i, int* length) const override { return m_run->textUtf8(i, length); }
    qint64 integer(int i) const override { return m_run->integer(i); }
    double real(int i) const override { return m_run->real(i); }
    QByteArray bytes(int i) const override { return m_run->bytes(i); }
    void cancel() override
    {
        if (m_run)
            m_run->cancel();
    }
    QStringList parameterNames() const override { return m_parameters; }
    void rebind(const std::vector<SqlValue>& values) override;

private:
    PgBackend* m_backend;
    QByteArray m_name;
    QStringList m_parameters;
    PGresult* m_description;
    std::unique_ptr<PgCursor> m_run;
};

class PgBackend final : public ConnectionBackend {
public:
    PgBackend(PGconn* conn, int busyTimeoutMs) : m_conn(conn), m_busyTimeoutMs(busyTimeoutMs)
    {
        PQsetNoticeProcessor(m_conn, quietNotices, nullptr);
        applySessionSettings();
        loadConstraintColumns();
    }
    ~PgBackend() override
    {
        if (m_active)
            m_active->discard();
        PQfinish(m_conn);
    }

    const SqlDialect& dialect() const override { return SqlDialect::postgresql(); }
    QString describe() const override { return serverName(m_conn); }
    bool isServer() const override { return true; }

    static QString serverName(const PGconn* conn)
    {
        const QString host = QString::fromUtf8(PQhost(conn));
        const QString db = QString::fromUtf8(PQdb(conn));
        return host.isEmpty() ? db : db + QStringLiteral(" (") + host + u')';
    }

    QueryResult runScript(const QString& sql) override
    {
        makeReady(true);
        PGresult* result = PQexec(m_conn, sql.toUtf8().constData());
        if (!result || PQresultStatus(result) == PGRES_FATAL_ERROR) {
            DatabaseError error = errorOf(result);
            PQclear(result);
            throw error;
        }
        QueryResult out;
        m_changes = QByteArray(PQcmdTuples(result)).toLongLong();
        if (PQresultStatus(result) == PGRES_TUPLES_OK) {
            const int columns = PQnfields(result);
            std::vector<ColumnKind> kinds;
            for (int c = 0; c < columns; ++c) {
                out.columns.append(QString::fromUtf8(PQfname(result, c)));
                kinds.push_back(kindOf(PQftype(result, c), PQftable(result, c)));
            }
            const int rows = PQntuples(result);
            out.rows.reserve(static_cast<size_t>(rows));
            for (int r = 0; r < rows; ++r) {
                std::vector<SqlValue> row;
                row.reserve(static_cast<size_t>(columns));
                for (int c = 0; c < columns; ++c)
                    row.push_back(valueOf(result, r, c, kinds[static_cast<size_t>(c)]));
                out.rows.push_back(std::move(row));
            }
        }
        PQclear(result);
        if (!m_inTransaction && changesSchema(sql))
            loadConstraintColumns();
        return out;
    }

    void setWaitHook(std::function<void()> hook) override { m_waitHook = std::move(hook); }

    std::unique_ptr<StatementCursor> prepare(const QString& sql, const BlobParams& params,
                                             bool interruptible = false) override
    {
        makeReady(true);
        QStringList names;
        const QByteArray text = (params.isEmpty() ? sql : numberParameters(sql, names)).toUtf8();
        std::vector<QByteArray> values;
        for (const QString& name : names) {
            QByteArray bytes;
            for (const auto& p : params)
                if (p.first == name)
                    bytes = p.second;
            values.push_back(bytes);
        }
        std::vector<const char*> pointers;
        std::vector<int> lengths, formats;
        std::vector<Oid> types;
        for (const QByteArray& v : values) {
            pointers.push_back(v.constData());
            lengths.push_back(static_cast<int>(v.size()));
            formats.push_back(1);
            types.push_back(ByteaOid);
        }
        const int count = static_cast<int>(values.size());
        if (!PQsendQueryParams(m_conn, text.constData(), count, types.data(), pointers.data(),
                               lengths.data(), formats.data(), 0))
            throw errorOf(nullptr);
        PQsetSingleRowMode(m_conn);
        return std::make_unique<PgCursor>(this, interruptible);
    }

    std::unique_ptr<StatementCursor> prepareBound(const QString& sql) override
    {
        makeReady(true);
        QStringList names;
        const QByteArray text = numberParameters(sql, names).toUtf8();
        const QByteArray name = "varnel_bound_" + QByteArray::number(++m_boundCount);
        PGresult* result = PQprepare(m_conn, name.constData(), text.constData(), 0, nullptr);
        if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            DatabaseError error = errorOf(result);
            PQclear(result);
            throw error;
        }
        PQclear(result);
        PGresult* description = PQdescribePrepared(m_conn, name.constData());
        if (PQresultStatus(description) != PGRES_COMMAND_OK) {
            DatabaseError error = errorOf(description);
            PQclear(description);
            deallocate(name);
            throw error;
        }
        return std::make_unique<PgBoundCursor>(this, name, names, description);
    }

    // Sends a run of a prepared statement; its cursor reads the answer.
    std::unique_ptr<PgCursor> runBound(const QByteArray& name, const std::vector<SqlValue>& values)
    {
        makeReady(false);
        std::vector<QByteArray> texts;
        std::vector<const char*> pointers;
        std::vector<int> lengths, formats;
        texts.reserve(values.size());
        for (const SqlValue& v : values) {
            texts.push_back(v.type() == SqlValue::Type::Real ? SqlValue::realText(v.toReal()).toUtf8() : v.toBytes());
            pointers.push_back(v.isNull() ? nullptr : texts.back().constData());
            lengths.push_back(static_cast<int>(texts.back().size()));
            formats.push_back(v.isBlob() ? 1 : 0);
        }
        if (!PQsendQueryPrepared(m_conn, name.constData(), static_cast<int>(values.size()), pointers.data(),
                                 lengths.data(), formats.data(), 0))
            throw errorOf(nullptr);
        PQsetSingleRowMode(m_conn);
        return std::make_unique<PgCursor>(this, false);
    }

    // Never throws: it runs when a bound statement is let go.
    void deallocate(const QByteArray& name) noexcept
    {
        try {
            makeReady(false);
            PQclear(PQexec(m_conn, ("DEALLOCATE " + name).constData()));
        } catch (...) {
        }
    }

    // Values go as text of a type the server infers from where they stand (a date text next to
    // a text column, a number next to an integer), BLOBs as bytes.
    std::unique_ptr<StatementCursor> prepareBound(const QString& sql, const SqlParams& params,
                                                  bool interruptible = false) override
    {
        makeReady(true);
        QStringList names;
        const QByteArray text = numberParameters(sql, names).toUtf8();
        std::vector<QByteArray> values;
        std::vector<const char*> pointers;
        std::vector<int> lengths, formats;
        std::vector<Oid> types;
        values.reserve(static_cast<size_t>(names.size()));
        for (const QString& name : names) {
            const SqlValue* value = nullptr;
            for (const auto& p : params)
                if (p.first == name)
                    value = &p.second;
            const bool null = !value || value->isNull();
            const bool blob = value && value->isBlob();
            values.push_back(null ? QByteArray() : value->toBytes());
            pointers.push_back(null ? nullptr : values.back().constData());
            lengths.push_back(static_cast<int>(values.back().size()));
            formats.push_back(blob ? 1 : 0);
            types.push_back(blob ? ByteaOid : InvalidOid);
        }
        const int count = static_cast<int>(values.size());
        if (!PQsendQueryParams(m_conn, text.constData(), count, types.data(), pointers.data(),
                               lengths.data(), formats.data(), 0))
            throw errorOf(nullptr);
        PQsetSingleRowMode(m_conn);
        return std::make_unique<PgCursor>(this, interruptible);
    }

    void check(const QString& sql) override
    {
        // The unnamed statement: parsed and analysed, never executed, replaced by the next. A
        // report's ":name" parameters are numbered as they are when bound.
        for (const QString& statement : splitStatements(sql)) {
            makeReady(true);
            QStringList names;
            const QByteArray text = numberParameters(statement, names).toUtf8();
            PGresult* result = PQprepare(m_conn, "", text.constData(), 0, nullptr);
            if (PQresultStatus(result) != PGRES_COMMAND_OK) {
                DatabaseError error = errorOf(result);
                PQclear(result);
                throw error;
            }
            PQclear(result);
        }
    }

    qint64 insert(const QString& sql, const BlobParams& params) override
    {
        QString statement = sql.trimmed();
        while (statement.endsWith(u';'))
            statement.chop(1);
        std::unique_ptr<StatementCursor> cursor =
            prepare(statement + QStringLiteral(" RETURNING id"), params);
        qint64 id = -1;
        while (cursor->step())
            id = cursor->integer(0);
        m_lastId = id;
        return id;
    }

    qint64 rowsAffected() const override { return m_changes; }
    qint64 lastInsertId() const override { return m_lastId; }

    void begin() override
    {
        makeReady(true);
        command("BEGIN");
        m_inTransaction = true;
    }
    void commit() override
    {
        makeReady(false);
        try {
            command("COMMIT");
        } catch (...) {
            m_inTransaction = false;
            throw;
        }
        m_inTransaction = false;
    }
    void rollback() noexcept override
    {
        if (!m_inTransaction)
            return;
        m_inTransaction = false;
        if (m_active)
            m_active->discard();
        if (PQstatus(m_conn) == CONNECTION_OK)
            PQclear(PQexec(m_conn, "ROLLBACK"));
    }
    bool inTransaction() const override { return m_inTransaction; }

    bool hasTable(const QString& name) override
    {
        QString literal = name;
        literal.replace(u'\'', QStringLiteral("''"));
        literal.replace(u'"', QStringLiteral("\"\""));
        const QueryResult r = runScript(QStringLiteral("SELECT to_regclass('\"") + literal
                                        + QStringLiteral("\"') IS NOT NULL"));
        return !r.isEmpty() && r.rows.front().front().toInt() != 0;
    }

    bool schemaExists() override
    {
        const QueryResult r = runScript(QStringLiteral(
            "SELECT count(*) FROM information_schema.tables "
            "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'"));
        return !r.isEmpty() && r.rows.front().front().toInt() > 0;
    }

    void lockCounter(const QString& table) override
    {
        // A lock on the table's name, held until the transaction ends: a second save waits
        // here and then reads the number the first one wrote. Readers are not held up.
        makeReady(false);
        QString key = QStringLiteral("varnel.record_count.") + table;
        key.replace(u'\'', QStringLiteral("''"));
        command((QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('") + key + QStringLiteral("'))"))
                    .toUtf8()
                    .constData());
    }

    void setBusyTimeout(int milliseconds) override
    {
        m_busyTimeoutMs = milliseconds;
        applySessionSettings();
    }

    void cancelRunning() override
    {
        if (m_active)
            m_active->cancel();
    }

    // Asks the server to stop the statement now running; its answer is then read away.
    void cancelOnServer()
    {
        if (PGcancel* cancel = PQgetCancel(m_conn)) {
            char message[256];
            PQcancel(cancel, message, sizeof message);
            PQfreeCancel(cancel);
        }
    }

    // ---- used by the cursor ----

    PgCursor* m_active = nullptr;
    std::function<void()> m_waitHook;
    quint64 m_boundCount = 0;

    DatabaseError errorOf(const PGresult* result)
    {
        const QString server = serverName(m_conn);
        const QByteArray state = result ? QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE))
                                        : QByteArray();
        QString primary = result ? QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))
                                 : QString();
        if (primary.isEmpty())
            primary = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        DatabaseError::Kind kind = DatabaseError::Kind::Other;
        QString message;
        ConstraintKind constraint = ConstraintKind::None;
        QString column;
        // An error without SQLSTATE is libpq's own: the socket failed under it, whether or
        // not libpq has yet marked the connection as bad.
        if (PQstatus(m_conn) == CONNECTION_BAD || state.isEmpty() || state.startsWith("08")
            || state == "57P01" || state == "57P02" || state == "57P03") {
            kind = DatabaseError::Kind::ConnectionLost;
            m_broken = true;
            m_inTransaction = false; // the server rolled it back when the connection went
            message = Lang.Server_connection_lost.arg(server);
        } else if (state == "55P03" || state == "40P01" || state == "40001") {
            kind = DatabaseError::Kind::Busy;
            message = Lang.Server_is_busy.arg(server);
        } else if (state == "25006" || state == "42501") {
            kind = DatabaseError::Kind::ReadOnly;
            message = Lang.Server_is_read_only.arg(server);
        } else if (state == "53100") {
            kind = DatabaseError::Kind::Full;
            message = Lang.Server_is_full.arg(server);
        } else if (state == "57014") {
            kind = DatabaseError::Kind::Cancelled;
        } else if (state.startsWith("23")) {
            kind = DatabaseError::Kind::Constraint;
            const QString constraintName =
                QString::fromUtf8(PQresultErrorField(result, PG_DIAG_CONSTRAINT_NAME));
            column = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_COLUMN_NAME));
            if (column.isEmpty())
                column = m_constraintColumns.value(constraintName);
            if (state == "23502")
                constraint = ConstraintKind::NotNull;
            else if (state == "23505")
                constraint = ConstraintKind::Unique;
            else if (state == "23514")
                constraint = ConstraintKind::Check;
            else if (state == "23503") {
                constraint = ConstraintKind::ForeignKey;
                column.clear();
            } else
                constraint = ConstraintKind::Other;
        }
        if (!message.isEmpty())
            message += QStringLiteral("\n\n") + primary;
        else
            message = primary;
        DatabaseError error(message);
        error.kind = kind;
        error.constraint = constraint;
        error.column = column;
        error.detail = primary;
        if (result)
            error.position = QByteArray(PQresultErrorField(result, PG_DIAG_STATEMENT_POSITION)).toInt();
        return error;
    }

    void statementDone(PGresult* last)
    {
        if (last)
            m_changes = QByteArray(PQcmdTuples(last)).toLongLong();
    }

private:
    static bool changesSchema(const QString& sql)
    {
        return sql.contains(QLatin1String("CREATE"), Qt::CaseInsensitive)
               || sql.contains(QLatin1String("ALTER"), Qt::CaseInsensitive);
    }

    static SqlValue valueOf(const PGresult* result, int row, int column, ColumnKind kind)
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

    void applySessionSettings()
    {
        // A lock held by another user waits as long as SQLite's busy timeout would.
        const QByteArray sql = "SET lock_timeout = " + QByteArray::number(m_busyTimeoutMs);
        PQclear(PQexec(m_conn, sql.constData()));
    }

    // The first column of every unique index and check constraint of the schema, by name:
    // PostgreSQL names the constraint a write broke, not its column.
    void loadConstraintColumns()
    {
        PGresult* r = PQexec(
            m_conn,
            "SELECT c.conname, a.attname FROM pg_constraint c "
            "JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = c.conkey[1] "
            "WHERE c.connamespace = current_schema()::regnamespace "
            "UNION ALL SELECT i.relname, a.attname FROM pg_index x "
            "JOIN pg_class i ON i.oid = x.indexrelid "
            "JOIN pg_attribute a ON a.attrelid = x.indrelid AND a.attnum = x.indkey[0] "
            "WHERE x.indisunique AND i.relnamespace = current_schema()::regnamespace");
        if (PQresultStatus(r) == PGRES_TUPLES_OK) {
            m_constraintColumns.clear();
            for (int i = 0; i < PQntuples(r); ++i)
                m_constraintColumns.insert(QString::fromUtf8(PQgetvalue(r, i, 0)),
                                           QString::fromUtf8(PQgetvalue(r, i, 1)));
        }
        PQclear(r);
    }

    // Before a statement: a cursor still reading keeps its rows in memory, and a connection
    // that the server dropped is made again, when no transaction was lost with it.
    void makeReady(bool mayReconnect)
    {
        if (m_active)
            m_active->buffer();
        if (PQstatus(m_conn) == CONNECTION_OK && !m_broken)
            return;
        if (m_inTransaction || !mayReconnect) {
            // The server rolled the transaction back when the connection went.
            m_inTransaction = false;
            throw errorOf(nullptr);
        }
        PQreset(m_conn);
        m_broken = false;
        if (PQstatus(m_conn) != CONNECTION_OK) {
            m_broken = true;
            DatabaseError error(Lang.Server_unreachable.arg(serverName(m_conn)) + QStringLiteral("\n\n")
                                + QString::fromUtf8(PQerrorMessage(m_conn)).trimmed());
            error.kind = DatabaseError::Kind::Unreachable;
            error.detail = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
            throw error;
        }
        applySessionSettings();
    }

    void command(const char* sql)
    {
        PGresult* r = PQexec(m_conn, sql);
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            DatabaseError error = errorOf(r);
            PQclear(r);
            throw error;
        }
        PQclear(r);
    }

    PGconn* m_conn;
    int m_busyTimeoutMs;
    qint64 m_lastId = -1;
    qint64 m_changes = 0;
    bool m_inTransaction = false;
    bool m_broken = false; // a statement found the connection gone; reconnect before the next
    QHash<QString, QString> m_constraintColumns;

public:
    PGconn* connection() const { return m_conn; }
};

// ---- PgBoundCursor ----

PgBoundCursor::~PgBoundCursor()
{
    m_run.reset();
    PQclear(m_description);
    m_backend->deallocate(m_name);
}

void PgBoundCursor::rebind(const std::vector<SqlValue>& values)
{
    // The run before is read away first: the connection answers one statement at a time.
    m_run.reset();
    std::vector<SqlValue> sent(values.begin(), values.begin() + std::min<qsizetype>(values.size(), m_parameters.size()));
    sent.resize(static_cast<size_t>(m_parameters.size()));
    m_run = m_backend->runBound(m_name, sent);
}

// ---- PgCursor ----

PgCursor::PgCursor(PgBackend* backend, bool interruptible)
    : m_backend(backend), m_interruptible(interruptible)
{
    m_backend->m_active = this;
    PGresult* first = next();
    const ExecStatusType status = PQresultStatus(first);
    if (!first || status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE) {
        DatabaseError error = m_backend->errorOf(first);
        PQclear(first);
        // The rest of the answer (there is none after an error but the end) is read away.
        leaveConnection(nullptr);
        throw error;
    }
    takeMeta(first);
    if (status == PGRES_SINGLE_TUPLE) {
        m_pending = first;
    } else {
        finish(first);
    }
}

PgCursor::~PgCursor()
{
    discard();
    PQclear(m_row);
    PQclear(m_pending);
    PQclear(m_meta);
    for (size_t i = m_bufferedNext; i < m_buffered.size(); ++i)
        PQclear(m_buffered[i]);
}

void PgCursor::takeMeta(PGresult* result)
{
    // The first result keeps the columns' names and types for the whole statement.
    m_meta = PQcopyResult(result, PG_COPYRES_ATTRS);
    m_columns = PQnfields(result);
    m_kinds.clear();
    for (int c = 0; c < m_columns; ++c)
        m_kinds.push_back(kindOf(PQftype(result, c), PQftable(result, c)));
    m_cells.assign(static_cast<size_t>(m_columns), Cell());
}

void PgCursor::setRow(PGresult* row)
{
    PQclear(m_row);
    m_row = row;
    for (int c = 0; c < m_columns; ++c) {
        Cell& cell = m_cells[static_cast<size_t>(c)];
        cell.null = !row || PQgetisnull(row, 0, c);
        cell.text = cell.null ? "" : PQgetvalue(row, 0, c);
        cell.length = cell.null ? 0 : PQgetlength(row, 0, c);
    }
}

void PgCursor::finish(PGresult* last)
{
    // The end of the statement: the last result says how many rows it changed; the
    // connection is free again once libpq has nothing more.
    m_backend->statementDone(last);
    PQclear(last);
    leaveConnection(nullptr);
}

void PgCursor::leaveConnection(std::vector<PGresult*>* keep)
{
    if (m_onConnection) {
        while (PGresult* r = PQgetResult(m_backend->connection())) {
            if (keep)
                keep->push_back(r);
            else
                PQclear(r);
        }
        m_onConnection = false;
    }
    if (m_backend->m_active == this)
        m_backend->m_active = nullptr;
}

void PgCursor::throwIfCancelled() const
{
    if (!m_cancelled)
        return;
    DatabaseError error(QStringLiteral("The statement was cancelled."));
    error.kind = DatabaseError::Kind::Cancelled;
    throw error;
}

void PgCursor::waitForAnswer()
{
    if (!m_interruptible || !m_backend->m_waitHook)
        return;
    PGconn* conn = m_backend->connection();
    while (m_onConnection && PQisBusy(conn)) {
        pollfd socket{PQsocket(conn), POLLIN, 0};
        const int ready = poll(&socket, 1, 40);
        if (ready > 0) {
            if (!PQconsumeInput(conn))
                return; // the failure comes with the result
            continue;
        }
        if (ready < 0 && errno != EINTR)
            return;
        // Nothing yet from the server: the window answers meanwhile. A click may start
        // another statement, which either reads this one's rows into memory or, for a
        // search that replaces this one, cancels it.
        m_backend->m_waitHook();
        throwIfCancelled();
    }
}

PGresult* PgCursor::next()
{
    if (m_bufferedNext < m_buffered.size())
        return m_buffered[m_bufferedNext++];
    if (!m_onConnection)
        return nullptr;
    waitForAnswer();
    if (m_bufferedNext < m_buffered.size())
        return m_buffered[m_bufferedNext++];
    if (!m_onConnection)
        return nullptr;
    return PQgetResult(m_backend->connection());
}

void PgCursor::cancel()
{
    if (m_cancelled)
        return;
    if (m_onConnection)
        m_backend->cancelOnServer();
    discard();
    m_cancelled = true;
}

bool PgCursor::step()
{
    throwIfCancelled();
    setRow(nullptr);
    if (m_pending) {
        setRow(m_pending);
        m_pending = nullptr;
        return true;
    }
    PGresult* r = next();
    if (!r) {
        leaveConnection(nullptr);
        return false;
    }
    const ExecStatusType status = PQresultStatus(r);
    if (status == PGRES_SINGLE_TUPLE) {
        setRow(r);
        return true;
    }
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        finish(r);
        return false;
    }
    DatabaseError error = m_backend->errorOf(r);
    PQclear(r);
    finish(nullptr);
    throw error;
}

void PgCursor::buffer()
{
    if (!m_onConnection)
        return;
    // Moves the results not yet read from the connection behind those already buffered.
    std::vector<PGresult*> rest(m_buffered.begin() + static_cast<std::ptrdiff_t>(m_bufferedNext),
                                m_buffered.end());
    leaveConnection(&rest);
    m_buffered = std::move(rest);
    m_bufferedNext = 0;
}

void PgCursor::discard()
{
    for (size_t i = m_bufferedNext; i < m_buffered.size(); ++i)
        PQclear(m_buffered[i]);
    m_buffered.clear();
    m_bufferedNext = 0;
    PQclear(m_pending);
    m_pending = nullptr;
    leaveConnection(nullptr);
}

} // namespace

std::unique_ptr<ConnectionBackend> SqlBackends::openPostgres(
    const QString& conninfo, int busyTimeoutMs, const SqlConnection::PasswordProvider& password)
{
    const QByteArray info = conninfo.trimmed().toUtf8();
    QByteArray typed; // a password the user typed, kept in memory only
    for (int attempt = 0;; ++attempt) {
        const char* keywords[] = {"dbname", "client_encoding", "application_name",
                                  typed.isEmpty() ? nullptr : "password", nullptr};
        const char* values[] = {info.constData(), "UTF8", "varnel",
                                typed.isEmpty() ? nullptr : typed.constData(), nullptr};
        PGconn* conn = PQconnectdbParams(keywords, values, 1);
        if (conn && PQstatus(conn) == CONNECTION_OK)
            return std::make_unique<PgBackend>(conn, busyTimeoutMs);

        const QString server = conn ? PgBackend::serverName(conn) : conninfo;
        const QString detail = conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed()
                                    : QStringLiteral("out of memory");
        const bool needsPassword = conn && PQconnectionNeedsPassword(conn);
        const bool usedPassword = conn && PQconnectionUsedPassword(conn);
        const QString user = conn ? QString::fromUtf8(PQuser(conn)) : QString();
        PQfinish(conn);

        if ((needsPassword || (usedPassword && !typed.isEmpty())) && password && attempt < 3) {
            // A password typed before and still asked for was refused.
            const QString prompt = (!typed.isEmpty() ? Lang.Server_password_refused + u'\n' : QString())
                                   + Lang.Server_password_prompt.arg(user, server);
            const std::optional<QString> answer = password(prompt);
            if (answer) {
                typed = answer->toUtf8();
                continue;
            }
        }
        DatabaseError error((needsPassword || usedPassword)
                                ? Lang.Server_password_refused_for.arg(user, server)
                                : Lang.Server_unreachable.arg(server));
        error.kind = needsPassword || usedPassword ? DatabaseError::Kind::PasswordRefused
                                                   : DatabaseError::Kind::Unreachable;
        error.detail = detail;
        DatabaseError withDetail(error.message() + QStringLiteral("\n\n") + detail);
        withDetail.kind = error.kind;
        withDetail.detail = detail;
        throw withDetail;
    }
}
