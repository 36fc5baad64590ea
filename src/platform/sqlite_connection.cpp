#include "platform/sqlite_connection.h"

#include "platform/errors.h"
#include "platform/lang.h"

#include <QDir>
#include <sqlite3.h>

namespace {

struct StmtDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtDeleter>;
} // namespace

// ---- SqlValue ----

SqlValue SqlValue::integer(qint64 v)
{
    SqlValue r;
    r.m_type = Type::Integer;
    r.m_int = v;
    return r;
}

SqlValue SqlValue::real(double v)
{
    SqlValue r;
    r.m_type = Type::Real;
    r.m_real = v;
    return r;
}

SqlValue SqlValue::text(QByteArray utf8)
{
    SqlValue r;
    r.m_type = Type::Text;
    r.m_bytes = std::move(utf8);
    return r;
}

SqlValue SqlValue::blob(QByteArray bytes)
{
    SqlValue r;
    r.m_type = Type::Blob;
    r.m_bytes = std::move(bytes);
    return r;
}

QString SqlValue::toText() const
{
    switch (m_type) {
    case Type::Null:
        return QString();
    case Type::Integer:
        return QString::number(m_int);
    case Type::Real: {
        // SQLite's own text form of a REAL ("%!.15g").
        QString s = QString::number(m_real, 'g', 15);
        if (!s.contains(u'.') && !s.contains(u'e') && !s.contains(u'n') && !s.contains(u'i'))
            s += QStringLiteral(".0");
        return s;
    }
    case Type::Text:
    case Type::Blob:
        return QString::fromUtf8(m_bytes);
    }
    return QString();
}

double SqlValue::toReal() const
{
    switch (m_type) {
    case Type::Integer:
        return double(m_int);
    case Type::Real:
        return m_real;
    case Type::Text:
    case Type::Blob:
        return m_bytes.trimmed().toDouble();
    case Type::Null:
        break;
    }
    return 0;
}

qint64 SqlValue::toInt() const
{
    switch (m_type) {
    case Type::Integer:
        return m_int;
    case Type::Real:
        return static_cast<qint64>(m_real);
    case Type::Text:
    case Type::Blob:
        return m_bytes.trimmed().toLongLong();
    case Type::Null:
        break;
    }
    return 0;
}

QByteArray SqlValue::toBytes() const
{
    if (m_type == Type::Text || m_type == Type::Blob)
        return m_bytes;
    if (m_type == Type::Null)
        return QByteArray();
    return toText().toUtf8();
}

int QueryResult::columnIndex(const QString& name) const
{
    return static_cast<int>(columns.indexOf(name));
}

// ---- SqlStatement ----

SqlStatement::SqlStatement(SqlStatement&& other) noexcept
    : m_conn(other.m_conn), m_stmt(other.m_stmt)
{
    other.m_stmt = nullptr;
}

SqlStatement::~SqlStatement()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

bool SqlStatement::step()
{
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_conn->fail();
}

int SqlStatement::columnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QString SqlStatement::columnName(int i) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
}

SqlValue::Type SqlStatement::columnType(int i) const
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

bool SqlStatement::isNull(int i) const
{
    return sqlite3_column_type(m_stmt, i) == SQLITE_NULL;
}

const char* SqlStatement::textUtf8(int i, int* length) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    *length = sqlite3_column_bytes(m_stmt, i);
    return text ? text : "";
}

QString SqlStatement::text(int i) const
{
    int length = 0;
    const char* utf8 = textUtf8(i, &length);
    return QString::fromUtf8(utf8, length);
}

qint64 SqlStatement::integer(int i) const
{
    return sqlite3_column_int64(m_stmt, i);
}

double SqlStatement::real(int i) const
{
    return sqlite3_column_double(m_stmt, i);
}

QByteArray SqlStatement::bytes(int i) const
{
    const void* data = sqlite3_column_blob(m_stmt, i);
    const int length = sqlite3_column_bytes(m_stmt, i);
    return data ? QByteArray(static_cast<const char*>(data), length) : QByteArray();
}

SqlValue SqlStatement::value(int i) const
{
    switch (columnType(i)) {
    case SqlValue::Type::Integer:
        return SqlValue::integer(integer(i));
    case SqlValue::Type::Real:
        return SqlValue::real(sqlite3_column_double(m_stmt, i));
    case SqlValue::Type::Text: {
        int length = 0;
        const char* utf8 = textUtf8(i, &length);
        return SqlValue::text(QByteArray(utf8, length));
    }
    case SqlValue::Type::Blob:
        return SqlValue::blob(bytes(i));
    case SqlValue::Type::Null:
        break;
    }
    return SqlValue();
}

// ---- SqlConnection ----

SqlConnection::SqlConnection() = default;

SqlConnection::~SqlConnection()
{
    close();
}

QString SqlConnection::userMessage(int code) const
{
    const QString file = QDir::toNativeSeparators(m_path);
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Lang.Database_is_in_use.arg(file);
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return Lang.Database_is_read_only.arg(file);
    case SQLITE_FULL:
        return Lang.Database_is_full.arg(file);
    default:
        return QString();
    }
}

