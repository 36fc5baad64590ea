#include "report/report_windows.h"

#include "platform/desktop_services.h"
#include "report/engine/page_document.h"
#include "report/engine/template.h"
#include "report/report.h"
#include "report/ui/export_dialogs.h"
#include "report/ui/parameter_dialog.h"
#include "report/ui/preview.h"
#include "report/ui/print.h"

#include <QFileInfo>
#include <QScreen>
#include <QWidget>
#include <algorithm>

void ReportWindows::preview(Report& report, QWidget* parent, bool discardPrevious)
{
    if (!report.prepare(discardPrevious))
        return;
    ReportPreview window(*report.pages(), report.filters(), parent);
    window.setReportName(!report.reportTemplate().name.isEmpty() ? report.reportTemplate().name
                                                                 : QFileInfo(report.templateFileName()).completeBaseName());
    desktop().runModal(window);
}

bool ReportWindows::print(Report& report, QWidget* parent)
{
    return report.prepare(false) && printWithDialog(*report.pages(), parent, report.progress());
}

bool ReportWindows::exportTo(Report& report, ExportFilter& filter, QWidget* parent)
{
    if (filter.showDialog() && !askExportTarget(filter, parent))
        return false;
    return report.exportTo(filter);
}

std::optional<ParameterValues> ReportWindows::askParameters(const ReportTemplate& reportTemplate, QWidget* parent,
                                                            const ReportQueryRunner& runQuery)
{
    return AskReportParameters(reportTemplate.parameters, ReportParameters::complete(reportTemplate, {}), runQuery,
                               parent);
}

DesignerSession ReportWindows::designerSession(Report& report, ReportDataset* adapter, const QString& openFolder,
                                               const QString& saveFolder, ReportQueryRunner runQuery)
{
    DesignerSession session;
    session.reportTemplate = report.reportTemplate();
    session.fileName = report.templateFileName();
    session.data = adapter ? adapter : (report.datasets().empty() ? nullptr : report.datasets().back());
    session.openFolder = openFolder;
    session.saveFolder = saveFolder;
    session.filters = &report.filters();
    session.runQuery = std::move(runQuery);
    session.subreports = report.subreportSource();
    session.keep = [&report](const ReportTemplate& t, const QString& fileName) {
        report.clear();
        report.reportTemplate() = t;
        report.setTemplateFileName(fileName);
    };
    return session;
}

void ReportWindows::openDesigner(Report& report, ReportDataset* adapter, const QString& openFolder,
                                 const QString& saveFolder, QWidget* caller, ReportQueryRunner runQuery)
{
    ReportDesignerWindow window(designerSession(report, adapter, openFolder, saveFolder, std::move(runQuery)));
    if (caller) {
        const QRect area = caller->window()->frameGeometry();
        QRect frame = window.frameGeometry();
        frame.moveCenter(area.center());
        if (const QScreen* screen = caller->screen()) {
            const QRect a = screen->availableGeometry();
            frame.moveLeft(std::clamp(frame.left(), a.left(), std::max(a.left(), a.right() - frame.width())));
            frame.moveTop(std::clamp(frame.top(), a.top(), std::max(a.top(), a.bottom() - frame.height())));
        }
        window.move(frame.topLeft());
    }
    desktop().runModal(window);
}
