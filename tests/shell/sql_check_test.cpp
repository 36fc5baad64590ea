// varnel --check-sql: the author's statements of a project folder prepared against its
// database, on both back ends, in-process and through the real program.
#include "demo_project.h"

#include "shell/sql_check.h"
#include "support/backends.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

namespace {

const QByteArray Tables = "[customers]\nisdictionary=1\n-name=TEXT\n_vip=BOOLEAN\n_born=DATE\n"
                          "[orders]\n-number=TEXT\n*record_count=INTEGER\n^id_customers=customers\n"
                          "_total=INTEGER\n%double=[orders].[total]*2\n"
                          "[items]\n^id_orders=orders\n_qty=INTEGER\n";

// One statement of every kind the check looks at, written as SQLite authors write them.
const QByteArray Forms = R"(<main>
<frmMain>
  <TdbEdit Name="edName" dbTable="customers" dbField="name" dbFilter="%s%"/>
  <TdbCheckBox Name="chkVip" dbTable="customers" dbField="vip" AllowGrayed="True"/>
  <TdbDateTimePicker Name="dtBorn" dbTable="customers" dbField="born" dbFilter="&gt;="/>
  <TdbButton Name="bFind" dbActionType="adbSearch" dbResultControl="grid" dbGeneralTable="customers"
             dbListFields="customers.name,customers.vip" dbListControls="edName,chkVip,dtBorn" dbSortField="customers.name"/>
  <TdbStringGrid Name="grid" dbGeneralTable="customers" dbListFields="customers.name" dbAutoExecute="True"
                 dbFilter="customers.vip == 1" dbSortField="customers.born"/>
  <TdbButton Name="bVip" dbActionType="adbSQL" dbSQL="UPDATE customers SET vip=1 WHERE name LIKE &quot;{edName}%&quot; AND id = $id"/>
  <TdbButton Name="bList" dbActionType="adbReport" dbReportFile="sub/list.xml"
             dbSQL="SELECT [name] AS 'Name', ifnull(born, &quot;never&quot;) AS born FROM customers WHERE vip = {chkVip}"/>
  <TdbButton Name="bCard" dbActionType="adbReport" dbReportFile="sub\card.xml"/>
</frmMain>
<frmOrder>
  <TdbComboBox Name="cbCustomer" dbForeignKey="orders.id_customers" dbField="name" dbSort="True"/>
  <TdbComboBox Name="cbOrder" dbForeignKey="items.id_orders" dbField="number" dbParentCombo="cbCustomer" dbSort="True"/>
  <TdbStringGrid Name="gridOrders" dbGeneralTable="orders" dbListFields="orders.number,customers.name,orders.double" dbAutoExecute="True"/>
</frmOrder>
</main>)";

const QByteArray Template = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
  <query>SELECT name FROM customers WHERE id = $id</query>
  <detail height="6"><text x="0" y="0" width="80" height="6">[Report.name]</text></detail>
</report>)";

// A template whose query a report button without one runs, with a control of its form in it.
const QByteArray CardTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
  <query>SELECT name FROM customers WHERE id = $id AND name LIKE '{edName}%'</query>
  <title height="6"><text x="0" y="0" width="80" height="6">[Report.name]</text></title>
</report>)";

// The project on the back end, its database made from tables.ini with one customer.
class SqlCheck : public ::testing::TestWithParam<Backend> {
protected:
    void write(const QByteArray& tables = Tables, const QByteArray& forms = Forms,
               const QByteArray& report = Template, const QByteArray& card = CardTemplate)
    {
        project.write("tables.ini", tables);
        project.write("forms.xml", forms);
        QDir(project.path()).mkpath("Report/sub");
        project.write("Report/sub/list.xml", report);
        project.write("Report/sub/card.xml", card);
        if (db.isOpen())
            return;
        openTestDatabase(db, GetParam(), project.file("sqlite.db"), server);
        if (server)
            project.write("settings.ini", "[Options]\nserver=" + server->conninfo().toUtf8() + "\n");
        for (const QString& statement : GetCreateTableScript(project.file("tables.ini"), db.dialect()))
            db.execute(statement);
        db.execute("INSERT INTO customers (name, vip) VALUES ('Ann', 0)");
    }
    CommandOutcome check() { return RunSqlCheck({"varnel", "--check-sql"}); }

