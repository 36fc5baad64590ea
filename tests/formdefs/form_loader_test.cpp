#include "forms_fixture.h"

#include "controls/file_control.h"
#include "controls/layout_controls.h"
#include "controls/picture_controls.h"
#include "controls/record_grid.h"
#include "controls/value_controls.h"
#include "platform/anchors.h"
#include "platform/windowed.h"

#include <QKeyEvent>
#include <QScreen>
#include <QToolButton>

namespace {

QStringList names(const QList<QWidget*>& widgets)
{
    QStringList result;
    for (QWidget* w : widgets)
        result.append(w->objectName());
    return result;
}

void pressKey(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

} // namespace

TEST_F(FormsFixture, FirstElementReconfiguresTheMainFormAndTheOthersBecomeHiddenForms)
{
    load(R"(<?xml version="1.0" encoding="UTF-8"?>
<main>
  <frmStart Caption="Start" Width="500" Height="300" Sizeable="True" Color="$00FF0000">
    <TdbButton Name="btnGo" Caption="Go" Left="10" Top="20" Width="75" Height="25"/>
  </frmStart>
  <frmOrders Caption="Orders" Width="12px" Sizeable="true"/>
  <frmEmpty Width=" 320" Height="200"/>
</main>)");

    EXPECT_EQ(mainForm->formName(), "frmStart");
    EXPECT_EQ(mainForm->windowTitle(), "Start");
    EXPECT_TRUE(mainForm->isSizeable());
    EXPECT_EQ(mainForm->palette().color(QPalette::Window), QColor(0, 0, 255));
    EXPECT_EQ(control("frmStart", "btnGo")->parentWidget(), mainForm->client());
    // The main form is found under its new name, and the built forms follow it.
    EXPECT_EQ(Forms::find("frmStart"), mainForm);
    ASSERT_EQ(Forms::all().size(), 3);
    TForm* orders = Forms::all()[1];
    TForm* empty = Forms::all()[2];
    EXPECT_EQ(orders->formName(), "frmOrders");
    EXPECT_EQ(empty->formName(), "frmEmpty");

    EXPECT_EQ(orders->windowTitle(), "Orders");
    EXPECT_EQ(empty->windowTitle(), "");
    EXPECT_FALSE(orders->isSizeable()); // "true" is not "True"
    EXPECT_FALSE(orders->isVisible());
    EXPECT_FALSE(empty->isVisible());
    EXPECT_EQ(orders->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(orders->palette().color(QPalette::Window),
              orders->palette().color(QPalette::Button));

    orders->show();
    empty->show();
    settle();
    EXPECT_EQ(orders->clientSize(), QSize(640, 480));
    EXPECT_EQ(empty->clientSize(), QSize(320, 200));
    const QPoint screenCentre = orders->screen()->availableGeometry().center();
    EXPECT_LE((orders->geometry().center() - screenCentre).manhattanLength(), 40);
    // The built forms, not the main form, focus their first control when shown.
    EXPECT_EQ(shown, (QList<TForm*>{orders, empty}));
}

TEST_F(FormsFixture, MainFormWithoutFurtherFormsCreatesNone)
{
    load("<main><frmOnly Caption=\"Only\"/></main>");
    EXPECT_EQ(Forms::all(), QList<TForm*>{mainForm});
    EXPECT_EQ(mainForm->formName(), "frmOnly");

    load("<main/>");
    EXPECT_EQ(Forms::all(), QList<TForm*>{mainForm});
    EXPECT_EQ(mainForm->formName(), "frmOnly");
}

TEST_F(FormsFixture, ControlsAreOwnedByTheirFormAndParentedByTheirContainer)
{
    load(R"(<main><frmMain/>
<frmEdit Width="400" Height="300">
  <TdbPanel Name="pnlOuter" Left="5" Top="6" Width="300" Height="200">
    <TdbGroupBox Name="gbInner" Caption="Inner" Left="10" Top="12" Width="250" Height="150">
      <TdbEdit Name="edTitle" Left="8" Top="20" Width="120" Height="21"/>
    </TdbGroupBox>
  </TdbPanel>
  <Unknown Name="pnlOuter">
    <TdbEdit Name="edLate" Left="1" Top="2" Width="30" Height="21"/>
  </Unknown>
  <TdbPanel Left="0" Top="250" Width="50" Height="20"/>
  <Mystery>
    <TdbEdit Name="edIntoUnnamed" Width="10" Height="10"/>
  </Mystery>
  <TdbTabSheet Name="tsStray"><TdbEdit Name="edOnStray"/></TdbTabSheet>
  <TdbEdit Name="edNoWidth"/>
  <TdbLabel Name="lbCaption" Caption="Customer name" Left="3" Top="4" Width="1" Height="1"/>
</frmEdit></main>)");

    TForm* edit = form("frmEdit");
    auto* panel = control<TdbPanel>("frmEdit", "pnlOuter");
    auto* group = control<TdbGroupBox>("frmEdit", "GBINNER"); // lookup ignores letter case
    auto* title = control<TdbEdit>("frmEdit", "edTitle");
    ASSERT_TRUE(panel && group && title);
    EXPECT_EQ(panel->parentWidget(), edit->client());
    EXPECT_EQ(group->parentWidget(), panel);
    EXPECT_EQ(title->parentWidget(), group);
    EXPECT_EQ(TForm::formOf(title), edit);
    EXPECT_EQ(panel->geometry(), QRect(5, 6, 300, 200));
    EXPECT_EQ(group->geometry(), QRect(10, 12, 250, 150));
    EXPECT_EQ(title->geometry(), QRect(8, 20, 120, 21));
    EXPECT_EQ(group->title(), "Inner");

    // An unknown element that names an earlier panel fills that panel.
    EXPECT_EQ(control("frmEdit", "edLate")->parentWidget(), panel);
    // Children of an unnamed unknown element go into the first unnamed windowed control.
    QWidget* unnamedPanel = control("frmEdit", "edIntoUnnamed")->parentWidget();
    EXPECT_TRUE(qobject_cast<TdbPanel*>(unnamedPanel));
    EXPECT_EQ(unnamedPanel->geometry(), QRect(0, 250, 50, 20));
    // A page outside a page control is nothing, and nothing is built inside it.
    EXPECT_EQ(control("frmEdit", "tsStray"), nullptr);
    EXPECT_EQ(control("frmEdit", "edOnStray"), nullptr);
    // Without Width a control has none, but a label sizes itself to its caption.
    EXPECT_EQ(control("frmEdit", "edNoWidth")->width(), 0);
    QWidget* label = control("frmEdit", "lbCaption");
    EXPECT_EQ(label->pos(), QPoint(3, 4));
    EXPECT_GT(label->width(), 30);
    EXPECT_GT(label->height(), 5);
}

// A sizeable form shrinks only as far as its anchored controls stay apart: the buttons anchored
// to the right never come over those anchored to the left, also inside a panel that stretches,
// and a form larger than the screen asks for no more than the screen as its minimum.
TEST_F(FormsFixture, ASizeableFormShrinksNoFurtherThanItsAnchoredControlsStayApart)
{
    load(R"(<main><frmMain/>
<frmList Width="500" Height="300" Sizeable="True">
  <TdbStringGrid Name="grid" Left="8" Top="8" Width="484" Height="180" dbAnchors="2222"/>
  <TdbPanel Name="pBar" Left="8" Top="196" Width="484" Height="50" dbAnchors="2022">
    <TdbButton Name="bA" Left="4" Top="4" Width="200" Height="25" Caption="Find"/>
    <TdbButton Name="bB" Left="300" Top="4" Width="180" Height="25" Caption="Clear" dbAnchors="0220"/>
  </TdbPanel>
  <TdbButton Name="bNew" Left="8" Top="260" Width="90" Height="25" Caption="New" dbAnchors="2002"/>
  <TdbButton Name="bEdit" Left="104" Top="260" Width="90" Height="25" Caption="Edit" dbAnchors="2002"/>
  <TdbButton Name="bClose" Left="402" Top="260" Width="90" Height="25" Caption="Close" dbAnchors="0022"/>
</frmList>
<frmFixed Width="500" Height="300">
  <TdbButton Name="bLeft" Left="8" Top="8" Width="90" Height="25"/>
</frmFixed>
<frmHuge Width="5000" Height="300" Sizeable="True">
  <TdbButton Name="bWide" Left="8" Top="8" Width="1992" Height="25"/>
  <TdbButton Name="bFar" Left="2010" Top="8" Width="2980" Height="25" dbAnchors="0220"/>
</frmHuge>
</main>)");

    TForm* f = form("frmList");
    ASSERT_TRUE(f);
    // The panel's buttons are 96 pixels apart, the form's own right button 208 from the left
    // ones: the panel decides.
    EXPECT_EQ(f->minimumSize().width(), 500 - 96);
    EXPECT_LE(f->minimumSize().height(), 300);
    f->show();
    settle();
    f->resize(1, 1);
    settle();
    EXPECT_EQ(f->width(), 404);
    const QStringList outer{"grid", "pBar", "bNew", "bEdit", "bClose"};
    const QStringList inner{"bA", "bB"};
    for (const QStringList& siblings : {outer, inner})
        for (const QString& a : siblings) {
            const QRect ra = control("frmList", a.toLatin1())->geometry();
            EXPECT_GE(ra.left(), 0) << a.toStdString();
            EXPECT_GE(ra.top(), 0) << a.toStdString();
            for (const QString& b : siblings) {
                if (a < b) {
                    EXPECT_FALSE(ra.intersects(control("frmList", b.toLatin1())->geometry()))
                        << a.toStdString() << " over " << b.toStdString();
                }
            }
        }
    if (qEnvironmentVariableIsSet("VARNEL_SHOTS"))
        f->grab().save(qEnvironmentVariable("VARNEL_SHOTS") + "/shrunk_form.png");

    EXPECT_EQ(form("frmFixed")->minimumSize(), form("frmFixed")->size());
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(form("frmHuge")->minimumSize(), QSize(std::min(4990, screen.width()), 0));
}

TEST_F(FormsFixture, AnchoredControlsFollowTheFormThroughNestedContainers)
{
    load(R"(<main><frmMain/>
<frmResize Width="400" Height="300" Sizeable="True">
  <TdbPanel Name="p1" Left="10" Top="10" Width="380" Height="280" dbAnchors="2222">
    <TdbPanel Name="p2" Left="10" Top="10" Width="360" Height="260" dbAnchors="2222">
      <TdbPanel Name="p3" Left="5" Top="5" Width="350" Height="250" dbAnchors="2222">
        <TdbEdit Name="edWide" Left="10" Top="10" Width="330" Height="21" dbAnchors="2020"/>
        <TdbButton Name="btnCorner" Left="250" Top="200" Width="75" Height="25" dbAnchors="0022"/>
        <TdbLabel Name="lbFloat" Caption="x" Left="100" Top="100" dbAnchors="0000"/>
        <TdbEdit Name="edFixed" Left="20" Top="40" Width="50" Height="21" dbAnchors="22"/>
      </TdbPanel>
    </TdbPanel>
  </TdbPanel>
  <TdbPageControl Name="pcPages" Left="0" Top="0" Width="200" Height="150" dbAnchors="2222">
    <TdbTabSheet Name="tsOne" Caption="One">
      <TdbEdit Name="edOnPage" Left="4" Top="4" Width="100" Height="21" dbAnchors="2220"/>
    </TdbTabSheet>
  </TdbPageControl>
</frmResize></main>)");

    TForm* f = form("frmResize");
    ASSERT_TRUE(f);
    QWidget* label = control("frmResize", "lbFloat");
    const QSize labelSize = label->size();
    EXPECT_EQ(Anchors::get(control("frmResize", "edFixed")), Anchors::Sides{});
    EXPECT_EQ(Anchors::get(label), (Anchors::Sides{false, false, false, false}));

    f->show();
    settle();
    // Shown at its designed size, nothing moves.
    EXPECT_EQ(control("frmResize", "p3")->geometry(), QRect(5, 5, 350, 250));
    EXPECT_EQ(control("frmResize", "edOnPage")->width(), 100);

    f->setClientSize(600, 400);
    settle();
    EXPECT_EQ(f->clientSize(), QSize(600, 400));
    EXPECT_EQ(control("frmResize", "p1")->geometry(), QRect(10, 10, 580, 380));
    EXPECT_EQ(control("frmResize", "p2")->geometry(), QRect(10, 10, 560, 360));
    EXPECT_EQ(control("frmResize", "p3")->geometry(), QRect(5, 5, 550, 350));
    // Anchored left and right but neither top nor bottom: wider, and its middle stays at the
    // same fraction of the height (20.5 of 250 becomes 28.7 of 350).
    EXPECT_EQ(control("frmResize", "edWide")->geometry(), QRect(10, 18, 530, 21));
    EXPECT_EQ(control("frmResize", "btnCorner")->geometry(), QRect(450, 300, 75, 25));
    // Anchored nowhere: the middle keeps its place in proportion both ways, so a control in
    // the top left corner stays near it instead of sliding half the growth.
    EXPECT_EQ(label->size(), labelSize);
    const QPointF middle = QRectF(label->geometry()).center();
    EXPECT_NEAR(middle.x(), (100 + labelSize.width() / 2.0) * 550 / 350, 1.0);
    EXPECT_NEAR(middle.y(), (100 + labelSize.height() / 2.0) * 350 / 250, 1.0);
    EXPECT_EQ(control("frmResize", "edFixed")->geometry(), QRect(20, 40, 50, 21));
    EXPECT_EQ(control("frmResize", "pcPages")->size(), QSize(400, 250));
    EXPECT_EQ(control("frmResize", "edOnPage")->geometry(), QRect(4, 4, 300, 21));

    // Back to the designed size, everything is where the file put it.
    f->setClientSize(400, 300);
    settle();
    EXPECT_EQ(control("frmResize", "btnCorner")->geometry(), QRect(250, 200, 75, 25));
    EXPECT_EQ(control("frmResize", "edOnPage")->geometry(), QRect(4, 4, 100, 21));
}

TEST_F(FormsFixture, ResizingAHiddenFormTakesEffectWhenItIsShown)
{
    load(R"(<main><frmMain/>
<frmLater Width="300" Height="200" Sizeable="True">
  <TdbPanel Name="pnl" Left="0" Top="0" Width="300" Height="200" dbAnchors="2222">
    <TdbButton Name="btnOk" Left="200" Top="150" Width="80" Height="25" dbAnchors="0022"/>
  </TdbPanel>
</frmLater></main>)");
    TForm* f = form("frmLater");
    f->setClientSize(500, 260);
    f->show();
    settle();
    EXPECT_EQ(control("frmLater", "pnl")->size(), QSize(500, 260));
    EXPECT_EQ(control("frmLater", "btnOk")->pos(), QPoint(400, 210));
}

TEST_F(FormsFixture, FontsAreEightPointBlackRegularUnlessTheFileSaysOtherwise)
{
    QFont big(QStringLiteral("Tahoma"));
    big.setPointSize(12);
    big.setBold(true);
    mainForm->setFont(big);
    load(R"(<main><frmMain>
  <TdbButton Name="btnPlain" Width="80" Height="25"/>
  <TdbEdit Name="edStyled" Width="80" Height="21" FontName="Courier New" FontSize="10"
           FontStyle="5" FontColor="$000000FF"/>
  <TdbEdit Name="edSixteen" Width="80" Height="21" FontStyle="16"/>
  <TdbGroupBox Name="gbBig" Width="200" Height="100" FontSize="14">
    <TdbCheckBox Name="cbInner" Width="80" Height="21"/>
  </TdbGroupBox>
  <TdbLabel Name="lbSmall" Caption="Label"/>
  <TdbLabel Name="lbLarge" Caption="Label" FontSize="20"/>
</frmMain></main>)");

    const QFont plain = control("frmMain", "btnPlain")->font();
    EXPECT_EQ(plain.pointSize(), 8);
    EXPECT_FALSE(plain.bold());
    EXPECT_EQ(plain.family(), "Tahoma"); // the typeface follows the form
    EXPECT_EQ(control("frmMain", "btnPlain")->palette().color(QPalette::ButtonText), Qt::black);

    QWidget* styled = control("frmMain", "edStyled");
    EXPECT_EQ(styled->font().family(), "Courier New");
    EXPECT_EQ(styled->font().pointSize(), 10);
    EXPECT_TRUE(styled->font().bold());
    EXPECT_TRUE(styled->font().underline());
    EXPECT_FALSE(styled->font().italic());
    EXPECT_EQ(styled->palette().color(QPalette::Text), QColor(255, 0, 0));

    const QFont sixteen = control("frmMain", "edSixteen")->font();
    EXPECT_FALSE(sixteen.bold() || sixteen.italic() || sixteen.underline() || sixteen.strikeOut());

    // A control inside a 14-point group box still gets 8 points.
    EXPECT_EQ(control("frmMain", "gbBig")->font().pointSize(), 14);
    EXPECT_EQ(control("frmMain", "cbInner")->font().pointSize(), 8);

    // The label starts from the application's font, not from its form's.
    QWidget* small = control("frmMain", "lbSmall");
    EXPECT_EQ(small->font().family(), QApplication::font().family());
    EXPECT_EQ(small->font().pointSize(), 8);
    EXPECT_GT(control("frmMain", "lbLarge")->height(), small->height());
}

TEST_F(FormsFixture, TabOrderNumbersComeFirstInAscendingOrder)
{
    load(R"(<main><frmMain/>
<frmTabs>
  <TdbEdit Name="edA" TabOrder="1" TabStop="True" Width="10" Height="10"/>
  <TdbEdit Name="edB" TabOrder="0" TabStop="True" Width="10" Height="10"/>
  <TdbEdit Name="edNoNumber" Width="10" Height="10"/>
  <TdbEdit Name="edC" TabOrder="$2" Width="10" Height="10"/>
  <TdbEdit TabOrder="0" Width="10" Height="10"/>
  <TdbPanel Name="pnl" TabOrder="3" Width="50" Height="50">
    <TdbEdit Name="edInner2" TabOrder="1" Width="10" Height="10"/>
    <TdbEdit Name="edInner1" TabOrder="0" Width="10" Height="10"/>
  </TdbPanel>
  <TdbLabel Name="lbNotWindowed" Caption="x"/>
</frmTabs></main>)");

    TForm* f = form("frmTabs");
    const QStringList sequence = names(Windowed::tabSequence(f));
    // Unnumbered controls are moved behind the numbered ones (999 is past the end); the
    // unnamed edit cannot be found by name, so it is never moved and stays where it was made.
    EXPECT_EQ(sequence, (QStringList{"edB", "edA", "edC", "pnl", "", "edNoNumber"}));
    EXPECT_EQ(names(Windowed::focusChain(f)),
              (QStringList{"edB", "edA", "edC", "pnl", "edInner1", "edInner2", "", "edNoNumber"}));

    EXPECT_EQ(control("frmTabs", "edA")->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(control("frmTabs", "edC")->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(control("frmTabs", "pnl")->focusPolicy(), Qt::NoFocus);

    // The Tab key follows the sequence among the tab stops.
    f->show();
    settle();
    control("frmTabs", "edB")->setFocus();
    EXPECT_EQ(control("frmTabs", "edB")->nextInFocusChain(), control("frmTabs", "edA"));
}

TEST_F(FormsFixture, PagesFollowTheirPageIndexAndTheFirstIsSelected)
{
    load(R"(<main><frmMain/>
<frmPages>
  <TdbPageControl Name="pcMain" Width="300" Height="200">
    <TdbTabSheet Name="tsTwo" Caption="Two" PageIndex="2">
      <TdbEdit Name="edOnTwo" Width="10" Height="10"/>
    </TdbTabSheet>
    <TdbTabSheet Name="tsZero" Caption="Zero" PageIndex="0"/>
    <TdbTabSheet Name="tsOne" Caption="One" PageIndex="1"/>
  </TdbPageControl>
</frmPages></main>)");

    auto* pages = control<TdbPageControl>("frmPages", "pcMain");
    ASSERT_TRUE(pages);
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), "Zero");
    EXPECT_EQ(pages->tabText(1), "One");
    EXPECT_EQ(pages->tabText(2), "Two");
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(pages->widget(2), control("frmPages", "tsTwo"));
    EXPECT_EQ(control("frmPages", "edOnTwo")->parentWidget(), control("frmPages", "tsTwo"));
}

TEST_F(FormsFixture, EnterPressesTheSaveButtonAndEscapeTheCloseButton)
{
    load(R"(<main><frmMain/>
<frmKeys>
  <TdbEdit Name="edName" Width="80" Height="21" TabStop="True"/>
  <TdbButton Name="btnSave" dbActionType="adbSaveRecord" Width="80" Height="25"/>
  <TdbButton Name="btnClose" dbActionType="adbCloseForm" Width="80" Height="25"/>
</frmKeys></main>)");

    TForm* f = form("frmKeys");
    f->show();
    settle();
    QWidget* edit = control("frmKeys", "edName");
    edit->setFocus();
    pressKey(edit, Qt::Key_Return);
    pressKey(edit, Qt::Key_Escape);
    EXPECT_EQ(clicks, (QList<TdbButton*>{control<TdbButton>("frmKeys", "btnSave"),
                                         control<TdbButton>("frmKeys", "btnClose")}));
}

TEST_F(FormsFixture, ClicksAndUserChoicesReachTheMainWindowHandlers)
{
    load(R"(<main><frmMain>
  <TdbButton Name="btnSearch" Width="80" Height="25"/>
  <TdbComboBox Name="cbCustomer" Width="80" Height="21" TabStop="True"/>
</frmMain></main>)");

    auto* button = control<TdbButton>("frmMain", "btnSearch");
    button->click();
    EXPECT_EQ(clicks, QList<TdbButton*>{button});

    auto* combo = control<TdbComboBox>("frmMain", "cbCustomer");
    combo->AddRecord(-1, QString());
    combo->AddRecord(7, QStringLiteral("Smith"));
    combo->setDbItemID(-1);
    EXPECT_TRUE(comboChanges.isEmpty()); // a change by code is not the user's
    mainForm->show();
    settle();
    combo->setFocus();
    pressKey(combo, Qt::Key_Down);
    EXPECT_EQ(combo->dbItemID(), 7);
    EXPECT_EQ(comboChanges, QList<TdbComboBox*>{combo});
}

TEST_F(FormsFixture, DataBoundElementsSetTheirProperties)
{
    load(R"(<main><frmMain/>
<frmData>
  <TdbButton Name="btnReport" Caption="&amp;Print" dbIconName="Printer" dbActionType="adbReport"
             dbReportOpenIn="rpoPDF" dbGeneralTable="orders" dbListControls="edA,edB"
             dbSQL="DELETE FROM a;\r\nDELETE FROM b WHERE x = '\n';" dbSortAsc="True"
             dbConfirmDelete="True" dbReportFile="orders.fr3" dbFormName="frmOrder"/>
  <TdbButton Name="btnDefault" dbActionType="adbsearchx" dbIconName="new"/>
  <TdbButton Name="btnNone" dbActionType="adbNone"/>
  <TdbEdit Name="edFilter" dbFilter="(=" dbTable="orders" dbField="title" ReadOnly="True"
           dbDefaultValue="abc" Color="$0000FF00"/>
  <TdbEdit Name="edPlain"/>
  <TdbEditCount Name="ecCounter" dbTable="orders" dbBeginValue="100"/>
  <TdbMemo Name="mmNote" dbTable="orders" dbField="note" dbDefaultValue="x"/>
  <TdbCheckBox Name="chGrey" Caption="Paid" dbDefaultState="cbGrayed"/>
  <TdbDateTimePicker Name="dtTime" Kind="dtkTime" dbFilter="%s%" dbDefaultChecked="True"
                     dbCalendarControl="mcDay"/>
  <TdbDateTimePicker Name="dtDate" dbFilter=")="/>
  <TdbMonthCalendar Name="mcDay" dbFilter="(=" dbTable="orders" dbField="day"/>
  <TdbMonthCalendar Name="mcMore" dbFilter=">="/>
  <TdbComboBox Name="cbPlain" dbForeignKey="orders.id_customers" dbField="name"
               dbDefaultID="1" dbParentCombo="cbRegion" dbSort="True"/>
  <TdbStringGrid Name="sgOrders" Width="400" Height="200" dbGeneralTable="orders"
                 dbFilter="x &gt; 1" DrawingStyle="gdsClassic" DefaultRowHeight="22"/>
  <TdbImage Name="imLogo" dbFileName="logo.png" Stretch="True" Width="32" Height="32"/>
  <TdbImageDataBase Name="imPhoto" dbTable="people" dbField="photo" Proportional="True"/>
  <TdbFileToDatabase Name="fdScan" Width="200" Height="90" dbTable="people" dbField="scan"/>
</frmData></main>)");

    auto* report = control<TdbButton>("frmData", "btnReport");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->text(), "&Print");
    EXPECT_EQ(report->imageIndex(), 6);
    EXPECT_EQ(report->images(), icons);
    EXPECT_EQ(report->dbActionType, adbReport);
    EXPECT_EQ(report->dbGeneralTableId, -1);
    EXPECT_EQ(report->dbReportOpenIn, rpoPDF);
    EXPECT_EQ(report->dbGeneralTable, "orders");
    EXPECT_EQ(report->dbListControls, "edA,edB");
    EXPECT_EQ(report->dbSQL, "DELETE FROM a;\r\nDELETE FROM b WHERE x = '\\n';");
    EXPECT_TRUE(report->dbSortAsc);
    EXPECT_TRUE(report->dbConfirmDelete);
    EXPECT_EQ(report->dbReportFile, "orders.fr3");
    EXPECT_EQ(report->dbFormName, "frmOrder");

    auto* byDefault = control<TdbButton>("frmData", "btnDefault");
    EXPECT_EQ(byDefault->dbActionType, adbSearch);
    EXPECT_EQ(byDefault->imageIndex(), -1);
    EXPECT_FALSE(byDefault->dbSortAsc);
    EXPECT_EQ(byDefault->dbGeneralTableId, 0);
    EXPECT_EQ(control<TdbButton>("frmData", "btnNone")->dbActionType, adbNone);

    auto* filter = control<TdbEdit>("frmData", "edFilter");
    EXPECT_EQ(filter->dbFilter, "<=");
    EXPECT_EQ(filter->dbTable, "orders");
    EXPECT_EQ(filter->dbField, "title");
    EXPECT_TRUE(filter->isReadOnly());
    EXPECT_EQ(filter->dbDefaultValue, "abc");
    EXPECT_EQ(filter->text(), "");
    EXPECT_EQ(filter->palette().color(QPalette::Base), QColor(0, 255, 0));
    auto* plain = control<TdbEdit>("frmData", "edPlain");
    EXPECT_EQ(plain->dbFilter, "=");
    EXPECT_EQ(plain->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));

