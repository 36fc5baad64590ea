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

VARNEL_ON_BOTH_BACKENDS(BoundStatement);

} // namespace
