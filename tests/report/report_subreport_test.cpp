#include "platform/errors.h"
#include "report_fixture.h"
#include "support/backends.h"

#include <gtest/gtest.h>

namespace {

// Customers and their orders on a real database of either back end.
class SubreportData : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        openTestDatabase(db, GetParam(), project.file(QStringLiteral("sqlite.db")), server);
        db.execute(QStringLiteral(
            "CREATE TABLE customer (id INTEGER PRIMARY KEY, name TEXT);"
            "CREATE TABLE orders (id INTEGER PRIMARY KEY, id_customer INTEGER, customer TEXT, number TEXT, total INTEGER);"
            "INSERT INTO customer VALUES (1, 'Adams'), (2, 'O''Brien \"Bob\" [x]'), (3, 'Clark');"
            "INSERT INTO orders VALUES (10, 1, 'Adams', 'A-1', 5), (11, 1, 'Adams', 'A-2', 7),"
            " (12, 2, 'O''Brien \"Bob\" [x]', 'B-1', 11), (13, 3, 'Clark', 'C-1', 2), (14, 3, 'Clark', 'C-2', 3),"
            " (15, 3, 'Clark', 'C-3', 4);"));
        db.setObserver([this](const QString& sql) { statements << sql; });
    }

    std::unique_ptr<PageDocument> fill(const QString& xml, const QString& masterSql)
    {
        SqlStatement master = db.prepare(masterSql);
        data.setResult(master);
        const ReportTemplate t = templateOf(xml);
        ReportFiller filler(t, &data, QStringLiteral("test.xml"),
                            [this](const QString& sql) { return db.prepareBound(sql); });
        filler.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        return filler.fill();
    }

    TempProject project;
    std::unique_ptr<PgTestDatabase> server;
    SqlConnection db;
    ReportDataset data;
    QStringList statements;
};

const QString smallPage = QStringLiteral(
    R"(<page size="custom" width="100" height="60" margin-left="5" margin-top="5" margin-right="5" margin-bottom="5"/>)");

// Each customer's card lists that customer's orders, found by the card's name as a bound
// value: quotes and brackets in it reach the query untouched, and the query text never holds it.
TEST_P(SubreportData, EachRowGetsTheRowsOfItsOwnBoundQuery)
{
    const auto doc = fill(QStringLiteral(R"(<report version="2">
        <page size="custom" width="100" height="200" margin-left="5" margin-top="5" margin-right="5" margin-bottom="5"/>
        <detail height="22">
            <text x="0" y="0" width="90" height="6">Customer [Report.name]</text>
            <subreport name="Orders" x="10" y="6" width="80" height="10">
                <query>SELECT number, total FROM orders WHERE customer = :name ORDER BY number</query>
                <header height="5"><text x="0" y="0" width="80" height="5">[COUNT()] orders</text></header>
                <detail height="4"><text x="0" y="0" width="80" height="4">[Line]. [Orders.number] [Orders.total]</text></detail>
                <footer height="5"><text x="0" y="0" width="80" height="5">Total [SUM(Orders.total)]</text></footer>
            </subreport>
            <text x="0" y="17" width="90" height="5">End of [Report.name]</text>
        </detail>
        </report>)"),
        QStringLiteral("SELECT id, name FROM customer ORDER BY id"));
    ASSERT_EQ(doc->pageCount(), 1);
    EXPECT_EQ(textsOf(*doc, 0),
              QStringList({"5.0:Customer Adams", "11.0:2 orders", "16.0:1. A-1 5", "20.0:2. A-2 7", "24.0:Total 12",
                           "30.0:End of Adams",
                           R"(35.0:Customer O'Brien "Bob" [x])", "41.0:1 orders", "46.0:1. B-1 11", "50.0:Total 11",
                           R"(56.0:End of O'Brien "Bob" [x])",
                           "61.0:Customer Clark", "67.0:3 orders", "72.0:1. C-1 2", "76.0:2. C-2 3", "80.0:3. C-3 4",
                           "84.0:Total 9", "90.0:End of Clark"}));
    // The sub-report's rows stand inside its box: its x within the band, plus the margin.
    EXPECT_EQ(doc->page(0)->boxes[1].x, 15.f);
    // Prepared once for all three customers; the name never went into any SQL text.
    EXPECT_EQ(statements.filter(QStringLiteral(":name")).size(), 1);
    EXPECT_TRUE(statements.filter(QStringLiteral("O'Brien")).isEmpty());
    EXPECT_TRUE(statements.filter(QStringLiteral("Bob")).isEmpty());
}

