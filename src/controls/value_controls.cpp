#include "controls/value_controls.h"

#include "platform/day_count.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/guard.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QStyle>

// ---- TdbEdit ----

TdbEdit::TdbEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { guarded([this] { applyTextStyle(); }); });
}

bool TdbEdit::isLinkText(const QString& text)
{
    return text.startsWith(QLatin1String("http://"), Qt::CaseSensitive);
}

bool TdbEdit::isLink() const
{
    return isLinkText(text());
}

// Every change sets the whole style, so a bold or coloured font from the form definition
// does not outlive the first change of the text.
void TdbEdit::applyTextStyle()
{
    const bool link = isLink();
    QFont f = font();
    f.setBold(false);
    f.setItalic(false);
    f.setStrikeOut(false);
    f.setUnderline(link);
    setFont(f);

    QPalette p = palette();
    const QPalette system = QApplication::palette();
    const QColor colour = link ? system.color(QPalette::Link) : system.color(QPalette::WindowText);
    p.setColor(QPalette::Text, colour);
    setPalette(p);

    if (link)
        setCursor(Qt::PointingHandCursor);
    else
        setCursor(Qt::IBeamCursor);
}

void TdbEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLineEdit::mouseDoubleClickEvent(event);
    guarded([this] {
        if (isLink())
            desktop().shellOpen(text(), QString(), DesktopServices::ShowMode::Maximized);
    });
}

// ---- TdbEditCount ----

TdbEditCount::TdbEditCount(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    clear();
}

// ---- TdbMemo ----

TdbMemo::TdbMemo(QWidget* parent) : QPlainTextEdit(parent) {}

// ---- TdbCheckBox ----

TdbCheckBox::TdbCheckBox(QWidget* parent) : QCheckBox(parent)
{
    // Code may set any of the three states at any time; which states a click reaches is
    // decided in nextCheckState.
    setTristate(true);
}

void TdbCheckBox::nextCheckState()
{
    switch (checkState()) {
    case Qt::Unchecked:
        setCheckState(m_allowGrayed ? Qt::PartiallyChecked : Qt::Checked);
        break;
    case Qt::PartiallyChecked:
        setCheckState(Qt::Checked);
        break;
    case Qt::Checked:
        setCheckState(Qt::Unchecked);
        break;
    }
}

// ---- TdbDateTimePicker ----

namespace {

// The picker's editor; lineEdit() is protected in the toolkit, and the check box needs room
// at the left of the text.
class PickerEdit : public QDateTimeEdit {
public:
    // Made for a date, the editor starts with the regional short date format, the picker's
    // usual one.
    PickerEdit(QDate date, QWidget* parent) : QDateTimeEdit(date, parent) {}
    QLineEdit* textEdit() const { return lineEdit(); }
};

QString localeTimeFormat()
{
    // The long format may carry a time-zone name, which a day count does not have.
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}

} // namespace

TdbDateTimePicker::TdbDateTimePicker(QWidget* parent) : QWidget(parent)
{
    // The current local wall-clock time; a day count has no time zone. The editor starts with
    // its day, so that showing it costs nothing more.
    const QDateTime now = QDateTime::currentDateTime();
    m_value = DayCount::fromDateTime(QDateTime(now.date(), now.time(), Qt::UTC));
    auto* edit = new PickerEdit(now.date(), this);
    m_edit = edit;
    m_edit->setTimeSpec(Qt::UTC);
    m_edit->setCalendarPopup(true);
    m_edit->setDateTimeRange(QDateTime(QDate(100, 1, 1), QTime(0, 0), Qt::UTC),
                             QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC));
    m_check = new QCheckBox(m_edit);
    m_check->setFocusPolicy(Qt::NoFocus);
    m_check->setChecked(false);
    m_check->show();
    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());
    m_edit->installEventFilter(this);

    applyFormat();

    connect(m_edit, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (m_showing)
            return;
        guarded([this] {
            takeEditedValue();
            setChecked(true);
            emit userChanged();
        });
    });
    connect(m_check, &QCheckBox::toggled, this, [this](bool) {
        guarded([this] {
            setChecked(m_check->isChecked());
            emit userChanged();
        });
    });
    setChecked(false);
}

QString TdbDateTimePicker::dbStringDateTime() const
{
    return DayCount::toStoredText(m_value);
}

void TdbDateTimePicker::setDbStringDateTime(const QString& text)
{
    const auto days = DayCount::parseStoredDays(text);
    if (!days)
        throw ConversionError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    setValue(*days);
}

QString TdbDateTimePicker::dbGetDate() const
{
    return DayCount::toStoredText(DayCount::wholeDays(m_value));
}

QString TdbDateTimePicker::dbGetTime() const
{
    return DayCount::toStoredText(DayCount::timeOfDay(m_value));
}

void TdbDateTimePicker::setValue(double days)
{
    m_value = days;
    showValue();
}

QDateTime TdbDateTimePicker::dateTime() const
{
    return DayCount::toDateTime(m_value);
}

void TdbDateTimePicker::setDateTime(const QDateTime& dateTime)
{
    setValue(DayCount::fromDateTime(QDateTime(dateTime.date(), dateTime.time(), Qt::UTC)));
}

bool TdbDateTimePicker::isChecked() const
{
    return m_check->isChecked();
}

void TdbDateTimePicker::setChecked(bool checked)
{
    {
        const QSignalBlocker block(m_check);
        m_check->setChecked(checked);
    }
    // An unchecked picker holds no value: its text is shown dimmed.
    const QColor text = checked ? palette().color(QPalette::Text)
                                : palette().color(QPalette::Disabled, QPalette::Text);
    QLineEdit* shown = static_cast<PickerEdit*>(m_edit)->textEdit();
    if (shown->palette().color(QPalette::Text) == text && shown->testAttribute(Qt::WA_SetPalette))
        return;
    QPalette p = m_edit->palette();
    p.setColor(QPalette::Text, text);
    shown->setPalette(p);
}

