#include "report/export/xls_export.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/export/compound_file.h"
#include "report/export/export_file.h"
#include "report/export/table_layout.h"
#include "report/export/xls_drawing.h"
#include "report/export/xls_records.h"
#include "report/export/xls_strings.h"

#include <QHash>
#include <QTemporaryFile>
#include <algorithm>
#include <array>

using namespace Xls;

namespace {

struct Sheet {
    qint64 bodyStart = 0, bodySize = 0;
    int rows = 0;
    std::vector<int> breaks;                    // first rows of the report pages after the first
    std::vector<std::array<quint16, 4>> merges; // first row, last row, first column, last column
};

struct CellRecord {
    int row, column;
    QByteArray bytes;
};

class XlsWriter {
public:
    XlsWriter(const PageDocument& doc, ExportFile& file) : m_doc(doc), m_file(file), m_layout(TableLayout::forDocument(doc))
    {
        if (!m_body.open())
            file.fail(m_body.errorString());
        m_columns = std::min(m_layout.columnCount(), maxColumns);
    }

    void page(int index)
    {
        const PageRef page = m_doc.page(index);
        const TablePage table = m_layout.cut(*page, m_doc);
        const int rows = std::min(int(table.rowHeights.size()), maxSheetRows);
        if (rows == 0)
            return;
        if (m_sheets.empty() || m_sheets.back().rows + rows > maxSheetRows)
            startSheet();
        Sheet& sheet = m_sheets.back();
        const int base = sheet.rows;
        if (base > 0 && int(sheet.breaks.size()) < maxBreaks)
            sheet.breaks.push_back(base);
        sheet.rows += rows;

        std::vector<CellRecord> cells;
        cells.reserve(table.cells.size());
        for (const TableCell& cell : table.cells) {
            if (cell.column >= m_columns || cell.row >= rows)
                continue;
            const int row = base + cell.row;
            const int lastRow = std::min(base + cell.row + cell.rowSpan, base + rows) - 1;
            const int lastColumn = std::min(cell.column + cell.columnSpan, m_columns) - 1;
            quint16 xf = 0;
            cells.push_back(CellRecord{row, cell.column, content(*page, cell, row, xf)});
            if (const PageBox* b = cellBox(*page, cell); b && b->kind == PageBox::Kind::Picture && b->offset != PageDocument::noImage)
                picture(*b, cell, table, base, rows);
            if (lastRow > row || lastColumn > cell.column) {
                sheet.merges.push_back({quint16(row), quint16(lastRow), quint16(cell.column), quint16(lastColumn)});
                // The covered cells carry the style too: their sides are the merged cell's sides.
                for (int r = row; r <= lastRow; ++r)
                    for (int c = cell.column; c <= lastColumn; ++c)
                        if (r != row || c != cell.column)
                            cells.push_back(CellRecord{r, c, blank(r, c, xf)});
            }
        }
        std::stable_sort(cells.begin(), cells.end(),
                         [](const CellRecord& a, const CellRecord& b) { return a.row != b.row ? a.row < b.row : a.column < b.column; });

        // Row records in blocks of 32, each block followed by its cells, as the readers expect.
        m_out.clear();
        size_t next = 0;
        for (int first = 0; first < rows; first += 32) {
            const int last = std::min(first + 32, rows);
            size_t scan = next;
            for (int r = first; r < last; ++r) {
                int low = 0, high = 0;
                if (scan < cells.size() && cells[scan].row == base + r) {
                    low = cells[scan].column;
                    while (scan < cells.size() && cells[scan].row == base + r)
                        high = cells[scan++].column + 1;
                }
                QByteArray b;
                put16(b, quint32(base + r));
                put16(b, quint32(low));
                put16(b, quint32(high));
                put16(b, quint32(std::clamp<qint64>(std::llround(table.rowHeights[size_t(r)] * 1440 / 25.4), 1, 8192)));
                put16(b, 0);
                put16(b, 0);
                put32(b, 0x0140 | quint32(defaultCellXf) << 16); // the height is the report's, not fitted to the text
                record(m_out, Row, b);
            }
            for (; next < scan; ++next)
                m_out += cells[next].bytes;
        }
        if (m_body.write(m_out) != m_out.size())
            throw FileError(Lang.caption("Cannot write a temporary file: %1").arg(m_body.errorString()));
        sheet.bodySize += m_out.size();
    }