// A field of the outer row named like the parameter is taken without a <parameter>; an explicit
// one computes the value; nested sub-reports bind from their own outer rows.
TEST_P(SubreportData, ParametersFromFieldsExpressionsAndNestedLevels)
{
    const auto doc = fill(QStringLiteral(R"(<report version="2">
        <page size="custom" width="100" height="200" margin-left="0" margin-top="0" margin-right="0" margin-bottom="0"/>
        <detail height="10">
            <text x="0" y="0" width="90" height="5">[Report.name]</text>
            <subreport name="Orders" x="5" y="5" width="80" height="5">
                <query>SELECT id, number FROM orders WHERE id_customer = :id AND total &gt;= :least ORDER BY id</query>
                <parameter name="least" value="Report.id + 2"/>
                <detail height="5">
                    <text x="0" y="0" width="40" height="5">[Orders.number]</text>
                    <subreport name="Again" x="40" y="0" width="40" height="5">
                        <query>SELECT :id * 100 AS n</query>
                        <detail height="5"><text x="0" y="0" width="40" height="5">#[Again.n]</text></detail>
                    </subreport>
                </detail>
            </subreport>
        </detail>
        </report>)"),
        QStringLiteral("SELECT id, name FROM customer WHERE id <> 2 ORDER BY id"));
    // Adams (id 1): orders with a total of at least 3; Clark (id 3): at least 5, none.
    EXPECT_EQ(allTexts(*doc), QStringList({"1|Adams", "1|A-1", "1|#1000", "1|A-2", "1|#1100", "1|Clark"}));
    const PageRef page = doc->page(0);
    EXPECT_EQ(page->boxes[2].x, 45.f); // the inner sub-report's x adds to the outer one's
    EXPECT_EQ(page->boxes[2].y, 5.f);
}

// The rows of a sub-report break pages like any rows: the page header comes back and the part
// of the band below the sub-report follows its last row.
TEST_P(SubreportData, PageBreaksInsideASubreport)
{
    db.execute(QStringLiteral("INSERT INTO orders SELECT id + 100, 3, 'Clark', 'D-' || id, id FROM orders"));
    const auto doc = fill(QStringLiteral(R"(<report version="2">%1
        <page-header height="5"><text x="0" y="0" width="90" height="5">Header</text></page-header>
        <detail height="25">
            <text x="0" y="0" width="90" height="5">[Report.name]</text>
            <subreport name="Orders" x="0" y="5" width="90" height="10">
                <query>SELECT number FROM orders WHERE id_customer = :id ORDER BY id</query>
                <detail height="10"><text x="0" y="0" width="90" height="10">[Orders.number]</text></detail>
            </subreport>
            <text x="0" y="15" width="90" height="10">After [Report.name]</text>
        </detail>
        </report>)").arg(smallPage),
        QStringLiteral("SELECT id, name FROM customer WHERE id = 3"));
    ASSERT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:Header", "10.0:Clark", "15.0:C-1", "25.0:C-2", "35.0:C-3",
                                             "45.0:D-10"}));
    EXPECT_EQ(textsOf(*doc, 1), QStringList({"5.0:Header", "10.0:D-11", "20.0:D-12", "30.0:D-13", "40.0:D-14"}));
    EXPECT_EQ(textsOf(*doc, 2), QStringList({"5.0:Header", "10.0:D-15", "20.0:After Clark"}));
}

