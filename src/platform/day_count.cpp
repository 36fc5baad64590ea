#include "platform/day_count.h"

#include <QRegularExpression>
#include <cmath>

namespace DayCount {

namespace {
constexpr qint64 MsPerDay = 86400000;
}

QDate dayZero()
{
    return QDate(1899, 12, 30);
}

double fromDate(const QDate& date)
{
    return static_cast<double>(dayZero().daysTo(date));
}

double fromDateTime(const QDateTime& dt)
{
    const double days = fromDate(dt.date());
    const double fraction = static_cast<double>(dt.time().msecsSinceStartOfDay()) / MsPerDay;
    // Before day zero the time of day still counts forward from midnight of that day,
    // so the fraction is subtracted from the (negative) day number.
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime toDateTime(double days)
{
    const double whole = wholeDays(days);
    const double fraction = std::fabs(days - whole);
    qint64 ms = std::llround(fraction * MsPerDay);
    qint64 dayOffset = static_cast<qint64>(whole);
    if (ms >= MsPerDay) {
        ms -= MsPerDay;
        dayOffset += whole < 0 ? -1 : 1;
    }
    return QDateTime(dayZero().addDays(dayOffset), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)),
                     Qt::UTC);
}

double wholeDays(double days)
{
    return std::trunc(days);
}

double timeOfDay(double days)
{
    return days - wholeDays(days);
}

QString toStoredText(const QDateTime& dt)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    return QStringLiteral("%1-%2-%3 %4:%5:%6.000")
        .arg(d.year(), 4, 10, QChar(u'0'))
        .arg(d.month(), 2, 10, QChar(u'0'))
        .arg(d.day(), 2, 10, QChar(u'0'))
        .arg(t.hour(), 2, 10, QChar(u'0'))
        .arg(t.minute(), 2, 10, QChar(u'0'))
        .arg(t.second(), 2, 10, QChar(u'0'));
}

QString toStoredText(double days)
{
    return toStoredText(toDateTime(days));
}

std::optional<QDateTime> parseStoredText(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(?:(\d{1,4})-(\d{1,2})-(\d{1,2}))?\s*(?:(\d{1,2}):(\d{1,2})(?::(\d{1,2})(?:\.(\d{1,3})\d*)?)?)?\s*$)"));
    const auto m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const bool hasDate = m.capturedLength(1) > 0;
    const bool hasTime = m.capturedLength(4) > 0;
    if (!hasDate && !hasTime)
        return std::nullopt;
    if (hasDate && hasTime && !text.trimmed().contains(u' '))
        return std::nullopt; // date and time must be separated by a blank
    QDate date = dayZero();
    if (hasDate) {
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!date.isValid())
            return std::nullopt;
    }
    QTime time(0, 0);
    if (hasTime) {
        QString ms = m.captured(7);
        while (!ms.isEmpty() && ms.size() < 3)
            ms += u'0';
        time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(),
                     ms.toInt());
        if (!time.isValid())
            return std::nullopt;
    }
    return QDateTime(date, time, Qt::UTC);
}

std::optional<double> parseStoredDays(const QString& text)
{
    const auto dt = parseStoredText(text);
    if (!dt)
        return std::nullopt;
    return fromDateTime(*dt);
}

} // namespace DayCount
