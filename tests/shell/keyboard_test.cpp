// The application from the keyboard alone: the menu by its Alt letters and F10, and Enter in a
// search field running that search.
#include "app_fixture.h"

#include "controls/value_controls.h"
#include "platform/lang.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

namespace {
const QByteArray Tables = "[customers]\n-name=TEXT\n-city=TEXT\n[notes]\n-text=TEXT\n";

const QByteArray FormsXml = R"(<main>
<frmMain Caption="Shop" Width="500" Height="300">
  <TdbEdit Name="edName" Left="8" Top="8" Width="120" Height="21" TabOrder="0" TabStop="True" dbTable="customers" dbField="name"/>
  <TdbEdit Name="edCity" Left="8" Top="36" Width="120" Height="21" TabStop="True" dbTable="customers" dbField="city"/>
  <TdbEdit Name="edNote" Left="8" Top="64" Width="120" Height="21" TabStop="True" dbTable="notes" dbField="text"/>
  <TdbButton Name="bFind" Left="140" Top="8" Width="80" Height="25" dbActionType="adbSearch" dbResultControl="grid"
             dbGeneralTable="customers" dbListFields="customers.name" dbListControls="edName,edCity"/>
  <TdbButton Name="bSave" Left="140" Top="64" Width="80" Height="25" dbActionType="adbSaveRecord" dbGeneralTable="notes" dbListControls="edNote"/>
  <TdbStringGrid Name="grid" Left="8" Top="100" Width="400" Height="150" dbGeneralTable="customers"/>
</frmMain>
</main>)";

// A key as a user's keyboard sends it: the key code of the capital letter, the typed text.
void typeLetter(QWidget* target, QChar letter, Qt::KeyboardModifiers modifiers)
{
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key(letter.toUpper().unicode()), QString(letter.toLower()),
                        modifiers);
}

QChar letterOf(const QAction* item)
{
    const QKeySequence mnemonic = QKeySequence::mnemonic(item->text());
    return mnemonic.isEmpty() ? QChar() : QChar(char16_t(mnemonic[0].key()));
}

void closePopups()
{
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}
} // namespace

class Keyboard : public ::testing::Test {
protected:
    void start(const QLocale& locale)
    {
        app.reset();
        app = std::make_unique<RunningApp>(Tables, FormsXml, Backend::SQLite,
                                           [&](ScriptedDesktop& desk) { desk.locale = locale; });
        app->load("INSERT INTO customers (id, name, city) VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', 'Bergen')");
        app->main->show();
        app->main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(app->main.get()));
    }
    void TearDown() override
    {
        closePopups();
        app.reset();
        Lang.fillEnglish();
    }
    QWidget* focused() { return QApplication::focusWidget() ? QApplication::focusWidget() : app->main.get(); }
    std::unique_ptr<RunningApp> app;
};

TEST_F(Keyboard, TheMenuOpensByItsAltLettersAndF10InEitherLanguage)
{
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Russian)}) {
        SCOPED_TRACE(locale.name().toStdString());
        start(locale);
        TfrmMainVarnel& main = *app->main;

        // Every item has a letter, and no two items of one menu share one.
        for (const QList<QAction*>& items :
             {main.MainMenu->actions(), main.mniFile->actions(), main.mniOptions->actions()}) {
            QSet<QChar> letters;
            for (const QAction* item : items) {
                const QChar letter = letterOf(item);
                EXPECT_FALSE(letter.isNull()) << item->text().toStdString();
                EXPECT_FALSE(letters.contains(letter)) << item->text().toStdString();
                letters.insert(letter);
            }
        }

        app->control<TdbEdit>("frmMain", "edName")->setFocus();
        typeLetter(focused(), letterOf(main.mniFile->menuAction()), Qt::AltModifier);
        EXPECT_EQ(QApplication::activePopupWidget(), main.mniFile);
        closePopups();

        // Alt with the letter of Options opens it; the letter of an item then picks the item.
        QSignalSpy location(main.mniDBLocation, &QAction::triggered);
        typeLetter(focused(), letterOf(main.mniOptions->menuAction()), Qt::AltModifier);
        ASSERT_EQ(QApplication::activePopupWidget(), main.mniOptions);
        if (qEnvironmentVariableIsSet("VARNEL_SHOTS")) {
            const QString shots = qEnvironmentVariable("VARNEL_SHOTS") + '/' + locale.name();
            main.grab().save(shots + "_main.png");
            main.mniOptions->grab().save(shots + "_options_menu.png");
        }
        typeLetter(main.mniOptions, letterOf(main.mniDBLocation), Qt::NoModifier);
        EXPECT_EQ(location.count(), 1);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        // The database-location dialog came and went; the window manager gives the main window
        // its activation back.
        app->main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(app->main.get()));

        QSignalSpy about(main.mniAbout, &QAction::triggered);
        typeLetter(focused(), letterOf(main.mniAbout), Qt::AltModifier);
        EXPECT_EQ(about.count(), 1);

        // F10 opens the first menu wherever the focus is; Escape leaves it.
        app->control<TdbEdit>("frmMain", "edCity")->setFocus();
        QTest::keyClick(focused(), Qt::Key_F10);
        ASSERT_EQ(QApplication::activePopupWidget(), main.mniFile);
        QTest::keyClick(main.mniFile, Qt::Key_Down);
        EXPECT_EQ(main.mniFile->activeAction(), main.mniClose);
        QTest::keyClick(main.mniFile, Qt::Key_Escape);
        EXPECT_NE(QApplication::activePopupWidget(), main.mniFile);
        closePopups();
    }
}

// Enter in a field that the search button reads runs the search, as a click on the button
// does; Enter elsewhere still presses the form's default button.
TEST_F(Keyboard, EnterInASearchFieldRunsItsSearch)
{
    start(QLocale(QLocale::English, QLocale::UnitedStates));
    auto* grid = app->control<TdbStringGridEx>("frmMain", "grid");
    auto* name = app->control<TdbEdit>("frmMain", "edName");
    auto* city = app->control<TdbEdit>("frmMain", "edCity");
    QSignalSpy finds(app->control<TdbButton>("frmMain", "bFind"), &QAbstractButton::clicked);

    name->setFocus();
    QTest::keyClicks(name, "Bob");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(finds.count(), 1);
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->cell(0, 1), "Bob");

    name->clear();
    city->setFocus();
    QTest::keyClicks(city, "Oslo");
    // The keypad's Enter, as the keyboard sends it.
    QTest::keyClick(city, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(finds.count(), 2);
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->cell(0, 1), "Ann");

    QSignalSpy saves(app->control<TdbButton>("frmMain", "bSave"), &QAbstractButton::clicked);
    EXPECT_EQ(saves.count(), 0);
    auto* note = app->control<TdbEdit>("frmMain", "edNote");
    note->setFocus();
    QTest::keyClick(note, Qt::Key_Return);
    EXPECT_EQ(finds.count(), 2);
    EXPECT_EQ(saves.count(), 1);
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('|').toStdString();
}
