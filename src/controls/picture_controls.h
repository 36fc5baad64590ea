#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QPointer>
#include <QWidget>
#include <functional>

class QToolButton;

// A picture box: shows one picture, scaled or not by the display options, and remembers the
// format the picture was loaded in so that it can be written back in that format.
class TPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit TPictureBox(QWidget* parent);

    bool proportional() const { return m_proportional; }
    void setProportional(bool on);
    bool stretch() const { return m_stretch; }
    void setStretch(bool on);
    bool transparent() const { return m_transparent; }
    void setTransparent(bool on);
    bool center() const { return m_center; }
    void setCenter(bool on);

    const QImage& picture() const { return m_picture; }
    // The format name the picture was loaded in ("bmp", "png", "gif", "jpeg"), empty for a
    // picture drawn by the engine.
    QByteArray pictureFormat() const { return m_format; }
    // Shows a picture that has no bytes of its own (drawn, or decoded elsewhere).
    void setPicture(const QImage& picture, const QByteArray& format = QByteArray());
    void removePicture();
    bool hasPicture() const { return !m_picture.isNull(); }
    // The picture in its own format: exactly the bytes it was loaded from, so that storing it
    // never re-encodes (a JPEG keeps its quality and metadata, a GIF stays a GIF). A picture
    // without such bytes is encoded in its format, PNG for a drawn one.
    QByteArray pictureBytes() const;

    // The decoder for a file name's extension (compared in lower case): "bmp", "png", "gif",
    // "jpeg"; empty for any other extension.
    static QByteArray formatForFileName(const QString& fileName);

    // Loads a picture file chosen by its extension. A missing file or another extension loads
    // nothing; a damaged file, or one that is not of its extension's kind, throws FileError
    // and leaves the shown picture as it was.
    void LoadPicture(const QString& FileName);
    // Decodes picture bytes chosen by FileName's extension; damaged bytes throw FileError and
    // leave the shown picture as it was.
    void LoadPictureFromStream(const QByteArray& MemoryStream, const QString& FileName);

    // Where the picture is drawn inside the control.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void decodeAndShow(const QByteArray& bytes, const QByteArray& format, const QString& name);

    QImage m_picture;
    QByteArray m_format;
    QByteArray m_source;
    bool m_proportional = false;
    bool m_stretch = false;
    bool m_transparent = false;
    bool m_center = false;
};

// A static picture whose content comes from the picture archive.
class TdbImage : public TPictureBox {
    Q_OBJECT
public:
    explicit TdbImage(QWidget* parent);

    // Carried from the form definition; nothing depends on it.
    QString dbFileName;
};

// A picture stored in a BLOB column of the edited record, with its file name in the
// companion column dbField + "_filename". While the pointer is over it, a small toolbar lets
// the user choose a picture file, save the shown picture or delete it; a click shows it in
// the image viewer.
class TdbImageDataBase : public TPictureBox {
    Q_OBJECT
public:
    explicit TdbImageDataBase(QWidget* parent);
    ~TdbImageDataBase() override;

    QString dbTable;
    QString dbField;
    // The stored name after loading, or the full path of a file just chosen; empty text means
    // that the control holds no picture.
    QString dbFileName;
    // True once the user has chosen or deleted a picture.
    bool dbImageIsChanged = false;

    // Removes the picture, empties dbFileName and shows the placeholder; the change flag stays.
    void Clear();
    // The placeholder: a button-face sheet with a dotted outline, while no picture is held.
    void drawPlaceholder();

    // Where a click on any picture control shows its picture (the application's image viewer).
    static void setViewer(std::function<void(const QImage&)> viewer);

    // The hover toolbar: a sibling of the control in its parent, and its three buttons; made
    // when first wanted.
    QWidget* toolBar();
    QToolButton* selectButton();
    QToolButton* saveButton();
    QToolButton* deleteButton();

    // What the pointer and the toolbar do; pos is in the control's own coordinates.
    void pointerEntered();
    void pointerLeft(const QPoint& pos);
    void openViewer();
    void selectPicture();
    void savePicture();
    void deletePicture();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void makeToolBar();
    void followParent();
    void updateToolButtons();
    bool pointerInside(const QPoint& pos) const;

    QPointer<QWidget> m_toolBar;
    QToolButton* m_select = nullptr;
    QToolButton* m_save = nullptr;
    QToolButton* m_delete = nullptr;
};
