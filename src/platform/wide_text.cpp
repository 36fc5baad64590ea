#include "platform/wide_text.h"

#include <QLocale>

namespace {

constexpr char16_t FirstWideCharacter = 247;

qsizetype firstCharacterLength(const QString& text)
{
    return text.size() >= 2 && text.front().isHighSurrogate() && text[1].isLowSurrogate() ? 2 : 1;
}

QString sentenceCase(const QString& text)
{
    const QLocale locale;
    const QString lower = locale.toLower(text);
    const qsizetype head = firstCharacterLength(lower);
    return locale.toUpper(lower.left(head)) + lower.mid(head);
}

} // namespace

bool HasWideCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= FirstWideCharacter)
            return true;
    }
    return false;
}

QString ToDisplayText(const QString& text)
{
    return HasWideCharacter(text) ? sentenceCase(text) : text;
}

QString ToStoredCase(const QString& text)
{
    return HasWideCharacter(text) ? QLocale().toUpper(text) : text;
}
