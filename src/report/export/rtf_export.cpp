#include "report/export/rtf_export.h"

#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/engine/text_layout.h"
#include "report/export/drawn_picture.h"
#include "report/export/export_file.h"
#include "report/export/markup.h"

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
        for (quint32 i = 0; i < page->boxes.size(); ++i)
            box(*page, page->boxes[i]);
        // The frames hang on this paragraph; it is kept too small to push anything to a new page.
        m_out += "\\pard\\plain\\fs2\\sl-20\\slmult0\\par\n";
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

    void side(const char* name, const FrameSide& s)
    {
        if (s.width <= 0)
            return;
        m_out += QByteArray("\\brdr") + name + "\\brdrs\\brdrw" + n(std::clamp<qint64>(twips(s.width), 2, 75)) + "\\brsp0\\brdrcf"
                 + n(colour(s.color));
    }

    void box(const Page& page, const PageBox& b)
    {
        const BoxStyle& style = m_doc.style(b.style);
        const TextStyle& t = style.text;
        switch (b.kind) {
        case PageBox::Kind::Text: {
            frame(b.x, b.y, b.width, b.height);
            static const char* align[] = {"\\ql", "\\qc", "\\qr", "\\qj"};
            m_out += align[int(t.hAlign)];
            m_out += "\\li" + n(twips(textPaddingX)) + "\\ri" + n(twips(textPaddingX)) + "\\sb" + n(twips(textPaddingY));
            side("t", t.top);
            side("l", t.left);
            side("b", t.bottom);
            side("r", t.right);
            if (t.background.isValid())
                m_out += "\\cbpat" + n(colour(t.background));
            m_out += "\\f" + n(m_fonts.value(t.font.family, 0)) + "\\fs" + n(std::max<qint64>(2, std::llround(t.font.size * 2)))
                     + "\\cf" + n(colour(t.color));
            if (t.font.bold)
                m_out += "\\b";
            if (t.font.italic)
                m_out += "\\i";
            if (t.font.underline)
                m_out += "\\ul";
            m_out += ' ';
            appendRtfText(m_out, page.text(b));
            m_out += "\\par}\n";
            break;
        }
        case PageBox::Kind::Line: {
            // A line is the side of a thin frame: across for a level line, down for an upright one.
            const FrameSide pen{style.lineWidth, style.lineColor};
            if (pen.width <= 0)
                break;
            const bool level = std::abs(b.width) >= std::abs(b.height);
            const double x = std::min(b.x, b.x + b.width), y = std::min(b.y, b.y + b.height);
            frame(x, y, level ? std::abs(b.width) : std::max(0.5, pen.width), level ? std::max(0.5, pen.width) : std::abs(b.height));
            m_out += "\\fs2\\sl-" + n(twips(level ? 0.3 : std::abs(b.height))) + "\\slmult0";
            side(level ? "t" : "l", pen);
            m_out += " \\par}\n";
            break;
        }
        case PageBox::Kind::Rectangle: {
            const FrameSide pen{style.lineWidth, style.lineColor};
            frame(b.x, b.y, b.width, b.height);
            // One line exactly as tall as the box carries its sides and fill.
            m_out += "\\fs2\\sl-" + n(twips(std::max(0.2, b.height - 2 * std::max(0.0, pen.width)))) + "\\slmult0";
            for (const char* name : {"t", "l", "b", "r"})
                side(name, pen);
            if (style.fill.isValid())
                m_out += "\\cbpat" + n(colour(style.fill));
            m_out += " \\par}\n";
            break;
        }
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
        case PageBox::Kind::Barcode:
        case PageBox::Kind::Chart: {
            QSize pixels;
            const QByteArray bytes = drawnPicture(m_doc, page, b, &pixels);
            frame(b.x, b.y, b.width, b.height);
            m_out += "\\fs2{\\pict\\pngblip\\picw" + n(pixels.width()) + "\\pich" + n(pixels.height()) + "\\picwgoal"
                     + n(twips(b.width)) + "\\pichgoal" + n(twips(b.height)) + '\n' + hexLines(bytes) + "}\\par}\n";
            break;
        }
        case PageBox::Kind::CheckBox: {
            frame(b.x, b.y, b.width, b.height);
            const double side = std::min(b.width, b.height);
            m_out += "\\qc\\f0\\fs" + n(std::max<qint64>(2, std::llround(side / 25.4 * 72 * 2))) + "\\cf" + n(colour(style.lineColor)) + ' ';
            appendRtfText(m_out, checkBoxText(b.checked));
            m_out += "\\par}\n";
            break;
        }
        }
    }

    const PageDocument& m_doc;
    ExportFile& m_file;
    QHash<QString, int> m_fonts;
    QHash<QRgb, int> m_colours;
    QByteArray m_out;
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
