#include "report/engine/text_layout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

QFont reportFont(const FontSpec& style)
{
    QFont font(style.family);
    font.setPixelSize(std::max(1, qRound(style.size * 10)));
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    // Hinting snaps glyphs to the device's pixels, which would make widths differ between
    // the layout grid and the screen.
    font.setHintingPreference(QFont::PreferNoHinting);
    // Ligatures would reach PDF files as single characters ("ﬀ" for "ff"): a search for the
    // word or a copied text would no longer find it. Scripts that need shaping still get it.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

namespace {

Qt::Alignment horizontal(HAlign a)
{
    switch (a) {
    case HAlign::Center: return Qt::AlignHCenter;
    case HAlign::Right: return Qt::AlignRight;
    case HAlign::Justify: return Qt::AlignJustify;
    case HAlign::Left: break;
    }
    return Qt::AlignLeft;
}

bool needsLayout(QStringView text, const TextStyle& style)
{
    return style.wordWrap || text.contains(u'\n') || style.hAlign == HAlign::Justify;
}

// Lays the text out into lines of the given width (units); returns the height used.
double layoutLines(QTextLayout& layout, const TextStyle& style, double width)
{
    QTextOption option(horizontal(style.hAlign));
    option.setWrapMode(style.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);
    const double leading = QFontMetricsF(layout.font()).leading();
    double y = 0;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height() + leading;
    }
    layout.endLayout();
    return y;
}

QString withLineSeparators(QStringView text)
{
    QString s = text.toString();
    s.replace(u'\n', QChar::LineSeparator);
    return s;
}

} // namespace

double textHeight(QStringView text, const TextStyle& style, const QFont& font, double widthMm)
{
    const double inner = std::max(0.0, widthMm - 2 * textPaddingX) * reportUnitsPerMm;
    double height = 0;
    if (!needsLayout(text, style)) {
        height = QFontMetricsF(font).height();
    } else {
        QTextLayout layout(withLineSeparators(text), font);
        height = layoutLines(layout, style, inner);
    }
    return height / reportUnitsPerMm + 2 * textPaddingY;
}

QStringList textLines(QStringView text, const TextStyle& style, const QFont& font, double widthMm)
{
    if (!needsLayout(text, style))
        return {text.toString()};
    const QString s = withLineSeparators(text);
    QTextLayout layout(s, font);
    layoutLines(layout, style, std::max(0.0, widthMm - 2 * textPaddingX) * reportUnitsPerMm);
    QStringList lines;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        QString piece = s.mid(line.textStart(), line.textLength());
        if (piece.endsWith(QChar::LineSeparator))
            piece.chop(1);
        else if (i + 1 < layout.lineCount()) // the space a line was wrapped at
            while (!piece.isEmpty() && piece.back().isSpace())
                piece.chop(1);
        lines << piece;
    }
    return lines;
}

QSizeF textSize(QStringView text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    double width = 0;
    int lines = 0;
    for (const QStringView line : text.split(u'\n')) {
        width = std::max(width, metrics.horizontalAdvance(line.toString()));
        ++lines;
    }
    const double height = lines == 1 ? metrics.height() : lines * (metrics.height() + metrics.leading());
    return QSizeF(width / reportUnitsPerMm + 2 * textPaddingX, height / reportUnitsPerMm + 2 * textPaddingY);
}

void drawReportText(QPainter& painter, QStringView text, const TextStyle& style, const QFont& font,
                    const QRectF& box)
{
    if (text.isEmpty())
        return;
    const double padX = textPaddingX * reportUnitsPerMm, padY = textPaddingY * reportUnitsPerMm;
    const QRectF inner = box.adjusted(padX, padY, -padX, -padY);
    if (!needsLayout(text, style)) {
        const QFontMetricsF metrics(font);
        const QString s = text.toString();
        double x = inner.left();
        if (style.hAlign != HAlign::Left) {
            const double advance = metrics.horizontalAdvance(s);
            x = style.hAlign == HAlign::Right ? inner.right() - advance : inner.center().x() - advance / 2;
        }
        double y = inner.top() + metrics.ascent();
        if (style.vAlign == VAlign::Middle)
            y = inner.center().y() - metrics.height() / 2 + metrics.ascent();
        else if (style.vAlign == VAlign::Bottom)
            y = inner.bottom() - metrics.descent();
        painter.drawText(QPointF(x, y), s);
        return;
    }
    QTextLayout layout(withLineSeparators(text), font);
    const double height = layoutLines(layout, style, inner.width());
    double top = inner.top();
    if (style.vAlign == VAlign::Middle)
        top = inner.center().y() - height / 2;
    else if (style.vAlign == VAlign::Bottom)
        top = inner.bottom() - height;
    const bool clip = height > inner.height() + 0.5;
    if (clip) {
        painter.save();
        painter.setClipRect(box, Qt::IntersectClip);
    }
    layout.draw(&painter, QPointF(inner.left(), top));
    if (clip)
        painter.restore();
}
