#include "controls/icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {

using Drawing = std::function<void(QPainter&)>;

// Every drawing works on a 16x16 canvas; larger pictures scale the same strokes.
QPixmap render(int size, const Drawing& draw)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    p.end();
    return pixmap;
}

QPen outline(const QColor& colour, qreal width = 1.0)
{
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void sheet(QPainter& p, const QRectF& r, qreal fold)
{
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(outline(QColor(90, 90, 90)));
    p.setBrush(Qt::white);
    p.drawPath(page);

    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.setBrush(QColor(210, 210, 210));
    p.drawPath(corner);
}

void drawNew(QPainter& p)
{
    sheet(p, QRectF(3.5, 1.5, 9, 13), 3.5);
}

void drawEdit(QPainter& p)
{
    p.save();
    p.translate(8, 8);
    p.rotate(-45);
    // body
    p.setPen(outline(QColor(120, 90, 10), 0.8));
    p.setBrush(QColor(250, 200, 40));
    p.drawRect(QRectF(-4.5, -1.6, 8, 3.2));
    // eraser
    p.setBrush(QColor(235, 120, 130));
    p.drawRect(QRectF(-7, -1.6, 2.5, 3.2));
    // sharpened wood and lead
    QPainterPath tip;
    tip.moveTo(3.5, -1.6);
    tip.lineTo(7, 0);
    tip.lineTo(3.5, 1.6);
    tip.closeSubpath();
    p.setBrush(QColor(240, 215, 170));
    p.drawPath(tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    QPainterPath lead;
    lead.moveTo(5.8, -0.55);
    lead.lineTo(7, 0);
    lead.lineTo(5.8, 0.55);
    lead.closeSubpath();
    p.drawPath(lead);
    p.restore();
}

void cross(QPainter& p, const QColor& colour, qreal inset, qreal width)
{
    p.setPen(outline(colour.darker(150), width + 1.2));
    p.drawLine(QPointF(inset, inset), QPointF(16 - inset, 16 - inset));
    p.drawLine(QPointF(16 - inset, inset), QPointF(inset, 16 - inset));
    p.setPen(outline(colour, width));
    p.drawLine(QPointF(inset, inset), QPointF(16 - inset, 16 - inset));
    p.drawLine(QPointF(16 - inset, inset), QPointF(inset, 16 - inset));
}

void drawDelete(QPainter& p)
{
    cross(p, QColor(220, 30, 30), 3.5, 2.4);
}

void drawOK(QPainter& p)
{
    QPainterPath tick;
    tick.moveTo(2.5, 8.5);
    tick.lineTo(6.5, 12.5);
    tick.lineTo(13.5, 3.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(QColor(20, 110, 20), 3.6));
    p.drawPath(tick);
    p.setPen(outline(QColor(50, 190, 50), 2.2));
    p.drawPath(tick);
}

void drawCancel(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(outline(QColor(200, 30, 30), 2.2));
    p.drawEllipse(QPointF(8, 8), 5.8, 5.8);
    p.drawLine(QPointF(3.9, 3.9), QPointF(12.1, 12.1));
}

void drawSearch(QPainter& p)
{
    p.setPen(outline(QColor(70, 50, 30), 3.2));
    p.drawLine(QPointF(10.2, 10.2), QPointF(14.3, 14.3));
    QRadialGradient glass(QPointF(5.5, 5.5), 5);
    glass.setColorAt(0, QColor(235, 245, 255));
    glass.setColorAt(1, QColor(150, 190, 230));
    p.setBrush(glass);
    p.setPen(outline(QColor(60, 60, 80), 1.6));
    p.drawEllipse(QPointF(6.5, 6.5), 4.6, 4.6);
}

void drawPrinter(QPainter& p)
{
    p.setPen(outline(QColor(90, 90, 90), 0.9));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5)); // paper going in
    QLinearGradient body(0, 6, 0, 12);
    body.setColorAt(0, QColor(200, 200, 205));
    body.setColorAt(1, QColor(130, 130, 140));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6.5), 1.2, 1.2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 10, 7, 4.5)); // printed page
    p.setPen(outline(QColor(120, 120, 160), 0.7));
    p.drawLine(QPointF(5.8, 11.8), QPointF(10.2, 11.8));
    p.drawLine(QPointF(5.8, 13.2), QPointF(9.2, 13.2));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 60));
    p.drawEllipse(QPointF(12.3, 7.6), 0.8, 0.8);
}

