#include "report/engine/chart.h"

#include "report/engine/page_document.h"
#include "report/engine/text_layout.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

constexpr QChar recordSeparator = QChar(0x1e);
constexpr QChar unitSeparator = QChar(0x1f);
constexpr double k = reportUnitsPerMm;

QString cleanCategory(QString category)
{
    category.replace(recordSeparator, u' ');
    category.replace(unitSeparator, u' ');
    return category;
}

// A step of 1, 2, 2.5 or 5 times a power of ten that cuts the range into about five parts.
double niceStep(double range)
{
    if (!(range > 0) || !std::isfinite(range))
        return 1;
    const double raw = range / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 2.5, 5.0})
        if (raw <= factor * magnitude)
            return factor * magnitude;
    return 10 * magnitude;
}

QString tickText(double value, double step)
{
    int decimals = 0;
    for (double s = step; decimals < 6 && std::abs(s - std::round(s)) > 1e-9 * std::max(1.0, s); s *= 10)
        ++decimals;
    return QLocale().toString(std::abs(value) < step / 1e6 ? 0.0 : value, 'f', decimals);
}

// A slice's share in per cent: whole above 10, with a decimal below (a small slice is not 0%).
QString share(double value, double total)
{
    const double percent = 100 * std::max(0.0, value) / total;
    return QLocale().toString(percent, 'f', percent < 10 && percent > 0 ? 1 : 0);
}

QColor colorAt(const std::vector<QColor>& colors, size_t i)
{
    const std::vector<QColor>& palette = colors.empty() ? defaultChartColors() : colors;
    return palette[i % palette.size()];
}

QPen thinPen(const QColor& color, double widthMm)
{
    QPen pen(color, widthMm * k);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

// The legend on the right of the box; gives back the room left of it.
QRectF drawLegend(QPainter& painter, const QRectF& box, const BoxStyle& style, const QFont& font,
                  const std::vector<ChartPoint>& points, const std::vector<QString>& labels)
{
    const QFontMetricsF metrics(font);
    const double line = metrics.height();
    const double swatch = metrics.ascent() * 0.8;
    const double gap = 1.5 * k;
    double widest = 0;
    for (const QString& label : labels)
        widest = std::max(widest, metrics.horizontalAdvance(label));
    const double width = std::min(box.width() * 0.4, swatch + gap / 2 + widest);
    const QRectF legend(box.right() - width, box.top(), width, box.height());
    double y = legend.top() + std::max(0.0, (legend.height() - line * double(points.size())) / 2);
    for (size_t i = 0; i < points.size() && y + line <= legend.bottom() + 0.01; ++i, y += line) {
        painter.fillRect(QRectF(legend.left(), y + (line - swatch) / 2, swatch, swatch), colorAt(style.colors, i));
        painter.setPen(style.text.color);
        const double textLeft = legend.left() + swatch + gap / 2;
        painter.drawText(QPointF(textLeft, y + metrics.ascent()),
                         metrics.elidedText(labels[i], Qt::ElideRight, legend.right() - textLeft));
    }
    return QRectF(box.left(), box.top(), std::max(0.0, box.width() - width - gap), box.height());
}

void drawPie(QPainter& painter, const QRectF& box, const BoxStyle& style, const QFont& font,
             const std::vector<ChartPoint>& points)
{
    double total = 0;
    for (const ChartPoint& p : points)
        total += std::max(0.0, p.value);
    QRectF area = box;
    if (style.legend) {
        std::vector<QString> labels;
        for (const ChartPoint& p : points)
            labels.push_back(total > 0 ? QStringLiteral("%1 (%2%)").arg(p.category, share(p.value, total)) : p.category);
        area = drawLegend(painter, box, style, font, points, labels);
    }
    if (!(total > 0))
        return;
    const double side = std::min(area.width(), area.height()) - 1 * k;
    if (side <= 0)
        return;
    const QRectF circle(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    painter.setPen(QPen(Qt::white, 0.2 * k));
    double start = 90 * 16;
    for (size_t i = 0; i < points.size(); ++i) {
        if (points[i].value <= 0)
            continue;
        const double span = -360.0 * 16 * points[i].value / total;
        painter.setBrush(colorAt(style.colors, i));
        painter.drawPie(circle, int(std::lround(start)), int(std::lround(span)));
        start += span;
    }
    painter.setBrush(Qt::NoBrush);
}

void drawAxes(QPainter& painter, const QRectF& box, const BoxStyle& style, const QFont& font,
              const std::vector<ChartPoint>& points)
{
    const QFontMetricsF metrics(font);
    QRectF area = box;
    const bool bars = style.chart == ChartKind::Bar;
    if (bars && style.legend && style.colors.size() != 1) {
        std::vector<QString> labels;
        for (const ChartPoint& p : points)
            labels.push_back(p.category);
        area = drawLegend(painter, box, style, font, points, labels);
    }
    double low = 0, high = 0;
    for (const ChartPoint& p : points) {
        low = std::min(low, p.value);
        high = std::max(high, p.value);
    }
    if (high == low)
        high = low + 1;
    const double step = niceStep(high - low);
    low = std::floor(low / step + 1e-9) * step;
    high = std::ceil(high / step - 1e-9) * step;
    double labelWidth = 0;
    for (double v = low; v <= high + step / 2; v += step)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(tickText(v, step)));
    const double gap = 1 * k;
    const QRectF plot(area.left() + labelWidth + gap, area.top() + metrics.height() / 2,
                      area.width() - labelWidth - gap, area.height() - metrics.height() * 1.5 - gap);
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    const auto yOf = [&](double v) { return plot.bottom() - (v - low) / (high - low) * plot.height(); };

    painter.setFont(font);
    for (double v = low; v <= high + step / 2; v += step) {
        const double y = yOf(v);
        painter.setPen(thinPen(QColor(0xd0, 0xd0, 0xd0), 0.15));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(style.text.color);
        const QString label = tickText(v, step);
        painter.drawText(QPointF(plot.left() - gap - metrics.horizontalAdvance(label), y + metrics.ascent() / 2 - metrics.descent() / 2),
                         label);
    }
    painter.setPen(thinPen(style.text.color, 0.25));
    painter.drawLine(plot.topLeft(), plot.bottomLeft());
    painter.drawLine(QPointF(plot.left(), yOf(0)), QPointF(plot.right(), yOf(0)));

    if (points.empty())
        return;
    const double slot = plot.width() / double(points.size());
    QPolygonF line;
    for (size_t i = 0; i < points.size(); ++i) {
        const double centre = plot.left() + slot * (double(i) + 0.5);
        const double y = yOf(points[i].value), zero = yOf(0);
        if (bars)
            painter.fillRect(QRectF(QPointF(centre - slot * 0.35, std::min(y, zero)), QPointF(centre + slot * 0.35, std::max(y, zero))),
                             colorAt(style.colors, i));
        else
            line << QPointF(centre, y);
        painter.setPen(style.text.color);
        const QString label = metrics.elidedText(points[i].category, Qt::ElideRight, slot);
        painter.drawText(QPointF(centre - metrics.horizontalAdvance(label) / 2, plot.bottom() + gap + metrics.ascent()), label);
    }
    if (!bars) {
        const QColor color = colorAt(style.colors, 0);
        QPen pen = thinPen(color, 0.5);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.drawPolyline(line);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        for (const QPointF& p : line)
            painter.drawEllipse(p, 0.7 * k, 0.7 * k);
        painter.setBrush(Qt::NoBrush);
    }
}

} // namespace

