// Sub-reports, detail columns and label sheets in the designer: placed from the palette, set up
// in the properties panel, opened to lay out their own bands, shown by F5 and saved in the
// template file; the designer's choice lists in the user's language.
#include "platform/lang.h"
#include "platform/sql_connection.h"
#include "designer_test_support.h"
#include "report/engine/dataset.h"
#include "report/engine/template.h"
#include "report/report.h"
#include "report/report_windows.h"
#include "report/ui/designer_dialogs.h"
#include "report/ui/designer_level_bar.h"
#include "report/ui/designer_model.h"
#include "report/ui/designer_panels.h"
#include "report/ui/designer_view.h"
#include "report/ui/designer_window.h"
#include "report/ui/preview.h"
#include "support/scripted_desktop.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QTableWidget>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

const BandRef Detail{BandKind::Detail};
// Inside a sub-report its header stands as the title and its footer as the summary.
const BandRef Header{BandKind::ReportTitle};

// Each product with the stores that stock it.
const char* const Stock = R"(<report version="2" name="Stock">
    <detail height="20">
        <text x="0" y="0" width="50" height="6">[Report.product]</text>
        <subreport name="Stores" x="10" y="7" width="100" height="10">
            <query>SELECT store, product FROM stock WHERE product = :product ORDER BY store</query>
            <detail height="5"><text x="0" y="0" width="40" height="5">[Stores.store]</text></detail>
        </subreport>
    </detail>
