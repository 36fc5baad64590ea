#pragma once

#include <QString>

// The notes of row n that the crash child saves: long enough that a row spans several
// database pages, and derived from n so that a half-written row cannot pass for a whole one.
inline QString crashChildNotes(int n)
{
    return QString(6000, QChar(u'a' + n % 26)) + QString::number(n);
}
