#include "shell/image_viewer.h"

#include <QLabel>

TfrmVarnelImageViewer::TfrmVarnelImageViewer(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmVarnelImageViewer"));
    setWindowTitle(QStringLiteral("Просмотр изображений"));
    setSizeable(true);
    setBackground(Qt::black);
    setClientSize(664, 481);
    imgView = new QLabel(client());
    imgView->setAlignment(Qt::AlignCenter);
    imgView->setGeometry(0, 0, 664, 481);
    addComponent(imgView, QStringLiteral("imgView"));
}
