#pragma once

#include <QCalendarWidget>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>

class QDateTimeEdit;

// A one-line edit box bound to one column. A text that begins with "http://" is shown as a
// link and opened by a double-click.
class TdbEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TdbEdit(QWidget* parent);

    QString dbTable;
    QString dbField;
    // Comparison operator when the box filters a search: "=", ">", ">=", "<", "<=", "%s%".
    QString dbFilter;
    // Text put into the box when its form is opened for a new record.
    QString dbDefaultValue;

    // Whether the text is a web address shown as a link.
    bool isLink() const;
    static bool isLinkText(const QString& text);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void applyTextStyle();
};

// The record counter: always the column record_count of dbTable.
class TdbEditCount : public QLineEdit {
    Q_OBJECT
public:
    explicit TdbEditCount(QWidget* parent);

    QString dbTable;
    // Lowest counter value handed out for a new record.
    qint32 dbBeginValue = 0;
};

class TdbMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TdbMemo(QWidget* parent);

    QString dbTable;
    QString dbField;
    QString dbDefaultValue;
};

// Three states: checked = stored 1, unchecked = stored 0, grayed (Qt::PartiallyChecked) =
// stored NULL and no restriction in a search. Code may always set the grayed state; a user's
// click reaches it only when grayed is allowed.
class TdbCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TdbCheckBox(QWidget* parent);

    QString dbTable;
    QString dbField;
    // cbUnchecked = Qt::Unchecked, cbChecked = Qt::Checked, cbGrayed = Qt::PartiallyChecked.
    Qt::CheckState dbDefaultState = Qt::Unchecked;

    bool allowGrayed() const { return m_allowGrayed; }
    void setAllowGrayed(bool allow) { m_allowGrayed = allow; }

protected:
    void nextCheckState() override;

private:
    bool m_allowGrayed = false;
};

// A date or time picker with its own check box at the left, which says whether the picker
// holds a value at all. The value is a day count from 1899-12-30 whose fraction is the time of
// day; the picker keeps the whole value even when it displays only the date or only the time.
class TdbDateTimePicker : public QWidget {
    Q_OBJECT
public:
    enum Kind { dtkDate, dtkTime };
    enum DateFormat { dfShort, dfLong };

    explicit TdbDateTimePicker(QWidget* parent);

    QString dbTable;
    QString dbField;
    // Name of a month calendar or another picker on the same form.
    QString dbCalendarControl;
    // Comparison operator when the picker filters a search: "=", ">", ">=", "<", "<=".
    QString dbFilter;
    // Checked state set when the form is opened for a new record.
    bool dbDefaultChecked = false;

    // The value as "yyyy-mm-dd hh:nn:ss.000". Writing throws ConversionError on unparsable
    // text and keeps the previous value.
    QString dbStringDateTime() const;
    void setDbStringDateTime(const QString& text);
    // The whole-day part, so always ending in "00:00:00.000".
    QString dbGetDate() const;
    // The time of day on day zero: "1899-12-30 hh:nn:ss.000".
    QString dbGetTime() const;

    double value() const { return m_value; }
    void setValue(double days);
    QDateTime dateTime() const;
    void setDateTime(const QDateTime& dateTime);

    bool isChecked() const;
    void setChecked(bool checked);

    Kind kind() const { return m_kind; }
    void setKind(Kind kind);
    DateFormat dateFormat() const { return m_dateFormat; }
    void setDateFormat(DateFormat format);
    // Qt's date/time format syntax; empty text gives the locale's format for the kind.
    void setDisplayFormat(const QString& format);
    QString displayFormat() const;

    // The editor inside the picker (for focus and tests).
    QDateTimeEdit* editor() const { return m_edit; }

signals:
    // The user changed the value or the check box.
    void userChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Space in the editor ticks or unticks the check box, so a date can be cleared from the
    // keyboard.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFormat();
    void showValue();
    void takeEditedValue();
    void placeCheckBox();

    QDateTimeEdit* m_edit = nullptr;
    QCheckBox* m_check = nullptr;
    double m_value = 0;
    Kind m_kind = dtkDate;
    DateFormat m_dateFormat = dfShort;
    QString m_format;
    bool m_showing = false;
};

// A month calendar bound to a DATE column. Its value is a day count like the picker's.
class TdbMonthCalendar : public QCalendarWidget {
    Q_OBJECT
public:
    explicit TdbMonthCalendar(QWidget* parent);

    QString dbTable;
    QString dbField;
    QString dbFilter;

    // The date as "yyyy-mm-dd 00:00:00.000". Writing unparsable text gives day zero.
    QString dbStringDateTime() const;
    void setDbStringDateTime(const QString& text);
    QString dbGetDate() const;

    double value() const { return m_value; }
    void setValue(double days);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void takeSelectedDate();

    double m_value = 0;
    bool m_showing = false;
};
