#include "controls/record_grid.h"

#include <QHeaderView>
#include <gtest/gtest.h>

TEST(RecordGrid, StartsWithTitleRowAndOneEmptyDataRow)
{
    TdbStringGridEx grid(nullptr);
    EXPECT_EQ(grid.colCount(), 5);
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.model()->rowCount(), 1);
    EXPECT_EQ(grid.drawingStyle(), TdbStringGridEx::gdsGradient);
    EXPECT_TRUE(grid.dbSortAsc);
    EXPECT_EQ(grid.dbParentTableId, -1);
    EXPECT_FALSE(grid.dbIfUsed);
    EXPECT_FALSE(grid.dbAutoExecute);
    EXPECT_TRUE(grid.dbListId.isEmpty());
    EXPECT_EQ(grid.dbSQLConnection, nullptr);
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(grid.isSortingEnabled());
    EXPECT_FALSE(grid.horizontalHeader()->sectionsClickable());
    EXPECT_EQ(grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_EQ(grid.dbItemID(), -1);
}

TEST(RecordGrid, SplitsTheGeneralTableAtTheFirstDot)
{
    struct Case {
        const char* general;
        const char* fkTable;
        const char* fkName;
    };
    const Case cases[] = {
        {"orders.id_customers2", "orders", "id_customers2"},
        {"customers", "", ""},
        {"a.b.c", "a", "b.c"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        TdbStringGridEx grid(nullptr);
        grid.dbGeneralTable = QString::fromLatin1(c.general);
        EXPECT_EQ(grid.dbGetFKTable(), QString::fromLatin1(c.fkTable)) << c.general;
        EXPECT_EQ(grid.dbGetFKName(), QString::fromLatin1(c.fkName)) << c.general;
    }
}

TEST(RecordGrid, CellsAreCountedWithTheTitleRowAsRowZero)
{
    TdbStringGridEx grid(nullptr);
    grid.setColCount(2);
    grid.setRowCount(3);
    grid.setTitle(0, QStringLiteral("Name"));
    grid.setCell(1, 0, QStringLiteral("City"));
    grid.setCell(0, 1, QStringLiteral("Smith"));
    grid.setCell(1, 2, QStringLiteral("Oslo"));
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("City"));
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("Smith"));
    EXPECT_EQ(grid.cell(1, 2), QStringLiteral("Oslo"));
    EXPECT_EQ(grid.cell(0, 2), QString());
    EXPECT_EQ(grid.cell(5, 9), QString());

    grid.setColCount(1);
    EXPECT_EQ(grid.title(1), QString());
    grid.setColCount(2);
    EXPECT_EQ(grid.cell(1, 2), QString());
}

TEST(RecordGrid, ItemIdFollowsTheCurrentRowAndSelectsTheFirstMatch)
{
    TdbStringGridEx grid(nullptr);
    grid.setRowCount(5);
    grid.dbListId = {QStringLiteral("10"), QStringLiteral("x"), QStringLiteral("30"),
                     QStringLiteral("10")};
    EXPECT_EQ(grid.dbItemID(), -1);

    grid.setDbItemID(10);
    EXPECT_EQ(grid.row(), 1);
    EXPECT_EQ(grid.dbItemID(), 10);
    grid.setDbItemID(30);
    EXPECT_EQ(grid.row(), 3);
    grid.setDbItemID(99);
    EXPECT_EQ(grid.row(), 3);

    grid.setRow(2);
    EXPECT_EQ(grid.dbItemID(), -1); // an entry that is not a number
    grid.setDbItemID(-1);
    EXPECT_EQ(grid.row(), 2);

    grid.dbListId.clear();
    EXPECT_EQ(grid.dbItemID(), -1);
}

TEST(RecordGrid, DefaultSizesApplyToEveryColumnAndRow)
{
    TdbStringGridEx grid(nullptr);
    grid.setDefaultColumnWidth(78);
    grid.setDefaultRowHeight(18);
    grid.setColCount(7);
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(grid.columnWidth(c), 78) << c;
    EXPECT_EQ(grid.defaultRowHeight(), 18);
    EXPECT_EQ(grid.rowHeight(0), 18);
}
