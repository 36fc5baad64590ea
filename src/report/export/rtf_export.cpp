#include "report/export/rtf_export.h"

#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/engine/text_layout.h"
#include "report/export/export_file.h"
#include "report/export/markup.h"
#include "report/export/text_frame.h"

#include <QHash>
#include <QImage>
#include <algorithm>
#include <cmath>

namespace {

QByteArray n(qint64 v)
{
    return QByteArray::number(v);
}

qint64 twips(double mm)
{
    return std::llround(mm * 1440.0 / 25.4);
}

// Plain ASCII only: everything else as a UTF-16 escape with a '?' for readers without Unicode,
// so that no code page ever decides what a letter is.
void appendRtfText(QByteArray& out, QStringView text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u == '\n') {
            out += "\\line ";
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u == '\r') {
            continue;
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else if (u < 0x20) {
            continue;
        } else {
            out += "\\u" + n(qint16(u)) + '?';
        }
    }
}

// A picture's bytes as RTF carries them: hexadecimal, in lines of 128 digits.
QByteArray hexLines(const QByteArray& bytes)
{
    const QByteArray hex = bytes.toHex();
    QByteArray lines;
    lines.reserve(hex.size() + hex.size() / 128 + 1);
    for (qsizetype i = 0; i < hex.size(); i += 128)
        lines += hex.mid(i, 128) + '\n';
    return lines;
}

class RtfWriter {
public:
    RtfWriter(const PageDocument& doc, ExportFile& file) : m_doc(doc), m_file(file)
    {
        QByteArray fonts = "{\\fonttbl{\\f0\\fswiss\\fcharset0 DejaVu Sans;}";
        m_fonts.insert(QStringLiteral("DejaVu Sans"), 0);
        QByteArray colours = "{\\colortbl;";
        for (const BoxStyle& s : doc.styles()) {
            const QString& family = s.text.font.family;
            if (!family.isEmpty() && !m_fonts.contains(family)) {
                const int index = int(m_fonts.size());
                m_fonts.insert(family, index);
                fonts += "{\\f" + n(index) + "\\fnil\\fcharset0 ";
                appendRtfText(fonts, family);
                fonts += ";}";
            }
            for (const QColor& c : {s.text.color, s.text.background, s.text.left.color, s.text.top.color, s.text.right.color,
                                    s.text.bottom.color, s.lineColor, s.fill})
                if (c.isValid() && !m_colours.contains(c.rgb())) {
                    m_colours.insert(c.rgb(), int(m_colours.size()) + 1);
                    colours += "\\red" + n(c.red()) + "\\green" + n(c.green()) + "\\blue" + n(c.blue()) + ';';
                }
        }
        const QSizeF first = doc.pageCount() ? doc.pageSize(0) : QSizeF(210, 297);
        m_file << "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n" << fonts << "}\n" << colours << "}\n"
               << "{\\info{\\title ";
        QByteArray title;
        appendRtfText(title, Lang.caption("Pages"));
        m_file << title << "}}\n\\paperw" << n(twips(first.width())) << "\\paperh" << n(twips(first.height()))
               << "\\margl283\\margr283\\margt283\\margb283\\viewkind1\n";
    }

    void page(int index)
    {
        const PageRef page = m_doc.page(index);
        m_out.clear();
        if (index > 0)
            m_out += "\\sect";
        const QSizeF size = m_doc.pageSize(index);
        m_out += "\\sectd\\sbkpage\\pgwsxn" + n(twips(size.width())) + "\\pghsxn" + n(twips(size.height()))
                 + (size.width() > size.height() ? "\\lndscpsxn" : "") + "\\marglsxn283\\margrsxn283\\margtsxn283\\margbsxn283\n";
        m_shapes.clear();
        for (quint32 i = 0; i < page->boxes.size(); ++i)
            box(*page, page->boxes[i]);
        // The frames and shapes hang on this paragraph; it is kept too small to push anything
        // to a new page.
        m_out += "\\pard\\plain\\fs2\\sl-20\\slmult0 " + m_shapes + "\\par\n";
        m_file << m_out;
    }

