#pragma once

#include <QString>
#include <functional>

class QWidget;
class Report;
class ReportDataset;

// The report designer as its callers see it: one modal window over the report's template.
class ReportDesigner {
public:
    // Opens the designer, modal and top-level (not a child of the caller), on the report's
    // template and file name, with the adapter's fields; returns when the author closes it.
    // The report then holds what the author last opened or saved in it.
    static void open(Report& report, ReportDataset* adapter, const QString& openFolder, const QString& saveFolder,
                     QWidget* caller);

    // Takes the place of the window while set, so that tests of the callers do not block.
    using OpenHook = std::function<void(Report& report, ReportDataset* adapter, const QString& openFolder,
                                        const QString& saveFolder, QWidget* caller)>;
    static void setOpenHook(OpenHook hook);
};
