#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class DesktopServices;

// What a command-line mode of the program gives back: its exit code, the lines for standard
// output, and, when it failed, one line for standard error.
struct CommandOutcome {
    int exitCode = 0;
    QString error;
    QStringList output;

    static CommandOutcome failure(int exitCode, const QString& error, const QStringList& output = {})
    {
        return {exitCode, error, output};
    }
};

// The exit codes the command-line modes share.
namespace ExitCode {
constexpr int Ok = 0;
// The work found faults or was refused; nothing was written.
constexpr int Failed = 1;
// The command line was wrong, or the project or a database could not be opened.
constexpr int Usage = 2;
} // namespace ExitCode

// Desktop services for a run without windows: a message goes to standard error and takes its
// default answer; nothing is asked of the user, opened or put on the clipboard.
std::unique_ptr<DesktopServices> makeCommandLineDesktop();
