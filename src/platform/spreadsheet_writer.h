#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Writes a workbook of one sheet: every cell as text, the first row shaded light grey, thin
// borders on all cells and texts shrunk to fit. Throws FileError when the file cannot be
// written.
void writeSpreadsheet(const QString& fileName, const QList<QStringList>& rows);
