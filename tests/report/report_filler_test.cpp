#include "platform/errors.h"
#include "report/engine/page_renderer.h"
#include "report/engine/text_layout.h"
#include "report_fixture.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

QString numbers(int count)
{
    QStringList selects;
    for (int i = 1; i <= count; ++i)
        selects << QStringLiteral("SELECT %1 AS n").arg(i);
    return rowsSql(selects);
}

// A small page: 100 x 60 mm with 5 mm margins.
const QString smallPage = QStringLiteral(R"(<page size="custom" width="100" height="60" margin-left="5" margin-top="5" margin-right="5" margin-bottom="5"/>)");

TEST(ReportFiller, BreaksPagesAndNumbersThemOnceAllAreKnown)
{
    SqlFixture sql;
    sql.run(numbers(7));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">%1
        <title height="10"><text x="0" y="0" width="90" height="10">Title</text></title>
        <page-header height="5"><text x="0" y="0" width="90" height="5">Header</text></page-header>
        <detail height="10"><text x="0" y="0" width="90" height="10">Row [Report."n"]</text></detail>
        <page-footer height="5"><text x="0" y="0" width="90" height="5">Page [Page] of [TotalPages]</text></page-footer>
        <summary height="10"><text x="0" y="0" width="90" height="10">Count [COUNT()] Sum [SUM(Report."n")]</text></summary>
        </report>)").arg(smallPage), &sql.data);
    ASSERT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:Title", "15.0:Header", "20.0:Row 1", "30.0:Row 2", "40.0:Row 3",
                                             "50.0:Page 1 of 3"}));
    EXPECT_EQ(textsOf(*doc, 1), QStringList({"5.0:Header", "10.0:Row 4", "20.0:Row 5", "30.0:Row 6", "40.0:Row 7",
                                             "50.0:Page 2 of 3"}));
    EXPECT_EQ(textsOf(*doc, 2), QStringList({"5.0:Header", "10.0:Count 7 Sum 28", "50.0:Page 3 of 3"}));
    const PageBox first = doc->page(0)->boxes[0];
    EXPECT_EQ(first.x, 5.f); // left margin
    EXPECT_EQ(doc->pageSize(0).width(), 100.0);
}

TEST(ReportFiller, NestedGroupsRepeatHeadersAndShowTotalsBeforeTheirRows)
{
    SqlFixture sql;
    QStringList rows = {"SELECT 'A' AS country, 'x' AS city, 1 AS amount", "SELECT 'A', 'x', 2", "SELECT 'A', 'y', 3"};
    for (int amount = 4; amount <= 12; ++amount)
        rows << QStringLiteral("SELECT 'B', 'z', %1").arg(amount);
    sql.run(rowsSql(rows));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">%1
        <group name="country" expression="Report.country" repeat-header="true">
            <header height="5"><text x="0" y="0" width="90" height="5">[Report.country] total [SUM(Report.amount)]</text></header>
            <group name="city" expression="Report.city">
                <header height="5"><text x="0" y="0" width="90" height="5">[Report.city] ([COUNT()])</text></header>
                <footer height="5"><text x="0" y="0" width="90" height="5">end [Report.city] [SUM(Report.amount)]</text></footer>
            </group>
            <footer height="5"><text x="0" y="0" width="90" height="5">[Report.country] [COUNT()] rows, report so far [SUM(Report.amount, 'Report')]</text></footer>
        </group>
        <detail height="5"><text x="0" y="0" width="90" height="5">[Report.amount] run [SUM(Report.amount)], line [Line]</text></detail>
        </report>)").arg(smallPage), &sql.data);
    ASSERT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:A total 6", "10.0:x (2)", "15.0:1 run 1, line 1", "20.0:2 run 3, line 2",
                                             "25.0:end x 3", "30.0:y (1)", "35.0:3 run 3, line 1", "40.0:end y 3",
                                             "45.0:A 3 rows, report so far 6"}));
    // B's header would stand alone at the foot of page 1: it goes over with its first row.
    EXPECT_EQ(textsOf(*doc, 1), QStringList({"5.0:B total 72", "10.0:z (9)", "15.0:4 run 4, line 1",
                                             "20.0:5 run 9, line 2", "25.0:6 run 15, line 3", "30.0:7 run 22, line 4",
                                             "35.0:8 run 30, line 5", "40.0:9 run 39, line 6", "45.0:10 run 49, line 7",
                                             "50.0:11 run 60, line 8"}));
    EXPECT_EQ(textsOf(*doc, 2), QStringList({"5.0:B total 72", "10.0:12 run 72, line 9", "15.0:end z 72",
                                             "20.0:B 9 rows, report so far 78"}));
}

