#include "catalogue/catalogue.h"
#include "catalogue/letter_case.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "platform/wide_text.h"
#include "shell/about_box.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"
#include "shell/version.h"
#include "support/scripted_desktop.h"
#include "support/temp_project.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <chrono>
#include <thread>

namespace {
const char* const TablesIni =
    "[orders]\n"
    "-number=TEXT\n"
    "^id_customers=customers\n"
    "[customers]\n"
    "isdictionary=1\n"
    "-name=TEXT\n";

QStringList tableNames(SqlConnection& db)
{
    QStringList names;
    for (const auto& row : db.query("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name").rows)
        names.append(row[0].toText());
    return names;
}

// The main window with its database-location dialog, as the program entry makes them.
struct Shell {
    TfrmMainVarnel main;
    TfrmOptionsVarnel options{main.mniReport};
    QStringList statements;
    Shell()
    {
        main.setOptionsDialog(&options);
        main.connection().setObserver([this](const QString& sql) { statements.append(sql); });
    }
    // Start-up as the toolkit runs it: through the guard.
    void start() { guarded([this] { main.FormShow(); }); }
};
} // namespace

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        project.write("tables.ini", QByteArray(TablesIni));
        project.write("forms.xml", QByteArray("<main><frmMain Caption=\"Shop\"/></main>"));
    }
    void TearDown() override { Lang.fillEnglish(); }
    ScriptedDesktop* desk = nullptr;
    TempProject project;
};

TEST_F(Startup, NewDatabaseGetsEveryTableAndForeignKeysStayOn)
{
    Shell shell;
    shell.start();
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join("|").toStdString();
    EXPECT_EQ(shell.main.startupState(), TfrmMainVarnel::StartupState::Running);
    EXPECT_EQ(shell.main.databasePath(), project.file("sqlite.db"));
    ASSERT_TRUE(project.exists("sqlite.db"));
    EXPECT_TRUE(shell.statements.contains("PRAGMA foreign_keys=ON;"));
    EXPECT_TRUE(shell.statements.contains(
        "CREATE TABLE [orders] (id INTEGER PRIMARY KEY ASC, [number] TEXT NOT NULL, "
        "[id_customers] INTEGER NOT NULL, FOREIGN KEY(id_customers) REFERENCES customers(id) "
        "ON DELETE CASCADE); "));
    SqlConnection& db = shell.main.connection();
    // A database the program makes keeps letters as typed.
    EXPECT_EQ(tableNames(db), (QStringList{"customers", "orders", "varnel_options"}));
    EXPECT_TRUE(ReadLettersAsTyped(db));
    EXPECT_TRUE(LettersKeptAsTyped());
    EXPECT_EQ(GetFieldType("orders", "id_customers"), "INTEGER");

    db.execute("INSERT INTO customers (name) VALUES (\"Ann\")");
    db.execute("INSERT INTO orders (number, id_customers) VALUES (\"1\", 1)");
    EXPECT_THROW(db.execute("INSERT INTO orders (number, id_customers) VALUES (\"2\", 99)"),
                 DatabaseError);
    db.execute("DELETE FROM customers WHERE id=1");
    EXPECT_TRUE(db.query("SELECT * FROM orders").isEmpty());
}

TEST_F(Startup, AnExistingDatabaseIsNeverAltered)
{
    {
        SqlConnection db;
        db.open(project.file("sqlite.db"));
        db.execute("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)");
        db.execute("INSERT INTO customers (name) VALUES ('kept')");
    }
    Shell shell;
    shell.start();
    EXPECT_TRUE(desk->messages.empty());
    for (const QString& sql : shell.statements)
        EXPECT_FALSE(sql.startsWith("CREATE")) << sql.toStdString();
    EXPECT_EQ(tableNames(shell.main.connection()), QStringList{"customers"});
    EXPECT_EQ(shell.main.connection().query("SELECT name FROM customers").rows[0][0].toText(), "kept");
    EXPECT_FALSE(LettersKeptAsTyped()) << "a database made before keeps the capitals rule";
}

// The Options turn letters as typed on for the open database, at once and for good; no stored
// row changes.
TEST_F(Startup, TheOptionsTurnLettersAsTypedOnForAnExistingDatabase)
{
    {
        SqlConnection db;
        db.open(project.file("sqlite.db"));
        db.execute("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)");
        db.execute("INSERT INTO customers (name) VALUES ('ИВАНОВА')");
    }
    Shell shell;
    shell.start();
    shell.options.show();
    EXPECT_FALSE(shell.options.cbLettersAsTyped->isChecked());
    ASSERT_TRUE(shell.options.cbLettersAsTyped->isEnabled());
    shell.options.cbLettersAsTyped->click();
    shell.options.bOK->click();
    EXPECT_FALSE(shell.options.isVisible());
    SqlConnection& db = shell.main.connection();
    EXPECT_TRUE(ReadLettersAsTyped(db));
    EXPECT_TRUE(LettersKeptAsTyped());
    EXPECT_EQ(db.query("SELECT name FROM customers").rows[0][0].toText(), QString::fromUtf8("ИВАНОВА"));
    EXPECT_EQ(db.query("SELECT count(*) FROM customers WHERE name LIKE 'иванова'").rows[0][0].toInt(), 1);

    shell.options.show();
    EXPECT_TRUE(shell.options.cbLettersAsTyped->isChecked());
    EXPECT_FALSE(shell.options.cbLettersAsTyped->isEnabled()) << "once on, it stays on";
}

