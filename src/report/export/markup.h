#pragma once

#include <QByteArray>
#include <QColor>
#include <QStringView>

// The small conversions every markup the filters write needs.

// Markup escaping of a text: & < > always, quotes for attribute values.
void appendEscaped(QByteArray& out, QStringView text, bool attribute = false);
QByteArray escaped(QStringView text, bool attribute = false);
// A text as OpenDocument paragraph content: runs of spaces, tabs and line breaks as its elements
// (a line break ends the paragraph and opens the next, whose opening tag is given).
void appendOdfText(QByteArray& out, QStringView text, const QByteArray& paragraphOpen);
// A length with at most three decimals and no trailing zeros ("12.5").
QByteArray number(double value);
// The same in millimetres ("12.5mm").
QByteArray mm(double value);
// "#rrggbb".
QByteArray hexColor(const QColor& color);
// A check box where only characters go: a ballot box, ticked or empty.
QStringView checkBoxText(bool checked);
