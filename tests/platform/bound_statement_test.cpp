// A statement prepared once and run again with its named parameters bound: every kind of value
// reaches the database as itself, on both back ends.
#include "platform/errors.h"
#include "platform/sql_connection.h"
#include "support/backends.h"
#include "support/temp_project.h"

#include <gtest/gtest.h>

namespace {

class BoundStatement : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        openTestDatabase(db, GetParam(), project.file("test.db"), server);
    }
    TempProject project;
    std::unique_ptr<PgTestDatabase> server;
    SqlConnection db;
};

TEST_P(BoundStatement, RunsAgainWithEachKindOfValueBound)
{
    db.execute(GetParam() == Backend::PostgreSQL
                   ? "CREATE TABLE t (id INTEGER, name TEXT, amount DOUBLE PRECISION, data BYTEA)"
                   : "CREATE TABLE t (id INTEGER, name TEXT, amount REAL, data BLOB)");
    const QByteArray bytes("\x00\x01'\"\xff", 5);
    db.execute("INSERT INTO t VALUES (1, 'O''Brien \"Bob\"; DROP TABLE t; --', 2.5, :b), (2, NULL, NULL, NULL)",
               {{"b", bytes}});
    QStringList seen;
    db.setObserver([&seen](const QString& sql) { seen << sql; });
    SqlStatement statement = db.prepareBound(
        "SELECT id FROM t WHERE (name = :name OR (:name IS NULL AND name IS NULL)) AND id >= :least "
        "AND (amount = :amount OR :amount IS NULL) AND (data = :data OR :data IS NULL) ORDER BY id");
    EXPECT_EQ(statement.parameterNames(), QStringList({"name", "least", "amount", "data"}));
    EXPECT_EQ(statement.columnCount(), 1);
    EXPECT_EQ(statement.columnName(0), "id");

    auto ids = [&](const std::vector<SqlValue>& values) {
        statement.rebind(values);
        QList<qint64> out;
        while (statement.step())
            out << statement.integer(0);
        return out;
    };
    const SqlValue name = SqlValue::text("O'Brien \"Bob\"; DROP TABLE t; --");
    EXPECT_EQ(ids({name, SqlValue::integer(1), SqlValue::real(2.5), SqlValue::blob(bytes)}), QList<qint64>{1});
    EXPECT_EQ(ids({name, SqlValue::integer(2), SqlValue(), SqlValue()}), QList<qint64>{});
    EXPECT_EQ(ids({SqlValue(), SqlValue::integer(0), SqlValue(), SqlValue()}), QList<qint64>{2});
    EXPECT_EQ(ids({SqlValue::text("nobody"), SqlValue::integer(0), SqlValue(), SqlValue()}), QList<qint64>{});
    // A run left half read is dropped by the next one.
    statement.rebind({name, SqlValue::integer(0), SqlValue(), SqlValue()});
    EXPECT_EQ(ids({name, SqlValue::integer(0), SqlValue(), SqlValue()}), QList<qint64>{1});
    // Prepared once: the values never went into any statement text.
    EXPECT_EQ(seen.size(), 1);
    EXPECT_FALSE(seen.join(' ').contains("Brien"));
    EXPECT_EQ(db.query("SELECT COUNT(*) FROM t").rows[0][0].toInt(), 2);
}

