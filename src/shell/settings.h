#pragma once

#include <QString>

class QAction;

// settings.ini in the project folder: the database location and the report-designer switch
// in section Options. Nothing is cached; every call opens the file.
QString settingsFileName();

// The configured database file name (empty when none). When the key mniReport exists, the
// report-designer item is shown for a non-zero integer and hidden otherwise.
QString LoadOptions(QAction* reportDesignerItem);

// Writes the database choice: the application folder deletes the key server; an explicit
// file name (when not empty) is written as server. Throws FileError when the file cannot be
// written.
void SaveOptions(bool useAppFolder, const QString& fileName);

// Stores the column count and widths of every grid that has been filled, section Grids,
// under form.grid.ColCount and form.grid.<column>. Grids never filled keep their earlier
// entries. Throws FileError when the file cannot be written.
void SaveGridSettings();

// Restores the column count and widths of every grid from section Grids; absent keys leave
// the grid as it is. A count above 2000 or a width above 100,000 is taken as not a number.
void LoadGridSettings();
