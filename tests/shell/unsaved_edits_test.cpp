// A record form with unsaved changes asks before it closes; an untouched one closes at once.
#include "app_fixture.h"

#include "controls/value_controls.h"

#include <QTest>

namespace {
const QByteArray Tables = "[customers]\n-name=TEXT\n_phone=TEXT\n";

const QByteArray FormsXml = R"(<main>
<frmMain>
  <TdbStringGrid Name="grid" dbGeneralTable="customers" dbListFields="customers.name" dbAutoExecute="True"/>
  <TdbButton Name="bNew" dbActionType="adbNewRecord" dbFormName="frmCustomer"/>
  <TdbButton Name="bEdit" dbActionType="adbShowRecord" dbFormName="frmCustomer" dbResultControl="grid"/>
</frmMain>
<frmCustomer>
  <TdbEdit Name="edName" dbTable="customers" dbField="name"/>
  <TdbEdit Name="edPhone" dbTable="customers" dbField="phone"/>
  <TdbButton Name="bSave" dbActionType="adbSaveRecord" dbGeneralTable="customers" dbListControls="edName,edPhone"/>
  <TdbButton Name="bClose" dbActionType="adbCloseForm"/>
</frmCustomer>
</main>)";

const QString Question = "The record on this form has changes that are not saved yet.";
} // namespace

class UnsavedEdits : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(Tables, FormsXml);
        app->load("INSERT INTO customers (id, name, phone) VALUES (1, 'Ann', '111')");
        app->control<TdbStringGridEx>("frmMain", "grid")->dbExecute();
    }
    TdbEdit* edit(const char* name) { return app->control<TdbEdit>("frmCustomer", name); }
    // The ways a user closes a form.
    enum class Closing { CloseButtonOfWindow, EscapeKey };
    static void close(TForm* form, Closing how)
    {
        if (how == Closing::CloseButtonOfWindow)
            form->close();
        else
            QTest::keyClick(form, Qt::Key_Escape);
    }
    std::unique_ptr<RunningApp> app;
};

TEST_F(UnsavedEdits, TheUserChoosesToGoBackDiscardOrSave)
{
    struct Case {
        Closing how;
        QString choice;
        bool staysOpen;
        QString storedPhone;
    };
    const Case cases[] = {
        {Closing::CloseButtonOfWindow, "Cancel", true, "111"},
        {Closing::EscapeKey, "Cancel", true, "111"},
        {Closing::CloseButtonOfWindow, "Discard", false, "111"},
        {Closing::EscapeKey, "Save", false, "222"},
        {Closing::CloseButtonOfWindow, "Save", false, "222"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.choice + (c.how == Closing::EscapeKey ? " by Escape" : " by close button")).toStdString());
        app->load("UPDATE customers SET phone = '111' WHERE id = 1");
        app->desk.messages.clear();
        app->desk.choices = {c.choice};
        bool open = false;
        app->onModal("frmCustomer", [&](TForm* form) {
            edit("edPhone")->setText("222");
            close(form, c.how);
            open = form->isVisible();
            if (form->isVisible())
                form->closeForm();
        });
        app->click("frmMain", "bEdit");
        EXPECT_EQ(open, c.staysOpen);
        ASSERT_EQ(app->desk.messages.size(), 1u) << app->desk.texts().join('|').toStdString();
        EXPECT_EQ(app->desk.messages[0].text, Question);
        EXPECT_EQ(app->desk.choiceButtons.back(), (QStringList{"Save", "Discard", "Cancel"}));
        EXPECT_EQ(app->rows("SELECT phone FROM customers"), (QList<QStringList>{{c.storedPhone}}));
    }
}

TEST_F(UnsavedEdits, AnUntouchedFormOrOneJustSavedClosesWithoutAQuestion)
{
    for (const Closing how : {Closing::CloseButtonOfWindow, Closing::EscapeKey}) {
        bool open = true;
        app->onModal("frmCustomer", [&](TForm* form) {
            close(form, how);
            open = form->isVisible();
            if (form->isVisible())
                form->closeForm();
        });
        app->click("frmMain", "bEdit");
        EXPECT_FALSE(open);
        app->click("frmMain", "bNew");
        EXPECT_FALSE(open);
    }
    // Typed back to what it was: nothing to lose.
    app->onModal("frmCustomer", [&](TForm* form) {
        edit("edName")->setText("Bob");
        edit("edName")->setText("Ann");
        form->close();
    });
    app->click("frmMain", "bEdit");
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('|').toStdString();
}

TEST_F(UnsavedEdits, ASaveThatFailsKeepsTheFormOpenWithWhatWasTyped)
{
    app->desk.choices = {"Save"};
    bool open = false;
    app->onModal("frmCustomer", [&](TForm* form) {
        edit("edPhone")->setText("333");
        form->close();
        open = form->isVisible();
        form->closeForm();
    });
    app->click("frmMain", "bNew");
    EXPECT_TRUE(open);
    ASSERT_EQ(app->desk.messages.size(), 2u) << app->desk.texts().join('|').toStdString();
    EXPECT_EQ(app->desk.messages[0].text, Question);
    EXPECT_TRUE(app->desk.messages[1].text.startsWith("The field \"name\" must be filled in."))
        << app->desk.messages[1].text.toStdString();
    EXPECT_EQ(app->rows("SELECT count(*) FROM customers"), (QList<QStringList>{{"1"}}));
}
