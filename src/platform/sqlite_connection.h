#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

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

class SqlConnection;

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
    bool isNull(int i) const;
    QString text(int i) const;
    // The column as UTF-8 bytes, valid until the next step.
    const char* textUtf8(int i, int* length) const;
    qint64 integer(int i) const;
    double real(int i) const;
    QByteArray bytes(int i) const;
    SqlValue value(int i) const;

private:
    friend class SqlConnection;
    SqlStatement(SqlConnection* connection, sqlite3_stmt* stmt) : m_conn(connection), m_stmt(stmt) {}
    SqlConnection* m_conn;
    sqlite3_stmt* m_stmt;
};

// The database connection. Every failure raises DatabaseError carrying SQLite's message.
// Text values written as double-quoted literals are accepted, as the generated SQL needs.
class SqlConnection {
public:
    using Observer = std::function<void(const QString& sql)>;

    SqlConnection();
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    // Opens the file, creating it when it is missing. Commits are written through to the disk
    // (synchronous FULL).
    void open(const QString& path);
    // Opens an existing file for reading only; a missing file is an error, never created.
    void openReadOnly(const QString& path);
    // How long a statement waits for a lock held by another program before it fails.
    void setBusyTimeout(int milliseconds);
    // Keeps the database in rollback-journal mode (and takes a write-ahead-log database back).
    void useRollbackJournal();
    bool inTransaction() const;
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }

    // Runs every statement of the text; results are discarded.
    void execute(const QString& sql);
    // Runs one statement with named BLOB parameters, written ":" + name in the text.
    void execute(const QString& sql, const BlobParams& params);
    // Runs the text and returns the rows of its last statement.
    QueryResult query(const QString& sql);
    // Prepares the (first) statement of the text for reading row by row.
    SqlStatement prepare(const QString& sql);

    qint64 lastInsertRowId() const;

    // Sees the text of every statement run through this connection.
    void setObserver(Observer observer) { m_observer = std::move(observer); }

    sqlite3* handle() const { return m_db; }
    // Raises DatabaseError for the connection's last error. A lock, a read-only file and a
    // full disk get a message in the user's language naming the database file.
    [[noreturn]] void fail(const QString& context = QString()) const;

private:
    friend class SqlTransaction;
    void requireOpen() const;
    void notify(const QString& sql) const;
    // Runs a transaction-control statement; the observer does not see it.
    void control(const char* sql);
    QString userMessage(int code) const;

    sqlite3* m_db = nullptr;
    QString m_path;
    Observer m_observer;
    int m_busyTimeoutMs = 5000;
};

// Which rule of the schema a failed write broke, and the column SQLite names for it (empty
// when it names none, as for foreign keys).
enum class ConstraintKind { None, NotNull, Unique, Check, ForeignKey, Other };
class DatabaseError;
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
