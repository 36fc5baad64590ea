#include "controls/value_controls.h"
#include "platform/errors.h"
#include "support/scripted_desktop.h"

#include <QLineEdit>
#include <QApplication>
#include <QDateTimeEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

void doubleClick(QWidget* w)
{
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &dbl);
}

} // namespace

// ---- date and time values ----

TEST(DateTimePicker, ReadsTheValueInStoredForms)
{
    struct Case {
        QDateTime value;
        double days; // used when value is null
        const char* full;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {utc(2014, 3, 5, 14, 5, 9), 0, "2014-03-05 14:05:09.000", "2014-03-05 00:00:00.000",
         "1899-12-30 14:05:09.000"},
        {QDateTime(), 0.75, "1899-12-30 18:00:00.000", "1899-12-30 00:00:00.000",
         "1899-12-30 18:00:00.000"},
        {utc(2000, 1, 1), 0, "2000-01-01 00:00:00.000", "2000-01-01 00:00:00.000",
         "1899-12-30 00:00:00.000"},
        {utc(2024, 2, 29, 23, 59, 59), 0, "2024-02-29 23:59:59.000", "2024-02-29 00:00:00.000",
         "1899-12-30 23:59:59.000"},
    };
    for (const Case& c : cases) {
        for (auto kind : {TdbDateTimePicker::dtkDate, TdbDateTimePicker::dtkTime}) {
            TdbDateTimePicker picker(nullptr);
            picker.setKind(kind);
            if (c.value.isValid())
                picker.setDateTime(c.value);
            else
                picker.setValue(c.days);
            SCOPED_TRACE(c.full);
            // Whatever the picker displays, it keeps the whole value.
            EXPECT_EQ(picker.dbStringDateTime(), QString::fromLatin1(c.full));
            EXPECT_EQ(picker.dbGetDate(), QString::fromLatin1(c.date));
            EXPECT_EQ(picker.dbGetTime(), QString::fromLatin1(c.time));
        }
    }
}

TEST(DateTimePicker, WritesStoredTextBackAsTheSameValue)
{
    struct Case {
        const char* written;
        const char* read;
    };
    const Case cases[] = {
        {"2014-03-05 14:05:09.000", "2014-03-05 14:05:09.000"},
        {"2014-03-05", "2014-03-05 00:00:00.000"},
        {"2014-03-05 14:05", "2014-03-05 14:05:00.000"},
        {"14:05:09", "1899-12-30 14:05:09.000"},
        {"1850-06-01 06:30:00.000", "1850-06-01 06:30:00.000"},
    };
    for (const Case& c : cases) {
        TdbDateTimePicker picker(nullptr);
        picker.setDbStringDateTime(QString::fromLatin1(c.written));
        EXPECT_EQ(picker.dbStringDateTime(), QString::fromLatin1(c.read)) << c.written;
    }
}

TEST(DateTimePicker, UnparsableTextRaisesAndKeepsTheValue)
{
    TdbDateTimePicker picker(nullptr);
    picker.setDbStringDateTime(QStringLiteral("2014-03-05 14:05:09.000"));
    for (const char* bad : {"not a date", "2014-13-40", "05.03.2014", ""}) {
        EXPECT_THROW(picker.setDbStringDateTime(QString::fromLatin1(bad)), ConversionError) << bad;
        EXPECT_EQ(picker.dbStringDateTime(), QStringLiteral("2014-03-05 14:05:09.000"));
    }
}

TEST(DateTimePicker, EditingTheShownPartKeepsTheHiddenPartAndChecksTheBox)
{
    TdbDateTimePicker picker(nullptr);
    picker.setKind(TdbDateTimePicker::dtkTime);
    picker.setDbStringDateTime(QStringLiteral("2014-03-05 14:05:09"));
    EXPECT_FALSE(picker.isChecked());

    picker.editor()->setTime(QTime(9, 30, 0));
    EXPECT_EQ(picker.dbStringDateTime(), QStringLiteral("2014-03-05 09:30:00.000"));
    EXPECT_TRUE(picker.isChecked());

    picker.setKind(TdbDateTimePicker::dtkDate);
    picker.editor()->setDate(QDate(2015, 7, 1));
    EXPECT_EQ(picker.dbStringDateTime(), QStringLiteral("2015-07-01 09:30:00.000"));
}