</report>)";

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

    // The template opened in the designer from a file, the window active for its shortcuts.
    void openTemplate(const char* xml)
    {
        QFile file(dir.path() + "/opened.xml");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xml);
        file.close();
        ASSERT_TRUE(window->openFile(file.fileName())) << desk->texts().join('\n').toStdString();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    QWidget* viewport() const { return window->view()->viewport(); }
    QPoint at(const BandRef& band, double x, double y) const { return window->view()->viewPoint(band, {x, y}); }

    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport(), (from + to) / 2);
        QTest::mouseMove(viewport(), to);
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, to);
    }

    void dropField(const QString& field, QPoint pos) { dropDesignerField(*window, viewport(), field, pos); }

    QStringList fields() const
    {
        QStringList names;
        for (int i = 0; i < window->fieldList()->count(); ++i)
            names << window->fieldList()->item(i)->text();
        return names;
    }

    QStringList levels() const
    {
        QStringList names;
        for (int depth = 0;; ++depth) {
            auto* button = window->levelBar()->findChild<QToolButton*>(QStringLiteral("level%1").arg(depth));
            if (!button)
                return names;
            names << button->text();
        }
    }

    const Subreport& stores(const ReportTemplate& t) const { return *t.detail->objects.at(1).subreport; }

    // The texts the preview shows, as found by its search.
    QStringList previewFinds(const QStringList& texts)
    {
        QStringList found;
        desk->windowAnswers.push_back([&found, texts](QWidget& shown) {
            auto* preview = qobject_cast<ReportPreview*>(&shown);
            if (!preview)
                return false;
            for (const QString& text : texts)
                if (preview->findNext(text))
                    found << text;
            return true;
        });
        QTest::keyClick(window.get(), Qt::Key_F5);
        return found;
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

// A sub-report opens on the sheet with its own bands: a header from the band commands, fields of
// its own query dropped and drawn, moved by keys, copied, pasted and deleted; back in the report,
// the file's <subreport> holds them, reads back the same and F5 shows them.
TEST_F(DesignerSubreport, ItsOwnBandsAreLaidOutOnTheSheetAndSavedInsideIt)
{
    openTemplate(Stock);
    EXPECT_EQ(levels(), QStringList({"Stock"}));
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, at(Detail, 50, 12));
    ASSERT_TRUE(window->document().inSubreport());
    EXPECT_EQ(window->model().name, "Stores");
    EXPECT_EQ(levels(), QStringList({"Stock", "Sub-report Stores"}));
    EXPECT_EQ(window->model().detail->objects.at(0).text, "[Stores.store]");
    // Its query's columns are the fields; a report's page bands and groups are not offered.
    EXPECT_EQ(fields(), QStringList({"store", "product"}));
    EXPECT_FALSE(window->action("band.pageHeader")->isEnabled());
    EXPECT_FALSE(window->action("band.group")->isEnabled());
    EXPECT_EQ(window->action("band.title")->text(), "Sub-report header");
    window->setSelection(DesignerSelection::ofBand(Detail));
    EXPECT_EQ(window->properties()->editor("columns"), nullptr);

    window->action("band.title")->trigger();
    ASSERT_TRUE(window->model().title);
    EXPECT_EQ(window->model().title->height, 6.0);
    // A field dropped on the detail band brings its title into the sub-report's header.
    dropField("product", at(Detail, 45, 0));
    ASSERT_EQ(window->model().detail->objects.size(), 2u);
    EXPECT_EQ(window->model().detail->objects[1].text, "[Stores.product]");
    ASSERT_EQ(window->model().title->objects.size(), 1u);
    EXPECT_EQ(window->model().title->objects[0].text, "Product");
    QTest::keyClick(window->view(), Qt::Key_Right);
    EXPECT_EQ(window->model().detail->objects[1].rect.x(), 46.0);
    // The band is made taller by its lower edge, and set from the panel.
    ASSERT_EQ(window->model().detail->height, 6.0);
    drag(at(Detail, 90, 6), at(Detail, 90, 9));
    EXPECT_EQ(window->model().detail->height, 9.0);
    window->setSelection(DesignerSelection::ofBand(Detail));
    auto* height = qobject_cast<QDoubleSpinBox*>(window->properties()->editor("height"));
    ASSERT_NE(height, nullptr);
    height->setValue(7);
    EXPECT_EQ(window->model().detail->height, 7.0);
    // Copied into the header and deleted there by keys.
    window->setSelection(DesignerSelection::ofObjects({{Detail, 0}}));
    QTest::keyClick(window.get(), Qt::Key_C, Qt::ControlModifier);
    window->setSelection(DesignerSelection::ofBand(Header));
    QTest::keyClick(window.get(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(window->model().title->objects.size(), 2u);
    EXPECT_EQ(window->model().title->objects[1].text, "[Stores.store]");
    QTest::keyClick(window->view(), Qt::Key_Delete);
    EXPECT_EQ(window->model().title->objects.size(), 1u);
    // A text drawn with the palette in the detail band.
    window->action("tool.text")->trigger();
    drag(at(Detail, 70, 1), at(Detail, 90, 5));
    ASSERT_EQ(window->model().detail->objects.size(), 3u);
    EXPECT_EQ(window->model().detail->objects[2].rect, QRectF(70, 1, 20, 4));
    QApplication::processEvents();
    EXPECT_TRUE(window->levelBar()->findChild<QToolButton*>("level1")->isVisible());
    if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
        window->grab().save(qEnvironmentVariable("VARNEL_SCREENSHOTS") + "/designer_subreport_bands_en.png");

    // Back in the report, the sub-report selected; the report's own bands are as they were.
    window->setSelection(DesignerSelection::ofObjects({{Detail, 1}}));
    QTest::keyClick(window->view(), Qt::Key_Up, Qt::AltModifier);
    ASSERT_FALSE(window->document().inSubreport());
    EXPECT_EQ(window->selection(), DesignerSelection::ofObjects({{Detail, 1}}));
    EXPECT_EQ(fields(), QStringList({"product"}));
    EXPECT_EQ(window->model().detail->objects.size(), 2u);
    const Subreport& edited = stores(window->report());
    ASSERT_TRUE(edited.header);
    EXPECT_EQ(edited.header->kind, BandKind::GroupHeader);
    EXPECT_EQ(edited.detail->objects.size(), 3u);
    EXPECT_EQ(edited.detail->objects[1].rect.topLeft(), QPointF(46, 0)); // Alt+Up left it where it was
    QApplication::processEvents();
    if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
        window->grab().save(qEnvironmentVariable("VARNEL_SCREENSHOTS") + "/designer_subreport_outer_en.png");

    desk->fileAnswers.push_back(dir.path() + "/stock.xml");
    window->action("saveAs")->trigger();
    QFile file(dir.path() + "/stock.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(xml.contains(QRegularExpression("<subreport name=\"Stores\"[^>]*>\\s*<query>[^<]*</query>\\s*<header height=\"[0-9.]+\">"
                                                "\\s*<text[^>]*>Product</text>")))
        << xml.toStdString();
    const ReportTemplate saved = ReportTemplateFormat::readFile(dir.path() + "/stock.xml");
    EXPECT_EQ(saved, window->report());
    // Opened again, the sub-report shows the bands it was saved with.
    ASSERT_TRUE(window->openFile(dir.path() + "/stock.xml"));
    window->openSubreport({Detail, 1});
    EXPECT_EQ(window->model().title, *subreportLevel(saved, {{Detail, 1}})->title);
    EXPECT_EQ(window->model().detail, *subreportLevel(saved, {{Detail, 1}})->detail);

    // F5 from inside the sub-report shows the whole report: the header once per product, a row per store.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const QStringList found = previewFinds({"Coffee", "Product", "Bergen", "Oslo", "Tea", QString::fromUtf8("Tromsø")});
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join('\n').toStdString();
    EXPECT_EQ(found, QStringList({"Coffee", "Product", "Bergen", "Oslo", "Tea", QString::fromUtf8("Tromsø")}));
}

