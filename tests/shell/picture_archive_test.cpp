#include "controls/picture_controls.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "shell/main_window.h"
#include "shell/picture_archive.h"
#include "support/scripted_desktop.h"
#include "support/temp_project.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

QByteArray le(qint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray zlibStream(const QByteArray& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.constData()),
              static_cast<uLong>(data.size()), 9);
    out.resize(static_cast<qsizetype>(size));
    return out;
}

// One entry written field by field, so that a test can state any size it likes.
QByteArray entry(const QByteArray& name, const QByteArray& data, qint32 statedSize)
{
    return le(static_cast<qint32>(name.size())) + name + le(statedSize) + zlibStream(data);
}
QByteArray entry(const QByteArray& name, const QByteArray& data)
{
    return entry(name, data, static_cast<qint32>(data.size()));
}

QByteArray png(QColor colour, int size = 6)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

QColor colourOf(const TPictureBox* box)
{
    return box->hasPicture() ? box->picture().pixelColor(0, 0) : QColor();
}

} // namespace

// The main window and a form "frmPics" with two static pictures and one database picture.
class PictureArchive : public ::testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        pics.setFormName(QStringLiteral("frmPics"));
        Forms::registerForm(&pics);
        logo = addImage<TdbImage>(pics, "Logo");
        banner = addImage<TdbImage>(pics, "Banner");
        photo = addImage<TdbImageDataBase>(pics, "Photo");
        mainLogo = addImage<TdbImage>(main, "Logo");
    }

    template <class T>
    T* addImage(TForm& form, const char* name)
    {
        auto* image = new T(form.client());
        form.addComponent(image, QString::fromLatin1(name));
        return image;
    }

    void load(const QByteArray& archive)
    {
        project.write(QStringLiteral("graphics.dll"), archive);
        LoadGraphics(project.file(QStringLiteral("graphics.dll")),
                     [this](const QByteArray& picture, const QString& name) { main.LoadPicture(picture, name); });
    }

    ScriptedDesktop* desk = nullptr;
    TempProject project;
    TfrmMainVarnel main;
    TForm pics;
    TdbImage* logo = nullptr;
    TdbImage* banner = nullptr;
    TdbImageDataBase* photo = nullptr;
    TdbImage* mainLogo = nullptr;
};

TEST_F(PictureArchive, EntryNamesPointAtStaticPicturesExactly)
{
    struct Case {
        const char* name;
        const char* target; // "" = no control takes it
    };
    const Case cases[] = {
        {"pic.frmPics.Logo.png", "Logo"},
        {"x.frmPics.Logo.PNG", "Logo"},
        {".frmPics.Logo.png", "Logo"},
        {"pic.frmMainVarnel.Logo.png", "main"},
        {"frmPics.Logo.png", ""},
        {"a.pic.frmPics.Logo.png", ""},
        {"pic.frmPics.logo.png", ""},
        {"pic.frmpics.Logo.png", ""},
        {"pic.frmPics.Photo.png", ""},
        {"pic.frmPics.Logo.tif", ""},
        {"pic.frmNone.Logo.png", ""},
    };
    for (const Case& c : cases) {
        for (TPictureBox* box : std::initializer_list<TPictureBox*>{logo, banner, photo, mainLogo})
            box->removePicture();
        main.LoadPicture(png(Qt::red), QString::fromLatin1(c.name));
        const QString target = QString::fromLatin1(c.target);
        EXPECT_EQ(logo->hasPicture(), target == u"Logo") << c.name;
        EXPECT_EQ(mainLogo->hasPicture(), target == u"main") << c.name;
        EXPECT_FALSE(banner->hasPicture()) << c.name;
        EXPECT_FALSE(photo->hasPicture()) << c.name;
    }
}

TEST_F(PictureArchive, EntriesAreAppliedInFileOrderAndTheLaterOneWins)
{
    // Written byte by byte: count, then name length, name, unpacked size, zlib stream.
    const QByteArray red = png(Qt::red);
    const QByteArray blue = png(Qt::blue);
    QByteArray archive = le(4);
    archive += le(20) + QByteArray("pic.frmPics.Logo.png") + le(static_cast<qint32>(red.size())) + zlibStream(red);
    archive += entry("pic.frmPics.Banner.png", red);
    archive += entry("empty.frmPics.Banner.png", QByteArray()); // no picture: passed over
    archive += entry("pic.frmPics.Logo.png", blue);
    archive += QByteArray("trailing bytes after the last entry are not read");
    load(archive);
    EXPECT_EQ(colourOf(logo), QColor(Qt::blue));
    EXPECT_EQ(colourOf(banner), QColor(Qt::red));
    EXPECT_EQ(logo->pictureBytes(), blue);
}

TEST_F(PictureArchive, AnArchiveWithoutEntriesChangesNothing)
{
    for (qint32 count : {0, -1, std::numeric_limits<qint32>::min()}) {
        load(le(count) + entry("pic.frmPics.Logo.png", png(Qt::red)));
        EXPECT_FALSE(logo->hasPicture()) << count;
    }
}

