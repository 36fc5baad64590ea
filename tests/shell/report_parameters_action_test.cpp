// A report button whose template asks for parameters: one dialog before the query runs, the
// answers bound to the query (never pasted into it), Cancel running nothing.
#include "actions/record_actions.h"
#include "app_fixture.h"
#include "platform/lang.h"
#include "report/engine/dataset.h"
#include "report/engine/page_document.h"
#include "report/report.h"
#include "shell/main_window.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QByteArray Tables = "[customers]\n-name=TEXT\n_city=TEXT\n";

const QByteArray FormsXml = R"(<main>
<frmMain>
  <TdbButton Name="bAsks" dbActionType="adbReport" dbReportFile="asks.xml" dbReportOpenIn="rpoPreview"/>
  <TdbButton Name="bAsksOwnQuery" dbActionType="adbReport" dbReportFile="asks.xml" dbReportOpenIn="rpoPreview"
             dbSQL="SELECT name, city FROM customers WHERE city = :city ORDER BY name"/>
</frmMain>
</main>)";

const QByteArray AsksTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="2">
  <parameters>
    <parameter name="who" caption="Leave out" kind="text" default="Ann"/>
    <parameter name="city" caption="City" kind="choice">SELECT DISTINCT city, 'in ' || city FROM customers ORDER BY city</parameter>
    <parameter name="since" caption="Since" kind="date" default="2024-03-05"/>
  </parameters>
  <query>SELECT name, city FROM customers WHERE name &lt;&gt; :who AND city = :city ORDER BY name</query>
  <title height="10"><text x="0" y="0" width="80" height="8" format="date:dd.MM.yyyy">[Param.city] since [Param.since]</text></title>
  <detail height="6"><text x="0" y="0" width="80" height="6">[Report.name]</text></detail>
</report>)";

class ReportParametersAction : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(Tables, FormsXml, GetParam());
        QDir(app->project.path()).mkpath("Report");
        app->project.write("Report/asks.xml", AsksTemplate);
        app->load("INSERT INTO customers (id, name, city) VALUES (1, 'Ann', 'Oslo'), (2, 'Bo', 'Oslo'), "
                  "(3, 'O''Neil \"Jr\"', 'Oslo'), (4, 'Cy', 'Rome')");
    }
    ReportDataset& data() { return app->main->actions().reportData(); }
    QStringList pageTexts()
    {
        QStringList out;
        const PageDocument* pages = app->main->actions().report().pages();
        if (!pages)
            return out;
        const PageRef page = pages->page(0);
        for (const PageBox& b : page->boxes)
            out << page->text(b).toString();
        return out;
    }

    std::unique_ptr<RunningApp> app;
};

// The person types into the dialog's fields and presses OK, as the keyboard does it.
std::function<bool(QWidget&)> answer(const QString& who, const QString& city, QStringList* seen = nullptr)
{
    return [who, city, seen](QWidget& window) {
        auto& dialog = static_cast<QDialog&>(window);
        auto* whoEdit = window.findChild<QLineEdit*>("who");
        auto* cityBox = window.findChild<QComboBox*>("city");
        auto* since = window.findChild<QDateEdit*>("since");
        EXPECT_NE(whoEdit, nullptr);
        EXPECT_NE(cityBox, nullptr);
        EXPECT_NE(since, nullptr);
        if (!whoEdit || !cityBox || !since)
            return false;
        if (seen) {
            *seen << window.windowTitle() << whoEdit->text() << since->date().toString(Qt::ISODate);
            for (int i = 0; i < cityBox->count(); ++i)
                *seen << cityBox->itemText(i) + '=' + cityBox->itemData(i).toString();
        }
        whoEdit->selectAll();
        QTest::keyClicks(whoEdit, who);
        cityBox->setCurrentIndex(cityBox->findData(city));
        window.findChild<QPushButton*>("ok")->click();
        return dialog.result() == QDialog::Accepted;
    };
}

TEST_P(ReportParametersAction, TheDialogAsksOnceAndTheAnswersAreBound)
{
    QStringList seen;
    app->desk.windowAnswers.push_back(answer("O'Neil \"Jr\"", "Oslo", &seen));
    app->statements.clear();
    app->click("frmMain", "bAsks");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    // The dialog with the defaults and the choices of its query, then the preview.
    EXPECT_EQ(seen, QStringList({"Report parameters", "Ann", "2024-03-05", "in Oslo=Oslo", "in Rome=Rome"}));
    ASSERT_EQ(app->desk.windows.size(), 2);
    // The query's text is the template's: the values never went into it.
    ASSERT_FALSE(app->statements.isEmpty());
    EXPECT_TRUE(app->statements.last().contains(":who")) << app->statements.last().toStdString();
    EXPECT_FALSE(app->statements.join(' ').contains("Neil"));
    ASSERT_EQ(data().rowCount(), 2);
    EXPECT_EQ(data().value(0, 0).text(), "Ann");
    EXPECT_EQ(data().value(1, 0).text(), "Bo");
    EXPECT_EQ(pageTexts(), QStringList({"Oslo since 05.03.2024", "Ann", "Bo"}));
}

// A button with a query of its own binds the same answers.
TEST_P(ReportParametersAction, TheButtonsOwnQueryBindsThemToo)
{
    app->desk.windowAnswers.push_back(answer("x", "Rome"));
    app->click("frmMain", "bAsksOwnQuery");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    ASSERT_EQ(data().rowCount(), 1);
    EXPECT_EQ(data().value(0, 0).text(), "Cy");
}

// Cancel runs nothing: no query, no preview, the rows of the last report stay.
TEST_P(ReportParametersAction, CancelRunsNothing)
{
    app->desk.windowAnswers.push_back(answer("x", "Rome"));
    app->click("frmMain", "bAsks");
    ASSERT_EQ(data().rowCount(), 1);
    app->statements.clear();
    app->desk.windows.clear();
    app->desk.windowAnswers.push_back([](QWidget& window) {
        window.findChild<QPushButton*>("cancel")->click();
        return static_cast<QDialog&>(window).result() == QDialog::Accepted;
    });
    app->click("frmMain", "bAsks");
    EXPECT_EQ(app->desk.windows.size(), 1); // the dialog alone
    for (const QString& sql : app->statements)
        EXPECT_FALSE(sql.contains(":who")) << sql.toStdString();
    ASSERT_EQ(data().rowCount(), 1);
    EXPECT_EQ(data().value(0, 0).text(), "Cy");
    EXPECT_TRUE(app->desk.messages.empty());
}

VARNEL_ON_BOTH_BACKENDS(ReportParametersAction);

} // namespace
