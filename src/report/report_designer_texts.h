#pragma once

#include <QString>

// The designer's captions: the English text is the key, the Russian one is looked up when the
// program speaks Russian. A text without a translation stays English.
QString designerText(const char* english);

// True when every English text the designer shows has a Russian translation.
bool designerTextTranslated(const char* english);
