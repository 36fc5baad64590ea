#pragma once

#include "report/engine/page_document.h"

#include <QRectF>
#include <QString>

// Word processors place each text of a page in a frame of its own and lay it out again with
// their own font metrics, which run a little wider or narrower than ours: a text our layout
// fits on one line would wrap there, and the frame would cut its second line off. So a text
// keeps the lines our layout gives it, broken where the page breaks them, and its frame is
// wider than its box towards the side the text runs to (right of a text aligned left, left of
// one aligned right, both ways for a centred one), so the text stays where the page has it.
struct TextFrame {
    QRectF rect;   // millimetres on the page
    QString text;  // the lines, separated by '\n'
    double top = 0; // where the first line starts below the frame's top, as the page places it
};

TextFrame textFrame(const Page& page, const PageBox& box, const TextStyle& style);
