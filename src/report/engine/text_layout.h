#pragma once

#include "report/engine/template.h"

#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPainter;

// Texts are laid out at one fixed resolution, whatever the device: fonts are sized in pixels
// of 1/720 inch and the painter is scaled to that grid, so the measure taken while filling
// is the measure the screen, the printer and the PDF draw with.
constexpr double reportUnitsPerMm = 720.0 / 25.4;
// Room between a text and its box edges, in millimetres.
constexpr double textPaddingX = 0.5;
constexpr double textPaddingY = 0.25;

QFont reportFont(const FontSpec& style);

// The height, in millimetres, a text needs in a box of that width.
double textHeight(QStringView text, const TextStyle& style, const QFont& font, double widthMm);

// The box, in millimetres, that shows the text whole without wrapping: its widest line and
// all its lines, with the padding.
QSizeF textSize(QStringView text, const QFont& font);

// The lines a text is drawn in, in a box that wide: its own lines, each wrapped where the page
// wraps it. Documents that lay texts out with other font metrics keep these lines.
QStringList textLines(QStringView text, const TextStyle& style, const QFont& font, double widthMm);

// Draws a text into a box given in layout units (1/720 inch).
void drawReportText(QPainter& painter, QStringView text, const TextStyle& style, const QFont& font,
                    const QRectF& box);
