#pragma once

#include <QString>

// The project folder is the folder of the executable; every project file is looked up there.
// The returned path always ends with a separator. Tests point it at a temporary folder.
QString ExeFolder();
void setExeFolder(const QString& folder);
