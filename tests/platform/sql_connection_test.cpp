#include "platform/errors.h"
#include "platform/sql_connection.h"
#include "support/temp_project.h"

#include <gtest/gtest.h>

class SqlConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.open(project.file("test.db"));
        db.execute("PRAGMA foreign_keys=ON;");
    }
    TempProject project;
    SqlConnection db;
};

TEST_F(SqlConnectionTest, CreatesTheFileAndAcceptsDoubleQuotedTextLiterals)
{
    EXPECT_TRUE(project.exists("test.db"));
    db.execute("CREATE TABLE [t] (id INTEGER PRIMARY KEY ASC, [name] TEXT, [n] INTEGER)");
    db.execute("INSERT INTO [t] ([name],[n]) VALUES (\"He said \"\"hi\"\"\",5);");
    const QueryResult r = db.query("SELECT [name],[n],NULL AS empty_col FROM [t] WHERE [name] LIKE \"HE SAID%\"");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.columns, (QStringList{"name", "n", "empty_col"}));
    EXPECT_EQ(r.rows[0][0].toText(), "He said \"hi\"");
    EXPECT_EQ(r.rows[0][1].toInt(), 5);
    EXPECT_EQ(r.rows[0][1].toText(), "5");
    EXPECT_TRUE(r.rows[0][2].isNull());
    EXPECT_EQ(r.rows[0][2].toText(), "");
    EXPECT_EQ(r.rows[0][2].toInt(), 0);
    EXPECT_EQ(db.lastInsertRowId(), 1);
}

TEST_F(SqlConnectionTest, BindsNamedBlobParametersAndReadsBytesBack)
{
    db.execute("CREATE TABLE [p] (id INTEGER PRIMARY KEY ASC, [photo] BLOB, [photo_filename] TEXT)");
    const QByteArray bytes("\x89PNG\0\x01\x02", 7);
    db.execute("INSERT INTO [p] ([photo],[photo_filename]) VALUES (:photo,\"a.png\");",
               {{"photo", bytes}});
    const QueryResult r = db.query("SELECT [photo],[photo_filename] FROM [p]");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_TRUE(r.rows[0][0].isBlob());
    EXPECT_EQ(r.rows[0][0].toBytes(), bytes);
    EXPECT_EQ(r.rows[0][1].toText(), "a.png");
}

TEST_F(SqlConnectionTest, EnforcesForeignKeysWithCascade)
{
    db.execute("CREATE TABLE [o] (id INTEGER PRIMARY KEY ASC);");
    db.execute("CREATE TABLE [i] (id INTEGER PRIMARY KEY ASC, [id_o] INTEGER NOT NULL, "
               "FOREIGN KEY(id_o) REFERENCES o(id) ON DELETE CASCADE);");
    db.execute("INSERT INTO [o] (id) VALUES (1); INSERT INTO [i] ([id_o]) VALUES (1);");
    EXPECT_THROW(db.execute("INSERT INTO [i] ([id_o]) VALUES (7)"), DatabaseError);
    db.execute("DELETE FROM o WHERE id=1");
    EXPECT_TRUE(db.query("SELECT * FROM [i]").isEmpty());
}

TEST_F(SqlConnectionTest, ErrorsCarrySqliteMessageAndObserverSeesEveryStatement)
{
    QStringList seen;
    db.setObserver([&](const QString& sql) { seen.append(sql); });
    try {
        db.query("SELECT * FROM [missing]");
        FAIL() << "no error raised";
    } catch (const DatabaseError& e) {
        EXPECT_EQ(e.message(), "no such table: missing");
    }
    db.execute("CREATE TABLE x (a)");
    db.execute("INSERT INTO x VALUES (:a)", {{"a", QByteArray("z")}});
    EXPECT_EQ(seen, (QStringList{"SELECT * FROM [missing]", "CREATE TABLE x (a)",
                                 "INSERT INTO x VALUES (:a)"}));
}

TEST_F(SqlConnectionTest, StatementReadsRowByRow)
{
    db.execute("CREATE TABLE n (v); INSERT INTO n VALUES (1),('two'),(NULL);");
    SqlStatement s = db.prepare("SELECT v FROM n ORDER BY rowid");
    QStringList texts;
    while (s.step())
        texts.append(s.isNull(0) ? "<null>" : s.text(0));
    EXPECT_EQ(texts, (QStringList{"1", "two", "<null>"}));
}

TEST(SqlConnection, AFileThatIsNotADatabaseFailsOnFirstRead)
{
    TempProject project;
    project.write("junk.db", QByteArray(4096, 'x'));
    SqlConnection db;
    db.open(project.file("junk.db"));
    EXPECT_THROW(db.query("SELECT count(*) FROM sqlite_master"), DatabaseError);
    EXPECT_EQ(project.read("junk.db"), QByteArray(4096, 'x'));
}

// LIKE ignores letter case in every script and keeps SQLite's "%", "_", ESCAPE and NULL.
TEST_F(SqlConnectionTest, LikeIgnoresLetterCaseInEveryScript)
{
    struct Case {
        const char* text;
        const char* pattern;
        const char* escape; // null: no ESCAPE clause
        int expected;       // -1: NULL
    };
    const Case cases[] = {
        {"Иванова, Анна", "иванова%", nullptr, 1},
        {"ИВАНОВА", "%нов%", nullptr, 1},
        {"Bodø", "BODØ", nullptr, 1},
        {"MÜNCHEN", "münchen", nullptr, 1},
        {"Ελληνικά", "ΕΛΛΗΝΙΚΆ", nullptr, 1},
        {"Café", "caf_", nullptr, 1},
        {"Café", "caf", nullptr, 0},
        {"Café", "_afé_", nullptr, 0},
        {"", "%", nullptr, 1},
        {"abc", "a%c%", nullptr, 1},
        {"aXbXc", "%x%x%", nullptr, 1},
        {"50% off", "50!% OFF", "!", 1},
        {"50 off", "50!%%", "!", 0},
        {"a_b", "A!_B", "!", 1},
        {"axb", "A!_B", "!", 0},
        {nullptr, "%", nullptr, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 LIKE %2").arg(QString::fromUtf8(c.text), QString::fromUtf8(c.pattern)).toStdString());
        QString sql = QStringLiteral("SELECT %1 LIKE '%2'")
                          .arg(c.text ? u'\'' + QString::fromUtf8(c.text) + u'\'' : QStringLiteral("NULL"),
                               QString::fromUtf8(c.pattern));
        if (c.escape)
            sql += QStringLiteral(" ESCAPE '%1'").arg(QString::fromUtf8(c.escape));
        const SqlValue v = db.query(sql).rows.at(0).at(0);
        if (c.expected < 0)
            EXPECT_TRUE(v.isNull());
        else
            EXPECT_EQ(v.toInt(), c.expected);
    }
    EXPECT_THROW(db.query("SELECT 'a' LIKE 'a' ESCAPE 'ab'"), DatabaseError);
}
