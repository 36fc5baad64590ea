#include "catalogue/schema.h"
#include "platform/errors.h"
#include "platform/sql_connection.h"
#include "support/temp_project.h"

#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

QStringList scriptFor(const TempProject& project, const QString& ini)
{
    project.write(QStringLiteral("tables.ini"), ini);
    return GetCreateTableScript(project.file(QStringLiteral("tables.ini")));
}

TEST(SchemaTest, BuildsTheStatementInKeyOrderWithForeignKeysLast)
{
    TempProject project;
    const QStringList script = scriptFor(project, QStringLiteral(R"([items]
-name=TEXT
_photo=IMAGE
_born=DATE
_active=BOOLEAN
^id_orders=orders
>id_colors=colors
*record_count=INTEGER
%total=price*qty
isdictionary=0
)"));
    ASSERT_EQ(script.size(), 1);
    EXPECT_EQ(script.front(),
              "CREATE TABLE [items] (id INTEGER PRIMARY KEY ASC, [name] TEXT NOT NULL, [photo] BLOB, "
              "[photo_filename] TEXT, [born] TEXT, [active] INTEGER, [id_orders] INTEGER NOT NULL, "
              "[id_colors] INTEGER, [record_count] INTEGER, FOREIGN KEY(id_orders) REFERENCES "
              "orders(id) ON DELETE CASCADE); ");
}

TEST(SchemaTest, MapsEachKindOfKey)
{
    struct Case {
        const char* keys;
        const char* columns;
    };
    const Case cases[] = {
        {"", ""},
        {"-logo=IMAGE", ", [logo] BLOB NOT NULL, [logo_filename] TEXT NOT NULL"},
        {"-doc=FILE", ", [doc] BLOB NOT NULL, [doc_filename] TEXT NOT NULL"},
        {"_data=BLOB", ", [data] BLOB, [data_filename] TEXT"},
        {"_d=date\n_t=TIME\n_s=DATETIME", ", [d] date, [t] TEXT, [s] TEXT"},
        {"_x=", ", [x] "},
        {"-x=", ", [x]  NOT NULL"},
        {"_n=NUMERIC(10,2)", ", [n] NUMERIC(10,2)"},
        {"+id_a=\n>id_b=anything", ", [id_a] INTEGER NOT NULL, [id_b] INTEGER"},
        {"*record_count=", ", [record_count] INTEGER"},
        {"%calc=1\nisdictionary=1\n~other=TEXT", ""},
        // Each kind test sees what the previous one left of the key.
        {"_>x=TEXT", ", [>x] TEXT, [x] INTEGER"},
        {"^id_p=p\n^id_q=q",
         ", [id_p] INTEGER NOT NULL, [id_q] INTEGER NOT NULL, FOREIGN KEY(id_p) REFERENCES p(id) "
         "ON DELETE CASCADE, FOREIGN KEY(id_q) REFERENCES q(id) ON DELETE CASCADE"},
    };
    TempProject project;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        const QStringList script = scriptFor(project, QStringLiteral("[T]\n") + c.keys + u'\n');
        ASSERT_EQ(script.size(), 1);
        EXPECT_EQ(script.front(), QStringLiteral("CREATE TABLE [T] (id INTEGER PRIMARY KEY ASC")
                                      + c.columns + QStringLiteral("); "));
    }
}

TEST(SchemaTest, OneStatementPerSectionInFileOrder)
{
    TempProject project;
    const QStringList script = scriptFor(project, QStringLiteral("[b]\n_x=TEXT\n[a]\n[c]\n_y=TEXT\n"));
    EXPECT_EQ(script, QStringList({
                          "CREATE TABLE [b] (id INTEGER PRIMARY KEY ASC, [x] TEXT); ",
                          "CREATE TABLE [a] (id INTEGER PRIMARY KEY ASC); ",
                          "CREATE TABLE [c] (id INTEGER PRIMARY KEY ASC, [y] TEXT); ",
                      }));
    EXPECT_TRUE(scriptFor(project, QString()).isEmpty());
    EXPECT_TRUE(GetCreateTableScript(project.file(QStringLiteral("absent.ini"))).isEmpty());
}

// Children come before their parent on purpose: SQLite resolves the reference on writing.
const char* const ShopIni = R"([items]
-name=TEXT
^id_orders=orders
[orders]
_number=INTEGER
^id_customers=customers
[customers]
-name=TEXT
_logo=IMAGE
)";

class SchemaDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.open(project.file(QStringLiteral("sqlite.db")));
        db.execute(QStringLiteral("PRAGMA foreign_keys=ON;"));
        for (const QString& statement : scriptFor(project, ShopIni))
            db.execute(statement);
    }

    qint64 count(const QString& table)
    {
        return db.query(QStringLiteral("SELECT count(*) FROM [") + table + u']').rows[0][0].toInt();
    }

    TempProject project;
    SqlConnection db;
};

TEST_F(SchemaDatabaseTest, DeletingAParentDeletesItsChildren)
{
    db.execute(QStringLiteral(R"(INSERT INTO [customers] ([name]) VALUES ("Ann"), ("Bob"))"));
    db.execute(QStringLiteral("INSERT INTO [orders] (id_customers) VALUES (1), (1), (2)"));
    db.execute(QStringLiteral(R"(INSERT INTO [items] ([name], id_orders) VALUES ("x", 1), ("y", 2), ("z", 3))"));

    db.execute(QStringLiteral("DELETE FROM customers WHERE id = 1"));

    EXPECT_EQ(count(QStringLiteral("orders")), 1);
    EXPECT_EQ(count(QStringLiteral("items")), 1);
    EXPECT_EQ(db.query(QStringLiteral("SELECT [name] FROM [items]")).rows[0][0].toText(), "z");
}

TEST_F(SchemaDatabaseTest, EnforcesRequiredParentsAndColumns)
{
    EXPECT_THROW(db.execute(QStringLiteral("INSERT INTO [orders] (id_customers) VALUES (7)")),
                 DatabaseError);
    EXPECT_THROW(db.execute(QStringLiteral("INSERT INTO [orders] ([number]) VALUES (7)")),
                 DatabaseError);
    EXPECT_THROW(db.execute(QStringLiteral("INSERT INTO [customers] ([logo_filename]) VALUES (\"a\")")),
                 DatabaseError);
    db.execute(QStringLiteral("INSERT INTO [customers] ([name], [logo], [logo_filename]) "
                              "VALUES (\"Ann\", x'0102', \"logo.png\")"));
    EXPECT_EQ(count(QStringLiteral("customers")), 1);
}

} // namespace
