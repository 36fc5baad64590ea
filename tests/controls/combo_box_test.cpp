#include "controls/combo_box.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(ComboBox, DerivesTableAndColumnFromTheForeignKey)
{
    struct Case {
        const char* key;
        const char* table;
        const char* shortKey;
    };
    const Case cases[] = {
        {"orders.id_customers", "customers", "id_customers"},
        {"orders.id_customers2", "customers", "id_customers2"},
        {"orders.id_customers12", "customers", "id_customers12"},
        {"orders.id_customers10", "customers10", "id_customers10"},
        {"orders.id_customers123", "customers1", "id_customers123"},
        {"id_customers", "customers", "id_customers"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        TdbComboBox box(nullptr);
        box.dbForeignKey = QString::fromLatin1(c.key);
        EXPECT_EQ(box.dbGetTableName(), QString::fromLatin1(c.table)) << c.key;
        EXPECT_EQ(box.dbForeignKeyShort(), QString::fromLatin1(c.shortKey)) << c.key;
    }
}

TEST(ComboBox, AnEmptyBoxHasNoSelectionAndIgnoresIds)
{
    TdbComboBox box(nullptr);
    EXPECT_FALSE(box.isEditable());
    EXPECT_EQ(box.maxVisibleItems(), 8);
    EXPECT_EQ(box.dbDefaultID, 0);
    EXPECT_EQ(box.dbItemID(), -1);
    box.setDbItemID(5);
    EXPECT_EQ(box.dbItemID(), -1);
    EXPECT_EQ(box.currentIndex(), -1);
}

TEST(ComboBox, SelectsByIdWithTheFirstOfDuplicatesAndKeepsTheSelectionForUnknownIds)
{
    TdbComboBox box(nullptr);
    box.AddRecord(-1, QString());
    box.AddRecord(7, QStringLiteral("Oslo"));
    box.AddRecord(9, QStringLiteral("Bergen"));
    box.AddRecord(7, QStringLiteral("Oslo again"));
    // Adding items selects nothing; the fill chooses the item.
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.dbItemID(), -1);
    EXPECT_EQ(box.count(), 4);
    EXPECT_EQ(box.itemText(2), QStringLiteral("Bergen"));

    box.setDbItemID(7);
    EXPECT_EQ(box.currentIndex(), 1);
    EXPECT_EQ(box.dbItemID(), 7);

    box.setDbItemID(42);
    EXPECT_EQ(box.currentIndex(), 1);

    box.setDbItemID(-1);
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(box.dbItemID(), -1);

    box.setCurrentIndex(2);
    EXPECT_EQ(box.dbItemID(), 9);

    box.Clear();
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.dbItemID(), -1);
    box.AddRecord(3, QStringLiteral("x"));
    EXPECT_EQ(box.dbItemID(), -1);
}

TEST(ComboBox, ReportsOnlyTheUsersChoice)
{
    TdbComboBox box(nullptr);
    box.AddRecord(1, QStringLiteral("a"));
    box.AddRecord(2, QStringLiteral("b"));
    QSignalSpy spy(&box, &TdbComboBox::selectionChanged);
    box.setDbItemID(2);
    box.Clear();
    EXPECT_EQ(spy.count(), 0);
    emit box.activated(0); // what the toolkit sends when the user picks an item
    EXPECT_EQ(spy.count(), 1);
}

TEST(ComboBox, ClearingThroughTheToolkitEmptiesTheIdsToo)
{
    TdbComboBox box(nullptr);
    box.AddRecord(4, QStringLiteral("a"));
    box.setDbItemID(4);
    box.clear();
    EXPECT_EQ(box.count(), 0);
    EXPECT_EQ(box.items()->rowCount(), 0);
    EXPECT_EQ(box.dbItemID(), -1);
}
