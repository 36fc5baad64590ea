// What the user types is what is stored and searched, and a lock, a read-only file, a full
// disk or a crash loses nothing: driven through the demo's own forms on a real database file.
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

QString one(const QList<QStringList>& rows)
{
    return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0] : QStringLiteral("<not one value>");
}

} // namespace

class DataSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(demoFile("tables.ini"), demoFile("forms.xml"));
        ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    }
    void TearDown() override { Lang.fillEnglish(); }

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

TEST_F(DataSafety, TypedTextsAreStoredReloadedAndFoundExactlyAsTyped)
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

TEST_F(DataSafety, ADateSearchAndAnEditedRecordUseStringLiterals)
{
    app->db().execute("INSERT INTO customers (id, name, vip) VALUES (1, 'Ann', 1)");
    auto* save = button("frmCustomer", "bSaveCustomer");
    save->dbGeneralTableId = 1;
    save->dbListControls = "edName,chkVip";
    control<TdbEdit>("frmCustomer", "edName")->setText("vip");
    control<TdbCheckBox>("frmCustomer", "chkVip")->setChecked(true);
    const qsizetype from = app->statements.size();
    app->click("frmCustomer", "bSaveCustomer");
    EXPECT_EQ(written(from), QStringList{"UPDATE [customers] SET [name]='vip',[vip]=1 WHERE id = 1"});
    EXPECT_EQ(one(app->rows("SELECT name FROM customers")), "vip");
}

TEST_F(DataSafety, CounterFiltersTakeOnlyRecordNumbers)
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
    EXPECT_TRUE(app->statements.back().contains("[customers].record_count = 7"));
    EXPECT_EQ(grid->dbListId.size(), 1);
    counter->clear();
    app->click("frmFindCustomers", "bFcFind");
    EXPECT_FALSE(app->statements.back().contains("record_count ="));
    EXPECT_EQ(grid->dbListId.size(), 2);
    EXPECT_TRUE(app->desk.messages.empty());
}

TEST_F(DataSafety, AnEditedCounterMustBeANumberAndAnEmptyOneIsNull)
{
    app->db().execute("INSERT INTO customers (id, name, record_count) VALUES (1, 'Ann', 1001)");
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
    EXPECT_EQ(written(from), QStringList{"UPDATE [customers] SET record_count=NULL,[name]='Ann' WHERE id = 1"});
    EXPECT_EQ(one(app->rows("SELECT record_count FROM customers")), "<null>");
}

// Numbers go into numeric columns as numbers: the user's decimal separator or a dot, stored
// with a dot; anything else is refused with the field named and nothing written.
TEST(NumericFields, TypedNumbersAreCheckedAndStoredAsNumbers)
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
                   "</frmMain></main>");
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
        app.desk.messages.clear();
        app.control<TdbEdit>("frmMain", "edName")->setText("box");
        app.control<TdbEdit>("frmMain", "edQty")->setText(c.qty);
        app.control<TdbEdit>("frmMain", "edWeight")->setText(c.weight);
        app.control<TdbButton>("frmMain", "bSave")->dbGeneralTableId = -1;
        app.click("frmMain", "bSave");
        const auto rows = app.rows("SELECT qty || '|' || weight, typeof(qty), typeof(weight) FROM goods");
        if (QString(c.stored).contains("Not a")) {
            EXPECT_TRUE(rows.isEmpty());
            ASSERT_EQ(app.desk.messages.size(), 1u);
            EXPECT_EQ(app.desk.messages[0].text, c.stored);
        } else {
            EXPECT_EQ(rows, (QList<QStringList>{{c.stored, "integer", "real"}}));
            EXPECT_TRUE(app.desk.messages.empty());
        }
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// The demo's order form lists the calendar and the time picker, both on "ordered": the
// column is written once, with the time picker's date and time, in INSERT and UPDATE alike.
TEST_F(DataSafety, OrderDateAndTimeAreStoredTogetherOnInsertAndUpdate)
{
    app->db().execute("INSERT INTO customers (id, name) VALUES (1, 'Ann')");
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
    EXPECT_EQ(written(from),
              QStringList{"INSERT INTO [orders] ([number],record_count,[paid],[ordered],[delivery],id_customers) "
                          "VALUES ('A-1',1,0,'2026-03-05 13:26:00.000',NULL,1);"});
    EXPECT_EQ(one(app->rows("SELECT ordered FROM orders")), "2026-03-05 13:26:00.000");

    save->dbGeneralTableId = 1;
    calendar->setDbStringDateTime("2026-03-06");
    time->setDbStringDateTime("2026-03-05 14:40:00");
    from = app->statements.size();
    app->click("frmOrder", "bSaveOrder");
    ASSERT_EQ(written(from).size(), 1);
    EXPECT_EQ(written(from)[0].count("[ordered]"), 1);
    EXPECT_EQ(one(app->rows("SELECT ordered FROM orders")), "2026-03-06 14:40:00.000");
}

