// What the user types is what is stored and searched, and a lock, a read-only file, a full
// disk or a crash loses nothing: driven through the demo's own forms on a real database file
// and, where the same can happen to a server, on a database of the tests' server.
#include "app_fixture.h"
#include "crash_child_rows.h"

#include "catalogue/sql_text.h"
#include "controls/value_controls.h"
#include "platform/lang.h"

#include <QCalendarWidget>
#include <QDir>
#include <QGuiApplication>
#include <QStyleHints>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <set>

namespace {

QByteArray demoFile(const char* name)
{
    QFile f(QStringLiteral(VARNEL_SOURCE_DIR "/examples/demo/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Types the text into the widget key by key, as a keyboard with any layout would.
void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

// Types the texts into the named edit boxes of the main form and saves them as a new record
// with its button bSave.
void saveNew(RunningApp& app, const std::vector<std::pair<const char*, QString>>& typed)
{
    app.desk.messages.clear();
    for (const auto& [name, text] : typed)
        app.control<TdbEdit>("frmMain", name)->setText(text);
    app.control<TdbButton>("frmMain", "bSave")->dbGeneralTableId = -1;
    app.click("frmMain", "bSave");
}

QString one(const QList<QStringList>& rows)
{
    return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0] : QStringLiteral("<not one value>");
}

} // namespace

class DataSafetyBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(demoFile("tables.ini"), demoFile("forms.xml"), backend());
        ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    }
    void TearDown() override { Lang.fillEnglish(); }
    virtual Backend backend() const { return Backend::SQLite; }

    // A statement as SQLite is given it, or as the server is.
    QString sql(const QString& sqlite, const QString& server) const
    {
        return app->onServer() ? server : sqlite;
    }
    // A trigger of the author's schema that refuses a row with a message of its own.
    void refuse(const QString& table, const QString& when, const QString& condition, const QString& text)
    {
        if (app->onServer())
            app->db().execute("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                              "IF " + condition + " THEN RAISE EXCEPTION '" + text + "'; END IF; "
                              "IF TG_OP = 'DELETE' THEN RETURN OLD; END IF; RETURN NEW; END$$; CREATE TRIGGER refuse " + when + " ON " + table
                              + " FOR EACH ROW EXECUTE FUNCTION refuse()");
        else
            app->db().execute("CREATE TRIGGER refuse " + when + " ON " + table + " WHEN " + condition
                              + " BEGIN SELECT RAISE(ABORT, '" + text + "'); END");
    }

    template <class T>
    T* control(const char* form, const char* name) { return app->control<T>(form, name); }
    TdbButton* button(const char* form, const char* name) { return control<TdbButton>(form, name); }
    QStringList written(qsizetype from) const
    {
        QStringList out;
        for (const QString& sql : app->statementsFrom(from))
            if (sql.startsWith("INSERT") || sql.startsWith("UPDATE") || sql.startsWith("DELETE"))
                out.append(sql);
        return out;
    }
    // A new customer typed into the customer form and saved; the form's state is handed to
    // check() while it is still open after the click.
    void newCustomer(const QString& name, std::function<void(TForm*)> check = {},
                     const QString& notes = QString())
    {
        app->onModal("frmCustomer", [&](TForm* f) {
            auto* edName = qobject_cast<TdbEdit*>(f->findComponent("edName"));
            if (name.size() < 200)
                type(edName, name);
            else
                edName->setText(name);
            qobject_cast<TdbMemo*>(f->findComponent("mmNotes"))->setPlainText(notes);
            // The find form's calendar filter asks for a birth date on or before today.
            auto* born = qobject_cast<TdbDateTimePicker*>(f->findComponent("dtBorn"));
            born->setDbStringDateTime("1990-01-02");
            born->setChecked(true);
            app->click("frmCustomer", "bSaveCustomer");
            if (check)
                check(f);
            f->closeForm();
        });
        app->click("frmMain", "bNewCustomer");
    }
    // The rows that the "name is" search of the find form lists for a typed text.
    QStringList findByName(const QString& typed)
    {
        control<TdbEdit>("frmFindCustomers", "edFcName")->setText(typed);
        app->click("frmFindCustomers", "bFcFind");
        auto* grid = control<TdbStringGridEx>("frmFindCustomers", "gridFcCustomers");
        QStringList names;
        for (int r = 1; r <= grid->dbListId.size(); ++r)
            names.append(grid->cell(1, r));
        return names;
    }

    std::unique_ptr<RunningApp> app;
};

