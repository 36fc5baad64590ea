// The dispatcher's simple paths through real forms: showing a form, showing a record that has
// no id, the grids a returning form refreshes, deleting without a question, "$id" in author
// SQL, and the focus on a shown form.
#include "app_fixture.h"

#include "controls/value_controls.h"

#include <QApplication>
#include <QTest>

namespace {

const QByteArray Tables =
    "[customers]\n-name=TEXT\n"
    "[notes]\n-text=TEXT\n^id_customers=customers\n";

const QByteArray FormsXml = R"(<main>
<frmMain>
  <TdbEdit Name="edFind" dbTable="customers" dbField="name" dbFilter="%s%"/>
  <TdbStringGrid Name="gridCustomers" dbGeneralTable="customers" dbListFields="customers.name"/>
  <TdbStringGrid Name="gridByHand" dbGeneralTable="customers" dbListFields="customers.name"/>
  <TdbStringGrid Name="gridNotes" dbGeneralTable="notes" dbListFields="notes.text"/>
  <TdbButton Name="bFind" dbActionType="adbSearch" dbResultControl="gridCustomers" dbGeneralTable="customers"
             dbListFields="customers.name" dbSortField="customers.name"/>
  <TdbButton Name="bByHand" dbActionType="adbSQL" dbResultControl="gridByHand" dbGeneralTable="customers"
             dbSQL="SELECT id, name FROM customers WHERE name LIKE 'A%' ORDER BY name"/>
  <TdbButton Name="bShowList" dbActionType="adbShowForm" dbFormName="frmList"/>
  <TdbButton Name="bEdit" dbActionType="adbShowRecord" dbFormName="frmCustomer" dbResultControl="gridCustomers"/>
  <TdbButton Name="bDelete" dbActionType="adbDelete" dbResultControl="gridCustomers" dbConfirmDelete="False"/>
  <TdbButton Name="bSqlId" dbActionType="adbSQL" dbSQL="UPDATE customers SET name = 'x' || $ID WHERE id = $id"/>
</frmMain>
<frmList>
  <TdbStringGrid Name="gridAuto" dbGeneralTable="customers" dbListFields="customers.name" dbAutoExecute="True"/>
  <TdbStringGrid Name="gridIdle" dbGeneralTable="customers" dbListFields="customers.name"/>
  <TdbButton Name="bSaveList" dbActionType="adbSaveRecord" dbGeneralTable="customers"/>
</frmList>
<frmCustomer>
  <TdbEdit Name="edName" dbTable="customers" dbField="name" TabOrder="1"/>
  <TdbEdit Name="edFirst" dbTable="customers" dbField="name" TabOrder="0"/>
  <TdbButton Name="bSave" dbActionType="adbSaveRecord" dbGeneralTable="customers" dbListControls="edName"/>
</frmCustomer>
</main>)";

} // namespace

class DispatcherPaths : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(Tables, FormsXml, GetParam());
        app->load("INSERT INTO customers (id, name) VALUES (1, 'Ann'), (2, 'Bo'), (3, 'Al')");
    }
    TdbStringGridEx* grid(const char* form, const char* name)
    {
        return app->control<TdbStringGridEx>(form, name);
    }
    std::unique_ptr<RunningApp> app;
};

TEST_P(DispatcherPaths, ShowFormRunsItsSelfExecutingGridsResetsItsSaveButtonsAndShowsItModally)
{
    auto* save = app->control<TdbButton>("frmList", "bSaveList");
    save->dbGeneralTableId = 5;
    bool shownModally = false;
    app->onModal("frmList", [&](TForm* f) {
        shownModally = QApplication::activeModalWidget() == f || f->isVisible();
        EXPECT_EQ(grid("frmList", "gridAuto")->dbListId.size(), 3);
        EXPECT_TRUE(grid("frmList", "gridIdle")->dbListId.isEmpty());
        EXPECT_EQ(save->dbGeneralTableId, -1);
        f->closeForm();
    });
    app->click("frmMain", "bShowList");
    EXPECT_TRUE(shownModally);
    EXPECT_TRUE(app->desk.messages.empty());
}

TEST_P(DispatcherPaths, ShowRecordOnARowWithoutAnIdSaysSo)
{
    grid("frmMain", "gridCustomers")->dbListId = {QStringLiteral("not a number")};
    bool shown = false;
    app->onModal("frmCustomer", [&](TForm* f) {
        shown = true;
        f->closeForm();
    });
    app->click("frmMain", "bEdit");
    EXPECT_FALSE(shown);
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].text, "Unable to determine the record ID");
    EXPECT_EQ(app->desk.messages[0].caption, "Error");
}

