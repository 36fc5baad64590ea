#pragma once

#include "report/engine/template.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <vector>

class QFont;
class QPainter;
struct BoxStyle;

struct ChartPoint {
    QString category;
    double value = 0;
};

// The points of a chart as rows come: the values of rows with the same category add up, and
// the categories keep the order they first came in.
class ChartData {
public:
    void add(const QString& category, double value);
    bool isEmpty() const { return m_points.empty(); }
    const std::vector<ChartPoint>& points() const { return m_points; }
    // The form the pages keep a chart in; chartPoints() reads it back.
    QString payload() const;

private:
    std::vector<ChartPoint> m_points;
    QHash<QString, qsizetype> m_index;
};

std::vector<ChartPoint> chartPoints(QStringView payload);

// The colours a chart draws with when its template names none.
const std::vector<QColor>& defaultChartColors();

// Draws a chart kept on a page into a box (layout units) with the style's kind, colours and
// font: bars or a line over a value axis with category labels, or a pie; a legend of the
// categories beside bars and pies when the style asks for one.
void paintChart(QPainter& painter, const QRectF& box, const BoxStyle& style, const QFont& font, QStringView payload);
