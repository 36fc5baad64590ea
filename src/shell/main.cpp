#include "controls/picture_controls.h"
#include "platform/desktop_services.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "shell/about_box.h"
#include "shell/database_copy.h"
#include "shell/image_viewer.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"
#include "shell/report_batch.h"
#include "shell/sql_check.h"
#include "shell/start_options.h"
#include "shell/version.h"

#include <cstdio>

namespace {

using Mode = StartOptions::Mode;

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
}

void nameApplication()
{
    QApplication::setApplicationName(QStringLiteral("varnel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Varnel"));
    QApplication::setApplicationVersion(VarnelVersion());
}

// A command-line mode shows no window, so it needs no display either.
int runCommand(int argc, char** argv, const StartOptions& options,
               CommandOutcome (*command)(const QStringList&))
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    nameApplication();
    setDesktop(makeCommandLineDesktop());
    if (!options.projectFolder.isEmpty() && !UseProjectFolder(options.projectFolder))
        return ExitCode::Usage;
    const CommandOutcome outcome = command(options.commandArguments);
    for (const QString& line : outcome.output)
        print(stdout, line + u'\n');
    if (outcome.exitCode != ExitCode::Ok && !outcome.error.isEmpty())
        print(stderr, QStringLiteral("varnel: ") + outcome.error + u'\n');
    return outcome.exitCode;
}

int runWindow(int argc, char** argv, const StartOptions& start)
{
    GuardedApplication app(argc, argv);
    nameApplication();

    if (start.mode == Mode::ChooseProject || !start.projectFolder.isEmpty()) {
        // The question and a refusal are shown before the main window applies the language.
        Lang.fillEnglish();
        if (usesRussianTexts(desktop().userLocale()))
            Lang.fillRussian();
        if (start.mode == Mode::ChooseProject) {
            if (!ChooseProjectFolder())
                return ExitCode::Ok;
        } else if (!UseProjectFolder(start.projectFolder)) {
            return ExitCode::Usage;
        }
    }

    TfrmMainVarnel main;
    TfrmVarnelImageViewer viewer;
    TdbImageDataBase::setViewer([&viewer](const QImage& picture) { viewer.ShowImageViewer(picture); });
    TfrmOptionsVarnel options(main.mniReport);
    TfrmVarnelAbout about;
    for (TForm* form : {static_cast<TForm*>(&viewer), static_cast<TForm*>(&options),
                        static_cast<TForm*>(&about)}) {
        Forms::registerForm(form);
        form->centerOnScreen();
    }
    main.setOptionsDialog(&options);
    main.setAboutBox(&about);
    main.setQuitOnClose(true);
    main.centerOnScreen();
    main.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const StartOptions options = ReadStartOptions(arguments);

    switch (options.mode) {
    case Mode::Help:
        print(stdout, HelpText());
        return ExitCode::Ok;
    case Mode::Version:
        print(stdout, VersionText());
        return ExitCode::Ok;
    case Mode::Wrong:
        print(stderr, QStringLiteral("varnel: %1\nTry 'varnel --help' for more information.\n")
                          .arg(options.error));
        return ExitCode::Usage;
    case Mode::Report:
        return runCommand(argc, argv, options, RunReportBatch);
    case Mode::CheckSql:
        return runCommand(argc, argv, options, RunSqlCheck);
    case Mode::CopyDatabase:
        return runCommand(argc, argv, options, RunDatabaseCopy);
    case Mode::Window:
    case Mode::ChooseProject:
        break;
    }
    return runWindow(argc, argv, options);
}
