#pragma once

#include <QString>
#include <optional>

// Integer text as the designer's files write it: optional leading blanks, an optional sign,
// then decimal digits or hexadecimal digits after "$", "x", "X", "0x" or "0X".
// Hexadecimal text of up to eight digits is taken as a 32-bit pattern.
std::optional<qint32> parseInt32(const QString& text);

// parseInt32, or the given default when the text is not such an integer.
qint32 StrToIntDef(const QString& text, qint32 defaultValue);

// True when the text is an integer in the sense of parseInt32.
inline bool isInt32(const QString& text) { return parseInt32(text).has_value(); }
