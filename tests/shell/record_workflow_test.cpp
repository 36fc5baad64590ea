#include "app_fixture.h"

#include "controls/file_control.h"
#include "controls/picture_controls.h"
#include "controls/value_controls.h"
#include "platform/lang.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QToolButton>

namespace {
const QByteArray Tables =
    "[customers]\nisdictionary=1\n-name=TEXT\n_vip=BOOLEAN\n_scan=IMAGE\n"
    "[orders]\n*record_count=INTEGER\n-number=TEXT\n_note=TEXT\n^id_customers=customers\n_paid=BOOLEAN\n"
    "[items]\n-name=TEXT\n_qty=INTEGER\n^id_orders=orders\n";

// A search form of customers, an edit form for a customer with a child grid of its orders,
// an order form with a child grid of its items, and an item form.
const QByteArray FormsXml = R"(<main>
<frmMain>
  <TdbEdit Name="edFind" dbTable="customers" dbField="name" dbFilter="%s%"/>
  <TdbButton Name="bFind" dbActionType="adbSearch" dbResultControl="gridCustomers" dbGeneralTable="customers"
             dbListFields="customers.name,customers.vip" dbListFieldsNames="Name,VIP" dbListControls="edFind" dbSortField="customers.name" dbSortAsc="True"/>
  <TdbStringGrid Name="gridCustomers" Width="300" Height="200" dbGeneralTable="customers" dbListFields="customers.name,customers.vip"/>
  <TdbButton Name="bNew" dbActionType="adbNewRecord" dbFormName="frmCustomer"/>
  <TdbButton Name="bEdit" dbActionType="adbShowRecord" dbFormName="frmCustomer" dbResultControl="GRIDCUSTOMERS"/>
  <TdbButton Name="bDelete" dbActionType="adbDelete" dbResultControl="gridCustomers" dbConfirmDelete="True"/>
  <TdbButton Name="bVipAll" dbActionType="adbSQL" dbSQL="UPDATE customers SET vip=1 WHERE name LIKE &quot;{edfind}%&quot;"/>
  <TdbButton Name="bReport" dbActionType="adbSQL" dbResultControl="gridCustomers" dbListFieldsNames="delete_col,Name"
             dbSQL="SELECT id, name FROM customers WHERE vip=1"/>
  <TdbButton Name="bNoGrid" dbActionType="adbSearch" dbResultControl="edFind"/>
  <TdbButton Name="bExport" dbActionType="adbGridToExcel" dbResultControl="gridCustomers"/>
</frmMain>
<frmCustomer>
  <TdbEdit Name="edName" dbTable="customers" dbField="name"/>
  <TdbCheckBox Name="chkVip" dbTable="customers" dbField="vip" AllowGrayed="True"/>
  <TdbStringGrid Name="gridOrders" dbGeneralTable="orders" dbListFields="orders.number,orders.paid"/>
  <TdbButton Name="bNewOrder" dbActionType="adbNewRecord" dbFormName="frmOrder"/>
  <TdbButton Name="bSave" dbActionType="adbSaveRecord" dbGeneralTable="customers" dbListControls="edName,chkVip"/>
  <TdbButton Name="bClose" dbActionType="adbCloseForm"/>
</frmCustomer>
<frmOrder>
  <TdbEdit Name="edNumber" dbTable="orders" dbField="number"/>
  <TdbEditCount Name="ecNo" dbTable="orders" dbBeginValue="100"/>
  <TdbEdit Name="edCustomer" dbTable="customers" dbField="name"/>
  <TdbStringGrid Name="gridItems" dbGeneralTable="items" dbListFields="items.name,items.qty"/>
  <TdbButton Name="bNewItem" dbActionType="adbNewRecord" dbFormName="frmItem"/>
  <TdbButton Name="bSaveOrder" dbActionType="adbSaveRecord" dbGeneralTable="orders" dbListControls="edNumber,ecNo"/>
</frmOrder>
<frmItem>
  <TdbEdit Name="edItem" dbTable="items" dbField="name"/>
  <TdbEdit Name="edQty" dbTable="items" dbField="qty" dbDefaultValue="1"/>
  <TdbButton Name="bSaveItem" dbActionType="adbSaveRecord" dbGeneralTable="items" dbListControls="edItem,edQty"/>
</frmItem>
</main>)";
} // namespace

