#pragma once

#include <QString>

class ExportFilter;
class QWidget;

// Asks the user where the filter writes and, for page pictures, at which resolution and
// quality. The file dialog proposes the file the filter wrote last; given a suggested name, it
// proposes that name in the folder the user last exported to in this session instead. False
// when the user cancelled.
bool askExportTarget(ExportFilter& filter, QWidget* parent, const QString& suggestedName = QString());
