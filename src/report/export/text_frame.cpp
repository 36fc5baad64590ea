#include "report/export/text_frame.h"

#include "report/engine/text_layout.h"

#include <algorithm>

TextFrame textFrame(const Page& page, const PageBox& box, const TextStyle& style)
{
    const QFont font = reportFont(style.font);
    const QStringView text = page.text(box);
    TextFrame frame;
    QStringList lines = textLines(text, style, font, box.width);
    // Spaces that start or end a line move it on the page (texts padded to line up): a word
    // processor lets spaces at a line's end hang past the margin and gives those at its start
    // widths of its own, so they become fixed spaces, which count as the page counts them.
    for (QString& line : lines) {
        for (qsizetype i = 0; i < line.size() && line[i] == u' '; ++i)
            line[i] = QChar(0x00A0);
        if (style.hAlign == HAlign::Right || style.hAlign == HAlign::Center)
            for (qsizetype i = line.size(); i > 0 && line[i - 1] == u' '; --i)
                line[i - 1] = QChar(0x00A0);
    }
    frame.text = lines.join(u'\n');

    // Half the box again and a little more is room enough for any font that is not wildly off.
    const double slack = box.width * 0.5 + 5;
    const double left = box.x, right = box.x + box.width;
    double x0 = left, x1 = right;
    switch (style.hAlign) {
    case HAlign::Right: x0 = std::max(0.0, left - slack); break;
    case HAlign::Center: {
        const double side = std::clamp(std::min(left, double(page.width) - right), 0.0, slack / 2);
        x0 = left - side;
        x1 = right + side;
        break;
    }
    case HAlign::Left:
    case HAlign::Justify: x1 = std::max(right, std::min(double(page.width), right + slack)); break;
    }
    frame.rect = QRectF(x0, box.y, x1 - x0, box.height);

    const double used = textHeight(text, style, font, box.width);
    frame.top = textPaddingY;
    if (style.vAlign == VAlign::Middle)
        frame.top += std::max(0.0, (box.height - used) / 2);
    else if (style.vAlign == VAlign::Bottom)
        frame.top += std::max(0.0, box.height - used);
    return frame;
}
