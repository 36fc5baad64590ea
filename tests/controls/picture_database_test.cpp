#include "controls/picture_controls.h"
#include "controls/main_form_fixture.h"
#include "platform/colors.h"
#include "platform/lang.h"
#include "support/scripted_desktop.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class DatabasePicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        box = new TdbImageDataBase(fixture.form.client());
        box->setGeometry(40, 30, 180, 120);
        fixture.form.show();
        TdbImageDataBase::setViewer([this](const QImage& picture) { viewed.append(picture); });
    }
    void TearDown() override { TdbImageDataBase::setViewer(nullptr); }

    QString file(const QString& name) const { return dir.filePath(name); }
    bool placeholderShown() const
    {
        return box->picture().size() == box->size()
               && box->picture().pixelColor(box->width() / 2, box->height() / 2)
                      == Colors::fromToolkit(Colors::ButtonFace);
    }
    // A stored picture as the record loader puts it into the control.
    void loadStored(const QByteArray& bytes, const QString& name)
    {
        box->dbFileName = name;
        box->LoadPictureFromStream(bytes, name);
        box->dbImageIsChanged = false;
    }

    MainFormFixture fixture;
    ScriptedDesktop* desk = nullptr;
    TdbImageDataBase* box = nullptr;
    QList<QImage> viewed;
    QTemporaryDir dir;
};

TEST_F(DatabasePicture, NewControlShowsThePlaceholderAndOnlyTheSelectButton)
{
    EXPECT_TRUE(placeholderShown());
    EXPECT_EQ(box->cursor().shape(), Qt::PointingHandCursor);

    QWidget* bar = box->toolBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->parentWidget(), box->parentWidget()); // a sibling, not a child
    EXPECT_TRUE(bar->isHidden());
    const QList<QToolButton*> buttons = {box->selectButton(), box->saveButton(), box->deleteButton()};
    const QStringList hints = {"Select image to be save in the database", "Save image from the database",
                               "Delete the image from the database"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->size(), QSize(26, 26));
        EXPECT_EQ(buttons[i]->toolTip(), hints[i]);
        EXPECT_EQ(buttons[i]->icon().pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32),
                  fixture.toolbarImages->pixmap(i).toImage().convertToFormat(QImage::Format_ARGB32));
    }
    EXPECT_LT(buttons[0]->x(), buttons[1]->x());
    EXPECT_LT(buttons[1]->x(), buttons[2]->x());

    QEnterEvent enter(QPointF(90, 60), QPointF(90, 60), QPointF(90, 60));
    QCoreApplication::sendEvent(box, &enter);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(box->selectButton()->isEnabled());
    EXPECT_FALSE(box->saveButton()->isEnabled());
    EXPECT_FALSE(box->deleteButton()->isEnabled());
    EXPECT_EQ(bar->pos(), QPoint(40 + 180 / 2 - bar->width() / 2, 31));

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(90, 60));
    EXPECT_TRUE(viewed.isEmpty());
    EXPECT_TRUE(desk->messages.empty());
}

TEST_F(DatabasePicture, TheToolbarHidesWhenThePointerLeavesTheInnerArea)
{
    box->resize(181, 121); // an odd width: the centre is truncated
    box->pointerEntered();
    QWidget* bar = box->toolBar();
    EXPECT_EQ(bar->x(), 40 + 90 - bar->width() / 2);

    struct Case {
        QPoint pos;
        bool visible;
    };
    const Case cases[] = {
        {{5, 60}, true},     {{4, 60}, false},   {{176, 60}, true}, {{177, 60}, false},
        {{90, 116}, true},   {{90, 117}, false}, {{10, 5}, true},   {{10, 4}, false},
        {{-3, 60}, false},   {{90, 200}, false},
        // Onto the toolbar, even inside the margin, keeps it.
        {{bar->x() - 40 + 10, 2}, true},
    };
    for (const Case& c : cases) {
        box->pointerEntered();
        box->pointerLeft(c.pos);
        EXPECT_EQ(bar->isVisible(), c.visible) << c.pos.x() << "," << c.pos.y();
    }
}

