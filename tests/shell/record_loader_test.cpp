#include "app_fixture.h"

#include "controls/file_control.h"
#include "controls/picture_controls.h"
#include "controls/value_controls.h"
#include "support/pictures.h"

#include <QToolButton>

namespace {
const QByteArray Tables =
    "[customers]\nisdictionary=1\n-name=TEXT\n>id_cities=\n"
    "[cities]\nisdictionary=1\n-name=TEXT\n"
    "[agents]\nisdictionary=1\n-name=TEXT\n"
    "[orders]\n-number=TEXT\n>id_customers=\n_scan=IMAGE\n_placed=DATETIME\n_doc=FILE\n_open=BOOLEAN\n"
    ">id_agents=\n";

const QByteArray FormsXml = R"(<main>
<frmMain>
  <TdbStringGrid Name="grid" dbGeneralTable="orders" dbListFields="orders.number"/>
  <TdbButton Name="bShow" dbActionType="adbShowRecord" dbFormName="frmOrder" dbResultControl="grid"/>
</frmMain>
<frmOrder>
  <TdbEdit Name="edNumber" dbTable="orders" dbField="number"/>
  <TdbEdit Name="edCustomer" dbTable="customers" dbField="name"/>
  <TdbEdit Name="edCustomer2" dbTable="customers" dbField="name"/>
  <TdbCheckBox Name="chkOpen" dbTable="orders" dbField="open"/>
  <TdbDateTimePicker Name="dtPlaced" dbTable="orders" dbField="placed"/>
  <TdbMonthCalendar Name="calPlaced" dbTable="orders" dbField="placed"/>
  <TdbFileToDatabase Name="fileDoc" dbTable="orders" dbField="doc"/>
  <TdbImageDataBase Name="imgScan" dbTable="orders" dbField="scan" Width="50" Height="50"/>
  <TdbComboBox Name="cbCustomer" dbForeignKey="orders.id_customers" dbField="name"/>
  <TdbButton Name="bSave" dbActionType="adbSaveRecord" dbGeneralTable="orders"/>
  <TdbButton Name="bSql" dbActionType="adbSQL"/>
  <TdbButton Name="bNewChild" dbActionType="adbNewRecord"/>
</frmOrder>
<frmBroken>
  <TdbEdit Name="edCity" dbTable="cities" dbField="name"/>
</frmBroken>
<frmSimple>
  <TdbEdit Name="edNumber" dbTable="orders" dbField="number"/>
  <TdbEdit Name="edCustomer" dbTable="customers" dbField="name"/>
  <TdbEdit Name="edAgent" dbTable="agents" dbField="name"/>
</frmSimple>
</main>)";
} // namespace

// Runs on both back ends; the loader's exact SQLite statement is asserted on SQLite.
class RecordLoader : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override { running = std::make_unique<RunningApp>(Tables, FormsXml, GetParam()); }
    std::unique_ptr<RunningApp> running;
};

