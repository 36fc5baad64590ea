// The designer window's levels: the report, or a sub-report opened in it to edit its own bands.
#include "report/ui/designer_window.h"

#include "platform/lang.h"
#include "report/ui/designer_level_bar.h"

#include <QAction>

void ReportDesignerWindow::openSubreport(const ObjectRef& ref)
{
    if (m_view->inPlaceEditor())
        m_view->finishInPlaceEdit(true);
    if (m_document->openSubreport(ref))
        m_view->scrollToStart();
}

void ReportDesignerWindow::leaveSubreport(int depth)
{
    if (m_view->inPlaceEditor())
        m_view->finishInPlaceEdit(true);
    m_document->leaveSubreport(depth);
}

void ReportDesignerWindow::showLevel()
{
    m_shownPath = m_document->path();
    const bool inside = m_document->inSubreport();
    m_scene->setSubreportLevel(inside);
    // Inside a sub-report the title, detail and summary commands add its header, detail and footer.
    m_actions.value(QStringLiteral("band.title"))->setText(Lang.caption(inside ? "Sub-report header" : "Report title"));
    m_actions.value(QStringLiteral("band.detail"))->setText(Lang.caption(inside ? "Sub-report detail" : "Detail"));
    m_actions.value(QStringLiteral("band.summary"))->setText(Lang.caption(inside ? "Sub-report footer" : "Summary"));
}
