// Reports made from the command line: the real program started from another folder, and the
// options and failures it answers with one line.
#include "shell/report_batch.h"

#include "platform/sql_connection.h"
#include "support/backends.h"
#include "support/temp_project.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray ListTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
  <query>SELECT name FROM customers WHERE id &gt;= $id ORDER BY name</query>
  <detail height="6"><text x="0" y="0" width="80" height="6">[Report.name]</text></detail>
  <summary height="6"><text x="0" y="0" width="80" height="6">Rows: [COUNT()]</text></summary>
</report>)";

const QByteArray ParameterTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="2">
  <parameters>
    <parameter name="who" kind="text"/>
    <parameter name="from_id" kind="integer" default="1"/>
    <parameter name="since" kind="date" default="2024-01-01"/>
  </parameters>
  <query>SELECT name FROM customers WHERE name &lt;&gt; :who AND id &gt;= :from_id ORDER BY name</query>
  <detail height="6"><text x="0" y="0" width="80" height="6">row [Report.name]</text></detail>
  <summary height="6"><text x="0" y="0" width="80" height="6">Rows: [COUNT()] left out: [LEN(Param.who)] letters, from [Param.from_id]</text></summary>
</report>)";

// On SQLite the project's database file; on PostgreSQL a database of the tests' server that
// the project's settings.ini names.
class ReportBatch : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        QDir(project.path()).mkpath("Report/lists");
        project.write("Report/lists/names.xml", ListTemplate);
        project.write("Report/asks.xml", ParameterTemplate);
        project.write("tables.ini", QByteArray("[customers]\n_name=TEXT\n"));
        SqlConnection db;
        openTestDatabase(db, GetParam(), project.file("sqlite.db"), server);
        if (server)
            project.write("settings.ini", "[Options]\nserver=" + server->conninfo().toUtf8() + "\n");
        db.execute("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT);"
                   "INSERT INTO customers (id, name) VALUES (1, 'Ann'), (2, 'Bo');");
        db.execute("INSERT INTO customers (id, name) VALUES (0, 'O''Brien \"Ltd\"')");
    }
    bool onServer() const { return server != nullptr; }
    ReportBatchResult run(QStringList options)
    {
        options.prepend("varnel");
        return RunReportBatch(options);
    }
    QString output(const QString& name) const { return out.path() + '/' + name; }

    TempProject project;
    std::unique_ptr<PgTestDatabase> server;
    QTemporaryDir out;
};

} // namespace

