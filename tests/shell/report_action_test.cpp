// The report button through real forms: its messages, its query into the dataset "Report",
// its template from the Report folder and its targets.
#include "actions/record_actions.h"
#include "app_fixture.h"
#include "controls/value_controls.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "report/engine/dataset.h"
#include "report/engine/page_document.h"
#include "report/engine/template.h"
#include "report/report.h"
#include "report/report_windows.h"
#include "shell/main_window.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSpinBox>
#include <QTemporaryDir>
#include <optional>

namespace {

const QByteArray Tables = "[customers]\n-name=TEXT\n_city=TEXT\n";

const QByteArray FormsXml = R"(<main>
<frmMain>
  <TdbEdit Name="edCity" dbTable="customers" dbField="city"/>
  <TdbStringGrid Name="gridCustomers" dbGeneralTable="customers" dbListFields="customers.name"/>
  <TdbButton Name="bFind" dbActionType="adbSearch" dbResultControl="gridCustomers" dbGeneralTable="customers"
             dbListFields="customers.name" dbSortField="customers.name"/>
  <TdbButton Name="bCard" dbActionType="adbReport" dbResultControl="gridCustomers" dbReportFile="cards\card.xml"
             dbReportOpenIn="rpoPDF" dbSQL="SELECT name, city FROM customers WHERE id = $ID AND city = '{edCity}'"/>
  <TdbButton Name="bList" dbActionType="adbReport" dbReportFile="list.xml" dbReportOpenIn="rpoPDF"
             dbSQL="SELECT name, city FROM customers ORDER BY name"/>
  <TdbButton Name="bPictures" dbActionType="adbReport" dbReportFile="list.xml" dbReportOpenIn="rpoJPEG"
             dbSQL="SELECT name, city FROM customers ORDER BY name"/>
  <TdbButton Name="bSpreadsheet" dbActionType="adbReport" dbReportFile="list.xml" dbReportOpenIn="rpoExcel"
             dbSQL="SELECT name, city FROM customers"/>
  <TdbButton Name="bNoTemplate" dbActionType="adbReport" dbSQL="SELECT name, city FROM customers WHERE name = 'Ann'"/>
  <TdbButton Name="bNoQuery" dbActionType="adbReport" dbReportFile="list.xml" dbReportOpenIn="rpoPDF"/>
  <TdbButton Name="bMissing" dbActionType="adbReport" dbReportFile="nosuch.xml" dbSQL="SELECT 1"/>
  <TdbButton Name="bOwnQuery" dbActionType="adbReport" dbResultControl="gridCustomers" dbReportFile="own.xml"
             dbReportOpenIn="rpoPDF"/>
  <TdbButton Name="bDesign" dbActionType="adbReport" dbResultControl="gridCustomers"/>
</frmMain>
</main>)";

const QByteArray ListTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
  <detail height="6"><text x="0" y="0" width="80" height="6">[Report.name] ([Report.city])</text></detail>
  <summary height="6"><text x="0" y="0" width="80" height="6">Rows: [COUNT()]</text></summary>
</report>)";

const QByteArray CardTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
  <title height="10"><text x="0" y="0" width="80" height="8">Card of [Report.name]</text></title>
</report>)";

// A template that carries its own query, with the record id and a control of the form in it.
const QByteArray OwnQueryTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
  <query>SELECT name, city FROM customers WHERE id = $Id AND city = '{edCity}'</query>
  <title height="10"><text x="0" y="0" width="80" height="8">Card of [Report.name]</text></title>
</report>)";

} // namespace

// Runs on both back ends: the rows the report is filled with come through either connection.
class ReportAction : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(Tables, FormsXml, GetParam());
        QDir(app->project.path()).mkpath("Report/cards");
        app->project.write("Report/list.xml", ListTemplate);
        app->project.write("Report/cards/card.xml", CardTemplate);
        app->project.write("Report/own.xml", OwnQueryTemplate);
        app->load("INSERT INTO customers (id, name, city) VALUES (1, 'Ann', 'Oslo'), (2, 'Bo', 'Rome')");
        temp.emplace();
        app->desk.temp = temp->path() + '/';
    }
    ReportDataset& data() { return app->main->actions().reportData(); }
    QStringList tempFiles() const { return QDir(temp->path()).entryList(QDir::Files, QDir::Name); }

    std::unique_ptr<RunningApp> app;
    std::optional<QTemporaryDir> temp;
};

