#include "report/export/html_export.h"

#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/engine/text_layout.h"
#include "report/export/drawn_picture.h"
#include "report/export/export_file.h"
#include "report/export/markup.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <algorithm>

namespace {

QByteArray cssColor(const QColor& c)
{
    if (c.alpha() == 255)
        return hexColor(c);
    return "rgba(" + QByteArray::number(c.red()) + ',' + QByteArray::number(c.green()) + ',' + QByteArray::number(c.blue())
           + ',' + number(c.alphaF()) + ')';
}

QByteArray side(const FrameSide& s)
{
    return s.width > 0 ? mm(s.width) + " solid " + cssColor(s.color) : QByteArray("none");
}

QByteArray fontFamily(const QString& family)
{
    return "'" + escaped(QString(family).remove(u'\'')) + "',sans-serif";
}

// One class per box style: fonts, colours, frames and alignment are written once.
QByteArray styleRule(const BoxStyle& s, size_t index)
{
    const TextStyle& t = s.text;
    QByteArray css = ".s" + QByteArray::number(qulonglong(index)) + "{font:";
    if (t.font.italic)
        css += "italic ";
    if (t.font.bold)
        css += "bold ";
    css += number(t.font.size) + "pt " + fontFamily(t.font.family) + ";color:" + cssColor(t.color);
    if (t.font.underline)
        css += ";text-decoration:underline";
    if (t.background.isValid())
        css += ";background:" + cssColor(t.background);
    if (t.left.width > 0)
        css += ";border-left:" + side(t.left);
    if (t.top.width > 0)
        css += ";border-top:" + side(t.top);
    if (t.right.width > 0)
        css += ";border-right:" + side(t.right);
    if (t.bottom.width > 0)
        css += ";border-bottom:" + side(t.bottom);
    static const char* justify[] = {"flex-start", "center", "flex-end", "stretch"};
    static const char* textAlign[] = {"left", "center", "right", "justify"};
    static const char* items[] = {"flex-start", "center", "flex-end"};
    css += QByteArray(";justify-content:") + justify[int(t.hAlign)] + ";text-align:" + textAlign[int(t.hAlign)]
           + ";align-items:" + items[int(t.vAlign)];
    if (t.wordWrap)
        css += ";white-space:pre-wrap";
    return css + "}\n";
}

QByteArray pictureRule(const PageDocument& doc, quint32 index)
{
    QByteArray format;
    QByteArray bytes = doc.embeddableImage(index, &format);
    // Photographs stay small as JPEG; drawings and anything transparent stay exact as PNG.
    if (format == "png") {
        const QImage image = doc.image(index);
        if (!image.hasAlphaChannel() && image.width() * image.height() > 64 * 64) {
            bytes.clear();
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(90);
            writer.write(image);
            format = "jpeg";
        }
    }
    return ".i" + QByteArray::number(index) + "{background-image:url(data:image/" + format + ";base64," + bytes.toBase64()
           + ")}\n";
}

const char* const baseStyle = R"(*{box-sizing:border-box;-webkit-print-color-adjust:exact;print-color-adjust:exact}
body{margin:0;background:#808080}
.p{position:relative;overflow:hidden;background:#fff;margin:8px auto;break-after:page;page-break-after:always}
.p:last-child{break-after:auto;page-break-after:auto}
.r{display:contents}
.b,.l,.x,.i,.c,.g{position:absolute}
.b{display:flex;overflow:hidden;padding:0.25mm 0.5mm;white-space:pre;line-height:1.17}
.b>span{min-width:0}
.i{background-repeat:no-repeat;background-position:center;background-size:contain}
.i.f{background-size:100% 100%}
.c{display:flex;align-items:center;justify-content:center;line-height:1}
svg.l{overflow:visible}
@media print{body{background:none}.p{margin:0}}
@media screen and (max-width:600px){
.p{width:auto!important;height:auto!important;margin:0 0 12px;padding:8px}
.r{display:flex;flex-wrap:wrap;column-gap:1em}
.b,.c,.i,.g{position:static!important;width:auto!important;height:auto!important;border:none}
.b{white-space:pre-wrap}
.i{width:30vw!important;height:30vw!important}
.g{width:60vw!important}
.l,.x{display:none}
}
)";

class HtmlWriter {
public:
    HtmlWriter(const PageDocument& doc, ExportFile& out, const QString& title) : m_doc(doc), m_out(out)
    {
        m_out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                 "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n<title>"
              << escaped(title) << "</title>\n<style>\n" << baseStyle;
        const QSizeF first = m_doc.pageCount() > 0 ? m_doc.pageSize(0) : QSizeF(210, 297);
        m_out << "@page{size:" << mm(first.width()) << " " << mm(first.height()) << ";margin:0}\n";
        for (size_t i = 0; i < m_doc.styles().size(); ++i)
            m_out << styleRule(m_doc.styles()[i], i);
        // Each picture once, however many pages show it (a logo in the page header).
        for (quint32 i = 0; i < m_doc.imageCount(); ++i)
            m_out << pictureRule(m_doc, i);
        m_out << "</style>\n</head>\n<body>\n";
    }

    void page(int index)
    {
        const PageRef held = m_doc.page(index);
        const Page& page = *held;
        m_line.clear();
        m_line += "<div class=\"p\" style=\"width:" + mm(page.width) + ";height:" + mm(page.height) + "\">\n";
        // Boxes in reading order, a row of them at a time: a narrow screen shows them row by
        // row, and a reader that ignores positions still meets the texts in order.
        m_order.resize(page.boxes.size());
        for (size_t i = 0; i < m_order.size(); ++i)
            m_order[i] = quint32(i);
        std::stable_sort(m_order.begin(), m_order.end(), [&](quint32 a, quint32 b) {
            const PageBox &x = page.boxes[a], &y = page.boxes[b];
            return std::abs(x.y - y.y) > 0.5f ? x.y < y.y : x.x < y.x;
        });
        float rowTop = -1000;
        bool inRow = false;
        for (quint32 i : m_order) {
            const PageBox& b = page.boxes[i];
            if (std::abs(b.y - rowTop) > 0.5f) {
                if (inRow)
                    m_line += "</div>\n";
                m_line += "<div class=\"r\">";
                inRow = true;
                rowTop = b.y;
            }
            box(page, b);
        }
        if (inRow)
            m_line += "</div>\n";
        m_line += "</div>\n";
        m_out << m_line;
    }

    void finish() { m_out << "</body>\n</html>\n"; }

private:
    QByteArray place(const PageBox& b) const
    {
        return "left:" + mm(b.x) + ";top:" + mm(b.y) + ";width:" + mm(b.width) + ";height:" + mm(b.height);
    }

    void box(const Page& page, const PageBox& b)
    {
        const BoxStyle& s = m_doc.style(b.style);
        switch (b.kind) {
        case PageBox::Kind::Text:
            m_line += "<div class=\"b s" + QByteArray::number(b.style) + "\" style=\"" + place(b) + "\"><span>";
            appendEscaped(m_line, page.text(b));
            m_line += "</span></div>";
            break;
        case PageBox::Kind::Line: line(b, s); break;
        case PageBox::Kind::Rectangle:
            m_line += "<div class=\"x\" style=\"" + place(b);
            if (s.lineWidth > 0)
                m_line += ";border:" + mm(s.lineWidth) + " solid " + cssColor(s.lineColor);
            if (s.fill.isValid())
                m_line += ";background:" + cssColor(s.fill);
            m_line += "\"></div>";
            break;
        case PageBox::Kind::Picture:
            if (b.offset == PageDocument::noImage)
                break;
            m_line += "<div class=\"i i" + QByteArray::number(b.offset) + (s.keepAspect ? "" : " f") + "\" style=\""
                      + place(b) + "\"></div>";
            break;
        case PageBox::Kind::Barcode:
        case PageBox::Kind::Chart:
            m_line += "<img class=\"g\" alt=\"\" style=\"" + place(b) + "\" src=\"data:image/png;base64,"
                      + drawnPicture(m_doc, page, b).toBase64() + "\">";
            break;
        case PageBox::Kind::CheckBox: {
            // The square the renderer draws: the box's shorter side, centred.
            const float side = std::min(b.width, b.height);
            PageBox square = b;
            square.x = b.x + (b.width - side) / 2;
            square.y = b.y + (b.height - side) / 2;
            square.width = square.height = side;
            m_line += "<div class=\"c\" style=\"" + place(square) + ";border:" + mm(s.lineWidth) + " solid "
                      + cssColor(s.lineColor) + ";color:" + cssColor(s.lineColor) + ";font-size:" + mm(side * 0.85) + "\">"
                      + (b.checked ? "&#10003;" : "") + "</div>";
            break;
        }
        }
    }

    void line(const PageBox& b, const BoxStyle& s)
    {
        const QByteArray stroke = mm(s.lineWidth) + " solid " + cssColor(s.lineColor);
        if (b.height == 0 || b.width == 0) {
            // Straight lines as a border, centred on the line as the renderer draws them.
            const bool flat = b.height == 0;
            PageBox edge = b;
            (flat ? edge.y : edge.x) -= float(s.lineWidth / 2);
            m_line += "<div class=\"l\" style=\"" + place(edge) + (flat ? ";border-top:" : ";border-left:") + stroke
                      + "\"></div>";
            return;
        }
        m_line += "<svg class=\"l\" style=\"" + place(b) + "\" viewBox=\"0 0 " + number(b.width) + ' ' + number(b.height)
                  + "\" preserveAspectRatio=\"none\"><line x1=\"0\" y1=\"0\" x2=\"" + number(b.width) + "\" y2=\""
                  + number(b.height) + "\" stroke=\"" + cssColor(s.lineColor) + "\" stroke-width=\"" + number(s.lineWidth)
                  + "\"/></svg>";
    }

    const PageDocument& m_doc;
    ExportFile& m_out;
    std::vector<quint32> m_order;
    QByteArray m_line;
};

} // namespace

QString HtmlExportFilter::caption() const
{
    return Lang.caption("HTML page");
}

bool HtmlExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    ExportFile file(fileName());
    HtmlWriter writer(pages, file, QFileInfo(fileName()).completeBaseName());
    return writePagesTo(file, writer, pages.pageCount(), progress);
}
