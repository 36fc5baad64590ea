#include "report/export/ods_export.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/export/drawn_picture.h"
#include "report/export/export_file.h"
#include "report/export/markup.h"
#include "report/export/odf_package.h"
#include "report/export/table_layout.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QTemporaryFile>
#include <cmath>

namespace {

// The most rows a sheet of the office programs takes; a longer report goes on to another sheet.
constexpr int maxSheetRows = 1048576;

QByteArray border(const FrameSide& side)
{
    return mm(side.width) + " solid " + hexColor(side.color);
}

QByteArray dateValue(double days)
{
    const qint64 whole = qint64(std::floor(days));
    const QDateTime dt(QDate(1899, 12, 30).addDays(whole), QTime(0, 0).addMSecs(int(std::llround((days - whole) * 86400000.0))));
    return dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
}

// The data style of a display format: decimals and grouping, or the parts of a date pattern.
QByteArray dataStyle(const DisplayFormat& format, const QLocale& locale, const QByteArray& name, bool isDate)
{
    if (!isDate) {
        const QByteArray decimals = QByteArray::number(format.decimals());
        return "<number:number-style style:name=\"" + name + "\"><number:number number:decimal-places=\"" + decimals
               + "\" number:min-decimal-places=\"" + decimals + "\" number:min-integer-digits=\"1\""
               + (format.kind() == DisplayFormat::Kind::Number ? " number:grouping=\"true\"" : "") + "/></number:number-style>\n";
    }
    QByteArray xml = "<number:date-style style:name=\"" + name + "\">";
    auto part = [&](const char* element, bool isLong, const char* more = "") {
        xml += QByteArray("<number:") + element + (isLong ? " number:style=\"long\"" : "") + more + "/>";
    };
    for (const TableLayout::PatternPiece& p : TableLayout::datePattern(format.datePattern(locale))) {
        switch (p.letter.unicode()) {
        case 0:
            xml += "<number:text>" + escaped(p.text) + "</number:text>";
            break;
        case 'd': p.count >= 3 ? part("day-of-week", p.count > 3) : part("day", p.count == 2); break;
        case 'M': p.count >= 3 ? part("month", p.count > 3, " number:textual=\"true\"") : part("month", p.count == 2); break;
        case 'y': part("year", p.count > 2); break;
        case 'h':
        case 'H': part("hours", p.count == 2); break;
        case 'm': part("minutes", p.count == 2); break;
        case 's': part("seconds", p.count == 2); break;
        case 'a':
        case 'A':
        case 'P': part("am-pm", false); break;
        default: break;
        }
    }
    return xml + "</number:date-style>\n";
}

class OdsWriter {
public:
    OdsWriter(const PageDocument& doc, ExportFile& file)
        : m_doc(doc), m_package(file, "application/vnd.oasis.opendocument.spreadsheet"), m_layout(TableLayout::forDocument(doc))
    {
        if (!m_body.open())
            file.fail(m_body.errorString());
    }

    void page(int index)
    {
        const PageRef page = m_doc.page(index);
        const TablePage table = m_layout.cut(*page, m_doc);
        const int rows = int(table.rowHeights.size());
        if (rows == 0)
            return;
        if (m_sheetRows == 0 || m_sheetRows + rows > maxSheetRows)
            startSheet();
        const bool breakBefore = m_sheetRows > 0;
        m_sheetRows += rows;
        const int columns = m_layout.columnCount();
        std::vector<int> coveredUntil(size_t(columns), -1); // rows spanned from above, per column
        size_t next = 0;
        for (int r = 0; r < rows; ++r) {
            m_out += "<table:table-row table:style-name=\"" + rowStyle(table.rowHeights[size_t(r)], breakBefore && r == 0) + "\">";
            int empty = 0;
            auto flushEmpty = [&] {
                if (empty > 0)
                    m_out += empty == 1 ? QByteArray("<table:table-cell/>")
                                        : "<table:table-cell table:number-columns-repeated=\"" + QByteArray::number(empty) + "\"/>";
                empty = 0;
            };
            for (int c = 0; c < columns;) {
                if (next < table.cells.size() && table.cells[next].row == r && table.cells[next].column == c) {
                    flushEmpty();
                    const TableCell& cell = table.cells[next++];
                    this->cell(*page, cell);
                    for (int k = 0; k < cell.columnSpan; ++k)
                        coveredUntil[size_t(c + k)] = r + cell.rowSpan - 1;
                    c += cell.columnSpan;
                    continue;
                }
                if (coveredUntil[size_t(c)] >= r) {
                    flushEmpty();
                    m_out += "<table:covered-table-cell/>";
                } else {
                    ++empty;
                }
                ++c;
            }
            flushEmpty();
            m_out += "</table:table-row>\n";
        }
        if (m_out.size() > 1024 * 1024)
            flushBody();
    }