TEST_P(ReportAction, AGridWithoutASelectionIsReportedWithBothCaptions)
{
    app->click("frmMain", "bCard");
    auto* grid = app->control<TdbStringGridEx>("frmMain", "gridCustomers");
    grid->dbListId = {QStringLiteral("x")};
    app->click("frmMain", "bCard");
    ASSERT_EQ(app->desk.messages.size(), 2u);
    EXPECT_EQ(app->desk.messages[0].text, "Please, select record in grid.");
    EXPECT_EQ(app->desk.messages[0].caption, "Information");
    EXPECT_EQ(app->desk.messages[1].text, "Please, select record in grid.");
    EXPECT_EQ(app->desk.messages[1].caption, "Error");
    EXPECT_TRUE(tempFiles().isEmpty());
}

// "$id" in any case first, then the controls, whose texts go in as typed; the PDF goes to a
// reserved temporary name with its own extension and is opened.
TEST_P(ReportAction, TheSelectedRecordsReportIsWrittenBesideItsReservedNameAndOpened)
{
    app->click("frmMain", "bFind");
    app->control<TdbStringGridEx>("frmMain", "gridCustomers")->setDbItemID(2);
    app->control<TdbEdit>("frmMain", "edCity")->setText("Rome");
    app->statements.clear();
    app->click("frmMain", "bCard");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    EXPECT_EQ(app->statements,
              QStringList{app->onServer()
                              ? "SELECT \"name\", \"city\" FROM \"customers\" WHERE \"id\" = 2 AND \"city\" = 'Rome'"
                              : "SELECT name, city FROM customers WHERE id = 2 AND city = 'Rome'"});
    EXPECT_EQ(app->control<TdbButton>("frmMain", "bCard")->dbGeneralTableId, 2);
    ASSERT_EQ(app->desk.shellRequests.size(), 1u);
    const QFileInfo pdf(app->desk.shellRequests[0].target);
    EXPECT_EQ(pdf.suffix(), "pdf");
    EXPECT_TRUE(pdf.fileName().startsWith("tmp"));
    EXPECT_EQ(tempFiles(), (QStringList{pdf.completeBaseName() + ".pdf", pdf.completeBaseName() + ".tmp"}));
    QFile file(pdf.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
    EXPECT_EQ(data().rowCount(), 1);
    EXPECT_EQ(data().columns(), QStringList({"name", "city"}));
    EXPECT_EQ(data().value(0, data().columnIndex("NAME")).text(), "Bo");

    // When the opener fails the user learns where the report is, and may keep a copy.
    app->desk.shellOpenSucceeds = false;
    app->desk.answers = {DesktopServices::No};
    app->click("frmMain", "bCard");
    ASSERT_EQ(app->desk.shellRequests.size(), 2u);
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].text,
              Lang.Report_saved_no_program.arg(QDir::toNativeSeparators(app->desk.shellRequests[1].target), "PDF")
                  + "\n\nDo you want to save a copy where you choose?");
    EXPECT_TRUE(app->desk.dialogs.empty());

    // Where the desktop has no program for PDF files at all, nothing is started (an opener
    // started anyway fails where the user cannot see it); the report is kept and named, and
    // the copy goes where the user says.
    app->desk.messages.clear();
    app->desk.hasPrograms = false;
    QTemporaryDir mine;
    app->desk.fileAnswers = {mine.filePath("customer card.pdf")};
    app->click("frmMain", "bCard");
    EXPECT_EQ(app->desk.shellRequests.size(), 2u);
    ASSERT_EQ(app->desk.programQuestions.size(), 3);
    const QString third = app->desk.programQuestions[2];
    EXPECT_TRUE(QFile::exists(third));
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].text, Lang.Report_saved_no_program.arg(QDir::toNativeSeparators(third), "PDF")
                                              + "\n\nDo you want to save a copy where you choose?");
    EXPECT_EQ(app->desk.messages[0].defaultButton, DesktopServices::Yes);
    ASSERT_EQ(app->desk.dialogs.size(), 1u);
    EXPECT_TRUE(app->desk.dialogs[0].save);
    EXPECT_EQ(app->desk.dialogs[0].request.fileName, "card.pdf");
    EXPECT_EQ(app->desk.dialogs[0].request.defaultExt, "pdf");
    QFile copy(mine.filePath("customer card.pdf"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    QFile original(third);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());

    // The next copy starts in the folder chosen last.
    app->click("frmMain", "bCard");
    ASSERT_EQ(app->desk.dialogs.size(), 2u);
    EXPECT_EQ(app->desk.dialogs[1].request.folder, mine.path());
}