TEST(ReportFiller, AGroupKeptTogetherMovesWholeToTheNextPage)
{
    SqlFixture sql;
    sql.run(numbers(3));
    for (const bool keep : {true, false}) {
        const auto doc = fillOf(QStringLiteral(R"(<report version="1">%1
            <title height="30"><text x="0" y="0" width="90" height="5">Title</text></title>
            <group expression="1" keep-together="%2">
                <header height="5"><text x="0" y="0" width="90" height="5">Group</text></header>
            </group>
            <detail height="10"><text x="0" y="0" width="90" height="5">Row [Report.n]</text></detail>
            </report>)").arg(smallPage, keep ? "true" : "false"), &sql.data);
        if (keep) {
            EXPECT_EQ(allTexts(*doc), QStringList({"1|Title", "2|Group", "2|Row 1", "2|Row 2", "2|Row 3"}));
            EXPECT_EQ(textsOf(*doc, 1).first(), QStringLiteral("5.0:Group"));
        } else {
            EXPECT_EQ(allTexts(*doc), QStringList({"1|Title", "1|Group", "1|Row 1", "2|Row 2", "2|Row 3"}));
        }
    }
}

// A group on a new page starts every page but the first: the first group stands under the title
// and the column titles, not on a page of its own after them; an inner group on a new page
// begins on its outer group's page too.
TEST(ReportFiller, AGroupStartsOnANewPageWhenAsked)
{
    SqlFixture sql;
    sql.run(rowsSql({"SELECT 'a' AS k, 'x' AS i", "SELECT 'a', 'x'", "SELECT 'a', 'y'", "SELECT 'b', 'z'"}));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">%1
        <title height="5"><text x="0" y="0" width="90" height="5">Title</text></title>
        <page-header height="5"><text x="0" y="0" width="90" height="5">Columns</text></page-header>
        <group expression="Report.k" new-page="true">
            <header height="5"><text x="0" y="0" width="90" height="5">Group [Report.k]</text></header>
            <group expression="Report.i" new-page="true">
                <header height="5"><text x="0" y="0" width="90" height="5">Inner [Report.i]</text></header>
            </group>
        </group>
        <detail height="5"><text x="0" y="0" width="90" height="5">[Line]</text></detail>
        </report>)").arg(smallPage), &sql.data);
    EXPECT_EQ(allTexts(*doc), QStringList({"1|Title", "1|Columns", "1|Group a", "1|Inner x", "1|1", "1|2",
                                           "2|Columns", "2|Inner y", "2|1",
                                           "3|Columns", "3|Group b", "3|Inner z", "3|1"}));
}

// A group header does not end a page: it goes over with the headers of its inner groups and
// the first row, and with a whole inner group that is kept together.
TEST(ReportFiller, AGroupHeaderKeepsWithItsInnerHeadersAndFirstRow)
{
    SqlFixture sql;
    QStringList rows;
    for (int n = 1; n <= 6; ++n)
        rows << QStringLiteral("SELECT 'North' AS region, 'Anna' AS customer, %1 AS n").arg(n);
    for (int n = 7; n <= 9; ++n)
        rows << QStringLiteral("SELECT 'South', 'Boris', %1").arg(n);
    sql.run(rowsSql(rows));
    for (const bool keepTogether : {false, true}) {
        SCOPED_TRACE(keepTogether);
        const auto doc = fillOf(QStringLiteral(R"(<report version="1">%1
            <group expression="Report.region">
                <header height="5"><text x="0" y="0" width="90" height="5">Region: [Report.region]</text></header>
                <group expression="Report.customer" keep-together="%2">
                    <header height="5"><text x="0" y="0" width="90" height="5">[Report.customer]</text></header>
                </group>
            </group>
            <detail height="5"><text x="0" y="0" width="90" height="5">[Report.n]</text></detail>
            </report>)").arg(smallPage, keepTogether ? "true" : "false"), &sql.data);
        EXPECT_EQ(allTexts(*doc), QStringList({"1|Region: North", "1|Anna", "1|1", "1|2", "1|3", "1|4", "1|5", "1|6",
                                               "2|Region: South", "2|Boris", "2|7", "2|8", "2|9"}));
    }
}

// An outer header that goes over with a kept-together inner group is not also repeated at the
// top of the new page.
TEST(ReportFiller, AHeaderThatGoesOverWithItsInnerGroupIsNotRepeatedToo)
{
    SqlFixture sql;
    sql.run(numbers(3));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">%1
        <title height="30"><text x="0" y="0" width="90" height="5">Title</text></title>
        <group expression="1" repeat-header="true">
            <header height="5"><text x="0" y="0" width="90" height="5">Outer</text></header>
            <group expression="2" keep-together="true">
                <header height="5"><text x="0" y="0" width="90" height="5">Inner</text></header>
            </group>
        </group>
        <detail height="10"><text x="0" y="0" width="90" height="5">Row [Report.n]</text></detail>
        </report>)").arg(smallPage), &sql.data);
    EXPECT_EQ(allTexts(*doc), QStringList({"1|Title", "2|Outer", "2|Inner", "2|Row 1", "2|Row 2", "2|Row 3"}));
}

