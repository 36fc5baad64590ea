#include "platform/convert.h"
#include "platform/day_count.h"

#include <gtest/gtest.h>

TEST(Convert, IntegerTextAsTheDesignerWritesIt)
{
    struct Case {
        const char* text;
        qint32 expected;
    } cases[] = {
        {"42", 42}, {"  42", 42}, {"-7", -7}, {"+7", 7}, {"$FF", 255}, {"xff", 255},
        {"X10", 16}, {"0x10", 16}, {"0XFF", 255}, {"$FF000005", -16777211},
        {"-16777211", -16777211}, {"$00FF0000", 16711680}, {"2147483647", 2147483647},
        {"-2147483648", qint32(-2147483647 - 1)}, {"-$FF", -255},
        // not integers: the default (-1) applies
        {"", -1}, {"abc", -1}, {"12abc", -1}, {"12 ", -1}, {"1.5", -1}, {"2147483648", -1},
        {"$1FFFFFFFF", -1}, {"$", -1}, {"0x", -1}, {"-", -1}, {"True", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrToIntDef(QString::fromLatin1(c.text), -1), c.expected) << c.text;
}

TEST(DayCount, StoredTextRoundTripsAndDayZero)
{
    EXPECT_EQ(DayCount::toStoredText(0.0), "1899-12-30 00:00:00.000");
    EXPECT_EQ(DayCount::toStoredText(0.75), "1899-12-30 18:00:00.000");
    const double march5 = *DayCount::parseStoredDays("2014-03-05 14:05:09.000");
    EXPECT_EQ(DayCount::toStoredText(march5), "2014-03-05 14:05:09.000");
    EXPECT_EQ(DayCount::toStoredText(DayCount::wholeDays(march5)), "2014-03-05 00:00:00.000");
    EXPECT_EQ(DayCount::toStoredText(DayCount::timeOfDay(march5)), "1899-12-30 14:05:09.000");
    EXPECT_DOUBLE_EQ(DayCount::wholeDays(march5), 41703.0);
}

TEST(DayCount, ParsesTheStoredFormAndItsShorterForms)
{
    struct Case {
        const char* text;
        const char* stored; // nullptr: not parsable
    } cases[] = {
        {"2014-03-05", "2014-03-05 00:00:00.000"},
        {"2014-03-05 14:05", "2014-03-05 14:05:00.000"},
        {"2014-03-05 14:05:09.123", "2014-03-05 14:05:09.000"},
        {"14:05:09", "1899-12-30 14:05:09.000"},
        {"abc", nullptr},
        {"", nullptr},
        {"2014-02-30", nullptr},
        {"2014-03-05T14:05", nullptr},
        {"25:00", nullptr},
    };
    for (const Case& c : cases) {
        const auto days = DayCount::parseStoredDays(QString::fromLatin1(c.text));
        if (!c.stored) {
            EXPECT_FALSE(days.has_value()) << c.text;
            continue;
        }
        ASSERT_TRUE(days.has_value()) << c.text;
        EXPECT_EQ(DayCount::toStoredText(*days), QString::fromLatin1(c.stored)) << c.text;
    }
}
