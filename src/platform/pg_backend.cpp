// The PostgreSQL back end: the connection, its statements and transactions, reconnecting after
// the server dropped it, and the wait for a server that takes its time.
#include "platform/lang.h"
#include "platform/pg_backend.h"
#include "platform/sql_dialect.h"

#include <poll.h>

namespace Pg {

namespace {

void quietNotices(void*, const char*) {}

} // namespace

PgBackend::PgBackend(PGconn* conn, int busyTimeoutMs) : m_conn(conn), m_busyTimeoutMs(busyTimeoutMs)
{
    PQsetNoticeProcessor(m_conn, quietNotices, nullptr);
    applySessionSettings();
    loadConstraintColumns();
}

PgBackend::~PgBackend()
{
    if (m_active)
        m_active->discard();
    PQfinish(m_conn);
}

const SqlDialect& PgBackend::dialect() const
{
    return SqlDialect::postgresql();
}

QString PgBackend::serverName(const PGconn* conn)
{
    const QString host = QString::fromUtf8(PQhost(conn));
    const QString db = QString::fromUtf8(PQdb(conn));
    return host.isEmpty() ? db : db + QStringLiteral(" (") + host + u')';
}

QueryResult PgBackend::runScript(const QString& sql)
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

std::unique_ptr<StatementCursor> PgBackend::prepare(const QString& sql, const BlobParams& params, bool interruptible)
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
    return started(PQsendQueryParams(m_conn, text.constData(), count, types.data(), pointers.data(),
                                     lengths.data(), formats.data(), 0),
                   interruptible);
}

std::unique_ptr<PgCursor> PgBackend::started(int sent, bool interruptible)
{
    if (!sent)
        throw errorOf(nullptr);
    PQsetSingleRowMode(m_conn);
    return std::make_unique<PgCursor>(this, interruptible);
}

void PgBackend::prepareNamed(const QByteArray& name, const QByteArray& text)
{
    PGresult* result = PQprepare(m_conn, name.constData(), text.constData(), 0, nullptr);
    if (PQresultStatus(result) != PGRES_COMMAND_OK) {
        DatabaseError error = errorOf(result);
        PQclear(result);
        throw error;
    }
    PQclear(result);
}

std::unique_ptr<StatementCursor> PgBackend::prepareBound(const QString& sql, bool interruptible)
{
    makeReady(true);
    QStringList names;
    QByteArray text = numberParameters(sql, names).toUtf8();
    const QByteArray name = "varnel_bound_" + QByteArray::number(++m_boundCount);
    prepareNamed(name, text);
    PGresult* description = PQdescribePrepared(m_conn, name.constData());
    if (PQresultStatus(description) != PGRES_COMMAND_OK) {
        DatabaseError error = errorOf(description);
        PQclear(description);
        deallocate(name, m_connectionNumber);
        throw error;
    }
    auto cursor = std::make_unique<PgBoundCursor>(this, name, std::move(text), names, description);
    cursor->m_interruptible = interruptible;
    cursor->m_preparedOn = m_connectionNumber;
    return cursor;
}

// Values go as text of a type the server infers from where they stand (a date text next to a
// text column, a number next to an integer), BLOBs as bytes.
std::unique_ptr<PgCursor> PgBackend::runBound(PgBoundCursor& statement, const std::vector<SqlValue>& values)
{
    // A connection the server ended while it stood idle (a restart, a session ended by an
    // administrator) is made again before the run, as before any other statement once the
    // loss is known; inside a transaction the loss is reported instead, as the work went with it.
    if (m_active)
        m_active->buffer();
    if (!m_broken && endedWhileIdle())
        m_broken = true;
    makeReady(true);
    // The server forgets prepared statements with the connection: one prepared on a connection
    // since made again is prepared again, under its name.
    if (statement.m_preparedOn != m_connectionNumber) {
        prepareNamed(statement.m_name, statement.m_text);
        statement.m_preparedOn = m_connectionNumber;
    }
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
    return started(PQsendQueryPrepared(m_conn, statement.m_name.constData(), static_cast<int>(values.size()),
                                       pointers.data(), lengths.data(), formats.data(), 0),
                   statement.m_interruptible);
}

