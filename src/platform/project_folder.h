#pragma once

#include <QString>

// The project folder is the folder of the executable; every project file is looked up there.
// The returned path always ends with a separator. An installed engine is shown its project
// folder instead (UseProjectFolder); tests point it at a temporary folder.
QString ExeFolder();
void setExeFolder(const QString& folder);

// Makes folder (relative to the working folder, or absolute) the project folder when it holds
// forms.xml. Otherwise tells the user why not through the desktop services, leaves the project
// folder as it was and returns false.
bool UseProjectFolder(const QString& folder);

// Asks the user for the project's forms.xml in a file dialog and makes its folder the project
// folder; a folder that is refused is told and the question asked again. False when the user
// cancelled.
bool ChooseProjectFolder();