void ChartData::add(const QString& category, double value)
{
    const auto found = m_index.constFind(category);
    if (found != m_index.constEnd()) {
        m_points[size_t(*found)].value += value;
        return;
    }
    m_index.insert(category, qsizetype(m_points.size()));
    m_points.push_back(ChartPoint{category, value});
}

QString ChartData::payload() const
{
    QString out;
    for (const ChartPoint& p : m_points) {
        if (!out.isEmpty())
            out += recordSeparator;
        out += cleanCategory(p.category) + unitSeparator + QString::number(p.value, 'g', 17);
    }
    return out;
}

std::vector<ChartPoint> chartPoints(QStringView payload)
{
    std::vector<ChartPoint> points;
    if (payload.isEmpty())
        return points;
    for (const QStringView record : payload.split(recordSeparator)) {
        const qsizetype cut = record.lastIndexOf(unitSeparator);
        if (cut < 0)
            continue;
        bool ok = false;
        const double value = record.mid(cut + 1).toDouble(&ok);
        points.push_back(ChartPoint{record.left(cut).toString(), ok && std::isfinite(value) ? value : 0});
    }
    return points;
}

const std::vector<QColor>& defaultChartColors()
{
    static const std::vector<QColor> colors = {QColor(0x4e, 0x79, 0xa7), QColor(0xf2, 0x8e, 0x2b), QColor(0xe1, 0x57, 0x59),
                                               QColor(0x76, 0xb7, 0xb2), QColor(0x59, 0xa1, 0x4f), QColor(0xed, 0xc9, 0x48),
                                               QColor(0xb0, 0x7a, 0xa1), QColor(0xff, 0x9d, 0xa7), QColor(0x9c, 0x75, 0x5f),
                                               QColor(0xba, 0xb0, 0xac)};
    return colors;
}

void paintChart(QPainter& painter, const QRectF& box, const BoxStyle& style, const QFont& font, QStringView payload)
{
    if (box.width() <= 0 || box.height() <= 0)
        return;
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setFont(font);
    const std::vector<ChartPoint> points = chartPoints(payload);
    if (style.chart == ChartKind::Pie)
        drawPie(painter, box, style, font, points);
    else
        drawAxes(painter, box, style, font, points);
    painter.restore();
}
