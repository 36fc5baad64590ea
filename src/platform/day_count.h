#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// Date and time values inside controls are day counts from day zero, 1899-12-30;
// the fraction is the time of day. The stored text form is "yyyy-mm-dd hh:nn:ss.000".
namespace DayCount {

QDate dayZero();

double fromDateTime(const QDateTime& dt);
double fromDate(const QDate& date);
QDateTime toDateTime(double days);

// The count truncated toward zero.
double wholeDays(double days);
// The value minus its whole-day part.
double timeOfDay(double days);

// "yyyy-mm-dd hh:nn:ss.000"; milliseconds are never written.
QString toStoredText(double days);
QString toStoredText(const QDateTime& dt);

// Year-month-day with "-", optionally followed by a blank and hours:minutes, optional
// seconds and an optional fraction; a time alone gets day zero. nullopt when unparsable.
std::optional<QDateTime> parseStoredText(const QString& text);
std::optional<double> parseStoredDays(const QString& text);

} // namespace DayCount
