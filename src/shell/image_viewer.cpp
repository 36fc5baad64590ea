#include "shell/image_viewer.h"

#include "platform/guard.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

void TViewerImage::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void TViewerImage::setStretch(bool stretch)
{
    m_stretch = stretch;
    update();
}

void TViewerImage::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    QSize shown = m_picture.size();
    if (m_stretch)
        shown.scale(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
}

void TViewerImage::mouseDoubleClickEvent(QMouseEvent*)
{
    emit doubleClicked();
}

TfrmVarnelImageViewer::TfrmVarnelImageViewer(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmVarnelImageViewer"));
    setWindowTitle(QStringLiteral("Просмотр изображений"));
    setSizeable(true);
    setBackground(Qt::black);
    setClientSize(664, 481);
    imgView = new TViewerImage(client());
    auto* fill = new QVBoxLayout(client());
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(imgView);
    addComponent(imgView, QStringLiteral("imgView"));
    connect(imgView, &TViewerImage::doubleClicked, this, [this] { guarded([this] { imgViewDblClick(); }); });
}

QSize TfrmVarnelImageViewer::screenSize() const
{
    if (m_screenSize.isValid())
        return m_screenSize;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}

void TfrmVarnelImageViewer::ShowImageViewer(const QImage& picture)
{
    imgView->setPicture(picture.copy());
    stayUsableAboveModalForm();
    const QSize screen = screenSize();
    if (picture.width() - 20 <= screen.width() && picture.height() - 20 <= screen.height()) {
        imgView->setStretch(false);
        showNormal();
        setClientSize(picture.width(), picture.height());
        // Sized to the picture, the window is centred again so that it stays on the screen.
        centerOnScreen();
    } else {
        imgView->setStretch(true);
        showMaximized();
    }
    raise();
    activateWindow();
}

// The pictures are mostly opened from record forms shown modally. A modal form blocks every
// other window of the application except those that stand above it, so the viewer is put
// above that form; otherwise neither Escape nor a double click could close it.
void TfrmVarnelImageViewer::stayUsableAboveModalForm()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == this)
        return;
    if (!windowHandle())
        create();
    windowHandle()->setTransientParent(modal ? modal->windowHandle() : nullptr);
}

void TfrmVarnelImageViewer::keyReleaseEvent(QKeyEvent* event)
{
    guarded([&] { FormKeyUp(event); });
}

void TfrmVarnelImageViewer::FormKeyUp(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        closeForm();
}

void TfrmVarnelImageViewer::imgViewDblClick()
{
    closeForm();
}

void TfrmVarnelImageViewer::hideEvent(QHideEvent* event)
{
    TForm::hideEvent(event);
    guarded([this] { FormClose(); });
}

void TfrmVarnelImageViewer::FormClose()
{
    // No copy of the picture stays in memory once the viewer is closed.
    imgView->setPicture(QImage());
}