// A statement run once with named values goes the same way as one bound for each run: a name
// the text does not use is ignored, one it uses without a value is NULL, of two values under one
// name the last counts, and ":name" inside a literal is text, not a parameter.
TEST_P(BoundStatement, RunOnceWithNamedValuesEachReachesItsParameter)
{
    db.execute("CREATE TABLE t (id INTEGER, name TEXT)");
    db.execute("INSERT INTO t VALUES (1, 'O''Brien'), (2, 'Ann'), (3, NULL)");
    QStringList seen;
    db.setObserver([&seen](const QString& sql) { seen << sql; });
    struct Case {
        const char* what;
        SqlParams params;
        QList<qint64> ids;
    };
    const Case cases[] = {
        {"each value", {{"name", SqlValue::text("O'Brien")}, {"least", SqlValue::integer(1)}}, {1}},
        {"an unused name is ignored",
         {{"name", SqlValue::text("Ann")}, {"least", SqlValue::integer(0)}, {"other", SqlValue::integer(9)}},
         {2}},
        {"a missing one is NULL", {{"least", SqlValue::integer(2)}}, {3}},
        {"the last of two", {{"name", SqlValue::text("Ann")}, {"name", SqlValue::text("O'Brien")}}, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SqlStatement statement = db.prepare(
            "SELECT id FROM t WHERE ((name = :name) OR (:name IS NULL AND name IS NULL)) "
            "AND id >= COALESCE(:least, 0) AND ':name' = ':' || 'name' ORDER BY id",
            c.params);
        EXPECT_EQ(statement.parameterNames(), QStringList({"name", "least"}));
        QList<qint64> ids;
        while (statement.step())
            ids << statement.integer(0);
        EXPECT_EQ(ids, c.ids);
    }
    EXPECT_EQ(seen.size(), 4);
    EXPECT_FALSE(seen.join(' ').contains("Brien"));
}

VARNEL_ON_BOTH_BACKENDS(BoundStatement);

// The server forgets its prepared statements with the connection. A bound statement run again
// after the server ended the connection is prepared again on the new one: whether the rebind
// itself finds the connection gone or another statement found it first. Inside a transaction
// the loss is reported, never hidden.
TEST(BoundStatementOnServer, RunsAgainAfterTheServerEndedTheConnection)
{
    PgTestDatabase server;
    SqlConnection db;
    db.openServer(server.conninfo());
    db.execute("CREATE TABLE t (id INTEGER, name TEXT); INSERT INTO t VALUES (1, 'Ann'), (2, 'Bob')");
    SqlConnection admin;
    admin.openServer(server.conninfo());
    // Ends db's session on the server and waits until it is gone: its last word is on the
    // socket by then.
    auto endSession = [&admin, &db] {
        const QString pid = db.query("SELECT pg_backend_pid()").rows.at(0).at(0).toText();
        const QueryResult r = admin.query("SELECT pg_terminate_backend(" + pid + ", 10000)");
        ASSERT_EQ(r.rows.at(0).at(0).toInt(), 1);
    };
    auto preparedCount = [&db] {
        return db.query("SELECT count(*) FROM pg_prepared_statements").rows.at(0).at(0).toInt();
    };
    {
        SqlStatement statement = db.prepareBound("SELECT id FROM t WHERE name = :name ORDER BY id");
        auto ids = [&statement](const char* name) {
            statement.rebind({SqlValue::text(name)});
            QList<qint64> out;
            while (statement.step())
                out << statement.integer(0);
            return out;
        };
        EXPECT_EQ(ids("Ann"), QList<qint64>{1});

        endSession();
        EXPECT_EQ(ids("Bob"), QList<qint64>{2}) << "the rebind found the connection gone";

        endSession();
        try {
            db.query("SELECT 1");
            ADD_FAILURE() << "the statement after the end of the session ran";
        } catch (const DatabaseError& e) {
            EXPECT_EQ(e.kind, DatabaseError::Kind::ConnectionLost) << e.message().toStdString();
        }
        EXPECT_EQ(db.query("SELECT 2").rows.at(0).at(0).toInt(), 2); // made again here
        EXPECT_EQ(ids("Ann"), QList<qint64>{1}) << "another statement made the connection again";
        EXPECT_EQ(preparedCount(), 1);

        {
            SqlTransaction transaction(db);
            db.execute("INSERT INTO t VALUES (3, 'Ann')");
            endSession();
            try {
                ids("Ann");
                ADD_FAILURE() << "a run in a transaction went on after the connection was lost";
            } catch (const DatabaseError& e) {
                EXPECT_EQ(e.kind, DatabaseError::Kind::ConnectionLost) << e.message().toStdString();
            }
        }
        EXPECT_EQ(ids("Ann"), QList<qint64>{1}) << "the insert of the lost transaction is not there";
    }
    EXPECT_EQ(preparedCount(), 0) << "the statement is let go on the server";
}

} // namespace