bool PgBackend::endedWhileIdle()
{
    // The server says so on the socket before it closes it; libpq reads that only when asked.
    if (PQstatus(m_conn) != CONNECTION_OK)
        return true;
    for (int reads = 0; reads < 16; ++reads) {
        pollfd socket{PQsocket(m_conn), POLLIN, 0};
        if (poll(&socket, 1, 0) <= 0)
            break;
        if (!PQconsumeInput(m_conn))
            return true;
        PQisBusy(m_conn); // what came is taken in: a notice, or the end of the connection
        if (PQstatus(m_conn) != CONNECTION_OK)
            return true;
    }
    return false;
}

void PgBackend::deallocate(const QByteArray& name, quint64 preparedOn) noexcept
{
    // A statement of a connection since made again went with it.
    if (preparedOn != m_connectionNumber)
        return;
    try {
        makeReady(false);
        PQclear(PQexec(m_conn, ("DEALLOCATE " + name).constData()));
    } catch (...) {
    }
}

void PgBackend::check(const QString& sql)
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

qint64 PgBackend::insert(const QString& sql, const BlobParams& params)
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

void PgBackend::begin()
{
    makeReady(true);
    command("BEGIN");
    m_inTransaction = true;
}

void PgBackend::commit()
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

void PgBackend::rollback() noexcept
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    if (m_active)
        m_active->discard();
    if (PQstatus(m_conn) == CONNECTION_OK)
        PQclear(PQexec(m_conn, "ROLLBACK"));
}

bool PgBackend::hasTable(const QString& name)
{
    QString literal = name;
    literal.replace(u'\'', QStringLiteral("''"));
    literal.replace(u'"', QStringLiteral("\"\""));
    const QueryResult r = runScript(QStringLiteral("SELECT to_regclass('\"") + literal
                                    + QStringLiteral("\"') IS NOT NULL"));
    return !r.isEmpty() && r.rows.front().front().toInt() != 0;
}

bool PgBackend::schemaExists()
{
    const QueryResult r = runScript(QStringLiteral(
        "SELECT count(*) FROM information_schema.tables "
        "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'"));
    return !r.isEmpty() && r.rows.front().front().toInt() > 0;
}

void PgBackend::lockCounter(const QString& table)
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

void PgBackend::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    applySessionSettings();
}

void PgBackend::cancelRunning()
{
    if (m_active)
        m_active->cancel();
}

void PgBackend::cancelOnServer()
{
    if (PGcancel* cancel = PQgetCancel(m_conn)) {
        char message[256];
        PQcancel(cancel, message, sizeof message);
        PQfreeCancel(cancel);
    }
}

void PgBackend::statementDone(PGresult* last)
{
    if (last)
        m_changes = QByteArray(PQcmdTuples(last)).toLongLong();
}

bool PgBackend::changesSchema(const QString& sql)
{
    return sql.contains(QLatin1String("CREATE"), Qt::CaseInsensitive)
           || sql.contains(QLatin1String("ALTER"), Qt::CaseInsensitive);
}

void PgBackend::applySessionSettings()
{
    // A lock held by another user waits as long as SQLite's busy timeout would.
    const QByteArray sql = "SET lock_timeout = " + QByteArray::number(m_busyTimeoutMs);
    PQclear(PQexec(m_conn, sql.constData()));
}

void PgBackend::makeReady(bool mayReconnect)
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
    ++m_connectionNumber;
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

void PgBackend::command(const char* sql)
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

} // namespace Pg

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
            return std::make_unique<Pg::PgBackend>(conn, busyTimeoutMs);

        const QString server = conn ? Pg::PgBackend::serverName(conn) : conninfo;
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