// Runs on both back ends; the exact SQLite statements are asserted on SQLite only.
class RecordWorkflow : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override { app = std::make_unique<RunningApp>(Tables, FormsXml, GetParam()); }
    template <class T>
    T* control(const char* form, const char* name) { return app->control<T>(form, name); }
    TdbStringGridEx* customers() { return control<TdbStringGridEx>("frmMain", "gridCustomers"); }
    std::unique_ptr<RunningApp> app;
};

TEST_P(RecordWorkflow, ACustomerWithAnOrderAndItemsIsCreatedEditedAndDeleted)
{
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join("|").toStdString();
    // New customer; from its form a new order (which saves the customer first), and from the
    // order form an item (which saves the order first).
    app->onModal("frmCustomer", [&](TForm*) {
        control<TdbEdit>("frmCustomer", "edName")->setText("Smith");
        control<TdbCheckBox>("frmCustomer", "chkVip")->setCheckState(Qt::Checked);
        app->click("frmCustomer", "bNewOrder");
        // Back from the order: the customer's form still shows, now for the saved record.
        EXPECT_EQ(control<TdbButton>("frmCustomer", "bSave")->dbGeneralTableId, 1);
        app->click("frmCustomer", "bClose");
    });
    app->onModal("frmOrder", [&](TForm*) {
        control<TdbEdit>("frmOrder", "edNumber")->setText("A-1");
        app->click("frmOrder", "bNewItem");
        app->click("frmOrder", "bNewItem");
        // The order form was saved once, then updated: update closes the form.
        app->click("frmOrder", "bSaveOrder");
    });
    int item = 0;
    app->onModal("frmItem", [&](TForm*) {
        EXPECT_EQ(control<TdbEdit>("frmItem", "edQty")->text(), "1");
        control<TdbEdit>("frmItem", "edItem")->setText(item++ == 0 ? "Bolt" : "Nut");
        app->click("frmItem", "bSaveItem");
    });
    app->click("frmMain", "bNew");
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join("|").toStdString();

    EXPECT_EQ(app->rows("SELECT id, name, vip FROM customers"), (QList<QStringList>{{"1", "Smith", "1"}}));
    EXPECT_EQ(app->rows("SELECT id, number, record_count, id_customers FROM orders"),
              (QList<QStringList>{{"1", "A-1", "100", "1"}}));
    EXPECT_EQ(app->rows("SELECT name, qty, id_orders FROM items ORDER BY id"),
              (QList<QStringList>{{"Bolt", "1", "1"}, {"Nut", "1", "1"}}));

    // Search, open the customer, change it; its child grid lists its orders.
    control<TdbEdit>("frmMain", "edFind")->setText("smi");
    app->click("frmMain", "bFind");
    ASSERT_EQ(customers()->dbListId.size(), 1);
    app->onModal("frmCustomer", [&](TForm*) {
        EXPECT_EQ(control<TdbEdit>("frmCustomer", "edName")->text(), "Smith");
        EXPECT_EQ(control<TdbCheckBox>("frmCustomer", "chkVip")->checkState(), Qt::Checked);
        EXPECT_EQ(control<TdbStringGridEx>("frmCustomer", "gridOrders")->dbListId.size(), 1);
        control<TdbEdit>("frmCustomer", "edName")->setText("Smythe");
        control<TdbCheckBox>("frmCustomer", "chkVip")->setCheckState(Qt::PartiallyChecked);
        app->click("frmCustomer", "bSave");
    });
    app->statements.clear();
    app->click("frmMain", "bEdit");
    if (!app->onServer()) {
        EXPECT_EQ(app->statements.first(),
                  "SELECT [customers].[name],[customers].[vip],[customers].[scan],[customers].[scan_filename] "
                  "FROM [customers] WHERE [customers].id=1");
        EXPECT_TRUE(app->statements.contains(
            "UPDATE [customers] SET [name]='Smythe',[vip]=NULL WHERE id = 1"));
    } else {
        EXPECT_TRUE(app->statements.contains(
            "UPDATE \"customers\" SET \"name\"='Smythe',\"vip\"=NULL WHERE id = 1"))
            << app->statements.join('\n').toStdString();
    }
    EXPECT_EQ(app->rows("SELECT name, vip FROM customers"), (QList<QStringList>{{"Smythe", "<null>"}}));

    // Delete, answered No then Yes; the orders and items go by cascade.
    control<TdbEdit>("frmMain", "edFind")->setText("smy");
    app->click("frmMain", "bFind");
    ASSERT_EQ(customers()->dbListId.size(), 1);
    app->desk.answers = {DesktopServices::No, DesktopServices::Yes};
    app->click("frmMain", "bDelete");
    EXPECT_EQ(app->rows("SELECT count(*) FROM customers"), (QList<QStringList>{{"1"}}));
    app->statements.clear();
    app->click("frmMain", "bDelete");
    // The rows that go with it are counted for the question, then the record is deleted.
    const QString deleted = app->onServer() ? "DELETE FROM \"customers\" WHERE id=1"
                                            : "DELETE FROM customers WHERE id=1";
    ASSERT_FALSE(app->statements.isEmpty());
    EXPECT_EQ(app->statements.indexOf(deleted), 2) << app->statements.join('\n').toStdString();
    if (!app->onServer()) {
        EXPECT_EQ(app->statements.mid(0, 2),
                  (QStringList{"SELECT count(*) FROM [orders] WHERE (id_customers IN (SELECT id FROM "
                               "[customers] WHERE id=1))",
                               "SELECT count(*) FROM [items] WHERE (id_orders IN (SELECT id FROM "
                               "[orders] WHERE id_customers IN (SELECT id FROM [customers] WHERE id=1)))"}));
    }
    EXPECT_EQ(app->rows("SELECT (SELECT count(*) FROM customers), (SELECT count(*) FROM orders), "
                        "(SELECT count(*) FROM items)"),
              (QList<QStringList>{{"0", "0", "0"}}));
    // Which record, and what its deletion takes along through the cascading references; No
    // is what Enter answers.
    EXPECT_EQ(app->desk.messages.back().text,
              "Are you sure you want to delete the record?\n\nRecord: Smythe\n"
              "These will be deleted with it: orders (1), items (2).");
    EXPECT_EQ(app->desk.messages.back().caption, "Confirm");
    EXPECT_EQ(app->desk.messages.back().defaultButton, DesktopServices::No);
    EXPECT_TRUE(customers()->dbListId.isEmpty());
}

