// Two people on one record: the first user's form is open while a second program, on the same
// database, changes or deletes the record. Runs on an SQLite file shared by the two processes
// and on one PostgreSQL database with two clients.
#include "app_fixture.h"

#include "controls/value_controls.h"

#include <QProcess>

namespace {
const QByteArray Tables = "[customers]\n-name=TEXT\n_phone=TEXT\n";

const QByteArray FormsXml = R"(<main>
<frmMain>
  <TdbStringGrid Name="grid" dbGeneralTable="customers" dbListFields="customers.name"/>
  <TdbButton Name="bEdit" dbActionType="adbShowRecord" dbFormName="frmCustomer" dbResultControl="grid"/>
</frmMain>
<frmCustomer>
  <TdbEdit Name="edName" dbTable="customers" dbField="name"/>
  <TdbEdit Name="edPhone" dbTable="customers" dbField="phone"/>
  <TdbButton Name="bSave" dbActionType="adbSaveRecord" dbGeneralTable="customers" dbListControls="edName,edPhone"/>
</frmCustomer>
</main>)";

const QString Changed = "This record was changed by another user after you opened it.";
} // namespace

class TwoUsers : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(Tables, FormsXml, GetParam());
        app->load("INSERT INTO customers (id, name, phone) VALUES (1, 'Ann', '111')");
        app->control<TdbStringGridEx>("frmMain", "grid")->dbExecute();
    }

    // The second user, in a program of its own on the same project folder.
    QStringList secondUser(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(SECOND_USER), QStringList{app->project.path()} + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    QStringList secondUserTypes(const QString& name)
    {
        return secondUser({"edit", "customers", "1", "frmCustomer", "edName", name, "bSave"});
    }

    // Opens record 1 as the first user; while the form is open, action plays the user.
    void whileFormIsOpen(const std::function<void()>& action)
    {
        app->onModal("frmCustomer", [&](TForm* form) {
            action();
            if (form->isVisible())
                form->closeForm();
        });
        app->click("frmMain", "bEdit");
    }
    TdbEdit* edit(const char* name) { return app->control<TdbEdit>("frmCustomer", name); }
    qsizetype updates() const
    {
        return std::count_if(app->statements.begin(), app->statements.end(),
                             [](const QString& s) { return s.startsWith("UPDATE"); });
    }

    std::unique_ptr<RunningApp> app;
};

TEST_P(TwoUsers, AChangeByTheOtherUserIsToldAndNothingIsWrittenUntilTheUserChooses)
{
    struct Case {
        QString choice;
        QString storedName;  // after the first user's answer
        QString formName;    // what the first user's form then shows
        qsizetype updatesWritten;
    };
    const Case cases[] = {
        {"Cancel", "Bob", "Alice", 0},
        {"Reload", "Bob", "Bob", 0},
        {"Overwrite", "Alice", "Alice", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice.toStdString());
        app->load("UPDATE customers SET name = 'Ann', phone = '111' WHERE id = 1");
        app->desk.messages.clear();
        app->desk.choices = {c.choice};
        app->statements.clear();
        QString shown;
        whileFormIsOpen([&] {
            EXPECT_EQ(edit("edName")->text(), "Ann");
            EXPECT_EQ(secondUserTypes("Bob"), QStringList{"done"});
            edit("edName")->setText("Alice");
            app->click("frmCustomer", "bSave");
            shown = edit("edName")->text();
        });
        ASSERT_EQ(app->desk.messages.size(), 1u) << app->desk.texts().join('|').toStdString();
        EXPECT_TRUE(app->desk.messages[0].text.startsWith(Changed));
        EXPECT_EQ(app->desk.choiceButtons.back(), (QStringList{"Reload", "Overwrite", "Cancel"}));
        EXPECT_EQ(updates(), c.updatesWritten);
        EXPECT_EQ(shown, c.formName);
        EXPECT_EQ(app->rows("SELECT name, phone FROM customers"),
                  (QList<QStringList>{{c.storedName, "111"}}));
    }
}

TEST_P(TwoUsers, AfterReloadingTheNextSaveGoesThrough)
{
    app->desk.choices = {"Reload"};
    whileFormIsOpen([&] {
        secondUserTypes("Bob");
        edit("edPhone")->setText("222");
        app->click("frmCustomer", "bSave"); // told, and reloaded: the phone is back to 111
        EXPECT_EQ(edit("edPhone")->text(), "111");
        edit("edPhone")->setText("333");
        app->click("frmCustomer", "bSave");
    });
    EXPECT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->rows("SELECT name, phone FROM customers"), (QList<QStringList>{{"Bob", "333"}}));
}

TEST_P(TwoUsers, NoQuestionWhenNoOneElseChangedTheRecordNorAfterTheUsersOwnSave)
{
    whileFormIsOpen([&] {
        edit("edName")->setText("Alice");
        app->click("frmCustomer", "bSave");
    });
    // Opened again after the own save, and saved again.
    whileFormIsOpen([&] {
        edit("edPhone")->setText("999");
        app->click("frmCustomer", "bSave");
    });
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('|').toStdString();
    EXPECT_EQ(app->rows("SELECT name, phone FROM customers"), (QList<QStringList>{{"Alice", "999"}}));
    // The second user now sees the first user's work and saves over it knowingly.
    EXPECT_EQ(secondUserTypes("Bob"), QStringList{"done"});
    EXPECT_EQ(app->rows("SELECT name, phone FROM customers"), (QList<QStringList>{{"Bob", "999"}}));
}

TEST_P(TwoUsers, ARecordDeletedByTheOtherUserIsToldAndWhatWasTypedStays)
{
    whileFormIsOpen([&] {
        EXPECT_EQ(secondUser({"delete", "customers", "1"}), QStringList{"done"});
        edit("edName")->setText("Alice");
        app->click("frmCustomer", "bSave");
        EXPECT_EQ(edit("edName")->text(), "Alice");
        EXPECT_TRUE(app->form("frmCustomer")->isVisible());
    });
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_TRUE(app->desk.messages[0].text.startsWith(
        "This record was deleted by another user after you opened it."));
    EXPECT_EQ(app->rows("SELECT count(*) FROM customers"), (QList<QStringList>{{"0"}}));
    EXPECT_EQ(updates(), 0);
}

VARNEL_ON_BOTH_BACKENDS(TwoUsers);
