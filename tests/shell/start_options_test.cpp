// The command line: what each form of it starts, the ones refused before anything of the window
// system is touched, and the real program answering them on a machine without a display.
#include "shell/start_options.h"
#include "shell/version.h"

#include "demo_project.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using Mode = StartOptions::Mode;

namespace {

StartOptions read(QStringList arguments)
{
    arguments.prepend("varnel");
    return ReadStartOptions(arguments);
}

} // namespace

TEST(StartOptions, EachFormOfTheCommandLineStartsItsMode)
{
    struct Case {
        QStringList arguments;
        Mode mode;
        QString project;
        QStringList commandArguments; // after the program name
    };
    const Case cases[] = {
        {{}, Mode::Window, "", {}},
        {{"--project", "shop"}, Mode::Window, "shop", {}},
        {{"--project=/srv/shop"}, Mode::Window, "/srv/shop", {}},
        {{"--choose-project"}, Mode::ChooseProject, "", {"--choose-project"}},
        {{"--report", "a.xml", "--project", "shop", "--format", "pdf", "--output", "a.pdf"}, Mode::Report, "shop",
         {"--report", "a.xml", "--format", "pdf", "--output", "a.pdf"}},
        {{"--report=a.xml", "--sql", "--help", "--id", "-1", "--format", "pdf", "--output", "--version"}, Mode::Report, "",
         {"--report", "a.xml", "--sql", "--help", "--id", "-1", "--format", "pdf", "--output", "--version"}},
        {{"--project", "shop", "--check-sql"}, Mode::CheckSql, "shop", {"--check-sql"}},
        {{"--copy-database=service=shop", "--project", "--odd folder"}, Mode::CopyDatabase, "--odd folder",
         {"--copy-database", "service=shop"}},
        {{"--help"}, Mode::Help, "", {}},
        {{"-h"}, Mode::Help, "", {}},
        {{"--project", "shop", "--version"}, Mode::Version, "shop", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const StartOptions options = read(c.arguments);
        EXPECT_EQ(options.mode, c.mode) << options.error.toStdString();
        EXPECT_EQ(options.projectFolder, c.project);
        if (c.mode != Mode::Help && c.mode != Mode::Version) {
            EXPECT_EQ(options.commandArguments, QStringList{"varnel"} + c.commandArguments);
        }
    }
}

TEST(StartOptions, AWrongCommandLineIsRefusedWithItsReason)
{
    struct Case {
        QStringList arguments;
        QString error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"--project", "shop", "-x"}, "unknown option -x"},
        {{"--bogus", "--help"}, "unknown option --bogus"},
        {{"shop"}, "unexpected argument \"shop\""},
        {{"--project"}, "--project needs a value"},
        {{"--project="}, "--project needs a folder"},
        {{"--project", "a", "--project", "b"}, "--project is given twice"},
        {{"--check-sql=yes"}, "--check-sql takes no value"},
        {{"--format", "pdf"}, "--format is used only with --report"},
        {{"--check-sql", "--id", "3"}, "--id is used only with --report"},
        {{"--report", "a.xml", "--check-sql"}, "--report and --check-sql cannot be used together"},
        {{"--choose-project", "--report", "a.xml"}, "--choose-project and --report cannot be used together"},
        {{"--choose-project", "--project", "shop"}, "--choose-project and --project cannot be used together"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const StartOptions options = read(c.arguments);
        EXPECT_EQ(options.mode, Mode::Wrong);
        EXPECT_EQ(options.error, c.error);
    }
}

TEST(StartOptions, TheHelpNamesEveryOptionAndTheVersionIsTheBuildsOwn)
{
    const QString help = HelpText();
    for (const char* option : {"--project DIR", "--choose-project", "--report TEMPLATE", "--format FORMAT",
                               "--output FILE", "--sql QUERY", "--id N", "--check-sql",
                               "--copy-database TARGET", "-h, --help", "--version"})
        EXPECT_TRUE(help.contains(option)) << option;
    EXPECT_TRUE(help.contains("pdf, jpeg, tiff"));
    EXPECT_TRUE(help.startsWith("Usage: varnel"));
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+$").match(VarnelVersion()).hasMatch()) << VarnelVersion().toStdString();
    EXPECT_EQ(VersionText(), "varnel " + VarnelVersion() + '\n');
}

#ifdef VARNEL_EXECUTABLE
namespace {

struct ProgramAnswer {
    int exitCode = -1;
    QString output;
    QString error;
};

// The program as a user without a display starts it: no X server, no Wayland, no platform
// chosen, from a folder that is not the project's.
ProgramAnswer runWithoutDisplay(const QStringList& arguments, const QString& workingFolder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingFolder);
    process.start(VARNEL_EXECUTABLE, arguments);
    ProgramAnswer run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.error = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

TEST(StartOptions, HelpVersionAndAWrongOptionAreAnsweredWithoutADisplay)
{
    QTemporaryDir elsewhere;
    const ProgramAnswer help = runWithoutDisplay({"--help"}, elsewhere.path());
    EXPECT_EQ(help.exitCode, 0) << help.error.toStdString();
    EXPECT_EQ(help.output, HelpText());
    EXPECT_TRUE(help.error.isEmpty()) << help.error.toStdString();

    const ProgramAnswer version = runWithoutDisplay({"--version"}, elsewhere.path());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, VersionText());

    const ProgramAnswer wrong = runWithoutDisplay({"--projekt", "shop"}, elsewhere.path());
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.output.isEmpty());
    EXPECT_EQ(wrong.error, "varnel: unknown option --projekt\nTry 'varnel --help' for more information.\n");
}

TEST(StartOptions, ACommandLineModeRunsOnTheNamedProjectAndRefusesAFolderWithoutFormsXml)
{
    TempProject project;
    copyDemoFiles(project);
    makeDemoDatabase(project);
    QTemporaryDir elsewhere;
    const QString relative = QDir(elsewhere.path()).relativeFilePath(project.path());

    const ProgramAnswer report = runWithoutDisplay({"--project", relative, "--report", "customers.xml", "--format", "pdf",
                                          "--output", "customers.pdf"},
                                         elsewhere.path());
    EXPECT_EQ(report.exitCode, 0) << report.error.toStdString();
    QFile pdf(elsewhere.filePath("customers.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");

    const ProgramAnswer refused = runWithoutDisplay({"--report", "customers.xml", "--format", "pdf", "--output", "again.pdf",
                                           "--project", elsewhere.path()},
                                          project.path());
    EXPECT_EQ(refused.exitCode, 2);
    // Qt may add warnings of its own about the environment; the refusal is one line of them.
    EXPECT_TRUE(refused.error.split('\n').contains("varnel: Error: This folder is not a project folder: it holds no "
                                                   "forms.xml. " + QDir::cleanPath(elsewhere.path())))
        << refused.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath("again.pdf")));
    EXPECT_FALSE(QFileInfo::exists(project.file("again.pdf")));
}
#endif
