#include "report/ui/designer_ruler.h"

#include "platform/guard.h"
#include "report/ui/designer_view.h"

#include <QPainter>

DesignerRuler::DesignerRuler(DesignerView& view, Qt::Orientation orientation)
    : QWidget(&view), m_view(view), m_orientation(orientation)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DesignerRuler::paintEvent(QPaintEvent*)
{
    guarded([&] {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window));
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(m_orientation == Qt::Horizontal ? QLine(0, height() - 1, width(), height() - 1)
                                                   : QLine(width() - 1, 0, width() - 1, height()));
        const DesignerLayout& layout = m_view.designerScene()->layout();
        if (layout.bands().empty())
            return;
        QFont f = font();
        f.setPixelSize(9);
        p.setFont(f);
        p.setPen(palette().color(QPalette::WindowText));
        const int offset = rulerPixels; // the rulers sit beside the viewport
        if (m_orientation == Qt::Horizontal) {
            // Millimetres from the sheet's left edge, as a ruler on paper; the margins are shaded.
            const QRectF sheet = layout.sheet();
            const BandPlace& first = layout.bands().front();
            const int sheetLeft = m_view.viewPointOfScene(sheet.topLeft()).x() + offset;
            const int areaLeft = m_view.viewPointOfScene(first.area.topLeft()).x() + offset;
            const int areaRight = m_view.viewPointOfScene(first.area.topRight()).x() + offset;
            const int sheetRight = m_view.viewPointOfScene(sheet.topRight()).x() + offset;
            const QColor margin(200, 204, 212);
            p.fillRect(QRect(sheetLeft, 0, areaLeft - sheetLeft, height() - 1), margin);
            p.fillRect(QRect(areaRight, 0, sheetRight - areaRight, height() - 1), margin);
            paintScale(p, sheet.left(), sheet.right(), offset, true);
        } else {
            for (const BandPlace& b : layout.bands()) {
                const int top = m_view.viewPointOfScene(b.caption.topLeft()).y() + offset;
                const int bottom = m_view.viewPointOfScene(b.area.topLeft()).y() + offset;
                p.fillRect(QRect(0, top, width() - 1, bottom - top), QColor(222, 230, 242));
                paintScale(p, b.area.top(), b.area.bottom(), offset, false);
            }
        }
    });
}

void DesignerRuler::paintScale(QPainter& p, double from, double to, int offset, bool horizontal)
{
    const double ppm = m_view.pixelsPerMm();
    const int labelEvery = ppm >= 4 ? 10 : ppm >= 1.5 ? 20 : 50;
    for (int mm = 0; from + mm <= to + 1e-6; ++mm) {
        const QPointF scene = horizontal ? QPointF(from + mm, 0) : QPointF(0, from + mm);
        const QPoint at = m_view.viewPointOfScene(scene);
        const int pos = (horizontal ? at.x() : at.y()) + offset;
        int length = 0;
        if (mm % 10 == 0)
            length = rulerPixels / 2;
        else if (mm % 5 == 0 && ppm >= 1.5)
            length = rulerPixels / 3;
        else if (ppm >= 3)
            length = rulerPixels / 5;
        if (length == 0)
            continue;
        if (horizontal)
            p.drawLine(pos, rulerPixels - length, pos, rulerPixels - 1);
        else
            p.drawLine(rulerPixels - length, pos, rulerPixels - 1, pos);
        if (mm % labelEvery == 0) {
            const QString label = QString::number(mm);
            if (horizontal)
                p.drawText(pos + 2, 10, label);
            else
                p.drawText(QRect(1, pos + 1, rulerPixels - 4, 11), Qt::AlignLeft | Qt::AlignTop, label);
        }
    }
}