// One report at a time: with rows enough for the progress window to let events through while
// the pages are made, a second click that waited in the queue does nothing.
TEST_P(ReportAction, AClickWhileAReportRunsDoesNothing)
{
    app->db().execute("WITH RECURSIVE r(n) AS (SELECT 3 UNION ALL SELECT n + 1 FROM r WHERE n < 3000) "
                      "INSERT INTO customers (id, name, city) SELECT n, 'Customer ' || n, 'Oslo' FROM r");
    auto* list = app->control<TdbButton>("frmMain", "bList");
    int clicks = 0;
    QObject::connect(list, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    QMetaObject::invokeMethod(list, &QAbstractButton::click, Qt::QueuedConnection);
    app->statements.clear();
    app->click("frmMain", "bList");
    ASSERT_EQ(clicks, 2) << "the queued click did not come while the report ran";
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    EXPECT_EQ(app->statements, QStringList{app->onServer()
                                               ? "SELECT \"name\", \"city\" FROM \"customers\" ORDER BY \"name\""
                                               : "SELECT name, city FROM customers ORDER BY name"});
    EXPECT_EQ(app->desk.shellRequests.size(), 1u);

    // Once the report is out, the button works again.
    app->click("frmMain", "bList");
    EXPECT_EQ(app->desk.shellRequests.size(), 2u);
}

TEST_P(ReportAction, AMissingTemplateNamesThePathLookedFor)
{
    app->click("frmMain", "bMissing");
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].text, "Report file not found:\r" + ExeFolder() + "Report/nosuch.xml");
    EXPECT_EQ(app->desk.messages[0].caption, "Error");
    EXPECT_TRUE(tempFiles().isEmpty());
}

// What the designer was opened with, read from the window the desktop services were asked to
// run (a person would close it at once).
struct DesignerOpened {
    explicit DesignerOpened(ScriptedDesktop& desk)
    {
        desk.windowAnswers.push_back([this](QWidget& shown) {
            auto* window = qobject_cast<ReportDesignerWindow*>(&shown);
            if (!window)
                return false;
            ++count;
            templateWasEmpty = window->session().reportTemplate.isEmpty();
            fileName = window->session().fileName;
            adapter = window->session().data;
            if (query && window->session().runQuery)
                window->session().runQuery(*query, rows, false, {});
            folders = {window->session().openFolder, window->session().saveFolder};
            return true;
        });
    }

    int count = 0;
    bool templateWasEmpty = false;
    QString fileName;
    const ReportDataset* adapter = nullptr;
    QStringList folders;
    // Run through the designer's query runner while the window is up, when given.
    std::optional<QString> query;
    ReportDataset rows;
};