// What can happen on either back end.
class DataSafety : public DataSafetyBase, public ::testing::WithParamInterface<Backend> {
protected:
    Backend backend() const override { return GetParam(); }
};

// What only a database file meets.
class DataSafetyOnFile : public DataSafetyBase {};

TEST_P(DataSafety, TypedTextsAreStoredReloadedAndFoundExactlyAsTyped)
{
    // Rows that a value read as a column name, or an unescaped quote, would match instead.
    app->db().execute("INSERT INTO customers (name, phone, vip, born) "
                      "VALUES ('Decoy', '555', 1, '1980-01-01 00:00:00.000')");
    const QString longText = QString(9990, u'x') + QStringLiteral("0123456789");
    const QString values[] = {
        "vip", "VIP", "Name", "phone", "id", "It's", "''", "say \"hi\"", "\"", "C:\\temp\\",
        "50%", "a_b", QString::fromUtf8("Иван Петров"), QString::fromUtf8("Ёжик «в» тумане"),
        longText, "x'; DROP TABLE customers; --",
    };
    for (const QString& typed : values) {
        SCOPED_TRACE(typed.left(40).toStdString());
        app->db().execute("DELETE FROM customers WHERE name <> 'Decoy'");
        newCustomer(typed);
        ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
        const QString stored = ToStoredCase(typed);
        EXPECT_EQ(one(app->rows("SELECT name FROM customers WHERE name <> 'Decoy'")), stored);

        EXPECT_EQ(findByName(typed), QStringList{ToDisplayText(stored)});

        QString reloaded;
        app->onModal("frmCustomer", [&](TForm* f) {
            reloaded = qobject_cast<TdbEdit*>(f->findComponent("edName"))->text();
            f->closeForm();
        });
        app->click("frmFindCustomers", "bFcOpen");
        EXPECT_EQ(reloaded, ToDisplayText(stored));
    }
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM customers WHERE name = 'Decoy' AND vip = 1")), "1");
}

TEST_P(DataSafety, ADateSearchAndAnEditedRecordUseStringLiterals)
{
    app->load("INSERT INTO customers (id, name, vip) VALUES (1, 'Ann', 1)");
    auto* save = button("frmCustomer", "bSaveCustomer");
    save->dbGeneralTableId = 1;
    save->dbListControls = "edName,chkVip";
    control<TdbEdit>("frmCustomer", "edName")->setText("vip");
    control<TdbCheckBox>("frmCustomer", "chkVip")->setChecked(true);
    const qsizetype from = app->statements.size();
    app->click("frmCustomer", "bSaveCustomer");
    EXPECT_EQ(written(from), QStringList{sql("UPDATE [customers] SET [name]='vip',[vip]=1 WHERE id = 1",
                                             "UPDATE \"customers\" SET \"name\"='vip',\"vip\"=1 WHERE id = 1")});
    EXPECT_EQ(one(app->rows("SELECT name FROM customers")), "vip");
}

TEST_P(DataSafety, CounterFiltersTakeOnlyRecordNumbers)
{
    app->db().execute("INSERT INTO customers (name, record_count, born) "
                      "VALUES ('Ann', 7, '1990-01-01'), ('Bo', 8, '1990-01-01')");
    auto* counter = control<TdbEditCount>("frmFindCustomers", "ecFcNo");
    auto* grid = control<TdbStringGridEx>("frmFindCustomers", "gridFcCustomers");
    for (const char* typed : {"abc", "0 OR 1=1", "7;", "1.5", "99999999999999999999"}) {
        SCOPED_TRACE(typed);
        app->desk.messages.clear();
        counter->setText(typed);
        const qsizetype from = app->statements.size();
        app->click("frmFindCustomers", "bFcFind");
        EXPECT_TRUE(app->statementsFrom(from).isEmpty()) << app->statementsFrom(from).join('\n').toStdString();
        ASSERT_EQ(app->desk.messages.size(), 1u);
        EXPECT_EQ(app->desk.messages[0].text, '"' + QString(typed) + "\" Not a number.");
        EXPECT_EQ(app->desk.messages[0].caption, "Error");
    }
    app->desk.messages.clear();
    counter->setText(" 7 ");
    app->click("frmFindCustomers", "bFcFind");
    EXPECT_TRUE(app->statements.back().contains(
        sql("[customers].record_count = 7", "\"customers\".\"record_count\" = 7")))
        << app->statements.back().toStdString();
    EXPECT_EQ(grid->dbListId.size(), 1);
    counter->clear();
    app->click("frmFindCustomers", "bFcFind");
    EXPECT_FALSE(app->statements.back().contains("record_count ="));
    EXPECT_EQ(grid->dbListId.size(), 2);
    EXPECT_TRUE(app->desk.messages.empty());
}

