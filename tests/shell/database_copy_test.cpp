// varnel --copy-database: a project's SQLite database moved to the tests' PostgreSQL server,
// and the application started on the copy.
#include "catalogue/letter_case.h"
#include "app_fixture.h"
#include "demo_project.h"

#include "platform/ini_file.h"
#include "shell/database_copy.h"

#include <QRegularExpression>

namespace {

CommandOutcome copyInto(const PgTestDatabase& target)
{
    return RunDatabaseCopy({"varnel", "--copy-database", target.conninfo()});
}

QStringList serverTables(const PgTestDatabase& server)
{
    SqlConnection db;
    db.openServer(server.conninfo());
    QStringList names;
    for (const auto& row : db.query("SELECT table_name FROM information_schema.tables "
                                    "WHERE table_schema = current_schema()").rows)
        names.append(row[0].toText());
    return names;
}

// Every value of a table, by column name, as the bytes it holds; NULL apart from empty.
QList<QStringList> tableRows(SqlConnection& db, const QString& table)
{
    const QueryResult r = db.query("SELECT * FROM " + db.dialect().name(table) + " ORDER BY id");
    QList<QStringList> rows;
    for (const auto& row : r.rows) {
        QStringList values;
        for (qsizetype c = 0; c < r.columns.size(); ++c) {
            const SqlValue& v = row[static_cast<size_t>(c)];
            values.append(r.columns[c] + '=' + (v.isNull() ? QString("NULL") : QString::fromLatin1(v.toBytes().toHex())));
        }
        rows.append(values);
    }
    return rows;
}

// The cells of a grid, one text per row; the order of rows that sort alike is the server's.
QStringList gridRows(TdbStringGridEx* grid)
{
    QStringList rows;
    for (int r = 1; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->colCount(); ++c)
            cells.append(grid->cell(c, r));
        rows.append(cells.join('|') + '#' + grid->dbListId.value(r - 1));
    }
    rows.sort();
    return rows;
}

} // namespace

