#include "catalogue/sql_text.h"
#include "platform/errors.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"
#include "support/backends.h"
#include "support/temp_project.h"

#include <atomic>
#include <optional>
#include <thread>

#include <QLocale>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

class SqlTextDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.open(project.file(QStringLiteral("sqlite.db")));
        db.execute(QStringLiteral("CREATE TABLE [items] (id INTEGER PRIMARY KEY ASC, [name] TEXT, "
                                  "[record_count] INTEGER)"));
        db.execute(QStringLiteral("CREATE TABLE [plain] (id INTEGER PRIMARY KEY ASC, [name] TEXT)"));
        db.setObserver([this](const QString& sql) { statements.append(sql); });
    }

    TempProject project;
    SqlConnection db;
    QStringList statements;
};

TEST_F(SqlTextDatabaseTest, LastInsertIdIsMinusOneForAnEmptyTable)
{
    EXPECT_EQ(GetLastInsertId(db, QStringLiteral("items")), -1);
    EXPECT_EQ(statements, QStringList({"SELECT last_insert_rowid() FROM [items]"}));
}

TEST_F(SqlTextDatabaseTest, LastInsertIdIsTheRowJustInserted)
{
    db.execute(QStringLiteral("INSERT INTO [items] (id, [name]) VALUES (40, \"a\")"));
    db.execute(QStringLiteral("INSERT INTO [plain] ([name]) VALUES (\"b\")"));
    EXPECT_EQ(GetLastInsertId(db, QStringLiteral("plain")), 1);
    db.execute(QStringLiteral("INSERT INTO [items] ([name]) VALUES (\"c\")"));
    EXPECT_EQ(GetLastInsertId(db, QStringLiteral("items")), 41);
}

TEST_F(SqlTextDatabaseTest, NextRecordCountIsAtLeastTheBeginValue)
{
    struct Case {
        const char* counters;
        qint64 beginValue;
        qint64 expected;
    };
    const Case cases[] = {
        {"", 100, 100},
        {"", 0, 1},
        {"(NULL)", 0, 1},
        {"(5), (9)", 3, 10},
        {"(41)", 0, 42},
        {"(41)", 42, 42},
        {"(41)", 43, 43},
        {"(-7)", -10, -6},
        {"(\"12\")", 0, 13},                 // INTEGER affinity stores it as a number
        {"(9.0)", 0, 10},
        {"(9.5)", 100, -1},                  // not an integer: the begin value does not apply
        {"(5), (\"abc\")", 100, -1},
        {"(x'01')", 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counters);
        db.execute(QStringLiteral("DELETE FROM [items]"));
        if (*c.counters)
            db.execute(QStringLiteral("INSERT INTO [items] ([record_count]) VALUES ") + c.counters);
        statements.clear();
        EXPECT_EQ(GetNextRecordCount(db, QStringLiteral("items"), c.beginValue), c.expected);
        EXPECT_EQ(statements, QStringList({"SELECT max(record_count) FROM [items]"}));
    }
}

TEST_F(SqlTextDatabaseTest, QueryErrorsReachTheCaller)
{
    EXPECT_THROW(GetNextRecordCount(db, QStringLiteral("plain"), 0), DatabaseError);
    EXPECT_THROW(GetLastInsertId(db, QStringLiteral("missing")), DatabaseError);
}

// Pins another default locale for one test and restores the pinned one afterwards.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

