// Rows taken straight from the statement while the pages are made: the same pages as from rows
// held whole, a few rows in memory at a time, and the rows kept for a later report.
#include "report_fixture.h"

#include <gtest/gtest.h>

namespace {

// Every box of every page: where it is, what it shows, and the value behind it.
QStringList boxesOf(const PageDocument& doc)
{
    QStringList out;
    for (int i = 0; i < doc.pageCount(); ++i) {
        const PageRef p = doc.page(i);
        for (quint32 b = 0; b < p->boxes.size(); ++b) {
            const PageBox& box = p->boxes[b];
            QString line = QStringLiteral("%1|%2 %3,%4 %5x%6").arg(i + 1).arg(int(box.kind)).arg(box.x).arg(box.y).arg(box.width).arg(box.height);
            if (box.kind == PageBox::Kind::Text)
                line += u' ' + p->text(box).toString();
            if (const PageValue* v = p->value(b))
                line += QStringLiteral(" =%1/%2").arg(v->number).arg(v->isDate);
            out << line;
        }
    }
    return out;
}

// Rows with every kind of value: numbers, reals, texts in two scripts, nulls and BLOBs; a tag
// that stays the same over three rows groups them.
const QString mixedRows = QStringLiteral(
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < %1) "
    "SELECT n, n / 25 AS part, substr('00000' || (n / 3), -5) AS tag, CAST(n AS BLOB) AS bytes, "
    "CASE n % 3 WHEN 0 THEN 'Иван ' || n WHEN 1 THEN NULL ELSE 'Smith ' || n END AS name, "
    "n * 1.25 AS price, hex(zeroblob(50)) || n AS wide FROM r");

// Totals in headers and the title (known only at the group's end), the first row's fields in
// the title, "Page N of M", groups kept together and on new pages: all that waits for later rows.
// A footer after every row reads its row once the cursor has looked at the next one.
const QString reportXml = QStringLiteral(R"(<report version="1">
    <page size="custom" width="120" height="80" margin-left="5" margin-top="5" margin-right="5" margin-bottom="5"/>
    <title height="10"><text x="0" y="0" width="110" height="10">First [Report.n], of [COUNT()] total [SUM(Report.price)]</text></title>
    <page-header height="5"><text x="0" y="0" width="110" height="5">Header at [Report.n]</text></page-header>
    <group name="part" expression="Report.part" repeat-header="true" new-page="true">
        <header height="5"><text x="0" y="0" width="110" height="5">Part [Report.part]: [COUNT()] rows, [SUM(Report.price)]</text></header>
        <group name="tag" expression="Report.tag" keep-together="true">
            <header height="5"><text x="0" y="0" width="110" height="5">Tag of [Report.n] ([COUNT()])</text></header>
            <group name="row" expression="Report.n">
                <footer height="5"><text x="0" y="0" width="110" height="5">after [Report.n]: [SUM(Report.n, 'tag')] in tag, max [MAX(Report.name, 'tag')]</text></footer>
            </group>
            <footer height="5"><text x="0" y="0" width="110" height="5">[COUNT()] in tag to [Report.n]</text></footer>
        </group>
    </group>
    <detail height="5">
        <text x="0" y="0" width="20" height="5">[Report.n]</text>
        <text x="20" y="0" width="40" height="5">[Report.name]</text>
        <text x="60" y="0" width="20" height="5" format="n2">[Report.price]</text>
        <text x="80" y="0" width="30" height="5">[Line] [SUM(Report.price, 'part')]</text>
    </detail>
    <page-footer height="5"><text x="0" y="0" width="110" height="5">Page [Page] of [TotalPages], last [Report.n]</text></page-footer>
    <summary height="5"><text x="0" y="0" width="110" height="5">[COUNT()] rows, [AVG(Report.price)], last [Report.name]</text></summary>
    </report>)");

TEST(ReportStream, MakesTheSamePagesAsRowsHeldWhole)
{
    for (const int rows : {0, 1, 2, 64, 65, 300}) {
        SCOPED_TRACE(rows);
        SqlFixture sql;
        const QString query = mixedRows.arg(rows);
        const QStringList held = boxesOf(*fillOf(reportXml, &sql.run(query)));
        if (rows == 300) {
            ASSERT_GT(held.size(), 1300); // a report of many pages, not an error page
        }
        for (const bool keep : {false, true}) {
            ReportDataset streamed;
            streamed.setStream(sql.db.prepare(query), keep);
            EXPECT_EQ(boxesOf(*fillOf(reportXml, &streamed)), held) << "keep " << keep;
        }
    }
}