TEST(DateTimePicker, StartsAsAnUncheckedDatePickerInTheShortDateFormat)
{
    TdbDateTimePicker picker(nullptr);
    EXPECT_EQ(picker.kind(), TdbDateTimePicker::dtkDate);
    EXPECT_FALSE(picker.isChecked());
    EXPECT_FALSE(picker.dbDefaultChecked);
    EXPECT_EQ(picker.displayFormat(), QLocale().dateFormat(QLocale::ShortFormat));
    EXPECT_TRUE(picker.editor()->calendarPopup());
    // Today, in whatever time zone the machine is.
    const QDate today = QDate::currentDate();
    EXPECT_EQ(picker.editor()->date(), today);
    EXPECT_EQ(picker.editor()->text(), QLocale().toString(today, picker.displayFormat()));
    EXPECT_EQ(picker.dbGetDate().left(10), today.toString(Qt::ISODate));

    picker.setDateFormat(TdbDateTimePicker::dfLong);
    EXPECT_EQ(picker.displayFormat(), QLocale().dateFormat(QLocale::LongFormat));
    picker.setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    EXPECT_EQ(picker.displayFormat(), QStringLiteral("dd.MM.yyyy HH:mm"));
    picker.setChecked(true);
    EXPECT_TRUE(picker.isChecked());
}

TEST(MonthCalendar, KeepsTheDateOnlyAndFallsBackToDayZero)
{
    TdbMonthCalendar calendar(nullptr);
    calendar.setDbStringDateTime(QStringLiteral("2014-03-05 14:05:09.000"));
    EXPECT_EQ(calendar.dbStringDateTime(), QStringLiteral("2014-03-05 00:00:00.000"));
    EXPECT_EQ(calendar.dbGetDate(), QStringLiteral("2014-03-05 00:00:00.000"));
    EXPECT_EQ(calendar.selectedDate(), QDate(2014, 3, 5));

    EXPECT_NO_THROW(calendar.setDbStringDateTime(QStringLiteral("not a date")));
    EXPECT_EQ(calendar.value(), 0.0);
    EXPECT_EQ(calendar.selectedDate(), QDate(1899, 12, 30));
    EXPECT_EQ(calendar.dbStringDateTime(), QStringLiteral("1899-12-30 00:00:00.000"));

    calendar.setSelectedDate(QDate(2020, 1, 2)); // as a click on a day does
    EXPECT_EQ(calendar.dbStringDateTime(), QStringLiteral("2020-01-02 00:00:00.000"));
}

// ---- the edit box's link ----

TEST(Edit, ShowsATextStartingWithHttpAsALink)
{
    TdbEdit edit(nullptr);
    QFont bold = edit.font();
    bold.setBold(true);
    edit.setFont(bold);
    const QPalette system = QApplication::palette();

    edit.setText(QStringLiteral("http://example.org/a"));
    EXPECT_TRUE(edit.font().underline());
    EXPECT_FALSE(edit.font().bold());
    EXPECT_EQ(edit.palette().color(QPalette::Text), system.color(QPalette::Link));
    EXPECT_EQ(edit.cursor().shape(), Qt::PointingHandCursor);

    // Deleting the first letter ends the link at once.
    edit.setText(QStringLiteral("ttp://example.org/a"));
    EXPECT_FALSE(edit.font().underline());
    EXPECT_EQ(edit.palette().color(QPalette::Text), system.color(QPalette::WindowText));
    EXPECT_NE(edit.cursor().shape(), Qt::PointingHandCursor);
}

TEST(Edit, AnyChangeMakesAFontFromTheFormPlain)
{
    TdbEdit edit(nullptr);
    QFont styled = edit.font();
    styled.setBold(true);
    styled.setItalic(true);
    edit.setFont(styled);
    edit.setText(QStringLiteral("Smith"));
    EXPECT_FALSE(edit.font().bold());
    EXPECT_FALSE(edit.font().italic());
    EXPECT_FALSE(edit.font().underline());
}

