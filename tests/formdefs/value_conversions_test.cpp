#include "formdefs/value_conversions.h"

#include <QColor>
#include <gtest/gtest.h>

using namespace FormValues;

TEST(FormValues, IntegersFallBackToTheirDefault)
{
    struct Case {
        const char* text;
        qint32 expected;
    } cases[] = {
        {"640", 640},          {"  120", 120},        {"-15", -15},          {"+7", 7},
        {"$1F", 31},           {"x1f", 31},           {"0x1F", 31},          {"0X10", 16},
        {"$FF000005", -16777211}, {"-16777211", -16777211}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        // the default (99) for anything else
        {"", 99},              {"abc", 99},           {"12px", 99},          {"12 ", 99},
        {"2147483648", 99},    {"$", 99},             {"0x", 99},            {"1.5", 99},
        {"$123456789", 99},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toInteger(QString::fromLatin1(c.text), 99), c.expected) << c.text;
}

TEST(FormValues, OnlyTheExactWordTrueIsAFlag)
{
    EXPECT_TRUE(toFlag("True"));
    for (const char* text : {"true", "TRUE", "1", "", " True", "True "})
        EXPECT_FALSE(toFlag(QString::fromLatin1(text))) << text;
}

TEST(FormValues, ColoursUseTheToolkitEncoding)
{
    EXPECT_EQ(toColor("$00FF0000", 0), QColor(0, 0, 255));
    EXPECT_EQ(toColor("16711680", 0), QColor(0, 0, 255));
    EXPECT_EQ(toColor("$000000FF", 0), QColor(255, 0, 0));
    EXPECT_EQ(toColor("$00123456", 0), QColor(0x56, 0x34, 0x12));
    // invalid text gives the default encoding
    EXPECT_EQ(toColor("blue", 0x0000FF00), QColor(0, 255, 0));
}

TEST(FormValues, NamesMatchExactlyOrLeaveTheValue)
{
    enum Fruit { Apple, Pear };
    const std::pair<const char16_t*, Fruit> names[] = {{u"fApple", Apple}, {u"fPear", Pear}};
    EXPECT_EQ(toNamed(QStringLiteral("fPear"), names), Pear);
    EXPECT_EQ(toNamed(QStringLiteral("fpear"), names), std::nullopt);
    EXPECT_EQ(toNamed(QString(), names), std::nullopt);
}

TEST(FormValues, AnchorsNeedExactlyFourCharacters)
{
    using S = Anchors::Sides;
    EXPECT_EQ(toAnchors("2222"), (S{true, true, true, true}));
    EXPECT_EQ(toAnchors("2020"), (S{true, false, true, false}));
    EXPECT_EQ(toAnchors("0000"), (S{false, false, false, false}));
    EXPECT_EQ(toAnchors("0x2y"), (S{false, false, true, false}));
    EXPECT_EQ(toAnchors("22"), std::nullopt);
    EXPECT_EQ(toAnchors(""), std::nullopt);
    EXPECT_EQ(toAnchors("22220"), std::nullopt);
}

TEST(FormValues, FilterOperatorsAreNormalisedPerKind)
{
    struct Case {
        const char* text;
        const char* edit;
        const char* picker;
        const char* calendar;
    } cases[] = {
        {"=", "=", "=", "="},
        {">", ">", ">", ">"},
        {">=", ">=", ">=", ">="},
        {"<", "<", "<", "<"},
        {"<=", "<=", "<=", "<="},
        {"(=", "<=", "<=", "="},
        {")=", ">=", ">=", "="},
        {")", ">", ">", "="},
        {"(", "<", "<", "="},
        {"%s%", "%s%", "=", "="},
        {"", "=", "=", "="},
        {"<>", "=", "=", "="},
        {"()", "=", "=", "="},
        {"LIKE", "=", "=", "="},
        {" =", "=", "=", "="},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(normalizeFilter(text, FilterKind::Edit), c.edit) << c.text;
        EXPECT_EQ(normalizeFilter(text, FilterKind::DateTimePicker), c.picker) << c.text;
        EXPECT_EQ(normalizeFilter(text, FilterKind::MonthCalendar), c.calendar) << c.text;
    }
}

TEST(FormValues, OnlyBackslashRBackslashNBecomesALineBreak)
{
    EXPECT_EQ(restoreLineBreaks(R"(DELETE FROM a;\r\nDELETE FROM b;)"),
              "DELETE FROM a;\r\nDELETE FROM b;");
    EXPECT_EQ(restoreLineBreaks(R"(a\nb)"), R"(a\nb)");
    EXPECT_EQ(restoreLineBreaks(R"(a\r\r\n\nb)"), "a\\r\r\n\\nb");
}
