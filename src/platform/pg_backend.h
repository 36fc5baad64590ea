#pragma once

// The PostgreSQL back end, on libpq, in four files that share this header (nothing else
// includes it): pg_values.cpp reads the server's values and numbers a statement's parameters,
// pg_cursor.cpp reads a statement's rows, pg_errors.cpp tells the server's errors apart, and
// pg_backend.cpp keeps the connection (statements, transactions, reconnecting, waiting).
// Rows are read in single-row mode, so a large result is never held whole; every value comes
// as text and is typed by its column's type. Errors are told apart by SQLSTATE and libpq's
// error fields, never by their wording.

#include "platform/errors.h"
#include "platform/sql_backend.h"

#include <QHash>
#include <libpq-fe.h>
#include <memory>
#include <vector>

namespace Pg {

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
qint64 parseInteger(const char* text, int length);
ColumnKind kindOf(Oid type, Oid table);
// A numeric as SQLite gives it (see pg_values.cpp).
SqlValue numericValue(const char* text, int length, ColumnKind kind);
// bytea in its text form.
QByteArray decodeBytea(const char* text, int length);
// One value of a result held whole.
SqlValue valueOf(const PGresult* result, int row, int column, ColumnKind kind);

// ":name" parameters (outside literals, quoted names and comments) become "$1", "$2", ...;
// names gives each number's parameter name. A "::type" cast is left alone.
QString numberParameters(const QString& sql, QStringList& names);
// The statements of a script, split at the semicolons outside literals, quoted names and
// comments; pieces holding nothing but blanks and comments are left out. A server prepares
// one statement at a time.
QStringList splitStatements(const QString& sql);

class PgBackend;

class PgCursor final : public StatementCursor {
public:
    // The statement has been sent; the cursor reads its first answer.
    PgCursor(PgBackend* backend, bool interruptible);
    ~PgCursor() override;

    bool step() override;
    int columnCount() const override { return m_columns; }
    QString columnName(int i) const override { return QString::fromUtf8(PQfname(m_meta, i)); }
    SqlValue::Type columnType(int i) const override;
    const char* textUtf8(int i, int* length) const override;
    qint64 integer(int i) const override;
    double real(int i) const override;
    QByteArray bytes(int i) const override;

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
    // text is the statement with its parameters numbered; description its columns.
    PgBoundCursor(PgBackend* backend, QByteArray name, QByteArray text, QStringList parameters,
                  PGresult* description)
        : m_backend(backend), m_name(std::move(name)), m_text(std::move(text)),
          m_parameters(std::move(parameters)), m_description(description)
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
    friend class PgBackend;
    PgBackend* m_backend;
    QByteArray m_name;
    QByteArray m_text;
    QStringList m_parameters;
    PGresult* m_description;
    std::unique_ptr<PgCursor> m_run;
    bool m_interruptible = false;
    quint64 m_preparedOn = 0; // the connection it was prepared on (see PgBackend::m_connectionNumber)
};

class PgBackend final : public ConnectionBackend {
public:
    PgBackend(PGconn* conn, int busyTimeoutMs);
    ~PgBackend() override;

    const SqlDialect& dialect() const override;
    QString describe() const override { return serverName(m_conn); }
    bool isServer() const override { return true; }

    static QString serverName(const PGconn* conn);

    QueryResult runScript(const QString& sql) override;
    void setWaitHook(std::function<void()> hook) override { m_waitHook = std::move(hook); }
    std::unique_ptr<StatementCursor> prepare(const QString& sql, const BlobParams& params,
                                             bool interruptible = false) override;
    std::unique_ptr<StatementCursor> prepareBound(const QString& sql, bool interruptible = false) override;
    // Sends a run of a bound statement (prepared again first when the connection was made
    // again since); its cursor reads the answer.
    std::unique_ptr<PgCursor> runBound(PgBoundCursor& statement, const std::vector<SqlValue>& values);
    // Lets a bound statement go on the server. Never throws: it runs when its cursor goes.
    void deallocate(const QByteArray& name, quint64 preparedOn) noexcept;
    void check(const QString& sql) override;
    qint64 insert(const QString& sql, const BlobParams& params) override;
    qint64 rowsAffected() const override { return m_changes; }
    qint64 lastInsertId() const override { return m_lastId; }

    void begin() override;
    void commit() override;
    void rollback() noexcept override;
    bool inTransaction() const override { return m_inTransaction; }

    bool hasTable(const QString& name) override;
    bool schemaExists() override;
    void lockCounter(const QString& table) override;
    void setBusyTimeout(int milliseconds) override;
    void cancelRunning() override;
    // Asks the server to stop the statement now running; its answer is then read away.
    void cancelOnServer();

    // ---- used by the cursor ----

    PgCursor* m_active = nullptr;
    std::function<void()> m_waitHook;
    quint64 m_boundCount = 0;

    DatabaseError errorOf(const PGresult* result);
    void statementDone(PGresult* last);
    PGconn* connection() const { return m_conn; }

private:
    static bool changesSchema(const QString& sql);
    // The statement sent (sent is libpq's answer to the sending): its cursor reads the rows.
    std::unique_ptr<PgCursor> started(int sent, bool interruptible);
    // Prepares the text on the server under the name.
    void prepareNamed(const QByteArray& name, const QByteArray& text);
    // Whether the server ended the connection while it stood idle, unknown to libpq so far.
    bool endedWhileIdle();
    void applySessionSettings();
    // The first column of every unique index and check constraint of the schema, by name:
    // PostgreSQL names the constraint a write broke, not its column.
    void loadConstraintColumns();
    // Before a statement: a cursor still reading keeps its rows in memory, and a connection
    // that the server dropped is made again, when no transaction was lost with it.
    void makeReady(bool mayReconnect);
    void command(const char* sql);

    PGconn* m_conn;
    int m_busyTimeoutMs;
    qint64 m_lastId = -1;
    qint64 m_changes = 0;
    bool m_inTransaction = false;
    bool m_broken = false; // a statement found the connection gone; reconnect before the next
    quint64 m_connectionNumber = 0; // counts the times the connection was made again
    QHash<QString, QString> m_constraintColumns;
};

} // namespace Pg
