#include "controls/picture_controls.h"
#include "platform/desktop_services.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "shell/about_box.h"
#include "shell/database_copy.h"
#include "shell/image_viewer.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"
#include "shell/report_batch.h"
#include "shell/sql_check.h"

#include <cstdio>

namespace {

// A command-line mode shows no window, so it needs no display either.
int runCommand(int argc, char** argv, CommandOutcome (*command)(const QStringList&))
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setDesktop(makeCommandLineDesktop());
    const CommandOutcome outcome = command(QCoreApplication::arguments());
    for (const QString& line : outcome.output)
        std::fputs((line + u'\n').toUtf8().constData(), stdout);
    if (outcome.exitCode != ExitCode::Ok && !outcome.error.isEmpty())
        std::fputs((QStringLiteral("varnel: ") + outcome.error + u'\n').toUtf8().constData(), stderr);
    return outcome.exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--report") == 0)
            return runCommand(argc, argv, RunReportBatch);
        if (qstrcmp(argv[i], "--check-sql") == 0)
            return runCommand(argc, argv, RunSqlCheck);
        if (qstrcmp(argv[i], "--copy-database") == 0)
            return runCommand(argc, argv, RunDatabaseCopy);
    }

    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Varnel"));

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
