// The parameter dialog, and the designer's editors of parameters, style rules, visibility and
// page numbers per group, with F5 asking for the parameters.
#include "platform/lang.h"
#include "report/report_windows.h"
#include "report/ui/designer_panels.h"
#include "report/ui/designer_window.h"
#include "report/ui/parameter_dialog.h"
#include "report/ui/preview.h"
#include "report_fixture.h"
#include "support/scripted_desktop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

std::vector<ReportParameter> parametersOf(const char* xml)
{
    return templateOf(QString::fromUtf8(xml)).parameters;
}

const char* const Asking = R"(<report version="2"><parameters>
    <parameter name="count" caption="How many" kind="integer" default="3"/>
    <parameter name="rate" kind="number" default="0.5"/>
    <parameter name="paid" caption="Paid" kind="boolean" default="true"/>
    <parameter name="day" kind="date" default="2024-02-29"/>
</parameters></report>)";

class ParameterDialog : public testing::Test {
protected:
    void SetUp() override { desk = &ScriptedDesktop::install(); }
    void TearDown() override { Lang.fillEnglish(); }
    ScriptedDesktop* desk = nullptr;
};

// The values typed in come back typed; a number that is none is told, and the window stays
// until it is put right.
TEST_F(ParameterDialog, TakesTypedValuesAndRefusesIllTypedOnes)
{
    const std::vector<ReportParameter> parameters = parametersOf(Asking);
    desk->windowAnswers.push_back([this](QWidget& window) {
        auto& dialog = static_cast<QDialog&>(window);
        auto* count = window.findChild<QLineEdit*>("count");
        auto* rate = window.findChild<QLineEdit*>("rate");
        EXPECT_EQ(count->text(), "3");
        EXPECT_EQ(rate->text(), "0.5");
        EXPECT_TRUE(window.findChild<QCheckBox*>("paid")->isChecked());
        EXPECT_EQ(window.findChild<QDateEdit*>("day")->date(), QDate(2024, 2, 29));
        count->clear();
        QTest::keyClicks(count, "twelve");
        window.findChild<QPushButton*>("ok")->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(desk->texts(), QStringList({"\"How many\" must be a whole number."}));
        count->clear();
        QTest::keyClicks(count, "12");
        rate->clear();
        QTest::keyClicks(rate, "2.25");
        window.findChild<QCheckBox*>("paid")->click();
        window.findChild<QDateEdit*>("day")->setDate(QDate(2025, 1, 31));
        window.findChild<QPushButton*>("ok")->click();
        return dialog.result() == QDialog::Accepted;
    });
    const std::optional<ParameterValues> values = AskReportParameters(
        parameters, ReportParameters::complete(templateOf(QString::fromUtf8(Asking)), {}), {}, nullptr);
    ASSERT_TRUE(values.has_value());
    ASSERT_EQ(values->size(), 4u);
    EXPECT_EQ((*values)[0].value.type, ReportValue::Type::Integer);
    EXPECT_EQ((*values)[0].value.integer, 12);
    EXPECT_EQ((*values)[1].value.real, 2.25);
    EXPECT_FALSE((*values)[2].value.isTrue());
    EXPECT_EQ(ReportParameters::write((*values)[3].value), "2025-01-31");
    EXPECT_EQ(desk->windows.size(), 1);
}

// Cancel gives nothing; a template without parameters asks nothing at all.
TEST_F(ParameterDialog, CancelGivesNothingAndNoParametersAskNothing)
{
    desk->windowAnswers.push_back([](QWidget& window) {
        window.findChild<QPushButton*>("cancel")->click();
        return static_cast<QDialog&>(window).result() == QDialog::Accepted;
    });
    EXPECT_FALSE(AskReportParameters(parametersOf(Asking), {}, {}, nullptr).has_value());
    EXPECT_TRUE(AskReportParameters({}, {}, {}, nullptr).has_value());
    EXPECT_EQ(desk->windows.size(), 1);
}