void TdbDateTimePicker::setKind(Kind kind)
{
    if (m_kind == kind)
        return;
    m_kind = kind;
    applyFormat();
}

void TdbDateTimePicker::setDateFormat(DateFormat format)
{
    if (m_dateFormat == format)
        return;
    m_dateFormat = format;
    applyFormat();
}

void TdbDateTimePicker::setDisplayFormat(const QString& format)
{
    if (m_format == format)
        return;
    m_format = format;
    applyFormat();
}

QString TdbDateTimePicker::displayFormat() const
{
    return m_edit->displayFormat();
}

void TdbDateTimePicker::applyFormat()
{
    QString format = m_format;
    if (format.isEmpty()) {
        if (m_kind == dtkTime)
            format = localeTimeFormat();
        else
            format = QLocale().dateFormat(m_dateFormat == dfLong ? QLocale::LongFormat
                                                                 : QLocale::ShortFormat);
    }
    m_showing = true;
    if (m_edit->displayFormat() != format)
        m_edit->setDisplayFormat(format);
    // A format without date sections pins the editor to one day; the picker's own value keeps
    // its date, so the editor only needs that day for a time-only format.
    if (m_edit->displayedSections() & QDateTimeEdit::DateSections_Mask)
        m_edit->setDateTimeRange(QDateTime(QDate(100, 1, 1), QTime(0, 0), Qt::UTC),
                                 QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC));
    m_showing = false;
    showValue();
}

void TdbDateTimePicker::showValue()
{
    const QDateTime dt = DayCount::toDateTime(m_value);
    const auto sections = m_edit->displayedSections();
    const bool dates = sections & QDateTimeEdit::DateSections_Mask;
    const bool times = sections & QDateTimeEdit::TimeSections_Mask;
    // Only the parts the editor shows are its own; the picker's value keeps the others.
    if ((!dates || m_edit->date() == dt.date()) && (!times || m_edit->time() == dt.time()))
        return;
    m_showing = true;
    m_edit->setDateTime(dates ? dt : QDateTime(m_edit->date(), dt.time(), Qt::UTC));
    m_showing = false;
}

// The editor shows only some sections; the parts of the value it does not show stay as they
// were.
void TdbDateTimePicker::takeEditedValue()
{
    const QDateTime current = DayCount::toDateTime(m_value);
    const QDateTime edited = m_edit->dateTime();
    const auto sections = m_edit->displayedSections();
    const QDate date =
        (sections & QDateTimeEdit::DateSections_Mask) ? edited.date() : current.date();
    const QTime time =
        (sections & QDateTimeEdit::TimeSections_Mask) ? edited.time() : current.time();
    m_value = DayCount::fromDateTime(QDateTime(date, time, Qt::UTC));
}

void TdbDateTimePicker::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_edit->setGeometry(rect());
    placeCheckBox();
}

bool TdbDateTimePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_edit || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier || !m_edit->isEnabled()
        || m_edit->isReadOnly())
        return false;
    // The check box's own toggled handler records the change, as a click on it does.
    guarded([this] { m_check->toggle(); });
    return true;
}

void TdbDateTimePicker::placeCheckBox()
{
    const QSize box = m_check->sizeHint();
    const int left = 3;
    m_check->setGeometry(left, (m_edit->height() - box.height()) / 2, box.width(), box.height());
    m_check->raise();
    static_cast<PickerEdit*>(m_edit)->textEdit()->setTextMargins(box.width() + left, 0, 0, 0);
}

// ---- TdbMonthCalendar ----

TdbMonthCalendar::TdbMonthCalendar(QWidget* parent) : QCalendarWidget(parent)
{
    setMinimumDate(QDate(100, 1, 1));
    setMaximumDate(QDate(9999, 12, 31));
    setValue(DayCount::fromDate(QDate::currentDate()));
    connect(this, &QCalendarWidget::selectionChanged, this, [this] {
        if (!m_showing)
            guarded([this] { takeSelectedDate(); });
    });
    if (QWidget* yearEditor = findChild<QWidget*>(QStringLiteral("qt_calendar_yearedit")))
        yearEditor->installEventFilter(this);
}

bool TdbMonthCalendar::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the year editor commits the year and stays with the calendar: left to the
    // editor, the key would travel on to the form and press its default button.
    if (event->type() == QEvent::KeyPress && watched->objectName() == u"qt_calendar_yearedit") {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Leaving the editor is what commits the year.
            setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QCalendarWidget::eventFilter(watched, event);
}

QString TdbMonthCalendar::dbStringDateTime() const
{
    return DayCount::toDateTime(m_value).date().toString(QStringLiteral("yyyy-MM-dd"))
           + QStringLiteral(" 00:00:00.000");
}

void TdbMonthCalendar::setDbStringDateTime(const QString& text)
{
    setValue(DayCount::parseStoredDays(text).value_or(0.0));
}

QString TdbMonthCalendar::dbGetDate() const
{
    return DayCount::toStoredText(DayCount::wholeDays(m_value));
}

void TdbMonthCalendar::setValue(double days)
{
    m_value = days;
    m_showing = true;
    setSelectedDate(DayCount::toDateTime(days).date());
    m_showing = false;
}

void TdbMonthCalendar::takeSelectedDate()
{
    m_value = DayCount::fromDate(selectedDate());
}
