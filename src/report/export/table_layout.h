#pragma once

#include "report/engine/page_document.h"

#include <vector>

// Table-shaped targets (spreadsheets, and word-processor tables) see a page as a grid: the
// positioned boxes are cut at their edges into rows and columns. Columns start where boxes
// start; a box wider than one column becomes a merged cell. Rows start where boxes start and
// end where they end: the space below a row's boxes is an empty row of its own, so the page
// keeps its heights.
// Lines and rectangles draw no cells of their own: they become the borders and shading of the
// cells they fall on.

struct TableCell {
    static constexpr quint32 noBox = ~0u;

    int row = 0, column = 0; // the top left grid cell, rows counted within the page
    int rowSpan = 1, columnSpan = 1;
    quint32 box = noBox;     // what it shows: a text, check box or picture; noBox for a bare cell
    quint32 style = 0;       // the box's style (a bare cell: of the line or rectangle)
    FrameSide left, top, right, bottom;
    QColor fill;             // invalid: none
    QString extra;           // texts of boxes that fell on the same cell, after its own
};

// The box a cell shows; null for a bare cell.
const PageBox* cellBox(const Page& page, const TableCell& cell);
// What a cell shows as text: its text or check box, then the texts of boxes that fell on it.
QString cellText(const Page& page, const TableCell& cell);
// The number or date a cell holds: that of a text that is one value, alone on its cell.
const PageValue* cellValue(const Page& page, const TableCell& cell);

struct TablePage {
    std::vector<double> rowHeights; // millimetres
    std::vector<TableCell> cells;   // by row, then by column
};

class TableLayout {
public:
    // The tallest row a sheet takes (409 points); a taller stretch of the page becomes several.
    static constexpr double maxRowHeight = 144.0;

    // One set of columns for every page of the document (a sheet), or for one page.
    static TableLayout forDocument(const PageDocument& doc);
    static TableLayout forPage(const Page& page, const PageDocument& doc);

    int columnCount() const { return int(m_edges.size()) - 1 > 0 ? int(m_edges.size()) - 1 : 0; }
    double columnWidth(int column) const { return m_edges[size_t(column) + 1] - m_edges[size_t(column)]; }
    // Where the first column starts on the page, millimetres.
    double left() const { return m_edges.empty() ? 0 : m_edges.front(); }

    TablePage cut(const Page& page, const PageDocument& doc) const;

    // A box that makes a cell: a text with something to show, a check box, a picture.
    static bool makesCell(const Page& page, const PageBox& box, const PageDocument& doc);

    // The pieces of a Qt date and time pattern ("dd.MM.yyyy HH:mm"), for formats of other
    // programs: a field letter repeated count times, or a literal text (letter 0).
    struct PatternPiece {
        QChar letter;
        int count = 0;
        QString text;
    };
    static std::vector<PatternPiece> datePattern(const QString& pattern);

private:
    explicit TableLayout(std::vector<double> edges) : m_edges(std::move(edges)) {}

    std::vector<double> m_edges; // column starts, then the right end of the last column
};
