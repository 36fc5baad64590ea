#pragma once

// The abstract connection behind SqlConnection: what one database engine must offer. The
// SQLite and PostgreSQL implementations live in sqlite_backend.cpp and pg_*.cpp; the
// rest of the program sees only SqlConnection and SqlStatement.

#include "platform/sql_connection.h"

#include <functional>
#include <memory>

class SqlDialect;

// A forward-only cursor over the rows of one statement.
class StatementCursor {
public:
    virtual ~StatementCursor() = default;
    // Advances to the next row; false at the end. Throws DatabaseError.
    virtual bool step() = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int i) const = 0;
    virtual SqlValue::Type columnType(int i) const = 0;
    // The column as UTF-8 text (a BLOB's bytes as they are), valid until the next step.
    virtual const char* textUtf8(int i, int* length) const = 0;
    virtual qint64 integer(int i) const = 0;
    virtual double real(int i) const = 0;
    virtual QByteArray bytes(int i) const = 0;
    // Stops the statement if it still runs on the server; the next step reports
    // DatabaseError::Kind::Cancelled. Statements that run to the end at once need nothing.
    virtual void cancel() {}
    // A statement prepared to be run again: the names of its ":name" parameters, in the order
    // rebind takes their values, and a fresh run with new values (the rows of the run before
    // are dropped). Other statements have no parameters and refuse a rebind.
    virtual QStringList parameterNames() const { return {}; }
    virtual void rebind(const std::vector<SqlValue>& values);
};

class ConnectionBackend {
public:
    virtual ~ConnectionBackend() = default;
    virtual const SqlDialect& dialect() const = 0;
    // The database as the user knows it: the file's path or the server and database names.
    virtual QString describe() const = 0;
    virtual bool isServer() const = 0;

    // Runs every statement of the text and returns the rows of the last one that gave rows.
    virtual QueryResult runScript(const QString& sql) = 0;
    // Prepares one statement, with named BLOB parameters written ":" + name, for reading row
    // by row. interruptible: while the server works on it, the wait hook runs (the window
    // stays alive, and a newer statement may cancel this one).
    virtual std::unique_ptr<StatementCursor> prepare(const QString& sql, const BlobParams& params,
                                                     bool interruptible = false) = 0;
    virtual void setWaitHook(std::function<void()> hook) = 0;
    // Prepares one statement with named parameters (":name") once; each rebind of the cursor
    // runs it with the values bound, never written into its text. A statement run once with
    // named values is such a statement bound once. interruptible: each run waits as prepare's.
    virtual std::unique_ptr<StatementCursor> prepareBound(const QString& sql, bool interruptible = false) = 0;
    // Prepares every statement of the text and runs none of them: the database parses each
    // one and resolves its names and types. Throws DatabaseError for the first it refuses.
    virtual void check(const QString& sql) = 0;
    // Runs one INSERT and returns the id of the new row.
    virtual qint64 insert(const QString& sql, const BlobParams& params) = 0;
    // The rows changed by the last INSERT, UPDATE or DELETE.
    virtual qint64 rowsAffected() const = 0;
    virtual qint64 lastInsertId() const = 0;

    // BEGIN takes the write lock at once where the engine has one lock for the whole file.
    virtual void begin() = 0;
    virtual void commit() = 0;
    // Never throws: it runs while an error is already on its way.
    virtual void rollback() noexcept = 0;
    virtual bool inTransaction() const = 0;

    // Whether the database holds any table.
    virtual bool schemaExists() = 0;
    // Whether it holds the table of that name (exact).
    virtual bool hasTable(const QString& name) = 0;
    // Serialises the reading of a table's largest counter until the transaction ends.
    virtual void lockCounter(const QString& table) = 0;
    virtual void setBusyTimeout(int milliseconds) = 0;
    // Stops the statement now running on the server, if any; its cursor then reports
    // DatabaseError::Kind::Cancelled.
    virtual void cancelRunning() = 0;
};

namespace SqlBackends {
std::unique_ptr<ConnectionBackend> openSqlite(const QString& path, bool readOnly, int busyTimeoutMs);
// conninfo is a libpq connection URI, a "key=value" list or "service=name".
std::unique_ptr<ConnectionBackend> openPostgres(const QString& conninfo, int busyTimeoutMs,
                                                const SqlConnection::PasswordProvider& password);
} // namespace SqlBackends
