#pragma once

// The functions of numbers, texts and dates an expression may call (ROUND, FORMAT, SUBSTR,
// LEN, YEAR, MONTH, DAY). A value they cannot take gives an empty value, as arithmetic does.

#include "report/engine/display_format.h"
#include "report/engine/expression_nodes.h"

#include <cmath>
#include <vector>

namespace ExpressionNodes {

// A function of several arguments: what they share (page numbers, aggregates, captured fields).
class Call : public ExprNode {
public:
    explicit Call(std::vector<Node> args) : m_args(std::move(args)) {}
    bool usesPageNumbers() const override
    {
        return std::any_of(m_args.begin(), m_args.end(), [](const Node& a) { return a->usesPageNumbers(); });
    }
    bool usesAggregates() const override
    {
        return std::any_of(m_args.begin(), m_args.end(), [](const Node& a) { return a->usesAggregates(); });
    }
    void capture(const EvalContext& c, CapturedRow& into) const override
    {
        for (const Node& a : m_args)
            a->capture(c, into);
    }

protected:
    std::vector<Node> m_args;
};

// ROUND(x) to a whole number, ROUND(x, n) to n decimals (n below 0: to tens, hundreds...);
// halves away from zero. A text that reads as a number is rounded as that number.
class Round final : public Call {
public:
    using Call::Call;
    ReportValue eval(const EvalContext& c) const override
    {
        const std::optional<double> x = numberOf(m_args[0]->eval(c));
        if (!x)
            return {};
        qint64 digits = 0;
        if (m_args.size() > 1) {
            const std::optional<double> d = numberOf(m_args[1]->eval(c));
            if (!d)
                return {};
            digits = qint64(std::clamp(*d, -15.0, 15.0));
        }
        const double scale = std::pow(10.0, double(digits));
        const double r = std::round(*x * scale) / scale;
        if (!std::isfinite(r))
            return {};
        if (digits <= 0 && std::abs(r) < 9.0e15)
            return ReportValue::fromInteger(qint64(r));
        return ReportValue::fromReal(r);
    }
};

// FORMAT(value, 'n2'): the value as a text, shown with a display format.
class Format final : public Call {
public:
    using Call::Call;
    ReportValue eval(const EvalContext& c) const override
    {
        const ReportValue v = m_args[0]->eval(c);
        const QString format = plainText(m_args[1]->eval(c));
        if (format != m_lastText) {
            m_last = DisplayFormat(format);
            m_lastText = format;
        }
        return ReportValue::fromText(m_last.show(v, c.locale ? *c.locale : QLocale()));
    }

private:
    mutable QString m_lastText;
    mutable DisplayFormat m_last;
};

// SUBSTR(text, start) and SUBSTR(text, start, length): characters counted from 1.
class Substr final : public Call {
public:
    using Call::Call;
    ReportValue eval(const EvalContext& c) const override
    {
        const ReportValue v = m_args[0]->eval(c);
        const std::optional<double> start = numberOf(m_args[1]->eval(c));
        if (v.isNull() || !start)
            return {};
        const QString text = plainText(v);
        const qsizetype from = std::max<qsizetype>(qsizetype(std::clamp(*start, -1e9, 1e9)) - 1, 0);
        if (m_args.size() < 3)
            return ReportValue::fromText(text.mid(from));
        const std::optional<double> length = numberOf(m_args[2]->eval(c));
        if (!length)
            return {};
        return ReportValue::fromText(text.mid(from, std::max<qsizetype>(qsizetype(std::clamp(*length, 0.0, 1e9)), 0)));
    }
};

// LEN(text): the number of characters of the value's text.
class Len final : public Call {
public:
    using Call::Call;
    ReportValue eval(const EvalContext& c) const override
    {
        const ReportValue v = m_args[0]->eval(c);
        if (v.isNull())
            return {};
        return ReportValue::fromInteger(plainText(v).size());
    }
};

// YEAR(d), MONTH(d), DAY(d) of a date value or a stored date text.
class DatePart final : public Call {
public:
    enum class Part { Year, Month, Day };
    DatePart(Part part, std::vector<Node> args) : Call(std::move(args)), m_part(part) {}
    ReportValue eval(const EvalContext& c) const override
    {
        const QDateTime dt = asDateTime(m_args[0]->eval(c));
        if (!dt.isValid())
            return {};
        const QDate d = dt.date();
        return ReportValue::fromInteger(m_part == Part::Year ? d.year() : m_part == Part::Month ? d.month() : d.day());
    }

private:
    Part m_part;
};

} // namespace ExpressionNodes