TEST_P(DataSafety, AnEditedCounterMustBeANumberAndAnEmptyOneIsNull)
{
    app->load("INSERT INTO customers (id, name, record_count) VALUES (1, 'Ann', 1001)");
    auto* save = button("frmCustomer", "bSaveCustomer");
    auto* counter = control<TdbEditCount>("frmCustomer", "ecNumber");
    control<TdbEdit>("frmCustomer", "edName")->setText("Ann");
    save->dbListControls = "ecNumber,edName";

    save->dbGeneralTableId = 1;
    counter->setText("abc");
    const qsizetype from = app->statements.size();
    app->click("frmCustomer", "bSaveCustomer");
    EXPECT_TRUE(written(from).isEmpty());
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].text, "No.: \"abc\" Not a number.");

    save->dbGeneralTableId = 1;
    counter->clear();
    app->click("frmCustomer", "bSaveCustomer");
    EXPECT_EQ(written(from),
              QStringList{sql("UPDATE [customers] SET record_count=NULL,[name]='Ann' WHERE id = 1",
                              "UPDATE \"customers\" SET \"record_count\"=NULL,\"name\"='Ann' WHERE id = 1")});
    EXPECT_EQ(one(app->rows("SELECT record_count FROM customers")), "<null>");
}

class NumericFields : public ::testing::TestWithParam<Backend> {};

