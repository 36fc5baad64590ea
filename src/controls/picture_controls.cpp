#include "controls/picture_controls.h"

#include "controls/stored_files.h"
#include "platform/colors.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/file_dialog.h"
#include "platform/guard.h"
#include "platform/image_list.h"
#include "platform/lang.h"

#include <QBuffer>
#include <QCursor>
#include <QEnterEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <vector>

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
    m_source.clear();
    update();
}

void TPictureBox::removePicture()
{
    m_picture = QImage();
    m_format.clear();
    m_source.clear();
    update();
}

QByteArray TPictureBox::pictureBytes() const
{
    if (m_picture.isNull())
        return QByteArray();
    if (!m_source.isEmpty())
        return m_source;
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
    decodeAndShow(StoredFiles::readWholeFile(FileName), format, FileName);
}

void TPictureBox::LoadPictureFromStream(const QByteArray& MemoryStream, const QString& FileName)
{
    const QByteArray format = formatForFileName(FileName);
    if (format.isEmpty())
        return;
    decodeAndShow(MemoryStream, format, FileName);
}

// Only the decoder of the named format is tried: bytes of another kind under this name are
// as unusable to the rest of the application as damaged ones.
void TPictureBox::decodeAndShow(const QByteArray& bytes, const QByteArray& format, const QString& name)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull())
        throw FileError(QStringLiteral("The picture %1 cannot be read as %2: %3")
                            .arg(name, QString::fromLatin1(format).toUpper(), reader.errorString()));
    m_picture = image;
    m_format = format;
    m_source = bytes;
    update();
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

namespace {

const int ToolButtonSize = 26;
// The inner margin of the control: leaving it hides the toolbar.
const int HoverMargin = 5;

std::function<void(const QImage&)>& viewerHook()
{
    static std::function<void(const QImage&)> viewer;
    return viewer;
}

// The toolbar reports when the pointer leaves it, so that it can hide itself when the pointer
// goes out of the picture across it.
class PictureToolBar : public QWidget {
public:
    PictureToolBar(QWidget* parent, std::function<void()> left)
        : QWidget(parent), m_left(std::move(left)) {}

protected:
    void leaveEvent(QEvent* event) override
    {
        QWidget::leaveEvent(event);
        guarded(m_left);
    }

private:
    std::function<void()> m_left;
};

} // namespace

TdbImageDataBase::TdbImageDataBase(QWidget* parent) : TPictureBox(parent)
{
    setCenter(true);
    setCursor(Qt::PointingHandCursor);
    // The hover toolbar is made when the pointer first comes over the control.
}

TdbImageDataBase::~TdbImageDataBase()
{
    // The toolbar belongs to the container, not to the control; it goes with the control.
    delete m_toolBar;
}

void TdbImageDataBase::setViewer(std::function<void(const QImage&)> viewer)
{
    viewerHook() = std::move(viewer);
}

QWidget* TdbImageDataBase::toolBar()
{
    if (!m_toolBar)
        makeToolBar();
    return m_toolBar;
}

QToolButton* TdbImageDataBase::selectButton()
{
    toolBar();
    return m_select;
}

QToolButton* TdbImageDataBase::saveButton()
{
    toolBar();
    return m_save;
}

QToolButton* TdbImageDataBase::deleteButton()
{
    toolBar();
    return m_delete;
}

void TdbImageDataBase::makeToolBar()
{
    auto* bar = new PictureToolBar(parentWidget(), [this] {
        if (m_toolBar && m_toolBar->parentWidget())
            pointerLeft(mapFromGlobal(QCursor::pos()));
    });
    m_toolBar = bar;
    bar->hide();
    bar->setAutoFillBackground(true);
    bar->move(pos());

    TImageList* images = StoredFiles::mainFormImageList(QStringLiteral("ImageListImageDataBase"));
    int left = 0;
    auto addButton = [&](int image, const QString& hint, void (TdbImageDataBase::*action)()) {
        auto* button = new QToolButton(bar);
        button->setGeometry(left, 0, ToolButtonSize, ToolButtonSize);
        left += ToolButtonSize;
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::ArrowCursor);
        button->setIconSize(QSize(24, 24));
        if (images)
            button->setIcon(images->icon(image));
        button->setToolTip(hint);
        button->setAccessibleName(hint);
        connect(button, &QToolButton::clicked, this, [this, action] { guarded([&] { (this->*action)(); }); });
        return button;
    };
    m_select = addButton(0, Lang.Select_image_to_store,
                         &TdbImageDataBase::selectPicture);
    m_save = addButton(1, Lang.Save_image_from_database, &TdbImageDataBase::savePicture);
    m_delete = addButton(2, Lang.Delete_image_from_database,
                         &TdbImageDataBase::deletePicture);
    bar->setFixedSize(left, ToolButtonSize);
    updateToolButtons();
}

// The toolbar lives in the same container as the control, whatever container that is now.
void TdbImageDataBase::followParent()
{
    if (m_toolBar && m_toolBar->parentWidget() != parentWidget()) {
        m_toolBar->setParent(parentWidget());
        m_toolBar->hide();
    }
}

