#include "report/export/text_frame.h"

#include "report/engine/text_layout.h"

#include <algorithm>

TextFrame textFrame(const Page& page, const PageBox& box, const TextStyle& style)
{
    const QFont font = reportFont(style.font);
    const QStringView text = page.text(box);
    TextFrame frame;
    frame.text = textLines(text, style, font, box.width).join(u'\n');

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