TEST(ReportFiller, WrappedTextGrowsItsBandAndTheRendererDrawsInsideIt)
{
    SqlFixture sql;
    sql.run(rowsSql({"SELECT 'short' AS t", "SELECT 'Съешь же ещё этих мягких французских булок, да выпей чаю; "
                                            "the quick brown fox jumps over the lazy dog' AS t",
                     "SELECT '' AS t"}));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">
        <page size="A4"/>
        <detail height="6" can-grow="true">
            <text x="0" y="0" width="30" height="6" wrap="true">[Report.t]</text>
            <text x="30" y="0" width="20" height="6" frame-left="0.2 #000000" frame-bottom="0.2 #000000">cell</text>
            <text x="50" y="0.5" width="20" height="5">fixed</text>
        </detail>
        </report>)"), &sql.data);
    const PageRef held = doc->page(0);
    const Page& page = *held;
    ASSERT_EQ(page.boxes.size(), 9u);
    const PageBox& shortText = page.boxes[0];
    const PageBox& longText = page.boxes[3];
    EXPECT_EQ(shortText.height, 6.f);
    EXPECT_GT(longText.height, 3 * 6.f); // many lines in 30 mm
    EXPECT_EQ(page.boxes[4].height, longText.height); // the neighbour cell follows the band's bottom
    EXPECT_EQ(page.boxes[5].height, 5.f);               // a box above the bottom keeps its height
    EXPECT_FLOAT_EQ(page.boxes[6].y, longText.y + longText.height); // the next row starts below

    // What the filler measured is what is drawn: ink reaches the last line and stops inside the box.
    const double dpi = 300;
    QImage image(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PageRenderer::scaleToMillimetres(painter, dpi);
        PageRenderer(*doc).paint(painter, 0);
    }
    auto inkInRows = [&](double fromMm, double toMm) {
        // The neighbour's frame stands on the right edge: looked at up to a millimetre before it.
        const int x0 = qRound(longText.x / 25.4 * dpi), x1 = qRound((longText.x + longText.width - 1) / 25.4 * dpi);
        for (int y = qRound(fromMm / 25.4 * dpi); y < qRound(toMm / 25.4 * dpi); ++y)
            for (int x = x0; x < x1; ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    return true;
        return false;
    };
    const double bottom = longText.y + longText.height;
    EXPECT_TRUE(inkInRows(bottom - 4, bottom));
    EXPECT_FALSE(inkInRows(bottom + 0.1, bottom + 6)); // the next row is empty
}

TEST(ReportFiller, NullsBlobsAndBrokenPicturesLeaveEmptyBoxes)
{
    SqlFixture sql;
    QImage red(40, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    sql.db.execute(QStringLiteral("CREATE TABLE t (id INTEGER, name TEXT, photo BLOB, active INTEGER)"));
    sql.db.execute(QStringLiteral("INSERT INTO t VALUES (1, 'Anna', :p, 1)"), {{QStringLiteral("p"), png}});
    sql.db.execute(QStringLiteral("INSERT INTO t VALUES (2, NULL, :p, NULL)"),
                   {{QStringLiteral("p"), QByteArray("\x89PNG but not really", 19)}});
    sql.db.execute(QStringLiteral("INSERT INTO t VALUES (3, 'Boris', NULL, 0)"));
    sql.run(QStringLiteral("SELECT * FROM t ORDER BY id"));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">
        <detail height="10">
            <text x="0" y="0" width="30" height="5">[Report.id]: [Report.name]</text>
            <picture x="30" y="0" width="20" height="10" value="Report.photo"/>
            <checkbox x="50" y="0" width="4" height="4" value="Report.active"/>
        </detail>
        </report>)"), &sql.data);
    const PageRef held = doc->page(0);
    const Page& page = *held;
    ASSERT_EQ(page.boxes.size(), 9u);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"10.0:1: Anna", "20.0:2: ", "30.0:3: Boris"}));
    ASSERT_NE(page.boxes[1].offset, PageDocument::noImage);
    EXPECT_EQ(doc->image(page.boxes[1].offset).size(), QSize(40, 20));
    EXPECT_EQ(doc->image(page.boxes[1].offset).pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(page.boxes[4].offset, PageDocument::noImage); // does not decode
    EXPECT_EQ(page.boxes[7].offset, PageDocument::noImage); // null
    EXPECT_TRUE(page.boxes[2].checked);
    EXPECT_FALSE(page.boxes[5].checked);
    EXPECT_FALSE(page.boxes[8].checked);
}