TEST(Edit, DoubleClickOpensOnlyLinksMaximised)
{
    struct Case {
        const char* text;
        bool opens;
    };
    const Case cases[] = {
        {"http://example.org/page?q=1", true},
        {"HTTP://example.org", false},
        {" http://example.org", false},
        {"https://example.org", false},
        {"plain text", false},
    };
    for (const Case& c : cases) {
        ScriptedDesktop& desk = ScriptedDesktop::install();
        TdbEdit edit(nullptr);
        edit.resize(200, 24);
        edit.setText(QString::fromLatin1(c.text));
        EXPECT_EQ(edit.font().underline(), c.opens) << c.text;
        doubleClick(&edit);
        if (c.opens) {
            ASSERT_EQ(desk.shellRequests.size(), 1u) << c.text;
            EXPECT_EQ(desk.shellRequests[0].target, QString::fromLatin1(c.text));
            EXPECT_EQ(desk.shellRequests[0].mode, DesktopServices::ShowMode::Maximized);
        } else {
            EXPECT_TRUE(desk.shellRequests.empty()) << c.text;
        }
    }
}

TEST(EditCount, IsReadOnlyAndEmptyWhenNew)
{
    TdbEditCount count(nullptr);
    EXPECT_TRUE(count.isReadOnly());
    EXPECT_TRUE(count.text().isEmpty());
    EXPECT_EQ(count.dbBeginValue, 0);
}

// ---- the check box's third state ----

TEST(CheckBox, ClicksReachGrayedOnlyWhenAllowed)
{
    TdbCheckBox box(nullptr);
    EXPECT_EQ(box.dbDefaultState, Qt::Unchecked);

    // Started grayed by the form but without AllowGrayed: clicks never come back to grayed.
    box.setCheckState(Qt::PartiallyChecked);
    QList<Qt::CheckState> seen;
    for (int i = 0; i < 4; ++i) {
        box.click();
        seen.append(box.checkState());
    }
    EXPECT_EQ(seen, (QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Checked, Qt::Unchecked}));

    box.setAllowGrayed(true);
    seen.clear();
    for (int i = 0; i < 3; ++i) {
        box.click();
        seen.append(box.checkState());
    }
    EXPECT_EQ(seen, (QList<Qt::CheckState>{Qt::PartiallyChecked, Qt::Checked, Qt::Unchecked}));
}

// An unchecked picker shows its text dimmed; checking it brings the normal colour back, and a
// colour given to the picker afterwards is the one a checked picker shows.
TEST(DateTimePicker, UncheckedTextIsDimmed)
{
    TdbDateTimePicker picker(nullptr);
    auto textColour = [&] { return picker.editor()->findChild<QLineEdit*>()->palette().color(QPalette::Text); };
    const QColor dimmed = picker.palette().color(QPalette::Disabled, QPalette::Text);
    ASSERT_NE(dimmed, picker.palette().color(QPalette::Text));
    EXPECT_EQ(textColour(), dimmed);
    picker.setChecked(false);
    EXPECT_EQ(textColour(), dimmed);
    picker.setChecked(true);
    EXPECT_EQ(textColour(), picker.palette().color(QPalette::Text));

    QPalette red = picker.palette();
    red.setColor(QPalette::Active, QPalette::Text, Qt::red);
    red.setColor(QPalette::Inactive, QPalette::Text, Qt::red);
    picker.setPalette(red);
    picker.setChecked(false);
    EXPECT_EQ(textColour(), dimmed);
    picker.setChecked(true);
    EXPECT_EQ(textColour(), QColor(Qt::red));
}

// Space in a focused picker ticks and unticks its check box, as a click on the box does, so a
// date can be cleared without the mouse; the value itself stays. Other keys still edit.
TEST(DateTimePicker, SpaceTicksAndUnticksTheCheckBox)
{
    for (auto kind : {TdbDateTimePicker::dtkDate, TdbDateTimePicker::dtkTime}) {
        SCOPED_TRACE(kind);
        QWidget window;
        auto* picker = new TdbDateTimePicker(&window);
        picker->setKind(kind);
        picker->setDbStringDateTime(QStringLiteral("2014-03-05 14:05:09"));
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        picker->setFocus();
        ASSERT_TRUE(picker->editor()->hasFocus());
        QSignalSpy changes(picker, &TdbDateTimePicker::userChanged);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_TRUE(picker->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_FALSE(picker->isChecked());
        EXPECT_EQ(changes.count(), 2);
        EXPECT_EQ(picker->dbStringDateTime(), QStringLiteral("2014-03-05 14:05:09.000"));

        // Up changes the section under the cursor and ticks the box, as before.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        EXPECT_TRUE(picker->isChecked());
        EXPECT_NE(picker->dbStringDateTime(), QStringLiteral("2014-03-05 14:05:09.000"));

        // A picker that only shows its value takes no Space.
        picker->editor()->setReadOnly(true);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_TRUE(picker->isChecked());
    }
}
