#include "report/engine/value.h"

#include <cmath>

bool ReportValue::isTrue() const
{
    switch (type) {
    case Type::Integer:
    case Type::Bool: return integer != 0;
    case Type::Real: return real != 0;
    case Type::Text: return !text.isEmpty() && text != u"0" && text.compare(u"false", Qt::CaseInsensitive) != 0;
    case Type::Blob: return !blob.isEmpty();
    case Type::DateTime: return dateTime.isValid();
    case Type::Null: return false;
    }
    return false;
}

bool ReportValue::sameAs(const ReportValue& other) const
{
    return compareValues(*this, other) == 0;
}

std::optional<double> numberOf(const ReportValue& v)
{
    if (v.isNumber())
        return v.toReal();
    if (v.type != ReportValue::Type::Text)
        return std::nullopt;
    bool ok = false;
    const double number = v.text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

// Dates arrive as stored texts "yyyy-mm-dd hh:nn:ss.000", as date-times, or not at all.
QDateTime asDateTime(const ReportValue& v)
{
    if (v.type == ReportValue::Type::DateTime)
        return v.dateTime;
    if (v.type != ReportValue::Type::Text)
        return {};
    static const QString patterns[] = {QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"), QStringLiteral("yyyy-MM-dd hh:mm:ss"),
                                       QStringLiteral("yyyy-MM-dd hh:mm"), QStringLiteral("yyyy-MM-dd")};
    for (const QString& p : patterns) {
        if (v.text.size() != p.size())
            continue;
        const QDateTime dt = QDateTime::fromString(v.text, p);
        if (dt.isValid())
            return dt;
    }
    return {};
}

QString plainText(const ReportValue& v)
{
    switch (v.type) {
    case ReportValue::Type::Integer: return QString::number(v.integer);
    case ReportValue::Type::Real: return QString::number(v.real, 'g', 15);
    case ReportValue::Type::Text: return v.text;
    case ReportValue::Type::Bool: return v.integer ? QStringLiteral("true") : QStringLiteral("false");
    case ReportValue::Type::DateTime: return v.dateTime.toString(Qt::ISODate);
    default: return QString();
    }
}

namespace {

bool isEmptyText(const ReportValue& v)
{
    return v.type == ReportValue::Type::Text && v.text.isEmpty();
}

} // namespace

// A null value and the empty text both show as nothing, and a template asking
// `Report.x = ''` means either.
int compareValues(const ReportValue& a, const ReportValue& b)
{
    if (a.isNull() || b.isNull()) {
        if (isEmptyText(a) || isEmptyText(b))
            return 0;
        return int(!a.isNull()) - int(!b.isNull());
    }
    if (a.isNumber() && b.isNumber()) {
        if (a.type != ReportValue::Type::Real && b.type != ReportValue::Type::Real)
            return a.integer < b.integer ? -1 : a.integer > b.integer;
        const double x = a.toReal(), y = b.toReal();
        return x < y ? -1 : x > y;
    }
    if (a.type == ReportValue::Type::DateTime && b.type == ReportValue::Type::DateTime)
        return a.dateTime < b.dateTime ? -1 : a.dateTime > b.dateTime;
    return plainText(a).compare(plainText(b));
}

namespace {

// A text that reads as a number counts as that number: "2" as 2, "10.5" as 10.5.
ReportValue counted(const ReportValue& v)
{
    if (v.type != ReportValue::Type::Text)
        return v;
    const std::optional<double> number = numberOf(v);
    if (!number)
        return v;
    bool whole = false;
    const qint64 integer = v.text.trimmed().toLongLong(&whole);
    return whole ? ReportValue::fromInteger(integer) : ReportValue::fromReal(*number);
}

} // namespace

void Accumulator::add(const ReportValue& v, bool countRows)
{
    if (countRows) {
        ++count;
        return;
    }
    if (v.isNull())
        return;
    const ReportValue n = counted(v);
    if (distinct) {
        seen.insert(n.isNumber() ? u'n' + QString::number(n.toReal(), 'g', 17) : u't' + plainText(v));
        count = seen.size();
        return;
    }
    ++count;
    if (n.isNumber()) {
        ++numbers;
        if (n.type == ReportValue::Type::Real)
            allIntegers = false;
        realSum += n.toReal();
        if (allIntegers && __builtin_add_overflow(intSum, n.integer, &intSum))
            allIntegers = false;
    }
    // The lowest and highest by number where they read as numbers, but as they stand: a code
    // such as "0042" keeps its zeros.
    if (min.isNull() || compareValues(n, counted(min)) < 0)
        min = v;
    if (max.isNull() || compareValues(n, counted(max)) > 0)
        max = v;
}
