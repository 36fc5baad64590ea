// Statements prepared and never run, on both back ends: the database names what is wrong with
// them, and nothing they would do happens.
#include "platform/errors.h"
#include "platform/sql_connection.h"
#include "support/backends.h"
#include "support/temp_project.h"

#include <memory>

class StatementCheck : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        if (GetParam() == Backend::PostgreSQL) {
            server = std::make_unique<PgTestDatabase>();
            db.openServer(server->conninfo());
        } else {
            db.open(project.file("check.db"));
        }
        db.execute("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)");
        db.execute("INSERT INTO t (id, name) VALUES (1, 'a')");
    }
    QStringList rows()
    {
        QStringList out;
        for (const auto& row : db.query("SELECT id, name FROM t ORDER BY id").rows)
            out.append(row[0].toText() + '|' + row[1].toText());
        return out;
    }
    TempProject project;
    std::unique_ptr<PgTestDatabase> server;
    SqlConnection db;
};

TEST_P(StatementCheck, EveryStatementIsPreparedAndNoneRuns)
{
    const char* const texts[] = {
        "INSERT INTO t (id, name) VALUES (2, 'b')",
        "UPDATE t SET name = 'x'; DELETE FROM t WHERE name = 'a;b' -- ; DROP TABLE t\n",
        "/* ; */ DELETE FROM t;;",
        "DROP TABLE t",
        "  -- nothing but a comment\n",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_NO_THROW(db.check(text));
    }
    EXPECT_EQ(rows(), QStringList{"1|a"});
}

TEST_P(StatementCheck, WhatTheDatabaseRefusesIsNamedWhereverItStandsInTheText)
{
    struct Case {
        const char* sql;
        const char* named;
    };
    const Case cases[] = {
        {"SELECT nosuch FROM t", "nosuch"},
        {"SELECT name FROM nowhere", "nowhere"},
        {"SELECT name FROM t; UPDATE t SET missing = 1", "missing"},
        {"SELECT name FROM t WHERE name = 'it''s;' ORDER BY gone", "gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        try {
            db.check(c.sql);
            ADD_FAILURE() << "accepted";
        } catch (const DatabaseError& error) {
            EXPECT_TRUE(error.message().contains(c.named)) << error.message().toStdString();
        }
    }
    EXPECT_THROW(db.check("SELECT name FRM t"), DatabaseError);
    EXPECT_EQ(rows(), QStringList{"1|a"});
}

VARNEL_ON_BOTH_BACKENDS(StatementCheck);

// A server points at the place of the fault, in characters: the copy command names the value
// of a refused row by it.
TEST(StatementCheckOnServer, AServerPointsAtThePlaceOfTheFault)
{
    PgTestDatabase server;
    SqlConnection db;
    db.openServer(server.conninfo());
    db.execute("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)");
    try {
        db.execute(QString::fromUtf8("INSERT INTO t (name, id) VALUES ('Ærø', 'x')"));
        ADD_FAILURE() << "accepted";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.position, 41) << error.message().toStdString();
    }
}