#ifdef VARNEL_EXECUTABLE
TEST(DatabaseCopy, TheDemoMovesToTheServerWhole)
{
    TempProject project;
    copyDemoFiles(project);
    makeDemoDatabase(project);
    PgTestDatabase target;
    ProgramRun run = runProgram(project, {"--copy-database", target.conninfo()});
    ASSERT_EQ(run.exitCode, 0) << run.error.toStdString();

    SqlConnection source, copy;
    source.openReadOnly(project.file("sqlite.db"));
    copy.openServer(target.conninfo());
    const QStringList tables = IniFile::load(project.file("tables.ini")).sections();
    ASSERT_EQ(run.output.size(), tables.size() + 1) << run.output.join('\n').toStdString();
    for (qsizetype i = 0; i < tables.size(); ++i) {
        const QString& table = tables[i];
        SCOPED_TRACE(table.toStdString());
        const qint64 count = source.query("SELECT count(*) FROM " + table).rows[0][0].toInt();
        EXPECT_TRUE(QRegularExpression("^" + table + " +" + QString::number(count) + " rows$").match(run.output[i]).hasMatch())
            << run.output[i].toStdString();
        EXPECT_EQ(tableRows(copy, table), tableRows(source, table));
        // The next row gets the id after the largest.
        const QString sequence =
            copy.query("SELECT pg_get_serial_sequence('\"" + table + "\"', 'id')").rows[0][0].toText();
        const auto counter = copy.query("SELECT last_value, is_called FROM " + sequence).rows[0];
        const qint64 largest = source.query("SELECT coalesce(max(id), 0) FROM " + table).rows[0][0].toInt();
        EXPECT_EQ(counter[0].toInt(), largest + 1);
        EXPECT_EQ(counter[1].toInt(), 0);
    }
    const qint64 blobs = copy.query("SELECT sum(length(photo)) FROM customers").rows[0][0].toInt();
    EXPECT_GT(blobs, 1000) << "the demo's photos";
    EXPECT_TRUE(ReadLettersAsTyped(copy)) << "the way the source keeps letters goes with it";
    EXPECT_TRUE(run.output.last().startsWith("copied 339 rows of 7 tables from ")) << run.output.last().toStdString();

    // A second copy into the same database is refused and writes nothing.
    run = runProgram(project, {"--copy-database", target.conninfo()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.error.contains("already holds tables")) << run.error.toStdString();
    EXPECT_EQ(copy.query("SELECT count(*) FROM items").rows[0][0].toInt(), 181);

    // The demo started on the copy lists what it lists on its own file, and a new record
    // takes the id after the largest.
    QStringList expected;
    {
        RunningApp local(demoFile("tables.ini"), demoFile("forms.xml"));
        local.db().execute(QString::fromUtf8(demoFile("sample_data.sql")));
        auto* grid = local.control<TdbStringGridEx>("frmMain", "gridCustomers");
        grid->dbExecute();
        expected = gridRows(grid);
    }
    ASSERT_EQ(expected.size(), 41);

    RunningApp onServer(demoFile("tables.ini"), demoFile("forms.xml"), target.conninfo());
    ASSERT_TRUE(onServer.desk.messages.empty()) << onServer.desk.texts().join('\n').toStdString();
    ASSERT_TRUE(onServer.db().isServer());
    EXPECT_EQ(gridRows(onServer.control<TdbStringGridEx>("frmMain", "gridCustomers")), expected);
    EXPECT_EQ(onServer.db().insert("INSERT INTO \"countries\" (\"name\") VALUES ('Denmark')"), 5);
}
#endif

// A copy that cannot finish names the table, the row and the column, and leaves the target
// as empty as it found it.
TEST(DatabaseCopy, ARefusedValueIsNamedAndNothingIsLeftBehind)
{
    struct Case {
        const char* rows;
        const char* says;
    };
    const Case cases[] = {
        {"(1,'a',X'00FF',5),(2,'b',X'01',' 12x')",
         "table things, row id 2, column n: invalid input syntax for type bigint"},
        {"(1,'a',X'00FF',5),(2,'b',X'01','7.5')", "table things, row id 2, column n: invalid input syntax for type bigint: \"7.5\""},
        {"(1,'a',NULL,5),(7,NULL,NULL,6)", "table things, row id 7, column name:"},
        {"(1,'a',NULL,5),(3,CAST(X'610062' AS TEXT),NULL,6)", "table things, row id 3, column name: the text holds a NUL"},
        {"(4,CAST(X'61FF62' AS TEXT),NULL,6)", "table things, row id 4, column name: the text is not valid UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        TempProject project;
        project.write("tables.ini", QByteArray("[things]\n-name=TEXT\n_pic=IMAGE\n_n=INTEGER\n"));
        {
            SqlConnection db;
            db.open(project.file("sqlite.db"));
            db.execute("CREATE TABLE things (id INTEGER PRIMARY KEY, name TEXT, pic BLOB, n INTEGER)");
            db.execute(QString("INSERT INTO things (id, name, pic, n) VALUES ") + c.rows);
        }
        PgTestDatabase target;
        const CommandOutcome outcome = copyInto(target);
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_TRUE(outcome.error.contains(c.says)) << outcome.error.toStdString();
        EXPECT_TRUE(outcome.output.contains("note: things.pic_filename is not in the source database; it stays empty"))
            << outcome.output.join('\n').toStdString();
        EXPECT_TRUE(serverTables(target).isEmpty());
    }
}

// Numbers, texts, bytes and NULLs arrive as they were; the source's columns that tables.ini
// does not name are told and left out.
TEST(DatabaseCopy, ValuesArriveExactly)
{
    TempProject project;
    project.write("tables.ini", QByteArray("[v]\n_t=TEXT\n_i=INTEGER\n_r=DOUBLE\n_c=CURRENCY\n_f=FILE\n[empty]\n_x=TEXT\n"));
    QByteArray allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes.append(static_cast<char>(b));
    {
        SqlConnection db;
        db.open(project.file("sqlite.db"));
        db.execute("CREATE TABLE v (id INTEGER PRIMARY KEY, t TEXT, i INTEGER, r DOUBLE, c CURRENCY, "
                   "f BLOB, f_filename TEXT, old TEXT)");
        db.execute("CREATE TABLE empty (id INTEGER PRIMARY KEY, x TEXT)");
        db.execute("CREATE TABLE leftover (id INTEGER PRIMARY KEY)");
        db.execute(QString::fromUtf8("INSERT INTO v VALUES (3, 'O''Brien \\x ; -- :b1 $1 \"q\" Ærø ПРИВЕТ 😀', "
                                     "9007199254740993, 0.1, 12.5, :f, 'all.bin', 'gone'), "
                                     "(10, '', -9223372036854775807, 1e300, 7, X'', '', NULL), "
                                     "(11, NULL, NULL, -2.5e-300, NULL, NULL, NULL, NULL), "
                                     "(12, X'6869', 4, 0, 0, NULL, NULL, NULL)"),
                   {{"f", allBytes}});
    }
    PgTestDatabase target;
    const CommandOutcome outcome = copyInto(target);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.error.toStdString();
    EXPECT_EQ(outcome.output,
              (QStringList{"note: the table leftover of the source is not in tables.ini and is not copied",
                           "note: v.old is not in tables.ini and is not copied",
                           "v             4 rows", "empty         0 rows",
                           "copied 4 rows of 2 tables from " + project.file("sqlite.db") + " into " + target.name()
                               + " (" + qEnvironmentVariable("VARNEL_TEST_PGHOST") + ")"}));

    SqlConnection copy;
    copy.openServer(target.conninfo());
    const QueryResult r = copy.query("SELECT id, t, i, r, c, f, f_filename FROM v ORDER BY id");
    ASSERT_EQ(r.rows.size(), 4u);
    EXPECT_EQ(r.rows[0][1].toText(), QString::fromUtf8("O'Brien \\x ; -- :b1 $1 \"q\" Ærø ПРИВЕТ 😀"));
    EXPECT_EQ(r.rows[0][2].toInt(), 9007199254740993LL);
    EXPECT_EQ(r.rows[0][3].toReal(), 0.1);
    EXPECT_EQ(r.rows[0][4].toText(), "12.5");
    EXPECT_EQ(r.rows[0][5].toBytes(), allBytes);
    EXPECT_EQ(r.rows[0][6].toText(), "all.bin");
    EXPECT_FALSE(r.rows[1][1].isNull());
    EXPECT_EQ(r.rows[1][1].toText(), "");
    EXPECT_EQ(r.rows[1][2].toInt(), -9223372036854775807LL);
    EXPECT_EQ(r.rows[1][3].toReal(), 1e300);
    EXPECT_FALSE(r.rows[1][5].isNull());
    EXPECT_TRUE(r.rows[1][5].toBytes().isEmpty());
    EXPECT_EQ(r.rows[2][3].toReal(), -2.5e-300);
    for (const size_t c : {1, 2, 4, 5, 6})
        EXPECT_TRUE(r.rows[2][c].isNull()) << c;
    // A BLOB in a text column arrives as the text the forms show of it.
    EXPECT_EQ(r.rows[3][1].toText(), "hi");
}

TEST(DatabaseCopy, AWrongCommandLineOrSourceEndsWithCodeTwo)
{
    struct Case {
        QStringList arguments;
        const char* settings;
        const char* says;
    };
    const Case cases[] = {
        {{"varnel", "--copy-database"}, "", "usage: varnel --copy-database TARGET"},
        {{"varnel", "--copy-database", "/tmp/other.db"}, "", "\"/tmp/other.db\" names no PostgreSQL database"},
        {{"varnel", "--copy-database", "service=x"}, "[Options]\nserver=/no/such/app.db\n",
         "the database file is not found: /no/such/app.db"},
        {{"varnel", "--copy-database", "service=x"}, "[Options]\nserver=postgresql://host/db\n",
         "settings.ini names a server as the project's database"},
        {{"varnel", "--copy-database", "host=/no/such/folder dbname=x"}, "", "/no/such/folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        TempProject project;
        project.write("tables.ini", QByteArray("[t]\n_x=TEXT\n"));
        project.write("settings.ini", QByteArray(c.settings));
        SqlConnection db;
        db.open(project.file("sqlite.db"));
        const CommandOutcome outcome = RunDatabaseCopy(c.arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_TRUE(outcome.error.contains(c.says)) << outcome.error.toStdString();
    }
}
