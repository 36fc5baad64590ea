#pragma once

#include "platform/sql_connection.h"
#include "report/engine/chart.h"
#include "report/engine/page_document.h"
#include "report/engine/dataset.h"
#include "report/engine/filler.h"
#include "report/engine/template.h"
#include "support/qt_printers.h"
#include "support/temp_project.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <QThread>
#include <memory>

// A dataset made by a real query on a real database file in a temporary project.
class SqlFixture {
public:
    SqlFixture() { db.open(project.file(QStringLiteral("sqlite.db"))); }

    ReportDataset& run(const QString& sql)
    {
        SqlStatement statement = db.prepare(sql);
        data.setResult(statement);
        return data;
    }

    TempProject project;
    SqlConnection db;
    ReportDataset data;
};

// Rows written as SQL: "SELECT 'a' AS name, 1 AS n UNION ALL SELECT ..." without a table.
inline QString rowsSql(const QStringList& selects)
{
    return selects.join(QStringLiteral(" UNION ALL "));
}

inline ReportTemplate templateOf(const QString& xml)
{
    return ReportTemplateFormat::read(xml.toUtf8(), QStringLiteral("test.xml"));
}

inline std::unique_ptr<PageDocument> fillOf(const QString& xml, const ReportDataset* data)
{
    const ReportTemplate t = templateOf(xml);
    ReportFiller filler(t, data, QStringLiteral("test.xml"));
    filler.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    filler.setNow(QDateTime(QDate(2024, 3, 5), QTime(14, 30)));
    return filler.fill();
}

// The text boxes of a page as "y:text" with y in millimetres, one decimal: the golden form.
inline QStringList textsOf(const PageDocument& doc, int page)
{
    QStringList out;
    const PageRef p = doc.page(page);
    for (const PageBox& b : p->boxes)
        if (b.kind == PageBox::Kind::Text)
            out << QString::number(b.y, 'f', 1) + u':' + p->text(b).toString();
    return out;
}

// Every text of every page, "page|text".
inline QStringList allTexts(const PageDocument& doc)
{
    QStringList out;
    for (int i = 0; i < doc.pageCount(); ++i) {
        const PageRef p = doc.page(i);
        for (const PageBox& b : p->boxes)
            if (b.kind == PageBox::Kind::Text)
                out << QString::number(i + 1) + u'|' + p->text(b).toString();
    }
    return out;
}

// Charts as "y|category=value;..." per chart box on a page: the golden form of their points.
inline QStringList chartsOf(const PageDocument& doc, int page)
{
    QStringList out;
    const PageRef p = doc.page(page);
    for (const PageBox& b : p->boxes) {
        if (b.kind != PageBox::Kind::Chart)
            continue;
        QStringList points;
        for (const ChartPoint& point : chartPoints(p->text(b)))
            points << point.category + u'=' + QString::number(point.value);
        out << QString::number(b.y, 'f', 1) + u'|' + points.join(u';');
    }
    return out;
}

// Runs work on a thread with a 1 MB stack, what the main thread has on Windows: recursion that
// the 8 MB of a Linux main thread hides shows there. The sanitizers' frames are several times
// larger, and so is their stack.
template <class Work>
void onSmallStack(Work work)
{
#if defined(__SANITIZE_ADDRESS__)
    constexpr uint size = 4 * 1024 * 1024;
#else
    constexpr uint size = 1024 * 1024;
#endif
    std::unique_ptr<QThread> thread(QThread::create(std::move(work)));
    thread->setStackSize(size);
    thread->start();
    thread->wait();
}
