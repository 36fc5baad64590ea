// The demo's report of the orders between two dates: its button asks for the dates, and the
// report holds the orders of those days alone.
#include "actions/record_actions.h"
#include "app_fixture.h"
#include "demo_project.h"
#include "report/engine/page_document.h"
#include "report/report.h"
#include "shell/main_window.h"

#include <QDateEdit>
#include <QDialog>
#include <QPushButton>

namespace {

TEST(DemoPeriodReport, TheButtonAsksForTheDatesAndReportsTheOrdersBetweenThem)
{
    RunningApp app(demoFile("tables.ini"), demoFile("forms.xml"));
    app.db().execute(QString::fromUtf8(demoFile("sample_data.sql")));
    QDir(app.project.path()).mkpath("Report");
    for (const QString& name : QDir(VARNEL_SOURCE_DIR "/examples/demo/Report").entryList(QDir::Files))
        app.project.write("Report/" + name, demoFile("Report/" + name));

    QDate shownFrom, shownTo;
    app.desk.windowAnswers.push_back([&](QWidget& window) {
        auto* from = window.findChild<QDateEdit*>("from");
        auto* to = window.findChild<QDateEdit*>("to");
        if (!from || !to)
            return false;
        shownFrom = from->date();
        shownTo = to->date();
        from->setDate(QDate(2024, 8, 15));
        to->setDate(QDate(2024, 11, 10));
        window.findChild<QPushButton*>("ok")->click();
        return static_cast<QDialog&>(window).result() == QDialog::Accepted;
    });
    app.click("frmOrders", "bOrdPeriod");
    ASSERT_TRUE(app.desk.messages.empty()) << app.desk.texts().join('\n').toStdString();
    EXPECT_EQ(shownFrom, QDate(2024, 1, 1));
    EXPECT_EQ(shownTo, QDate(2024, 12, 31));

    // Both end days count: the orders of 15 August and of 10 November (09:15) are in.
    const QueryResult expected = app.db().query(
        "SELECT number FROM orders WHERE ordered >= '2024-08-15' AND ordered < '2024-11-11' ORDER BY ordered, number");
    ASSERT_GE(expected.rows.size(), 2u);
    const ReportDataset& rows = app.main->actions().reportData();
    ASSERT_EQ(rows.rowCount(), qsizetype(expected.rows.size()));
    QStringList numbers;
    for (qsizetype r = 0; r < rows.rowCount(); ++r)
        numbers << rows.value(r, 0).text();
    EXPECT_TRUE(numbers.contains("ORD-2401"));
    EXPECT_TRUE(numbers.contains("ORD-2403"));
    EXPECT_FALSE(numbers.contains("ORD-2402"));
    EXPECT_EQ(numbers.first(), expected.rows.front()[0].toText());

    const PageDocument* pages = app.main->actions().report().pages();
    ASSERT_NE(pages, nullptr);
    const PageRef first = pages->page(0);
    QStringList texts;
    for (const PageBox& b : first->boxes)
        texts << first->text(b).toString();
    EXPECT_TRUE(texts.contains("From 15 August 2024 to 10 November 2024")) << texts.join('|').toStdString();
}

} // namespace
