#pragma once

#include "catalogue/letter_case.h"
#include "catalogue/schema.h"
#include "platform/sql_connection.h"
#include "support/temp_project.h"

#include <QDir>
#include <QFile>
#include <QProcess>

// The demo project of examples/ as files of a test's project folder.
inline QByteArray demoFile(const QString& name)
{
    QFile f(QStringLiteral(VARNEL_SOURCE_DIR "/examples/demo/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// tables.ini, forms.xml and the report templates of the demo.
inline void copyDemoFiles(const TempProject& project)
{
    project.write("tables.ini", demoFile("tables.ini"));
    project.write("forms.xml", demoFile("forms.xml"));
    QDir(project.path()).mkpath("Report");
    for (const QString& name : QDir(VARNEL_SOURCE_DIR "/examples/demo/Report").entryList(QDir::Files))
        project.write("Report/" + name, demoFile("Report/" + name));
}

// The demo's database as its start command makes it: the schema of tables.ini and the sample
// rows, pictures included.
inline void makeDemoDatabase(const TempProject& project)
{
    SqlConnection db;
    db.open(project.file("sqlite.db"));
    db.execute("PRAGMA foreign_keys=ON;");
    for (const QString& statement : GetCreateTableScript(project.file("tables.ini")))
        db.execute(statement);
    KeepLettersAsTyped(db);
    db.execute(QString::fromUtf8(demoFile("sample_data.sql")));
}

// The schema of tables.ini on a server database.
inline void makeServerSchema(const TempProject& project, const QString& conninfo)
{
    SqlConnection db;
    db.openServer(conninfo);
    for (const QString& statement : GetCreateTableScript(project.file("tables.ini"), db.dialect()))
        db.execute(statement);
}

#ifdef VARNEL_EXECUTABLE
struct ProgramRun {
    int exitCode = -1;
    QStringList output; // the lines of standard output
    QString error;      // standard error
};

// The real program, copied into the project folder as a user installs it, started from
// another folder.
inline ProgramRun runProgram(const TempProject& project, const QStringList& arguments)
{
    const QString program = project.file("varnel");
    if (!QFileInfo::exists(program)) {
        QFile::copy(VARNEL_EXECUTABLE, program);
        QFile(program).setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
    }
    QProcess process;
    process.setWorkingDirectory(QDir::tempPath());
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.error = QString::fromUtf8(process.readAllStandardError());
    return run;
}
#endif