TEST_P(RecordWorkflow, SqlButtonsRunWithControlValuesAndFillAGrid)
{
    app->db().execute("INSERT INTO customers (name, vip) VALUES ('Lee', 0), ('Lund', 0), ('Ray', 0), "
                      "('Ol\\af', 0)");
    control<TdbEdit>("frmMain", "edFind")->setText("L");
    app->statements.clear();
    app->click("frmMain", "bVipAll");
    // The author wrote it for SQLite; a server gets it in its own terms.
    EXPECT_EQ(app->statements,
              QStringList{app->onServer()
                              ? "UPDATE \"customers\" SET \"vip\"=1 WHERE \"name\" ILIKE 'L%' ESCAPE ''"
                              : "UPDATE customers SET vip=1 WHERE name LIKE \"L%\""});
    // A backslash in the pattern is the character itself.
    control<TdbEdit>("frmMain", "edFind")->setText("Ol\\");
    app->click("frmMain", "bVipAll");
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    EXPECT_EQ(app->rows("SELECT name FROM customers WHERE vip=1 ORDER BY name"),
              (QList<QStringList>{{"Lee"}, {"Lund"}, {"Ol\\af"}}));
    app->click("frmMain", "bReport");
    TdbStringGridEx* grid = customers();
    EXPECT_EQ(grid->dbGeneralTable, "customers");
    EXPECT_EQ(grid->colCount(), 1);
    EXPECT_EQ(grid->dbListId.size(), 3);
}