void drawReport(QPainter& p)
{
    sheet(p, QRectF(2.5, 1.5, 11, 13), 3);
    p.setPen(outline(QColor(40, 90, 180), 1.0));
    for (qreal y : {6.0, 8.5, 11.0})
        p.drawLine(QPointF(4.8, y), QPointF(11.2, y));
    p.setPen(outline(QColor(40, 90, 180), 1.4));
    p.drawLine(QPointF(4.8, 3.8), QPointF(8.5, 3.8));
}

void drawSave(QPainter& p)
{
    QPainterPath disk;
    disk.moveTo(1.5, 1.5);
    disk.lineTo(12.5, 1.5);
    disk.lineTo(14.5, 3.5);
    disk.lineTo(14.5, 14.5);
    disk.lineTo(1.5, 14.5);
    disk.closeSubpath();
    p.setPen(outline(QColor(20, 40, 90), 1.0));
    p.setBrush(QColor(50, 90, 170));
    p.drawPath(disk);
    p.setPen(outline(QColor(90, 90, 90), 0.7));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.8, 1.9, 8.4, 5.6)); // label
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(4.5, 9.8, 7, 4.5)); // shutter
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 90, 170));
    p.drawRect(QRectF(9.2, 10.6, 1.6, 3));
}

void drawExit(QPainter& p)
{
    // door frame and open door
    p.setPen(outline(QColor(80, 60, 40), 1.0));
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(QRectF(1.5, 1.5, 8, 13));
    QPainterPath door;
    door.moveTo(1.5, 1.5);
    door.lineTo(6.5, 3);
    door.lineTo(6.5, 15.5);
    door.lineTo(1.5, 14.5);
    door.closeSubpath();
    p.setBrush(QColor(170, 110, 60));
    p.drawPath(door);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 210, 80));
    p.drawEllipse(QPointF(5.4, 9), 0.6, 0.6);
    // arrow leaving the room
    QPainterPath arrow;
    arrow.moveTo(8, 7);
    arrow.lineTo(11.5, 7);
    arrow.lineTo(11.5, 4.5);
    arrow.lineTo(15.5, 8.5);
    arrow.lineTo(11.5, 12.5);
    arrow.lineTo(11.5, 10);
    arrow.lineTo(8, 10);
    arrow.closeSubpath();
    p.setPen(outline(QColor(20, 110, 20), 0.8));
    p.setBrush(QColor(60, 190, 60));
    p.drawPath(arrow);
}

void drawExcel(QPainter& p)
{
    const QColor green(30, 120, 60);
    p.setPen(outline(green, 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 160, 90));
    p.drawRect(QRectF(2, 2, 12, 3)); // header row
    p.drawRect(QRectF(2, 2, 3, 12)); // row numbers
    p.setPen(outline(green, 0.7));
    for (qreal y : {5.0, 8.0, 11.0})
        p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
    for (qreal x : {5.0, 9.5})
        p.drawLine(QPointF(x, 1.5), QPointF(x, 14.5));
}

void drawDatabase(QPainter& p)
{
    QLinearGradient side(2, 0, 14, 0);
    side.setColorAt(0, QColor(70, 110, 180));
    side.setColorAt(0.4, QColor(150, 185, 235));
    side.setColorAt(1, QColor(50, 80, 150));
    QPainterPath body;
    body.moveTo(2.5, 3.5);
    body.lineTo(2.5, 12.5);
    body.arcTo(QRectF(2.5, 10.5, 11, 4), 180, 180);
    body.lineTo(13.5, 3.5);
    body.closeSubpath();
    p.setPen(outline(QColor(30, 50, 100), 0.9));
    p.setBrush(side);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    for (qreal y : {5.5, 8.5}) {
        QPainterPath band;
        band.arcMoveTo(QRectF(2.5, y, 11, 4), 180);
        band.arcTo(QRectF(2.5, y, 11, 4), 180, 180);
        p.drawPath(band);
    }
    p.setBrush(QColor(190, 215, 245));
    p.drawEllipse(QRectF(2.5, 1.5, 11, 4));
}

