#include "platform/form.h"
#include "shell/image_viewer.h"

#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QImage picture(int width, int height, QColor colour = Qt::darkCyan)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}
} // namespace

class ImageViewer : public ::testing::Test {
protected:
    void SetUp() override { viewer.setScreenSize(QSize(1920, 1080)); }
    TfrmVarnelImageViewer viewer;
};

TEST_F(ImageViewer, StartsAsARussianCaptionedBlackWindow)
{
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("Просмотр изображений"));
    EXPECT_EQ(viewer.clientSize(), QSize(664, 481));
    EXPECT_TRUE(viewer.isSizeable());
    EXPECT_EQ(viewer.client()->palette().color(viewer.client()->backgroundRole()), QColor(Qt::black));
}

TEST_F(ImageViewer, PicturesThatFitTheScreenOpenAtNaturalSize)
{
    struct Case {
        QSize picture;
        bool natural;
    };
    const Case cases[] = {
        {{640, 480}, true},   {{1930, 1000}, true}, {{1940, 1100}, true},
        {{1950, 1000}, false}, {{800, 1101}, false},
    };
    for (const Case& c : cases) {
        viewer.ShowImageViewer(picture(c.picture.width(), c.picture.height()));
        EXPECT_TRUE(viewer.isVisible());
        EXPECT_EQ(viewer.imgView->picture().size(), c.picture);
        EXPECT_EQ(viewer.imgView->stretch(), !c.natural) << c.picture.width() << "x" << c.picture.height();
        EXPECT_EQ(viewer.isMaximized(), !c.natural) << c.picture.width() << "x" << c.picture.height();
        if (c.natural) {
            EXPECT_EQ(viewer.clientSize(), c.picture);
        }
    }
    // The second picture in the same window, back at natural size.
    viewer.ShowImageViewer(picture(640, 480, Qt::yellow));
    EXPECT_FALSE(viewer.isMaximized());
    EXPECT_EQ(viewer.clientSize(), QSize(640, 480));
    EXPECT_EQ(viewer.imgView->picture().pixelColor(0, 0), QColor(Qt::yellow));
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("Просмотр изображений"));
}

TEST_F(ImageViewer, TheViewerTakesItsOwnCopy)
{
    QImage shown = picture(30, 20, Qt::red);
    viewer.ShowImageViewer(shown);
    shown.fill(Qt::green);
    EXPECT_EQ(viewer.imgView->picture().pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(ImageViewer, EscapeOrADoubleClickClosesItAndReleasesThePicture)
{
    viewer.ShowImageViewer(picture(64, 48));
    QTest::keyPress(&viewer, Qt::Key_Escape);
    EXPECT_TRUE(viewer.isVisible()); // closes when the key is released
    QTest::keyRelease(&viewer, Qt::Key_Escape);
    EXPECT_FALSE(viewer.isVisible());
    EXPECT_TRUE(viewer.imgView->picture().isNull());

    viewer.ShowImageViewer(picture(64, 48));
    QTest::keyRelease(&viewer, Qt::Key_A);
    EXPECT_TRUE(viewer.isVisible());
    QTest::mouseDClick(viewer.imgView, Qt::LeftButton);
    EXPECT_FALSE(viewer.isVisible());
    EXPECT_TRUE(viewer.imgView->picture().isNull());
}

TEST_F(ImageViewer, AViewerOpenedFromAModalFormCanBeClosed)
{
    TForm record;
    bool closedByEscape = false;
    TForm::setModalHook([&](TForm* shown) {
        viewer.ShowImageViewer(picture(64, 48));
        // Through the window system, where a window blocked by the modal form gets no keys.
        QTest::keyRelease(viewer.windowHandle(), Qt::Key_Escape);
        closedByEscape = !viewer.isVisible();
        shown->closeForm();
    });
    record.showModal();
    TForm::setModalHook(nullptr);
    EXPECT_TRUE(closedByEscape);
    viewer.closeForm();
}