// Undo and redo cross between the report and its sub-report: each step comes back on the level
// it was made on, and neither level takes anything of the other.
TEST_F(DesignerSubreport, UndoAndRedoReturnToTheLevelTheChangeWasMadeOn)
{
    openTemplate(Stock);
    const ReportTemplate original = window->report();
    window->setSelection(DesignerSelection::ofObjects({{Detail, 1}}));
    QTest::keyClick(window->view(), Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(window->document().inSubreport());
    window->action("tool.text")->trigger();
    drag(at(Detail, 50, 0), at(Detail, 80, 4));
    const ReportTemplate afterSub = window->report();
    ASSERT_EQ(stores(afterSub).detail->objects.size(), 2u);
    EXPECT_EQ(afterSub.detail->objects[0], original.detail->objects[0]);

    window->levelBar()->findChild<QToolButton*>("level0")->click();
    ASSERT_FALSE(window->document().inSubreport());
    window->setSelection(DesignerSelection::ofObjects({{Detail, 0}}));
    QTest::keyClick(window->view(), Qt::Key_Down);
    const ReportTemplate afterBoth = window->report();
    EXPECT_EQ(afterBoth.detail->objects[0].rect.y(), 1.0);
    EXPECT_EQ(stores(afterBoth), stores(afterSub));

    window->undoStack()->undo();
    EXPECT_EQ(window->report(), afterSub);
    EXPECT_FALSE(window->document().inSubreport());
    window->undoStack()->undo();
    EXPECT_EQ(window->report(), original);
    ASSERT_TRUE(window->document().inSubreport());
    EXPECT_EQ(window->model().detail->objects.size(), 1u);
    EXPECT_EQ(fields(), QStringList({"store", "product"}));
    window->undoStack()->redo();
    EXPECT_EQ(window->report(), afterSub);
    EXPECT_TRUE(window->document().inSubreport());
    window->undoStack()->redo();
    EXPECT_EQ(window->report(), afterBoth);
    EXPECT_FALSE(window->document().inSubreport());

    // Inside, with nothing selected, the panel shows the sub-report itself: its query is
    // changed there, and the fields follow it.
    window->openSubreport({Detail, 1});
    window->setSelection({});
    writeSql("subreport-query", "SELECT store, product, 1 AS shelf FROM stock WHERE product = :product");
    EXPECT_EQ(stores(window->report()).query, "SELECT store, product, 1 AS shelf FROM stock WHERE product = :product");
    EXPECT_EQ(fields(), QStringList({"store", "product", "shelf"}));
    window->undoStack()->undo();
    EXPECT_EQ(window->report(), afterBoth);
    EXPECT_TRUE(window->document().inSubreport());
    EXPECT_EQ(fields(), QStringList({"store", "product"}));
    // Only what a sub-report has: no value or colour, which the file would not keep.
    EXPECT_EQ(window->properties()->editor("value"), nullptr);
    EXPECT_EQ(window->properties()->editor("color"), nullptr);
    // Its header repeated on following pages, ticked there.
    auto* repeat = qobject_cast<QCheckBox*>(window->properties()->editor("subreport-repeat-header"));
    ASSERT_NE(repeat, nullptr);
    QApplication::processEvents();
    repeat->setFocus();
    QTest::keyClick(repeat, Qt::Key_Space);
    EXPECT_TRUE(stores(window->report()).repeatHeader);
    // Renamed there, its fields go by the new name.
    auto* name = qobject_cast<QLineEdit*>(window->properties()->editor("name"));
    ASSERT_NE(name, nullptr);
    name->setText("Shops");
    emit name->editingFinished();
    EXPECT_EQ(window->report().detail->objects[1].name, "Shops");
    EXPECT_EQ(levels(), QStringList({"Stock", "Sub-report Shops"}));
    // Its texts follow the name too: the report still runs.
    EXPECT_EQ(window->model().detail->objects.front().text, "[Shops.store]");
    window->action("tool.field")->trigger();
    drag(at(Detail, 50, 0), at(Detail, 70, 4));
    EXPECT_EQ(window->model().detail->objects.back().text, "[Shops.store]");
}

// Renaming a sub-report from the outer sheet renames what its texts call its rows, and only that.
TEST_F(DesignerSubreport, RenamedFromOutsideItsTextsFollow)
{
    openTemplate(Stock);
    window->setSelection(DesignerSelection::ofObjects({{Detail, 1}}));
    auto* name = qobject_cast<QLineEdit*>(window->properties()->editor("name"));
    ASSERT_NE(name, nullptr);
    name->setText("Shops");
    emit name->editingFinished();
    const ReportObject& sub = window->report().detail->objects[1];
    EXPECT_EQ(sub.name, "Shops");
    EXPECT_EQ(sub.subreport->detail->objects.front().text, "[Shops.store]");
    EXPECT_EQ(window->report().detail->objects[0].text, "[Report.product]");
    // A name the file would not read back is not taken, and the panel shows the name again.
    for (const char* wrong : {"two words", "", "1st"}) {
        name = qobject_cast<QLineEdit*>(window->properties()->editor("name"));
        name->setText(wrong);
        emit name->editingFinished();
        EXPECT_EQ(window->report().detail->objects[1].name, "Shops") << wrong;
        EXPECT_EQ(window->report().detail->objects[1].subreport->detail->objects.front().text, "[Shops.store]");
        EXPECT_EQ(qobject_cast<QLineEdit*>(window->properties()->editor("name"))->text(), "Shops");
    }
    while (window->undoStack()->canUndo())
        window->undoStack()->undo();
    EXPECT_EQ(window->report().detail->objects[1].subreport->detail->objects.front().text, "[Stores.store]");
}

TEST(DesignerSubreportRename, OnlyFieldsOfTheRenamedRowsChange)
{
    const struct {
        const char* text;
        bool embedded;
        const char* renamed;
    } cases[] = {
        {"[Stores.store] in [stores.city]", true, "[Shops.store] in [Shops.city]"},
        {"Stores.store outside brackets", true, "Stores.store outside brackets"},
        {"[SUM(Stores.qty) + MyStores.qty + Report.Stores]", true, "[SUM(Shops.qty) + MyStores.qty + Report.Stores]"},
        {"['Stores.store' & \"Stores.x\" & Stores.\"odd name\"]", true, "['Stores.store' & \"Stores.x\" & Shops.\"odd name\"]"},
        {"[IIF(Stores.n > 0, '[Stores.n]', Stores.n)] [unclosed Stores.n", true,
         "[IIF(Shops.n > 0, '[Stores.n]', Shops.n)] [unclosed Stores.n"},
        {"Stores.qty < 0 AND 'it''s Stores.qty' = Stores.name", false, "Shops.qty < 0 AND 'it''s Stores.qty' = Shops.name"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(renamedFields(QString::fromUtf8(c.text), c.embedded, "Stores", "Shops"), QString::fromUtf8(c.renamed))
            << c.text;
}

// Inside a sub-report the expression editor offers the sub-report's fields and the report's
// parameters, and takes an expression that uses them.
TEST_F(DesignerSubreport, TheExpressionEditorInsideOffersItsFieldsAndTheReportsParameters)
{
    QByteArray xml(Stock);
    xml.replace("<detail height=\"20\">", "<parameters><parameter name=\"shop\" kind=\"text\" default=\"Main\"/></parameters>"
                                          "<detail height=\"20\">");
    openTemplate(xml.constData());
    window->openSubreport({Detail, 1});
    window->setSelection(DesignerSelection::ofObjects({{Detail, 0}}));
    QStringList offered;
    bool accepted = false;
    desk->windowAnswers.push_back([&](QWidget& shown) {
        auto* editor = dynamic_cast<ReportExpressionEditor*>(&shown);
        if (!editor)
            return false;
        for (int i = 0; i < editor->fields()->count(); ++i)
            offered << editor->fields()->item(i)->text();
        editor->editor()->setPlainText("[Stores.store] for [Param.shop]");
        accepted = editor->check();
        return accepted;
    });
    auto* button = window->properties()->findChild<QToolButton*>("text-button");
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(offered, QStringList({"store", "product", "Param.shop"}));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(stores(window->report()).detail->objects[0].text, "[Stores.store] for [Param.shop]");
}

// Each level of a nested template, taken out and stored back unchanged, leaves the template as it
// was; a change stored at a level lands in that sub-report alone.
TEST(DesignerSubreportLevels, ALevelStoredBackLandsInItsOwnSubreportAlone)
{
    const ReportTemplate nested = ReportTemplateFormat::read(R"(<report version="2" name="Orders">
        <page margin-left="15"/>
        <title height="9">
            <subreport name="Top" x="0" y="0" width="50" height="5"><query>SELECT 1 AS n</query>
                <detail height="4"><text x="0" y="0" width="20" height="4">[Top.n]</text></detail></subreport>
        </title>
        <detail height="20">
            <subreport name="Items" x="10" y="2" width="120" height="10">
                <query>SELECT 2 AS n</query>
                <header height="5"><text x="0" y="0" width="30" height="5">Items</text></header>
                <detail height="8">
                    <text x="0" y="0" width="20" height="4">[Items.n]</text>
                    <subreport name="Parts" x="5" y="4" width="60" height="4"><query>SELECT 3 AS n</query>
                        <footer height="4"><text x="0" y="0" width="20" height="4">[SUM(Parts.n)]</text></footer></subreport>
                </detail>
            </subreport>
        </detail>
    </report>)", "nested.xml");
    const BandRef title{BandKind::ReportTitle};
    const std::vector<DesignerLevelPath> paths = {{}, {{title, 0}}, {{Detail, 0}}, {{Detail, 0}, {Detail, 1}}};
    for (const DesignerLevelPath& path : paths) {
        SCOPED_TRACE(path.size());
        const std::optional<ReportTemplate> level = subreportLevel(nested, path);
        ASSERT_TRUE(level);
        ReportTemplate stored = nested;
        storeSubreportLevel(stored, path, *level);
        EXPECT_EQ(stored, nested);
    }
    // The innermost level: its footer shows as the summary, its box sets the sheet's margins.
    ReportTemplate parts = *subreportLevel(nested, paths[3]);
    EXPECT_EQ(parts.name, "Parts");
    EXPECT_EQ(parts.query, "SELECT 3 AS n");
    ASSERT_TRUE(parts.summary);
    EXPECT_EQ(parts.summary->kind, BandKind::Summary);
    EXPECT_EQ(parts.page.marginLeft, 15.0 + 10 + 5);
    EXPECT_EQ(parts.page.pageWidth() - parts.page.marginLeft - parts.page.marginRight, 60.0);
    EXPECT_EQ(subreportNames(nested, paths[3]), QStringList({"Items", "Parts"}));
    parts.summary->objects[0].text = "[COUNT()]";
    parts.detail.emplace().height = 3;
    ReportTemplate changed = nested;
    storeSubreportLevel(changed, paths[3], parts);
    const Subreport& stored = *changed.detail->objects[0].subreport->detail->objects[1].subreport;
    EXPECT_EQ(stored.footer->kind, BandKind::GroupFooter);
    EXPECT_EQ(stored.footer->objects[0].text, "[COUNT()]");
    ASSERT_TRUE(stored.detail);
    EXPECT_EQ(stored.detail->kind, BandKind::Detail);
    // Everything else as it was, and the file takes it.
    ReportTemplate back = changed;
    storeSubreportLevel(back, paths[3], *subreportLevel(nested, paths[3]));
    EXPECT_EQ(back, nested);
    EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(changed), "changed.xml"), changed);
    // A path to something that is no sub-report leads nowhere.
    EXPECT_FALSE(subreportLevel(nested, {{Detail, 0}, {Detail, 0}}));
}

// Undoing the sub-report's own drawing from inside it goes back out to a report without it;
// redo brings it back and then its contents, in the sub-report again.
TEST_F(DesignerSubreport, UndoingTheSubreportItselfFromInsideLeavesItCleanly)
{
    const ReportTemplate original = window->report();
    window->action("tool.subreport")->trigger();
    drag(at(Detail, 5, 7), at(Detail, 100, 12));
    const ReportTemplate placed = window->report();
    window->openSubreport({Detail, 1});
    ASSERT_TRUE(window->document().inSubreport());
    window->action("tool.text")->trigger();
    drag(at(Detail, 20, 0), at(Detail, 40, 4));
    const ReportTemplate filled = window->report();
    window->undoStack()->undo();
    window->undoStack()->undo();
    EXPECT_EQ(window->report(), original);
    EXPECT_FALSE(window->document().inSubreport());
    EXPECT_EQ(levels(), QStringList({"Report"}));
    EXPECT_EQ(fields(), QStringList({"product"}));
    window->undoStack()->redo();
    EXPECT_EQ(window->report(), placed);
    EXPECT_FALSE(window->document().inSubreport());
    window->undoStack()->redo();
    EXPECT_EQ(window->report(), filled);
    EXPECT_TRUE(window->document().inSubreport());
    EXPECT_EQ(fields(), QStringList({"n"}));
    EXPECT_EQ(window->model().detail->objects.size(), 2u);
}

// A sub-report whose query the database refuses still opens: no fields, and the Data panel says why.
TEST_F(DesignerSubreport, ASubreportWhoseQueryFailsOpensWithTheReasonInsteadOfFields)
{
    QByteArray xml(Stock);
    xml.replace("FROM stock WHERE", "FROM nowhere WHERE");
    openTemplate(xml.constData());
    window->openSubreport({Detail, 1});
    ASSERT_TRUE(window->document().inSubreport());
    EXPECT_TRUE(fields().isEmpty());
    auto* note = window->findChild<QLabel*>("fieldsNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().startsWith("The query of the sub-report fails: ")) << note->text().toStdString();
    EXPECT_TRUE(note->text().contains("nowhere")) << note->text().toStdString();
    EXPECT_TRUE(desk->messages.empty());
    // Back in the report, its own fields and no note.
    window->leaveSubreport(0);
    EXPECT_EQ(fields(), QStringList({"product"}));
    EXPECT_TRUE(note->text().isEmpty());
}

// A sub-report drawn inside a sub-report opens the same way, to the deepest level the reader
// takes; one more is refused with the reader's reason and nothing changes.
TEST_F(DesignerSubreport, NestedSubreportsOpenTheSameWayAndOneTooDeepIsRefused)
{
    openTemplate(Stock);
    window->openSubreport({Detail, 1});
    window->action("tool.subreport")->trigger();
    drag(at(Detail, 0, 5), at(Detail, 60, 9));
    ASSERT_EQ(window->model().detail->objects.size(), 2u);
    EXPECT_EQ(window->model().detail->objects[1].name, "Sub1");
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, at(Detail, 30, 7));
    EXPECT_EQ(levels(), QStringList({"Stock", "Sub-report Stores", "Sub-report Sub1"}));
    EXPECT_EQ(fields(), QStringList({"n"}));
    EXPECT_EQ(window->model().detail->objects.at(0).text, "[Sub1.n]");
    // Down to the fourth level, each a sub-report in the detail band of the one above.
    for (int depth = 3; depth <= 4; ++depth) {
        window->action("tool.subreport")->trigger();
        drag(at(Detail, 0, 5), at(Detail, 60, 9));
        window->setSelection(DesignerSelection::ofObjects({{Detail, 1}}));
        if (depth == 3)
            window->action("subreport.open")->trigger();
        else
            QTest::keyClick(window->view(), Qt::Key_Return);
        ASSERT_EQ(window->document().path().size(), size_t(depth));
    }
    const ReportTemplate deepest = window->report();
    window->action("tool.subreport")->trigger();
    drag(at(Detail, 0, 5), at(Detail, 60, 9));
    EXPECT_EQ(window->report(), deepest);
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].text, "sub-reports nest more than 4 deep");
    // The level line goes straight back to the report; the file keeps all four levels.
    window->levelBar()->findChild<QToolButton*>("level0")->click();
    EXPECT_FALSE(window->document().inSubreport());
    desk->fileAnswers.push_back(dir.path() + "/deep.xml");
    window->action("saveAs")->trigger();
    EXPECT_EQ(ReportTemplateFormat::readFile(dir.path() + "/deep.xml"), deepest);
}

