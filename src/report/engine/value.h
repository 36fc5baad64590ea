#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// A value while a report is filled.
struct ReportValue {
    enum class Type : quint8 { Null, Integer, Real, Text, Blob, Bool, DateTime };
    Type type = Type::Null;
    qint64 integer = 0;
    double real = 0;
    QString text;
    QByteArray blob; // shares the dataset's bytes, no copy
    QDateTime dateTime;

    static ReportValue fromInteger(qint64 v) { ReportValue r; r.type = Type::Integer; r.integer = v; return r; }
    static ReportValue fromReal(double v) { ReportValue r; r.type = Type::Real; r.real = v; return r; }
    static ReportValue fromText(QString v) { ReportValue r; r.type = Type::Text; r.text = std::move(v); return r; }
    static ReportValue fromBool(bool v) { ReportValue r; r.type = Type::Bool; r.integer = v; return r; }
    static ReportValue fromDateTime(QDateTime v) { ReportValue r; r.type = Type::DateTime; r.dateTime = std::move(v); return r; }

    bool isNull() const { return type == Type::Null; }
    bool isNumber() const { return type == Type::Integer || type == Type::Real || type == Type::Bool; }
    double toReal() const { return type == Type::Real ? real : double(integer); }
    bool isTrue() const;
    // Same value for group breaks: numbers by value, everything else by its text.
    bool sameAs(const ReportValue& other) const;
};

// The number a value stands for: a number, or a text that reads as one (SQLite columns often
// keep "10.5" as text). What a number format shows as a number is what the aggregates count.
std::optional<double> numberOf(const ReportValue& v);

// The date and time a value stands for: a date-time, or a stored text
// "yyyy-mm-dd hh:nn:ss.000" (also without fraction, seconds or time); invalid otherwise.
QDateTime asDateTime(const ReportValue& v);

// The text that `&` joins and that values without a number or date form show.
QString plainText(const ReportValue& v);

// Numbers compare by value, other values by their text; null is below everything but equals the
// empty text. Negative, zero or positive.
int compareValues(const ReportValue& a, const ReportValue& b);

// The running value of one aggregate over the rows of its group or of the whole report. A text
// that reads as a number counts as one.
struct Accumulator {
    qint64 count = 0;      // rows (COUNT without argument) or values that are not null
    qint64 numbers = 0;    // numeric values summed
    bool allIntegers = true;
    qint64 intSum = 0;
    double realSum = 0;
    ReportValue min, max;
    // COUNT(DISTINCT x): count is the number of different values that are not null (numbers
    // by value, other values by their text).
    bool distinct = false;
    QSet<QString> seen;
    void add(const ReportValue& v, bool countRows);
};
using Accumulators = std::vector<std::shared_ptr<Accumulator>>;
