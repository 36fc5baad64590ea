#include "platform/wide_text.h"

#include <QLocale>

namespace {

constexpr char16_t FirstWideCharacter = 247;

bool& lettersKept()
{
    static bool kept = false;
    return kept;
}

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

void SetLettersKeptAsTyped(bool kept)
{
    lettersKept() = kept;
}

bool LettersKeptAsTyped()
{
    return lettersKept();
}

QString ToDisplayText(const QString& text)
{
    return !lettersKept() && HasWideCharacter(text) ? sentenceCase(text) : text;
}

QString ToStoredCase(const QString& text)
{
    return !lettersKept() && HasWideCharacter(text) ? QLocale().toUpper(text) : text;
}

QString ToSearchCase(const QString& text)
{
    return lettersKept() ? text : QLocale().toUpper(text);
}
