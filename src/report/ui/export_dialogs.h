#pragma once

class ExportFilter;
class QWidget;

// Asks the user where the filter writes (the file dialog proposes the file it wrote last) and,
// for page pictures, at which resolution and quality. False when the user cancelled.
bool askExportTarget(ExportFilter& filter, QWidget* parent);