// In Russian the window and its message read in Russian; numbers are typed as the user's
// locale writes them.
TEST_F(ParameterDialog, SpeaksTheUsersLanguage)
{
    Lang.fillRussian();
    desk->locale = QLocale(QLocale::Russian, QLocale::Russia);
    QString title;
    desk->windowAnswers.push_back([&](QWidget& window) {
        title = window.windowTitle();
        EXPECT_EQ(window.findChild<QLineEdit*>("rate")->text(), "0,5");
        window.findChild<QLineEdit*>("count")->setText("x");
        window.findChild<QPushButton*>("ok")->click();
        window.findChild<QLineEdit*>("count")->setText("7");
        window.findChild<QLineEdit*>("rate")->setText("1,5");
        window.findChild<QPushButton*>("ok")->click();
        return static_cast<QDialog&>(window).result() == QDialog::Accepted;
    });
    const std::optional<ParameterValues> values = AskReportParameters(
        parametersOf(Asking), ReportParameters::complete(templateOf(QString::fromUtf8(Asking)), {}), {}, nullptr);
    EXPECT_EQ(title, QString::fromUtf8("Параметры отчета"));
    EXPECT_EQ(desk->texts(), QStringList({QString::fromUtf8("\"How many\" должно быть целым числом.")}));
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ((*values)[1].value.real, 1.5);
}

// The designer: F5 asks for the parameters, binds them to the template's query and shows them;
// the parameters, a text's rules, visibility and page numbers per group are edited in the panel.
class DesignerAdditions : public testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        sql.db.execute("CREATE TABLE t (name TEXT); INSERT INTO t VALUES ('Ann'), ('O''Neil'), ('Bo');");
        DesignerSession session;
        session.reportTemplate = templateOf(QStringLiteral(R"(<report version="2">
            <parameters><parameter name="who" caption="Who" kind="text" default="Ann"/></parameters>
            <query>SELECT name FROM t WHERE name &lt;&gt; :who ORDER BY name</query>
            <group expression="Report.name"><header height="5"/></group>
            <detail height="6"><text x="0" y="0" width="50" height="6">[Report.name] not [Param.who]</text></detail>
            </report>)"));
        session.runQuery = [this](const QString& query, ReportDataset& into, bool columnsOnly, const SqlParams& params) {
            bound.push_back(params);
            SqlStatement statement = sql.db.prepare(query, params);
            if (!columnsOnly)
                into.setResult(statement);
            else
                into.reset({statement.columnName(0)});
        };
        window = std::make_unique<ReportDesignerWindow>(session);
        window->resize(1200, 800);
        window->show();
    }

    ScriptedDesktop* desk = nullptr;
    SqlFixture sql;
    std::vector<SqlParams> bound;
    std::unique_ptr<ReportDesignerWindow> window;
};

TEST_F(DesignerAdditions, PreviewAsksForTheParametersAndRemembersTheAnswers)
{
    bool found = false, foundLeftOut = true;
    desk->windowAnswers.push_back([](QWidget& window) {
        auto* who = window.findChild<QLineEdit*>("who");
        EXPECT_EQ(who->text(), "Ann");
        who->setText("O'Neil");
        window.findChild<QPushButton*>("ok")->click();
        return true;
    });
    desk->windowAnswers.push_back([&](QWidget& window) {
        auto& preview = static_cast<ReportPreview&>(window);
        found = preview.findNext("Ann not O'Neil");
        foundLeftOut = preview.findNext("O'Neil not");
        return false;
    });
    window->action("preview")->trigger();
    ASSERT_TRUE(desk->messages.empty()) << desk->texts().join('\n').toStdString();
    EXPECT_TRUE(found);
    EXPECT_FALSE(foundLeftOut);
    ASSERT_FALSE(bound.empty());
    EXPECT_EQ(bound.back().front().first, "who");
    EXPECT_EQ(bound.back().front().second.toText(), "O'Neil");

    // The next F5 shows the last answer first; Cancel shows no preview.
    QString shown;
    desk->windows.clear();
    desk->windowAnswers.push_back([&](QWidget& window) {
        shown = window.findChild<QLineEdit*>("who")->text();
        return false;
    });
    window->action("preview")->trigger();
    EXPECT_EQ(shown, "O'Neil");
    EXPECT_EQ(desk->windows.size(), 1);
}