TEST_P(RecordWorkflow, GridExportWritesANewWorkbookAndOpensIt)
{
    QTemporaryDir temp;
    app->desk.temp = temp.path();
    auto files = [&] { return QDir(temp.path()).entryList(QDir::Files, QDir::Name); };
    app->db().execute("INSERT INTO customers (name, vip) VALUES ('Lee', 1)");
    app->click("frmMain", "bFind");

    // Twice: two workbooks under names of their own, and nothing else left in the folder.
    app->click("frmMain", "bExport");
    app->click("frmMain", "bExport");
    ASSERT_EQ(app->desk.shellRequests.size(), 2u);
    QStringList opened;
    for (const auto& request : app->desk.shellRequests)
        opened.append(QFileInfo(request.target).fileName());
    opened.sort();
    EXPECT_EQ(files(), opened);
    EXPECT_NE(opened[0], opened[1]);
    for (const QString& name : opened)
        EXPECT_TRUE(name.startsWith("gridCustomers_") && name.endsWith(".xlsx")) << name.toStdString();
    QFile workbook(app->desk.shellRequests[0].target);
    ASSERT_TRUE(workbook.open(QIODevice::ReadOnly));
    EXPECT_EQ(workbook.read(2), QByteArray("PK"));
    EXPECT_TRUE(app->desk.messages.empty());
}

// Where nothing opens workbooks, or the program does not start, the user learns where the
// workbook is and may save it where he chooses, as with a report.
TEST_P(RecordWorkflow, GridExportWithoutASpreadsheetProgramOffersToSaveTheWorkbook)
{
    QTemporaryDir temp;
    QTemporaryDir mine;
    app->desk.temp = temp.path();
    app->db().execute("INSERT INTO customers (name, vip) VALUES ('Lee', 1)");
    app->click("frmMain", "bFind");
    const QString question = "\n\nDo you want to save a copy where you choose?";

    app->desk.hasPrograms = false;
    app->desk.fileAnswers = {mine.filePath("customers.xlsx")};
    app->click("frmMain", "bExport");
    EXPECT_TRUE(app->desk.shellRequests.empty());
    const QStringList written = QDir(temp.path()).entryList(QDir::Files);
    ASSERT_EQ(written.size(), 1);
    const QString workbook = temp.path() + '/' + written[0];
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].caption, "Error");
    EXPECT_EQ(app->desk.messages[0].text, "Your computer does not have Excel\nThe workbook was saved as "
                                              + QDir::toNativeSeparators(workbook) + "." + question);
    EXPECT_EQ(app->desk.messages[0].buttons, DesktopServices::Yes | DesktopServices::No);
    ASSERT_EQ(app->desk.dialogs.size(), 1u);
    EXPECT_TRUE(app->desk.dialogs[0].save);
    EXPECT_EQ(app->desk.dialogs[0].request.fileName, "gridCustomers.xlsx");
    EXPECT_TRUE(app->desk.dialogs[0].request.filter.endsWith("|*.xlsx"));
    QFile copy(mine.filePath("customers.xlsx"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    QFile original(workbook);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());

    // A program that does not start: the same offer; No keeps only the workbook in the
    // temporary folder.
    app->desk.messages.clear();
    app->desk.hasPrograms = true;
    app->desk.shellOpenSucceeds = false;
    app->desk.answers = {DesktopServices::No};
    app->click("frmMain", "bExport");
    EXPECT_EQ(app->desk.shellRequests.size(), 1u);
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_TRUE(app->desk.messages[0].text.endsWith(question));
    EXPECT_EQ(app->desk.dialogs.size(), 1u);
    EXPECT_EQ(QDir(mine.path()).entryList(QDir::Files), QStringList{"customers.xlsx"});

    // In Russian.
    Lang.fillRussian();
    app->desk.messages.clear();
    app->desk.answers = {DesktopServices::No};
    app->click("frmMain", "bExport");
    Lang.fillEnglish();
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_TRUE(app->desk.messages[0].text.startsWith(QString::fromUtf8(
        "На вашем компьютере не установлен Excel.\nКнига сохранена в файл ")));
    EXPECT_TRUE(app->desk.messages[0].text.endsWith(QString::fromUtf8("Сохранить копию туда, куда вы укажете?")));
}

