#include "report/export/odt_export.h"

#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/engine/text_layout.h"
#include "report/export/export_file.h"
#include "report/export/markup.h"
#include "report/export/odf_package.h"
#include "report/export/text_frame.h"

#include <QImage>
#include <algorithm>

namespace {

QByteArray n(qsizetype v)
{
    return QByteArray::number(v);
}

// Every shape sits at its place on the page, whatever the text around its anchor does.
const char* const onPage = " style:vertical-pos=\"from-top\" style:vertical-rel=\"page\" style:horizontal-pos=\"from-left\""
                           " style:horizontal-rel=\"page\" style:wrap=\"run-through\" style:run-through=\"foreground\"";

QByteArray styles(const PageDocument& doc)
{
    QByteArray x;
    for (size_t i = 0; i < doc.styles().size(); ++i) {
        const BoxStyle& s = doc.styles()[i];
        const TextStyle& t = s.text;
        static const char* valign[] = {"top", "middle", "bottom"};
        static const char* halign[] = {"start", "center", "end", "justify"};
        // Text frames: padding, frame sides and fill of the text style.
        // No parent style: the office program's own frame style would paint the frame white
        // over what lies behind it. Without one the frame has a stroke unless told otherwise.
        x += "<style:style style:name=\"g" + n(qsizetype(i)) + "\" style:family=\"graphic\"><style:graphic-properties" + onPage
             + " fo:padding-left=\"" + mm(textPaddingX) + "\" fo:padding-right=\"" + mm(textPaddingX) + "\" fo:padding-top=\""
             + mm(textPaddingY) + "\" fo:padding-bottom=\"0mm\" fo:border=\"none\" draw:stroke=\"none\" fo:background-color=\"transparent\" draw:fill=\"none\""
             + " draw:textarea-vertical-align=\"" + valign[int(t.vAlign)] + "\" style:shadow=\"none\"/></style:style>\n";
        // The fill and each drawn side of a text box: drawings behind its text, the size of the box.
        if (t.background.isValid())
            x += "<style:style style:name=\"f" + n(qsizetype(i)) + "\" style:family=\"graphic\"><style:graphic-properties" + onPage
                 + " draw:stroke=\"none\" draw:fill=\"solid\" draw:fill-color=\"" + hexColor(t.background)
                 + "\" draw:shadow=\"hidden\"/></style:style>\n";
        for (const auto& [name, side] : {std::pair{'l', &t.left}, std::pair{'t', &t.top}, std::pair{'r', &t.right}, std::pair{'b', &t.bottom}})
            if (side->width > 0)
                x += "<style:style style:name=\"s" + n(qsizetype(i)) + name + "\" style:family=\"graphic\"><style:graphic-properties" + onPage
                     + " draw:stroke=\"solid\" svg:stroke-width=\"" + mm(side->width) + "\" svg:stroke-color=\"" + hexColor(side->color)
                     + "\" draw:fill=\"none\" draw:shadow=\"hidden\"/></style:style>\n";
        // Lines, rectangles and check boxes: the pen and the fill.
        x += "<style:style style:name=\"d" + n(qsizetype(i)) + "\" style:family=\"graphic\"><style:graphic-properties" + onPage
             + (s.lineWidth > 0 ? " draw:stroke=\"solid\" svg:stroke-width=\"" + mm(s.lineWidth) + "\" svg:stroke-color=\""
                                      + hexColor(s.lineColor) + '"'
                                : QByteArray(" draw:stroke=\"none\""))
             + (s.fill.isValid() ? " draw:fill=\"solid\" draw:fill-color=\"" + hexColor(s.fill) + '"' : QByteArray(" draw:fill=\"none\""))
             + " draw:shadow=\"hidden\"/></style:style>\n";
        // The tick of a check box: half as heavy again as its square, as the page draws it.
        x += "<style:style style:name=\"k" + n(qsizetype(i)) + "\" style:family=\"graphic\"><style:graphic-properties" + onPage
             + " draw:stroke=\"solid\" svg:stroke-width=\"" + mm(std::max(s.lineWidth * 1.5, 0.3)) + "\" svg:stroke-color=\""
             + hexColor(s.lineColor) + "\" draw:stroke-linejoin=\"round\" draw:fill=\"none\" draw:shadow=\"hidden\"/></style:style>\n";
        x += "<style:style style:name=\"p" + n(qsizetype(i)) + "\" style:family=\"paragraph\"><style:paragraph-properties fo:text-align=\""
             + halign[int(t.hAlign)] + "\" fo:margin-top=\"0mm\" fo:margin-bottom=\"0mm\"/><style:text-properties style:font-name=\""
             + escaped(t.font.family, true) + "\" fo:font-family=\"" + escaped(u'\'' + t.font.family + u'\'', true) + "\" fo:font-size=\""
             + number(t.font.size) + "pt\" fo:color=\"" + hexColor(t.color) + '"' + (t.font.bold ? " fo:font-weight=\"bold\"" : "")
             + (t.font.italic ? " fo:font-style=\"italic\"" : "")
             + (t.font.underline ? " style:text-underline-style=\"solid\" style:text-underline-width=\"auto\" style:text-underline-color=\"font-color\""
                                 : "")
             + (t.wordWrap ? "" : " fo:hyphenate=\"false\"") + "/></style:style>\n";
    }
    x += QByteArray("<style:style style:name=\"pic\" style:family=\"graphic\"><style:graphic-properties") + onPage
         + " fo:padding=\"0mm\" fo:border=\"none\" draw:fill=\"none\" style:shadow=\"none\"/></style:style>\n";
    return x;
}

class OdtWriter {
public:
    OdtWriter(const PageDocument& doc, ExportFile& file) : m_doc(doc), m_package(file, "application/vnd.oasis.opendocument.text")
    {
        // Pictures first: the content part is written in one go after them.
        for (quint32 i = 0; i < doc.imageCount(); ++i)
            m_package.picture(doc, i);
        for (int i = 0; i < doc.pageCount(); ++i) {
            const QSizeF size = doc.pageSize(i);
            if (std::find(m_sizes.begin(), m_sizes.end(), size) == m_sizes.end())
                m_sizes.push_back(size);
        }
        if (m_sizes.empty())
            m_sizes.push_back(QSizeF(210, 297));
        writeStyles();
        ZipWriter& zip = m_package.zip();
        zip.begin(QStringLiteral("content.xml"));
        zip << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content" << OdfPackage::namespaces
            << ">\n<office:font-face-decls/>\n<office:automatic-styles>\n" << styles(doc);
        // A page of another size starts with that size's master page; a page of the same size
        // only breaks.
        for (size_t k = 0; k < m_sizes.size(); ++k)
            zip << "<style:style style:name=\"m" << n(qsizetype(k)) << "\" style:family=\"paragraph\" style:master-page-name=\"M"
                << n(qsizetype(k)) << "\"><style:paragraph-properties fo:margin=\"0mm\"/><style:text-properties fo:font-size=\"1pt\"/></style:style>\n";
        zip << "<style:style style:name=\"br\" style:family=\"paragraph\"><style:paragraph-properties fo:break-before=\"page\" "
               "fo:margin=\"0mm\"/><style:text-properties fo:font-size=\"1pt\"/></style:style>\n"
               "</office:automatic-styles>\n<office:body>\n<office:text>\n";
    }

