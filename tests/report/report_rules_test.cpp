// Functions, style rules, visibility, page totals and page numbers per group: the pages they
// make, as golden texts.
#include "platform/errors.h"
#include "report/engine/compiled_text.h"
#include "report_fixture.h"

#include <gtest/gtest.h>

namespace {

const QString smallPage = QStringLiteral(
    R"(<page size="custom" width="100" height="60" margin-left="5" margin-top="5" margin-right="5" margin-bottom="5"/>)");

QString show(SqlFixture& fixture, const QString& text)
{
    ExpressionCompiler compiler(&fixture.data, {});
    const CompiledText compiled(text, DisplayFormat(), compiler);
    EvalContext context;
    context.data = &fixture.data;
    context.row = 0;
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    context.locale = &locale;
    return compiled.evaluate(context, locale);
}

TEST(ReportFunctions, EvaluateToTheirTexts)
{
    SqlFixture fixture;
    fixture.run(QStringLiteral("SELECT 'Anna Lee' AS name, 2.345 AS price, -2.5 AS loss, 1234.5 AS big, "
                               "'10.25' AS stored, '1990-07-15 08:05:00.000' AS born, NULL AS void"));
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"[ROUND(Report.price)]", "2"},
        {"[ROUND(Report.price, 2)]", "2.35"},
        {"[ROUND(Report.loss)]", "-3"}, // halves away from zero
        {"[ROUND(Report.big, -2)]", "1200"},
        {"[ROUND(Report.stored, 1)]", "10.3"}, // a text that reads as a number
        {"[ROUND(Report.name)]/[ROUND(Report.void)]", "/"},
        {"[FORMAT(Report.big, 'n2')]", "1,234.50"},
        {"[FORMAT(Report.born, 'date:dd.MM.yyyy')]", "15.07.1990"},
        {"['Total: ' + FORMAT(Report.big * 2, 'f0')]", "Total: 2469"},
        {"[SUBSTR(Report.name, 6)]", "Lee"},
        {"[SUBSTR(Report.name, 1, 4)]", "Anna"},
        {"[SUBSTR(Report.name, 0, 2)]|[SUBSTR(Report.name, 20)]", "An|"},
        {"[LEN(Report.name)]/[LEN(Report.void)]/[LEN(Report.price)]", "8//5"},
        {"[YEAR(Report.born)]-[MONTH(Report.born)]-[DAY(Report.born)]", "1990-7-15"},
        {"[YEAR(Report.name)]", ""},
        {"[round(len(substr(Report.name, 1, 4)) / 3, 1)]", "1.3"}, // names in any case, nested
    };
    for (const auto& c : cases)
        EXPECT_EQ(show(fixture, QString::fromUtf8(c.text)), QString::fromUtf8(c.shown)) << c.text;

    const struct {
        const char* text;
        const char* message;
    } wrong[] = {
        {"[ROUND()]", "ROUND takes a number"},
        {"[FORMAT(Report.big)]", "FORMAT takes a value and a display format"},
        {"[SUBSTR(Report.name)]", "SUBSTR takes a text"},
        {"[LEN(1, 2)]", "LEN takes one value"},
        {"[DAY()]", "YEAR, MONTH and DAY take one date"},
        {"[COUNT(DISTINCT)]", "COUNT(DISTINCT ...) takes a value"},
    };
    for (const auto& w : wrong) {
        try {
            show(fixture, QString::fromUtf8(w.text));
            ADD_FAILURE() << "compiled " << w.text;
        } catch (const FormatError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(w.message))) << e.message().toStdString();
        }
    }
}