    void finish()
    {
        if (m_doc.pageCount() == 0)
            m_file << "\\pard\\plain\\par\n";
        m_file << "}\n";
    }

private:
    int colour(const QColor& c) const { return c.isValid() ? m_colours.value(c.rgb(), 0) : 0; }

    // A paragraph in a frame of its own at its place on the page, text flowing through it.
    void frame(double x, double y, double w, double h)
    {
        m_out += "{\\pard\\plain\\pvpg\\phpg\\posx" + n(twips(x)) + "\\posy" + n(twips(y)) + "\\absw" + n(std::max<qint64>(1, twips(w)))
                 + "\\absh-" + n(std::max<qint64>(1, twips(h))) + "\\dfrmtxtx0\\dfrmtxty0\\wrapthrough";
    }

    // A drawing at its place on the page, over those before it: a rectangle (type 1), a line
    // (type 20) from its top left to its bottom right corner (or up when rising), or a text box
    // (type 202) holding a paragraph. Text boxes rather than frames hold the texts: the word
    // processors paint a frame white over whatever lies behind it, a text box is clear.
    void shape(int type, double x, double y, double w, double h, const QColor& fill, const FrameSide& pen, bool rising = false,
               const QByteArray& paragraph = QByteArray(), double textTop = 0)
    {
        auto property = [&](const char* name, qint64 value) {
            m_shapes += QByteArray("{\\sp{\\sn ") + name + "}{\\sv " + n(value) + "}}";
        };
        auto bgr = [](const QColor& c) { return qint64(c.red()) | qint64(c.green()) << 8 | qint64(c.blue()) << 16; };
        m_shapes += "{\\shp{\\*\\shpinst\\shpleft" + n(twips(x)) + "\\shptop" + n(twips(y)) + "\\shpright" + n(twips(x + w))
                    + "\\shpbottom" + n(twips(y + h)) + "\\shpfhdr0\\shpbxpage\\shpbxignore\\shpbypage\\shpbyignore\\shpwr3\\shpwrk0"
                    + "\\shpfblwtxt0\\shpz" + n(m_shapeCount) + "\\shplid" + n(1025 + m_shapeCount);
        ++m_shapeCount;
        property("shapeType", type);
        if (rising)
            property("fFlipV", 1);
        property("fFilled", fill.isValid() ? 1 : 0);
        if (fill.isValid())
            property("fillColor", bgr(fill));
        property("fLine", pen.width > 0 ? 1 : 0);
        if (pen.width > 0) {
            property("lineColor", bgr(pen.color));
            property("lineWidth", std::llround(pen.width * 36000)); // EMU
        }
        if (!paragraph.isEmpty()) {
            // The text starts where the page has it: below the top by its padding and alignment.
            for (const char* inset : {"dxTextLeft", "dxTextRight", "dyTextBottom"})
                property(inset, 0);
            property("dyTextTop", std::llround(textTop * 36000));
            property("fFitShapeToText", 0);
            m_shapes += "{\\shptxt " + paragraph + '}';
        }
        m_shapes += "}}\n";
    }