TEST_F(DatabasePicture, SelectingAFileLoadsItByItsExtensionAndKeepsItsBytes)
{
    const QString path = file("Photo.JPEG");
    const QByteArray jpeg = encodedPicture(samplePicture(30, 20), "jpeg");
    writeFile(path, jpeg);
    desk->fileAnswers = {path};

    box->selectButton()->click();
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join("|").toStdString();
    ASSERT_EQ(desk->dialogs.size(), 1u);
    EXPECT_FALSE(desk->dialogs[0].save);
    EXPECT_TRUE(desk->dialogs[0].request.fileName.isEmpty());
    EXPECT_EQ(desk->dialogs[0].request.filter, fixture.openPicture->filter());
    EXPECT_EQ(desk->dialogs[0].request.parent, &fixture.form);

    EXPECT_EQ(box->dbFileName, path);
    EXPECT_TRUE(box->dbImageIsChanged);
    EXPECT_EQ(box->picture().size(), QSize(30, 20));
    EXPECT_EQ(box->pictureFormat(), QByteArray("jpeg"));
    EXPECT_EQ(box->pictureBytes(), jpeg); // never re-encoded

    box->pointerEntered();
    EXPECT_TRUE(box->saveButton()->isEnabled());
    EXPECT_TRUE(box->deleteButton()->isEnabled());

    // Resizing does not bring the placeholder back over a held picture.
    box->resize(200, 150);
    EXPECT_EQ(box->picture().size(), QSize(30, 20));

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(50, 50));
    ASSERT_EQ(viewed.size(), 1);
    EXPECT_EQ(viewed[0].size(), QSize(30, 20));
}

TEST_F(DatabasePicture, CancelOrAMissingFileChangesNothing)
{
    for (const QString& answer : {QString(), file("missing.png")}) {
        desk->fileAnswers = {answer};
        box->selectButton()->click();
        EXPECT_TRUE(box->dbFileName.isEmpty());
        EXPECT_FALSE(box->dbImageIsChanged);
        EXPECT_TRUE(placeholderShown());
    }
    EXPECT_TRUE(desk->messages.empty());
}

TEST_F(DatabasePicture, AFileThatCannotBeShownIsRefusedWithAMessage)
{
    const QByteArray png = encodedPicture(samplePicture(), "png");
    loadStored(png, QStringLiteral("old.png"));

    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"damaged.png", png.left(png.size() / 2) + QByteArray(40, 'x')},
        {"not-a-jpeg.jpg", png}, // a PNG under a JPEG name
        {"notes.txt", QByteArray("just text")},
        {"empty.bmp", QByteArray()},
    };
    for (const Case& c : cases) {
        const QString path = file(QString::fromLatin1(c.name));
        writeFile(path, c.bytes);
        desk->messages.clear();
        desk->fileAnswers = {path};
        box->selectButton()->click();
        ASSERT_EQ(desk->messages.size(), 1u) << c.name;
        EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Error);
        EXPECT_TRUE(desk->messages[0].text.contains(path)) << desk->messages[0].text.toStdString();
        EXPECT_EQ(box->dbFileName, QStringLiteral("old.png")) << c.name;
        EXPECT_FALSE(box->dbImageIsChanged) << c.name;
        EXPECT_EQ(box->pictureBytes(), png) << c.name;
    }
}

