#include "support/backends.h"

#include "platform/errors.h"
#include "platform/sql_connection.h"

#include <QCoreApplication>
#include <QRandomGenerator>

bool PgTestDatabase::serverConfigured()
{
    return !qEnvironmentVariableIsEmpty("VARNEL_TEST_PGHOST");
}

QString PgTestDatabase::serverConninfo(const QString& database)
{
    const QString host = qEnvironmentVariable("VARNEL_TEST_PGHOST");
    const QString port = qEnvironmentVariable("VARNEL_TEST_PGPORT", QStringLiteral("5499"));
    return QStringLiteral("host=%1 port=%2 user=postgres dbname=%3").arg(host, port, database);
}

PgTestDatabase::PgTestDatabase()
{
    if (!serverConfigured())
        throw VarnelError(QStringLiteral("no PostgreSQL test server: VARNEL_TEST_PGHOST is not set "
                                         "(the test run starts one with tools/pg-test-server.sh)"));
    m_name = QStringLiteral("varnel_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate());
    SqlConnection admin;
    admin.openServer(serverConninfo());
    admin.execute(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8' "
                                 "LC_COLLATE 'C.UTF-8' LC_CTYPE 'C.UTF-8'")
                      .arg(m_name));
}

PgTestDatabase::~PgTestDatabase()
{
    try {
        SqlConnection admin;
        admin.openServer(serverConninfo());
        admin.execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    } catch (const VarnelError&) {
        // The server goes away with the run; a database left behind goes with it.
    }
}

QString PgTestDatabase::conninfo() const
{
    return serverConninfo(m_name);
}
