// The record grid against the raw SQLite floor: the same SELECT that dbExecute issues, once
// stepped with every column read as text, once filled into a grid. Reports time, the ratio of
// the two, and the grid's memory per row against the raw text bytes per row, at 100,000 and
// 1,000,000 rows, plus the cost of scrolling the filled grid.
//
// The database (1,000,000 rows of 6 columns) is made once in a temporary folder; pass a folder
// as the first argument to keep it between runs.
//
// Then the same rows on a PostgreSQL server that the benchmark starts itself (Unix socket only,
// tools/pg-test-server.sh): the fill of 1,000,000 rows from the server against the same fill
// from SQLite and against raw libpq stepping the same statement in single-row mode, all in
// wall-clock time (the server works in a process of its own), with the grid's memory per row
// on each back end. --no-server leaves this part out; --server-only runs it alone.
#include "catalogue/catalogue.h"
#include "catalogue/schema.h"
#include "controls/record_grid.h"
#include "platform/project_folder.h"
#include "platform/sql_connection.h"
#include "shell/database_copy.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <libpq-fe.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>
#include <QProcess>

namespace {

constexpr int TotalRows = 1000000;

const char* const TablesIni = "[bench]\n"
                              "-name=TEXT\n"
                              "_city=TEXT\n"
                              "_qty=INTEGER\n"
                              "_price=INTEGER\n"
                              "_day=DATE\n"
                              "_active=BOOLEAN\n";

const char* const Names[] = {"Olsen", "Hansen", "Johansen", "Larsen", "Andersen", "Pedersen",
                             "Nilsen", "Kristiansen", "Jensen", "Karlsen", "Berg", "Haugen"};
const char* const Given[] = {"Kari", "Ola", "Ingrid", "Lars", "Anne", "Per", "Nora", "Jon"};
const char* const Cities[] = {"Oslo", "Bergen", "Trondheim", "Stavanger", "Tromsø", "Drammen",
                              "Fredrikstad", "Kristiansand", "Sandnes", "Ålesund"};

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

void makeDatabase(SqlConnection& connection, const QString& tablesIni)
{
    for (const QString& statement : GetCreateTableScript(tablesIni))
        connection.execute(statement);
    sqlite3* db = nullptr;
    check(sqlite3_open(connection.path().toUtf8().constData(), &db), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO bench (name, city, qty, price, day, active) "
                             "VALUES (?, ?, ?, ?, ?, ?)",
                             -1, &insert, nullptr),
          db);
    QRandomGenerator random(42);
    const QDate first(2004, 1, 1);
    for (int i = 0; i < TotalRows; ++i) {
        const QByteArray name = QByteArray(Names[random.bounded(12)]) + ", " + Given[random.bounded(8)]
                                + ' ' + QByteArray::number(i % 997);
        const QByteArray day = first.addDays(random.bounded(7300)).toString("yyyy-MM-dd").toLatin1()
                               + " 00:00:00.000";
        sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, Cities[random.bounded(10)], -1, SQLITE_STATIC);
        sqlite3_bind_int(insert, 3, random.bounded(1, 1000));
        sqlite3_bind_int(insert, 4, random.bounded(100, 100000));
        sqlite3_bind_text(insert, 5, day.constData(), int(day.size()), SQLITE_TRANSIENT);
        const int active = random.bounded(3);
        if (active == 2)
            sqlite3_bind_null(insert, 6);
        else
            sqlite3_bind_int(insert, 6, active);
        check(sqlite3_step(insert), db);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

// Time spent on this thread: the machine may be busy with other work, which wall time would
// count.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Floor {
    double seconds = 0;
    qint64 rows = 0;
    qint64 textBytes = 0;
};

// Prepare, step, and read every column as text.
Floor rawFloor(sqlite3* db, const QByteArray& sql)
{
    Floor result;
    const double start = cpuSeconds();
    sqlite3_stmt* statement = nullptr;
    check(sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr), db);
    const int columns = sqlite3_column_count(statement);
    unsigned checksum = 0;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const unsigned char* text = sqlite3_column_text(statement, c);
            const int length = sqlite3_column_bytes(statement, c);
            result.textBytes += length;
            if (text && length > 0)
                checksum += text[0];
        }
        ++result.rows;
    }
    check(rc, db);
    sqlite3_finalize(statement);
    result.seconds = cpuSeconds() - start;
    if (checksum == 1) // keeps the reads
        std::printf(" ");
    return result;
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