TEST_P(RecordWorkflow, MessagesForGridsWithoutASelection)
{
    app->click("frmMain", "bEdit");
    app->click("frmMain", "bDelete");
    app->click("frmMain", "bNoGrid");
    ASSERT_EQ(app->desk.messages.size(), 3u);
    EXPECT_EQ(app->desk.messages[0].text, "Entry to edit is no selected");
    EXPECT_EQ(app->desk.messages[0].caption, "Error");
    EXPECT_EQ(app->desk.messages[1].text, "Entry to be deleted is not selected.");
    EXPECT_EQ(app->desk.messages[1].caption, "Information");
    EXPECT_TRUE(app->desk.messages[2].text.contains("edFind"));
}

TEST_P(RecordWorkflow, AMissingTableIsReportedAndTheProgramRunsOn)
{
    control<TdbButton>("frmMain", "bFind")->dbGeneralTable = "nosuch";
    control<TdbButton>("frmMain", "bFind")->dbListFields = "nosuch.name";
    app->click("frmMain", "bFind");
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].text, app->onServer() ? "relation \"nosuch\" does not exist"
                                                           : "no such table: nosuch");
    app->db().execute("INSERT INTO customers (name) VALUES ('Kim')");
    control<TdbButton>("frmMain", "bFind")->dbGeneralTable = "customers";
    control<TdbButton>("frmMain", "bFind")->dbListFields = "customers.name";
    control<TdbEdit>("frmMain", "edFind")->clear();
    app->click("frmMain", "bFind");
    EXPECT_EQ(customers()->dbListId.size(), 1);
}

VARNEL_ON_BOTH_BACKENDS(RecordWorkflow);

namespace {
// A table named by a word the server reserves and one spelled with capitals, fields spelled
// with capitals: every name the engine writes must reach the server quoted.
const QByteArray AwkwardTables =
    "[user]\nisdictionary=1\n-FullName=TEXT\n"
    "[Visit]\n*record_count=INTEGER\n-Note=TEXT\n_Day=DATE\n^id_user=user\n";

const QByteArray AwkwardForms = R"(<main>
<frmMain>
  <TdbEdit Name="edFind" dbTable="Visit" dbField="Note" dbFilter="="/>
  <TdbDateTimePicker Name="dtFrom" dbTable="Visit" dbField="Day" dbFilter="&gt;="/>
  <TdbComboBox Name="cbUser" dbForeignKey="Visit.id_user" dbField="FullName" dbSort="True"/>
  <TdbStringGrid Name="gridVisits" dbGeneralTable="Visit" dbListFields="Visit.Note"/>
  <TdbButton Name="bFind" dbActionType="adbSearch" dbResultControl="gridVisits" dbGeneralTable="Visit"
             dbListFields="Visit.Note,user.FullName,Visit.Day" dbListControls="edFind,dtFrom,cbUser" dbSortField="Visit.Note"
             dbSortAsc="True"/>
  <TdbButton Name="bNotes" dbActionType="adbSQL" dbResultControl="gridVisits" dbGeneralTable="Visit"
             dbSQL="SELECT id, Note FROM Visit WHERE Note LIKE &quot;{edFind}%&quot; ORDER BY Note"/>
  <TdbStringGrid Name="gridUsers" dbGeneralTable="user" dbListFields="user.FullName" dbAutoExecute="True"/>
  <TdbButton Name="bUser" dbActionType="adbShowRecord" dbFormName="frmUser" dbResultControl="gridUsers"/>
  <TdbButton Name="bEdit" dbActionType="adbShowRecord" dbFormName="frmVisit" dbResultControl="gridVisits"/>
  <TdbButton Name="bDelete" dbActionType="adbDelete" dbResultControl="gridVisits" dbConfirmDelete="False"/>
</frmMain>
<frmUser>
  <TdbEdit Name="edUser" dbTable="user" dbField="FullName"/>
  <TdbStringGrid Name="gridOwn" dbGeneralTable="Visit" dbListFields="Visit.Note" dbSortField="Visit.Note" dbSortAsc="True"/>
  <TdbButton Name="bNewVisit" dbActionType="adbNewRecord" dbFormName="frmVisit"/>
</frmUser>
<frmVisit>
  <TdbEdit Name="edNote" dbTable="Visit" dbField="Note"/>
  <TdbEditCount Name="ecNo" dbTable="Visit"/>
  <TdbDateTimePicker Name="dtDay" dbTable="Visit" dbField="Day"/>
  <TdbButton Name="bSave" dbActionType="adbSaveRecord" dbGeneralTable="Visit" dbListControls="edNote,ecNo,dtDay"/>
</frmVisit>
</main>)";
} // namespace

