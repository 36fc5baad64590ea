#pragma once

#include <QString>

// The wide-character rule of stored texts. SQLite folds only ASCII letters when it compares
// without regard to case, so a text holding a character of code 247 (U+00F7) or higher (every
// non-Latin script) is kept in upper case, where a LIKE search finds it whatever the case it
// was typed in, and is shown in sentence case.
//
// A database can instead keep letters as typed (the switch is stored in the database, so that
// every program that opens it agrees): texts are then stored as typed and shown as stored, and
// searches ignore letter case in every script. The switch below says which of the two the
// open database follows; it is set when the database is opened.
void SetLettersKeptAsTyped(bool kept);
bool LettersKeptAsTyped();

// True when the text holds a character of code 247 or higher.
bool HasWideCharacter(const QString& text);

// A text read from the database as the controls show it: sentence case when it holds a wide
// character, otherwise unchanged. Unchanged always where letters are kept as typed.
QString ToDisplayText(const QString& text);

// A text as the database keeps it: upper case when it holds a wide character. Unchanged
// where letters are kept as typed.
QString ToStoredCase(const QString& text);

// A typed search text as it goes into a case-insensitive match: in the stored case under the
// wide-character rule (upper case by the regional rules), as typed where letters are kept.
QString ToSearchCase(const QString& text);