TEST(FormatDateTimeTextTest, FormatsStoredTextUnderTheDefaultLocale)
{
    const QString shortDate = QLocale().dateFormat(QLocale::ShortFormat);
    struct Case {
        const char* stored;
        QString pattern;
        const char* expected;
    };
    const Case cases[] = {
        {"2014-03-05 00:00:00.000", shortDate, "3/5/14"},
        {"2014-03-05", shortDate, "3/5/14"},
        {"2014-03-05 14:05:07.000", QStringLiteral("c"), "3/5/14 2:05:07 PM"},
        {"2014-03-05 14:05:07", QStringLiteral("dd MMMM yyyy HH:mm:ss"), "05 March 2014 14:05:07"},
        {"1899-12-30 09:30:00.000", QLocale().timeFormat(QLocale::ShortFormat), "9:30 AM"},
        {"abc", QStringLiteral("c"), ""},
        {"", shortDate, ""},
        {"2014-02-30 00:00:00.000", shortDate, ""},
        {"2014-03-05 25:00:00.000", QStringLiteral("c"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(FormatDateTimeText(c.stored, c.pattern), c.expected);
    }
}

TEST(FormatDateTimeTextTest, ShortDateAndLongTimeFollowTheRegion)
{
    const LocaleScope russian(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(FormatDateTimeText(QStringLiteral("2014-03-05 14:05:07.000"), QStringLiteral("c")),
              "05.03.2014 14:05:07");
    EXPECT_EQ(FormatDateTimeText(QStringLiteral("2014-03-05"), QStringLiteral("d MMMM yyyy")),
              QStringLiteral("5 марта 2014"));
}

TEST(StoredTextTest, WideTextsAreStoredInUpperCaseAndShownInSentenceCase)
{
    struct Case {
        QString typed;
        QString stored;
        QString shown; // ToDisplayText of the stored text
    };
    const Case cases[] = {
        {QStringLiteral("He said \"hi\""), QStringLiteral("He said \"\"hi\"\""),
         QStringLiteral("He said \"\"hi\"\"")},
        {QStringLiteral("Mixed Case"), QStringLiteral("Mixed Case"), QStringLiteral("Mixed Case")},
        {QStringLiteral("Größe ä"), QStringLiteral("Größe ä"), QStringLiteral("Größe ä")},
        // Ü is below 247, so the stored capitals are shown as they are.
        {QStringLiteral("Müller"), QStringLiteral("MÜLLER"), QStringLiteral("MÜLLER")},
        {QStringLiteral("a ÷ b"), QStringLiteral("A ÷ B"), QStringLiteral("A ÷ b")},
        {QStringLiteral("иван Петров"), QStringLiteral("ИВАН ПЕТРОВ"), QStringLiteral("Иван петров")},
        {QStringLiteral("«Ромашка» \"ООО\""), QStringLiteral("«РОМАШКА» \"\"ООО\"\""),
         QStringLiteral("«ромашка» \"\"ооо\"\"")},
        {QString(), QString(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        EXPECT_EQ(ToStoredText(c.typed), c.stored);
        EXPECT_EQ(ToDisplayText(c.stored), c.shown);
    }
}

TEST(ReferenceNameTest, SplitsQualifiedReferenceNames)
{
    struct Case {
        const char* name;
        const char* table;
        const char* column;
    };
    const Case cases[] = {
        {"orders.id_customers", "customers", "id_customers"},
        {"orders.id_customers2", "customers", "id_customers2"},
        {"orders.id_customers12", "customers", "id_customers12"},
        {"orders.id_customers10", "customers10", "id_customers10"},
        {"orders.id_customers123", "customers1", "id_customers123"},
        {"customers", "customers", "customers"},
        {"orders.id", "", "id"},
        {"orders.", "", ""},
        {"a.b.id_c", "d_c", "b.id_c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetFKTableName(c.name), c.table);
        EXPECT_EQ(GetFKColumnName(c.name), c.column);
    }
}

} // namespace

// Two users saving a new counted record at the same moment never get the same number: the
// second one's reading of the largest counter waits until the first one's record is written.
class CounterRace : public ::testing::TestWithParam<Backend> {
protected:
    void open(SqlConnection& connection)
    {
        if (GetParam() == Backend::SQLite)
            connection.open(project.file(QStringLiteral("race.db")));
        else
            connection.openServer(server->conninfo());
    }
    TempProject project;
    std::unique_ptr<PgTestDatabase> server =
        GetParam() == Backend::PostgreSQL ? std::make_unique<PgTestDatabase>() : nullptr;
};

TEST_P(CounterRace, TheSecondSaveWaitsForTheFirstAndTakesTheNextNumber)
{
    SqlConnection first;
    open(first);
    const SqlDialect& d = first.dialect();
    first.execute(QStringLiteral("CREATE TABLE ") + d.name(QStringLiteral("orders")) + QStringLiteral(" (")
                  + d.idColumnDefinition() + QStringLiteral(", record_count ")
                  + d.columnType(QStringLiteral("INTEGER")) + QStringLiteral(")"));
    std::atomic<qint64> secondNumber{-1};
    std::atomic<bool> secondStarted{false};
    std::optional<SqlTransaction> held;
    {
        // The first user has read the counter and not yet written.
        held.emplace(first);
        const qint64 number = GetNextRecordCount(first, QStringLiteral("orders"), 1);
        EXPECT_EQ(number, 1);
        std::thread secondUser([&] {
            SqlConnection second;
            open(second);
            secondStarted = true;
            SqlTransaction transaction(second);
            const qint64 n = GetNextRecordCount(second, QStringLiteral("orders"), 1);
            second.insert(QStringLiteral("INSERT INTO orders (record_count) VALUES (%1)").arg(n));
            transaction.commit();
            secondNumber = n;
        });
        while (!secondStarted)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(secondNumber.load(), -1) << "the second save did not wait";
        first.insert(QStringLiteral("INSERT INTO orders (record_count) VALUES (%1)").arg(number));
        held->commit();
        secondUser.join();
    }
    EXPECT_EQ(secondNumber.load(), 2);
    const QueryResult rows = first.query(QStringLiteral("SELECT record_count FROM orders ORDER BY id"));
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[0][0].toInt(), 1);
    EXPECT_EQ(rows.rows[1][0].toInt(), 2);
}

VARNEL_ON_BOTH_BACKENDS(CounterRace);