class AwkwardNames : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(AwkwardTables, AwkwardForms, GetParam());
        app->load("INSERT INTO \"user\" (id, \"FullName\") VALUES (1, 'Ann'), (2, 'Bo')");
        app->main->FillDictionaries(QString());
        app->control<TdbStringGridEx>("frmMain", "gridUsers")->dbExecute();
    }
    TdbStringGridEx* visits() { return app->control<TdbStringGridEx>("frmMain", "gridVisits"); }
    QStringList notes(TdbStringGridEx* grid)
    {
        QStringList out;
        for (int r = 1; r <= grid->dbListId.size(); ++r)
            out.append(grid->cell(0, r));
        return out;
    }
    std::unique_ptr<RunningApp> app;
};

// New child records from a parent's form, a search with every kind of filter, author SQL,
// a record opened and saved, a deletion: each through the statements the engine builds.
TEST_P(AwkwardNames, EveryStatementReachesTheDatabaseWithItsNames)
{
    auto* users = app->control<TdbStringGridEx>("frmMain", "gridUsers");
    users->setDbItemID(1);
    QStringList own;
    app->onModal("frmUser", [&](TForm*) {
        for (const char* note : {"first", "second"}) {
            app->onModal("frmVisit", [&](TForm*) {
                app->control<TdbEdit>("frmVisit", "edNote")->setText(note);
                auto* day = app->control<TdbDateTimePicker>("frmVisit", "dtDay");
                day->setDbStringDateTime(QString(note) == "first" ? "2020-01-02" : "2021-05-06");
                day->setChecked(true);
                app->click("frmVisit", "bSave");
            });
            app->click("frmUser", "bNewVisit");
        }
        own = notes(app->control<TdbStringGridEx>("frmUser", "gridOwn"));
        app->form("frmUser")->closeForm();
    });
    app->click("frmMain", "bUser");
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    EXPECT_EQ(own, (QStringList{"first", "second"}));
    EXPECT_EQ(app->rows("SELECT \"Note\", record_count, id_user FROM \"Visit\" ORDER BY \"Note\""),
              (QList<QStringList>{{"first", "1", "1"}, {"second", "2", "1"}}));

    auto* from = app->control<TdbDateTimePicker>("frmMain", "dtFrom");
    from->setDbStringDateTime("2021-01-01");
    from->setChecked(true);
    app->control<TdbComboBox>("frmMain", "cbUser")->setDbItemID(1);
    app->control<TdbEdit>("frmMain", "edFind")->setText("SEC%");
    app->click("frmMain", "bFind");
    EXPECT_EQ(notes(visits()), QStringList{"second"});
    EXPECT_EQ(visits()->cell(1, 1), "Ann");

    app->control<TdbEdit>("frmMain", "edFind")->setText("f");
    app->click("frmMain", "bNotes");
    EXPECT_EQ(notes(visits()), QStringList{"1"}); // the id column comes first here
    app->onModal("frmVisit", [&](TForm*) {
        EXPECT_EQ(app->control<TdbEdit>("frmVisit", "edNote")->text(), "first");
        app->control<TdbEdit>("frmVisit", "edNote")->setText("third");
        app->click("frmVisit", "bSave");
    });
    app->click("frmMain", "bEdit");
    from->setChecked(false);
    app->control<TdbEdit>("frmMain", "edFind")->setText("third");
    app->click("frmMain", "bFind");
    ASSERT_EQ(notes(visits()), QStringList{"third"});
    app->click("frmMain", "bDelete");
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    EXPECT_EQ(app->rows("SELECT \"Note\" FROM \"Visit\""), (QList<QStringList>{{"second"}}));
}

VARNEL_ON_BOTH_BACKENDS(AwkwardNames);