// A form that returns the saved table refreshes the grids of that table on the calling form:
// a searched grid with its search, a grid filled by author SQL with that SQL; other tables'
// grids stay as they were.
TEST_P(DispatcherPaths, AReturningFormRefreshesTheGridsOfItsTableEachTheWayItWasFilled)
{
    app->click("frmMain", "bFind");
    app->click("frmMain", "bByHand");
    ASSERT_EQ(grid("frmMain", "gridByHand")->dbListId.size(), 2);
    grid("frmMain", "gridCustomers")->setDbItemID(2);
    grid("frmMain", "gridNotes")->dbListId = {QStringLiteral("99")};
    app->onModal("frmCustomer", [&](TForm*) {
        app->control<TdbEdit>("frmCustomer", "edName")->setText("Anders");
        app->click("frmCustomer", "bSave");
    });
    app->statements.clear();
    app->click("frmMain", "bEdit");
    EXPECT_TRUE(app->statements.contains(
        app->onServer() ? "SELECT \"id\", \"name\" FROM \"customers\" WHERE \"name\" ILIKE 'A%' ESCAPE '' ORDER BY \"name\""
                        : "SELECT id, name FROM customers WHERE name LIKE 'A%' ORDER BY name"))
        << app->statements.join('\n').toStdString();
    EXPECT_EQ(grid("frmMain", "gridByHand")->dbListId.size(), 3); // Al, Ann and now Anders
    EXPECT_EQ(grid("frmMain", "gridCustomers")->cell(0, 2), "Anders");
    EXPECT_EQ(grid("frmMain", "gridNotes")->dbListId, QStringList{"99"});
}

TEST_P(DispatcherPaths, DeleteWithoutConfirmationAsksNothing)
{
    app->click("frmMain", "bFind");
    grid("frmMain", "gridCustomers")->setDbItemID(2);
    app->click("frmMain", "bDelete");
    EXPECT_TRUE(app->desk.messages.empty());
    EXPECT_EQ(app->rows("SELECT name FROM customers ORDER BY name"), (QList<QStringList>{{"Al"}, {"Ann"}}));
    EXPECT_EQ(grid("frmMain", "gridCustomers")->dbListId.size(), 2);
}

TEST_P(DispatcherPaths, RecordIdInAuthorSqlInAnyCase)
{
    auto* b = app->control<TdbButton>("frmMain", "bSqlId");
    struct Case {
        qint32 id;
        const char* statement;
        const char* onServer; // the same, translated for the server
    };
    const Case cases[] = {
        // a form never filled
        {0, "UPDATE customers SET name = 'x' || 0 WHERE id = 0",
         "UPDATE \"customers\" SET \"name\" = 'x' || 0 WHERE \"id\" = 0"},
        {-1, "UPDATE customers SET name = 'x' || $ID WHERE id = $id",
         "UPDATE \"customers\" SET \"name\" = 'x' || $ID WHERE \"id\" = $id"},
        {2, "UPDATE customers SET name = 'x' || 2 WHERE id = 2",
         "UPDATE \"customers\" SET \"name\" = 'x' || 2 WHERE \"id\" = 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        b->dbGeneralTableId = c.id;
        app->statements.clear();
        app->desk.messages.clear();
        app->click("frmMain", "bSqlId");
        ASSERT_FALSE(app->statements.isEmpty());
        EXPECT_EQ(app->statements.first(), QString(app->onServer() ? c.onServer : c.statement));
        // A "$id" left in the text is a parameter that SQLite reads as NULL; a server refuses it.
        EXPECT_EQ(app->desk.messages.size(), c.id == -1 && app->onServer() ? 1u : 0u)
            << app->desk.texts().join('\n').toStdString();
    }
    EXPECT_EQ(app->rows("SELECT name FROM customers WHERE id = 2"), (QList<QStringList>{{"x2"}}));
}

// The program's own show handler gives the focus to the control first in tab order.
TEST_P(DispatcherPaths, AShownFormFocusesItsFirstControl)
{
    // Left in the second box, the focus would come back there by itself when the form is shown
    // again; the show handler puts it on the first one.
    TForm* form = app->form("frmCustomer");
    form->show();
    QApplication::setActiveWindow(form);
    app->control<TdbEdit>("frmCustomer", "edName")->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(form->focusWidget(), app->control<TdbEdit>("frmCustomer", "edName"));
    form->hide();
    form->show();
    QApplication::setActiveWindow(form);
    QApplication::processEvents();
    EXPECT_EQ(form->focusWidget(), app->control<TdbEdit>("frmCustomer", "edFirst"));
    form->hide();
}

VARNEL_ON_BOTH_BACKENDS(DispatcherPaths);