// In Russian the choice lists show Russian captions; the file keeps the values' own names.
TEST_F(DesignerSubreport, ChoiceListsSpeakTheUsersLanguageWhileTheFileKeepsTheValues)
{
    Lang.fillRussian();
    report.loadTemplateText(QString::fromUtf8(R"(<report version="2">
        <detail height="8"><text x="0" y="0" width="50" height="6">[Report.product]</text></detail>
        <summary height="60">
            <barcode x="0" y="0" width="25" height="25" value="'1'"/>
            <chart x="30" y="0" width="90" height="50" category="Report.product" value="1"/>
        </summary>
    </report>)"));
    window = std::make_unique<ReportDesignerWindow>(ReportWindows::designerSession(report, &data, dir.path(), dir.path()));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const BandRef Summary{BandKind::Summary};
    const struct {
        DesignerSelection selection;
        const char* key;
        int index;
        const char* shown;
        const char* written;
    } cases[] = {
        {DesignerSelection::ofObjects({{Detail, 0}}), "align", 1, "По центру", "align=\"center\""},
        {DesignerSelection::ofObjects({{Detail, 0}}), "valign", 2, "По нижнему краю", "valign=\"bottom\""},
        {DesignerSelection::ofObjects({{Summary, 0}}), "barcode-kind", 1, "Code 128", "kind=\"code128\""},
        {DesignerSelection::ofObjects({{Summary, 1}}), "chart-kind", 2, "Круговая", "kind=\"pie\""},
        {DesignerSelection(), "orientation", 1, "Альбомная", "orientation=\"landscape\""},
        {DesignerSelection::ofBand(Detail), "column-order", 1, "Вниз, затем поперек", "column-order=\"down\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        window->setSelection(c.selection);
        auto* combo = qobject_cast<QComboBox*>(window->properties()->editor(QString::fromLatin1(c.key)));
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->currentIndex(), 0);
        EXPECT_EQ(combo->itemText(c.index), QString::fromUtf8(c.shown));
        combo->setFocus();
        for (int i = 0; i < c.index; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(combo->currentText(), QString::fromUtf8(c.shown));
    }
    window->setSelection(DesignerSelection::ofObjects({{Summary, 0}}));
    EXPECT_EQ(qobject_cast<QComboBox*>(window->properties()->editor("barcode-kind"))->itemText(0), QString::fromUtf8("QR-код"));
    desk->fileAnswers.push_back(dir.path() + "/ru.xml");
    window->action("saveAs")->trigger();
    QFile file(dir.path() + "/ru.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(file.readAll());
    for (const auto& c : cases)
        EXPECT_TRUE(xml.contains(QString::fromLatin1(c.written))) << c.written << "\n" << xml.toStdString();

    // The kinds of the report's parameters, likewise.
    ReportParameter from;
    from.name = "from";
    from.kind = ParameterKind::Date;
    ReportParametersEditor parameters({from}, window.get());
    auto* kind = qobject_cast<QComboBox*>(parameters.findChild<QTableWidget*>()->cellWidget(0, 2));
    ASSERT_NE(kind, nullptr);
    QStringList kinds;
    for (int i = 0; i < kind->count(); ++i)
        kinds << kind->itemText(i);
    EXPECT_EQ(kinds.join(", "), QString::fromUtf8("Текст, Целое число, Число, Дата, Да или нет, Выбор из запроса"));
    EXPECT_EQ(kind->currentText(), QString::fromUtf8("Дата"));
    kind->setCurrentIndex(1);
    EXPECT_EQ(parameters.parameters().at(0).kind, ParameterKind::Integer);
}

// The sub-report's bands on the sheet in Russian, for the eye (VARNEL_SCREENSHOTS).
TEST_F(DesignerSubreport, TheSubreportsBandsAreCaptionedInTheUsersLanguage)
{
    Lang.fillRussian();
    report.loadTemplateText(QString::fromUtf8(Stock));
    window = std::make_unique<ReportDesignerWindow>(ReportWindows::designerSession(report, &data, dir.path(), dir.path()));
    window->resize(1300, 900);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->view()->setZoom(200);
    window->openSubreport({Detail, 1});
    window->action("band.title")->trigger();
    window->action("band.summary")->trigger();
    EXPECT_EQ(window->action("band.title")->text(), QString::fromUtf8("Заголовок подотчета"));
    EXPECT_EQ(levels(), QStringList({"Stock", QString::fromUtf8("Подотчет Stores")}));
    window->setSelection(DesignerSelection::ofBand({BandKind::Summary}));
    EXPECT_TRUE(window->properties()->findChild<QLabel*>()->text().endsWith(QString::fromUtf8("Итог подотчета")));
    QApplication::processEvents();
    if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
        window->grab().save(qEnvironmentVariable("VARNEL_SCREENSHOTS") + "/designer_subreport_bands_ru.png");
}

} // namespace
