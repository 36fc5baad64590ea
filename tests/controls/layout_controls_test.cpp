#include "controls/layout_controls.h"

#include <gtest/gtest.h>

TEST(PageControl, PagesGoToTheirWantedPlacesAndTheFirstIsShown)
{
    TdbPageControl pages(nullptr);
    const int wanted[] = {2, 0, 1};
    for (int w : wanted) {
        auto* sheet = new TdbTabSheet(&pages);
        sheet->setObjectName(QStringLiteral("ts%1").arg(w));
        sheet->setCaption(QStringLiteral("Page %1").arg(w));
        sheet->setPageIndex(w);
        pages.arrangeByPageIndex();
    }
    ASSERT_EQ(pages.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pages.sheet(i)->pageIndex(), i);
        EXPECT_EQ(pages.tabText(i), QStringLiteral("Page %1").arg(i));
        EXPECT_EQ(pages.sheet(i)->pageControl(), &pages);
    }
    EXPECT_EQ(pages.currentIndex(), 0);
}

TEST(Label, SizesItselfToItsCaption)
{
    TdbLabel label(nullptr);
    label.resize(3, 3);
    label.setCaption(QStringLiteral("A rather long caption"));
    const QSize shortSize = label.size();
    EXPECT_EQ(shortSize, label.sizeHint());
    QFont big = label.font();
    big.setPointSize(big.pointSize() * 2);
    label.setFont(big);
    EXPECT_GT(label.width(), shortSize.width());
}

TEST(Panel, PaintsItsOwnColour)
{
    TdbPanel panel(nullptr);
    panel.resize(20, 20);
    panel.setColor(QColor(12, 34, 56));
    const QImage shot = panel.grab().toImage();
    EXPECT_EQ(shot.pixelColor(10, 10), QColor(12, 34, 56));
}