    auto* counter = control<TdbEditCount>("frmData", "ecCounter");
    EXPECT_FALSE(counter->isReadOnly());
    EXPECT_EQ(counter->dbBeginValue, 100);
    EXPECT_EQ(control<TdbMemo>("frmData", "mmNote")->dbField, "note");
    EXPECT_EQ(control<TdbMemo>("frmData", "mmNote")->toPlainText(), "");

    auto* grey = control<TdbCheckBox>("frmData", "chGrey");
    EXPECT_EQ(grey->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(grey->dbDefaultState, Qt::PartiallyChecked);
    EXPECT_FALSE(grey->allowGrayed());
    EXPECT_EQ(grey->text(), "Paid");

    auto* time = control<TdbDateTimePicker>("frmData", "dtTime");
    EXPECT_EQ(time->kind(), TdbDateTimePicker::dtkTime);
    EXPECT_EQ(time->dbFilter, "=");
    EXPECT_TRUE(time->dbDefaultChecked);
    EXPECT_TRUE(time->isChecked());
    EXPECT_EQ(time->dbCalendarControl, "mcDay");
    auto* date = control<TdbDateTimePicker>("frmData", "dtDate");
    EXPECT_EQ(date->kind(), TdbDateTimePicker::dtkDate);
    EXPECT_EQ(date->dbFilter, ">=");
    EXPECT_FALSE(date->isChecked());

    EXPECT_EQ(control<TdbMonthCalendar>("frmData", "mcDay")->dbFilter, "=");
    EXPECT_EQ(control<TdbMonthCalendar>("frmData", "mcMore")->dbFilter, ">=");

    auto* combo = control<TdbComboBox>("frmData", "cbPlain");
    EXPECT_EQ(combo->dbForeignKey, "orders.id_customers");
    EXPECT_EQ(combo->dbField, "name");
    EXPECT_EQ(combo->dbDefaultID, 1);
    EXPECT_EQ(combo->maxVisibleItems(), 8);
    EXPECT_EQ(combo->dbParentCombo, "cbRegion");
    EXPECT_TRUE(combo->dbSort);

    auto* grid = control<TdbStringGridEx>("frmData", "sgOrders");
    EXPECT_EQ(grid->dbSQLConnection, context.connection);
    EXPECT_EQ(grid->dbFilter, "x > 1");
    EXPECT_FALSE(grid->dbSortAsc);
    EXPECT_EQ(grid->drawingStyle(), TdbStringGridEx::gdsClassic);
    EXPECT_EQ(grid->defaultRowHeight(), 22);
    EXPECT_EQ(grid->defaultColumnWidth(), 78); // 400 wide less the border, over 5 columns, less 1

    auto* logo = control<TdbImage>("frmData", "imLogo");
    EXPECT_EQ(logo->dbFileName, "logo.png");
    EXPECT_TRUE(logo->stretch());
    EXPECT_FALSE(logo->proportional());
    auto* photo = control<TdbImageDataBase>("frmData", "imPhoto");
    EXPECT_EQ(photo->dbField, "photo");
    EXPECT_TRUE(photo->proportional());

    auto* file = control<TdbFileToDatabase>("frmData", "fdScan");
    EXPECT_EQ(file->width(), 200);
    EXPECT_EQ(file->height(), QLineEdit().sizeHint().height()); // Height is not read
    EXPECT_EQ(file->dbField, "scan");
    EXPECT_FALSE(file->leftButton()->isHidden());
    EXPECT_FALSE(file->rightButton()->isHidden());
}

TEST_F(FormsFixture, ControlsBuiltIntoTheShownMainFormAreVisibleAtTheirDesignedSize)
{
    mainForm->show();
    settle();
    load(R"(<main><frmMain Width="500" Height="400">
  <TdbPanel Name="pnl" Left="4" Top="4" Width="200" Height="150">
    <TdbMonthCalendar Name="mcDay" Left="2" Top="2" Width="20" Height="10"/>
  </TdbPanel>
  <TdbPageControl Name="pc" Left="220" Top="4" Width="200" Height="150">
    <TdbTabSheet Name="tsA" Caption="A" PageIndex="0"><TdbEdit Name="edOnA" Width="50" Height="20"/></TdbTabSheet>
    <TdbTabSheet Name="tsB" Caption="B" PageIndex="1"><TdbEdit Name="edOnB" Width="50" Height="20"/></TdbTabSheet>
  </TdbPageControl>
</frmMain></main>)");
    settle();
    EXPECT_TRUE(control("frmMain", "pnl")->isVisible());
    EXPECT_TRUE(control("frmMain", "mcDay")->isVisible());
    EXPECT_EQ(control("frmMain", "mcDay")->size(), QSize(20, 10));
    EXPECT_TRUE(control("frmMain", "edOnA")->isVisible());
    EXPECT_FALSE(control("frmMain", "edOnB")->isVisible()); // its page is not the current one
    control<TdbPageControl>("frmMain", "pc")->setCurrentIndex(1);
    EXPECT_TRUE(control("frmMain", "edOnB")->isVisible());
}

// Every widget a build makes asks through the event queue to be polished, and every inner
// layout to be laid out; the builder delivers those requests form by form, so that the queue
// it leaves behind stays short however many forms there are (Qt searches the whole queue at
// each layout request). Nothing has run the event loop here.
TEST_F(FormsFixture, FormsComeOutOfTheBuildPolishedAndLaidOut)
{
    load(R"(<main><frmMain/>
<frmOne Width="400" Height="300">
  <TdbMonthCalendar Name="mcDay" Left="8" Top="8" Width="220" Height="160"/>
  <TdbDateTimePicker Name="dtpDay" Left="8" Top="180" Width="120" Height="21"/>
  <TdbLabel Name="lbDay" Caption="Day" Left="240" Top="8"/>
</frmOne>
<frmTwo Width="400" Height="300">
  <TdbComboBox Name="cbWho" Left="8" Top="8" Width="120" Height="21"/>
</frmTwo></main>)");

    for (const char* formName : {"frmOne", "frmTwo"}) {
        TForm* f = form(formName);
        ASSERT_TRUE(f) << formName;
        for (QWidget* w : f->findChildren<QWidget*>())
            EXPECT_TRUE(w->testAttribute(Qt::WA_WState_Polished))
                << formName << " " << w->metaObject()->className() << " " << w->objectName().toStdString();
    }
}
