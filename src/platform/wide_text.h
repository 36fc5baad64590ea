#pragma once

#include <QString>

// The wide-character rule of stored texts. SQLite folds only ASCII letters when it compares
// without regard to case, so a text holding a character of code 247 (U+00F7) or higher (every
// non-Latin script) is kept in upper case, where a LIKE search finds it whatever the case it
// was typed in, and is shown in sentence case.

// True when the text holds a character of code 247 or higher.
bool HasWideCharacter(const QString& text);

// A text read from the database as the controls show it: sentence case when it holds a wide
// character, otherwise unchanged.
QString ToDisplayText(const QString& text);

// A text as the database keeps it: upper case when it holds a wide character.
QString ToStoredCase(const QString& text);
