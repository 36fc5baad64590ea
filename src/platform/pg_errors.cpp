// The PostgreSQL back end: the server's errors told apart by SQLSTATE and libpq's error fields
// (never by their wording), and the columns of the schema's constraints, which the server names
// only by the constraint.
#include "platform/lang.h"
#include "platform/pg_backend.h"

namespace Pg {

DatabaseError PgBackend::errorOf(const PGresult* result)
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

void PgBackend::loadConstraintColumns()
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

} // namespace Pg
