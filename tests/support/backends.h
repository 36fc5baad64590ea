#pragma once

#include <QString>
#include <gtest/gtest.h>
#include <string>

// The database back ends a parametrised test runs on. The PostgreSQL cases use the throwaway
// server that the test run starts (tools/pg-test-server.sh); its socket folder and port come
// in VARNEL_TEST_PGHOST and VARNEL_TEST_PGPORT.
enum class Backend { SQLite, PostgreSQL };

inline std::string backendName(const testing::TestParamInfo<Backend>& info)
{
    return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

#define VARNEL_ON_BOTH_BACKENDS(Suite)                                                         \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite,                                                  \
                             testing::Values(Backend::SQLite, Backend::PostgreSQL), backendName)

// A fresh, empty database on the tests' server (UTF-8, C.UTF-8 locale), dropped when this
// goes. Fails the test when no server was started for the run.
class PgTestDatabase {
public:
    PgTestDatabase();
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;

    // libpq connection text for this database.
    QString conninfo() const;
    QString name() const { return m_name; }
    // The same for the server's maintenance database.
    static QString serverConninfo(const QString& database = QStringLiteral("postgres"));
    static bool serverConfigured();

private:
    QString m_name;
};
