#include "platform/spreadsheet_writer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CellCase {
    const char* locale;
    const char* text;
    SpreadsheetCell::Kind kind;
    double number;      // Number
    const char* stamp;  // Date, DateTime, Time: the value as yyyy-MM-dd HH:mm:ss
};

} // namespace

TEST(SpreadsheetCell, TypedLookingTextsBecomeNumbersAndDatesOthersStayTexts)
{
    using K = SpreadsheetCell::Kind;
    const CellCase cases[] = {
        {"en_US", "42", K::Number, 42, ""},
        {"en_US", "-7", K::Number, -7, ""},
        {"en_US", "0", K::Number, 0, ""},
        {"en_US", "12.5", K::Number, 12.5, ""},
        {"en_US", "1,234.5", K::Number, 1234.5, ""},
        {"ru_RU", "12,5", K::Number, 12.5, ""},
        // The database's own notation is a number whatever the region writes.
        {"ru_RU", "12.5", K::Number, 12.5, ""},
        {"en_US", "1/5/85", K::Date, 0, "1985-01-05 00:00:00"},
        {"en_US", "3/4/21", K::Date, 0, "2021-03-04 00:00:00"},
        {"ru_RU", "05.01.1985", K::Date, 0, "1985-01-05 00:00:00"},
        {"ru_RU", "05.01.1985 14:30:00", K::DateTime, 0, "1985-01-05 14:30:00"},
        {"en_US", "2024-02-29", K::Date, 0, "2024-02-29 00:00:00"},
        {"en_US", "2024-02-29 08:15:00", K::DateTime, 0, "2024-02-29 08:15:00"},
        {"ru_RU", "14:30", K::Time, 0, "1899-12-31 14:30:00"},
        // Texts that would lose something as numbers or are not numbers at all.
        {"en_US", "0123", K::Text, 0, ""},
        {"en_US", "+47 22 33 44 55", K::Text, 0, ""},
        {"en_US", "1234567890123456", K::Text, 0, ""},
        {"en_US", " 42", K::Text, 0, ""},
        {"en_US", "1e5", K::Text, 0, ""},
        {"en_US", "12 apples", K::Text, 0, ""},
        {"en_US", "Smith", K::Text, 0, ""},
        {"en_US", "", K::Text, 0, ""},
        {"en_US", "2024-02-30", K::Text, 0, ""},
        {"en_US", "Yes", K::Text, 0, ""},
    };
    for (const CellCase& c : cases) {
        const SpreadsheetCell cell = spreadsheetCell(QString::fromUtf8(c.text), QLocale(QString::fromLatin1(c.locale)));
        SCOPED_TRACE(std::string(c.locale) + " \"" + c.text + "\"");
        EXPECT_EQ(cell.kind, c.kind);
        if (c.kind == K::Number) {
            EXPECT_DOUBLE_EQ(cell.number, c.number);
        } else if (c.kind != K::Text) {
            EXPECT_EQ(cell.dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(),
                      c.stamp);
            EXPECT_FALSE(cell.format.isEmpty());
        }
    }
}

TEST(SpreadsheetCell, DatesKeepTheirRegionalLookInTheWorkbook)
{
    EXPECT_EQ(spreadsheetCell(QStringLiteral("05.01.1985"), QLocale(QStringLiteral("ru_RU"))).format,
              QStringLiteral("dd.mm.yyyy"));
    EXPECT_EQ(spreadsheetCell(QStringLiteral("1/5/85"), QLocale(QStringLiteral("en_US"))).format,
              QStringLiteral("m/d/yy"));
}

TEST(SpreadsheetWriter, WritesAWorkbookOfTitlesAndTypedCells)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("grid.xlsx"));
    writeSpreadsheet(name, {{"Name", "Born", "Qty"}, {"Lee", "1/5/85", "3"}, {"", "", ""}},
                     QLocale(QStringLiteral("en_US")));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), QByteArray("PK"));
}