TEST_F(Startup, AConfiguredMissingDatabaseShowsTheMessageAndTheDialogAndOpensNothing)
{
    const QString missing = project.file("nowhere/data.db");
    project.write("settings.ini", "[Options]\nserver=" + missing + "\n");
    Shell shell;
    shell.start();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].caption, "Error");
    EXPECT_EQ(desk->messages[0].text, "The database file is not found.\r" + missing);
    EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Information);
    EXPECT_TRUE(shell.options.isVisible());
    EXPECT_TRUE(shell.options.rbDBFilename->isChecked());
    EXPECT_EQ(shell.options.edFileName->text(), missing);
    EXPECT_EQ(shell.main.startupState(), TfrmMainVarnel::StartupState::StoppedEarly);
    EXPECT_FALSE(shell.main.connection().isOpen());
    EXPECT_FALSE(project.exists("sqlite.db"));
    EXPECT_TRUE(shell.statements.isEmpty());
    EXPECT_TRUE(shell.main.mniDBLocation->isEnabled());
}

TEST_F(Startup, AConfiguredDatabaseElsewhereIsUsedInsteadOfTheDefault)
{
    QTemporaryDir share;
    const QString elsewhere = share.filePath("shared.db");
    {
        SqlConnection db;
        db.open(elsewhere);
        db.execute("CREATE TABLE marker (id INTEGER PRIMARY KEY)");
    }
    project.write("settings.ini", "[Options]\nserver=" + elsewhere + "\n");
    Shell shell;
    shell.start();
    EXPECT_TRUE(desk->messages.empty());
    EXPECT_EQ(shell.main.databasePath(), elsewhere);
    EXPECT_FALSE(project.exists("sqlite.db"));
    EXPECT_EQ(tableNames(shell.main.connection()), QStringList{"marker"});
}

TEST_F(Startup, AFailingCreateTableShowsOneMessageAndSkipsTheRest)
{
    project.write("tables.ini", QByteArray("[first]\n_a=TEXT\n"
                                           "[second]\n_b=INTEGER PRIMARY KEY\n"
                                           "[third]\n_c=TEXT\n"));
    Shell shell;
    shell.start();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].text,
              "Exception raised with message: table \"second\" has more than one primary key");
    EXPECT_EQ(tableNames(shell.main.connection()), QStringList{"first"});
    EXPECT_EQ(shell.main.startupState(), TfrmMainVarnel::StartupState::Running);
}

TEST_F(Startup, AFileThatIsNotADatabaseStopsWithTheErrorAndStaysUntouched)
{
    const QByteArray junk(3000, 'j');
    project.write("sqlite.db", junk);
    Shell shell;
    shell.start();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].text, "file is not a database");
    EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Error);
    EXPECT_EQ(shell.main.startupState(), TfrmMainVarnel::StartupState::StoppedEarly);
    EXPECT_EQ(project.read("sqlite.db"), junk);
}

TEST_F(Startup, ABriefLockByAnotherProgramIsWaitedFor)
{
    {
        SqlConnection db;
        db.open(project.file("sqlite.db"));
        db.execute("CREATE TABLE customers (id INTEGER PRIMARY KEY)");
    }
    SqlConnection other;
    other.open(project.file("sqlite.db"));
    other.execute("BEGIN EXCLUSIVE");
    std::thread release([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.execute("COMMIT");
    });
    Shell shell;
    shell.start();
    release.join();
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join("|").toStdString();
    EXPECT_EQ(shell.main.startupState(), TfrmMainVarnel::StartupState::Running);
}

TEST_F(Startup, MissingTablesIniGivesAnEmptyCatalogueWithoutMessages)
{
    QFile::remove(project.file("tables.ini"));
    Shell shell;
    shell.start();
    EXPECT_TRUE(desk->messages.empty());
    EXPECT_TRUE(FieldCatalogue().isEmpty());
    EXPECT_EQ(shell.main.startupState(), TfrmMainVarnel::StartupState::Running);
}

TEST_F(Startup, ReportDesignerItemFollowsTheSettings)
{
    struct Case {
        const char* settings;
        bool visible;
    } cases[] = {{"", true}, {"[Options]\nmniReport=0\n", false}, {"[Options]\nmniReport=1\n", true},
                 {"[Options]\nmniReport=abc\n", false}};
    for (const Case& c : cases) {
        project.write("settings.ini", QByteArray(c.settings));
        Shell shell;
        shell.start();
        EXPECT_EQ(shell.main.mniReport->isVisible(), c.visible) << c.settings;
    }
}

