#include "report/report_designer.h"

#include "report/report_designer_window.h"

#include <QEventLoop>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

ReportDesigner::OpenHook& openHook()
{
    static ReportDesigner::OpenHook hook;
    return hook;
}

} // namespace

void ReportDesigner::setOpenHook(OpenHook hook)
{
    openHook() = std::move(hook);
}

void ReportDesigner::open(Report& report, ReportDataset* adapter, const QString& openFolder, const QString& saveFolder,
                          QWidget* caller)
{
    if (openHook()) {
        openHook()(report, adapter, openFolder, saveFolder, caller);
        return;
    }
    ReportDesignerWindow window(report, adapter, openFolder, saveFolder);
    window.setWindowModality(Qt::ApplicationModal);
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
    QEventLoop loop;
    QObject::connect(&window, &ReportDesignerWindow::closed, &loop, &QEventLoop::quit);
    window.show();
    window.raise();
    window.activateWindow();
    loop.exec();
}
