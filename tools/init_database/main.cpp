// init_database: makes a new database for a project folder, as the engine's first start would
// (one table per section of tables.ini), and fills it from an SQL script of sample rows.
// Usage: init_database TABLES_INI DATABASE [SCRIPT]
// An existing database is left untouched, so a start command can run it every time.

#include "catalogue/letter_case.h"
#include "catalogue/schema.h"
#include "platform/sql_dialect.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>

namespace {

bool run(sqlite3* db, const QByteArray& sql, const char* what)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "init_database: %s: %s\n", what, error ? error : "unknown error");
    sqlite3_free(error);
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3 || args.size() > 4) {
        std::fprintf(stderr, "usage: init_database TABLES_INI DATABASE [SCRIPT]\n");
        return 2;
    }
    const QString tables = args[1];
    const QString database = args[2];
    if (QFileInfo::exists(database))
        return 0;
    if (!QFileInfo::exists(tables)) {
        std::fprintf(stderr, "init_database: %s does not exist\n", qPrintable(tables));
        return 1;
    }
    QByteArray script;
    if (args.size() == 4) {
        QFile file(args[3]);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "init_database: cannot read %s\n", qPrintable(args[3]));
            return 1;
        }
        script = file.readAll();
    }

    sqlite3* db = nullptr;
    if (sqlite3_open(database.toUtf8().constData(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "init_database: cannot create %s: %s\n", qPrintable(database),
                     sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    bool ok = run(db, "PRAGMA foreign_keys=ON;", "foreign keys");
    for (const QString& statement : GetCreateTableScript(tables))
        ok = ok && run(db, statement.toUtf8(), "schema");
    // A new database keeps letters as typed, as one the engine makes.
    for (const QString& statement : LettersAsTypedStatements(SqlDialect::sqlite()))
        ok = ok && run(db, statement.toUtf8(), "letters");
    if (ok && !script.isEmpty())
        ok = run(db, script, "sample rows");
    sqlite3_close(db);
    // A half-made database would stop the engine from making its own on the next start.
    if (!ok)
        QFile::remove(database);
    return ok ? 0 : 1;
}