void drawFileOpen(QPainter& p)
{
    sheet(p, QRectF(2.5, 1.5, 9, 12), 3);
    p.setPen(outline(QColor(120, 120, 120), 0.8));
    p.drawLine(QPointF(4.5, 6), QPointF(9.5, 6));
    p.drawLine(QPointF(4.5, 8), QPointF(8, 8));
    // small arrow: the stored file goes out of the database
    QPainterPath arrow;
    arrow.moveTo(8.5, 10.5);
    arrow.lineTo(11.5, 10.5);
    arrow.lineTo(11.5, 8.5);
    arrow.lineTo(15, 12);
    arrow.lineTo(11.5, 15.5);
    arrow.lineTo(11.5, 13.5);
    arrow.lineTo(8.5, 13.5);
    arrow.closeSubpath();
    p.setPen(outline(QColor(20, 70, 150), 0.8));
    p.setBrush(QColor(70, 140, 230));
    p.drawPath(arrow);
}

void drawFolderPlus(QPainter& p)
{
    QPainterPath folder;
    folder.moveTo(1.5, 3.5);
    folder.lineTo(5.5, 3.5);
    folder.lineTo(7, 5);
    folder.lineTo(13.5, 5);
    folder.lineTo(13.5, 13.5);
    folder.lineTo(1.5, 13.5);
    folder.closeSubpath();
    QLinearGradient fill(0, 3, 0, 14);
    fill.setColorAt(0, QColor(255, 225, 120));
    fill.setColorAt(1, QColor(225, 170, 40));
    p.setPen(outline(QColor(150, 105, 20), 0.9));
    p.setBrush(fill);
    p.drawPath(folder);
    // plus
    p.setPen(outline(QColor(20, 100, 20), 3.6));
    p.drawLine(QPointF(12, 8.5), QPointF(12, 14.5));
    p.drawLine(QPointF(9, 11.5), QPointF(15, 11.5));
    p.setPen(outline(QColor(60, 190, 60), 1.8));
    p.drawLine(QPointF(12, 8.5), QPointF(12, 14.5));
    p.drawLine(QPointF(9, 11.5), QPointF(15, 11.5));
}

// Looks of an edit button: brightened when hot, sunk when pressed, grey when disabled.
QPixmap hot(const QPixmap& base)
{
    QPixmap result = base;
    QPainter p(&result);
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    p.fillRect(result.rect(), QColor(255, 255, 255, 70));
    return result;
}

QPixmap pressed(const QPixmap& base)
{
    QPixmap result(base.size());
    result.fill(Qt::transparent);
    QPainter p(&result);
    p.drawPixmap(1, 1, base);
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    p.fillRect(result.rect(), QColor(0, 0, 0, 50));
    return result;
}

QPixmap disabled(const QPixmap& base)
{
    QImage image = base.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

QList<QPixmap> drawButtonIcons()
{
    const Drawing drawings[] = {drawNew,    drawEdit,   drawDelete, drawOK,
                                drawCancel, drawSearch, drawPrinter, drawReport,
                                drawSave,   drawExit,   drawExcel,  drawDatabase};
    QList<QPixmap> list;
    for (const Drawing& draw : drawings)
        list.append(render(16, draw));
    return list;
}

QList<QPixmap> drawEditButtonImages()
{
    const QPixmap file = render(16, drawFileOpen);
    const QPixmap choose = render(16, drawFolderPlus);
    return {file, hot(file), pressed(file), disabled(file), choose, hot(choose), pressed(choose)};
}

QList<QPixmap> drawPictureToolbarImages()
{
    return {render(24, drawFolderPlus), render(24, drawSave), render(24, drawDelete)};
}