// A sub-report whose header repeats puts it again at the top of each page its rows run onto,
// under the page header; a header never stays alone at the foot of a page.
TEST_P(SubreportData, RepeatedHeaderOnEveryPageItsRowsRunOnto)
{
    db.execute(QStringLiteral("INSERT INTO orders SELECT id + 100, 3, 'Clark', 'D-' || id, id FROM orders"));
    const QString xml = QStringLiteral(R"(<report version="2">%1
        <page-header height="5"><text x="0" y="0" width="90" height="5">Header</text></page-header>
        <detail height="%5">
            <text x="0" y="0" width="90" height="%2">[Report.name]</text>
            <subreport name="Orders" x="10" y="%2" width="80" height="10" repeat-header="%3">
                <query>SELECT number FROM orders WHERE id_customer = :id ORDER BY id</query>
                <header height="5"><text x="0" y="0" width="80" height="5">Numbers</text></header>
                <detail height="10"><text x="0" y="0" width="80" height="10">[Orders.number]</text></detail>
            </subreport>
            <text x="0" y="%4" width="90" height="10">After [Report.name]</text>
        </detail>
        </report>)").arg(smallPage);
    const QString master = QStringLiteral("SELECT id, name FROM customer WHERE id = 3");

    auto doc = fill(xml.arg(5).arg(QStringLiteral("true")).arg(15).arg(25), master);
    ASSERT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:Header", "10.0:Clark", "15.0:Numbers", "20.0:C-1", "30.0:C-2",
                                             "40.0:C-3"}));
    EXPECT_EQ(textsOf(*doc, 1), QStringList({"5.0:Header", "10.0:Numbers", "15.0:D-10", "25.0:D-11", "35.0:D-12",
                                             "45.0:D-13"}));
    EXPECT_EQ(textsOf(*doc, 2), QStringList({"5.0:Header", "10.0:Numbers", "15.0:D-14", "25.0:D-15", "35.0:After Clark"}));
    // Where it stood the first time: the sub-report's x plus the margin.
    EXPECT_EQ(doc->page(1)->boxes[1].x, 15.f);

    // Without repeat-header the header stands once.
    doc = fill(xml.arg(5).arg(QStringLiteral("false")).arg(15).arg(25), master);
    ASSERT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(textsOf(*doc, 1).at(1), QStringLiteral("10.0:D-10"));

    // The name takes the page down to 50 mm: the header would fit under it, its first row would
    // not, so the header goes over with the row.
    doc = fill(xml.arg(40).arg(QStringLiteral("true")).arg(50).arg(60), master);
    ASSERT_GE(doc->pageCount(), 2);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:Header", "10.0:Clark"}));
    EXPECT_EQ(textsOf(*doc, 1).mid(0, 3), QStringList({"5.0:Header", "10.0:Numbers", "15.0:C-1"}));
}

// Nested sub-reports that both repeat their headers: a page break among the inner rows brings
// back the outer header, then the inner one, each where it stood.
TEST_P(SubreportData, NestedRepeatedHeadersComeBackOutermostFirst)
{
    db.execute(QStringLiteral("CREATE TABLE counter (n INTEGER);"
                              "INSERT INTO counter VALUES (1), (2), (3), (4), (5), (6), (7), (8);"));
    const auto doc = fill(QStringLiteral(R"(<report version="2">%1
        <page-header height="5"><text x="0" y="0" width="90" height="5">Header</text></page-header>
        <detail height="10">
            <text x="0" y="0" width="90" height="5">[Report.name]</text>
            <subreport name="Orders" x="10" y="5" width="80" height="5" repeat-header="true">
                <query>SELECT number FROM orders WHERE id_customer = :id ORDER BY id</query>
                <header height="5"><text x="0" y="0" width="80" height="5">Orders</text></header>
                <detail height="10">
                    <text x="0" y="0" width="80" height="5">[Orders.number]</text>
                    <subreport name="Lines" x="20" y="5" width="50" height="5" repeat-header="true">
                        <query>SELECT :number || '/' || n AS line FROM counter ORDER BY n</query>
                        <header height="5"><text x="0" y="0" width="50" height="5">Lines</text></header>
                        <detail height="5"><text x="0" y="0" width="50" height="5">[Lines.line]</text></detail>
                    </subreport>
                </detail>
            </subreport>
        </detail>
        </report>)").arg(smallPage),
        QStringLiteral("SELECT id, name FROM customer WHERE id = 1"));
    ASSERT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:Header", "10.0:Adams", "15.0:Orders", "20.0:A-1", "25.0:Lines",
                                             "30.0:A-1/1", "35.0:A-1/2", "40.0:A-1/3", "45.0:A-1/4", "50.0:A-1/5"}));
    EXPECT_EQ(textsOf(*doc, 1), QStringList({"5.0:Header", "10.0:Orders", "15.0:Lines", "20.0:A-1/6", "25.0:A-1/7",
                                             "30.0:A-1/8", "35.0:A-2", "40.0:Lines", "45.0:A-2/1", "50.0:A-2/2"}));
    EXPECT_EQ(textsOf(*doc, 2), QStringList({"5.0:Header", "10.0:Orders", "15.0:Lines", "20.0:A-2/3", "25.0:A-2/4",
                                             "30.0:A-2/5", "35.0:A-2/6", "40.0:A-2/7", "45.0:A-2/8"}));
    const PageRef page = doc->page(1);
    EXPECT_EQ(page->boxes[1].x, 15.f); // margin + the outer sub-report's x
    EXPECT_EQ(page->boxes[2].x, 35.f); // ... + the inner one's
    EXPECT_EQ(page->boxes[3].x, 35.f);
}

