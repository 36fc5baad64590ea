#pragma once

#include "report/ui/designer_model.h"

#include <QGraphicsScene>
#include <QPointF>
#include <QRectF>
#include <vector>

// Where the bands stand on the designer's sheet, in millimetres: each band is a caption strip
// with its name over an area at the band's true height, stacked in print order.
struct BandPlace {
    BandRef band;
    QRectF caption;
    QRectF area;
};

class DesignerLayout {
public:
    static constexpr double captionHeight = 4.5;

    static DesignerLayout of(const ReportTemplate& t);

    const std::vector<BandPlace>& bands() const { return m_bands; }
    const BandPlace* find(const BandRef& band) const;
    // The band whose area holds the point; bandAt takes its caption too.
    const BandPlace* areaAt(QPointF p) const;
    const BandPlace* captionAt(QPointF p) const;
    const BandPlace* bandAt(QPointF p) const;
    // The band whose area is nearest to the point vertically (drops below the last band land
    // in it).
    const BandPlace* nearestArea(QPointF p) const;
    QRectF sheet() const { return m_sheet; }
    QRectF objectRect(const ReportTemplate& t, const ObjectRef& ref) const;

private:
    std::vector<BandPlace> m_bands;
    QRectF m_sheet;
};

// The sheet with its bands and objects, rebuilt from a template after every change (the
// template stays the only state; items only draw it).
class DesignerScene : public QGraphicsScene {
public:
    explicit DesignerScene(QObject* parent = nullptr);

    void show(const ReportTemplate& t, const DesignerSelection& selection);
    // The template shown is a sub-report's level: its bands are captioned as a sub-report's.
    void setSubreportLevel(bool on) { m_subreportLevel = on; }
    const DesignerLayout& layout() const { return m_layout; }
    void setGrid(bool visible, double size);
    bool gridVisible() const { return m_gridVisible; }
    double gridSize() const { return m_gridSize; }

private:
    DesignerLayout m_layout;
    bool m_gridVisible = true;
    bool m_subreportLevel = false;
    double m_gridSize = 1;
};

// The handles of a selected box, a few pixels wide whatever the zoom: corners and edge middles,
// clockwise from the top left (0 to 7).
constexpr int selectionHandlePixels = 7;
QPointF handlePoint(const QRectF& r, int handle);
