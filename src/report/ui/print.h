#pragma once

#include "report/engine/progress.h"

class PageDocument;
class QPrinter;
class QWidget;

// Asks for the printer, the page range and the copies in the print dialog, then prints. False
// when the user cancelled.
bool printWithDialog(const PageDocument& pages, QWidget* parent, const ReportProgress& progress = {});

// Prints on a printer the caller has set up, within the printer's page range.
void printPages(const PageDocument& pages, QPrinter& printer, const ReportProgress& progress = {});