// COUNT(DISTINCT x) counts the different values of its group, numbers by value.
TEST(ReportFunctions, CountDistinctCountsDifferentValuesPerGroup)
{
    SqlFixture sql;
    sql.run(rowsSql({"SELECT 'A' AS g, 'x' AS v, 1 AS n", "SELECT 'A', 'x', 1.0", "SELECT 'A', 'y', '1'",
                     "SELECT 'A', NULL, 2", "SELECT 'B', 'x', 3"}));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">%1
        <group expression="Report.g">
            <footer height="5"><text x="0" y="0" width="90" height="5">[Report.g]: [COUNT(DISTINCT Report.v)] [COUNT(DISTINCT Report.n)] of [COUNT()]</text></footer>
        </group>
        <summary height="5"><text x="0" y="0" width="90" height="5">all: [COUNT(DISTINCT Report.v)]</text></summary>
        </report>)").arg(smallPage), &sql.data);
    EXPECT_EQ(allTexts(*doc), QStringList({"1|A: 2 2 of 4", "1|B: 1 1 of 1", "1|all: 2"}));
}

// Rules change the style of the rows they hold for, later rules over earlier ones; a text
// without matching rules keeps its own style.
TEST(ReportStyleRules, ApplyToTheRowsTheyHoldFor)
{
    SqlFixture sql;
    sql.run(rowsSql({"SELECT 5 AS amount", "SELECT -3", "SELECT 2000", "SELECT -4000"}));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">%1
        <detail height="5"><text x="0" y="0" width="90" height="5" italic="true">
            <rule when="Report.amount &lt; 0" color="#ff0000" bold="true"/>
            <rule when="Report.amount &lt; -1000 OR Report.amount &gt; 1000" background="#ffff00" italic="false"/>[Report.amount]</text>
        </detail></report>)").arg(smallPage), &sql.data);
    const PageRef page = doc->page(0);
    ASSERT_EQ(page->boxes.size(), 4u);
    const auto style = [&](int i) { return doc->style(page->boxes[size_t(i)].style).text; };
    EXPECT_EQ(page->text(page->boxes[1]), QStringLiteral("-3"));
    EXPECT_EQ(style(0).color, QColor(Qt::black));
    EXPECT_FALSE(style(0).font.bold);
    EXPECT_TRUE(style(0).font.italic);
    EXPECT_FALSE(style(0).background.isValid());
    EXPECT_EQ(style(1).color, QColor(Qt::red));
    EXPECT_TRUE(style(1).font.bold);
    EXPECT_TRUE(style(1).font.italic);
    EXPECT_EQ(style(2).background, QColor(Qt::yellow));
    EXPECT_FALSE(style(2).font.italic);
    EXPECT_EQ(style(2).color, QColor(Qt::black));
    EXPECT_EQ(style(3).color, QColor(Qt::red)); // both rules: the later one's italic, the first one's colour
    EXPECT_TRUE(style(3).font.bold);
    EXPECT_FALSE(style(3).font.italic);
    EXPECT_EQ(style(3).background, QColor(Qt::yellow));
    // Each mix of rules is one style of the document, not one per row.
    EXPECT_EQ(doc->styles().size(), 4u);
}