// A chart in a sub-report draws the rows of its run for one outer row: above them once they have
// all passed (header), below them as they stand (footer).
TEST_P(SubreportData, ChartsOverTheRowsOfEachRun)
{
    const auto doc = fill(QStringLiteral(R"(<report version="2">
        <page size="custom" width="100" height="200" margin-left="5" margin-top="5" margin-right="5" margin-bottom="5"/>
        <detail height="30">
            <text x="0" y="0" width="90" height="5">[Report.name]</text>
            <subreport name="Orders" x="0" y="5" width="90" height="20">
                <query>SELECT number, total FROM orders WHERE id_customer = :id ORDER BY id</query>
                <header height="20"><chart x="0" y="0" width="60" height="20" category="Orders.number" value="Orders.total"/></header>
                <footer height="20"><chart x="0" y="0" width="60" height="20" kind="pie" category="'all'" value="Orders.total"/></footer>
            </subreport>
        </detail>
        </report>)"),
        QStringLiteral("SELECT id, name FROM customer ORDER BY id"));
    ASSERT_EQ(doc->pageCount(), 1);
    EXPECT_EQ(chartsOf(*doc, 0), QStringList({"10.0|A-1=5;A-2=7", "30.0|all=12", "60.0|B-1=11", "80.0|all=11",
                                              "110.0|C-1=2;C-2=3;C-3=4", "130.0|all=9"}));
}

VARNEL_ON_BOTH_BACKENDS(SubreportData);

TEST(Subreport, ClearErrorsForParametersAndNesting)
{
    SqlFixture sql;
    sql.db.execute(QStringLiteral("CREATE TABLE t (id INTEGER, v TEXT); INSERT INTO t VALUES (1, 'a')"));
    sql.run(QStringLiteral("SELECT id FROM t"));
    auto errorOf = [&](const QString& subreport) {
        const ReportTemplate t = templateOf(QStringLiteral(R"(<report version="2"><detail height="10">%1</detail></report>)").arg(subreport));
        try {
            ReportFiller filler(t, &sql.data, QStringLiteral("test.xml"),
                                [&](const QString& query) { return sql.db.prepareBound(query); });
            return QString();
        } catch (const VarnelError& e) {
            return e.message();
        }
    };
    const struct {
        const char* subreport;
        const char* error;
    } cases[] = {
        {R"(<subreport name="S" x="0" y="0" width="10" height="5"><query>SELECT v FROM t WHERE v = :missing</query></subreport>)",
         R"(Report template "test.xml", the detail band, object "S": the sub-report "S" gives its query no value for ":missing": add a <parameter> or a field of that name)"},
        {R"(<subreport name="S" x="0" y="0" width="10" height="5"><query>SELECT v FROM t WHERE id = :id</query><parameter name="other" value="1"/></subreport>)",
         R"(Report template "test.xml", the detail band, object "S": the query of the sub-report "S" takes no parameter ":other")"},
        {R"(<subreport name="S" x="0" y="0" width="10" height="5"><query>SELECT v FROM t WHERE id = :id</query><detail height="5"><text x="0" y="0" width="5" height="5">[S.nothing]</text></detail></subreport>)",
         R"(Report template "test.xml", the detail band of the sub-report "S": the field "nothing" is not in the data "S")"},
        {R"(<subreport name="S" x="0" y="0" width="10" height="5"><query>SELECT v FROM nowhere</query></subreport>)",
         R"(Report template "test.xml", the detail band, object "S": no such table: nowhere)"},
        {R"(<subreport name="S" x="0" y="0" width="10" height="5"><query>DELETE FROM t WHERE id = :id</query></subreport>)",
         R"(Report template "test.xml", the detail band, object "S": the query of the sub-report "S" gives no rows; it must be a SELECT)"},
        {R"(<subreport name="S" x="0" y="0" width="10" height="5"><query>SELECT 1</query></subreport>)", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf(QString::fromUtf8(c.subreport)), QString::fromUtf8(c.error)) << c.subreport;
    EXPECT_EQ(sql.db.query(QStringLiteral("SELECT COUNT(*) FROM t")).rows[0][0].toInt(), 1) << "nothing was deleted";

    // Without a database a sub-report cannot run: said before any page is made.
    const ReportTemplate t = templateOf(QString::fromUtf8(
        R"(<report version="2"><detail height="10"><subreport name="S" x="0" y="0" width="10" height="5"><query>SELECT 1</query></subreport></detail></report>)"));
    EXPECT_THROW(ReportFiller(t, &sql.data, QStringLiteral("test.xml")), FormatError);
}

// Five levels of sub-reports: the reader refuses the fifth where it starts; a template built
// in the designer is refused by the filler.
TEST(Subreport, NestingTooDeepIsRefused)
{
    QString xml = QStringLiteral("<detail height=\"5\"/>");
    for (int level = 5; level >= 1; --level)
        xml = QStringLiteral("<detail height=\"5\">\n<subreport name=\"L%1\" x=\"0\" y=\"0\" width=\"10\" height=\"5\">"
                             "<query>SELECT 1 AS n</query>%2</subreport></detail>")
                  .arg(level)
                  .arg(xml);
    xml = QStringLiteral("<report version=\"2\">") + xml + QStringLiteral("</report>");
    try {
        templateOf(xml);
        ADD_FAILURE() << "read";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("test.xml, line 6, column 55: sub-reports nest more than 4 deep"));
    }

    // Four levels read; the same nesting put together in code is refused when filled.
    ReportTemplate t;
    Band* band = &t.detail.emplace();
    for (int level = 1; level <= 5; ++level) {
        ReportObject o;
        o.kind = ObjectKind::Subreport;
        o.name = QStringLiteral("L%1").arg(level);
        o.rect = QRectF(0, 0, 10, 5);
        o.subreport.emplace().query = QStringLiteral("SELECT 1 AS n");
        band->objects.push_back(o);
        band = &band->objects.back().subreport->detail.emplace();
    }
    SqlFixture sql;
    sql.run(QStringLiteral("SELECT 1 AS n"));
    try {
        ReportFiller filler(t, &sql.data, QStringLiteral("test.xml"),
                            [&](const QString& query) { return sql.db.prepareBound(query); });
        ADD_FAILURE() << "filled";
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().endsWith(QStringLiteral("sub-reports nest more than 4 deep"))) << e.message().toStdString();
    }
}

} // namespace

