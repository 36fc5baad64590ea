#include "report/export/table_layout.h"

#include "report/export/markup.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

// Edges closer than this are one edge: boxes placed by hand in a designer rarely line up to
// the hundredth of a millimetre, and a sliver of a column helps nobody.
constexpr double tolerance = 1.0;

std::vector<double> mergedEdges(const std::vector<double>& sortedStarts, double end)
{
    std::vector<double> edges;
    for (double v : sortedStarts)
        if (edges.empty() || v - edges.back() > tolerance)
            edges.push_back(v);
    if (edges.empty())
        return edges;
    edges.push_back(std::max(end, edges.back() + tolerance));
    return edges;
}

// The cut a start falls on: the last one at or before it.
int startIndex(const std::vector<double>& edges, double v)
{
    const auto it = std::upper_bound(edges.begin(), edges.end() - 1, v + tolerance);
    return std::max(0, int(it - edges.begin()) - 1);
}

// The last cut an end passes: the box covers every cut before it.
int endIndex(const std::vector<double>& edges, double v)
{
    const auto it = std::lower_bound(edges.begin(), edges.end() - 1, v - tolerance);
    return int(it - edges.begin()) - 1;
}

// The edge (cut or end) nearest to a line; -1 when none is near.
int nearestEdge(const std::vector<double>& edges, double v)
{
    int best = -1;
    double distance = 2 * tolerance;
    for (size_t i = 0; i < edges.size(); ++i)
        if (std::abs(edges[i] - v) < distance) {
            distance = std::abs(edges[i] - v);
            best = int(i);
        }
    return best;
}

bool hasFrame(const TextStyle& s)
{
    return s.left.width > 0 || s.top.width > 0 || s.right.width > 0 || s.bottom.width > 0;
}

FrameSide pen(const BoxStyle& s)
{
    return FrameSide{s.lineWidth, s.lineColor};
}

class Grid {
public:
    Grid(const std::vector<double>& columns, const std::vector<double>& rows, const PageDocument& doc, TablePage& out)
        : m_columns(columns), m_rows(rows), m_doc(doc), m_out(out),
          m_owner(size_t(rowCount() * columnCount()), -1)
    {
    }

    int rowCount() const { return std::max(0, int(m_rows.size()) - 1); }
    int columnCount() const { return std::max(0, int(m_columns.size()) - 1); }

    void content(const Page& page, quint32 index)
    {
        const PageBox& b = page.boxes[index];
        const int r = std::min(startIndex(m_rows, b.y), rowCount() - 1);
        const int c = std::min(startIndex(m_columns, b.x), columnCount() - 1);
        if (int owner = ownerAt(r, c); owner >= 0) {
            // Two boxes on one cell: the cell shows both texts rather than lose one.
            TableCell& cell = m_out.cells[size_t(owner)];
            if (b.kind == PageBox::Kind::Text && !page.text(b).isEmpty()) {
                if (!cell.extra.isEmpty() || (cell.box != TableCell::noBox && page.boxes[cell.box].length > 0))
                    cell.extra += u' ';
                cell.extra += page.text(b);
            }
            return;
        }
        int columnSpan = std::max(1, endIndex(m_columns, b.x + b.width) - c + 1);
        int rowSpan = std::max(1, endIndex(m_rows, b.y + b.height) - r + 1);
        columnSpan = std::min(columnSpan, columnCount() - c);
        rowSpan = std::min(rowSpan, rowCount() - r);
        for (int k = 1; k < columnSpan; ++k)
            if (ownerAt(r, c + k) >= 0) {
                columnSpan = k;
                break;
            }
        for (int k = 1; k < rowSpan; ++k)
            for (int j = 0; j < columnSpan; ++j)
                if (ownerAt(r + k, c + j) >= 0) {
                    rowSpan = k;
                    break;
                }
        TableCell cell;
        cell.row = r;
        cell.column = c;
        cell.rowSpan = rowSpan;
        cell.columnSpan = columnSpan;
        cell.box = index;
        cell.style = b.style;
        if (b.kind == PageBox::Kind::Text) {
            const TextStyle& s = m_doc.style(b.style).text;
            cell.left = s.left;
            cell.top = s.top;
            cell.right = s.right;
            cell.bottom = s.bottom;
            cell.fill = s.background;
        }
        claim(cell);
    }