    void page(int index)
    {
        const PageRef page = m_doc.page(index);
        const int size = int(std::find(m_sizes.begin(), m_sizes.end(), m_doc.pageSize(index)) - m_sizes.begin());
        m_out.clear();
        m_out += (index == 0 || size != m_lastSize) ? "<text:p text:style-name=\"m" + n(size) + "\">"
                                                    : QByteArray("<text:p text:style-name=\"br\">");
        m_lastSize = size;
        // Every drawing its own place in the stacking order, in the order the page draws them:
        // two with one number may be stacked either way.
        m_z = 0;
        for (const PageBox& b : page->boxes)
            box(*page, b);
        m_out += "</text:p>\n";
        m_package.zip() << m_out;
    }

    void finish()
    {
        ZipWriter& zip = m_package.zip();
        if (m_doc.pageCount() == 0)
            zip << "<text:p/>\n";
        zip << "</office:text>\n</office:body>\n</office:document-content>\n";
        zip.end();
        m_package.finish();
    }

private:
    QByteArray place(double x, double y, double w, double h)
    {
        return " text:anchor-type=\"paragraph\" svg:x=\"" + mm(x) + "\" svg:y=\"" + mm(y) + "\" svg:width=\"" + mm(w)
               + "\" svg:height=\"" + mm(h) + "\" draw:z-index=\"" + n(m_z++) + '"';
    }

    void line(const QByteArray& style, double x1, double y1, double x2, double y2)
    {
        m_out += "<draw:line draw:style-name=\"" + style + "\" text:anchor-type=\"paragraph\" svg:x1=\"" + mm(x1) + "\" svg:y1=\""
                 + mm(y1) + "\" svg:x2=\"" + mm(x2) + "\" svg:y2=\"" + mm(y2) + "\" draw:z-index=\"" + n(m_z++) + "\"><text:p/></draw:line>";
    }

