#include "report/export/drawn_picture.h"

#include "report/engine/page_renderer.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <cmath>

bool isDrawnBox(const PageBox& box)
{
    return box.kind == PageBox::Kind::Barcode || box.kind == PageBox::Kind::Chart;
}

QByteArray drawnPicture(const PageDocument& doc, const Page& page, const PageBox& box, QSize* pixels)
{
    // Fine enough for a scanner to read a barcode off the printed document; a huge box is drawn
    // coarser rather than as a picture of hundreds of megabytes.
    constexpr double dpi = 300;
    constexpr int maxSide = 4000;
    double scale = dpi / 25.4;
    const double longest = std::max<double>(box.width, box.height) * scale;
    if (longest > maxSide)
        scale *= maxSide / longest;
    const QSize size(std::max(1, int(std::ceil(box.width * scale))), std::max(1, int(std::ceil(box.height * scale))));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.scale(scale, scale);
        BoxContent content;
        content.text = page.text(box);
        PageRenderer::paintBox(painter, box.kind, QRectF(0, 0, box.width, box.height), doc.style(box.style), content);
    }
    if (pixels)
        *pixels = size;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}
