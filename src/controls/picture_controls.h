#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QWidget>

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
    void setPicture(const QImage& picture, const QByteArray& format = QByteArray());
    void removePicture();
    bool hasPicture() const { return !m_picture.isNull(); }
    // The picture encoded in its own format (PNG for a drawn one).
    QByteArray pictureBytes() const;

    // The decoder for a file name's extension (compared in lower case): "bmp", "png", "gif",
    // "jpeg"; empty for any other extension.
    static QByteArray formatForFileName(const QString& fileName);

    // Loads a picture file chosen by its extension. A missing file or another extension loads
    // nothing; a damaged file throws FileError.
    void LoadPicture(const QString& FileName);
    // Decodes picture bytes chosen by FileName's extension; damaged bytes throw FileError.
    void LoadPictureFromStream(const QByteArray& MemoryStream, const QString& FileName);

    // Where the picture is drawn inside the control.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QByteArray m_format;
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
// companion column dbField + "_filename".
class TdbImageDataBase : public TPictureBox {
    Q_OBJECT
public:
    explicit TdbImageDataBase(QWidget* parent);

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

protected:
    void resizeEvent(QResizeEvent* event) override;
};