TEST_P(RecordLoader, TheQueryJoinsReferencedTablesOnceInAlphabeticalOrder)
{
    RunningApp& app = *running;
    app.db().execute("INSERT INTO cities (id, name) VALUES (2, 'Oslo');"
                     "INSERT INTO customers (id, name, id_cities) VALUES (7, 'Ann', 2);"
                     "INSERT INTO agents (id, name) VALUES (3, 'Bo');");
    const QByteArray png = pngBytes(Qt::blue);
    app.db().execute("INSERT INTO orders (id, number, id_customers, placed, doc, doc_filename, \"open\", id_agents, "
                     "scan, scan_filename) VALUES (15, 'A-15', 7, '2014-03-05 14:05:09.000', :doc, "
                     "'C:\\docs\\report.pdf', NULL, 3, :scan, 'scan.png')",
                     {{"doc", QByteArray(1, '\0')}, {"scan", png}});
    app.main->FillDictionaries(QString());

    TdbButton simple(nullptr);
    simple.dbFormName = "frmSimple";
    simple.dbGeneralTable = "orders";
    app.statements.clear();
    app.main->FillForm(15, &simple);
    // The example of the loader: main items, then joined items with their aliases.
    if (!app.onServer()) {
        EXPECT_EQ(app.statements.first(),
                  "SELECT [orders].[number],[orders].[id_customers],[orders].[scan],[orders].[scan_filename],"
                  "[orders].[placed],[orders].[doc],[orders].[doc_filename],[orders].[open],[orders].[id_agents],"
                  "[agents].[name] AS \"agents.name\",[customers].[name] AS \"customers.name\" FROM [orders] "
                  "LEFT OUTER JOIN [agents] ON [orders].[id_agents] = [agents].id "
                  "LEFT OUTER JOIN [customers] ON [orders].[id_customers] = [customers].id WHERE [orders].id=15");
    } else {
        EXPECT_EQ(app.statements.first(),
                  "SELECT \"orders\".\"number\",\"orders\".\"id_customers\",\"orders\".\"scan\","
                  "\"orders\".\"scan_filename\",\"orders\".\"placed\",\"orders\".\"doc\",\"orders\".\"doc_filename\","
                  "\"orders\".\"open\",\"orders\".\"id_agents\",\"agents\".\"name\" AS \"agents.name\","
                  "\"customers\".\"name\" AS \"customers.name\" FROM \"orders\" "
                  "LEFT OUTER JOIN \"agents\" ON \"orders\".\"id_agents\" = \"agents\".id "
                  "LEFT OUTER JOIN \"customers\" ON \"orders\".\"id_customers\" = \"customers\".id "
                  "WHERE \"orders\".id=15");
    }
    EXPECT_EQ(app.control<TdbEdit>("frmSimple", "edCustomer")->text(), "Ann");
    EXPECT_EQ(app.control<TdbEdit>("frmSimple", "edAgent")->text(), "Bo");

    bool shown = false;
    app.onModal("frmOrder", [&](TForm*) {
        shown = true;
        EXPECT_EQ(app.control<TdbEdit>("frmOrder", "edNumber")->text(), "A-15");
        EXPECT_EQ(app.control<TdbEdit>("frmOrder", "edCustomer2")->text(), "Ann");
        EXPECT_EQ(app.control<TdbCheckBox>("frmOrder", "chkOpen")->checkState(), Qt::PartiallyChecked);
        auto* placed = app.control<TdbDateTimePicker>("frmOrder", "dtPlaced");
        EXPECT_TRUE(placed->isChecked());
        EXPECT_EQ(placed->dbStringDateTime(), "2014-03-05 14:05:09.000");
        EXPECT_EQ(app.control<TdbMonthCalendar>("frmOrder", "calPlaced")->dbStringDateTime(),
                  "2014-03-05 00:00:00.000");
        auto* doc = app.control<TdbFileToDatabase>("frmOrder", "fileDoc");
        EXPECT_EQ(doc->dbFileName, "C:\\docs\\report.pdf");
        EXPECT_EQ(doc->text(), "report.pdf");
        EXPECT_EQ(doc->dbID, 15);
        EXPECT_TRUE(doc->rightButton()->isEnabled());
        auto* picture = app.control<TdbImageDataBase>("frmOrder", "imgScan");
        EXPECT_TRUE(picture->hasPicture());
        EXPECT_EQ(picture->dbFileName, "scan.png");
        EXPECT_FALSE(picture->dbImageIsChanged);
        EXPECT_EQ(app.control<TdbComboBox>("frmOrder", "cbCustomer")->dbItemID(), 7);
        EXPECT_EQ(app.control<TdbButton>("frmOrder", "bSave")->dbGeneralTableId, 15);
        EXPECT_EQ(app.control<TdbButton>("frmOrder", "bSql")->dbGeneralTableId, 15);
        EXPECT_EQ(app.control<TdbButton>("frmOrder", "bNewChild")->dbParentTable, "orders");
        EXPECT_EQ(app.control<TdbButton>("frmOrder", "bNewChild")->dbParentTableId, 15);
        app.form("frmOrder")->closeForm();
    });
    auto* grid = app.control<TdbStringGridEx>("frmMain", "grid");
    grid->dbExecute();
    ASSERT_EQ(grid->dbItemID(), 15);
    app.statements.clear();
    app.click("frmMain", "bShow");
    EXPECT_TRUE(shown) << "the order form was never shown";
    EXPECT_TRUE(app.desk.messages.empty()) << app.desk.texts().join("|").toStdString();
    EXPECT_EQ(app.control<TdbButton>("frmMain", "bShow")->dbParentTableId, 15);
}

TEST_P(RecordLoader, AControlOnATableWithoutAReferenceIsRefusedByTheDatabase)
{
    RunningApp& app = *running;
    app.db().execute("INSERT INTO orders (id, number) VALUES (15, 'A-15')");
    TdbButton show(nullptr);
    show.dbFormName = "frmBroken";
    show.dbGeneralTable = "orders";
    bool shown = false;
    app.onModal("frmBroken", [&](TForm* f) { shown = true; f->closeForm(); });
    guarded([&] { app.main->FillForm(15, &show); });
    if (!app.onServer()) {
        EXPECT_EQ(app.statements.last(),
                  "SELECT [orders].[number],[orders].[id_customers],[orders].[scan],[orders].[scan_filename],"
                  "[orders].[placed],[orders].[doc],[orders].[doc_filename],[orders].[open],[orders].[id_agents],"
                  "[cities].[name] AS \"cities.name\" FROM [orders] LEFT OUTER JOIN [cities] "
                  "ON [orders].[id_cities] = [cities].id WHERE [orders].id=15");
    }
    ASSERT_EQ(app.desk.messages.size(), 1u);
    // Each database words the missing column its own way.
    EXPECT_EQ(app.desk.messages[0].text, app.onServer() ? "column orders.id_cities does not exist"
                                                         : "no such column: orders.id_cities");
    EXPECT_FALSE(shown);
}

VARNEL_ON_BOTH_BACKENDS(RecordLoader);