    TempProject project;
    std::unique_ptr<PgTestDatabase> server;
    SqlConnection db;
};

} // namespace

TEST_P(SqlCheck, ACleanProjectPassesAndNothingRuns)
{
    write();
    const CommandOutcome outcome = check();
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output.join('\n').toStdString();
    // The calculated field, the two grids, the search, SQL and report buttons, the template
    // query of the report button without one, the two dictionary boxes and the two templates.
    ASSERT_EQ(outcome.output.size(), 1);
    EXPECT_TRUE(outcome.output[0].startsWith("11 statements checked against ")) << outcome.output[0].toStdString();
    EXPECT_TRUE(outcome.output[0].endsWith(": all passed"));
    const QueryResult rows = db.query("SELECT name, vip FROM customers");
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0][1].toInt(), 0) << "the SQL button's UPDATE ran";
}

// Each case breaks one statement; the failure names where it is written and what the
// database does not know.
TEST_P(SqlCheck, ABrokenStatementIsNamedByItsFormAndControl)
{
    enum File { TablesIni, FormsXml, ReportXml, CardXml };
    struct Case {
        File file;
        const char* from;
        const char* to;
        const char* where;
        const char* named;
        bool serverOnly = false;
        // Other statements that share the broken part (a grid's filter is part of every
        // search into the grid, a calculated field of every grid that lists it) fail after it.
        int failures = 1;
    };
    const Case cases[] = {
        {FormsXml, R"(dbListFields="customers.name" dbAutoExecute)", R"(dbListFields="customers.nmae" dbAutoExecute)",
         "frmMain.grid (grid search): ", "nmae"},
        {FormsXml, "customers.vip == 1", "customers.vp == 1", "frmMain.grid (grid search): ", "vp", false, 2},
        {FormsXml, R"(dbSortField="customers.born")", R"(dbSortField="customers.brn")", "frmMain.grid (grid search): ", "brn"},
        {FormsXml, R"(dbSortField="customers.name")", R"(dbSortField="customers.nmae")", "frmMain.bFind (search): ", "nmae"},
        {FormsXml, R"(dbField="name" dbFilter="%s%")", R"(dbField="nmae" dbFilter="%s%")", "frmMain.bFind (search): ", "nmae"},
        {FormsXml, R"(dbResultControl="grid")", R"(dbResultControl="nogrid")", "frmMain.bFind (search): ", "nogrid"},
        {FormsXml, "SET vip=1", "SET vipp=1", "frmMain.bVip (SQL): ", "vipp"},
        {FormsXml, "[name] AS 'Name'", "[nmae] AS 'Name'", "frmMain.bList (report query): ", "nmae"},
        {FormsXml, R"(dbField="name" dbSort)", R"(dbField="nmae" dbSort)", "frmOrder.cbCustomer (dictionary): ", "nmae"},
        {FormsXml, R"(dbField="number" dbParentCombo)", R"(dbField="numbr" dbParentCombo)",
         "frmOrder.cbOrder (linked dictionary): ", "numbr"},
        {TablesIni, "[orders].[total]*2", "[orders].[totl]*2", "tables.ini orders.double (calculated field): ", "totl",
         false, 2},
        {ReportXml, "WHERE id = $id", "WHERE idd = $id", "Report/sub/list.xml (template query): ", "idd"},
        {ReportXml, "<query>", "<query", "Report/sub/list.xml (template query): ", "line"},
        // The button that runs the template's query fails with it, named first.
        {CardXml, "LIKE '{edName}%'", "LIKE '{edName}%' AND nme = 1", "frmMain.bCard (template query): ", "nme",
         false, 2},
        // SQLite has it, PostgreSQL has not: the check tells what would fail on the server.
        {FormsXml, "ifnull(born,", "group_concat(born,", "frmMain.bList (report query): ", "group_concat", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        QByteArray tables = Tables, forms = Forms, report = Template, card = CardTemplate;
        QByteArray& target = c.file == TablesIni ? tables : c.file == FormsXml ? forms : c.file == ReportXml ? report : card;
        ASSERT_TRUE(target.contains(c.from));
        target.replace(c.from, c.to);
        write(tables, forms, report, card);
        const CommandOutcome outcome = check();
        const bool fails = !c.serverOnly || GetParam() == Backend::PostgreSQL;
        ASSERT_EQ(outcome.exitCode, fails ? 1 : 0) << outcome.output.join('\n').toStdString();
        if (!fails)
            continue;
        ASSERT_EQ(outcome.output.size(), c.failures + 1) << outcome.output.join('\n').toStdString();
        EXPECT_TRUE(outcome.output[0].startsWith(c.where)) << outcome.output[0].toStdString();
        EXPECT_TRUE(outcome.output[0].contains(c.named)) << outcome.output[0].toStdString();
        EXPECT_TRUE(outcome.output.last().endsWith(QString(": %1 failed").arg(c.failures)))
            << outcome.output.last().toStdString();
    }
}

// A template with sub-reports, one inside another and one in the summary; their queries take
// ":name" parameters from the outer row.
const QByteArray SubreportTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="2">
  <query>SELECT id, name FROM customers</query>
  <detail height="20">
    <text x="0" y="0" width="80" height="6">[Report.name]</text>
    <subreport name="Orders" x="0" y="6" width="100" height="10">
      <query>SELECT id, number FROM orders WHERE id_customers = :id AND total &gt;= :least</query>
      <parameter name="least" value="0"/>
      <detail height="8">
        <text x="0" y="0" width="80" height="5">[Orders.number]</text>
        <subreport name="Items" x="0" y="5" width="100" height="3">
          <query>SELECT qty FROM items WHERE id_orders = :id</query>
          <detail height="3"><text x="0" y="0" width="80" height="3">[Items.qty]</text></detail>
        </subreport>
      </detail>
    </subreport>
  </detail>
  <summary height="10">
    <subreport name="Totals" x="0" y="0" width="100" height="10">
      <query>SELECT sum(total) AS total FROM orders</query>
      <detail height="5"><text x="0" y="0" width="80" height="5">[Totals.total]</text></detail>
    </subreport>
  </summary>
</report>)";

