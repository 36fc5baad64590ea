#include "controls/file_control.h"
#include "controls/icons.h"
#include "platform/image_list.h"
#include "platform/lang.h"

#include <QAction>
#include <QMenu>
#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// The pictures of the file field's buttons, drawn as the application draws them.
void fillWithEditButtonImages(TImageList& list)
{
    for (const QPixmap& p : drawEditButtonImages())
        list.add(p);
}
} // namespace

TEST(FileControl, StartsEmptyWithItsButtonsAndMenu)
{
    TdbFileToDatabase f(nullptr);
    EXPECT_TRUE(f.isReadOnly());
    EXPECT_TRUE(f.text().isEmpty());
    EXPECT_TRUE(f.dbFileName.isEmpty());
    EXPECT_EQ(f.dbID, -1);
    EXPECT_FALSE(f.dbFileIsChanged);
    EXPECT_TRUE(f.leftButton()->isEnabled());
    EXPECT_FALSE(f.rightButton()->isEnabled());
    EXPECT_EQ(f.leftButton()->toolTip(), QStringLiteral("Choose a file to store in the database."));
    EXPECT_EQ(f.rightButton()->toolTip(),
              QStringLiteral("Open or save the file stored in the database."));

    const QList<QAction*> items = f.fileMenu()->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("mniRunFile"));
    EXPECT_EQ(items[0]->text(), QStringLiteral("Open file"));
    EXPECT_EQ(items[1]->objectName(), QStringLiteral("mniSaveFile"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("Save file"));
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->objectName(), QStringLiteral("mniDeleteFile"));
    EXPECT_EQ(items[3]->text(), QStringLiteral("Delete file"));
}

TEST(FileControl, HintsAndMenuSpeakTheUsersLanguage)
{
    Lang.fillRussian();
    TdbFileToDatabase f(nullptr);
    QStringList texts = {f.leftButton()->toolTip(), f.rightButton()->toolTip(),
                         f.leftButton()->accessibleName()};
    for (QAction* item : f.fileMenu()->actions())
        texts.append(item->text());
    Lang.fillEnglish();
    EXPECT_EQ(texts, QStringList({"Выбрать файл для сохранения в базу данных.",
                                  "Сохранение или открытие файла из базы данных.",
                                  "Выбрать файл для сохранения в базу данных.", "Открыть файл",
                                  "Сохранить файл", "", "Удалить файл"}));
}

TEST(FileControl, ClearExReturnsToTheEmptyState)
{
    TdbFileToDatabase f(nullptr);
    f.dbFileName = QStringLiteral("docs/report.pdf");
    f.setText(QStringLiteral("report.pdf"));
    f.dbID = 12;
    f.dbFileIsChanged = true;
    f.rightButton()->setEnabled(true);

    f.ClearEx();
    EXPECT_TRUE(f.text().isEmpty());
    EXPECT_TRUE(f.dbFileName.isEmpty());
    EXPECT_EQ(f.dbID, -1);
    EXPECT_FALSE(f.dbFileIsChanged);
    EXPECT_FALSE(f.rightButton()->isEnabled());
}

TEST(FileControl, ButtonsShowTheirPicturesOfTheList)
{
    TImageList list(16, 16);
    const QList<QPixmap> pictures = drawEditButtonImages();
    for (const QPixmap& p : pictures)
        list.add(p);
    TdbFileToDatabase f(nullptr);
    f.setImages(&list);
    const QImage left = f.leftButton()->icon().pixmap(16, 16).toImage();
    const QImage right = f.rightButton()->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(left.convertToFormat(QImage::Format_ARGB32),
              pictures[4].toImage().convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(right.convertToFormat(QImage::Format_ARGB32),
              pictures[0].toImage().convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(f.rightButton()->icon().pixmap(16, 16, QIcon::Disabled).toImage().convertToFormat(
                  QImage::Format_ARGB32),
              pictures[3].toImage().convertToFormat(QImage::Format_ARGB32));
}

// The right button opens the file menu as it goes down and shows its pressed picture while
// the menu is open; closing the menu brings the normal picture back.
TEST(FileControl, RightButtonOpensTheFileMenuAndLooksPressedMeanwhile)
{
    TImageList list(16, 16);
    fillWithEditButtonImages(list);
    TdbFileToDatabase f(nullptr);
    f.setImages(&list);
    f.resize(200, 26);
    f.show();
    f.rightButton()->setEnabled(true);
    QApplication::processEvents();
    const QImage normal = f.rightButton()->grab().toImage();

    QTest::mousePress(f.rightButton(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_TRUE(f.fileMenu()->isVisible());
    EXPECT_NE(f.rightButton()->grab().toImage(), normal);

    // Letting the button go leaves the menu open for a choice.
    QTest::mouseRelease(f.rightButton(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(f.fileMenu()->isVisible());

    f.fileMenu()->hide();
    QApplication::processEvents();
    EXPECT_FALSE(f.rightButton()->isDown());
    EXPECT_EQ(f.rightButton()->grab().toImage(), normal);
}

// A disabled right button opens nothing.
TEST(FileControl, DisabledRightButtonOpensNoMenu)
{
    TdbFileToDatabase f(nullptr);
    f.resize(200, 26);
    f.show();
    QTest::mousePress(f.rightButton(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(f.fileMenu()->isVisible());
}