double fillSeconds(TdbStringGridEx& grid)
{
    const double start = cpuSeconds();
    grid.dbExecute();
    QApplication::processEvents();
    return cpuSeconds() - start;
}

// Mean time of moving to a random place in the grid and painting what is visible.
double scrollMilliseconds(TdbStringGridEx& grid)
{
    QApplication::processEvents();
    QRandomGenerator random(7);
    QScrollBar* bar = grid.verticalScrollBar();
    const int steps = 200;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < steps; ++i) {
        bar->setValue(random.bounded(bar->maximum() + 1));
        grid.viewport()->repaint();
    }
    return timer.nsecsElapsed() / 1e6 / steps;
}

void prepareGrid(TdbStringGridEx& grid, SqlConnection& connection, int rows)
{
    grid.resize(900, 600);
    grid.show();
    grid.dbSQLConnection = &connection;
    grid.dbGeneralTable = QStringLiteral("bench");
    grid.dbListFields = QStringLiteral("bench.name,bench.city,bench.qty,bench.price,bench.day,bench.active");
    grid.dbListFieldsNames = QStringLiteral("Name,City,Qty,Price,Day,Active");
    if (rows < TotalRows)
        grid.dbFilter = QStringLiteral("bench.id <= %1").arg(rows);
}

constexpr double FillTarget = 1.15;

// The line tools/run-benchmarks.sh gathers into its table.
void printRatio(const QString& what, double seconds, double floorSeconds)
{
    std::printf("RATIO|%s|raw sqlite3 stepping the same SELECT, same open flags (no mutex)|%.1f|%.1f|%.2f|%.2f\n",
                qPrintable(what),
                seconds * 1e3, floorSeconds * 1e3, seconds / floorSeconds, FillTarget);
}

