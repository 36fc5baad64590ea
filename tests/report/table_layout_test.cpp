// How a page is cut into the rows and columns of a sheet: rows as tall as the page's bands,
// and the frames drawn around cells kept as their borders.
#include "report/engine/page_document.h"
#include "report/export/table_layout.h"

#include <gtest/gtest.h>
#include <numeric>

namespace {

PageBox textBox(Page& page, double x, double y, double width, double height, const QString& text, quint32 style = 0)
{
    PageBox box;
    box.style = style;
    box.x = float(x);
    box.y = float(y);
    box.width = float(width);
    box.height = float(height);
    page.setText(box, text);
    page.boxes.push_back(box);
    return box;
}

const TableCell* cellShowing(const Page& page, const TablePage& table, const QString& text)
{
    for (const TableCell& cell : table.cells)
        if (cellText(page, cell) == text)
            return &cell;
    return nullptr;
}

// The line under a cell: its own bottom side, or the top side of the cell below it.
FrameSide lineUnder(const TablePage& table, const TableCell& cell)
{
    if (cell.bottom.width > 0)
        return cell.bottom;
    for (const TableCell& below : table.cells)
        if (below.row == cell.row + cell.rowSpan && below.column <= cell.column && cell.column < below.column + below.columnSpan)
            return below.top;
    return FrameSide{};
}

double rowTop(const TablePage& table, int row)
{
    return std::accumulate(table.rowHeights.begin(), table.rowHeights.begin() + row, 0.0);
}

} // namespace

// The last page of an invoice: a line of items, a framed and filled grand total, and far below
// it the page footer. The grand total's row is as tall as its box, the space below it rows of
// its own, and the frame of the box the borders of the cells it holds.
TEST(TableLayout, ASummaryBoxKeepsItsHeightPlaceAndFrame)
{
    PageDocument doc;
    doc.addStyle(BoxStyle());
    BoxStyle frame;
    frame.lineWidth = 0.5;
    frame.lineColor = QColor(0x12, 0x3a, 0x70);
    frame.fill = QColor(0xee, 0xf3, 0xf9);
    const quint32 frameStyle = doc.addStyle(frame);

    Page page;
    textBox(page, 95, 3, 50, 6, QStringLiteral("Items:"));
    textBox(page, 145, 3, 30, 6, QStringLiteral("8"));
    PageBox rect;
    rect.kind = PageBox::Kind::Rectangle;
    rect.style = frameStyle;
    rect.x = 95;
    rect.y = 11;
    rect.width = 80;
    rect.height = 9;
    page.boxes.push_back(rect);
    textBox(page, 95, 11, 50, 9, QStringLiteral("Grand total:"));
    textBox(page, 145, 11, 30, 9, QStringLiteral("962.00"));
    textBox(page, 0, 180, 120, 5, QStringLiteral("Invoice ORD-2481"));
    doc.addPage(std::move(page));

    const PageRef p = doc.page(0);
    const TableLayout layout = TableLayout::forDocument(doc);
    const TablePage table = layout.cut(*p, doc);

    const TableCell* label = cellShowing(*p, table, QStringLiteral("Grand total:"));
    const TableCell* total = cellShowing(*p, table, QStringLiteral("962.00"));
    const TableCell* footer = cellShowing(*p, table, QStringLiteral("Invoice ORD-2481"));
    ASSERT_TRUE(label && total && footer);
    EXPECT_EQ(label->row, total->row);
    EXPECT_EQ(label->rowSpan, 1);
    EXPECT_DOUBLE_EQ(table.rowHeights[size_t(label->row)], 9.0) << "the grand total's row is as tall as its box";
    // Every row top is where the page has it, so the footer stays at the page's foot.
    EXPECT_NEAR(rowTop(table, label->row), 11 - 3, 0.01);
    EXPECT_NEAR(rowTop(table, footer->row), 180 - 3, 0.01);
    EXPECT_NEAR(std::accumulate(table.rowHeights.begin(), table.rowHeights.end(), 0.0), 185 - 3, 0.01);
    for (double h : table.rowHeights)
        EXPECT_LE(h, TableLayout::maxRowHeight) << "no row is taller than a sheet row can be";

    // The rectangle: its fill and all four sides on the two cells it holds.
    for (const TableCell* cell : {label, total}) {
        EXPECT_EQ(cell->fill, frame.fill);
        EXPECT_DOUBLE_EQ(cell->top.width, 0.5);
        EXPECT_DOUBLE_EQ(lineUnder(table, *cell).width, 0.5) << "the bottom of the frame";
        EXPECT_EQ(lineUnder(table, *cell).color, frame.lineColor);
    }
    EXPECT_DOUBLE_EQ(label->left.width, 0.5);
    EXPECT_DOUBLE_EQ(total->right.width, 0.5);
    EXPECT_DOUBLE_EQ(lineUnder(table, *cellShowing(*p, table, QStringLiteral("Items:"))).width, 0) << "the frame stays on its own cells";
}

// A list keeps one row per line: boxes that end where the next begin add no rows between.
TEST(TableLayout, ListLinesThatTouchMakeOneRowEach)
{
    PageDocument doc;
    doc.addStyle(BoxStyle());
    Page page;
    for (int r = 0; r < 10; ++r) {
        textBox(page, 0, 20 + r * 6, 14, 6, QString::number(r + 1));
        textBox(page, 14, 20 + r * 6, 50, 6, QStringLiteral("Name %1").arg(r + 1));
    }
    doc.addPage(std::move(page));
    const PageRef p = doc.page(0);
    const TablePage table = TableLayout::forDocument(doc).cut(*p, doc);
    ASSERT_EQ(table.rowHeights.size(), 10u);
    for (double h : table.rowHeights)
        EXPECT_DOUBLE_EQ(h, 6.0);
    EXPECT_EQ(table.cells.size(), 20u);
}
