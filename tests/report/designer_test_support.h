#pragma once

#include "report/ui/designer_panels.h"
#include "report/ui/preview.h"
#include "support/scripted_desktop.h"
#include "report/ui/designer_window.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// Drags a field from the designer's Data panel and drops it at pos on the sheet, as the mouse
// would: enter, move (which must be accepted), drop.
inline void dropDesignerField(ReportDesignerWindow& window, QWidget* viewport, const QString& field, QPoint pos)
{
    const QList<QListWidgetItem*> items = window.fieldList()->findItems(field, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << field.toStdString();
    std::unique_ptr<QMimeData> mime(window.fieldList()->mimeData(items));
    QDragEnterEvent enter(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    ASSERT_TRUE(move.isAccepted());
    QDropEvent drop(QPointF(pos), Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
}

// F5 in the designer: the pages the preview showed, -1 when none was shown.
inline int designerPreviewPages(ReportDesignerWindow& window, ScriptedDesktop& desk)
{
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    int pages = -1;
    desk.windowAnswers.push_back([&pages](QWidget& shown) {
        if (auto* preview = qobject_cast<ReportPreview*>(&shown))
            pages = preview->pageCount();
        return true;
    });
    QTest::keyClick(&window, Qt::Key_F5);
    if (pages < 0)
        desk.windowAnswers.clear();
    return pages;
}