TEST_P(ReportBatch, TheTemplatesOwnQueryWithAnIdMakesAPdf)
{
    const auto result = run({"--report", "lists\\names.xml", "--format", "pdf", "--output",
                             output("names.pdf"), "--id", "2"});
    EXPECT_EQ(result.exitCode, 0) << result.error.toStdString();
    QFile pdf(output("names.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    QProcess text;
    text.start("pdftotext", {output("names.pdf"), "-"});
    if (text.waitForFinished()) {
        const QString shown = QString::fromUtf8(text.readAllStandardOutput());
        EXPECT_TRUE(shown.contains("Bo"));
        EXPECT_FALSE(shown.contains("Ann"));
        EXPECT_TRUE(shown.contains("Rows: 1"));
    }
}

// A full path, as a shell completes it, is taken when it lies inside the project's Report
// folder; one outside it is refused and nothing is written.
TEST_P(ReportBatch, AFullTemplatePathInsideTheReportFolderIsTaken)
{
    const QString inside = project.file("Report/lists/names.xml");
    ASSERT_TRUE(QDir::isAbsolutePath(inside));
    auto result = run({"--report", inside, "--format", "pdf", "--output", output("names.pdf"), "--id", "2"});
    EXPECT_EQ(result.exitCode, 0) << result.error.toStdString();
    EXPECT_TRUE(QFileInfo(output("names.pdf")).size() > 0);

    // Through a ".." that leaves the folder and comes back, still inside.
    result = run({"--report", project.file("Report/../Report/lists/names.xml"), "--format", "pdf", "--output",
                  output("again.pdf"), "--id", "2"});
    EXPECT_EQ(result.exitCode, 0) << result.error.toStdString();

    project.write("elsewhere.xml", ListTemplate);
    result = run({"--report", project.file("elsewhere.xml"), "--format", "pdf", "--output", output("out.pdf"),
                  "--id", "2"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(result.error.contains("is not in the project's Report folder")) << result.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(output("out.pdf")));
}

TEST_P(ReportBatch, FailuresAnswerWithOneLineAndWriteNothing)
{
    struct Case {
        QStringList options;
        QString says;
    };
    // Each database words a missing table its own way.
    const QString noTable = onServer() ? "relation \"nowhere\" does not exist" : "no such table: nowhere";
    const Case cases[] = {
        {{"--report", "nosuch.xml", "--format", "pdf", "--output", output("a.pdf")}, "report template not found"},
        {{"--report", "lists/names.xml", "--format", "doc", "--output", output("a.pdf")}, "unknown format \"doc\""},
        {{"--report", "lists/names.xml", "--format", "pdf", "--output", output("a.pdf"), "--sql", "SELECT x FROM nowhere"}, noTable},
        {{"--report", "lists/names.xml", "--format", "pdf"}, "usage: varnel --report"},
        {{"--report", "lists/names.xml", "--format", "pdf", "--output", output("a.pdf"), "--id", "x"}, "--id needs a whole number"},
        {{"--report", "lists/names.xml", "--format", "pdf", "--output", output("a.pdf")}, "the query uses $id: give the record id with --id N"},
        {{"--report", "lists/names.xml", "--format", "pdf", "--output", output("a.pdf"), "--sql", "SELECT name FROM customers WHERE id = $ID"},
         "the query uses $id: give the record id with --id N"},
        {{"--report", "lists/names.xml", "--format", "pdf", "--output", out.path() + "/no/such/folder/a.pdf", "--sql", "SELECT name FROM customers"}, "a.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says.toStdString());
        const auto result = run(c.options);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_TRUE(result.error.contains(c.says)) << result.error.toStdString();
        EXPECT_FALSE(result.error.contains('\n'));
    }
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files).isEmpty());
}

// Parameters come as --param name=value and reach the query as bound values: a value holding
// both kinds of quote leaves out exactly the row that holds it.
TEST_P(ReportBatch, ParametersAreBoundToTheQueryAndShownInTexts)
{
    const auto result = run({"--report", "asks.xml", "--format", "html", "--output", output("asks.html"), "--param",
                             "who=O'Brien \"Ltd\"", "--param", "from_id=0"});
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    QFile html(output("asks.html"));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    const QString shown = QString::fromUtf8(html.readAll());
    EXPECT_TRUE(shown.contains("row Ann"));
    EXPECT_TRUE(shown.contains("row Bo"));
    EXPECT_FALSE(shown.contains("row O"));
    EXPECT_TRUE(shown.contains("Rows: 2 left out: 13 letters, from 0")) << shown.toStdString();

    // A parameter with a default may be left out; the query then binds the default (from 1).
    const auto defaults = run({"--report", "asks.xml", "--format", "html", "--output", output("ann.html"), "--param",
                               "WHO=Ann"});
    ASSERT_EQ(defaults.exitCode, 0) << defaults.error.toStdString();
    QFile ann(output("ann.html"));
    ASSERT_TRUE(ann.open(QIODevice::ReadOnly));
    const QString annShown = QString::fromUtf8(ann.readAll());
    EXPECT_TRUE(annShown.contains("Rows: 1 left out: 3 letters, from 1")) << annShown.toStdString();
    EXPECT_TRUE(annShown.contains("row Bo"));
}

// A parameter missing, ill-typed, unknown or malformed stops the run with one line, before
// anything is written.
TEST_P(ReportBatch, WrongParametersAnswerWithOneLine)
{
    struct Case {
        QStringList params;
        QString says;
    };
    const Case cases[] = {
        {{}, "the template asks.xml asks for the parameter who (a text): give it with --param who=VALUE"},
        {{"--param", "who=x", "--param", "from_id=two"}, "--param from_id: \"two\" is not a whole number"},
        {{"--param", "who=x", "--param", "since=31.12.2024"}, "--param since: \"31.12.2024\" is not a date written yyyy-mm-dd"},
        {{"--param", "who=x", "--param", "nope=1"}, "--param nope: the template asks.xml has no parameter of that name"},
        {{"--param", "who"}, "--param needs NAME=VALUE, not \"who\""},
        {{"--param", "who=x", "--param", "Who=y"}, "--param Who is given twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says.toStdString());
        const auto result = run(QStringList{"--report", "asks.xml", "--format", "pdf", "--output", output("a.pdf")} + c.params);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_EQ(result.error, c.says);
    }
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files).isEmpty());
}

// A file that is not there is not made; a server database that is not there is named.
TEST_P(ReportBatch, ADatabaseIsNeverCreated)
{
    const QString missing = onServer() ? server->name() + "_missing" : QString();
    if (onServer())
        project.write("settings.ini", "[Options]\nserver=" + PgTestDatabase::serverConninfo(missing).toUtf8() + "\n");
    else
        QFile::remove(project.file("sqlite.db"));
    const auto result = run({"--report", "lists/names.xml", "--format", "pdf", "--output", output("a.pdf")});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_FALSE(result.error.contains('\n'));
    if (onServer()) {
        EXPECT_TRUE(result.error.contains(missing)) << result.error.toStdString();
        SqlConnection admin;
        admin.openServer(PgTestDatabase::serverConninfo());
        EXPECT_TRUE(admin.query("SELECT 1 FROM pg_database WHERE datname = '" + missing + "'").isEmpty());
    } else {
        EXPECT_TRUE(result.error.contains("database file is not found"));
        EXPECT_FALSE(QFileInfo::exists(project.file("sqlite.db")));
    }
    EXPECT_FALSE(QFileInfo::exists(output("a.pdf")));
}

#ifdef VARNEL_EXECUTABLE
// The real program, copied into the project folder and started from elsewhere, as a user's
// scheduler would.
TEST_P(ReportBatch, TheProgramRunsFromAnyFolderAndExitsWithItsCode)
{
    ASSERT_TRUE(QFile::copy(VARNEL_EXECUTABLE, project.file("varnel")));
    QFile(project.file("varnel")).setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
    QProcess program;
    program.setWorkingDirectory(out.path());
    program.start(project.file("varnel"), {"--report", "lists/names.xml", "--format", "jpeg",
                                           "--output", "names.jpg", "--sql", "SELECT name FROM customers"});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(QFileInfo::exists(output("names.jpg")));

    program.start(project.file("varnel"), {"--report", "asks.xml", "--format", "pdf", "--output", "asks.pdf",
                                           "--param=who=Ann", "--param", "from_id=2"});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(QFileInfo::exists(output("asks.pdf")));

    program.start(project.file("varnel"), {"--report", "asks.xml", "--format", "pdf", "--output", "bad.pdf",
                                           "--param", "who=Ann", "--param", "from_id=x"});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_NE(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardError().contains("varnel: --param from_id: \"x\" is not a whole number\n"));
    EXPECT_FALSE(QFileInfo::exists(output("bad.pdf")));

    program.start(project.file("varnel"), {"--report", "missing.xml", "--format", "pdf", "--output", "x.pdf"});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_NE(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardError().contains("varnel: report template not found"));
}
#endif

VARNEL_ON_BOTH_BACKENDS(ReportBatch);