TEST_F(Startup, RussianLocaleTranslatesTheShellAndTheMessages)
{
    desk->locale = QLocale(QLocale::Ukrainian);
    const QString missing = project.file("gone.db");
    project.write("settings.ini", "[Options]\nserver=" + missing + "\n");
    Shell shell;
    shell.start();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].caption, QString::fromUtf8("Ошибка"));
    EXPECT_EQ(desk->messages[0].text, QString::fromUtf8("Файл базы не найден.\r") + missing);
    EXPECT_EQ(shell.main.mniFile->title(), QString::fromUtf8("&Файл"));
    EXPECT_EQ(shell.main.mniReport->text(), QString::fromUtf8("&Открыть дизайнер отчетов"));
    EXPECT_EQ(shell.options.windowTitle(), QString::fromUtf8("Настройка"));
    EXPECT_EQ(shell.options.gbDatabase->title(), QString::fromUtf8(" Файл базы данных "));
    EXPECT_EQ(shell.options.bOK->text(), "OK");
    EXPECT_EQ(Lang.No_data_to_add, "No data to add.");
    EXPECT_EQ(Lang.Yes, QString::fromUtf8("Да"));
}

TEST_F(Startup, TheAboutBoxAndTheDialogsTextsFitInEitherLanguage)
{
    for (const QLocale& locale : {QLocale(QLocale::English), QLocale(QLocale::Russian)}) {
        SCOPED_TRACE(locale.name().toStdString());
        desk->locale = locale;
        Shell shell;
        TfrmVarnelAbout about;
        shell.main.setAboutBox(&about);
        shell.start();
        const bool russian = locale.language() == QLocale::Russian;
        EXPECT_EQ(about.windowTitle(), russian ? QString::fromUtf8("О программе") : "About");
        EXPECT_EQ(about.Label2->text(), Lang.About_text + u'\n' + Lang.About_version.arg(VarnelVersion()));
        EXPECT_TRUE(about.Label2->text().endsWith(' ' + VarnelVersion()));
        EXPECT_LE(about.Label2->heightForWidth(about.Label2->width()), about.Label2->height());
        EXPECT_EQ(about.Button1->text(), "OK");

        shell.options.show();
        // Every caption has the room it needs: nothing is cut at either end.
        for (QWidget* w : std::initializer_list<QWidget*>{shell.options.rbAppFolder,
                                                          shell.options.rbDBFilename}) {
            EXPECT_LE(w->sizeHint().width(), w->width()) << w->objectName().toStdString();
            EXPECT_LE(w->geometry().right(), shell.options.gbDatabase->contentsRect().right());
        }
        QLabel* hint = shell.options.lbPath;
        EXPECT_LE(hint->heightForWidth(hint->width()), hint->height());
        // A second line starts with the example, so the path is never split.
        const QStringList lines = hint->text().split(u'\n');
        EXPECT_TRUE(lines.size() == 1 || lines.last().startsWith(u'(')) << hint->text().toStdString();
        EXPECT_LE(hint->geometry().bottom(), shell.options.gbDatabase->height());
        shell.options.hide();
        Lang.fillEnglish();
    }
}

TEST_F(Startup, MissingFormsXmlIsReportedAndTheMenuStaysUsable)
{
    QFile::remove(project.file("forms.xml"));
    Shell shell;
    shell.start();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_TRUE(desk->messages[0].text.contains("forms.xml")) << desk->messages[0].text.toStdString();
    EXPECT_TRUE(shell.main.connection().isOpen());
    EXPECT_TRUE(shell.main.mniDBLocation->isEnabled());
}

TEST_F(Startup, TheFirstFormElementConfiguresTheMainWindow)
{
    Shell shell;
    shell.start();
    EXPECT_TRUE(desk->messages.empty());
    EXPECT_EQ(shell.main.formName(), "frmMain");
    EXPECT_EQ(shell.main.windowTitle(), "Shop");
    EXPECT_EQ(shell.main.clientSize(), QSize(640, 480));
}

TEST_F(Startup, MainWindowHasItsMenuAndSize)
{
    Shell shell;
    EXPECT_EQ(shell.main.clientSize(), QSize(719, 426));
    EXPECT_EQ(shell.main.mniFile->title(), "&File");
    EXPECT_EQ(shell.main.mniClose->text(), "&Close");
    EXPECT_EQ(shell.main.mniDBLocation->text(), "&Database location");
    EXPECT_EQ(shell.main.mniReport->text(), "&Report designer");
    EXPECT_EQ(shell.main.mniAbout->text(), "&About");
    EXPECT_FALSE(shell.main.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(shell.main.windowFlags() & Qt::WindowMinimizeButtonHint);
    // The window's own components take their names first.
    EXPECT_NE(shell.main.findComponent("sqlconnection"), nullptr);
    EXPECT_NE(shell.main.findComponent("ImageListButtonIcons"), nullptr);
}