    void box(const Page& page, const PageBox& b)
    {
        const QByteArray style = n(b.style);
        switch (b.kind) {
        case PageBox::Kind::Text: {
            const TextStyle& t = m_doc.style(b.style).text;
            if (t.background.isValid())
                m_out += "<draw:rect draw:style-name=\"f" + style + '"' + place(b.x, b.y, b.width, b.height) + "/>";
            const struct {
                char name;
                const FrameSide& side;
                double x1, y1, x2, y2;
            } sides[] = {{'t', t.top, b.x, b.y, b.x + b.width, b.y},
                         {'b', t.bottom, b.x, b.y + b.height, b.x + b.width, b.y + b.height},
                         {'l', t.left, b.x, b.y, b.x, b.y + b.height},
                         {'r', t.right, b.x + b.width, b.y, b.x + b.width, b.y + b.height}};
            for (const auto& side : sides)
                if (side.side.width > 0)
                    line("s" + style + side.name, side.x1, side.y1, side.x2, side.y2);
            if (b.length == 0)
                break;
            const TextFrame f = textFrame(page, b, t);
            const QByteArray paragraph = "<text:p text:style-name=\"p" + style + "\">";
            m_out += "<draw:frame draw:style-name=\"g" + style + '"' + place(f.rect.x(), f.rect.y(), f.rect.width(), f.rect.height())
                     + "><draw:text-box>" + paragraph;
            appendOdfText(m_out, f.text, paragraph);
            m_out += "</text:p></draw:text-box></draw:frame>";
            break;
        }
        case PageBox::Kind::Line:
            line("d" + style, b.x, b.y, b.x + b.width, b.y + b.height);
            break;
        case PageBox::Kind::Rectangle:
            m_out += "<draw:rect draw:style-name=\"d" + style + '"' + place(b.x, b.y, b.width, b.height) + "/>";
            break;
        case PageBox::Kind::Picture: {
            if (b.offset == PageDocument::noImage)
                break;
            const QRectF r = fittedPicture(b.rect(), m_doc.imageSize(b.offset), m_doc.style(b.style).keepAspect);
            m_out += "<draw:frame draw:style-name=\"pic\"" + place(r.x(), r.y(), r.width(), r.height()) + "><draw:image xlink:href=\""
                     + m_package.picture(m_doc, b.offset)
                     + "\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/></draw:frame>";
            break;
        }
        case PageBox::Kind::CheckBox: {
            const double side = std::min(b.width, b.height);
            const double x = b.x + (b.width - side) / 2, y = b.y + (b.height - side) / 2;
            m_out += "<draw:rect draw:style-name=\"d" + style + '"' + place(x, y, side, side) + "/>";
            if (b.checked)
                m_out += "<draw:polyline draw:style-name=\"k" + style + '"' + place(x, y, side, side)
                         + " svg:viewBox=\"0 0 100 100\" draw:points=\"20,55 42,78 80,25\"/>";
            break;
        }
        }
    }

    void writeStyles()
    {
        QByteArray x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-styles" + QByteArray(OdfPackage::namespaces)
                       + ">\n<office:styles><style:style style:name=\"Frame\" style:family=\"graphic\"><style:graphic-properties "
                         "fo:border=\"none\" fo:padding=\"0mm\" style:shadow=\"none\"/></style:style>"
                         "<style:default-style style:family=\"paragraph\"><style:text-properties "
                         "fo:font-family=\"'DejaVu Sans'\" fo:font-size=\"10pt\"/></style:default-style></office:styles>\n"
                         "<office:automatic-styles>\n";
        for (size_t k = 0; k < m_sizes.size(); ++k) {
            const QSizeF s = m_sizes[k];
            x += "<style:page-layout style:name=\"L" + n(qsizetype(k)) + "\"><style:page-layout-properties fo:page-width=\""
                 + mm(s.width()) + "\" fo:page-height=\"" + mm(s.height()) + "\" style:print-orientation=\""
                 + (s.width() > s.height() ? "landscape" : "portrait")
                 + "\" fo:margin-left=\"5mm\" fo:margin-right=\"5mm\" fo:margin-top=\"5mm\" fo:margin-bottom=\"5mm\"/></style:page-layout>\n";
        }
        x += "</office:automatic-styles>\n<office:master-styles>\n";
        for (size_t k = 0; k < m_sizes.size(); ++k)
            x += "<style:master-page style:name=\"M" + n(qsizetype(k)) + "\" style:page-layout-name=\"L" + n(qsizetype(k)) + "\"/>\n";
        x += "</office:master-styles>\n</office:document-styles>\n";
        m_package.zip().add(QStringLiteral("styles.xml"), x);
    }

    const PageDocument& m_doc;
    OdfPackage m_package;
    std::vector<QSizeF> m_sizes;
    int m_lastSize = -1;
    int m_z = 0;
    QByteArray m_out;
};

} // namespace

QString OdtExportFilter::caption() const
{
    return Lang.caption("OpenDocument text");
}

bool OdtExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    return writeDocument<OdtWriter>(fileName(), pages, progress);
}