TEST(ReportStyleRules, AreWrittenAsTheyAreReadAndRefusedWhenWrong)
{
    const ReportTemplate t = templateOf(QStringLiteral(R"(<report version="2"><detail height="5" visible="Report.n &gt; 1">
        <text x="0" y="0" width="9" height="5" visible="[Report.n] &lt;&gt; 3"><rule when="Report.n &lt; 0" color="#ff0000" bold="true"/><rule when="Report.n = 0" italic="false" background="#80ffff00"/>  n: [Report.n]</text>
        <line x="0" y="0" width="9" height="0" visible="false"/></detail></report>)"));
    const ReportObject& text = t.detail->objects[0];
    ASSERT_EQ(text.rules.size(), 2u);
    EXPECT_EQ(text.rules[0].condition, "Report.n < 0");
    EXPECT_EQ(text.rules[0].bold, true);
    EXPECT_FALSE(text.rules[0].italic.has_value());
    EXPECT_EQ(text.rules[1].background.alpha(), 0x80);
    EXPECT_EQ(text.text, "  n: [Report.n]");
    EXPECT_EQ(text.visible, "[Report.n] <> 3");
    EXPECT_EQ(t.detail->visible, "Report.n > 1");
    EXPECT_EQ(t.detail->objects[1].visible, "false");
    const QByteArray written = ReportTemplateFormat::write(t);
    EXPECT_EQ(ReportTemplateFormat::read(written, QStringLiteral("again.xml")), t) << written.toStdString();
    // A text with rules and no text of its own stays empty through writing and reading.
    ReportTemplate empty = t;
    empty.detail->objects[0].text.clear();
    EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(empty), QStringLiteral("again.xml")), empty);

    const struct {
        const char* xml;
        const char* message;
    } wrong[] = {
        {R"(<text>x<rule when="1" bold="true"/></text>)", "line 2, column 42: a <rule> stands before the text of its <text>"},
        {R"(<text><rule bold="true"/></text>)", "a <rule> needs a condition in \"when\""},
        {R"(<text><rule when="1"/></text>)", "a <rule> changes nothing"},
        {R"(<text><rule when="1" bold="yes"/></text>)", "\"bold\" must be true or false"},
        {R"(<text><rule when="1" bold="true"><b/></rule></text>)", "unknown element <b> in a <rule>"},
        {R"(<text><b/></text>)", "unknown element <b> in a <text>"},
        {R"(<line visible=" "/>)", "\"visible\" needs an expression"},
    };
    for (const auto& w : wrong) {
        try {
            templateOf(QStringLiteral("<report version=\"2\"><detail>\n<text/>%1</detail></report>")
                           .arg(QString::fromUtf8(w.xml)));
            ADD_FAILURE() << "read " << w.xml;
        } catch (const FormatError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(w.message))) << e.message().toStdString();
        }
    }
}

// A hidden band takes no room: the rows after it close up; a hidden object is not drawn and
// the band keeps its height.
TEST(ReportVisibility, HiddenBandsLeaveNoGapAndHiddenObjectsAreNotDrawn)
{
    SqlFixture sql;
    sql.run(rowsSql({"SELECT 'A' AS g, 1 AS n, '' AS note", "SELECT 'A', 2, 'fragile'", "SELECT 'B', 3, ''"}));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">%1
        <group expression="Report.g">
            <header height="5"><text x="0" y="0" width="90" height="5">[Report.g]</text></header>
            <footer height="5" visible="COUNT() &gt; 1"><text x="0" y="0" width="90" height="5">[COUNT()] rows</text></footer>
        </group>
        <detail height="5">
            <text x="0" y="0" width="20" height="5">row [Report.n]</text>
            <text x="20" y="0" width="20" height="5" visible="Report.n &lt;&gt; 2">shown [Report.n]</text>
        </detail>
        <page-footer height="5"><text x="0" y="0" width="90" height="5">end</text></page-footer>
        <summary height="5" visible="false"><text x="0" y="0" width="90" height="5">never</text></summary>
        </report>)").arg(smallPage), &sql.data);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:A", "10.0:row 1", "10.0:shown 1", "15.0:row 2", "20.0:2 rows",
                                             "25.0:B", "30.0:row 3", "30.0:shown 3", "50.0:end"}));
}

// A detail band hidden for a row leaves no gap, and the row still counts in every total.
TEST(ReportVisibility, AHiddenDetailRowStillCountsInTheTotals)
{
    SqlFixture sql;
    sql.run(rowsSql({"SELECT 1 AS n", "SELECT 2", "SELECT 3"}));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">%1
        <detail height="5" visible="Report.n &lt;&gt; 2"><text x="0" y="0" width="90" height="5">[Report.n]</text></detail>
        <summary height="5"><text x="0" y="0" width="90" height="5">[SUM(Report.n)] [SUM(Report.n, 'Page')] [SUM(Report.n, 'Carried')]</text></summary>
        </report>)").arg(smallPage), &sql.data);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:1", "10.0:3", "15.0:6 6 6"}));
}