    void finish()
    {
        if (m_sheet == 0) {
            // No page made a cell: still a workbook, with one empty sheet.
            startSheet();
            m_out += "<table:table-row><table:table-cell/></table:table-row>\n";
        }
        m_out += "</table:table>\n";
        flushBody();
        writeStyles();
        ZipWriter& zip = m_package.zip();
        zip.begin(QStringLiteral("content.xml"));
        zip << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content" << OdfPackage::namespaces
            << ">\n<office:automatic-styles>\n"
            << "<style:style style:name=\"ta1\" style:family=\"table\" style:master-page-name=\"Default\">"
               "<style:table-properties table:display=\"true\"/></style:style>\n";
        for (int c = 0; c < std::max(1, m_layout.columnCount()); ++c)
            zip << "<style:style style:name=\"co" << QByteArray::number(c)
                << "\" style:family=\"table-column\"><style:table-column-properties style:column-width=\""
                << mm(m_layout.columnCount() ? m_layout.columnWidth(c) : 20) << "\"/></style:style>\n";
        zip << m_rowStyles << m_dataStyles << m_cellStyles << "</office:automatic-styles>\n<office:body>\n<office:spreadsheet>\n";
        m_body.seek(0);
        while (!m_body.atEnd())
            zip << m_body.read(1024 * 1024);
        zip << "</office:spreadsheet>\n</office:body>\n</office:document-content>\n";
        zip.end();
        m_package.finish();
    }

private:
    void startSheet()
    {
        if (m_sheet > 0)
            m_out += "</table:table>\n";
        ++m_sheet;
        m_sheetRows = 0;
        m_out += "<table:table table:name=\"" + escaped(Lang.caption("Pages"), true) + (m_sheet > 1 ? " " + QByteArray::number(m_sheet) : QByteArray())
                 + "\" table:style-name=\"ta1\">\n";
        for (int c = 0; c < std::max(1, m_layout.columnCount()); ++c)
            m_out += "<table:table-column table:style-name=\"co" + QByteArray::number(c) + "\"/>";
        m_out += '\n';
    }

    void cell(const Page& page, const TableCell& cell)
    {
        m_out += "<table:table-cell table:style-name=\"" + cellStyle(page, cell) + '"';
        if (cell.columnSpan > 1)
            m_out += " table:number-columns-spanned=\"" + QByteArray::number(cell.columnSpan) + '"';
        if (cell.rowSpan > 1)
            m_out += " table:number-rows-spanned=\"" + QByteArray::number(cell.rowSpan) + '"';
        if (cell.box == TableCell::noBox) {
            m_out += "/>";
        } else {
            const PageBox& b = page.boxes[cell.box];
            const QString text = cellText(page, cell);
            const PageValue* value = cellValue(page, cell);
            if (value && value->isDate)
                m_out += " office:value-type=\"date\" office:date-value=\"" + dateValue(value->number) + '"';
            else if (value)
                m_out += " office:value-type=\"float\" office:value=\"" + QByteArray::number(value->number, 'g', 17) + '"';
            else if (!text.isEmpty())
                m_out += " office:value-type=\"string\"";
            m_out += '>';
            if (b.kind == PageBox::Kind::Picture)
                picture(b);
            else if (isDrawnBox(b))
                drawing(page, b);
            if (!text.isEmpty()) {
                m_out += "<text:p>";
                appendOdfText(m_out, text, "<text:p>");
                m_out += "</text:p>";
            }
            m_out += "</table:table-cell>";
        }
        if (cell.columnSpan > 1)
            m_out += "<table:covered-table-cell table:number-columns-repeated=\"" + QByteArray::number(cell.columnSpan - 1) + "\"/>";
    }

