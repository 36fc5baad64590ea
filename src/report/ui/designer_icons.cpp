#include "report/ui/designer_icons.h"

#include <QPainter>
#include <QPixmap>

namespace {

template <class Draw>
QIcon drawnIcon(Draw draw)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    p.setPen(QPen(QColor(40, 60, 100), 1.2));
    draw(p);
    return QIcon(pixmap);
}

} // namespace

QIcon toolIcon(DesignerTool tool)
{
    return drawnIcon([tool](QPainter& p) {
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        switch (tool) {
        case DesignerTool::Pointer: {
            const QPointF arrow[] = {{4, 2}, {4, 13}, {7, 10}, {9.5, 14.5}, {11, 13.8}, {8.7, 9.5}, {12, 9.5}};
            p.setBrush(Qt::white);
            p.drawPolygon(arrow, 7);
            break;
        }
        case DesignerTool::Text: p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("A")); break;
        case DesignerTool::Field:
            f.setPixelSize(9);
            p.setFont(f);
            p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("[ab]"));
            break;
        case DesignerTool::Line: p.drawLine(QPointF(2, 13), QPointF(14, 3)); break;
        case DesignerTool::Rectangle: p.drawRect(QRectF(2.5, 4.5, 11, 8)); break;
        case DesignerTool::Picture: {
            p.drawRect(QRectF(2.5, 3.5, 11, 9));
            const QPointF hill[] = {{3, 12}, {7, 7}, {9.5, 10}, {11, 8.5}, {13, 12}};
            p.setBrush(QColor(120, 170, 120));
            p.drawPolygon(hill, 5);
            break;
        }
        case DesignerTool::CheckBox:
            p.drawRect(QRectF(3.5, 3.5, 9, 9));
            p.drawPolyline(QPolygonF({{5.5, 8}, {7.5, 10.5}, {11, 5}}));
            break;
        case DesignerTool::Subreport:
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            for (double y : {5.5, 8.0, 10.5})
                p.drawLine(QPointF(4, y), QPointF(12, y));
            break;
        case DesignerTool::Barcode:
            for (const double x : {2.5, 4.0, 6.5, 8.0, 10.5, 13.0})
                p.fillRect(QRectF(x, 3, x == 6.5 || x == 10.5 ? 1.5 : 0.8, 10), QColor(40, 60, 100));
            break;
        case DesignerTool::Chart:
            p.drawLine(QPointF(2.5, 2), QPointF(2.5, 13.5));
            p.drawLine(QPointF(2.5, 13.5), QPointF(14, 13.5));
            p.fillRect(QRectF(4.5, 8, 2.5, 5), QColor(78, 121, 167));
            p.fillRect(QRectF(8, 4, 2.5, 9), QColor(242, 142, 43));
            p.fillRect(QRectF(11.5, 10, 2, 3), QColor(225, 87, 89));
            break;
        }
    });
}

QIcon alignIcon(AlignEdge edge)
{
    return drawnIcon([edge](QPainter& p) {
        p.setBrush(QColor(170, 190, 230));
        switch (edge) {
        case AlignEdge::Left:
            p.drawLine(QPointF(2, 1), QPointF(2, 15));
            p.drawRect(QRectF(3, 3, 10, 4));
            p.drawRect(QRectF(3, 9, 6, 4));
            break;
        case AlignEdge::Right:
            p.drawLine(QPointF(14, 1), QPointF(14, 15));
            p.drawRect(QRectF(3, 3, 10, 4));
            p.drawRect(QRectF(7, 9, 6, 4));
            break;
        case AlignEdge::Top:
            p.drawLine(QPointF(1, 2), QPointF(15, 2));
            p.drawRect(QRectF(3, 3, 4, 10));
            p.drawRect(QRectF(9, 3, 4, 6));
            break;
        case AlignEdge::Bottom:
            p.drawLine(QPointF(1, 14), QPointF(15, 14));
            p.drawRect(QRectF(3, 3, 4, 10));
            p.drawRect(QRectF(9, 7, 4, 6));
            break;
        case AlignEdge::Width:
            p.drawRect(QRectF(3, 2, 10, 4));
            p.drawRect(QRectF(3, 10, 10, 4));
            break;
        case AlignEdge::Height:
            p.drawRect(QRectF(2, 3, 4, 10));
            p.drawRect(QRectF(10, 3, 4, 10));
            break;
        }
    });
}

QIcon stackIcon(bool front)
{
    return drawnIcon([front](QPainter& p) {
        const QRectF back(2, 2, 8, 8), top(6, 6, 8, 8);
        p.setBrush(front ? QColor(230, 230, 230) : QColor(170, 190, 230));
        p.drawRect(front ? back : top);
        p.setBrush(front ? QColor(170, 190, 230) : QColor(230, 230, 230));
        p.drawRect(front ? top : back);
    });
}

