#include "controls/icons.h"

#include <QPainter>

namespace {

QPixmap blank(int size)
{
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    return p;
}

} // namespace

QList<QPixmap> drawButtonIcons()
{
    QList<QPixmap> list;
    for (int i = 0; i < 12; ++i)
        list.append(blank(16));
    return list;
}

QList<QPixmap> drawEditButtonImages()
{
    QList<QPixmap> list;
    for (int i = 0; i < 7; ++i)
        list.append(blank(16));
    return list;
}

QList<QPixmap> drawPictureToolbarImages()
{
    QList<QPixmap> list;
    for (int i = 0; i < 3; ++i)
        list.append(blank(24));
    return list;
}