// A button without a query reports the rows of the previous one; without a template the
// designer opens on an empty report bound to the rows.
TEST_P(ReportAction, TheDatasetKeepsTheLastRowsUntilAnotherQueryReplacesThem)
{
    DesignerOpened designer(app->desk);
    app->click("frmMain", "bList");
    app->click("frmMain", "bNoTemplate");
    EXPECT_EQ(app->desk.messages.size(), 0u) << app->desk.texts().join('\n').toStdString();
    ASSERT_EQ(designer.count, 1);
    EXPECT_TRUE(designer.templateWasEmpty);
    EXPECT_TRUE(designer.fileName.isEmpty());
    EXPECT_EQ(designer.adapter, &data());
    EXPECT_EQ(app->main->actions().report().datasets(), std::vector<ReportDataset*>{&data()});
    EXPECT_EQ(designer.folders, QStringList({ExeFolder() + "Report", ExeFolder() + "Report"}));
    app->desk.shellRequests.clear();
    EXPECT_EQ(data().rowCount(), 1);
    EXPECT_EQ(data().userName(), "Report");
    app->click("frmMain", "bNoQuery");
    ASSERT_EQ(app->desk.shellRequests.size(), 1u) << app->desk.texts().join('\n').toStdString();
    ASSERT_NE(app->main->actions().report().pages(), nullptr);
    app->click("frmMain", "bList");
    EXPECT_EQ(data().rowCount(), 2);
    EXPECT_EQ(data().value(0, 0).text(), "Ann");
    EXPECT_EQ(data().value(1, 1).text(), "Rome");
}

// A document reads its rows once, straight from the statement, and the rows stay as they were
// read: a later button without a query reports them, even after the table has changed.
TEST_P(ReportAction, AnExportedReportLeavesItsRowsForTheNextButton)
{
    const auto texts = [this] {
        QStringList out;
        const PageDocument* pages = app->main->actions().report().pages();
        for (int i = 0; pages && i < pages->pageCount(); ++i) {
            const PageRef page = pages->page(i);
            for (const PageBox& box : page->boxes)
                out << page->text(box).toString();
        }
        return out;
    };
    app->click("frmMain", "bList");
    EXPECT_EQ(app->desk.messages.size(), 0u) << app->desk.texts().join('\n').toStdString();
    EXPECT_FALSE(data().isStreaming());
    EXPECT_EQ(texts(), QStringList({"Ann (Oslo)", "Bo (Rome)", "Rows: 2"}));
    app->load("DELETE FROM customers");
    app->click("frmMain", "bNoQuery");
    EXPECT_EQ(texts(), QStringList({"Ann (Oslo)", "Bo (Rome)", "Rows: 2"}));
    EXPECT_EQ(data().rowCount(), 2);
    EXPECT_EQ(data().value(1, 1).text(), "Rome");
}

// The menu item opens the designer on the report as the last button left it.
TEST_P(ReportAction, TheMenuItemOpensTheDesignerOnTheReportAsItIs)
{
    DesignerOpened designer(app->desk);
    app->click("frmMain", "bList");
    auto* item = qobject_cast<QAction*>(app->main->findComponent("mniReport"));
    ASSERT_NE(item, nullptr);
    item->trigger();
    ASSERT_EQ(designer.count, 1);
    EXPECT_FALSE(designer.templateWasEmpty);
    EXPECT_EQ(designer.fileName, ExeFolder() + "Report/list.xml");
    EXPECT_EQ(designer.adapter, &data());
    EXPECT_EQ(designer.folders, QStringList({ExeFolder() + "Report", ExeFolder() + "Report"}));
}

TEST_P(ReportAction, PagePicturesAskForTheirFileAndAreNotOpened)
{
    const QString target = temp->path() + "/list.jpg";
    app->desk.fileAnswers = {target};
    app->desk.windowAnswers.push_back([](QWidget& settings) {
        settings.findChild<QSpinBox*>("resolution")->setValue(72);
        settings.findChild<QSpinBox*>("quality")->setValue(80);
        return true;
    });
    app->click("frmMain", "bPictures");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    EXPECT_EQ(app->desk.dialogs.size(), 1u);
    EXPECT_TRUE(app->desk.shellRequests.empty());
    QImage page(target);
    EXPECT_FALSE(page.isNull());
    EXPECT_NEAR(page.width(), 595, 3); // A4 at 72 dpi
}

