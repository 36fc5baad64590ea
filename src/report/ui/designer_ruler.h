#pragma once

#include <QWidget>

class DesignerView;
class QPainter;

constexpr int rulerPixels = 22;

// Millimetres along the top (0 at the sheet's left edge, the margins shaded) and down the side
// (0 at the top of each band, where objects' y starts).
class DesignerRuler : public QWidget {
public:
    DesignerRuler(DesignerView& view, Qt::Orientation orientation);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintScale(QPainter& p, double from, double to, int offset, bool horizontal);

    DesignerView& m_view;
    Qt::Orientation m_orientation;
};