// Floor, a fill into a new grid and a refill of a filled one, taken in turns; the best of
// each counts, the machine may be busy with other work.
void measure(SqlConnection& connection, int rows, int repeats)
{
    QString sql;
    connection.setObserver([&sql](const QString& s) { sql = s; });
    {
        TdbStringGridEx probe(nullptr);
        prepareGrid(probe, connection, rows);
        probe.dbExecute(); // also warms SQLite's page cache
    }
    connection.setObserver(nullptr);

    // The floor steps the same statement on a connection of its own, opened with the flags the
    // engine opens its own with (no SQLite connection mutex: the engine's connection lives on
    // one thread): that is the fair floor the ratios are taken against. The same floor on a
    // connection with SQLite's default mutex is printed beside it, to show what that lock alone
    // costs.
    sqlite3* raw = nullptr;
    sqlite3_open_v2(connection.path().toUtf8().constData(), &raw,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3* locked = nullptr;
    sqlite3_open_v2(connection.path().toUtf8().constData(), &locked, SQLITE_OPEN_READONLY, nullptr);
    double bestLocked = 1e9;
    double bestFloor = 1e9;
    double bestFirst = 1e9;
    double bestRefill = 1e9;
    Floor floor;
    for (int i = 0; i < repeats; ++i) {
        floor = rawFloor(raw, sql.toUtf8());
        bestFloor = std::min(bestFloor, floor.seconds);
        bestLocked = std::min(bestLocked, rawFloor(locked, sql.toUtf8()).seconds);
        TdbStringGridEx fresh(nullptr);
        prepareGrid(fresh, connection, rows);
        bestFirst = std::min(bestFirst, fillSeconds(fresh));
        bestRefill = std::min(bestRefill, fillSeconds(fresh));
    }

    sqlite3_close(raw);
    sqlite3_close(locked);
    TdbStringGridEx grid(nullptr);
    prepareGrid(grid, connection, rows);
    malloc_trim(0);
    const qint64 before = residentBytes();
    grid.dbExecute();
    malloc_trim(0);
    const qint64 after = residentBytes();

    const double perRow = double(grid.memoryBytes()) / floor.rows;
    // QHeaderView keeps one 8-byte section record per row of the (hidden) vertical header.
    const double headerPerRow = 8.0;
    const double rawPerRow = double(floor.textBytes) / floor.rows;
    const double target = 2 * rawPerRow + 16;
    std::printf("\n%d rows (grid holds %d rows)\n", rows, grid.rowCount() - 1);
    std::printf("  statement: %s\n", qPrintable(sql));
    std::printf("  raw SQLite floor           %8.1f ms (thread CPU time, best of %d; opened as the"
                " engine opens, without SQLite's mutex)\n",
                bestFloor * 1e3, repeats);
    std::printf("  the same with the mutex    %8.1f ms   (fills to it: new %.2f, refill %.2f)\n",
                bestLocked * 1e3, bestFirst / bestLocked, bestRefill / bestLocked);
    std::printf("  dbExecute, new grid        %8.1f ms   ratio %.2f (target <= %.2f)\n",
                bestFirst * 1e3, bestFirst / bestFloor, FillTarget);
    std::printf("  dbExecute, refill          %8.1f ms   ratio %.2f (target <= %.2f)\n",
                bestRefill * 1e3, bestRefill / bestFloor, FillTarget);
    std::printf("  raw text bytes per row     %8.1f\n", rawPerRow);
    std::printf("  grid bytes per row         %8.1f   (cells and ids; + %.0f in the view's row"
                " header = %.1f; target <= %.1f)\n",
                perRow, headerPerRow, perRow + headerPerRow, target);
    std::printf("  resident growth per row    %8.1f   (whole process, one fill)\n",
                double(after - before) / floor.rows);
    std::printf("  scroll and paint           %8.3f ms per step\n", scrollMilliseconds(grid));
    const QString rowsText = rows >= 1000000 ? QStringLiteral("%1M").arg(rows / 1000000)
                                             : QStringLiteral("%1k").arg(rows / 1000);
    printRatio(QStringLiteral("grid fill, new grid, %1 rows").arg(rowsText), bestFirst, bestFloor);
    printRatio(QStringLiteral("grid refill, %1 rows").arg(rowsText), bestRefill, bestFloor);
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// libpq's own floor: the statement sent once, its rows read one by one in single-row mode,
// every value touched as text, nothing kept.
double rawLibpqSeconds(const QString& conninfo, const QByteArray& sql, qint64* rows)
{
    PGconn* conn = PQconnectdb(conninfo.toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::fprintf(stderr, "libpq: %s\n", PQerrorMessage(conn));
        std::exit(1);
    }
    const double start = wallSeconds();
    PQsendQuery(conn, sql.constData());
    PQsetSingleRowMode(conn);
    unsigned checksum = 0;
    *rows = 0;
    while (PGresult* r = PQgetResult(conn)) {
        if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
            const int columns = PQnfields(r);
            for (int c = 0; c < columns; ++c) {
                const char* text = PQgetvalue(r, 0, c);
                if (PQgetlength(r, 0, c) > 0)
                    checksum += static_cast<unsigned char>(text[0]);
            }
            ++*rows;
        } else if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            std::fprintf(stderr, "libpq: %s\n", PQresultErrorMessage(r));
            std::exit(1);
        }
        PQclear(r);
    }
    const double seconds = wallSeconds() - start;
    PQfinish(conn);
    if (checksum == 1)
        std::printf(" ");
    return seconds;
}

double wallFillSeconds(TdbStringGridEx& grid)
{
    const double start = wallSeconds();
    grid.dbExecute();
    QApplication::processEvents();
    return wallSeconds() - start;
}

bool runScript(const QStringList& arguments)
{
    QProcess script;
    script.start(QStringLiteral("bash"),
                 QStringList{QStringLiteral(VARNEL_SOURCE_DIR "/tools/pg-test-server.sh")} + arguments);
    script.waitForFinished(120000);
    if (script.exitCode() != 0)
        std::fprintf(stderr, "%s", script.readAllStandardError().constData());
    return script.exitCode() == 0;
}