    void decoration(const PageBox& b)
    {
        if (rowCount() == 0 || columnCount() == 0)
            return;
        const BoxStyle& s = m_doc.style(b.style);
        if (b.kind == PageBox::Kind::Line) {
            if (b.height == 0)
                horizontal(b.y, b.x, b.x + b.width, pen(s), b.style);
            else if (b.width == 0)
                vertical(b.x, b.y, b.y + b.height, pen(s), b.style);
            return; // a slanted line has no cell edge to become
        }
        const int r0 = nearestEdge(m_rows, b.y), r1 = nearestEdge(m_rows, b.y + b.height);
        const int c0 = nearestEdge(m_columns, b.x), c1 = nearestEdge(m_columns, b.x + b.width);
        if (r0 < 0 || r1 <= r0 || c0 < 0 || c1 <= c0)
            return;
        if (s.fill.isValid())
            for (int r = r0; r < r1; ++r)
                for (int c = c0; c < c1; ++c) {
                    TableCell& cell = at(r, c, b.style);
                    if (!cell.fill.isValid())
                        cell.fill = s.fill;
                }
        if (s.lineWidth > 0) {
            horizontal(m_rows[size_t(r0)], m_columns[size_t(c0)], m_columns[size_t(c1)], pen(s), b.style);
            horizontal(m_rows[size_t(r1)], m_columns[size_t(c0)], m_columns[size_t(c1)], pen(s), b.style);
            vertical(m_columns[size_t(c0)], m_rows[size_t(r0)], m_rows[size_t(r1)], pen(s), b.style);
            vertical(m_columns[size_t(c1)], m_rows[size_t(r0)], m_rows[size_t(r1)], pen(s), b.style);
        }
    }

private:
    int ownerAt(int r, int c) const { return m_owner[size_t(r * columnCount() + c)]; }

    void claim(const TableCell& cell)
    {
        const int index = int(m_out.cells.size());
        m_out.cells.push_back(cell);
        for (int r = cell.row; r < cell.row + cell.rowSpan; ++r)
            for (int c = cell.column; c < cell.column + cell.columnSpan; ++c)
                m_owner[size_t(r * columnCount() + c)] = index;
    }

    TableCell& at(int r, int c, quint32 style)
    {
        if (ownerAt(r, c) < 0) {
            TableCell bare;
            bare.row = r;
            bare.column = c;
            bare.style = style;
            claim(bare);
        }
        return m_out.cells[size_t(ownerAt(r, c))];
    }

    // A line along a row edge: the top of the cells below it, or the bottom of the last row.
    void horizontal(double y, double x0, double x1, const FrameSide& side, quint32 style)
    {
        const int edge = nearestEdge(m_rows, y);
        if (edge < 0)
            return;
        const int c0 = std::min(startIndex(m_columns, x0), columnCount() - 1);
        const int c1 = std::min(endIndex(m_columns, x1), columnCount() - 1);
        for (int c = c0; c <= c1; ++c) {
            if (edge < rowCount())
                at(edge, c, style).top = side;
            else
                at(edge - 1, c, style).bottom = side;
        }
    }

    void vertical(double x, double y0, double y1, const FrameSide& side, quint32 style)
    {
        const int edge = nearestEdge(m_columns, x);
        if (edge < 0)
            return;
        const int r0 = std::min(startIndex(m_rows, y0), rowCount() - 1);
        const int r1 = std::min(endIndex(m_rows, y1), rowCount() - 1);
        for (int r = r0; r <= r1; ++r) {
            if (edge < columnCount())
                at(r, edge, style).left = side;
            else
                at(r, edge - 1, style).right = side;
        }
    }