// Numbers go into numeric columns as numbers: the user's decimal separator or a dot, stored
// with a dot; anything else is refused with the field named and nothing written.
TEST_P(NumericFields, TypedNumbersAreCheckedAndStoredAsNumbers)
{
    RunningApp app("[goods]\n-name=TEXT\n_qty=INTEGER\n_weight=REAL\n",
                   "<main><frmMain>"
                   "<TdbLabel Name=\"lblQty\" Caption=\"&amp;Quantity:\" Left=\"8\" Top=\"40\"/>"
                   "<TdbEdit Name=\"edQty\" Left=\"90\" Top=\"38\" Width=\"80\" dbTable=\"goods\" dbField=\"qty\"/>"
                   "<TdbLabel Name=\"lblWeight\" Caption=\"Weight, kg\" Left=\"8\" Top=\"70\"/>"
                   "<TdbEdit Name=\"edWeight\" Left=\"90\" Top=\"68\" Width=\"80\" dbTable=\"goods\" dbField=\"weight\"/>"
                   "<TdbEdit Name=\"edName\" Left=\"90\" Top=\"8\" dbTable=\"goods\" dbField=\"name\" dbDefaultValue=\"x\"/>"
                   "<TdbButton Name=\"bSave\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"goods\" "
                   "dbListControls=\"edName,edQty,edWeight\" dbDoCloseForm=\"False\"/>"
                   "</frmMain></main>",
                   GetParam());
    // Each database names the types of the stored values its own way.
    const QString types = app.onServer() ? "pg_typeof(qty)::text, pg_typeof(weight)::text"
                                         : "typeof(qty), typeof(weight)";
    const QStringList numberTypes = app.onServer() ? QStringList{"bigint", "double precision"}
                                                   : QStringList{"integer", "real"};
    struct Case {
        const char* locale;
        const char* qty;
        const char* weight;
        const char* stored; // qty|weight, or the message when refused
    };
    const Case cases[] = {
        {"en_US", "12", "2.5", "12|2.5"},
        {"de_DE", " -3 ", "2,5", "-3|2.5"},
        {"de_DE", "+7", "0.25", "7|0.25"},
        {"en_US", "4", ",5", "Weight, kg: \",5\" Not a number."},
        {"en_US", "two", "1", "Quantity: \"two\" Not a whole number."},
        {"en_US", "1.5", "1", "Quantity: \"1.5\" Not a whole number."},
        {"en_US", "1", "abc", "Weight, kg: \"abc\" Not a number."},
        {"en_US", "1", "1e5", "Weight, kg: \"1e5\" Not a number."},
        {"en_US", "99999999999999999999", "1", "Quantity: \"99999999999999999999\" Not a whole number."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.qty) + " / " + c.weight);
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        app.db().execute("DELETE FROM goods");
        saveNew(app, {{"edName", "box"}, {"edQty", c.qty}, {"edWeight", c.weight}});
        const auto rows = app.rows("SELECT qty || '|' || weight, " + types + " FROM goods");
        if (QString(c.stored).contains("Not a")) {
            EXPECT_TRUE(rows.isEmpty());
            ASSERT_EQ(app.desk.messages.size(), 1u);
            EXPECT_EQ(app.desk.messages[0].text, c.stored);
        } else {
            EXPECT_EQ(rows, (QList<QStringList>{QStringList{c.stored} + numberTypes}));
            EXPECT_TRUE(app.desk.messages.empty());
        }
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

VARNEL_ON_BOTH_BACKENDS(NumericFields);

// The demo's order form lists the calendar and the time picker, both on "ordered": the
// column is written once, with the time picker's date and time, in INSERT and UPDATE alike.
TEST_P(DataSafety, OrderDateAndTimeAreStoredTogetherOnInsertAndUpdate)
{
    app->load("INSERT INTO customers (id, name) VALUES (1, 'Ann')");
    auto* save = button("frmOrder", "bSaveOrder");
    auto* calendar = control<TdbMonthCalendar>("frmOrder", "calOrdered");
    auto* time = control<TdbDateTimePicker>("frmOrder", "dtTime");
    control<TdbEdit>("frmOrder", "edNumber")->setText("A-1");
    calendar->setDbStringDateTime("2026-03-05");
    time->setDbStringDateTime("2026-12-10 13:26:00");
    time->setChecked(true);
    save->dbParentTable = "customers";
    save->dbParentTableId = 1;
    save->dbGeneralTableId = -1;
    qsizetype from = app->statements.size();
    app->click("frmOrder", "bSaveOrder");
    const QString values = " VALUES ('A-1',1,0,'2026-03-05 13:26:00.000',NULL,1);";
    EXPECT_EQ(written(from),
              QStringList{sql("INSERT INTO [orders] ([number],record_count,[paid],[ordered],[delivery],id_customers)",
                              "INSERT INTO \"orders\" (\"number\",\"record_count\",\"paid\",\"ordered\","
                              "\"delivery\",\"id_customers\")")
                          + values});
    EXPECT_EQ(one(app->rows("SELECT ordered FROM orders")), "2026-03-05 13:26:00.000");

    save->dbGeneralTableId = 1;
    calendar->setDbStringDateTime("2026-03-06");
    time->setDbStringDateTime("2026-03-05 14:40:00");
    from = app->statements.size();
    app->click("frmOrder", "bSaveOrder");
    ASSERT_EQ(written(from).size(), 1);
    EXPECT_EQ(written(from)[0].count(sql("[ordered]", "\"ordered\"")), 1);
    EXPECT_EQ(one(app->rows("SELECT ordered FROM orders")), "2026-03-06 14:40:00.000");
}

class TimePicker : public ::testing::TestWithParam<Backend> {};

TEST_P(TimePicker, ACalendarNameThatFindsNothingLeavesTheDateAlone)
{
    RunningApp app("[visits]\n_at=DATETIME\n",
                   "<main><frmMain>"
                   "<TdbDateTimePicker Name=\"dtAt\" Kind=\"dtkTime\" dbTable=\"visits\" dbField=\"at\" "
                   "dbCalendarControl=\"calNowhere\"/>"
                   "<TdbButton Name=\"bSave\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"visits\" "
                   "dbListControls=\"dtAt\" dbDoCloseForm=\"False\"/>"
                   "</frmMain></main>");
    auto* at = app.control<TdbDateTimePicker>("frmMain", "dtAt");
    at->setDbStringDateTime("2011-11-11 09:30:00");
    at->setChecked(true);
    app.control<TdbButton>("frmMain", "bSave")->dbGeneralTableId = -1;
    app.click("frmMain", "bSave");
    EXPECT_EQ(app.rows("SELECT at FROM visits"), (QList<QStringList>{{"2011-11-11 09:30:00.000"}}));
}

// Tab to the check box, Space ticks it, Enter saves the form with the box ticked.
TEST_P(DataSafety, EnterOnACheckBoxSavesTheFormInsteadOfTogglingTheBox)
{
    TForm* form = app->form("frmCustomer");
    button("frmCustomer", "bSaveCustomer")->dbGeneralTableId = -1;
    control<TdbEdit>("frmCustomer", "edName")->setText("Ann");
    form->show();
    auto* vip = control<TdbCheckBox>("frmCustomer", "chkVip");
    vip->setFocus();
    QTest::keyClick(vip, Qt::Key_Space);
    EXPECT_TRUE(vip->isChecked());
    QTest::keyClick(vip, Qt::Key_Return);
    EXPECT_TRUE(vip->isChecked());
    EXPECT_EQ(app->rows("SELECT name, vip FROM customers"), (QList<QStringList>{{"Ann", "1"}}));
    EXPECT_FALSE(form->isVisible());
}

// The calendar's year editor takes Enter to commit the year; the order is not saved.
TEST_P(DataSafety, EnterInTheCalendarsYearEditorDoesNotSaveTheForm)
{
    TForm* form = app->form("frmOrder");
    form->show();
    auto* calendar = control<TdbMonthCalendar>("frmOrder", "calOrdered");
    calendar->setSelectedDate(QDate(2026, 3, 5));
    auto* yearButton = calendar->findChild<QToolButton*>("qt_calendar_yearbutton");
    ASSERT_NE(yearButton, nullptr);
    // A click right after a modal form closed would be taken for the rest of a double-click.
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
    QTest::mouseClick(yearButton, Qt::LeftButton);
    auto* yearEdit = calendar->findChild<QSpinBox*>("qt_calendar_yearedit");
    ASSERT_NE(yearEdit, nullptr);
    ASSERT_TRUE(yearEdit->isVisible());
    yearEdit->selectAll();
    QTest::keyClicks(yearEdit, "2030");
    const qsizetype from = app->statements.size();
    QTest::keyClick(yearEdit, Qt::Key_Return);
    EXPECT_TRUE(written(from).isEmpty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(calendar->yearShown(), 2030);
    form->hide();
}

TEST_P(DataSafety, ARequiredFieldLeftEmptyIsNamedInTheUsersLanguage)
{
    Lang.fillRussian();
    bool stillOpen = false;
    QString notesKept;

    newCustomer(QString(), [&](TForm* f) {
        stillOpen = f->isVisible();
        notesKept = qobject_cast<TdbMemo*>(f->findComponent("mmNotes"))->toPlainText();
    }, "remember me");
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(notesKept, "remember me");
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_TRUE(app->desk.messages[0].text.startsWith(QString::fromUtf8("Поле «Name» должно быть заполнено.")))
        << app->desk.messages[0].text.toStdString();
    // The database's own words follow, as each database words them.
    EXPECT_TRUE(app->desk.messages[0].text.endsWith(
        sql("NOT NULL constraint failed: customers.name",
            "null value in column \"name\" of relation \"customers\" violates not-null constraint")))
        << app->desk.messages[0].text.toStdString();
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM customers")), "0");
}

// The Card button of a new customer saves the customer first: an empty name is told as the
// Save button tells it, and no report is made of a record that was not written.
TEST_P(DataSafety, ARequiredFieldLeftEmptyBeforeACardIsToldAsTheSaveButtonTellsIt)
{
    Lang.fillRussian();
    bool stillOpen = false;
    app->onModal("frmCustomer", [&](TForm* f) {
        app->click("frmCustomer", "bCustomerCard");
        stillOpen = f->isVisible();
        f->closeForm();
    });
    app->click("frmMain", "bNewCustomer");
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(app->desk.messages.size(), 1u) << app->desk.texts().join('\n').toStdString();
    EXPECT_TRUE(app->desk.messages[0].text.startsWith(QString::fromUtf8("Поле «Name» должно быть заполнено.")))
        << app->desk.messages[0].text.toStdString();
    EXPECT_FALSE(app->desk.windows.contains("ReportPreview"));
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM customers")), "0");
}

// An order saved for a customer whom another user has deleted meanwhile.
TEST_P(DataSafety, AReferenceToARecordThatIsGoneIsToldAndNothingIsWritten)
{
    auto* save = button("frmOrder", "bSaveOrder");
    control<TdbEdit>("frmOrder", "edNumber")->setText("A-1");
    save->dbParentTable = "customers";
    save->dbParentTableId = 99;
    save->dbGeneralTableId = -1;
    app->form("frmOrder")->show();
    app->click("frmOrder", "bSaveOrder");
    ASSERT_EQ(app->desk.messages.size(), 1u);
    const QString text = app->desk.messages[0].text;
    EXPECT_TRUE(text.startsWith(Lang.Record_refers_to_missing_record + "\n\n")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(sql("FOREIGN KEY constraint failed",
                                  "insert or update on table \"orders\" violates foreign key constraint "
                                  "\"orders_id_customers_fkey\"")))
        << text.toStdString();
    EXPECT_TRUE(app->form("frmOrder")->isVisible());
    EXPECT_EQ(control<TdbEdit>("frmOrder", "edNumber")->text(), "A-1");
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM orders")), "0");
    app->form("frmOrder")->hide();
}

// Another program holds a lock that the save needs: the user is told, the form stays open,
// and saving again once the lock is gone writes the record once. On SQLite another connection
// holds the file's write lock; on a server another session holds the edited row, or the
// table a new record goes into.
TEST_P(DataSafety, ALockedDatabaseIsNamedAndSavingAgainAfterwardsWritesOneRow)
{
    app->load("INSERT INTO customers (id, name, born) VALUES (1, 'Bo', '1990-01-01 00:00:00.000')");
    app->db().setBusyTimeout(50);
    SqlConnection other;
    if (app->onServer())
        other.openServer(app->server->conninfo());
    else
        other.open(app->db().path());
    const QString busy = app->onServer() ? Lang.Server_is_busy.arg(app->db().path())
                                         : Lang.Database_is_in_use.arg(QDir::toNativeSeparators(app->db().path()));
    struct Case {
        const char* what;
        bool newRecord;
        QString lock;
        QString typed;
    };
    const Case cases[] = {
        {"new record", true,
         sql("BEGIN IMMEDIATE", "BEGIN; LOCK TABLE customers IN SHARE MODE"), "Ann"},
        {"edited record", false,
         sql("BEGIN IMMEDIATE", "BEGIN; SELECT id FROM customers WHERE id = 1 FOR UPDATE"), "Bob"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app->desk.messages.clear();
        bool stillOpen = false;
        app->onModal("frmCustomer", [&](TForm* f) {
            auto* name = qobject_cast<TdbEdit*>(f->findComponent("edName"));
            name->clear();
            QTest::keyClicks(name, c.typed);
            other.execute(c.lock); // another program in the middle of a write
            app->click("frmCustomer", "bSaveCustomer");
            stillOpen = f->isVisible();
            ASSERT_EQ(app->desk.messages.size(), 1u);
            EXPECT_TRUE(app->desk.messages[0].text.startsWith(busy)) << app->desk.messages[0].text.toStdString();
            other.execute("COMMIT");
            app->click("frmCustomer", "bSaveCustomer");
            if (f->isVisible())
                f->closeForm();
        });
        if (c.newRecord) {
            app->click("frmMain", "bNewCustomer");
        } else {
            findByName("Bo");
            app->click("frmFindCustomers", "bFcOpen");
        }
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(app->desk.messages.size(), 1u) << app->desk.texts().join('\n').toStdString();
    }
    EXPECT_EQ(app->rows("SELECT name FROM customers ORDER BY name"), (QList<QStringList>{{"Ann"}, {"Bob"}}));
}

TEST_P(DataSafety, AReadOnlyDatabaseSaysSoOnTheFirstWrite)
{
    // On a server the user's session may only read.
    app->db().execute(sql("PRAGMA query_only=1", "SET default_transaction_read_only = on"));
    newCustomer("Ann");
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_TRUE(app->desk.messages[0].text.startsWith(
        app->onServer() ? Lang.Server_is_read_only.arg(app->db().path())
                        : Lang.Database_is_read_only.arg(QDir::toNativeSeparators(app->db().path()))))
        << app->desk.messages[0].text.toStdString();
    app->db().execute(sql("PRAGMA query_only=0", "SET default_transaction_read_only = off"));
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM customers")), "0");
}

// A disk that fills up during a save: a clear message, nothing half-saved, the form keeps
// what was typed, and the database is sound.
TEST_F(DataSafetyOnFile, AFullDiskLeavesNothingHalfSavedAndTheFormKeepsItsValues)
{
    app->db().execute("INSERT INTO customers (name) VALUES ('Before')");
    const QString pages = one(app->rows("PRAGMA page_count"));
    app->db().execute("PRAGMA max_page_count=" + pages);
    QString nameKept;
    newCustomer("Ann", [&](TForm* f) {
        nameKept = qobject_cast<TdbEdit*>(f->findComponent("edName"))->text();
    }, QString(200000, u'n'));
    EXPECT_EQ(nameKept, "Ann");
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_TRUE(app->desk.messages[0].text.startsWith(
        Lang.Database_is_full.arg(QDir::toNativeSeparators(app->db().path()))))
        << app->desk.messages[0].text.toStdString();
    EXPECT_EQ(app->rows("SELECT name FROM customers"), (QList<QStringList>{{"Before"}}));
    EXPECT_EQ(one(app->rows("PRAGMA integrity_check")), "ok");
}

TEST_P(DataSafety, ADeleteThatIsRefusedLeavesEveryRowInPlace)
{
    // A rule that refuses a child's deletion half-way through the cascade.
    app->load("INSERT INTO customers (id, name) VALUES (1, 'Ann');"
              "INSERT INTO orders (id, number, id_customers) VALUES (1, 'A', 1), (2, 'B', 1)");
    refuse("orders", "BEFORE DELETE", "old.number = 'B'", "order B is kept");
    app->click("frmMain", "bSearch");
    app->desk.answers = {DesktopServices::Yes};
    app->click("frmMain", "bDeleteCustomer");
    ASSERT_EQ(app->desk.messages.size(), 2u);
    EXPECT_EQ(app->desk.messages[1].text, "order B is kept");
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM customers")), "1");
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM orders")), "2");
}

#ifdef CRASH_CHILD

// A program saving records is killed at random moments: every save that returned is there
// whole, no row is half-written, and the database is sound.
TEST(CrashSafety, EverySaveThatReturnedSurvivesAKill)
{
    TempProject project;
    project.write("tables.ini", demoFile("tables.ini"));
    project.write("forms.xml", demoFile("forms.xml"));
    // The pauses differ from run to run; the trace names the start value to repeat a run.
    const quint32 pauses = QRandomGenerator::global()->generate();
    QRandomGenerator random(pauses);
    SCOPED_TRACE("pauses from " + std::to_string(pauses));
    std::set<int> confirmed;
    int next = 0;
    for (int run = 0; run < 50; ++run) {
        QProcess child;
        child.start(QStringLiteral(CRASH_CHILD), {project.path(), QString::number(next)});
        ASSERT_TRUE(child.waitForStarted());
        ASSERT_TRUE(child.waitForReadyRead(20000)) << "run " << run;
        QTest::qWait(static_cast<int>(random.bounded(5, 120)));
        child.kill();
        child.waitForFinished();
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        for (const QByteArray& line : lines) {
            ASSERT_FALSE(line.startsWith("error")) << line.toStdString();
            if (line.startsWith("saved ")) {
                const int n = line.mid(6).toInt();
                confirmed.insert(n);
                next = qMax(next, n + 1);
            }
        }
        next += 1; // a save cut off before it was announced may still have landed
    }
    EXPECT_GT(confirmed.size(), 50u);

    SqlConnection db;
    db.open(project.file("sqlite.db"));
    EXPECT_EQ(db.query("PRAGMA integrity_check").rows.at(0).at(0).toText(), "ok");
    std::set<int> present;
    for (const auto& row : db.query("SELECT name, notes FROM customers").rows) {
        const QString name = row.at(0).toText();
        ASSERT_TRUE(name.startsWith("ROW ") || name.startsWith("row ")) << name.toStdString();
        const int n = name.mid(4).toInt();
        EXPECT_EQ(row.at(1).toText(), crashChildNotes(n)) << "row " << n << " is not whole";
        EXPECT_TRUE(present.insert(n).second) << "row " << n << " twice";
    }
    for (const int n : confirmed)
        EXPECT_TRUE(present.count(n)) << "saved row " << n << " is gone";
    EXPECT_LE(present.size(), confirmed.size() + 50);
}
#endif

// The SQL action quotes date values itself, as string literals; texts stay as the author
// quoted them in the form file.
class SqlAction : public ::testing::TestWithParam<Backend> {};

TEST_P(SqlAction, DatePlaceholdersAreStringLiterals)
{
    // The author spells the table in lower case; SQLite ignores the case of names.
    RunningApp app("[Visits]\n_at=DATETIME\n_note=TEXT\n",
                   "<main><frmMain>"
                   "<TdbDateTimePicker Name=\"dtAt\" dbTable=\"Visits\" dbField=\"at\"/>"
                   "<TdbEdit Name=\"edNote\" dbTable=\"Visits\" dbField=\"note\"/>"
                   "<TdbButton Name=\"bAdd\" dbActionType=\"adbSQL\" "
                   "dbSQL=\"INSERT INTO visits (at, note) VALUES ({dtAt}, &quot;{edNote}&quot;)\"/>"
                   "</frmMain></main>",
                   GetParam());
    auto* at = app.control<TdbDateTimePicker>("frmMain", "dtAt");
    at->setDbStringDateTime("2011-11-11 09:30:00");
    at->setChecked(true);
    app.control<TdbEdit>("frmMain", "edNote")->setText("say \"hi\"");
    app.statements.clear();
    app.click("frmMain", "bAdd");
    // A server takes the double-quoted text as SQLite does, as a string literal.
    EXPECT_EQ(app.statements,
              QStringList{app.onServer()
                              ? "INSERT INTO \"Visits\" (\"at\", \"note\") VALUES ('2011-11-11 00:00:00.000', 'say \"hi\"')"
                              : "INSERT INTO visits (at, note) VALUES ('2011-11-11 00:00:00.000', \"say \"\"hi\"\"\")"});
    EXPECT_EQ(app.rows("SELECT at, note FROM \"Visits\""),
              (QList<QStringList>{{"2011-11-11 00:00:00.000", "say \"hi\""}}));
}

VARNEL_ON_BOTH_BACKENDS(SqlAction);

class SchemaRules : public ::testing::TestWithParam<Backend> {};

// Rules that the author added to the schema, a unique code and a quantity that may not be
// negative, are told with the field as the form labels it; nothing is written.
TEST_P(SchemaRules, AUniqueOrCheckRuleIsToldWithTheFieldsLabel)
{
    RunningApp app("[goods]\n-name=TEXT\n_qty=INTEGER\n_code=TEXT\n",
                   "<main><frmMain>"
                   "<TdbLabel Name=\"lblQty\" Caption=\"&amp;Quantity:\" Left=\"8\" Top=\"40\"/>"
                   "<TdbEdit Name=\"edQty\" Left=\"90\" Top=\"38\" Width=\"80\" dbTable=\"goods\" dbField=\"qty\"/>"
                   "<TdbLabel Name=\"lblCode\" Caption=\"Code\" Left=\"8\" Top=\"70\"/>"
                   "<TdbEdit Name=\"edCode\" Left=\"90\" Top=\"68\" Width=\"80\" dbTable=\"goods\" dbField=\"code\"/>"
                   "<TdbEdit Name=\"edName\" Left=\"90\" Top=\"8\" dbTable=\"goods\" dbField=\"name\"/>"
                   "<TdbButton Name=\"bSave\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"goods\" "
                   "dbListControls=\"edName,edQty,edCode\" dbDoCloseForm=\"False\"/>"
                   "</frmMain></main>",
                   GetParam());
    // SQLite takes a CHECK rule only with the table itself.
    app.db().execute(app.onServer()
                         ? "ALTER TABLE goods ADD CHECK (qty >= 0)"
                         : "DROP TABLE goods; CREATE TABLE goods (id INTEGER PRIMARY KEY ASC, "
                           "name TEXT NOT NULL, qty INTEGER CHECK (qty >= 0), code TEXT)");
    app.db().execute("CREATE UNIQUE INDEX goods_code ON goods (code)");
    app.load("INSERT INTO goods (id, name, qty, code) VALUES (1, 'bolt', 5, 'B-1')");
    struct Case {
        const char* qty;
        const char* code;
        QString message;
    };
    const Case cases[] = {
        {"3", "B-1", Lang.Value_is_already_used.arg("Code")},
        // SQLite names a CHECK rule by its text, a server by its column.
        {"-1", "B-2", Lang.Value_is_not_allowed.arg(app.onServer() ? "Quantity" : "qty >= 0")},
        {"7", "B-2", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.qty);
        saveNew(app, {{"edName", "x"}, {"edQty", c.qty}, {"edCode", c.code}});
        if (c.message.isEmpty()) {
            EXPECT_TRUE(app.desk.messages.empty()) << app.desk.texts().join('\n').toStdString();
        } else {
            ASSERT_EQ(app.desk.messages.size(), 1u);
            EXPECT_TRUE(app.desk.messages[0].text.startsWith(c.message + "\n\n"))
                << app.desk.messages[0].text.toStdString();
        }
    }
    EXPECT_EQ(app.rows("SELECT name, qty, code FROM goods ORDER BY id"),
              (QList<QStringList>{{"bolt", "5", "B-1"}, {"x", "7", "B-2"}}));
}

VARNEL_ON_BOTH_BACKENDS(SchemaRules);
VARNEL_ON_BOTH_BACKENDS(TimePicker);
VARNEL_ON_BOTH_BACKENDS(DataSafety);
