// Sub-reports, detail columns and label sheets in the designer: placed from the palette, set up
// in the properties panel, shown by F5 and saved in the template file.
#include "platform/lang.h"
#include "platform/sql_connection.h"
#include "report/engine/dataset.h"
#include "report/engine/template.h"
#include "report/report.h"
#include "report/report_windows.h"
#include "report/ui/designer_panels.h"
#include "report/ui/designer_view.h"
#include "report/ui/designer_window.h"
#include "report/ui/preview.h"
#include "support/scripted_desktop.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

const BandRef Detail{BandKind::Detail};

class DesignerSubreport : public ::testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        Lang.fillEnglish();
        db.open(dir.path() + "/shop.db");
        db.execute("CREATE TABLE product (name TEXT); INSERT INTO product VALUES ('Coffee'), ('Tea');"
                   "CREATE TABLE stock (product TEXT, store TEXT);"
                   "INSERT INTO stock VALUES ('Coffee', 'Oslo'), ('Coffee', 'Bergen'), ('Tea', 'Tromsø');");
        SqlStatement rows = db.prepare("SELECT name AS product FROM product ORDER BY name");
        data.setResult(rows);
        report.setSubreportSource([this](const QString& sql) { return db.prepareBound(sql); });
        report.loadTemplateText(QString::fromUtf8(
            R"(<report version="1"><detail height="8"><text x="0" y="0" width="50" height="6">[Report.product]</text></detail></report>)"));
        report.setTemplateFileName(QString());
        window = std::make_unique<ReportDesignerWindow>(ReportWindows::designerSession(report, &data, dir.path(), dir.path()));
        window->resize(1300, 900);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->view()->setZoom(200);
        window->setSnap(true, 1);
    }

    void TearDown() override { Lang.fillEnglish(); }

    // What the SQL editor opened by the "..." beside the property is given.
    void writeSql(const QString& key, const QString& text)
    {
        desk->windowAnswers.push_back([text](QWidget& shown) {
            auto* sql = shown.findChild<QPlainTextEdit*>("sql");
            if (!sql)
                return false;
            sql->setPlainText(text);
            return true;
        });
        auto* button = window->properties()->findChild<QToolButton*>(key + "-button");
        ASSERT_NE(button, nullptr) << key.toStdString();
        button->click();
    }

    ScriptedDesktop* desk = nullptr;
    QTemporaryDir dir;
    SqlConnection db;
    ReportDataset data;
    Report report;
    std::unique_ptr<ReportDesignerWindow> window;
};

TEST_F(DesignerSubreport, PlacedFromThePaletteSetUpInThePanelAndShownByF5)
{
    // The palette's sub-report drawn below the product's name.
    window->action("tool.subreport")->trigger();
    QWidget* viewport = window->view()->viewport();
    const QPoint from = window->view()->viewPoint(Detail, {5, 7});
    const QPoint to = window->view()->viewPoint(Detail, {120, 12});
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, (from + to) / 2);
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    const Band& detail = *window->model().detail;
    ASSERT_EQ(detail.objects.size(), 2u);
    const ReportObject& sub = detail.objects[1];
    ASSERT_EQ(sub.kind, ObjectKind::Subreport);
    EXPECT_EQ(sub.name, "Sub1");
    EXPECT_EQ(sub.rect, QRectF(5, 7, 115, 5));
    EXPECT_GE(detail.height, 12.0);
    if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
        window->grab().save(qEnvironmentVariable("VARNEL_SCREENSHOTS") + "/designer_subreport.png");

    // Its query and a parameter, written in the SQL editor beside each in the panel.
    window->setSelection(DesignerSelection::ofObjects({{Detail, 1}}));
    writeSql("subreport-query", "SELECT store AS n FROM stock WHERE product = :product AND store <> :skip ORDER BY store");
    writeSql("parameters", "skip = 'Bergen' & ''\n");
    const ReportObject& set = window->model().detail->objects[1];
    EXPECT_EQ(set.subreport->query, "SELECT store AS n FROM stock WHERE product = :product AND store <> :skip ORDER BY store");
    ASSERT_EQ(set.subreport->parameters.size(), 1u);
    EXPECT_EQ(set.subreport->parameters[0].value, "'Bergen' & ''");

    // F5: each product with its stores, through the report's database.
    QStringList found;
    desk->windowAnswers.push_back([&found](QWidget& shown) {
        auto* preview = qobject_cast<ReportPreview*>(&shown);
        if (!preview)
            return false;
        for (const char* text : {"Coffee", "Oslo", "Bergen", "Tea", "Tromsø"})
            if (preview->findNext(QString::fromUtf8(text)))
                found << QString::fromUtf8(text);
        return true;
    });
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join('\n').toStdString();
    EXPECT_EQ(found, QStringList({"Coffee", "Oslo", "Tea", QString::fromUtf8("Tromsø")}));

    // Saved, the file holds it and reads back as the designer has it.
    desk->fileAnswers.push_back(dir.path() + "/stock.xml");
    window->action("saveAs")->trigger();
    const ReportTemplate saved = ReportTemplateFormat::readFile(dir.path() + "/stock.xml");
    EXPECT_EQ(saved, window->model());
    EXPECT_EQ(saved.detail->objects[1].subreport->detail->objects.at(0).text, "[Sub1.n]");
}

TEST_F(DesignerSubreport, ColumnsBelongToTheDetailBandAndLabelSheetsToThePage)
{
    // The detail band offers columns; the page header does not.
    window->action("band.pageHeader")->trigger();
    window->setSelection(DesignerSelection::ofBand({BandKind::PageHeader}));
    EXPECT_EQ(window->properties()->editor("columns"), nullptr);
    window->setSelection(DesignerSelection::ofBand(Detail));
    auto* columns = qobject_cast<QComboBox*>(window->properties()->editor("columns"));
    ASSERT_NE(columns, nullptr);
    columns->setCurrentIndex(2);
    emit columns->activated(2);
    auto* order = qobject_cast<QComboBox*>(window->properties()->editor("column-order"));
    ASSERT_NE(order, nullptr);
    order->setCurrentIndex(1);
    emit order->activated(1);
    EXPECT_EQ(window->model().detail->columns, 3);
    EXPECT_EQ(window->model().detail->columnOrder, ColumnOrder::Down);

    // A label sheet on the page sets the paper and the margins and takes the columns over.
    window->setSelection({});
    auto* labels = qobject_cast<QComboBox*>(window->properties()->editor("labels"));
    ASSERT_NE(labels, nullptr);
    labels->setCurrentIndex(1);
    emit labels->activated(1);
    EXPECT_EQ(window->model().page.labels, "L7160");
    EXPECT_EQ(window->model().page.marginLeft, 7.2);
    EXPECT_EQ(window->model().detail->columns, 1);
    desk->fileAnswers.push_back(dir.path() + "/labels.xml");
    window->action("saveAs")->trigger();
    EXPECT_EQ(ReportTemplateFormat::readFile(dir.path() + "/labels.xml"), window->model());
    window->undoStack()->undo();
    EXPECT_TRUE(window->model().page.labels.isEmpty());
    EXPECT_EQ(window->model().detail->columns, 3);
}

} // namespace