    const std::vector<double>& m_columns;
    const std::vector<double>& m_rows;
    const PageDocument& m_doc;
    TablePage& m_out;
    std::vector<int> m_owner;
};

// Rows start where boxes start. Where the boxes of a row end well above the next row, the
// space between is a row of its own, so that a cell is as tall as its box and a text centred
// in it stays where the page has it; the edges of rectangles and level lines are row edges too,
// so that a frame drawn around cells finds them. A row taller than a sheet row can be is cut
// into several.
std::vector<double> rowEdges(const Page& page, const std::vector<quint32>& content, const std::vector<double>& tops)
{
    if (tops.empty())
        return tops;
    std::vector<double> rowEnds(tops.size() - 1, 0.0);
    for (quint32 i : content) {
        const PageBox& b = page.boxes[i];
        double& end = rowEnds[size_t(std::min(startIndex(tops, b.y), int(rowEnds.size()) - 1))];
        end = std::max(end, double(b.y + b.height));
    }
    std::vector<double> more;
    for (size_t r = 0; r + 1 < tops.size(); ++r)
        more.push_back(rowEnds[r]);
    for (const PageBox& b : page.boxes) {
        if (b.kind == PageBox::Kind::Rectangle) {
            more.push_back(b.y);
            more.push_back(b.y + b.height);
        } else if (b.kind == PageBox::Kind::Line && b.height == 0 && b.width != 0) {
            more.push_back(b.y);
        }
    }
    std::sort(more.begin(), more.end());
    // An edge as near a box's top as that would take the box into the row below it.
    auto nearTop = [&](double v) {
        return std::any_of(content.begin(), content.end(), [&](quint32 i) { return std::abs(page.boxes[i].y - v) <= tolerance; });
    };
    std::vector<double> edges = tops;
    for (double v : more) {
        const auto near = std::find_if(edges.begin(), edges.end(), [&](double e) { return std::abs(e - v) <= tolerance; });
        if (near == edges.end() && !nearTop(v))
            edges.insert(std::upper_bound(edges.begin(), edges.end(), v), v);
    }
    std::vector<double> cut;
    for (size_t r = 0; r < edges.size(); ++r) {
        if (r > 0) {
            const double height = edges[r] - edges[r - 1];
            const int parts = int(std::ceil(height / TableLayout::maxRowHeight));
            for (int k = 1; k < parts; ++k)
                cut.push_back(edges[r - 1] + height * k / parts);
        }
        cut.push_back(edges[r]);
    }
    return cut;
}

} // namespace

const PageBox* cellBox(const Page& page, const TableCell& cell)
{
    return cell.box == TableCell::noBox ? nullptr : &page.boxes[cell.box];
}

QString cellText(const Page& page, const TableCell& cell)
{
    QString text;
    if (const PageBox* box = cellBox(page, cell)) {
        if (box->kind == PageBox::Kind::Text)
            text = page.text(*box).toString();
        else if (box->kind == PageBox::Kind::CheckBox)
            text = checkBoxText(box->checked).toString();
    }
    return text + cell.extra;
}

const PageValue* cellValue(const Page& page, const TableCell& cell)
{
    const PageBox* box = cellBox(page, cell);
    return box && box->kind == PageBox::Kind::Text && cell.extra.isEmpty() ? page.value(cell.box) : nullptr;
}

bool TableLayout::makesCell(const Page& page, const PageBox& box, const PageDocument& doc)
{
    switch (box.kind) {
    case PageBox::Kind::Text: {
        if (box.length > 0)
            return !page.text(box).trimmed().isEmpty() || page.value(quint32(&box - page.boxes.data()));
        const TextStyle& s = doc.style(box.style).text;
        return s.background.isValid() || hasFrame(s);
    }
    case PageBox::Kind::CheckBox: return true;
    case PageBox::Kind::Picture: return box.offset != PageDocument::noImage;
    default: return false;
    }
}

