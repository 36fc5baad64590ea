// The SQLite back end: one file, opened with the C library.
#include "platform/errors.h"
#include "platform/lang.h"
#include "platform/sql_backend.h"
#include "platform/sql_dialect.h"

#include <QDir>
#include <algorithm>
#include <sqlite3.h>
#include <string>
#include <string_view>

namespace {

struct StmtDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

ConstraintKind constraintOf(int extendedCode)
{
    switch (extendedCode) {
    case SQLITE_CONSTRAINT_NOTNULL:
        return ConstraintKind::NotNull;
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return ConstraintKind::Unique;
    case SQLITE_CONSTRAINT_CHECK:
        return ConstraintKind::Check;
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return ConstraintKind::ForeignKey;
    default:
        return ConstraintKind::Other;
    }
}

// SQLite names the column only in its message: "NOT NULL constraint failed: customers.name",
// "UNIQUE constraint failed: t.a, t.b", "CHECK constraint failed: name". The library's
// messages are not translated, so their form is fixed; the first column named is the one
// reported.
QString constraintColumnOf(const QString& text)
{
    const qsizetype colon = text.indexOf(QStringLiteral("failed: "));
    if (colon < 0)
        return QString();
    QString name = text.mid(colon + 8);
    name = name.left(name.indexOf(u',')).trimmed();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.mid(dot + 1);
}

// ---- LIKE that ignores letter case in every script ----
// SQLite's own LIKE folds only the letters A to Z; this one folds every letter as Qt's case
// folding does, and keeps "%", "_" and ESCAPE as SQLite has them.

char32_t folded(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// UTF-8 into folded code points; a byte that starts no valid sequence stands for itself.
void decodeFolded(const unsigned char* s, int n, std::u32string& out)
{
    out.clear();
    for (int i = 0; i < n;) {
        const unsigned char b = s[i];
        char32_t c = b;
        int extra = 0;
        if (b >= 0xF0 && b < 0xF8) {
            c = b & 0x07;
            extra = 3;
        } else if (b >= 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if (b >= 0xC0) {
            c = b & 0x1F;
            extra = 1;
        }
        bool valid = i + extra < n;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (!valid || b >= 0xF8 || (b >= 0x80 && b < 0xC0)) {
            out.push_back(b);
            ++i;
            continue;
        }
        out.push_back(folded(c));
        i += extra + 1;
    }
}

bool likeMatches(std::u32string_view pattern, std::u32string_view text, char32_t escape)
{
    constexpr size_t none = std::u32string_view::npos;
    size_t p = 0;
    size_t t = 0;
    size_t star = none; // the pattern position after the last "%"
    size_t resume = 0;  // the text position that "%" swallowed up to
    while (t < text.size()) {
        if (p < pattern.size()) {
            const char32_t pc = pattern[p];
            if (escape != 0 && pc == escape && p + 1 < pattern.size()) {
                if (pattern[p + 1] == text[t]) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (pc == U'%') {
                star = ++p;
                resume = t;
                continue;
            } else if (pc == U'_' || pc == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (star == none)
            return false;
        p = star;
        t = ++resume;
    }
    while (p < pattern.size() && pattern[p] == U'%')
        ++p;
    return p == pattern.size();
}

void foldedArgument(sqlite3_value* value, std::u32string& out)
{
    decodeFolded(sqlite3_value_text(value), sqlite3_value_bytes(value), out);
}

// like(pattern, text) and like(pattern, text, escape), as SQLite calls them for
// "text LIKE pattern [ESCAPE escape]".
void likeFunction(sqlite3_context* context, int count, sqlite3_value** values)
{
    for (int i = 0; i < count; ++i)
        if (sqlite3_value_type(values[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    char32_t escape = 0;
    if (count == 3) {
        std::u32string e;
        foldedArgument(values[2], e);
        if (e.size() != 1) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e.front();
    }
    // The pattern is the same for every row of a statement: folded once, kept with it.
    std::u32string fresh;
    const auto* pattern = static_cast<const std::u32string*>(sqlite3_get_auxdata(context, 0));
    if (!pattern) {
        foldedArgument(values[0], fresh);
        pattern = &fresh;
        sqlite3_set_auxdata(context, 0, new std::u32string(fresh),
                            [](void* p) { delete static_cast<std::u32string*>(p); });
    }
    thread_local std::u32string text;
    foldedArgument(values[1], text);
    sqlite3_result_int(context, likeMatches(*pattern, text, escape) ? 1 : 0);
}

void registerLike(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr, nullptr);
}

class SqliteBackend;

class SqliteCursor final : public StatementCursor {
public:
    SqliteCursor(SqliteBackend* backend, sqlite3_stmt* stmt) : m_backend(backend), m_stmt(stmt) {}
    ~SqliteCursor() override { sqlite3_finalize(m_stmt); }

    bool step() override;
    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    QString columnName(int i) const override
    {
        return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
    }
    SqlValue::Type columnType(int i) const override
    {
        switch (sqlite3_column_type(m_stmt, i)) {
        case SQLITE_INTEGER:
            return SqlValue::Type::Integer;
        case SQLITE_FLOAT:
            return SqlValue::Type::Real;
        case SQLITE_TEXT:
            return SqlValue::Type::Text;
        case SQLITE_BLOB:
            return SqlValue::Type::Blob;
        default:
            return SqlValue::Type::Null;
        }
    }
    const char* textUtf8(int i, int* length) const override
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        *length = sqlite3_column_bytes(m_stmt, i);
        return text ? text : "";
    }
    qint64 integer(int i) const override { return sqlite3_column_int64(m_stmt, i); }
    double real(int i) const override { return sqlite3_column_double(m_stmt, i); }
    QByteArray bytes(int i) const override
    {
        const void* data = sqlite3_column_blob(m_stmt, i);
        const int length = sqlite3_column_bytes(m_stmt, i);
        return data ? QByteArray(static_cast<const char*>(data), length) : QByteArray();
    }
    QStringList parameterNames() const override
    {
        QStringList names;
        const int count = sqlite3_bind_parameter_count(m_stmt);
        for (int i = 1; i <= count; ++i) {
            const char* name = sqlite3_bind_parameter_name(m_stmt, i);
            // ":name" and "$name" alike; a bare "?" has no name.
            names.append(name ? QString::fromUtf8(name + 1) : QString());
        }
        return names;
    }
    void rebind(const std::vector<SqlValue>& values) override;

private:
    SqliteBackend* m_backend;
    sqlite3_stmt* m_stmt;
};

class SqliteBackend final : public ConnectionBackend {
public:
    SqliteBackend(sqlite3* db, const QString& path) : m_db(db), m_path(path) {}
    ~SqliteBackend() override { sqlite3_close_v2(m_db); }

    const SqlDialect& dialect() const override { return SqlDialect::sqlite(); }
    QString describe() const override { return m_path; }
    bool isServer() const override { return false; }

    // Raises DatabaseError for the connection's last error. A lock, a read-only file and a
    // full disk get a message in the user's language naming the database file.
    [[noreturn]] void fail() const
    {
        const int code = sqlite3_extended_errcode(m_db);
        const QString sqliteText = QString::fromUtf8(sqlite3_errmsg(m_db));
        DatabaseError::Kind kind = DatabaseError::Kind::Other;
        QString message;
        const QString file = QDir::toNativeSeparators(m_path);
        switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            kind = DatabaseError::Kind::Busy;
            message = Lang.Database_is_in_use.arg(file);
            break;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
            kind = DatabaseError::Kind::ReadOnly;
            message = Lang.Database_is_read_only.arg(file);
            break;
        case SQLITE_FULL:
            kind = DatabaseError::Kind::Full;
            message = Lang.Database_is_full.arg(file);
            break;
        case SQLITE_CONSTRAINT:
            kind = DatabaseError::Kind::Constraint;
            break;
        default:
            break;
        }
        // A lock, a read-only file or a full disk is something the user can act on: say so
        // in their language, with SQLite's own words underneath.
        if (!message.isEmpty())
            message += QStringLiteral("\n\n") + sqliteText;
        else
            message = sqliteText;
        DatabaseError error(message, code);
        error.kind = kind;
        error.detail = sqliteText;
        if (kind == DatabaseError::Kind::Constraint) {
            error.constraint = constraintOf(code);
            error.column = constraintColumnOf(sqliteText);
        }
        throw error;
    }

    // Prepares the statements of the text in turn; each is handed over and finalised before
    // the next is prepared, so that a statement may use what the one before it made.
    template <class Each>
    void forEachStatement(const QString& sql, Each each)
    {
        const QByteArray utf8 = sql.toUtf8();
        const char* tail = utf8.constData();
        const char* end = tail + utf8.size();
        while (tail < end) {
            sqlite3_stmt* raw = nullptr;
            if (sqlite3_prepare_v2(m_db, tail, static_cast<int>(end - tail), &raw, &tail) != SQLITE_OK)
                fail();
            if (!raw)
                break; // only blanks or comments were left
            SqliteCursor stmt(this, raw);
            each(stmt);
        }
    }

    void check(const QString& sql) override
    {
        forEachStatement(sql, [](SqliteCursor&) {});
    }

    QueryResult runScript(const QString& sql) override
    {
        QueryResult result;
        forEachStatement(sql, [&result](SqliteCursor& stmt) {
            QueryResult current;
            const int columns = stmt.columnCount();
            for (int c = 0; c < columns; ++c)
                current.columns.append(stmt.columnName(c));
            while (stmt.step()) {
                std::vector<SqlValue> row;
                row.reserve(columns);
                for (int c = 0; c < columns; ++c)
                    row.push_back(valueOf(stmt, c));
                current.rows.push_back(std::move(row));
            }
            if (columns > 0 || result.columns.isEmpty())
                result = std::move(current);
        });
        return result;
    }

    // Statements run on this thread from the first step to the last; there is no waiting
    // for anyone else, so nothing to interrupt.
    void setWaitHook(std::function<void()>) override {}
    std::unique_ptr<StatementCursor> prepare(const QString& sql, const BlobParams& params,
                                             bool = false) override
    {
        const QByteArray utf8 = sql.toUtf8();
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &raw, nullptr)
            != SQLITE_OK)
            fail();
        if (!raw)
            return nullptr; // nothing but blanks or comments
        auto cursor = std::make_unique<SqliteCursor>(this, raw);
        for (const auto& [name, bytes] : params) {
            const QByteArray key = (u':' + name).toUtf8();
            const int index = sqlite3_bind_parameter_index(raw, key.constData());
            if (index == 0)
                continue;
            if (sqlite3_bind_blob64(raw, index, bytes.constData(),
                                    static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT)
                != SQLITE_OK)
                fail();
        }
        return cursor;
    }

    std::unique_ptr<StatementCursor> prepareBound(const QString& sql, bool = false) override
    {
        return prepare(sql, {});
    }

    qint64 insert(const QString& sql, const BlobParams& params) override
    {
        std::unique_ptr<StatementCursor> cursor = prepare(sql, params);
        if (cursor) {
            while (cursor->step()) {
            }
        }
        return sqlite3_last_insert_rowid(m_db);
    }

    qint64 rowsAffected() const override { return sqlite3_changes64(m_db); }
    qint64 lastInsertId() const override { return sqlite3_last_insert_rowid(m_db); }

    void begin() override
    {
        // IMMEDIATE takes the write lock at once, so the values read inside (the next
        // counter, the row as it is now) cannot change before the write.
        control("BEGIN IMMEDIATE");
    }
    void commit() override { control("COMMIT"); }
    void rollback() noexcept override
    {
        // SQLite may already have rolled back by itself (a full disk does that).
        if (inTransaction())
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    bool inTransaction() const override { return sqlite3_get_autocommit(m_db) == 0; }

    bool hasTable(const QString& name) override
    {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", -1, &raw,
                           nullptr);
        StmtPtr stmt(raw);
        const QByteArray utf8 = name.toUtf8();
        sqlite3_bind_text(raw, 1, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(raw);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            fail();
        return rc == SQLITE_ROW;
    }

    bool schemaExists() override
    {
        const QueryResult r =
            runScript(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'"));
        return !r.isEmpty() && r.rows.front().front().toInt() > 0;
    }
    // BEGIN IMMEDIATE already keeps every other writer out until the transaction ends.
    void lockCounter(const QString&) override {}
    void setBusyTimeout(int milliseconds) override { sqlite3_busy_timeout(m_db, milliseconds); }
    // Statements run to the end on the one thread; there is nothing running to stop.
    void cancelRunning() override {}

    static SqlValue valueOf(const SqliteCursor& c, int i)
    {
        switch (c.columnType(i)) {
        case SqlValue::Type::Integer:
            return SqlValue::integer(c.integer(i));
        case SqlValue::Type::Real:
            return SqlValue::real(c.real(i));
        case SqlValue::Type::Text: {
            int length = 0;
            const char* utf8 = c.textUtf8(i, &length);
            return SqlValue::text(QByteArray(utf8, length));
        }
        case SqlValue::Type::Blob:
            return SqlValue::blob(c.bytes(i));
        case SqlValue::Type::Null:
            break;
        }
        return SqlValue();
    }

private:
    // A transaction-control statement; the observer does not see it.
    void control(const char* sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
    }

    sqlite3* m_db;
    QString m_path;
};

bool SqliteCursor::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_backend->fail();
}

void SqliteCursor::rebind(const std::vector<SqlValue>& values)
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    const int count = std::min(sqlite3_bind_parameter_count(m_stmt), static_cast<int>(values.size()));
    for (int i = 0; i < count; ++i) {
        const SqlValue& v = values[static_cast<size_t>(i)];
        int rc = SQLITE_OK;
        switch (v.type()) {
        case SqlValue::Type::Null:
            break;
        case SqlValue::Type::Integer:
            rc = sqlite3_bind_int64(m_stmt, i + 1, v.toInt());
            break;
        case SqlValue::Type::Real:
            rc = sqlite3_bind_double(m_stmt, i + 1, v.toReal());
            break;
        case SqlValue::Type::Text: {
            const QByteArray utf8 = v.toBytes();
            rc = sqlite3_bind_text64(m_stmt, i + 1, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        case SqlValue::Type::Blob: {
            const QByteArray bytes = v.toBytes();
            rc = sqlite3_bind_blob64(m_stmt, i + 1, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                                     SQLITE_TRANSIENT);
            break;
        }
        }
        if (rc != SQLITE_OK)
            m_backend->fail();
    }
}

} // namespace

std::unique_ptr<ConnectionBackend> SqlBackends::openSqlite(const QString& path, bool readOnly,
                                                           int busyTimeoutMs)
{
    sqlite3* db = nullptr;
    // The connection lives on the window's thread alone: without a lock of its own, reading a
    // million cells does not take and release one for every value read.
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
                      | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db))
                                   : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db);
        throw DatabaseError(QStringLiteral("%1: %2").arg(message, path), readOnly ? rc : 0);
    }
    // Author SQL written for this engine puts text values between double quotes.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    if (!readOnly)
        sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 1, nullptr);
    // A brief lock held by another program on a shared database waits instead of failing.
    sqlite3_busy_timeout(db, busyTimeoutMs);
    registerLike(db);
    // A saved record must survive a power cut: every commit reaches the disk.
    if (!readOnly)
        sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return std::make_unique<SqliteBackend>(db, path);
}