TEST_F(DatabasePicture, SaveProposesTheStoredNameAndWritesTheOriginalBytes)
{
    struct Case {
        QString stored;
        QByteArray bytes;
        QString proposed;
        QString ext;
    };
    const Case cases[] = {
        {"photo.png", encodedPicture(samplePicture(), "png"), "photo.png", "png"},
        {"C:\\Pictures\\Scan.JPG", encodedPicture(samplePicture(40, 30), "jpeg"), "Scan.JPG", "JPG"},
        {"/home/u/anim.gif", smallGif(), "anim.gif", "gif"},
        {"old.bmp", encodedPicture(samplePicture(), "bmp"), "old.bmp", "bmp"},
    };
    for (const Case& c : cases) {
        loadStored(c.bytes, c.stored);
        ASSERT_TRUE(box->hasPicture());
        const QString target = file(QStringLiteral("saved.any"));
        desk->dialogs.clear();
        desk->fileAnswers = {target};
        box->pointerEntered();
        box->saveButton()->click();
        EXPECT_TRUE(desk->messages.empty()) << desk->texts().join("|").toStdString();
        ASSERT_EQ(desk->dialogs.size(), 1u);
        EXPECT_TRUE(desk->dialogs[0].save);
        EXPECT_EQ(desk->dialogs[0].request.fileName, c.proposed);
        EXPECT_EQ(desk->dialogs[0].request.defaultExt, c.ext);
        EXPECT_EQ(desk->dialogs[0].request.filter, fixture.savePicture->filter());
        // The picture's own bytes, whatever the chosen name's extension.
        EXPECT_EQ(readFile(target), c.bytes) << c.stored.toStdString();
        EXPECT_FALSE(box->dbImageIsChanged);
    }

    // Cancelled: nothing written.
    QFile::remove(file("saved.any"));
    desk->fileAnswers = {QString()};
    box->saveButton()->click();
    EXPECT_FALSE(QFile::exists(file("saved.any")));
}

TEST_F(DatabasePicture, SaveAndDeleteDoNothingWithoutAPicture)
{
    box->savePicture();
    box->deletePicture();
    EXPECT_TRUE(desk->dialogs.empty());
    EXPECT_TRUE(desk->messages.empty());
    EXPECT_FALSE(box->dbImageIsChanged);
}

TEST_F(DatabasePicture, DeleteAsksAndClearsOnYesOnly)
{
    const QByteArray png = encodedPicture(samplePicture(), "png");
    loadStored(png, QStringLiteral("photo.png"));

    box->pointerEntered();
    desk->answers = {DesktopServices::No};
    box->deleteButton()->click();
    ASSERT_EQ(desk->messages.size(), 1u);
    const ScriptedDesktop::Message& question = desk->messages[0];
    EXPECT_EQ(question.caption, QStringLiteral("Confirm"));
    EXPECT_EQ(question.text, QStringLiteral("Are you sure you want to delete the image from the database?"));
    EXPECT_EQ(question.icon, DesktopServices::Icon::Information);
    EXPECT_EQ(question.buttons, DesktopServices::Yes | DesktopServices::No);
    EXPECT_EQ(box->dbFileName, QStringLiteral("photo.png"));
    EXPECT_FALSE(box->dbImageIsChanged);
    EXPECT_EQ(box->pictureBytes(), png);

    desk->answers = {DesktopServices::Yes};
    box->deleteButton()->click();
    EXPECT_TRUE(box->dbFileName.isEmpty());
    EXPECT_TRUE(box->dbImageIsChanged);
    EXPECT_TRUE(placeholderShown());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(viewed.isEmpty());
}

TEST_F(DatabasePicture, TheToolbarFollowsTheControlIntoAnotherContainer)
{
    QWidget other(fixture.form.client());
    other.show();
    box->setParent(&other);
    box->show();
    box->resize(100, 80); // the placeholder moves the toolbar along
    EXPECT_EQ(box->toolBar()->parentWidget(), &other);
    box->pointerEntered();
    EXPECT_TRUE(box->toolBar()->isVisible());
    box->setParent(fixture.form.client());
    delete box;
    box = nullptr;
    // The toolbar went with its control.
    EXPECT_TRUE(fixture.form.client()->findChildren<QToolButton*>().isEmpty());
}
