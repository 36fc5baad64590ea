#include "platform/sql_connection.h"

#include "platform/errors.h"
#include "platform/sql_backend.h"
#include "platform/sql_dialect.h"

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

QString SqlValue::realText(double v)
{
    QString s = QString::number(v, 'g', 15);
    if (!s.contains(u'.') && !s.contains(u'e') && !s.contains(u'n') && !s.contains(u'i'))
        s += QStringLiteral(".0");
    return s;
}

QString SqlValue::toText() const
{
    switch (m_type) {
    case Type::Null:
        return QString();
    case Type::Integer:
        return QString::number(m_int);
    case Type::Real:
        return realText(m_real);
    case Type::Text:
    case Type::Blob:
        return QString::fromUtf8(m_bytes);
    }
    return QString();
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

double SqlValue::toReal() const
{
    switch (m_type) {
    case Type::Integer:
        return static_cast<double>(m_int);
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

SqlStatement::SqlStatement(std::unique_ptr<StatementCursor> cursor) : m_cursor(std::move(cursor)) {}

SqlStatement::SqlStatement(SqlStatement&& other) noexcept = default;

SqlStatement::~SqlStatement() = default;

bool SqlStatement::step()
{
    return m_cursor && m_cursor->step();
}

int SqlStatement::columnCount() const
{
    return m_cursor ? m_cursor->columnCount() : 0;
}

QString SqlStatement::columnName(int i) const
{
    return m_cursor->columnName(i);
}

SqlValue::Type SqlStatement::columnType(int i) const
{
    return m_cursor->columnType(i);
}

const char* SqlStatement::textUtf8(int i, int* length) const
{
    return m_cursor->textUtf8(i, length);
}

QString SqlStatement::text(int i) const
{
    int length = 0;
    const char* utf8 = m_cursor->textUtf8(i, &length);
    return QString::fromUtf8(utf8, length);
}

qint64 SqlStatement::integer(int i) const
{
    return m_cursor->integer(i);
}

double SqlStatement::real(int i) const
{
    return m_cursor->real(i);
}

QByteArray SqlStatement::bytes(int i) const
{
    return m_cursor->bytes(i);
}

void SqlStatement::cancel()
{
    if (m_cursor)
        m_cursor->cancel();
}

QStringList SqlStatement::parameterNames() const
{
    return m_cursor ? m_cursor->parameterNames() : QStringList();
}

void SqlStatement::rebind(const std::vector<SqlValue>& values)
{
    if (m_cursor)
        m_cursor->rebind(values);
}

void StatementCursor::rebind(const std::vector<SqlValue>&)
{
    throw DatabaseError(QStringLiteral("the statement was not prepared to be run again"));
}

SqlValue SqlStatement::value(int i) const
{
    switch (columnType(i)) {
    case SqlValue::Type::Integer:
        return SqlValue::integer(integer(i));
    case SqlValue::Type::Real:
        return SqlValue::real(real(i));
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

void SqlConnection::open(const QString& path)
{
    close();
    m_backend = SqlBackends::openSqlite(path, false, m_busyTimeoutMs);
}

void SqlConnection::openReadOnly(const QString& path)
{
    close();
    m_backend = SqlBackends::openSqlite(path, true, m_busyTimeoutMs);
}

void SqlConnection::openServer(const QString& conninfo, const PasswordProvider& password)
{
    close();
    m_backend = SqlBackends::openPostgres(conninfo, m_busyTimeoutMs, password);
    m_backend->setWaitHook(m_waitHook);
}

bool SqlConnection::namesServer(const QString& setting)
{
    const QString s = setting.trimmed();
    if (s.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || s.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return true;
    // A libpq "key=value" list starts with one of libpq's keywords; a file name with "=" in
    // it does not (the keywords a list would start with are few).
    static const char* const keywords[] = {"service", "host", "hostaddr", "dbname", "port",
                                           "user"};
    const qsizetype eq = s.indexOf(u'=');
    if (eq <= 0)
        return false;
    const QString key = s.left(eq).trimmed();
    for (const char* k : keywords)
        if (key == QLatin1String(k))
            return true;
    return false;
}

void SqlConnection::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (m_backend)
        m_backend->setBusyTimeout(milliseconds);
}

void SqlConnection::useRollbackJournal()
{
    // A write-ahead log needs shared memory that network shares do not give reliably, and
    // the database may live on one; the rollback journal works everywhere.
    if (backend().isServer())
        return;
    m_backend->runScript(QStringLiteral("PRAGMA journal_mode=DELETE"));
}

bool SqlConnection::inTransaction() const
{
    return m_backend && m_backend->inTransaction();
}

void SqlConnection::close()
{
    m_backend.reset();
}

bool SqlConnection::isServer() const
{
    return m_backend && m_backend->isServer();
}

QString SqlConnection::path() const
{
    return m_backend ? m_backend->describe() : QString();
}

const SqlDialect& SqlConnection::dialect() const
{
    return m_backend ? m_backend->dialect() : SqlDialect::sqlite();
}

ConnectionBackend& SqlConnection::backend() const
{
    if (!m_backend)
        throw DatabaseError(QStringLiteral("The database is not open."));
    return *m_backend;
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
    ConnectionBackend& b = backend();
    notify(sql);
    std::unique_ptr<StatementCursor> cursor = b.prepare(sql, params);
    if (cursor) {
        while (cursor->step()) {
        }
    }
}

QueryResult SqlConnection::query(const QString& sql)
{
    ConnectionBackend& b = backend();
    notify(sql);
    return b.runScript(sql);
}

SqlStatement SqlConnection::prepare(const QString& sql, Waiting waiting)
{
    ConnectionBackend& b = backend();
    notify(sql);
    return SqlStatement(b.prepare(sql, {}, waiting == Waiting::ProcessEvents));
}

SqlStatement SqlConnection::prepareBound(const QString& sql)
{
    ConnectionBackend& b = backend();
    notify(sql);
    return SqlStatement(b.prepareBound(sql));
}

SqlStatement SqlConnection::prepare(const QString& sql, const SqlParams& params, Waiting waiting)
{
    ConnectionBackend& b = backend();
    notify(sql);
    // The one way values are bound: prepared as a sub-report's statement is, and run once.
    std::unique_ptr<StatementCursor> cursor = b.prepareBound(sql, waiting == Waiting::ProcessEvents);
    if (cursor) {
        std::vector<SqlValue> values;
        for (const QString& name : cursor->parameterNames()) {
            values.emplace_back();
            for (const auto& [given, value] : params)
                if (given == name)
                    values.back() = value; // of two values under one name, the last
        }
        cursor->rebind(values);
    }
    return SqlStatement(std::move(cursor));
}

void SqlConnection::setWaitHook(std::function<void()> hook)
{
    m_waitHook = std::move(hook);
    if (m_backend)
        m_backend->setWaitHook(m_waitHook);
}

void SqlConnection::check(const QString& sql)
{
    backend().check(sql);
}

qint64 SqlConnection::insert(const QString& sql, const BlobParams& params)
{
    ConnectionBackend& b = backend();
    notify(sql);
    return b.insert(sql, params);
}

qint64 SqlConnection::lastInsertRowId() const
{
    return backend().lastInsertId();
}

qint64 SqlConnection::rowsAffected() const
{
    return backend().rowsAffected();
}

bool SqlConnection::schemaExists()
{
    return backend().schemaExists();
}

bool SqlConnection::hasTable(const QString& name)
{
    return backend().hasTable(name);
}

void SqlConnection::lockCounter(const QString& table)
{
    backend().lockCounter(table);
}

void SqlConnection::cancelRunning()
{
    if (m_backend)
        m_backend->cancelRunning();
}

// ---- constraint failures ----

ConstraintKind constraintKind(const DatabaseError& error)
{
    return error.kind == DatabaseError::Kind::Constraint ? error.constraint : ConstraintKind::None;
}

QString constraintColumn(const DatabaseError& error)
{
    return error.column;
}

// ---- SqlTransaction ----

SqlTransaction::SqlTransaction(SqlConnection& connection) : m_conn(connection)
{
    // Inside a transaction that is already open, this one is part of it.
    if (m_conn.inTransaction())
        return;
    m_conn.backend().begin();
    m_owner = true;
}

SqlTransaction::~SqlTransaction()
{
    if (m_owner && m_conn.m_backend)
        m_conn.m_backend->rollback();
}

void SqlTransaction::commit()
{
    if (!m_owner)
        return;
    m_conn.backend().commit();
    m_owner = false;
}
