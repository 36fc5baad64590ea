#pragma once

#include "platform/errors.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ConnectionBackend;
class SqlDialect;
class StatementCursor;

// One value of a result row. NULL reads as empty text or 0.
class SqlValue {
public:
    enum class Type { Null, Integer, Real, Text, Blob };

    SqlValue() = default;
    static SqlValue integer(qint64 v);
    static SqlValue real(double v);
    static SqlValue text(QByteArray utf8);
    static SqlValue blob(QByteArray bytes);

    Type type() const { return m_type; }
    bool isNull() const { return m_type == Type::Null; }
    bool isBlob() const { return m_type == Type::Blob; }
    QString toText() const;
    qint64 toInt() const;
    double toReal() const;
    QByteArray toBytes() const;

    // SQLite's own text of a REAL ("%!.15g"): 10.0 stays "10.0".
    static QString realText(double v);

private:
    Type m_type = Type::Null;
    qint64 m_int = 0;
    double m_real = 0;
    QByteArray m_bytes;
};

// A whole result, read into memory.
struct QueryResult {
    QStringList columns;
    std::vector<std::vector<SqlValue>> rows;

    bool isEmpty() const { return rows.empty(); }
    // Index of the first column with that name (exact), -1 when there is none.
    int columnIndex(const QString& name) const;
};

using BlobParams = QList<QPair<QString, QByteArray>>;

// Named values of a statement, written ":" + name in its text: bound as values, never pasted
// into the text. A name the text does not use is ignored; one it uses without a value is NULL.
using SqlParams = QList<QPair<QString, SqlValue>>;

// A prepared statement read row by row; the fast path for large results.
class SqlStatement {
public:
    SqlStatement(SqlStatement&& other) noexcept;
    SqlStatement& operator=(SqlStatement&&) = delete;
    ~SqlStatement();

    // Advances to the next row; false at the end. Throws DatabaseError.
    bool step();
    int columnCount() const;
    QString columnName(int i) const;
    SqlValue::Type columnType(int i) const;
    bool isNull(int i) const { return columnType(i) == SqlValue::Type::Null; }
    QString text(int i) const;
    // The column as UTF-8 bytes, valid until the next step.
    const char* textUtf8(int i, int* length) const;
    qint64 integer(int i) const;
    double real(int i) const;
    QByteArray bytes(int i) const;
    SqlValue value(int i) const;
    // Stops the statement if it still runs on the server (a search replaced by a newer one);
    // its next step reports DatabaseError::Kind::Cancelled.
    void cancel();
    // A statement from SqlConnection::prepareBound: its parameters' names, and a new run with
    // their values (in that order) bound; step then reads the rows of that run.
    QStringList parameterNames() const;
    void rebind(const std::vector<SqlValue>& values);

private:
    friend class SqlConnection;
    explicit SqlStatement(std::unique_ptr<StatementCursor> cursor);
    std::unique_ptr<StatementCursor> m_cursor;
};

// The database connection: an SQLite file, or a PostgreSQL database on a server. Every
// failure raises DatabaseError with a kind that does not depend on the back end; the
// statements the engine writes ask the connection's dialect for names, types and matching.
// On SQLite, text values written as double-quoted literals are accepted, as the author's
// SQL may need.
class SqlConnection {
public:
    using Observer = std::function<void(const QString& sql)>;
    // Asked for the password when the server wants one that libpq's own files do not hold;
    // the text names the server and the user. Nothing means the user gave up.
    using PasswordProvider = std::function<std::optional<QString>(const QString& prompt)>;

    SqlConnection();
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    // Opens the SQLite file, creating it when it is missing. Commits are written through to
    // the disk (synchronous FULL).
    void open(const QString& path);
    // Opens an existing SQLite file for reading only; a missing file is an error, never created.
    void openReadOnly(const QString& path);
    // Connects to a PostgreSQL database named by a libpq connection URI
    // ("postgresql://host/db"), a "key=value" list or "service=name". Passwords come from
    // libpq's password and service files, else from the provider.
    void openServer(const QString& conninfo, const PasswordProvider& password = {});
    // Whether a database setting names a server rather than a file.
    static bool namesServer(const QString& setting);

    // How long a statement waits for a lock held by another user before it fails.
    void setBusyTimeout(int milliseconds);
    // Keeps an SQLite database in rollback-journal mode (and takes a write-ahead-log database
    // back); nothing to do on a server.
    void useRollbackJournal();
    bool inTransaction() const;
    void close();
    bool isOpen() const { return m_backend != nullptr; }
    bool isServer() const;
    // The SQLite file's path, or the server and database as the user knows them.
    QString path() const;
    const SqlDialect& dialect() const;

    // Runs every statement of the text; results are discarded.
    void execute(const QString& sql);
    // Runs one statement with named BLOB parameters, written ":" + name in the text.
    void execute(const QString& sql, const BlobParams& params);
    // Runs the text and returns the rows of its last statement.
    QueryResult query(const QString& sql);
    // Prepares the (first) statement of the text for reading row by row. A statement that
    // waits for a server with ProcessEvents keeps the program answering meanwhile (see
    // setWaitHook); a click then may start another statement, which finds this one's rows
    // already read, or cancels it.
    enum class Waiting { Block, ProcessEvents };
    SqlStatement prepare(const QString& sql, Waiting waiting = Waiting::Block);
    // Prepares one statement whose ":name" parameters are bound for each run (rebind), never
    // pasted into its text; it is parsed once and run as often as needed. Before the first
    // rebind it has its columns and no rows.
    SqlStatement prepareBound(const QString& sql);
    // The same with named values bound to its ":name" parameters.
    SqlStatement prepare(const QString& sql, const SqlParams& params, Waiting waiting = Waiting::Block);
    // Run now and then while an interruptible statement waits for a server.
    void setWaitHook(std::function<void()> hook);
    // Has the database prepare every statement of the text without running any: what a
    // statement names must exist and its types must fit. Nothing is written or read.
    void check(const QString& sql);
    // Runs one INSERT (with named BLOB parameters) and returns the id of the new row.
    qint64 insert(const QString& sql, const BlobParams& params = {});
    qint64 lastInsertRowId() const;
    // The rows changed by the last INSERT, UPDATE or DELETE.
    qint64 rowsAffected() const;

    // Whether the database holds any table yet.
    bool schemaExists();
    // Whether it holds the table of that name (exact).
    bool hasTable(const QString& name);
    // Inside a transaction: no other user reads the table's largest counter until it ends,
    // so that two saves never take the same number.
    void lockCounter(const QString& table);
    // Stops a statement running on the server (a search replaced by a newer one).
    void cancelRunning();

    // Sees the text of every statement run through this connection.
    void setObserver(Observer observer) { m_observer = std::move(observer); }

private:
    friend class SqlTransaction;
    ConnectionBackend& backend() const;
    void notify(const QString& sql) const;

    std::unique_ptr<ConnectionBackend> m_backend;
    Observer m_observer;
    std::function<void()> m_waitHook;
    int m_busyTimeoutMs = 5000;
};

// The kind of schema rule a failed write broke, and the column the database names for it
// (empty when it names none, as for foreign keys).
ConstraintKind constraintKind(const DatabaseError& error);
QString constraintColumn(const DatabaseError& error);

// All or nothing: the statements run while it lives are committed by commit(); leaving the
// scope any other way (an exception) rolls them back. Inside a transaction that is already
// open it adds nothing, and the outer one decides.
class SqlTransaction {
public:
    explicit SqlTransaction(SqlConnection& connection);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;
    void commit();

private:
    SqlConnection& m_conn;
    bool m_owner = false;
};