void SqlConnection::fail(const QString& context) const
{
    if (!m_db)
        throw DatabaseError(QStringLiteral("The database is not open."));
    const int code = sqlite3_extended_errcode(m_db);
    const QString sqliteText = QString::fromUtf8(sqlite3_errmsg(m_db));
    QString message = userMessage(code);
    // A lock, a read-only file or a full disk is something the user can act on: say so in
    // their language, with SQLite's own words underneath.
    if (!message.isEmpty())
        message += QStringLiteral("\n\n") + sqliteText;
    else
        message = sqliteText;
    if (!context.isEmpty())
        message = context + QStringLiteral(": ") + message;
    DatabaseError error(message, code);
    error.detail = sqliteText;
    throw error;
}

void SqlConnection::open(const QString& path)
{
    close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db))
                                   : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db);
        throw DatabaseError(QStringLiteral("%1: %2").arg(message, path));
    }
    m_db = db;
    m_path = path;
    // The generated statements write text values between double quotes.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 1, nullptr);
    // A brief lock held by another program on a shared database waits instead of failing.
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    // A saved record must survive a power cut: every commit reaches the disk.
    sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
}

void SqlConnection::openReadOnly(const QString& path)
{
    close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db))
                                   : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db);
        throw DatabaseError(QStringLiteral("%1: %2").arg(message, path), rc);
    }
    m_db = db;
    m_path = path;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
}

void SqlConnection::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

void SqlConnection::useRollbackJournal()
{
    // A write-ahead log needs shared memory that network shares do not give reliably, and
    // the database may live on one; the rollback journal works everywhere.
    requireOpen();
    if (sqlite3_exec(m_db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

bool SqlConnection::inTransaction() const
{
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

void SqlConnection::control(const char* sql)
{
    requireOpen();
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

// ---- constraint failures ----

ConstraintKind constraintKind(const DatabaseError& error)
{
    if (error.primaryCode() != SQLITE_CONSTRAINT)
        return ConstraintKind::None;
    switch (error.code()) {
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

QString constraintColumn(const DatabaseError& error)
{
    // "NOT NULL constraint failed: customers.name", "UNIQUE constraint failed: t.a, t.b",
    // "CHECK constraint failed: name"; the first column named is the one reported.
    const QString& text = error.detail;
    const qsizetype colon = text.indexOf(QStringLiteral("failed: "));
    if (colon < 0)
        return QString();
    QString name = text.mid(colon + 8);
    name = name.left(name.indexOf(u',')).trimmed();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.mid(dot + 1);
}

// ---- SqlTransaction ----

SqlTransaction::SqlTransaction(SqlConnection& connection) : m_conn(connection)
{
    // Inside a transaction that is already open, this one is part of it.
    if (m_conn.inTransaction())
        return;
    // IMMEDIATE takes the write lock at once, so the values read inside (the next counter)
    // cannot be taken by another program before the write.
    m_conn.control("BEGIN IMMEDIATE");
    m_owner = true;
}

SqlTransaction::~SqlTransaction()
{
    // SQLite may already have rolled back by itself (a full disk does that).
    if (m_owner && m_conn.inTransaction())
        sqlite3_exec(m_conn.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqlTransaction::commit()
{
    if (!m_owner)
        return;
    m_conn.control("COMMIT");
    m_owner = false;
}

void SqlConnection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void SqlConnection::requireOpen() const
{
    if (!m_db)
        throw DatabaseError(QStringLiteral("The database is not open."));
}

void SqlConnection::notify(const QString& sql) const
{
    if (m_observer)
        m_observer(sql);
}

void SqlConnection::execute(const QString& sql)
{
    query(sql);
}

void SqlConnection::execute(const QString& sql, const BlobParams& params)
{
    requireOpen();
    notify(sql);
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &raw, nullptr)
        != SQLITE_OK)
        fail();
    StmtPtr stmt(raw);
    if (!stmt)
        return;
    for (const auto& [name, bytes] : params) {
        const QByteArray key = (u':' + name).toUtf8();
        const int index = sqlite3_bind_parameter_index(stmt.get(), key.constData());
        if (index == 0)
            continue;
        if (sqlite3_bind_blob64(stmt.get(), index, bytes.constData(),
                                static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT)
            != SQLITE_OK)
            fail();
    }
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        fail();
}

QueryResult SqlConnection::query(const QString& sql)
{
    requireOpen();
    notify(sql);
    QueryResult result;
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = utf8.constData();
    const char* end = tail + utf8.size();
    while (tail < end) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db, tail, static_cast<int>(end - tail), &raw, &tail) != SQLITE_OK)
            fail();
        if (!raw)
            break; // only blanks or comments were left
        SqlStatement stmt(this, raw);
        QueryResult current;
        const int columns = stmt.columnCount();
        for (int c = 0; c < columns; ++c)
            current.columns.append(stmt.columnName(c));
        while (stmt.step()) {
            std::vector<SqlValue> row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row.push_back(stmt.value(c));
            current.rows.push_back(std::move(row));
        }
        if (columns > 0 || result.columns.isEmpty())
            result = std::move(current);
    }
    return result;
}

SqlStatement SqlConnection::prepare(const QString& sql)
{
    requireOpen();
    notify(sql);
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), static_cast<int>(utf8.size()), &raw, nullptr)
        != SQLITE_OK)
        fail();
    return SqlStatement(this, raw);
}

qint64 SqlConnection::lastInsertRowId() const
{
    requireOpen();
    return sqlite3_last_insert_rowid(m_db);
}
