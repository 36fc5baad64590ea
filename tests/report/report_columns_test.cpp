#include "platform/errors.h"
#include "report_fixture.h"

#include <gtest/gtest.h>

namespace {

// The text boxes of a page as "x,y:text" in millimetres: where each cell went.
QStringList placesOf(const PageDocument& doc, int page)
{
    QStringList out;
    const PageRef p = doc.page(page);
    for (const PageBox& b : p->boxes)
        if (b.kind == PageBox::Kind::Text)
            out << QString::number(b.x, 'f', 2) + u',' + QString::number(b.y, 'f', 2) + u':' + p->text(b).toString();
    return out;
}

QString rows(int count, const QString& group = QString())
{
    QStringList selects;
    for (int i = 1; i <= count; ++i)
        selects << QStringLiteral("SELECT %1 AS n, '%2' AS g").arg(i).arg(group.isEmpty() ? QString(i <= 4 ? u'A' : u'B') : group);
    return rowsSql(selects);
}

// 100 x 60 mm, margins of 5: 90 mm for three columns with 6 between them, 26 wide each.
const QString smallPage = QStringLiteral(
    R"(<page size="custom" width="100" height="60" margin-left="5" margin-top="5" margin-right="5" margin-bottom="5"/>)");
const QString tallPage = QString(smallPage).replace(QStringLiteral("height=\"60\""), QStringLiteral("height=\"150\""));

// Across: a row of cells at a time; a group's header and footer span the page and the next
// rows start below the tallest cell of the row before.
TEST(ReportColumns, AcrossThenDownWithGroupsBetweenRuns)
{
    SqlFixture sql;
    sql.run(rows(6));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">%1
        <group expression="Report.g">
            <header height="5"><text x="0" y="0" width="90" height="5">Group [Report.g]</text></header>
            <footer height="5"><text x="0" y="0" width="90" height="5">[COUNT()] in [Report.g]</text></footer>
        </group>
        <detail height="8" can-grow="true" columns="3" column-spacing="6">
            <text x="0" y="0" width="26" height="8" wrap="true">[IIF(Report.n = 2, 'Row 2 is a long one that wraps', 'Row ' &amp; Report.n)]</text>
        </detail>
        <summary height="5"><text x="0" y="0" width="90" height="5">End</text></summary>
        </report>)").arg(tallPage), &sql.data);
    ASSERT_EQ(doc->pageCount(), 1);
    const QStringList placed = placesOf(*doc, 0);
    ASSERT_EQ(placed.size(), 11);
    EXPECT_EQ(placed.mid(0, 4), QStringList({"5.00,5.00:Group A", "5.00,10.00:Row 1",
                                             "37.00,10.00:Row 2 is a long one that wraps", "69.00,10.00:Row 3"}));
    // Row 4 starts a new row of cells below the tallest of the first (row 2 grew).
    const double grown = doc->page(0)->boxes[2].height;
    EXPECT_GT(grown, 8.0);
    EXPECT_EQ(placed[4], QStringLiteral("5.00,%1:Row 4").arg(10 + grown, 0, 'f', 2));
    EXPECT_EQ(placed[5], QStringLiteral("5.00,%1:4 in A").arg(18 + grown, 0, 'f', 2));
    EXPECT_EQ(placed.mid(6, 3), QStringList({QStringLiteral("5.00,%1:Group B").arg(23 + grown, 0, 'f', 2),
                                             QStringLiteral("5.00,%1:Row 5").arg(28 + grown, 0, 'f', 2),
                                             QStringLiteral("37.00,%1:Row 6").arg(28 + grown, 0, 'f', 2)}));
    EXPECT_EQ(placed[10], QStringLiteral("5.00,%1:End").arg(41 + grown, 0, 'f', 2));
}

// Down: a column is filled to the page's foot before the next begins; past the last column the
// rows go on on the next page, under the page header.
TEST(ReportColumns, DownThenAcrossBreaksPages)
{
    SqlFixture sql;
    sql.run(rows(13, QStringLiteral("A")));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">%1
        <page-header height="5"><text x="0" y="0" width="90" height="5">Header</text></page-header>
        <detail height="10" columns="3" column-spacing="6" column-order="down">
            <text x="0" y="0" width="26" height="10">Row [Report.n]</text>
        </detail>
        <summary height="5"><text x="0" y="0" width="90" height="5">End</text></summary>
        </report>)").arg(smallPage), &sql.data);
    ASSERT_EQ(doc->pageCount(), 2);
    EXPECT_EQ(placesOf(*doc, 0),
              QStringList({"5.00,5.00:Header", "5.00,10.00:Row 1", "5.00,20.00:Row 2", "5.00,30.00:Row 3",
                           "5.00,40.00:Row 4", "37.00,10.00:Row 5", "37.00,20.00:Row 6", "37.00,30.00:Row 7",
                           "37.00,40.00:Row 8", "69.00,10.00:Row 9", "69.00,20.00:Row 10", "69.00,30.00:Row 11",
                           "69.00,40.00:Row 12"}));
    EXPECT_EQ(placesOf(*doc, 1), QStringList({"5.00,5.00:Header", "5.00,10.00:Row 13", "5.00,20.00:End"}));
}

