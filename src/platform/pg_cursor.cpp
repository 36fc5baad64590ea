// The PostgreSQL back end: reading a statement's rows, one result a row from the connection
// (or from memory, once another statement needed the connection), and a bound statement run
// again for each rebind.
#include "platform/pg_backend.h"

#include <cerrno>
#include <charconv>
#include <poll.h>

namespace Pg {

SqlValue::Type PgCursor::columnType(int i) const
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

const char* PgCursor::textUtf8(int i, int* length) const
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

qint64 PgCursor::integer(int i) const
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

double PgCursor::real(int i) const
{
    const Cell& c = cell(i);
    if (c.null)
        return 0;
    double value = 0;
    std::from_chars(c.text, c.text + c.length, value);
    return value;
}

QByteArray PgCursor::bytes(int i) const
{
    int length = 0;
    const char* data = textUtf8(i, &length);
    return QByteArray(data, length);
}

// ---- PgBoundCursor ----

PgBoundCursor::~PgBoundCursor()
{
    m_run.reset();
    PQclear(m_description);
    m_backend->deallocate(m_name, m_preparedOn);
}

void PgBoundCursor::rebind(const std::vector<SqlValue>& values)
{
    // The run before is read away first: the connection answers one statement at a time.
    m_run.reset();
    std::vector<SqlValue> sent(values.begin(), values.begin() + std::min<qsizetype>(values.size(), m_parameters.size()));
    sent.resize(static_cast<size_t>(m_parameters.size()));
    m_run = m_backend->runBound(*this, sent);
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

} // namespace Pg