TEST_F(DesignerAdditions, TheNewPropertiesAreEditedInThePanel)
{
    // The page: the parameters in their own window, one undoable change.
    window->setSelection(DesignerSelection());
    ASSERT_NE(window->properties()->editor("parameters"), nullptr);
    EXPECT_EQ(qobject_cast<QLineEdit*>(window->properties()->editor("parameters"))->text(), "who");
    desk->windowAnswers.push_back([](QWidget& window) {
        auto* table = window.findChild<QTableWidget*>("table");
        EXPECT_EQ(table->rowCount(), 1);
        window.findChild<QPushButton*>("add")->click();
        table->item(1, 0)->setText("since");
        qobject_cast<QComboBox*>(table->cellWidget(1, 2))->setCurrentIndex(3); // date
        table->item(1, 3)->setText("2024-13-01");
        window.findChild<QPushButton*>("ok")->click(); // refused: no such month
        table->item(1, 3)->setText("2024-12-01");
        window.findChild<QPushButton*>("ok")->click();
        return static_cast<QDialog&>(window).result() == QDialog::Accepted;
    });
    window->properties()->findChild<QToolButton*>("parameters-button")->click();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_TRUE(desk->messages[0].text.contains("must be a date written yyyy-mm-dd")) << desk->messages[0].text.toStdString();
    ASSERT_EQ(window->model().parameters.size(), 2u);
    EXPECT_EQ(window->model().parameters[1].name, "since");
    EXPECT_EQ(window->model().parameters[1].kind, ParameterKind::Date);
    EXPECT_EQ(window->model().parameters[1].defaultValue, "2024-12-01");
    window->undoStack()->undo();
    EXPECT_EQ(window->model().parameters.size(), 1u);

    // A text: its rules in their window, its visibility as an expression.
    const ObjectRef text{BandRef{BandKind::Detail, -1}, 0};
    window->setSelection(DesignerSelection::ofObjects({text}));
    desk->windowAnswers.push_back([](QWidget& window) {
        auto* table = window.findChild<QTableWidget*>("table");
        window.findChild<QPushButton*>("add")->click();
        table->item(0, 0)->setText("Report.name = 'Bo'");
        table->item(0, 1)->setText("#ff0000");
        qobject_cast<QComboBox*>(table->cellWidget(0, 3))->setCurrentIndex(1); // bold
        window.findChild<QPushButton*>("ok")->click();
        return static_cast<QDialog&>(window).result() == QDialog::Accepted;
    });
    window->properties()->findChild<QToolButton*>("rules-button")->click();
    ASSERT_EQ(window->model().detail->objects[0].rules.size(), 1u);
    const StyleRule& rule = window->model().detail->objects[0].rules[0];
    EXPECT_EQ(rule.condition, "Report.name = 'Bo'");
    EXPECT_EQ(rule.color, QColor(Qt::red));
    EXPECT_EQ(rule.bold, true);
    EXPECT_FALSE(rule.italic.has_value());
    EXPECT_EQ(qobject_cast<QLineEdit*>(window->properties()->editor("rules"))->text(), "Report.name = 'Bo'");
    auto* visible = qobject_cast<QLineEdit*>(window->properties()->editor("visible"));
    ASSERT_NE(visible, nullptr);
    visible->setText("Report.name <> 'Ann'");
    emit visible->editingFinished();
    EXPECT_EQ(window->model().detail->objects[0].visible, "Report.name <> 'Ann'");

    // A band's visibility and a group's page numbers.
    window->setSelection(DesignerSelection::ofBand(BandRef{BandKind::GroupHeader, 0}));
    auto* bandVisible = qobject_cast<QLineEdit*>(window->properties()->editor("band-visible"));
    ASSERT_NE(bandVisible, nullptr);
    bandVisible->setText("Line > 1");
    emit bandVisible->editingFinished();
    EXPECT_EQ(window->model().groups[0].header->visible, "Line > 1");
    auto* reset = qobject_cast<QCheckBox*>(window->properties()->editor("reset-page-numbers"));
    ASSERT_NE(reset, nullptr);
    reset->click();
    EXPECT_TRUE(window->model().groups[0].resetPageNumbers);
}

} // namespace