TEST(ReportFiller, NoRowsStillMakeTitleAndSummary)
{
    SqlFixture sql;
    sql.run(QStringLiteral("SELECT 1 AS n WHERE 0"));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">
        <title height="10"><text x="0" y="0" width="90" height="10">Title [SUM(Report.n)]</text></title>
        <group expression="Report.n"><header height="5"><text x="0" y="0" width="90" height="5">G</text></header></group>
        <detail height="10"><text x="0" y="0" width="90" height="10">Row [Report.n]</text></detail>
        <summary height="10"><text x="0" y="0" width="90" height="10">Count [COUNT()] avg [AVG(Report.n)].</text></summary>
        </report>)"), &sql.data);
    EXPECT_EQ(allTexts(*doc), QStringList({"1|Title 0", "1|Count 0 avg ."}));
}

// SQLite columns often keep numbers as texts: what n2 shows as a number counts as one in every
// aggregate, in the group and in the whole report.
TEST(ReportFiller, TextsThatReadAsNumbersCountAsNumbersInTheAggregates)
{
    SqlFixture sql;
    sql.db.execute(QStringLiteral("CREATE TABLE item (grp TEXT, price TEXT);"
                                  "INSERT INTO item VALUES ('a', '10.5'), ('a', '2'), ('a', NULL), ('b', ' 7 '), ('b', 'none');"));
    sql.run(QStringLiteral("SELECT grp, price FROM item ORDER BY grp, rowid"));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">%1
        <group expression="Report.grp">
            <footer height="5"><text x="0" y="0" width="90" height="5" format="n2">[SUM(Report.price)] [AVG(Report.price)] [MIN(Report.price)] [MAX(Report.price)]</text></footer>
        </group>
        <summary height="5"><text x="0" y="0" width="90" height="5" format="n2">[SUM(Report.price)] [AVG(Report.price)] [COUNT(Report.price)]</text></summary>
        </report>)").arg(smallPage), &sql.data);
    EXPECT_EQ(allTexts(*doc), QStringList({"1|12.50 6.25 2.00 10.50", "1|7.00 7.00 7.00 none", "1|19.50 6.50 4.00"}));
}

TEST(ReportFiller, AnUnknownFieldIsToldBeforeAnyPage)
{
    SqlFixture sql;
    sql.run(numbers(2));
    const ReportTemplate t = templateOf(QStringLiteral(R"(<report version="1">
        <detail height="10"><text name="amount" x="0" y="0" width="90" height="10">[Report."Amount"]</text></detail>
        </report>)"));
    try {
        ReportFiller filler(t, &sql.data, QStringLiteral("orders.xml"));
        FAIL() << "compiled";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Report template \"orders.xml\", the detail band, object \"amount\": "
                                              "the field \"Amount\" is not in the data \"Report\""));
    }
}

TEST(ReportFiller, ACancelStopsTheFill)
{
    SqlFixture sql;
    sql.run(QStringLiteral("WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 5000) SELECT n FROM r"));
    const ReportTemplate t = templateOf(QStringLiteral(R"(<report version="1">
        <detail height="10"><text x="0" y="0" width="90" height="10">[Report.n]</text></detail></report>)"));
    ReportFiller filler(t, &sql.data, QStringLiteral("t.xml"));
    int asked = 0;
    EXPECT_EQ(filler.fill([&](int done, int total) {
        EXPECT_EQ(total, 5000);
        EXPECT_LT(done, total);
        return ++asked < 2;
    }), nullptr);
    EXPECT_EQ(asked, 2);
}

} // namespace
