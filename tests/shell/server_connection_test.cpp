// The server as the user meets it: a password asked for and kept in memory only, a server that
// cannot be reached, and a connection lost in the middle of work. Each test runs a server of
// its own, which it stops and starts.
#include "app_fixture.h"

#include "controls/value_controls.h"

#include <QProcess>
#include <QRandomGenerator>

namespace {

class PrivateServer {
public:
    PrivateServer()
        : m_folder(QStringLiteral("/tmp/varnel-pgp-%1").arg(QRandomGenerator::global()->generate()))
    {
        run({"start", m_folder, "5499"});
    }
    ~PrivateServer() { run({"stop", m_folder}); }
    // Down for maintenance, or gone at once as in a crash or a cut cable.
    void halt(bool crash) { run({crash ? "crash" : "halt", m_folder}); }
    void resume() { run({"resume", m_folder, "5499"}); }
    QString conninfo(const QString& database, const QString& user = "postgres") const
    {
        return QStringLiteral("host=%1 port=5499 user=%2 dbname=%3").arg(m_folder, user, database);
    }
    void admin(const QString& sql) const
    {
        SqlConnection db;
        db.openServer(conninfo("postgres"));
        db.execute(sql);
    }
    QString folder() const { return m_folder; }

private:
    static void run(const QStringList& arguments)
    {
        QProcess script;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DURABLE", "1");
        script.setProcessEnvironment(environment);
        script.start("bash", QStringList{VARNEL_SOURCE_DIR "/tools/pg-test-server.sh"} + arguments);
        ASSERT_TRUE(script.waitForFinished(60000));
        ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
    }
    QString m_folder;
};

const QByteArray Tables = "[customers]\n-name=TEXT\n";
const QByteArray FormsXml = R"(<main>
<frmMain>
  <TdbStringGrid Name="grid" dbGeneralTable="customers" dbListFields="customers.name" dbAutoExecute="True"/>
  <TdbButton Name="bNew" dbActionType="adbNewRecord" dbFormName="frmCustomer"/>
</frmMain>
<frmCustomer>
  <TdbEdit Name="edName" dbTable="customers" dbField="name"/>
  <TdbButton Name="bSave" dbActionType="adbSaveRecord" dbGeneralTable="customers" dbListControls="edName"/>
</frmCustomer>
</main>)";

} // namespace

// A server whose user clerk logs in with the password "secret" only; no password file helps.
void requirePassword(PrivateServer& server)
{
    server.admin("CREATE ROLE clerk LOGIN PASSWORD 'secret'");
    server.admin("CREATE DATABASE shop OWNER clerk TEMPLATE template0 ENCODING 'UTF8' "
                 "LC_COLLATE 'C.UTF-8' LC_CTYPE 'C.UTF-8'");
    QFile hba(server.folder() + "/data/pg_hba.conf");
    ASSERT_TRUE(hba.open(QIODevice::WriteOnly | QIODevice::Truncate));
    hba.write("local all clerk scram-sha-256\nlocal all all trust\n");
    hba.close();
    server.admin("SELECT pg_reload_conf()");
}

TEST(ServerConnection, APasswordIsAskedForKeptInMemoryOnlyAndAskedAgainWhenRefused)
{
    PrivateServer server;
    requirePassword(server);
    RunningApp app(Tables, FormsXml, server.conninfo("shop", "clerk"),
                   [](ScriptedDesktop& desk) { desk.passwords = {QString("wrong"), QString("secret")}; });
    EXPECT_EQ(app.main->startupState(), TfrmMainVarnel::StartupState::Running)
        << app.desk.texts().join('|').toStdString();
    ASSERT_EQ(app.desk.passwordPrompts.size(), 2);
    EXPECT_TRUE(app.desk.passwordPrompts[0].startsWith("Password of the user clerk on the database server shop"))
        << app.desk.passwordPrompts[0].toStdString();
    EXPECT_TRUE(app.desk.passwordPrompts[1].startsWith("The password was not accepted.\n"));
    // The schema was made on the empty database, and the work goes on with the password.
    app.db().execute("INSERT INTO customers (name) VALUES ('Kim')");
    EXPECT_EQ(app.rows("SELECT name FROM customers"), (QList<QStringList>{{"Kim"}}));
    EXPECT_FALSE(app.project.read("settings.ini").contains("secret"));
}

TEST(ServerConnection, GivingUpThePasswordOrAnUnreachableServerIsToldAndTheOptionsOpen)
{
    PrivateServer server;
    requirePassword(server);
    struct Case {
        const char* what;
        QString conninfo;
        QString message;
    };
    const Case cases[] = {
        {"password given up", server.conninfo("shop", "clerk"),
         "The database server shop (" + server.folder() + ") did not accept the password of the user clerk."},
        {"no server there", "host=/nonexistent/folder port=5499 dbname=shop",
         "The database server shop (/nonexistent/folder) cannot be reached."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunningApp app(Tables, FormsXml, c.conninfo,
                       [](ScriptedDesktop& desk) { desk.passwords = {std::nullopt}; });
        EXPECT_EQ(app.main->startupState(), TfrmMainVarnel::StartupState::StoppedEarly);
        ASSERT_EQ(app.desk.messages.size(), 1u);
        EXPECT_TRUE(app.desk.messages[0].text.startsWith(c.message)) << app.desk.messages[0].text.toStdString();
        EXPECT_EQ(app.desk.messages[0].caption, "Error");
        EXPECT_TRUE(app.options->isVisible());
    }
}

class LostConnection : public ::testing::TestWithParam<bool> {};

TEST_P(LostConnection, WhatWasTypedIsKeptAndSaveAgainSavesOnce)
{
    const bool crash = GetParam();
    PrivateServer server;
    server.admin("CREATE DATABASE shop TEMPLATE template0 ENCODING 'UTF8' "
                 "LC_COLLATE 'C.UTF-8' LC_CTYPE 'C.UTF-8'");
    RunningApp app(Tables, FormsXml, server.conninfo("shop"));
    ASSERT_EQ(app.main->startupState(), TfrmMainVarnel::StartupState::Running);
    app.onModal("frmCustomer", [&](TForm* form) {
        app.control<TdbEdit>("frmCustomer", "edName")->setText("Kim");
        server.halt(crash);
        app.click("frmCustomer", "bSave");
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(app.control<TdbEdit>("frmCustomer", "edName")->text(), "Kim");
        EXPECT_EQ(app.desk.messages.size(), 1u);
        EXPECT_TRUE(app.desk.messages.size() > 0 && app.desk.messages[0].text.startsWith(
            "The connection to the database server shop (" + server.folder() + ") was lost. "
            "What you typed is kept"))
            << app.desk.messages[0].text.toStdString();

        // Still down: said again, nothing else happens.
        app.click("frmCustomer", "bSave");
        EXPECT_EQ(app.desk.messages.size(), 2u);
        EXPECT_TRUE(form->isVisible());

        server.resume();
        app.click("frmCustomer", "bSave");
        EXPECT_FALSE(form->isVisible());
        if (form->isVisible())
            form->closeForm();
    });
    app.click("frmMain", "bNew");
    EXPECT_EQ(app.desk.messages.size(), 2u) << app.desk.texts().join('|').toStdString();
    EXPECT_EQ(app.rows("SELECT name FROM customers"), (QList<QStringList>{{"Kim"}}));
}

INSTANTIATE_TEST_SUITE_P(Server, LostConnection, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Crashed" : "ShutDown";
                         });
