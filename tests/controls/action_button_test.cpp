#include "controls/action_button.h"
#include "controls/icons.h"
#include "platform/image_list.h"

#include <gtest/gtest.h>

TEST(Button, StartsAsASearchButtonWithoutParentOrIcon)
{
    TdbButton b(nullptr);
    EXPECT_EQ(b.dbActionType, adbSearch);
    EXPECT_EQ(b.dbReportOpenIn, rpoPreview);
    EXPECT_TRUE(b.dbSortAsc);
    EXPECT_TRUE(b.dbDoCloseForm);
    EXPECT_FALSE(b.dbConfirmDelete);
    EXPECT_EQ(b.dbParentTableId, -1);
    EXPECT_EQ(b.dbGeneralTableId, 0);
    EXPECT_TRUE(b.dbParentTable.isEmpty());
    EXPECT_TRUE(b.dbSortField.isEmpty());
    EXPECT_EQ(b.dbIconName(), QStringLiteral("none"));
    EXPECT_EQ(b.imageIndex(), -1);
    EXPECT_EQ(sizeof(TActionDbType), 1u);
    EXPECT_EQ(int(adbGridToExcel), 10);
    EXPECT_EQ(int(rpoTIFF), 9);
}

TEST(Button, IconNameChoosesTheImageExactly)
{
    struct Case {
        const char* name;
        int index;
    };
    const Case cases[] = {
        {"New", 0},    {"Edit", 1},   {"Delete", 2}, {"OK", 3},       {"Cancel", 4},
        {"Search", 5}, {"Printer", 6}, {"Report", 7}, {"Save", 8},    {"Exit", 9},
        {"Excel", 10}, {"Database", 11}, {"none", -1}, {"new", -1},   {"", -1},
        {"Ok", -1},
    };
    for (const Case& c : cases) {
        TdbButton b(nullptr);
        b.setDbIconName(QString::fromLatin1(c.name));
        EXPECT_EQ(b.imageIndex(), c.index) << c.name;
        EXPECT_EQ(b.dbIconName(), QString::fromLatin1(c.name));
    }
}

TEST(Button, UnknownIconNameKeepsTheShownIcon)
{
    TImageList icons(16, 16);
    for (const QPixmap& p : drawButtonIcons())
        icons.add(p);
    TdbButton b(nullptr);
    b.setImages(&icons);
    EXPECT_TRUE(b.currentImage().isNull());

    b.setDbIconName(QStringLiteral("Save"));
    EXPECT_EQ(b.imageIndex(), 8);
    EXPECT_EQ(b.currentImage().toImage(), icons.pixmap(8).toImage());

    b.setDbIconName(QStringLiteral("save"));
    EXPECT_EQ(b.imageIndex(), 8);
    EXPECT_EQ(b.dbIconName(), QStringLiteral("save"));

    b.setDbIconName(QStringLiteral("none"));
    EXPECT_TRUE(b.currentImage().isNull());
}
