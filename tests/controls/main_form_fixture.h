#pragma once

#include "controls/icons.h"
#include "platform/file_dialog.h"
#include "platform/form.h"
#include "platform/image_list.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

// The application's main form with the shared dialogs and picture-toolbar images that the
// picture and file controls reach by name, and a second form that holds the controls.
struct MainFormFixture {
    TForm main;
    TForm form;
    TFileDialog* openPicture = new TFileDialog(TFileDialog::Kind::Open, &main);
    TFileDialog* savePicture = new TFileDialog(TFileDialog::Kind::Save, &main);
    TFileDialog* open = new TFileDialog(TFileDialog::Kind::Open, &main);
    TFileDialog* save = new TFileDialog(TFileDialog::Kind::Save, &main);
    TImageList* toolbarImages = new TImageList(24, 24, &main);

    MainFormFixture()
    {
        Forms::registerForm(&main);
        Forms::registerForm(&form);
        openPicture->setFilter(QStringLiteral("All (*.png)|*.png;"));
        main.addComponent(openPicture, QStringLiteral("OpenPictureDialog"));
        main.addComponent(savePicture, QStringLiteral("SavePictureDialog"));
        main.addComponent(open, QStringLiteral("OpenDialog"));
        main.addComponent(save, QStringLiteral("SaveDialog"));
        for (const QPixmap& p : drawPictureToolbarImages())
            toolbarImages->add(p);
        main.addComponent(toolbarImages, QStringLiteral("ImageListImageDataBase"));
        form.resize(400, 300);
    }
};

inline QImage samplePicture(int width = 12, int height = 8)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(20, 120, 220));
    image.setPixelColor(0, 0, Qt::red);
    return image;
}

inline QByteArray encodedPicture(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.write(image);
    return bytes;
}

// A 2x1 GIF (Qt reads GIF but has no writer), red then blue.
inline QByteArray smallGif()
{
    static const unsigned char bytes[] = {
        'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,          // screen, 2-colour table
        0xFF, 0, 0, 0, 0, 0xFF,                                          // red, blue
        0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,                                 // image descriptor
        2, 2, 0x44, 0x0A, 0,                                             // LZW data
        0x3B};
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}
