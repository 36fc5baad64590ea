#include "controls/icons.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// A drawn picture: transparent ground in the corners, something visible in between.
void expectPicture(const QPixmap& p, int size, int index)
{
    SCOPED_TRACE(index);
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(p.size(), QSize(size, size));
    const QImage image = p.toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    int opaque = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (qAlpha(image.pixel(x, y)) > 100)
                ++opaque;
    EXPECT_GT(opaque, size * size / 8);
}

void expectAllDifferent(const QList<QPixmap>& list)
{
    for (int i = 0; i < list.size(); ++i)
        for (int j = i + 1; j < list.size(); ++j)
            EXPECT_NE(list[i].toImage(), list[j].toImage()) << i << " " << j;
}

} // namespace

TEST(Icons, DrawsTheThreeListsOfDistinctPictures)
{
    const QList<QPixmap> buttons = drawButtonIcons();
    const QList<QPixmap> edit = drawEditButtonImages();
    const QList<QPixmap> toolbar = drawPictureToolbarImages();
    ASSERT_EQ(buttons.size(), 12);
    ASSERT_EQ(edit.size(), 7);
    ASSERT_EQ(toolbar.size(), 3);
    for (int i = 0; i < buttons.size(); ++i)
        expectPicture(buttons[i], 16, i);
    for (int i = 0; i < edit.size(); ++i)
        expectPicture(edit[i], 16, i);
    for (int i = 0; i < toolbar.size(); ++i)
        expectPicture(toolbar[i], 24, i);
    expectAllDifferent(buttons);
    expectAllDifferent(edit);
    expectAllDifferent(toolbar);
}
