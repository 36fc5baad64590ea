#include "controls/picture_controls.h"
#include "platform/colors.h"
#include "platform/errors.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QImage sample()
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    image.setPixelColor(0, 0, Qt::red);
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

} // namespace

TEST(PictureControls, ChooseTheDecoderByTheLowerCasedExtension)
{
    struct Case {
        const char* name;
        const char* format;
    };
    const Case cases[] = {
        {"a.bmp", "bmp"},        {"Photo.PNG", "png"}, {"x.gif", "gif"},  {"Photo.JPEG", "jpeg"},
        {"dir.d/p.jpg", "jpeg"}, {"a.tiff", ""},       {"noext", ""},     {"a.png.txt", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TPictureBox::formatForFileName(QString::fromLatin1(c.name)),
                  QByteArray(c.format))
            << c.name;
}

TEST(PictureControls, LoadsStoredBytesAndWritesThemBackInTheirFormat)
{
    TdbImageDataBase box(nullptr);
    box.LoadPictureFromStream(encoded(sample(), "png"), QStringLiteral("photo.PNG"));
    ASSERT_TRUE(box.hasPicture());
    EXPECT_EQ(box.pictureFormat(), QByteArray("png"));
    EXPECT_EQ(box.picture().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_TRUE(box.dbFileName.isEmpty()); // loading bytes does not name the picture
    EXPECT_TRUE(box.pictureBytes().startsWith("\x89PNG"));

    // Another extension loads nothing and keeps what is shown.
    box.LoadPictureFromStream(encoded(QImage(2, 2, QImage::Format_RGB32), "png"),
                              QStringLiteral("photo.tif"));
    EXPECT_EQ(box.picture().size(), QSize(8, 6));

    EXPECT_THROW(box.LoadPictureFromStream(QByteArray("not a picture"), QStringLiteral("a.png")),
                 FileError);
}

TEST(PictureControls, LoadPictureReadsFilesAndIgnoresMissingOnes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Logo.BMP"));
    ASSERT_TRUE(sample().save(path, "bmp"));
    TdbImage image(nullptr);
    EXPECT_TRUE(image.dbFileName.isEmpty());
    image.LoadPicture(dir.filePath(QStringLiteral("missing.png")));
    EXPECT_FALSE(image.hasPicture());
    image.LoadPicture(path);
    ASSERT_TRUE(image.hasPicture());
    EXPECT_EQ(image.pictureFormat(), QByteArray("bmp"));
}

TEST(PictureControls, EmptyDatabasePictureShowsThePlaceholderOnResize)
{
    TdbImageDataBase box(nullptr);
    EXPECT_FALSE(box.dbImageIsChanged);
    EXPECT_TRUE(box.dbFileName.isEmpty());
    box.resize(40, 30);
    box.show(); // resize events reach a shown widget
    box.resize(50, 30);
    ASSERT_TRUE(box.hasPicture());
    const QImage sheet = box.picture();
    EXPECT_EQ(sheet.size(), QSize(50, 30));
    EXPECT_EQ(sheet.pixelColor(25, 15), Colors::fromToolkit(Colors::ButtonFace));
    // The dotted outline: some border pixels differ from the fill, some do not.
    int marked = 0;
    for (int x = 0; x < 50; ++x)
        if (sheet.pixelColor(x, 0) != Colors::fromToolkit(Colors::ButtonFace))
            ++marked;
    EXPECT_GT(marked, 5);
    EXPECT_LT(marked, 50);

    // A held picture is not replaced when the control is resized.
    box.LoadPictureFromStream(encoded(sample(), "png"), QStringLiteral("p.png"));
    box.dbFileName = QStringLiteral("p.png");
    box.resize(60, 40);
    EXPECT_EQ(box.picture().size(), QSize(8, 6));

    box.dbImageIsChanged = true;
    box.Clear();
    EXPECT_TRUE(box.dbFileName.isEmpty());
    EXPECT_TRUE(box.dbImageIsChanged);
    EXPECT_EQ(box.picture().size(), QSize(60, 40));
}

TEST(PictureControls, ScalesByTheDisplayOptions)
{
    TdbImage image(nullptr);
    image.resize(100, 40);
    image.setPicture(QImage(50, 50, QImage::Format_RGB32));
    EXPECT_EQ(image.pictureRect(), QRect(0, 0, 50, 50));
    image.setStretch(true);
    EXPECT_EQ(image.pictureRect(), QRect(0, 0, 100, 40));
    image.setProportional(true);
    EXPECT_EQ(image.pictureRect(), QRect(0, 0, 40, 40));
    image.setCenter(true);
    EXPECT_EQ(image.pictureRect(), QRect(30, 0, 40, 40));
}

TEST(PictureControls, HandsBackExactlyTheBytesAPictureWasLoadedFrom)
{
    QImage photo(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            photo.setPixelColor(x, y, QColor(x * 4, y * 5, (x + y) * 2));
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(35); // re-encoding at any other quality would change the bytes
        writer.setText(QStringLiteral("Description"), QStringLiteral("kept as it was"));
        ASSERT_TRUE(writer.write(photo));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(jpeg);
    file.close();

    TdbImage fromFile(nullptr);
    fromFile.LoadPicture(path);
    EXPECT_EQ(fromFile.pictureBytes(), jpeg);

    TdbImageDataBase fromStream(nullptr);
    fromStream.LoadPictureFromStream(jpeg, QStringLiteral("photo.JPEG"));
    EXPECT_EQ(fromStream.pictureBytes(), jpeg);

    // A failed load keeps the picture and its bytes.
    EXPECT_THROW(fromStream.LoadPictureFromStream(jpeg.left(20), QStringLiteral("x.jpg")), FileError);
    EXPECT_EQ(fromStream.pictureBytes(), jpeg);

    // A picture without bytes of its own is encoded in its format.
    fromStream.setPicture(photo);
    EXPECT_TRUE(fromStream.pictureBytes().startsWith("\x89PNG"));
    fromStream.setPicture(photo, "bmp");
    EXPECT_TRUE(fromStream.pictureBytes().startsWith("BM"));
}
