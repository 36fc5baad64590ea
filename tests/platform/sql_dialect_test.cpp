#include "platform/sql_dialect.h"

#include <QHash>
#include <gtest/gtest.h>

namespace {

// The names an application's catalogue knows, as tables.ini spells them.
QString knownName(const QString& word)
{
    static const QHash<QString, QString> names = {
        {"customers", "customers"}, {"name", "name"}, {"id", "id"},          {"order", "order"},
        {"orders", "Orders"},       {"total", "Total"}, {"user", "user"},    {"city", "city"},
    };
    return names.value(word.toCaseFolded());
}

} // namespace

TEST(SqlDialect, AuthorSqlWrittenForSqliteIsTranslatedForPostgresql)
{
    struct Case {
        const char* sqlite;
        const char* postgres;
    };
    const Case cases[] = {
        // Bracketed and known bare names are quoted with the catalogue's spelling.
        {"SELECT [name] FROM [customers]", "SELECT \"name\" FROM \"customers\""},
        {"SELECT Total FROM orders", "SELECT \"Total\" FROM \"Orders\""},
        {"SELECT [order].[user] FROM [order]", "SELECT \"order\".\"user\" FROM \"order\""},
        {"SELECT `name` FROM customers", "SELECT \"name\" FROM \"customers\""},
        // A quoted alias is a name; a later reference to it too.
        {"SELECT name AS 'Who' FROM customers ORDER BY \"Who\"",
         "SELECT \"name\" AS \"Who\" FROM \"customers\" ORDER BY \"Who\""},
        {"SELECT count(*) AS [n] FROM customers", "SELECT count(*) AS \"n\" FROM \"customers\""},
        // A double-quoted word that names no column is a text, as SQLite reads it.
        {"SELECT id FROM customers WHERE city = \"Oslo\"",
         "SELECT \"id\" FROM \"customers\" WHERE \"city\" = 'Oslo'"},
        {"UPDATE customers SET name = \"O'Brien \"\"Bob\"\"\"",
         "UPDATE \"customers\" SET \"name\" = 'O''Brien \"Bob\"'"},
        {"SELECT * FROM customers WHERE \"city\" = 'Oslo'",
         "SELECT * FROM \"customers\" WHERE \"city\" = 'Oslo'"},
        // LIKE ignores letter case in SQLite; ifnull and == are SQLite's words.
        {"SELECT name FROM customers WHERE name NOT LIKE 'a%'",
         "SELECT \"name\" FROM \"customers\" WHERE \"name\" NOT ILIKE 'a%'"},
        {"SELECT ifnull(city, '-') FROM customers WHERE id == 3",
         "SELECT coalesce(\"city\", '-') FROM \"customers\" WHERE \"id\" = 3"},
        // Literals, comments, numbers, parameters, casts and functions stay as written.
        {"SELECT 'name [x] \"y\"' -- name [z]\nFROM customers",
         "SELECT 'name [x] \"y\"' -- name [z]\nFROM \"customers\""},
        {"SELECT /* [name] */ 1e5, 0x1F, :name, $id FROM customers",
         "SELECT /* [name] */ 1e5, 0x1F, :name, $id FROM \"customers\""},
        {"SELECT name::text, upper(name), date('now') FROM customers",
         "SELECT \"name\"::text, upper(\"name\"), date('now') FROM \"customers\""},
        // Unknown names and keywords are left to the server.
        {"SELECT price * qty FROM items ORDER BY 1 DESC",
         "SELECT price * qty FROM items ORDER BY 1 DESC"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SqlDialect::postgresql().authorSql(c.sqlite, knownName), QString(c.postgres))
            << c.sqlite;
        EXPECT_EQ(SqlDialect::sqlite().authorSql(c.sqlite, knownName), QString(c.sqlite));
    }
}

TEST(SqlDialect, FieldTypesOfTablesIniHoldOnTheServerWhatTheyHeldInSqlite)
{
    struct Case {
        const char* type;
        const char* sqlite;
        const char* postgres;
    };
    const Case cases[] = {
        {"INTEGER", "INTEGER", "bigint"},       {"TEXT", "TEXT", "text"},
        {"DATE", "TEXT", "text"},               {"TIME", "TEXT", "text"},
        {"DATETIME", "TEXT", "text"},           {"date", "date", "text"},
        {"BOOLEAN", "INTEGER", "integer"},      {"IMAGE", "BLOB", "bytea"},
        {"FILE", "BLOB", "bytea"},              {"BLOB", "BLOB", "bytea"},
        {"", "", "text"},                       {"VARCHAR(40)", "VARCHAR(40)", "text"},
        {"DOUBLE", "DOUBLE", "double precision"}, {"REAL", "REAL", "double precision"},
        {"CURRENCY", "CURRENCY", "numeric"},    {"DECIMAL(10,2)", "DECIMAL(10,2)", "numeric"},
        {"SMALLINT", "SMALLINT", "bigint"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SqlDialect::sqlite().columnType(c.type), QString(c.sqlite)) << c.type;
        EXPECT_EQ(SqlDialect::postgresql().columnType(c.type), QString(c.postgres)) << c.type;
    }
}

TEST(SqlDialect, EngineStatementPiecesOnEachBackEnd)
{
    const SqlDialect& lite = SqlDialect::sqlite();
    const SqlDialect& pg = SqlDialect::postgresql();
    EXPECT_EQ(lite.column("order", "user"), "[order].[user]");
    EXPECT_EQ(pg.column("order", "user"), "\"order\".\"user\"");
    EXPECT_EQ(pg.name("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(lite.plainColumn("orders.id_customers"), "orders.id_customers");
    EXPECT_EQ(pg.plainColumn("orders.id_customers"), "\"orders\".\"id_customers\"");
    EXPECT_EQ(lite.alias("items.total"), "'items.total'");
    EXPECT_EQ(pg.alias("items.total"), "\"items.total\"");
    EXPECT_EQ(lite.caseInsensitiveLike(), "LIKE");
    EXPECT_EQ(pg.caseInsensitiveLike(), "ILIKE");
    // A typed number against a text column compares as text, as SQLite compares it.
    EXPECT_EQ(lite.compareWithNumber("[t].[code]", ">", "10", "TEXT"), "[t].[code]>10");
    EXPECT_EQ(pg.compareWithNumber("\"t\".\"code\"", ">", "10", "TEXT"), "\"t\".\"code\">'10'");
    EXPECT_EQ(pg.compareWithNumber("\"t\".\"qty\"", "<=", "10", "INTEGER"), "\"t\".\"qty\"<=10");
    EXPECT_EQ(pg.sortDirection(true), "ASC NULLS FIRST");
    EXPECT_EQ(pg.sortDirection(false), "DESC NULLS LAST");
    EXPECT_TRUE(lite.idCounterPastLargest("t").isEmpty());
    EXPECT_EQ(pg.idCounterPastLargest("Orders"),
              "SELECT setval(pg_get_serial_sequence('\"Orders\"', 'id'), coalesce(max(id), 0) + 1, "
              "false) FROM \"Orders\"");
}