// A sheet of labels gives the paper, the margins and the columns; every row takes one label.
TEST(ReportColumns, LabelSheetsPlaceOneRowPerLabel)
{
    SqlFixture sql;
    sql.run(rows(22, QStringLiteral("A")));
    const auto doc = fillOf(QStringLiteral(R"(<report version="2">
        <page labels="L7160"/>
        <detail height="20"><text x="3" y="3" width="57" height="6">Label [Report.n]</text></detail>
        </report>)"), &sql.data);
    ASSERT_EQ(doc->pageCount(), 2);
    EXPECT_EQ(doc->pageSize(0), QSizeF(210, 297));
    const QStringList first = placesOf(*doc, 0);
    ASSERT_EQ(first.size(), 21);
    EXPECT_EQ(first[0], QStringLiteral("10.20,18.15:Label 1"));
    EXPECT_EQ(first[1], QStringLiteral("76.20,18.15:Label 2"));
    EXPECT_EQ(first[2], QStringLiteral("142.20,18.15:Label 3"));
    EXPECT_EQ(first[3], QStringLiteral("10.20,56.25:Label 4"));
    EXPECT_EQ(first[20], QStringLiteral("142.20,246.75:Label 21"));
    EXPECT_EQ(placesOf(*doc, 1), QStringList({"10.20,18.15:Label 22"}));

    // Every sheet fits its paper: the labels and the margins fill it.
    for (const QString& code : LabelSheet::codes()) {
        const ReportTemplate t = templateOf(QStringLiteral(R"(<report version="2"><page labels="%1"/></report>)").arg(code));
        const LabelSheet* sheet = LabelSheet::find(code);
        EXPECT_NEAR(t.page.marginTop + sheet->rows * sheet->labelHeight + t.page.marginBottom, t.page.pageHeight(), 0.01) << code.toStdString();
        EXPECT_NEAR(t.page.marginRight, t.page.marginLeft, 0.3) << code.toStdString(); // sheets are centred
        EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(t), QStringLiteral("again")), t);
    }
}

TEST(ReportColumns, TheReaderTakesColumnsOnlyWhereTheyMeanSomething)
{
    const struct {
        const char* xml;
        const char* error;
    } cases[] = {
        {R"(<report version="2"><detail columns="0"/></report>)", "line 1, column 41: \"columns\" must be a whole number from 1 to 20"},
        {R"(<report version="2"><detail columns="2.5"/></report>)", "\"columns\" must be a whole number from 1 to 20"},
        {R"(<report version="2"><detail column-order="sideways"/></report>)", "\"column-order\" must be one of across, down"},
        {R"(<report version="2"><summary columns="2"/></report>)", "unknown attribute \"columns\" on <summary>"},
        {R"(<report version="2"><page labels="L9999"/></report>)", "\"labels\" must be one of L7160, L7161, L7163, 5160, 5163"},
        {R"(<report version="2"><page labels="L7160" size="A4"/></report>)", "a sheet of labels gives the paper and the margins itself"},
        {R"(<report version="2"><page labels="L7160"/><detail columns="2"/></report>)", "a sheet of labels gives the detail band's columns itself"},
    };
    for (const auto& c : cases) {
        try {
            templateOf(QString::fromUtf8(c.xml));
            ADD_FAILURE() << c.xml;
        } catch (const FormatError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.error))) << e.message().toStdString();
        }
    }
    // Columns written and read back; a template without any new part stays version 1.
    const ReportTemplate t = templateOf(QStringLiteral(
        R"(<report version="2"><detail height="5" columns="4" column-spacing="2.5" column-order="down"/></report>)"));
    EXPECT_EQ(t.detail->columns, 4);
    EXPECT_TRUE(ReportTemplateFormat::write(t).contains(R"(<report version="2">)"));
    EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(t), QStringLiteral("again")), t);
    ReportTemplate plain = t;
    plain.detail->columns = 1;
    plain.detail->columnSpacing = 0;
    plain.detail->columnOrder = ColumnOrder::Across;
    EXPECT_TRUE(ReportTemplateFormat::write(plain).contains(R"(<report version="1">)"));
}

} // namespace

namespace {

// Every XML example of the format's document reads: whole templates as they stand, bands
// inside a report of the newest version.
TEST(ReportColumns, EveryExampleOfTheDocumentReads)
{
    QFile doc(QStringLiteral(VARNEL_SOURCE_DIR "/docs/report-format.md"));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    int examples = 0;
    for (qsizetype start = text.indexOf(QStringLiteral("```xml\n")); start >= 0;
         start = text.indexOf(QStringLiteral("```xml\n"), start + 1)) {
        const qsizetype from = start + 7;
        QString xml = text.mid(from, text.indexOf(QStringLiteral("```"), from) - from);
        if (!xml.contains(QStringLiteral("<report")))
            xml = QStringLiteral("<report version=\"%1\">%2</report>").arg(ReportTemplate::formatVersion).arg(xml);
        EXPECT_NO_THROW(templateOf(xml)) << xml.toStdString();
        ++examples;
    }
    EXPECT_GE(examples, 4);
}

} // namespace
