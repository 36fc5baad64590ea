#pragma once

#include <QString>
#include <QStringList>

// How the program was asked to start. Read from the command line before anything of the
// window system is touched, so that --help, --version and a wrong command line are answered
// on a machine without a display.
struct StartOptions {
    enum class Mode {
        Window,        // the application's main window
        ChooseProject, // the main window, after the user has picked the project's forms.xml
        Report,        // --report: a report written to a file, no window
        CheckSql,      // --check-sql
        CopyDatabase,  // --copy-database
        Help,
        Version,
        Wrong,         // the command line cannot be followed; error says why
    };

    Mode mode = Mode::Window;
    // The folder named by --project, as given; empty when the executable's folder is the
    // project folder.
    QString projectFolder;
    // What a command-line mode reads: the program name, then every argument but --project
    // and its folder, in their order.
    QStringList commandArguments;
    QString error;
};

// arguments starts with the program name, as QCoreApplication::arguments() does.
StartOptions ReadStartOptions(const QStringList& arguments);

// The text of --help and --version; the manual page is made from them.
QString HelpText();
QString VersionText();