// The same 1,000,000 rows on a server: copied there with the engine's own copy command.
void measureServer(SqlConnection& local, const QString& folder, int repeats)
{
    const QString socket = QStringLiteral("/tmp/varnel-bench-pg-%1").arg(getpid());
    if (!runScript({QStringLiteral("start"), socket, QStringLiteral("5499")})) {
        std::printf("\nno PostgreSQL server could be started; the server part is left out\n");
        return;
    }
    const QString admin = QStringLiteral("host=%1 port=5499 user=postgres dbname=postgres").arg(socket);
    const QString conninfo = QStringLiteral("host=%1 port=5499 user=postgres dbname=bench").arg(socket);
    {
        SqlConnection db;
        db.openServer(admin);
        db.execute(QStringLiteral("CREATE DATABASE bench TEMPLATE template0 ENCODING 'UTF8' "
                                  "LC_COLLATE 'C.UTF-8' LC_CTYPE 'C.UTF-8'"));
    }
    QFile settings(QDir(folder).filePath(QStringLiteral("settings.ini")));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[Options]\nserver=" + local.path().toUtf8() + "\n");
    settings.close();
    const double copyStart = wallSeconds();
    const CommandOutcome copied = RunDatabaseCopy(
        {QStringLiteral("varnel"), QStringLiteral("--copy-database"), conninfo});
    if (copied.exitCode != 0) {
        std::fprintf(stderr, "copy: %s\n", qPrintable(copied.error));
        runScript({QStringLiteral("stop"), socket});
        return;
    }
    std::printf("\ncopied %d rows to the server in %.1f s\n", TotalRows, wallSeconds() - copyStart);

    SqlConnection server;
    server.openServer(conninfo);
    server.execute(QStringLiteral("VACUUM ANALYZE bench"));
    QString sql;
    server.setObserver([&sql](const QString& s) { sql = s; });
    {
        TdbStringGridEx probe(nullptr);
        prepareGrid(probe, server, TotalRows);
        probe.dbExecute(); // warms the server's cache
    }
    server.setObserver(nullptr);

    double bestRaw = 1e9, bestServer = 1e9, bestLocal = 1e9;
    qint64 rows = 0;
    for (int i = 0; i < repeats; ++i) {
        bestRaw = std::min(bestRaw, rawLibpqSeconds(conninfo, sql.toUtf8(), &rows));
        TdbStringGridEx fromServer(nullptr);
        prepareGrid(fromServer, server, TotalRows);
        bestServer = std::min(bestServer, wallFillSeconds(fromServer));
        TdbStringGridEx fromFile(nullptr);
        prepareGrid(fromFile, local, TotalRows);
        bestLocal = std::min(bestLocal, wallFillSeconds(fromFile));
    }
    TdbStringGridEx onServer(nullptr);
    prepareGrid(onServer, server, TotalRows);
    onServer.dbExecute();
    TdbStringGridEx onFile(nullptr);
    prepareGrid(onFile, local, TotalRows);
    onFile.dbExecute();

    std::printf("\n%lld rows from a PostgreSQL server over its Unix socket (wall clock, best of %d)\n",
                rows, repeats);
    std::printf("  statement: %s\n", qPrintable(sql));
    std::printf("  raw libpq, single-row mode %8.1f ms\n", bestRaw * 1e3);
    std::printf("  dbExecute from SQLite      %8.1f ms\n", bestLocal * 1e3);
    std::printf("  dbExecute from the server  %8.1f ms   ratio to SQLite %.2f (target <= 1.60),"
                " to raw libpq %.2f\n",
                bestServer * 1e3, bestServer / bestLocal, bestServer / bestRaw);
    std::printf("  grid bytes per row         %8.1f from the server, %.1f from SQLite\n",
                double(onServer.memoryBytes()) / (onServer.rowCount() - 1),
                double(onFile.memoryBytes()) / (onFile.rowCount() - 1));
    server.close();
    runScript({QStringLiteral("stop"), socket});
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);

    QTemporaryDir temp;
    QStringList arguments = QCoreApplication::arguments();
    const bool withServer = !arguments.removeAll(QStringLiteral("--no-server"));
    const bool serverOnly = arguments.removeAll(QStringLiteral("--server-only")) > 0;
    const QString folder = arguments.size() > 1 ? arguments.at(1) : temp.path();
    QDir().mkpath(folder);
    setExeFolder(folder);
    const QString tablesIni = QDir(folder).filePath(QStringLiteral("tables.ini"));
    QFile tables(tablesIni);
    if (tables.open(QIODevice::WriteOnly))
        tables.write(TablesIni);
    tables.close();
    LoadTables(tablesIni);

    const QString dbFile = QDir(folder).filePath(QStringLiteral("grid_bench.db"));
    const bool exists = QFile::exists(dbFile);
    SqlConnection connection;
    connection.open(dbFile);
    if (!exists) {
        QElapsedTimer timer;
        timer.start();
        makeDatabase(connection, tablesIni);
        std::printf("made %d rows in %.1f s\n", TotalRows, timer.elapsed() / 1e3);
    }

    if (!serverOnly) {
        measure(connection, 100000, 15);
        measure(connection, TotalRows, 5);
    }
    if (withServer)
        measureServer(connection, folder, 5);
    return 0;
}