TableLayout TableLayout::forDocument(const PageDocument& doc)
{
    // Starts rounded to a hundredth of a millimetre: a list repeats the same few on every page.
    std::set<qint64> starts;
    double end = 0;
    for (int i = 0; i < doc.pageCount(); ++i) {
        const PageRef page = doc.page(i);
        for (const PageBox& b : page->boxes)
            if (makesCell(*page, b, doc)) {
                starts.insert(std::llround(b.x * 100.0));
                end = std::max(end, double(b.x + b.width));
            }
    }
    std::vector<double> sorted;
    for (qint64 s : starts)
        sorted.push_back(s / 100.0);
    return TableLayout(mergedEdges(sorted, end));
}

std::vector<TableLayout::PatternPiece> TableLayout::datePattern(const QString& pattern)
{
    std::vector<PatternPiece> pieces;
    auto literal = [&](QChar c) {
        if (pieces.empty() || !pieces.back().letter.isNull())
            pieces.push_back(PatternPiece{});
        pieces.back().text += c;
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            const qsizetype close = pattern.indexOf(u'\'', i + 1);
            if (close == i + 1)
                literal(u'\'');
            for (qsizetype j = i + 1; j < (close < 0 ? pattern.size() : close); ++j)
                literal(pattern[j]);
            i = close < 0 ? pattern.size() : close + 1;
            continue;
        }
        if (QStringView(u"dMyhHmszaAtP").contains(c)) {
            qsizetype j = i;
            while (j < pattern.size() && pattern[j] == c)
                ++j;
            pieces.push_back(PatternPiece{c, int(j - i), QString()});
            i = j;
            continue;
        }
        literal(c);
        ++i;
    }
    return pieces;
}

TableLayout TableLayout::forPage(const Page& page, const PageDocument& doc)
{
    std::vector<double> starts;
    double end = 0;
    for (const PageBox& b : page.boxes)
        if (makesCell(page, b, doc)) {
            starts.push_back(b.x);
            end = std::max(end, double(b.x + b.width));
        }
    std::sort(starts.begin(), starts.end());
    return TableLayout(mergedEdges(starts, end));
}

TablePage TableLayout::cut(const Page& page, const PageDocument& doc) const
{
    TablePage out;
    std::vector<quint32> content;
    std::vector<double> tops;
    double bottom = 0;
    for (quint32 i = 0; i < page.boxes.size(); ++i) {
        const PageBox& b = page.boxes[i];
        if (!makesCell(page, b, doc))
            continue;
        content.push_back(i);
        tops.push_back(b.y);
        bottom = std::max(bottom, double(b.y + b.height));
    }
    std::sort(tops.begin(), tops.end());
    const std::vector<double> rows = rowEdges(page, content, mergedEdges(tops, bottom));
    for (size_t r = 0; r + 1 < rows.size(); ++r)
        out.rowHeights.push_back(rows[r + 1] - rows[r]);
    if (rows.empty() || m_edges.empty())
        return out;
    // Cells in reading order: the first box on a cell keeps it.
    std::stable_sort(content.begin(), content.end(), [&](quint32 a, quint32 b) {
        const int ra = startIndex(rows, page.boxes[a].y), rb = startIndex(rows, page.boxes[b].y);
        return ra != rb ? ra < rb : startIndex(m_edges, page.boxes[a].x) < startIndex(m_edges, page.boxes[b].x);
    });
    Grid grid(m_edges, rows, doc, out);
    for (quint32 i : content)
        grid.content(page, i);
    for (const PageBox& b : page.boxes)
        if (b.kind == PageBox::Kind::Line || b.kind == PageBox::Kind::Rectangle)
            grid.decoration(b);
    std::sort(out.cells.begin(), out.cells.end(),
              [](const TableCell& a, const TableCell& b) { return a.row != b.row ? a.row < b.row : a.column < b.column; });
    return out;
}
