#include "controls/picture_controls.h"

#include "platform/colors.h"
#include "platform/errors.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

// ---- TPictureBox ----

TPictureBox::TPictureBox(QWidget* parent) : QWidget(parent) {}

void TPictureBox::setProportional(bool on)
{
    m_proportional = on;
    update();
}

void TPictureBox::setStretch(bool on)
{
    m_stretch = on;
    update();
}

void TPictureBox::setTransparent(bool on)
{
    m_transparent = on;
    update();
}

void TPictureBox::setCenter(bool on)
{
    m_center = on;
    update();
}

void TPictureBox::setPicture(const QImage& picture, const QByteArray& format)
{
    m_picture = picture;
    m_format = format;
    update();
}

void TPictureBox::removePicture()
{
    m_picture = QImage();
    m_format.clear();
    update();
}

QByteArray TPictureBox::pictureBytes() const
{
    if (m_picture.isNull())
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, m_format.isEmpty() ? QByteArrayLiteral("png") : m_format);
    if (!writer.write(m_picture)) {
        // Not every format can be written back (a GIF decoder without an encoder); PNG keeps
        // the picture intact.
        buffer.seek(0);
        bytes.clear();
        QImageWriter png(&buffer, "png");
        if (!png.write(m_picture))
            throw FileError(QStringLiteral("The picture cannot be encoded: %1").arg(png.errorString()));
    }
    return bytes;
}

QByteArray TPictureBox::formatForFileName(const QString& fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == u"bmp")
        return "bmp";
    if (ext == u"png")
        return "png";
    if (ext == u"gif")
        return "gif";
    if (ext == u"jpg" || ext == u"jpeg")
        return "jpeg";
    return QByteArray();
}

void TPictureBox::LoadPicture(const QString& FileName)
{
    const QByteArray format = formatForFileName(FileName);
    if (format.isEmpty() || !QFileInfo::exists(FileName))
        return;
    QImageReader reader(FileName, format);
    const QImage image = reader.read();
    if (image.isNull())
        throw FileError(QStringLiteral("The picture %1 cannot be read: %2").arg(FileName, reader.errorString()));
    setPicture(image, format);
}

void TPictureBox::LoadPictureFromStream(const QByteArray& MemoryStream, const QString& FileName)
{
    const QByteArray format = formatForFileName(FileName);
    if (format.isEmpty())
        return;
    QByteArray bytes = MemoryStream;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QImage image = reader.read();
    if (image.isNull())
        throw FileError(QStringLiteral("The picture %1 cannot be read: %2").arg(FileName, reader.errorString()));
    setPicture(image, format);
}

QRect TPictureBox::pictureRect() const
{
    if (m_picture.isNull())
        return QRect();
    const QSize area = size();
    QSize shown = m_picture.size();
    // Stretch fills the control; Proportional alone only shrinks a picture that is too big.
    const bool tooBig = shown.width() > area.width() || shown.height() > area.height();
    if (m_stretch || (m_proportional && tooBig))
        shown = m_proportional ? shown.scaled(area, Qt::KeepAspectRatio) : area;
    QPoint topLeft(0, 0);
    if (m_center)
        topLeft = QPoint((area.width() - shown.width()) / 2, (area.height() - shown.height()) / 2);
    return QRect(topLeft, shown);
}

void TPictureBox::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QImage image = m_picture;
    if (!m_transparent && image.hasAlphaChannel()) {
        // Without Transparent the picture covers its background completely.
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(palette().color(QPalette::Window));
        QPainter p(&opaque);
        p.drawImage(0, 0, image);
        p.end();
        image = opaque;
    }
    painter.drawImage(pictureRect(), image);
}

// ---- TdbImage ----

TdbImage::TdbImage(QWidget* parent) : TPictureBox(parent) {}

// ---- TdbImageDataBase ----

TdbImageDataBase::TdbImageDataBase(QWidget* parent) : TPictureBox(parent)
{
    setCenter(true);
    setCursor(Qt::PointingHandCursor);
}

void TdbImageDataBase::Clear()
{
    removePicture();
    dbFileName.clear();
    drawPlaceholder();
}

void TdbImageDataBase::drawPlaceholder()
{
    if (width() <= 0 || height() <= 0 || !dbFileName.isEmpty())
        return;
    QImage sheet(size(), QImage::Format_RGB32);
    sheet.fill(Colors::fromToolkit(Colors::ButtonFace));
    QPainter painter(&sheet);
    QPen pen(palette().color(QPalette::WindowText));
    pen.setStyle(Qt::DotLine);
    pen.setWidth(0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    painter.end();
    setPicture(sheet);
}

void TdbImageDataBase::resizeEvent(QResizeEvent* event)
{
    TPictureBox::resizeEvent(event);
    drawPlaceholder();
}