    void finish()
    {
        if (m_sheets.empty())
            startSheet(); // no page made a cell: still a workbook, with one empty sheet
        std::vector<QByteArray> heads, tails;
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            heads.push_back(sheetHead(m_sheets[i]));
            tails.push_back(sheetTail(m_sheets[i], int(i)));
        }
        std::vector<qsizetype> offsetFields;
        QByteArray globals = this->globals(offsetFields);
        const QByteArray extSst = m_strings.extSst(globals.size());
        QByteArray eof;
        record(eof, Eof, QByteArray());
        qint64 at = globals.size() + m_strings.size() + extSst.size() + eof.size();
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            const quint32 offset = quint32(at);
            for (int k = 0; k < 4; ++k)
                globals[offsetFields[i] + k] = char((offset >> (8 * k)) & 0xff);
            at += heads[i].size() + m_sheets[i].bodySize + tails[i].size();
        }
        if (at > qint64(0xFFFFFFFFu) - CompoundFile::sectorSize)
            m_file.fail(Lang.caption("the workbook would be larger than 4 GB"));
        CompoundFile container(m_file, QStringLiteral("Workbook"), at);
        m_file << globals;
        m_strings.write(m_file);
        m_file << extSst << eof;
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            m_file << heads[i];
            copyBody(m_sheets[i]);
            m_file << tails[i];
        }
        container.finish();
    }

