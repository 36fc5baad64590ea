#pragma once

#include "report/ui/designer_window.h"

#include <QString>
#include <optional>

class ExportFilter;
class QWidget;
class Report;
class ReportDataset;

// The windows a report brings up, for the actions and the shell. Every one of them comes up
// through the desktop services, so that tests script them like any other dialog.
class ReportWindows {
public:
    // The pages in the preview window, modal over parent; prepared first when none are, or
    // anew when discardPrevious.
    static void preview(Report& report, QWidget* parent, bool discardPrevious = true);
    // The print dialog, then the printer (prepared first when needed). False when cancelled.
    static bool print(Report& report, QWidget* parent);
    // Writes through the filter, asking the user for the file and the filter's settings first
    // when the filter's show-dialog flag is set. False when cancelled.
    static bool exportTo(Report& report, ExportFilter& filter, QWidget* parent);
    // Asks for the values of the template's parameters in one dialog, their defaults shown
    // first; a choice takes its values from runQuery. Nothing when the user cancels; a
    // template without parameters asks nothing.
    static std::optional<ParameterValues> askParameters(const ReportTemplate& reportTemplate, QWidget* parent,
                                                        const ReportQueryRunner& runQuery = {});

    // The designer, modal and top-level (not a child of the caller), on the report's template
    // and file name with the adapter's fields (else those of the report's last dataset); a
    // template with its own query takes its fields and rows from runQuery instead. Returns when
    // the author closes it. The report then holds what the author last opened or saved.
    static void openDesigner(Report& report, ReportDataset* adapter, const QString& openFolder,
                             const QString& saveFolder, QWidget* caller, ReportQueryRunner runQuery = {});
    // What openDesigner opens the window on.
    static DesignerSession designerSession(Report& report, ReportDataset* adapter, const QString& openFolder,
                                           const QString& saveFolder, ReportQueryRunner runQuery = {});
};
