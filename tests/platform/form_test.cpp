#include "platform/errors.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "platform/windowed.h"
#include "support/scripted_desktop.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(TForm, ComponentsAreFoundIgnoringCaseAndKeepCreationOrder)
{
    TForm form;
    auto* a = new QLineEdit(form.client());
    auto* b = new QPushButton(form.client());
    form.addComponent(a, "EditName");
    form.addComponent(b, "bSave");
    form.addComponent(new QObject(&form), "");
    EXPECT_EQ(form.findComponent("editname"), a);
    EXPECT_EQ(form.findComponent("BSAVE"), b);
    EXPECT_EQ(form.findComponent(""), nullptr);
    EXPECT_EQ(form.components().size(), 3);
    EXPECT_EQ(form.components().first(), a);
    EXPECT_EQ(TForm::formOf(b), &form);
    delete a;
    EXPECT_EQ(form.findComponent("EditName"), nullptr);
}

TEST(TForm, RefusesNamesThatAreNotIdentifiersOrAlreadyUsed)
{
    TForm form;
    form.addComponent(new QObject(&form), "Grid1");
    EXPECT_THROW(form.addComponent(new QObject(&form), "GRID1"), ComponentError);
    for (const char* bad : {"1abc", "a b", "a-b", "имя", "a.b"})
        EXPECT_THROW(form.addComponent(new QObject(&form), bad), ComponentError) << bad;
    try {
        form.addComponent(new QObject(&form), "grid1");
        ADD_FAILURE() << "a second grid1 was accepted";
    } catch (const ComponentError& e) {
        EXPECT_EQ(e.message(), "A component named grid1 already exists");
    }
}

TEST(TForm, AnOutsizeClientAreaIsBoundedSoTheWindowCanBeShown)
{
    for (const bool sizeable : {false, true}) {
        TForm form;
        form.setSizeable(sizeable);
        form.setClientSize(2000000000, -5);
        EXPECT_EQ(form.client()->size(), QSize(8192, 0)) << sizeable;
        form.setClientSize(100000, 300);
        form.show();
        QApplication::processEvents();
        const QImage shot = form.grab().toImage();
        EXPECT_EQ(shot.width(), 8192) << sizeable;
        EXPECT_EQ(shot.height(), 300) << sizeable;
    }
}

TEST(TForm, FormsAreFoundByExactName)
{
    TForm first;
    TForm second;
    Forms::registerForm(&first);
    Forms::registerForm(&second);
    first.setFormName("frmOrders");
    EXPECT_THROW(second.setFormName("FRMORDERS"), ComponentError);
    second.setFormName("frmItems");
    EXPECT_EQ(Forms::find("frmOrders"), &first);
    EXPECT_EQ(Forms::find("frmorders"), nullptr);
}

TEST(TForm, ShowModalReturnsWhenTheFormIsClosedAndNests)
{
    TForm outer;
    TForm inner;
    QStringList order;
    TForm::setModalHook([&](TForm* shown) {
        if (shown == &outer) {
            order << "outer shown";
            inner.showModal();
            order << "inner returned";
            outer.closeForm();
        } else {
            order << "inner shown";
            inner.closeForm();
        }
    });
    outer.showModal();
    TForm::setModalHook(nullptr);
    order << "outer returned";
    EXPECT_EQ(order, (QStringList{"outer shown", "inner shown", "inner returned", "outer returned"}));
    EXPECT_FALSE(outer.isVisible());
}

TEST(TForm, EnterPressesTheDefaultButtonAndEscapeTheCancelButton)
{
    TForm form;
    auto* edit = new QLineEdit(form.client());
    auto* save = new QPushButton(form.client());
    auto* cancel = new QPushButton(form.client());
    int saved = 0, cancelled = 0;
    QObject::connect(save, &QPushButton::clicked, [&] { ++saved; });
    QObject::connect(cancel, &QPushButton::clicked, [&] { ++cancelled; });
    form.setDefaultButton(save);
    form.setCancelButton(cancel);
    form.show();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(cancelled, 1);
}

TEST(Guard, AnExceptionBecomesTheGeneralErrorReportAndWorkBeforeItStays)
{
    ScriptedDesktop& desk = ScriptedDesktop::install();
    int done = 0;
    guarded([&] {
        ++done;
        throw DatabaseError("no such table: x");
    });
    guarded([&] { throw std::runtime_error("plain"); });
    EXPECT_EQ(done, 1);
    ASSERT_EQ(desk.messages.size(), 2u);
    EXPECT_EQ(desk.messages[0].text, "no such table: x");
    EXPECT_EQ(desk.messages[0].icon, DesktopServices::Icon::Error);
    EXPECT_EQ(desk.messages[1].text, "plain");
}

TEST(Lang, RussianForTheCyrillicLanguagesOfTheList)
{
    struct Case {
        QLocale locale;
        bool russian;
    } cases[] = {
        {QLocale(QLocale::Russian), true},
        {QLocale(QLocale::Ukrainian), true},
        {QLocale(QLocale::Belarusian), true},
        {QLocale(QLocale::Kazakh), true},
        {QLocale(QLocale::Armenian), true},
        {QLocale(QLocale::Kyrgyz), true},
        {QLocale(QLocale::Tajik), true},
        {QLocale(QLocale::Azerbaijani, QLocale::CyrillicScript, QLocale::Azerbaijan), true},
        {QLocale(QLocale::Azerbaijani, QLocale::LatinScript, QLocale::Azerbaijan), false},
        {QLocale(QLocale::English), false},
        {QLocale(QLocale::German), false},
        {QLocale(QLocale::Polish), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(usesRussianTexts(c.locale), c.russian) << c.locale.name().toStdString();
}

// A control's windowed mark and a parent's tab sequence are kept beside the widgets, so they
// must go with the widget: a new widget that the allocator places where a destroyed one was
// (it usually does, the sizes being equal) starts unmarked and with an empty sequence.
TEST(Windowed, MarksAndSequencesGoWithTheirWidgets)
{
    for (int round = 0; round < 3; ++round) {
        auto* parent = new QWidget;
        auto* first = new QWidget(parent);
        auto* second = new QWidget(parent);
        Windowed::mark(first);
        Windowed::mark(second);
        ASSERT_TRUE(Windowed::isWindowed(first));
        ASSERT_EQ(Windowed::tabSequence(parent), (QList<QWidget*>{first, second}));
        Windowed::setTabOrder(second, 0);
        ASSERT_EQ(Windowed::tabSequence(parent), (QList<QWidget*>{second, first}));
        delete parent;

        auto* again = new QWidget;
        auto* child = new QWidget(again);
        EXPECT_FALSE(Windowed::isWindowed(again));
        EXPECT_FALSE(Windowed::isWindowed(child));
        EXPECT_TRUE(Windowed::tabSequence(again).isEmpty());
        Windowed::mark(child);
        EXPECT_EQ(Windowed::tabSequence(again), (QList<QWidget*>{child}));
        delete again;
    }
}