    // A picture sits in its cell at its place in the box, kept in proportion when asked.
    void picture(const PageBox& b)
    {
        const QRectF r = fittedPicture(QRectF(0, 0, b.width, b.height), m_doc.imageSize(b.offset), m_doc.style(b.style).keepAspect);
        m_out += "<draw:frame draw:z-index=\"0\" svg:width=\"" + mm(r.width()) + "\" svg:height=\"" + mm(r.height())
                 + "\" svg:x=\"" + mm(r.x()) + "\" svg:y=\"" + mm(r.y())
                 + "\"><draw:image xlink:href=\"" + m_package.picture(m_doc, b.offset)
                 + "\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/></draw:frame>";
    }

    void drawing(const Page& page, const PageBox& b)
    {
        m_out += "<draw:frame draw:z-index=\"0\" svg:width=\"" + mm(b.width) + "\" svg:height=\"" + mm(b.height)
                 + "\" svg:x=\"0mm\" svg:y=\"0mm\"><draw:image xlink:href=\"" + m_package.drawing(drawnPicture(m_doc, page, b))
                 + "\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/></draw:frame>";
    }

    QByteArray rowStyle(double height, bool pageBreak)
    {
        const qint64 key = std::llround(height * 100) * 2 + pageBreak;
        auto it = m_rowStyleNames.constFind(key);
        if (it != m_rowStyleNames.constEnd())
            return *it;
        const QByteArray name = "ro" + QByteArray::number(m_rowStyleNames.size());
        m_rowStyles += "<style:style style:name=\"" + name + "\" style:family=\"table-row\"><style:table-row-properties style:row-height=\""
                       + mm(height) + "\" style:use-optimal-row-height=\"false\"" + (pageBreak ? " fo:break-before=\"page\"" : "")
                       + "/></style:style>\n";
        m_rowStyleNames.insert(key, name);
        return name;
    }

    QByteArray cellStyle(const Page& page, const TableCell& cell)
    {
        const PageBox* box = cellBox(page, cell);
        const PageValue* value = cellValue(page, cell);
        const bool centred = box && box->kind != PageBox::Kind::Text;
        QByteArray key = QByteArray::number(box ? cell.style : ~0u) + '|' + (centred ? "c" : "") + '|';
        for (const FrameSide* side : {&cell.left, &cell.top, &cell.right, &cell.bottom})
            key += side->width > 0 ? border(*side) + '|' : QByteArray("|");
        key += cell.fill.isValid() ? hexColor(cell.fill) : QByteArray();
        QByteArray data;
        if (value && (value->format != 0 || value->isDate))
            data = dataStyleName(value->format, value->isDate);
        key += '|' + data;
        auto it = m_cellStyleNames.constFind(key);
        if (it != m_cellStyleNames.constEnd())
            return *it;
        const QByteArray name = "ce" + QByteArray::number(m_cellStyleNames.size());
        m_cellStyleNames.insert(key, name);
        QByteArray& x = m_cellStyles;
        x += "<style:style style:name=\"" + name + "\" style:family=\"table-cell\" style:parent-style-name=\"Default\"";
        if (!data.isEmpty())
            x += " style:data-style-name=\"" + data + '"';
        x += "><style:table-cell-properties style:text-align-source=\"fix\" style:repeat-content=\"false\"";
        const TextStyle* t = box ? &m_doc.style(cell.style).text : nullptr;
        static const char* valign[] = {"top", "middle", "bottom"};
        x += QByteArray(" style:vertical-align=\"") + (centred ? "middle" : t ? valign[int(t->vAlign)] : "top") + '"';
        if (cell.fill.isValid())
            x += " fo:background-color=\"" + hexColor(cell.fill) + '"';
        if (cell.left.width > 0)
            x += " fo:border-left=\"" + border(cell.left) + '"';
        if (cell.top.width > 0)
            x += " fo:border-top=\"" + border(cell.top) + '"';
        if (cell.right.width > 0)
            x += " fo:border-right=\"" + border(cell.right) + '"';
        if (cell.bottom.width > 0)
            x += " fo:border-bottom=\"" + border(cell.bottom) + '"';
        if (t && t->wordWrap)
            x += " fo:wrap-option=\"wrap\"";
        x += "/>";
        static const char* halign[] = {"start", "center", "end", "justify"};
        x += QByteArray("<style:paragraph-properties fo:text-align=\"") + (centred ? "center" : t ? halign[int(t->hAlign)] : "start")
             + "\"/>";
        if (t) {
            x += "<style:text-properties fo:font-family=\"" + escaped(u'\'' + t->font.family + u'\'', true) + "\" fo:font-size=\""
                 + number(t->font.size) + "pt\" fo:color=\"" + hexColor(t->color) + '"';
            if (t->font.bold)
                x += " fo:font-weight=\"bold\"";
            if (t->font.italic)
                x += " fo:font-style=\"italic\"";
            if (t->font.underline)
                x += " style:text-underline-style=\"solid\" style:text-underline-width=\"auto\" style:text-underline-color=\"font-color\"";
            x += "/>";
        }
        x += "</style:style>\n";
        return name;
    }