    void box(const Page& page, const PageBox& b)
    {
        const BoxStyle& style = m_doc.style(b.style);
        const TextStyle& t = style.text;
        switch (b.kind) {
        case PageBox::Kind::Text: {
            // Fill and frame sides are drawings under the text, the full size of the box.
            if (t.background.isValid())
                shape(1, b.x, b.y, b.width, b.height, t.background, FrameSide{});
            if (t.top.width > 0)
                shape(20, b.x, b.y, b.width, 0, QColor(), t.top);
            if (t.bottom.width > 0)
                shape(20, b.x, b.y + b.height, b.width, 0, QColor(), t.bottom);
            if (t.left.width > 0)
                shape(20, b.x, b.y, 0, b.height, QColor(), t.left);
            if (t.right.width > 0)
                shape(20, b.x + b.width, b.y, 0, b.height, QColor(), t.right);
            if (b.length == 0)
                break;
            const TextFrame f = textFrame(page, b, t);
            static const char* align[] = {"\\ql", "\\qc", "\\qr", "\\ql"};
            QByteArray paragraph = "\\pard\\plain";
            paragraph += align[int(t.hAlign)];
            // The frame meets the box on the side the text is aligned to: the padding is the box's.
            paragraph += "\\li" + n(twips(textPaddingX)) + "\\ri" + n(twips(textPaddingX));
            paragraph += "\\f" + n(m_fonts.value(t.font.family, 0)) + "\\fs" + n(std::max<qint64>(2, std::llround(t.font.size * 2)))
                         + "\\cf" + n(colour(t.color));
            if (t.font.bold)
                paragraph += "\\b";
            if (t.font.italic)
                paragraph += "\\i";
            if (t.font.underline)
                paragraph += "\\ul";
            paragraph += ' ';
            appendRtfText(paragraph, f.text);
            paragraph += "\\par";
            shape(202, f.rect.x(), f.rect.y(), f.rect.width(), f.rect.height(), QColor(), FrameSide{}, false, paragraph, f.top);
            break;
        }
        case PageBox::Kind::Line: {
            const FrameSide pen{style.lineWidth, style.lineColor};
            if (pen.width <= 0)
                break;
            const double x = std::min(b.x, b.x + b.width), y = std::min(b.y, b.y + b.height);
            shape(20, x, y, std::abs(b.width), std::abs(b.height), QColor(), pen, (b.width < 0) != (b.height < 0));
            break;
        }
        case PageBox::Kind::Rectangle:
            shape(1, b.x, b.y, b.width, b.height, style.fill, FrameSide{style.lineWidth, style.lineColor});
            break;
        case PageBox::Kind::Picture: {
            if (b.offset == PageDocument::noImage)
                break;
            const QSize pixels = m_doc.imageSize(b.offset);
            const QRectF r = fittedPicture(b.rect(), pixels, style.keepAspect);
            frame(r.x(), r.y(), r.width(), r.height());
            QByteArray format;
            const QByteArray bytes = m_doc.embeddableImage(b.offset, &format);
            m_out += "\\fs2{\\pict" + QByteArray(format == "jpeg" ? "\\jpegblip" : "\\pngblip") + "\\picw" + n(pixels.width())
                     + "\\pich" + n(pixels.height()) + "\\picwgoal" + n(twips(r.width())) + "\\pichgoal" + n(twips(r.height()))
                     + '\n' + hexLines(bytes) + "}\\par}\n";
            break;
        }
        case PageBox::Kind::CheckBox: {
            // A square and, when ticked, a tick of two strokes, drawn as the page draws them.
            const double side = std::min(b.width, b.height);
            const double x = b.x + (b.width - side) / 2, y = b.y + (b.height - side) / 2;
            shape(1, x, y, side, side, QColor(), FrameSide{style.lineWidth, style.lineColor});
            if (b.checked) {
                const FrameSide tick{std::max(style.lineWidth * 1.5, 0.3), style.lineColor};
                shape(20, x + side * 0.2, y + side * 0.55, side * 0.22, side * 0.23, QColor(), tick);
                shape(20, x + side * 0.42, y + side * 0.25, side * 0.38, side * 0.53, QColor(), tick, true);
            }
            break;
        }
        }
    }

    const PageDocument& m_doc;
    ExportFile& m_file;
    QHash<QString, int> m_fonts;
    QHash<QRgb, int> m_colours;
    QByteArray m_out;
    QByteArray m_shapes; // the page's drawings, laid on its last paragraph
    int m_shapeCount = 0;
};

} // namespace

QString RtfExportFilter::caption() const
{
    return Lang.caption("Rich Text document");
}

bool RtfExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    return writeDocument<RtfWriter>(fileName(), pages, progress);
}