void TdbImageDataBase::updateToolButtons()
{
    if (!m_toolBar)
        return;
    const bool held = !dbFileName.isEmpty();
    m_select->setEnabled(true);
    m_save->setEnabled(held);
    m_delete->setEnabled(held);
}

void TdbImageDataBase::Clear()
{
    removePicture();
    dbFileName.clear();
    drawPlaceholder();
}

namespace {

// The empty control's picture: the button face inside a dotted outline. Controls of one size
// share one sheet (the image is shared until written), so a form with many empty picture
// fields holds a handful of sheets, not one per field.
QImage placeholderSheet(const QSize& size, const QColor& line)
{
    struct Sheet {
        QSize size;
        QRgb line;
        QImage image;
    };
    static std::vector<Sheet> sheets;
    for (const Sheet& s : sheets)
        if (s.size == size && s.line == line.rgba())
            return s.image;

    QImage sheet(size, QImage::Format_RGB32);
    sheet.fill(Colors::fromToolkit(Colors::ButtonFace));
    QPainter painter(&sheet);
    QPen pen(line);
    pen.setStyle(Qt::DotLine);
    pen.setWidth(0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    painter.end();
    // Sizes met while a form is resized come and go; a short list keeps the common ones.
    if (sheets.size() >= 32)
        sheets.erase(sheets.begin());
    sheets.push_back({size, line.rgba(), sheet});
    return sheet;
}

} // namespace

void TdbImageDataBase::drawPlaceholder()
{
    followParent();
    if (width() <= 0 || height() <= 0 || !dbFileName.isEmpty())
        return;
    setPicture(placeholderSheet(size(), palette().color(QPalette::WindowText)));
}

void TdbImageDataBase::resizeEvent(QResizeEvent* event)
{
    TPictureBox::resizeEvent(event);
    drawPlaceholder();
}

void TdbImageDataBase::enterEvent(QEnterEvent* event)
{
    TPictureBox::enterEvent(event);
    guarded([this] { pointerEntered(); });
}

void TdbImageDataBase::leaveEvent(QEvent* event)
{
    TPictureBox::leaveEvent(event);
    guarded([this] { pointerLeft(mapFromGlobal(QCursor::pos())); });
}

void TdbImageDataBase::mouseReleaseEvent(QMouseEvent* event)
{
    TPictureBox::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        guarded([this] { openViewer(); });
}

void TdbImageDataBase::pointerEntered()
{
    toolBar();
    updateToolButtons();
    followParent();
    // A control without a container has nowhere to put the toolbar.
    if (!m_toolBar->parentWidget())
        return;
    m_toolBar->show();
    m_toolBar->raise();
    m_toolBar->move(x() + width() / 2 - m_toolBar->width() / 2, y() + 1);
}

bool TdbImageDataBase::pointerInside(const QPoint& pos) const
{
    return pos.x() >= HoverMargin && pos.x() <= width() - HoverMargin && pos.y() >= HoverMargin
           && pos.y() <= height() - HoverMargin;
}

void TdbImageDataBase::pointerLeft(const QPoint& pos)
{
    if (!m_toolBar || m_toolBar->isHidden())
        return;
    // The pointer on the toolbar keeps it: hiding it there would hand the pointer back to the
    // control, whose entering shows the toolbar again under the pointer, and so on.
    const QPoint onParent = mapToParent(pos);
    if (m_toolBar->geometry().contains(onParent))
        return;
    if (!pointerInside(pos))
        m_toolBar->hide();
}

void TdbImageDataBase::openViewer()
{
    if (dbFileName.isEmpty() || !viewerHook())
        return;
    viewerHook()(picture());
}

void TdbImageDataBase::selectPicture()
{
    TFileDialog* dialog = StoredFiles::mainFormDialog(QStringLiteral("OpenPictureDialog"));
    const QString path = dialog->execute(StoredFiles::ownerWindow(this), QString());
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    // A file that cannot be shown is refused: its name would be stored with another picture.
    if (formatForFileName(path).isEmpty())
        throw FileError(QStringLiteral("The file %1 is not a picture: choose a BMP, PNG, GIF or JPEG file.")
                            .arg(path));
    LoadPicture(path);
    dbFileName = path;
    dbImageIsChanged = true;
    updateToolButtons();
}

void TdbImageDataBase::savePicture()
{
    if (dbFileName.isEmpty())
        return;
    TFileDialog* dialog = StoredFiles::mainFormDialog(QStringLiteral("SavePictureDialog"));
    dialog->setDefaultExt(StoredFiles::extensionOf(dbFileName));
    const QString path = dialog->execute(StoredFiles::ownerWindow(this), StoredFiles::fileNamePart(dbFileName));
    if (path.isEmpty())
        return;
    StoredFiles::writeWholeFile(path, pictureBytes());
}

void TdbImageDataBase::deletePicture()
{
    if (dbFileName.isEmpty())
        return;
    const auto answer = desktop().message(StoredFiles::ownerWindow(this), Lang.Confirm,
                                          Lang.Are_you_sure_you_want_to_delete_the_image_from_the_database,
                                          DesktopServices::Icon::Information,
                                          DesktopServices::Yes | DesktopServices::No);
    if (answer != DesktopServices::Yes)
        return;
    Clear();
    dbImageIsChanged = true;
    updateToolButtons();
}