TEST_F(PictureArchive, DamageStopsWithAClearErrorAfterTheEntriesBeforeIt)
{
    const QByteArray good = entry("pic.frmPics.Banner.png", png(Qt::green));
    const QByteArray picture = png(Qt::red);
    const QByteArray name("pic.frmPics.Logo.png");
    QByteArray badHeader = entry(name, picture);
    badHeader[4 + name.size() + 4 + 1] = 0x00; // the zlib header's check bits no longer match
    QByteArray badData = entry(name, picture);
    for (qsizetype i = 4 + name.size() + 4 + 2; i < badData.size() - 4; ++i)
        badData[i] = static_cast<char>(badData[i] ^ 0x5A);
    const QByteArray whole = entry(name, picture);

    struct Case {
        const char* what;
        QByteArray archive;
        bool goodApplied;
    };
    const Case cases[] = {
        {"empty file", QByteArray(), false},
        {"cut inside the count", QByteArray("\x02\x00", 2), false},
        {"huge count", le(1000000) + good, true},
        {"cut inside a name length", le(2) + good + QByteArray("\x05\x00", 2), true},
        {"name longer than the file", le(2) + good + le(1000) + "pic.", true},
        {"negative name length", le(2) + good + le(-4) + name, true},
        {"cut inside the unpacked size", le(2) + good + le(name.size()) + name + "\x01", true},
        {"unpacked size no data can hold", le(2) + good + entry(name, picture, 2000000000), true},
        {"negative unpacked size", le(2) + good + entry(name, picture, -1), true},
        {"damaged zlib header", le(2) + good + badHeader, true},
        {"damaged deflate data", le(2) + good + badData, true},
        {"cut inside the stream", le(2) + good + whole.left(whole.size() - 3), true},
        {"stream longer than stated", le(2) + good + entry(name, picture, picture.size() - 1), true},
        {"stream shorter than stated", le(2) + good + entry(name, picture, picture.size() + 10), true},
    };
    for (const Case& c : cases) {
        banner->removePicture();
        logo->removePicture();
        try {
            load(c.archive);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const FormatError& error) {
            EXPECT_TRUE(error.message().contains(project.file(QStringLiteral("graphics.dll"))))
                << c.what << ": " << error.message().toStdString();
        }
        EXPECT_EQ(banner->hasPicture(), c.goodApplied) << c.what;
        EXPECT_FALSE(logo->hasPicture()) << c.what;
    }
}

TEST_F(PictureArchive, APictureTheDecoderRejectsIsAFileError)
{
    const QByteArray archive = le(3) + entry("pic.frmPics.Banner.png", png(Qt::green))
                               + entry("pic.frmPics.Logo.png", QByteArray("this is no PNG"))
                               + entry("pic.frmPics.Logo.gif", png(Qt::red));
    EXPECT_THROW(load(archive), FileError);
    EXPECT_TRUE(banner->hasPicture());
    EXPECT_FALSE(logo->hasPicture());
}

TEST_F(PictureArchive, TheWriterAndTheReaderAgree)
{
    const QList<GraphicsEntry> entries = {{"pic.frmPics.Logo.png", png(Qt::red)},
                                          {"e.f.c.gif", QByteArray()},
                                          {"pic.frmMain.Big.bmp", QByteArray(300000, 'B')}};
    QList<GraphicsEntry> read;
    readGraphicsArchive(writeGraphicsArchive(entries),
                        [&](const QByteArray& picture, const QString& name) { read.append({name, picture}); });
    ASSERT_EQ(read.size(), 2); // the empty entry is passed over
    EXPECT_EQ(read[0].name, entries[0].name);
    EXPECT_EQ(read[0].data, entries[0].data);
    EXPECT_EQ(read[1].name, entries[2].name);
    EXPECT_EQ(read[1].data, entries[2].data);
}

// Start-up step 13 with a real project folder: pictures go to the built forms; a damaged
// archive reaches the general error report after the entries before the damage.
class ArchiveAtStartup : public ::testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        project.write("tables.ini", QByteArray("[things]\n-name=TEXT\n"));
        project.write("forms.xml", QByteArray("<main><frmMain Caption=\"Shop\">"
                                              "<TdbImage Name=\"imgTop\" Width=\"20\" Height=\"20\"/></frmMain>"
                                              "<frmPlaces><TdbImage Name=\"imgLogo\" Width=\"20\" Height=\"20\"/>"
                                              "</frmPlaces></main>"));
    }
    void TearDown() override
    {
        for (TForm* form : Forms::all())
            if (form != &main)
                delete form;
    }
    TdbImage* image(const char* form, const char* name)
    {
        TForm* f = Forms::find(QString::fromLatin1(form));
        return f ? qobject_cast<TdbImage*>(f->findComponent(QString::fromLatin1(name))) : nullptr;
    }

    ScriptedDesktop* desk = nullptr;
    TempProject project;
    TfrmMainVarnel main;
};

TEST_F(ArchiveAtStartup, PicturesReachTheBuiltForms)
{
    project.write("graphics.dll", writeGraphicsArchive({{"pic.frmMain.imgTop.png", png(Qt::red)},
                                                        {"pic.frmPlaces.imgLogo.png", png(Qt::blue)}}));
    guarded([this] { main.FormShow(); });
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join("|").toStdString();
    ASSERT_NE(image("frmMain", "imgTop"), nullptr);
    EXPECT_EQ(colourOf(image("frmMain", "imgTop")), QColor(Qt::red));
    EXPECT_EQ(colourOf(image("frmPlaces", "imgLogo")), QColor(Qt::blue));
}

TEST_F(ArchiveAtStartup, ADamagedArchiveIsReportedAfterTheEntriesBeforeIt)
{
    QByteArray archive = writeGraphicsArchive({{"pic.frmMain.imgTop.png", png(Qt::red)},
                                               {"pic.frmPlaces.imgLogo.png", png(Qt::blue)}});
    archive.chop(8);
    project.write("graphics.dll", archive);
    guarded([this] { main.FormShow(); });
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Error);
    EXPECT_TRUE(desk->messages[0].text.contains(QStringLiteral("graphics.dll")))
        << desk->messages[0].text.toStdString();
    EXPECT_EQ(colourOf(image("frmMain", "imgTop")), QColor(Qt::red));
    EXPECT_FALSE(image("frmPlaces", "imgLogo")->hasPicture());
}