// The filters live as long as the main window: the second export of page pictures proposes the
// file the first one wrote, with the resolution and quality chosen then.
TEST_P(ReportAction, PagePicturesRememberTheirFileAndSettings)
{
    const QString first = temp->path() + "/first.jpg";
    app->desk.fileAnswers = {first, temp->path() + "/second.jpg"};
    app->desk.windowAnswers.push_back([](QWidget& settings) {
        settings.findChild<QSpinBox*>("resolution")->setValue(72);
        settings.findChild<QSpinBox*>("quality")->setValue(80);
        return true;
    });
    int shownResolution = 0, shownQuality = 0;
    app->desk.windowAnswers.push_back([&](QWidget& settings) {
        shownResolution = settings.findChild<QSpinBox*>("resolution")->value();
        shownQuality = settings.findChild<QSpinBox*>("quality")->value();
        return true;
    });
    app->click("frmMain", "bPictures");
    app->click("frmMain", "bPictures");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    ASSERT_EQ(app->desk.dialogs.size(), 2u);
    EXPECT_EQ(app->desk.dialogs[1].request.fileName, first);
    EXPECT_EQ(shownResolution, 72);
    EXPECT_EQ(shownQuality, 80);
    EXPECT_NEAR(QImage(temp->path() + "/second.jpg").width(), 595, 3); // A4 at 72 dpi
}

// The document targets other than PDF go the same way: a reserved name with the target's own
// extension, opened when written.
TEST_P(ReportAction, TheSpreadsheetTargetWritesAWorkbookBesideItsReservedName)
{
    app->click("frmMain", "bSpreadsheet");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    ASSERT_EQ(app->desk.shellRequests.size(), 1u);
    const QFileInfo workbook(app->desk.shellRequests[0].target);
    EXPECT_EQ(workbook.suffix(), "xls");
    EXPECT_EQ(tempFiles(), (QStringList{workbook.completeBaseName() + ".tmp", workbook.completeBaseName() + ".xls"}));
    QFile file(workbook.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // The compound-file signature of an Excel 97-2003 workbook.
    EXPECT_EQ(file.read(8), QByteArray::fromHex("D0CF11E0A1B11AE1"));
}

// A button without a query of its own runs the query its template carries, with "$id" and the
// form's controls put in as for the button's own; the designer runs a template's query the same
// way for the button that opened it, and as written when opened from the menu.
TEST_P(ReportAction, AButtonWithoutAQueryRunsItsTemplatesOwnQuery)
{
    app->click("frmMain", "bFind");
    app->control<TdbStringGridEx>("frmMain", "gridCustomers")->setDbItemID(2);
    app->control<TdbEdit>("frmMain", "edCity")->setText("Rome");
    app->click("frmMain", "bList");
    EXPECT_EQ(data().rowCount(), 2);
    app->statements.clear();
    app->click("frmMain", "bOwnQuery");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    EXPECT_EQ(app->statements,
              QStringList{app->onServer()
                              ? "SELECT \"name\", \"city\" FROM \"customers\" WHERE \"id\" = 2 AND \"city\" = 'Rome'"
                              : "SELECT name, city FROM customers WHERE id = 2 AND city = 'Rome'"});
    ASSERT_EQ(data().rowCount(), 1);
    EXPECT_EQ(data().value(0, 0).text(), "Bo");
    ASSERT_EQ(app->desk.shellRequests.size(), 2u); // the list's PDF, then the card's

    DesignerOpened designer(app->desk);
    designer.query = "SELECT city FROM customers WHERE id = $id";
    app->click("frmMain", "bDesign");
    ASSERT_EQ(designer.count, 1);
    ASSERT_EQ(designer.rows.rowCount(), 1);
    EXPECT_EQ(designer.rows.value(0, 0).text(), "Rome");

    // From the menu there is no button: the query runs as written.
    DesignerOpened fromMenu(app->desk);
    fromMenu.query = "SELECT city FROM customers ORDER BY city DESC";
    qobject_cast<QAction*>(app->main->findComponent("mniReport"))->trigger();
    ASSERT_EQ(fromMenu.count, 1);
    ASSERT_EQ(fromMenu.rows.rowCount(), 2);
    EXPECT_EQ(fromMenu.rows.value(0, 0).text(), "Rome");
}

VARNEL_ON_BOTH_BACKENDS(ReportAction);
