#pragma once

#include <QColor>
#include <QPalette>

// Colours as the designer writes them: hexadecimal 00BBGGRR is an explicit colour with red in
// the lowest byte; FF0000nn is system colour number nn, mapped onto the Qt palette.
namespace Colors {

constexpr qint32 WindowBackground = static_cast<qint32>(0xFF000005); // edit boxes
constexpr qint32 ButtonFace = static_cast<qint32>(0xFF00000F);       // buttons, dialogs
constexpr qint32 Black = 0;

QColor fromToolkit(qint32 value, const QPalette& palette);
QColor fromToolkit(qint32 value); // with the application's palette

} // namespace Colors