// The page total adds the rows of its page, the carried total those of every page so far: in
// the page footer what goes over, in the next page header what came over; the row that breaks
// the page counts on the page it lands on.
TEST(ReportPageTotals, CountTheRowsWhereTheyLand)
{
    SqlFixture sql;
    QStringList rows;
    for (int i = 1; i <= 9; ++i)
        rows << QStringLiteral("SELECT %1 AS n").arg(i * 10);
    sql.run(rowsSql(rows));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">%1
        <page-header height="5"><text x="0" y="0" width="90" height="5">brought [SUM(Report.n, 'Carried')]</text></page-header>
        <detail height="10"><text x="0" y="0" width="90" height="10">[Report.n]</text></detail>
        <page-footer height="5"><text x="0" y="0" width="90" height="5">page [SUM(Report.n, 'Page')] ([COUNT(Report.n, 'Page')]) carried [SUM(Report.n, 'Carried')]</text></page-footer>
        </report>)").arg(smallPage), &sql.data);
    ASSERT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"5.0:brought 0", "10.0:10", "20.0:20", "30.0:30", "40.0:40",
                                             "50.0:page 100 (4) carried 100"}));
    EXPECT_EQ(textsOf(*doc, 1), QStringList({"5.0:brought 100", "10.0:50", "20.0:60", "30.0:70", "40.0:80",
                                             "50.0:page 260 (4) carried 360"}));
    EXPECT_EQ(textsOf(*doc, 2), QStringList({"5.0:brought 360", "10.0:90", "50.0:page 90 (1) carried 450"}));
}

// A group that restarts the page numbers: "Page 1 of 2" of each customer's pages.
TEST(ReportPageNumbers, RestartForEachGroupThatAsks)
{
    SqlFixture sql;
    QStringList rows;
    for (int i = 1; i <= 5; ++i)
        rows << QStringLiteral("SELECT 'Anna' AS customer, %1 AS n").arg(i);
    rows << "SELECT 'Boris', 6";
    for (int i = 7; i <= 15; ++i)
        rows << QStringLiteral("SELECT 'Clara', %1").arg(i);
    sql.run(rowsSql(rows));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">%1
        <title height="5"><text x="0" y="0" width="90" height="5">Title [Page]/[TotalPages]</text></title>
        <group expression="Report.customer" new-page="true" reset-page-numbers="true">
            <header height="5"><text x="0" y="0" width="90" height="5">[Report.customer]</text></header>
        </group>
        <detail height="10"><text x="0" y="0" width="90" height="10">[Report.n]</text></detail>
        <page-footer height="5"><text x="0" y="0" width="90" height="5">[Page] of [TotalPages]</text></page-footer>
        </report>)").arg(smallPage), &sql.data);
    QStringList footers;
    for (int p = 0; p < doc->pageCount(); ++p)
        footers << textsOf(*doc, p).last();
    EXPECT_EQ(footers, QStringList({"50.0:1 of 2", "50.0:2 of 2", "50.0:1 of 1", "50.0:1 of 3", "50.0:2 of 3",
                                    "50.0:3 of 3"}));
    EXPECT_EQ(textsOf(*doc, 0).first(), "5.0:Title 1/2");
    EXPECT_EQ(textsOf(*doc, 2), QStringList({"5.0:Boris", "10.0:6", "50.0:1 of 1"}));

    // Without the attribute the same pages count through.
    const auto plain = fillOf(QStringLiteral(R"(<report version="2">%1
        <group expression="Report.customer" new-page="true"><header height="5"><text x="0" y="0" width="90" height="5">[Report.customer]</text></header></group>
        <detail height="10"><text x="0" y="0" width="90" height="10">[Report.n]</text></detail>
        <page-footer height="5"><text x="0" y="0" width="90" height="5">[Page] of [TotalPages]</text></page-footer>
        </report>)").arg(smallPage), &sql.data);
    EXPECT_EQ(textsOf(*plain, 3).last(), "50.0:4 of 6");
}

} // namespace