private:
    void startSheet()
    {
        Sheet sheet;
        sheet.bodyStart = m_body.pos();
        m_sheets.push_back(sheet);
    }

    static QByteArray bof(quint16 kind)
    {
        QByteArray b;
        put16(b, 0x0600);
        put16(b, kind);
        put16(b, 0x0DBB);
        put16(b, 0x07CC);
        put32(b, 0);
        put32(b, 6);
        return b;
    }

    // A picture over its cell, at its place in the box, anchored to the cells its corners fall on.
    void picture(const PageBox& b, const TableCell& cell, const TablePage& table, int base, int rows)
    {
        auto it = m_images.constFind(b.offset);
        if (it == m_images.constEnd()) {
            QByteArray format;
            const QByteArray bytes = m_doc.embeddableImage(b.offset, &format);
            if (bytes.isEmpty())
                return;
            it = m_images.insert(b.offset, m_drawings.addImage(bytes, format));
        }
        double columnStart = m_layout.left();
        for (int c = 0; c < cell.column; ++c)
            columnStart += m_layout.columnWidth(c);
        const QRectF r = fittedPicture(QRectF(b.x - columnStart, 0, b.width, b.height), m_doc.imageSize(b.offset), m_doc.style(b.style).keepAspect);
        // A length from the cell's left or top edge as the column or row it reaches and the
        // part of that one.
        auto across = [&](double mm, quint16& column, quint16& part) {
            int c = cell.column;
            while (c + 1 < m_columns && mm >= m_layout.columnWidth(c)) {
                mm -= m_layout.columnWidth(c);
                ++c;
            }
            column = quint16(c);
            part = quint16(std::clamp<qint64>(std::llround(std::max(0.0, mm) / m_layout.columnWidth(c) * 1024), 0, 1023));
        };
        auto down = [&](double mm, quint16& row, quint16& part) {
            int r = cell.row;
            while (r + 1 < rows && mm >= table.rowHeights[size_t(r)]) {
                mm -= table.rowHeights[size_t(r)];
                ++r;
            }
            row = quint16(base + r);
            part = quint16(std::clamp<qint64>(std::llround(std::max(0.0, mm) / table.rowHeights[size_t(r)] * 256), 0, 255));
        };
        CellAnchor a;
        across(r.left(), a.column1, a.dx1);
        across(r.right(), a.column2, a.dx2);
        down(r.top(), a.row1, a.dy1);
        down(r.bottom(), a.row2, a.dy2);
        m_drawings.picture(int(m_sheets.size()) - 1, *it, a);
    }

    QByteArray blank(int row, int column, quint16 xf) const
    {
        QByteArray b, out;
        put16(b, quint32(row));
        put16(b, quint32(column));
        put16(b, xf);
        record(out, Blank, b);
        return out;
    }

    QByteArray content(const Page& page, const TableCell& cell, int row, quint16& xf)
    {
        const PageValue* value = cellValue(page, cell);
        xf = cellXf(cell, cellBox(page, cell), value);
        QByteArray b, out;
        put16(b, quint32(row));
        put16(b, quint32(cell.column));
        put16(b, xf);
        if (value) {
            putDouble(b, value->number);
            record(out, Number, b);
            return out;
        }
        QString text = cellText(page, cell);
        text.remove(u'\r');
        if (text.isEmpty()) {
            record(out, Blank, b);
            return out;
        }
        put32(b, m_strings.add(text.left(maxText)));
        record(out, LabelSst, b);
        return out;
    }

    quint16 fontIndex(const TextStyle& t)
    {
        const quint16 colour = m_palette.index(t.color);
        const QString key = t.font.family + u'|' + QString::number(t.font.size) + u'|' + QChar(u'0' + t.font.bold)
                            + QChar(u'0' + t.font.italic) + QChar(u'0' + t.font.underline) + u'|' + QString::number(colour);
        auto it = m_fontIndex.constFind(key);
        if (it != m_fontIndex.constEnd())
            return *it;
        QByteArray b;
        put16(b, quint32(std::clamp<qint64>(std::llround(t.font.size * 20), 20, 8180)));
        put16(b, (t.font.bold ? 0x0001 : 0) | (t.font.italic ? 0x0002 : 0)); // the weight decides; older readers look here
        put16(b, colour);
        put16(b, t.font.bold ? 700 : 400);
        put16(b, 0);
        put8(b, t.font.underline ? 1 : 0);
        put8(b, 0);
        put8(b, 1); // the default character set: the texts are Unicode anyway
        put8(b, 0);
        b += unicodeString(QStringView(t.font.family).left(255), true);
        record(m_fonts, Font, b);
        // Font number 4 does not exist in this format; the fifth record is number 5.
        const quint16 index = quint16(4 + 1 + m_fontIndex.size());
        m_fontIndex.insert(key, index);
        return index;
    }

    quint16 formatIndex(const PageValue* value)
    {
        if (!value)
            return 0;
        const DisplayFormat& f = m_doc.format(value->format);
        QString code;
        if (value->isDate && (f.isDate() || f.kind() == DisplayFormat::Kind::Plain)) {
            code = dateCode(f, m_doc.locale());
        } else if (!value->isDate && f.isNumber()) {
            code = (f.kind() == DisplayFormat::Kind::Number ? QStringLiteral("#,##0") : QStringLiteral("0"))
                   + (f.decimals() > 0 ? u'.' + QString(f.decimals(), u'0') : QString());
        }
        if (code.isEmpty())
            return 0;
        auto it = m_formatIndex.constFind(code);
        if (it != m_formatIndex.constEnd())
            return *it;
        const quint16 index = quint16(firstCustomFormat + m_formatIndex.size());
        QByteArray b;
        put16(b, index);
        b += unicodeString(code, false);
        record(m_formats, Format, b);
        m_formatIndex.insert(code, index);
        return index;
    }

    quint16 cellXf(const TableCell& cell, const PageBox* box, const PageValue* value)
    {
        const TextStyle* t = box ? &m_doc.style(cell.style).text : nullptr;
        const bool centred = box && box->kind != PageBox::Kind::Text;
        const quint16 font = t ? fontIndex(*t) : 0;
        const quint16 format = formatIndex(value);
        static const quint32 horizontal[] = {1, 2, 3, 5};
        const quint32 alignment = (centred ? 2 : t ? horizontal[int(t->hAlign)] : 0) | (t && t->wordWrap ? 0x08 : 0)
                                  | (centred ? 1 : t ? quint32(t->vAlign) : 0) << 4;
        auto colourOf = [&](const FrameSide& s) { return s.width > 0 ? m_palette.index(s.color) : quint16(0); };
        const quint32 lines = borderKind(cell.left.width) | borderKind(cell.right.width) << 4 | borderKind(cell.top.width) << 8
                              | borderKind(cell.bottom.width) << 12 | quint32(colourOf(cell.left)) << 16
                              | quint32(colourOf(cell.right)) << 23;
        const quint32 moreLines = quint32(colourOf(cell.top)) | quint32(colourOf(cell.bottom)) << 7 | (cell.fill.isValid() ? 1u << 26 : 0);
        const quint32 fill = cell.fill.isValid() ? quint32(m_palette.index(cell.fill)) | 64u << 7 : 64u | 65u << 7;

        QByteArray b;
        put16(b, font);
        put16(b, format);
        put16(b, 0x0001); // locked, a cell of the Normal style
        put8(b, alignment);
        put8(b, 0);
        put8(b, 0);
        put8(b, 0xFC); // number, font, alignment, border, fill and protection are this cell's own
        put32(b, lines);
        put32(b, moreLines);
        put16(b, fill);
        auto it = m_xfIndex.constFind(b);
        if (it != m_xfIndex.constEnd())
            return *it;
        if (m_xfIndex.size() + defaultCellXf + 1 >= 4050)
            return defaultCellXf; // the format's limit of cell styles
        const quint16 index = quint16(defaultCellXf + 1 + m_xfIndex.size());
        m_xfIndex.insert(b, index);
        record(m_xfs, Xf, b);
        return index;
    }

    static QByteArray styleXf(bool cell)
    {
        QByteArray b;
        put16(b, 0);
        put16(b, 0);
        put16(b, cell ? 0x0001 : 0xFFF5);
        put8(b, 0x20); // bottom, as the office programs' own default
        put8(b, 0);
        put8(b, 0);
        put8(b, 0);
        put32(b, 0);
        put32(b, 0);
        put16(b, 64u | 65u << 7);
        return b;
    }

    QByteArray globals(std::vector<qsizetype>& offsetFields)
    {
        QByteArray g, b;
        record(g, Bof, bof(0x0005));
        b.clear();
        put16(b, 1200); // texts are UTF-16
        record(g, Codepage, b);
        b.clear();
        put16(b, 0x0168);
        put16(b, 0x001E);
        put16(b, 0x3A5C);
        put16(b, 0x2328);
        put16(b, 0x0038);
        put16(b, 0);
        put16(b, 0);
        put16(b, 1);
        put16(b, 0x0258);
        record(g, Window1, b);
        b.clear();
        put16(b, 0); // days counted from 1899-12-30, as the report's dates are
        record(g, DateMode, b);
        {
            QByteArray f;
            put16(f, 200);
            put16(f, 0);
            put16(f, 0x7FFF);
            put16(f, 400);
            put16(f, 0);
            put8(f, 0);
            put8(f, 0);
            put8(f, 1);
            put8(f, 0);
            f += unicodeString(u"Arial", true);
            for (int i = 0; i < 4; ++i)
                record(g, Font, f);
        }
        g += m_fonts;
        g += m_formats;
        for (int i = 0; i < 15; ++i)
            record(g, Xf, styleXf(false));
        record(g, Xf, styleXf(true));
        g += m_xfs;
        b.clear();
        put16(b, 0x8000); // the built-in Normal style on the first style record
        put8(b, 0);
        put8(b, 0xFF);
        record(g, Style, b);
        record(g, Palette, m_palette.record());
        for (size_t i = 0; i < m_sheets.size(); ++i) {
            b.clear();
            put32(b, 0);
            put8(b, 0);
            put8(b, 0);
            QString name = Lang.caption("Pages");
            if (i > 0)
                name += u' ' + QString::number(i + 1);
            for (const QChar c : u"[]:*?/\\")
                name.replace(c, u'_');
            b += unicodeString(QStringView(name).left(31), true);
            offsetFields.push_back(g.size() + 4);
            record(g, BoundSheet, b);
        }
        g += m_drawings.groupRecords();
        return g;
    }

    QByteArray sheetHead(const Sheet& sheet) const
    {
        QByteArray h, b;
        record(h, Bof, bof(0x0010));
        put16(b, 0x05C1); // printed fitted to the page's width, as the report was
        record(h, WsBool, b);
        b.clear();
        if (!sheet.breaks.empty()) {
            put16(b, quint32(sheet.breaks.size()));
            for (int row : sheet.breaks) {
                put16(b, quint32(row));
                put16(b, 0);
                put16(b, 255);
            }
            record(h, HorizontalBreaks, b);
        }
        h += pageSetup();
        for (int c = 0; c < m_columns; ++c) {
            b.clear();
            put16(b, quint32(c));
            put16(b, quint32(c));
            // Widths count in 1/256 of a digit of the default font, about 7 pixels at 96 per inch.
            put16(b, quint32(std::clamp<qint64>(std::llround(m_layout.columnWidth(c) / 25.4 * 96 / 7 * 256), 0, 65535)));
            put16(b, defaultCellXf);
            put16(b, 0);
            put16(b, 0);
            record(h, ColInfo, b);
        }
        b.clear();
        put32(b, 0);
        put32(b, quint32(sheet.rows));
        put16(b, 0);
        put16(b, sheet.rows > 0 ? quint32(m_columns) : 0);
        put16(b, 0);
        record(h, Dimensions, b);
        return h;
    }

    // The report's paper and orientation, the margins of the other spreadsheet filter, the
    // columns shrunk to the paper's width where they are wider.
    QByteArray pageSetup() const
    {
        QByteArray h, b;
        const QSizeF page = m_doc.pageCount() ? m_doc.pageSize(0) : QSizeF(210, 297);
        const double margins[] = {std::max(5.0, m_layout.left()), 5, 10, 10};
        const Record ids[] = {LeftMargin, RightMargin, TopMargin, BottomMargin};
        for (int i = 0; i < 4; ++i) {
            b.clear();
            putDouble(b, margins[i] / 25.4);
            record(h, ids[i], b);
        }
        const double shortSide = std::min(page.width(), page.height()), longSide = std::max(page.width(), page.height());
        const struct {
            double w, h;
            quint16 code;
        } papers[] = {{210, 297, 9}, {297, 420, 8}, {148, 210, 11}, {215.9, 279.4, 1}, {215.9, 355.6, 5}, {182, 257, 13}};
        quint16 paper = 9;
        for (const auto& p : papers)
            if (std::abs(p.w - shortSide) < 2 && std::abs(p.h - longSide) < 2)
                paper = p.code;
        b.clear();
        put16(b, paper);
        put16(b, 100);
        put16(b, 1);
        put16(b, 1); // one page wide
        put16(b, 0); // as many pages tall as it takes
        put16(b, page.width() > page.height() ? 0 : 0x0002);
        put16(b, 600);
        put16(b, 600);
        putDouble(b, 0.3);
        putDouble(b, 0.3);
        put16(b, 1);
        record(h, Setup, b);
        return h;
    }

    QByteArray sheetTail(const Sheet& sheet, int index) const
    {
        const bool first = index == 0;
        QByteArray t = m_drawings.sheetRecords(index), b;
        // Row and column headings, zeros, no grid lines (the report draws its own), page view.
        put16(b, 0x00B4 | (first ? 0x0600 : 0));
        put16(b, 0);
        put16(b, 0);
        put16(b, 64);
        put16(b, 0);
        put16(b, 0);
        put16(b, 0);
        put32(b, 0);
        record(t, Window2, b);
        for (size_t i = 0; i < sheet.merges.size(); i += 1026) {
            const size_t n = std::min<size_t>(1026, sheet.merges.size() - i);
            b.clear();
            put16(b, quint32(n));
            for (size_t k = i; k < i + n; ++k)
                for (quint16 v : sheet.merges[k])
                    put16(b, v);
            record(t, MergedCells, b);
        }
        record(t, Eof, QByteArray());
        return t;
    }

    void copyBody(const Sheet& sheet)
    {
        if (!m_body.seek(sheet.bodyStart))
            throw FileError(Lang.caption("Cannot read a temporary file: %1").arg(m_body.errorString()));
        qint64 left = sheet.bodySize;
        while (left > 0) {
            const QByteArray chunk = m_body.read(std::min<qint64>(left, 1024 * 1024));
            if (chunk.isEmpty())
                throw FileError(Lang.caption("Cannot read a temporary file: %1").arg(m_body.errorString()));
            m_file << chunk;
            left -= chunk.size();
        }
    }

    const PageDocument& m_doc;
    ExportFile& m_file;
    TableLayout m_layout;
    int m_columns = 0;
    QTemporaryFile m_body; // the sheets' cells, until the strings and styles they use are known
    QByteArray m_out;
    std::vector<Sheet> m_sheets;
    SharedStrings m_strings; // until the globals before them are written
    ColourPalette m_palette;
    QHash<QString, quint16> m_fontIndex, m_formatIndex;
    QHash<QByteArray, quint16> m_xfIndex;
    QByteArray m_fonts, m_formats, m_xfs;
    Drawings m_drawings;
    QHash<quint32, int> m_images; // the document's pictures in the workbook's store
};

} // namespace

QString XlsExportFilter::caption() const
{
    return Lang.caption("Excel 97-2003 workbook");
}

bool XlsExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    return writeDocument<XlsWriter>(fileName(), pages, progress);
}
