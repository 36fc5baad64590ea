#include "shell/project_database.h"

#include "platform/errors.h"
#include "platform/project_folder.h"
#include "platform/sql_connection.h"
#include "shell/settings.h"

#include <QFileInfo>

QString ProjectDatabase()
{
    QString path = LoadOptions(nullptr);
    if (SqlConnection::namesServer(path))
        return path;
    if (path.isEmpty())
        path = ExeFolder() + QStringLiteral("sqlite.db");
    if (!QFileInfo(path).isFile())
        throw FileError(QStringLiteral("the database file is not found: %1").arg(path));
    return path;
}

void OpenProjectDatabaseReadOnly(SqlConnection& db)
{
    const QString database = ProjectDatabase();
    if (SqlConnection::namesServer(database)) {
        db.openServer(database);
        db.execute(QStringLiteral("SET default_transaction_read_only = on"));
    } else {
        db.openReadOnly(database);
    }
}
