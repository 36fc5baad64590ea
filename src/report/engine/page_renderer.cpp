#include "report/engine/page_renderer.h"

#include "report/engine/barcode.h"
#include "report/engine/chart.h"
#include "report/engine/text_layout.h"

#include <QPainter>

PageRenderer::PageRenderer(const PageDocument& document)
    : m_document(document), m_fonts(document.styles().size()), m_fontMade(document.styles().size(), false)
{
}

void PageRenderer::scaleToMillimetres(QPainter& painter, double dpi)
{
    painter.scale(dpi / 25.4, dpi / 25.4);
}

const QFont& PageRenderer::font(quint32 style) const
{
    if (!m_fontMade[style]) {
        m_fonts[style] = reportFont(m_document.style(style).text.font);
        m_fontMade[style] = true;
    }
    return m_fonts[style];
}

namespace {

constexpr double k = reportUnitsPerMm;

QRectF units(const QRectF& mm)
{
    return QRectF(mm.x() * k, mm.y() * k, mm.width() * k, mm.height() * k);
}

QPen pen(double widthMm, const QColor& color)
{
    QPen p(color, widthMm * k);
    p.setCapStyle(Qt::FlatCap);
    return p;
}

void drawFrame(QPainter& painter, const TextStyle& s, const QRectF& r)
{
    const struct {
        const FrameSide& side;
        QLineF line;
    } sides[] = {{s.left, QLineF(r.topLeft(), r.bottomLeft())},
                 {s.top, QLineF(r.topLeft(), r.topRight())},
                 {s.right, QLineF(r.topRight(), r.bottomRight())},
                 {s.bottom, QLineF(r.bottomLeft(), r.bottomRight())}};
    for (const auto& side : sides) {
        if (side.side.width <= 0)
            continue;
        painter.setPen(pen(side.side.width, side.side.color));
        painter.drawLine(side.line);
    }
}

void drawCheckBox(QPainter& painter, const BoxStyle& s, const QRectF& r, bool checked)
{
    const double side = std::min(r.width(), r.height());
    const QRectF box(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
    painter.setPen(pen(s.lineWidth, s.lineColor));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    if (!checked)
        return;
    const QPointF points[] = {{box.left() + side * 0.2, box.top() + side * 0.55},
                              {box.left() + side * 0.42, box.top() + side * 0.78},
                              {box.left() + side * 0.8, box.top() + side * 0.25}};
    QPen tick = pen(std::max(s.lineWidth * 1.5, 0.3), s.lineColor);
    tick.setJoinStyle(Qt::RoundJoin);
    painter.setPen(tick);
    painter.drawPolyline(points, 3);
}

// One box in layout units; for a text the painter already has the box's font.
void drawBox(QPainter& painter, PageBox::Kind kind, const QRectF& r, const BoxStyle& s, const BoxContent& content,
             const QFont* font)
{
    switch (kind) {
    case PageBox::Kind::Text:
        if (s.text.background.isValid())
            painter.fillRect(r, s.text.background);
        drawFrame(painter, s.text, r);
        if (content.text.isEmpty() || !font)
            break;
        // Frames change the pen: the text colour is set again after them.
        painter.setPen(s.text.color);
        drawReportText(painter, content.text, s.text, *font, r);
        break;
    case PageBox::Kind::Line:
        painter.setPen(pen(s.lineWidth, s.lineColor));
        painter.drawLine(r.topLeft(), r.bottomRight());
        break;
    case PageBox::Kind::Rectangle:
        painter.setPen(s.lineWidth > 0 ? pen(s.lineWidth, s.lineColor) : QPen(Qt::NoPen));
        painter.setBrush(s.fill.isValid() ? QBrush(s.fill) : QBrush(Qt::NoBrush));
        painter.drawRect(r);
        painter.setBrush(Qt::NoBrush);
        break;
    case PageBox::Kind::Picture:
        if (!content.picture.isNull())
            painter.drawImage(fittedPicture(r, content.picture.size(), s.keepAspect), content.picture);
        break;
    case PageBox::Kind::CheckBox: drawCheckBox(painter, s, r, content.checked); break;
    case PageBox::Kind::Barcode: paintBarcode(painter, r, s, content.text); break;
    case PageBox::Kind::Chart:
        if (font)
            paintChart(painter, r, s, *font, content.text);
        break;
    }
}

void startUnits(QPainter& painter)
{
    painter.scale(1 / k, 1 / k);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

} // namespace

void PageRenderer::paintBox(QPainter& painter, PageBox::Kind kind, const QRectF& rect, const BoxStyle& style,
                            const BoxContent& content)
{
    painter.save();
    startUnits(painter);
    const QFont font = reportFont(style.text.font);
    if (kind == PageBox::Kind::Text)
        painter.setFont(font);
    drawBox(painter, kind, units(rect), style, content, &font);
    painter.restore();
}

void PageRenderer::paint(QPainter& painter, int pageIndex, const std::vector<int>& highlight) const
{
    const PageRef held = m_document.page(pageIndex);
    if (!held)
        return;
    const Page& page = *held;
    painter.save();
    startUnits(painter);
    quint32 lastFontStyle = ~0u;
    BoxContent content;
    for (const PageBox& box : page.boxes) {
        content.text = QStringView();
        content.picture = QImage();
        content.checked = box.checked;
        if (box.kind == PageBox::Kind::Text) {
            content.text = page.text(box);
            if (!content.text.isEmpty() && box.style != lastFontStyle) {
                painter.setFont(font(box.style));
                lastFontStyle = box.style;
            }
        } else if (box.holdsText()) {
            content.text = page.text(box);
        } else if (box.kind == PageBox::Kind::Picture && box.offset != PageDocument::noImage) {
            content.picture = m_document.image(box.offset);
        }
        drawBox(painter, box.kind, units(box.rect()), m_document.style(box.style), content,
                box.kind == PageBox::Kind::Text || box.kind == PageBox::Kind::Chart ? &font(box.style) : nullptr);
    }
    for (int i : highlight)
        if (i >= 0 && size_t(i) < page.boxes.size())
            painter.fillRect(units(page.boxes[size_t(i)].rect()), QColor(255, 200, 0, 90));
    painter.restore();
}
