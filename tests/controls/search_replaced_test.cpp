// A search that the server is slow to answer keeps the window answering; when the user starts
// the grid's search again meanwhile, the newer one replaces it: the older statement is
// cancelled on the server and the grid shows the newer result.
#include "catalogue/catalogue.h"
#include "catalogue/schema.h"
#include "controls/record_grid.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/sql_connection.h"
#include "support/backends.h"
#include "support/scripted_desktop.h"
#include "support/temp_project.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

TEST(SearchReplaced, ASearchWaitingForTheServerIsCancelledByTheNextOne)
{
    ScriptedDesktop& desk = ScriptedDesktop::install();
    TempProject project;
    project.write("tables.ini", QByteArray("[orders]\n-number=TEXT\n"));
    LoadTables(project.file("tables.ini"));
    PgTestDatabase database;
    SqlConnection db;
    db.openServer(database.conninfo());
    for (const QString& statement : GetCreateTableScript(project.file("tables.ini"), db.dialect()))
        db.execute(statement);
    db.execute("INSERT INTO orders (number) VALUES ('A-1'), ('B-2')");
    db.setWaitHook([] { QCoreApplication::processEvents(); });

    TForm form;
    auto* grid = new TdbStringGridEx(form.client());
    form.addComponent(grid, "grid");
    grid->dbSQLConnection = &db;
    grid->dbGeneralTable = "orders";
    grid->dbListFields = "orders.number";
    // The first search takes the server a minute.
    grid->dbFilter = "pg_sleep(60) IS NOT NULL";

    bool replaced = false;
    QTimer::singleShot(300, [&] {
        grid->dbFilter = "orders.number LIKE 'b%'";
        grid->dbExecute();
        replaced = true;
    });
    QElapsedTimer clock;
    clock.start();
    grid->dbExecute();
    EXPECT_TRUE(replaced);
    EXPECT_LT(clock.elapsed(), 30000) << "the slow search was not cancelled";
    EXPECT_EQ(grid->dbListId.size(), 1);
    EXPECT_EQ(grid->cell(0, 1), "B-2");
    EXPECT_TRUE(desk.messages.empty());
    // The connection serves the next statement, and nothing of the slow one runs on.
    EXPECT_EQ(db.query("SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%pg_sleep(60)%' "
                       "AND pid <> pg_backend_pid()")
                  .rows[0][0]
                  .toInt(),
              0);
    FreeCatalogue();
}
