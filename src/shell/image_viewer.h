#pragma once

#include "platform/form.h"

#include <QImage>

class QKeyEvent;

// The picture control of the viewer: draws its picture centred, scaled down proportionally
// when stretching is on.
class TViewerImage : public QWidget {
    Q_OBJECT
public:
    explicit TViewerImage(QWidget* parent) : QWidget(parent) {}
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }
    void setStretch(bool stretch);
    bool stretch() const { return m_stretch; }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
    bool m_stretch = false;
};

// Shows a picture from a picture-in-database control at full size: in a window of the
// picture's natural size when it fits the screen (with a 20-pixel allowance), otherwise
// maximised and scaled down proportionally. Escape or a double click closes it.
class TfrmVarnelImageViewer : public TForm {
    Q_OBJECT
public:
    explicit TfrmVarnelImageViewer(QWidget* parent = nullptr);

    void ShowImageViewer(const QImage& picture);
    // The screen the sizing rule measures against; the primary screen when not set.
    void setScreenSize(const QSize& size) { m_screenSize = size; }

    void FormKeyUp(QKeyEvent* event);
    void imgViewDblClick();
    void FormClose();

    TViewerImage* imgView;

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QSize screenSize() const;
    void stayUsableAboveModalForm();
    QSize m_screenSize;
};
