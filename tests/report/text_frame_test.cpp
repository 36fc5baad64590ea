// The frames word-processor documents give the page's texts: wide enough that a text laid out
// with other font metrics is not wrapped again or cut off, meeting the box on the side the text
// is aligned to, with the lines and padding spaces the page has.
#include "report/engine/page_document.h"
#include "report/engine/text_layout.h"
#include "report/export/text_frame.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    HAlign align;
    double x, width;
    const char* text;
    double left, right; // the frame's edges expected, or -1: beyond the box's edge
    const char* shown;  // the frame's text ('~' a fixed space, '|' a line break)
};

} // namespace

TEST(TextFrame, FramesRunPastTheBoxTowardsTheTextsEndAndKeepItsLinesAndSpaces)
{
    const Case cases[] = {
        {HAlign::Left, 126, 43, "andersson16@example.com", 126, -1, "andersson16@example.com"},
        {HAlign::Right, 145, 30, "962.00  ", -1, 175, "962.00~~"},
        {HAlign::Left, 0, 95, "  Product", 0, -1, "~~Product"},
        {HAlign::Center, 80, 20, "VIP", -1, -1, "VIP"},
        // Near the paper's edge the frame stops there.
        {HAlign::Left, 190, 20, "Northwind", 190, 210, "Northwind"},
        {HAlign::Right, 0, 30, "Page 1 of 2", 0, 30, "Page 1 of 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Page page;
        page.width = 210;
        PageBox box;
        box.x = float(c.x);
        box.y = 10;
        box.width = float(c.width);
        box.height = 6;
        page.setText(box, QString::fromUtf8(c.text));
        TextStyle style;
        style.hAlign = c.align;
        const TextFrame f = textFrame(page, box, style);
        if (c.left >= 0) {
            EXPECT_NEAR(f.rect.left(), c.left, 0.001);
        } else {
            EXPECT_LT(f.rect.left(), c.x - 1);
        }
        if (c.right >= 0) {
            EXPECT_NEAR(f.rect.right(), c.right, 0.001);
        } else {
            EXPECT_GT(f.rect.right(), c.x + c.width + 1);
        }
        if (c.align == HAlign::Center) {
            EXPECT_NEAR(f.rect.center().x(), c.x + c.width / 2, 0.001);
        }
        EXPECT_EQ(f.rect.top(), 10);
        EXPECT_EQ(f.rect.height(), 6);
        QString shown = f.text;
        shown.replace(QChar(0x00A0), u'~').replace(u'\n', u'|');
        EXPECT_EQ(shown, QString::fromUtf8(c.shown));
    }
}

// A wrapped text keeps the page's line breaks, and a text centred down its box starts where the
// page draws it.
TEST(TextFrame, WrappedTextsKeepThePagesLinesAndCentredOnesTheirDrop)
{
    Page page;
    PageBox box;
    box.width = 30;
    box.height = 60;
    const QString text = QStringLiteral("Coffee beans from the highlands, roasted in small batches");
    page.setText(box, text);
    TextStyle style;
    style.wordWrap = true;
    const QStringList lines = textLines(text, style, reportFont(style.font), box.width);
    ASSERT_GT(lines.size(), 1);
    EXPECT_EQ(textFrame(page, box, style).text, lines.join(u'\n'));
    EXPECT_EQ(lines.join(u' '), text) << "no word is lost at a break";

    style.vAlign = VAlign::Middle;
    const double used = textHeight(text, style, reportFont(style.font), box.width);
    ASSERT_LT(used, box.height);
    EXPECT_NEAR(textFrame(page, box, style).top, (box.height - used) / 2 + textPaddingY, 0.001);
}