namespace {

// What the writer writes of a sub-report the reader takes back as it was.
TEST(Subreport, WrittenAndReadBackUnchanged)
{
    const ReportTemplate t = templateOf(QString::fromUtf8(R"(<report version="2"><detail height="20">
        <subreport name="Orders" x="5" y="6" width="80" height="10" repeat-header="true">
            <query>SELECT number FROM orders WHERE customer = :name AND note &lt;&gt; '&amp;'</query>
            <parameter name="name" value="UPPER(Report.name) &amp; &quot;'&quot;"/>
            <header height="5" can-grow="true"><text x="0" y="0" width="80" height="5">[COUNT()]</text></header>
            <detail height="4"><subreport name="Items" x="1" y="0" width="70" height="4"><query>SELECT :number AS n</query></subreport></detail>
        </subreport></detail></report>)"));
    const ReportObject& o = t.detail->objects.at(0);
    ASSERT_TRUE(o.subreport);
    EXPECT_EQ(o.subreport->query, QStringLiteral("SELECT number FROM orders WHERE customer = :name AND note <> '&'"));
    EXPECT_EQ(o.subreport->parameters.at(0).value, QStringLiteral("UPPER(Report.name) & \"'\""));
    EXPECT_FALSE(o.subreport->footer.has_value());
    EXPECT_EQ(o.subreport->detail->objects.at(0).subreport->query, QStringLiteral("SELECT :number AS n"));
    EXPECT_TRUE(o.subreport->repeatHeader);
    EXPECT_FALSE(o.subreport->detail->objects.at(0).subreport->repeatHeader);
    const QByteArray written = ReportTemplateFormat::write(t);
    EXPECT_EQ(ReportTemplateFormat::read(written, QStringLiteral("again.xml")), t) << written.toStdString();
    ReportTemplate changed = t;
    changed.detail->objects[0].subreport->detail->objects[0].subreport->query = QStringLiteral("SELECT 2");
    EXPECT_FALSE(changed == t); // compared by what they hold, not by where
}

} // namespace