// The memory a stream holds does not grow with the rows, and its progress has no total.
TEST(ReportStream, HoldsOnlyTheRowsAroundTheCursor)
{
    SqlFixture sql;
    const QString query = mixedRows.arg(5000);
    const qsizetype wholeBytes = sql.run(query).memoryUse();
    sql.data.clear();
    sql.data.setStream(sql.db.prepare(query), false);
    const ReportTemplate t = templateOf(QStringLiteral(R"(<report version="1">
        <detail height="5"><text x="0" y="0" width="190" height="5">[Report.n] [Report.wide]</text></detail>
        <summary height="5"><text x="0" y="0" width="190" height="5">[COUNT()]</text></summary></report>)"));
    ReportFiller filler(t, &sql.data, QStringLiteral("t.xml"));
    qsizetype mostHeld = 0;
    int asked = 0;
    const auto doc = filler.fill([&](int done, int total) {
        EXPECT_EQ(total, 0);
        EXPECT_EQ(sql.data.rowCount(), done + 1);
        mostHeld = std::max(mostHeld, sql.data.memoryUse());
        ++asked;
        return true;
    });
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(allTexts(*doc).last(), QStringLiteral("%1|5000").arg(doc->pageCount()));
    EXPECT_GT(wholeBytes, 600000);
    EXPECT_LT(mostHeld, 32 * 1024);
    sql.data.finishStream();
    EXPECT_FALSE(sql.data.isStreaming());
    EXPECT_EQ(sql.data.rowCount(), 0);
    EXPECT_EQ(sql.data.columnCount(), 7);
}

// Kept rows come back exactly as setResult holds them, however far the report read, also
// from the temporary file.
TEST(ReportStream, KeepsItsRowsForTheNextReport)
{
    enum class Read { Nothing, Part, All };
    SqlFixture sql;
    const QString query = mixedRows.arg(3000);
    sql.run(query);
    const ReportTemplate t = templateOf(QStringLiteral(R"(<report version="1">
        <detail height="5"><text x="0" y="0" width="190" height="5">[Report.n]</text></detail></report>)"));
    for (const Read read : {Read::Nothing, Read::Part, Read::All}) {
        for (const qsizetype threshold : {qsizetype(512), qsizetype(8 * 1024 * 1024)}) {
            SCOPED_TRACE(QStringLiteral("read %1, threshold %2").arg(int(read)).arg(threshold).toStdString());
            ReportDataset kept;
            kept.setKeptSpillThreshold(threshold);
            kept.setStream(sql.db.prepare(query), true);
            if (read != Read::Nothing) {
                ReportFiller filler(t, &kept, QStringLiteral("t.xml"));
                const bool cancel = read == Read::Part;
                EXPECT_EQ(filler.fill([&](int, int) { return !cancel; }) == nullptr, cancel);
            }
            kept.finishStream();
            EXPECT_LT(kept.memoryUse(), 300 * 1024 + (threshold > 512 ? threshold : 0));
            ASSERT_EQ(kept.rowCount(), 3000);
            ASSERT_EQ(kept.columns(), sql.data.columns());
            for (qsizetype r = 0; r < 3000; ++r)
                for (int c = 0; c < 7; ++c) {
                    const DatasetValue a = kept.value(r, c), b = sql.data.value(r, c);
                    ASSERT_EQ(a.type, b.type) << r << ' ' << c;
                    ASSERT_EQ(a.integer, b.integer);
                    ASSERT_EQ(a.real, b.real);
                    ASSERT_EQ(QByteArray(a.bytes, a.size), QByteArray(b.bytes, b.size));
                }
            // And a report made from them again is the whole report.
            EXPECT_EQ(fillOf(QStringLiteral(R"(<report version="1"><summary height="5"><text x="0" y="0" width="90" height="5">[COUNT()] [SUM(Report.n)]</text></summary></report>)"),
                             &kept)
                          ->page(0)
                          ->texts,
                      QStringLiteral("3000 4501500"));
        }
    }
}

// A new result replaces a stream at any point: nothing of the old one is read after.
TEST(ReportStream, ANewResultEndsTheStream)
{
    SqlFixture sql;
    ReportDataset data;
    data.setStream(sql.db.prepare(mixedRows.arg(100)), true);
    ASSERT_TRUE(data.hasRow(10));
    EXPECT_EQ(data.value(10, 0).integer, 11);
    SqlStatement other = sql.db.prepare(QStringLiteral("SELECT 'x' AS a UNION ALL SELECT 'y'"));
    data.setResult(other);
    EXPECT_FALSE(data.isStreaming());
    EXPECT_EQ(data.rowCount(), 2);
    EXPECT_EQ(data.value(1, 0).text(), QStringLiteral("y"));
    data.finishStream(); // nothing to end
    EXPECT_EQ(data.rowCount(), 2);
}

} // namespace