    QByteArray dataStyleName(quint32 format, bool isDate)
    {
        const qint64 key = qint64(format) * 2 + isDate;
        auto it = m_dataStyleNames.constFind(key);
        if (it != m_dataStyleNames.constEnd())
            return *it;
        const DisplayFormat& f = m_doc.format(format);
        // A number shown with a date format, or a date with a number format, keeps the general one.
        QByteArray name;
        if ((isDate && (f.isDate() || f.kind() == DisplayFormat::Kind::Plain)) || (!isDate && f.isNumber())) {
            name = "N" + QByteArray::number(m_dataStyleNames.size() + 1);
            m_dataStyles += dataStyle(f, m_doc.locale(), name, isDate);
        }
        m_dataStyleNames.insert(key, name);
        return name;
    }

    void flushBody()
    {
        if (m_body.write(m_out) != m_out.size())
            throw FileError(Lang.caption("Cannot write a temporary file: %1").arg(m_body.errorString()));
        m_out.clear();
    }

    void writeStyles()
    {
        const QSizeF page = m_doc.pageCount() ? m_doc.pageSize(0) : QSizeF(210, 297);
        m_package.zip().add(QStringLiteral("styles.xml"),
                            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-styles" + QByteArray(OdfPackage::namespaces)
                                + ">\n<office:styles><style:style style:name=\"Default\" style:family=\"table-cell\"/></office:styles>\n"
                                  "<office:automatic-styles><style:page-layout style:name=\"pm1\"><style:page-layout-properties fo:page-width=\""
                                + mm(page.width()) + "\" fo:page-height=\"" + mm(page.height()) + "\" fo:margin-left=\""
                                + mm(std::max(5.0, m_layout.left())) + "\" fo:margin-right=\"5mm\" fo:margin-top=\"10mm\" fo:margin-bottom=\"10mm\""
                                + (page.width() > page.height() ? " style:print-orientation=\"landscape\"" : "")
                                + "/></style:page-layout></office:automatic-styles>\n"
                                  "<office:master-styles><style:master-page style:name=\"Default\" style:page-layout-name=\"pm1\"/></office:master-styles>\n"
                                  "</office:document-styles>\n");
    }

    const PageDocument& m_doc;
    OdfPackage m_package;
    TableLayout m_layout;
    QTemporaryFile m_body; // the sheets, until the styles they use are known and written first
    QByteArray m_out;
    int m_sheet = 0, m_sheetRows = 0;
    QHash<qint64, QByteArray> m_rowStyleNames, m_dataStyleNames;
    QHash<QByteArray, QByteArray> m_cellStyleNames;
    QByteArray m_rowStyles, m_cellStyles, m_dataStyles;
};

} // namespace

QString OdsExportFilter::caption() const
{
    return Lang.caption("OpenDocument spreadsheet");
}

bool OdsExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    return writeDocument<OdsWriter>(fileName(), pages, progress);
}