TEST(TimePicker, ACalendarNameThatFindsNothingLeavesTheDateAlone)
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
TEST_F(DataSafety, EnterOnACheckBoxSavesTheFormInsteadOfTogglingTheBox)
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
TEST_F(DataSafety, EnterInTheCalendarsYearEditorDoesNotSaveTheForm)
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

TEST_F(DataSafety, ARequiredFieldLeftEmptyIsNamedInTheUsersLanguage)
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
    EXPECT_TRUE(app->desk.messages[0].text.contains("NOT NULL constraint failed: customers.name"));
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM customers")), "0");
}

TEST_F(DataSafety, ALockedDatabaseIsNamedAndSavingAgainAfterwardsWritesOneRow)
{
    app->db().setBusyTimeout(50);
    SqlConnection other;
    other.open(app->db().path());
    other.execute("BEGIN IMMEDIATE"); // another program in the middle of a write
    bool stillOpen = false;
    app->onModal("frmCustomer", [&](TForm* f) {
        QTest::keyClicks(qobject_cast<TdbEdit*>(f->findComponent("edName")), "Ann");
        app->click("frmCustomer", "bSaveCustomer");
        stillOpen = f->isVisible();
        ASSERT_EQ(app->desk.messages.size(), 1u);
        EXPECT_TRUE(app->desk.messages[0].text.startsWith(
            Lang.Database_is_in_use.arg(QDir::toNativeSeparators(app->db().path()))))
            << app->desk.messages[0].text.toStdString();
        other.execute("COMMIT");
        app->click("frmCustomer", "bSaveCustomer");
        f->closeForm();
    });
    app->click("frmMain", "bNewCustomer");
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->rows("SELECT name FROM customers"), (QList<QStringList>{{"Ann"}}));
}

TEST_F(DataSafety, AReadOnlyDatabaseSaysSoOnTheFirstWrite)
{
    app->db().execute("PRAGMA query_only=1");
    newCustomer("Ann");
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_TRUE(app->desk.messages[0].text.startsWith(
        Lang.Database_is_read_only.arg(QDir::toNativeSeparators(app->db().path()))));
    app->db().execute("PRAGMA query_only=0");
    EXPECT_EQ(one(app->rows("SELECT count(*) FROM customers")), "0");
}

// A disk that fills up during a save: a clear message, nothing half-saved, the form keeps
// what was typed, and the database is sound.
TEST_F(DataSafety, AFullDiskLeavesNothingHalfSavedAndTheFormKeepsItsValues)
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

TEST_F(DataSafety, ADeleteThatIsRefusedLeavesEveryRowInPlace)
{
    // A rule that refuses a child's deletion half-way through the cascade.
    app->db().execute("INSERT INTO customers (id, name) VALUES (1, 'Ann')");
    app->db().execute("INSERT INTO orders (id, number, id_customers) VALUES (1, 'A', 1), (2, 'B', 1)");
    app->db().execute("CREATE TRIGGER keep BEFORE DELETE ON orders WHEN old.number = 'B' "
                      "BEGIN SELECT RAISE(ABORT, 'order B is kept'); END");
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
TEST(SqlAction, DatePlaceholdersAreStringLiterals)
{
    RunningApp app("[visits]\n_at=DATETIME\n_note=TEXT\n",
                   "<main><frmMain>"
                   "<TdbDateTimePicker Name=\"dtAt\" dbTable=\"visits\" dbField=\"at\"/>"
                   "<TdbEdit Name=\"edNote\" dbTable=\"visits\" dbField=\"note\"/>"
                   "<TdbButton Name=\"bAdd\" dbActionType=\"adbSQL\" "
                   "dbSQL=\"INSERT INTO visits (at, note) VALUES ({dtAt}, &quot;{edNote}&quot;)\"/>"
                   "</frmMain></main>");
    auto* at = app.control<TdbDateTimePicker>("frmMain", "dtAt");
    at->setDbStringDateTime("2011-11-11 09:30:00");
    at->setChecked(true);
    app.control<TdbEdit>("frmMain", "edNote")->setText("say \"hi\"");
    app.statements.clear();
    app.click("frmMain", "bAdd");
    EXPECT_EQ(app.statements,
              QStringList{"INSERT INTO visits (at, note) VALUES ('2011-11-11 00:00:00.000', \"say \"\"hi\"\"\")"});
    EXPECT_EQ(app.rows("SELECT at, note FROM visits"),
              (QList<QStringList>{{"2011-11-11 00:00:00.000", "say \"hi\""}}));
}