// Each sub-report's query is prepared with its parameters, at any depth; a broken one is named
// by its template and its sub-report, a nested one with the sub-report it stands in.
TEST_P(SqlCheck, SubreportQueriesAreCheckedAtAnyDepth)
{
    struct Case {
        const char* from;
        const char* to;
        const char* where;
        const char* named;
    };
    const Case cases[] = {
        {"", "", nullptr, nullptr},
        {"total &gt;= :least", "totl &gt;= :least", "Report/sub/orders.xml (sub-report Orders): ", "totl"},
        {"SELECT qty FROM", "SELECT qtty FROM", "Report/sub/orders.xml (sub-report Items in Orders): ", "qtty"},
        {"sum(total)", "sum(totals)", "Report/sub/orders.xml (sub-report Totals): ", "totals"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        QByteArray report = SubreportTemplate;
        report.replace(c.from, c.to);
        write();
        project.write("Report/sub/orders.xml", report);
        const CommandOutcome outcome = check();
        if (!c.where) {
            // The eleven of the clean project, this template's query and its three sub-reports.
            ASSERT_EQ(outcome.exitCode, 0) << outcome.output.join('\n').toStdString();
            ASSERT_EQ(outcome.output.size(), 1);
            EXPECT_TRUE(outcome.output[0].startsWith("15 statements checked against ")) << outcome.output[0].toStdString();
            continue;
        }
        ASSERT_EQ(outcome.exitCode, 1) << outcome.output.join('\n').toStdString();
        ASSERT_EQ(outcome.output.size(), 2) << outcome.output.join('\n').toStdString();
        EXPECT_TRUE(outcome.output[0].startsWith(c.where)) << outcome.output[0].toStdString();
        EXPECT_TRUE(outcome.output[0].contains(c.named)) << outcome.output[0].toStdString();
        EXPECT_TRUE(outcome.output[1].startsWith("15 statements checked against ")) << outcome.output[1].toStdString();
        EXPECT_TRUE(outcome.output[1].endsWith(": 1 failed")) << outcome.output[1].toStdString();
    }
}

VARNEL_ON_BOTH_BACKENDS(SqlCheck);

// A project that cannot be checked at all says why in one line, with its own exit code.
TEST(SqlCheckProject, WhatCannotBeOpenedEndsWithOneLineAndCodeTwo)
{
    struct Case {
        const char* settings;
        const char* forms;
        QStringList arguments;
        const char* says;
    };
    PgTestDatabase empty;
    const QByteArray emptyServer = "[Options]\nserver=" + empty.conninfo().toUtf8() + "\n";
    const Case cases[] = {
        {"", "<main><frmMain/></main>", {"varnel", "--check-sql", "--now"}, "usage: varnel --check-sql"},
        {"[Options]\nserver=/no/such/folder/app.db\n", "<main><frmMain/></main>", {"varnel", "--check-sql"},
         "the database file is not found: /no/such/folder/app.db"},
        {"[Options]\nserver=host=/no/such/folder port=5499 dbname=app\n", "<main><frmMain/></main>",
         {"varnel", "--check-sql"}, "/no/such/folder"},
        {emptyServer.constData(), "<main><frmMain/></main>", {"varnel", "--check-sql"}, "holds no tables yet"},
        {"", "<main><frmMain><TdbEdit Name=\"a\"></frmMain></main>", {"varnel", "--check-sql"}, "forms.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        TempProject project;
        project.write("tables.ini", Tables);
        project.write("forms.xml", QByteArray(c.forms));
        project.write("settings.ini", QByteArray(c.settings));
        SqlConnection db;
        db.open(project.file("sqlite.db"));
        for (const QString& statement : GetCreateTableScript(project.file("tables.ini")))
            db.execute(statement);
        const CommandOutcome outcome = RunSqlCheck(c.arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_TRUE(outcome.error.contains(c.says)) << outcome.error.toStdString();
        EXPECT_FALSE(outcome.error.contains('\n'));
        EXPECT_TRUE(outcome.output.isEmpty());
    }
}

#ifdef VARNEL_EXECUTABLE
// The demo passes on both back ends as it ships; the real program finds a statement broken
// in it and exits with 1.
TEST(SqlCheckProgram, TheDemoPassesOnBothBackEndsAndABrokenSearchIsFound)
{
    TempProject project;
    copyDemoFiles(project);
    makeDemoDatabase(project);
    ProgramRun run = runProgram(project, {"--check-sql"});
    ASSERT_EQ(run.exitCode, 0) << run.output.join('\n').toStdString() << run.error.toStdString();
    ASSERT_EQ(run.output.size(), 1);
    EXPECT_TRUE(run.output[0].endsWith(": all passed")) << run.output[0].toStdString();
    const QString checked = run.output[0].section(' ', 0, 0);
    EXPECT_GE(checked.toInt(), 25);

    PgTestDatabase server;
    makeServerSchema(project, server.conninfo());
    project.write("settings.ini", "[Options]\nserver=" + server.conninfo().toUtf8() + "\n");
    run = runProgram(project, {"--check-sql"});
    ASSERT_EQ(run.exitCode, 0) << run.output.join('\n').toStdString() << run.error.toStdString();
    ASSERT_EQ(run.output.size(), 1);
    EXPECT_TRUE(run.output[0].startsWith(checked + " statements checked against " + server.name()))
        << run.output[0].toStdString();

    QByteArray forms = demoFile("forms.xml");
    forms.replace(R"(dbSortField="orders.ordered" TabStop="True" TabOrder="4")",
                  R"(dbSortField="orders.orderd" TabStop="True" TabOrder="4")");
    project.write("forms.xml", forms);
    run = runProgram(project, {"--check-sql"});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.output.size(), 2) << run.output.join('\n').toStdString();
    EXPECT_TRUE(run.output[0].startsWith("frmOrders.bOrdSearch (search): ")) << run.output[0].toStdString();
    EXPECT_TRUE(run.output[0].contains("orderd"));
    EXPECT_TRUE(run.output[1].endsWith(": 1 failed"));
}
#endif
