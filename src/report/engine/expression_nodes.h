#pragma once

// The nodes an expression compiles to: made by the parser, evaluated for every row.

#include "platform/wide_text.h"
#include "report/engine/dataset.h"
#include "report/engine/expression.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

class ExprNode {
public:
    virtual ~ExprNode() = default;
    virtual ReportValue eval(const EvalContext& c) const = 0;
    virtual bool usesPageNumbers() const { return false; }
    virtual bool usesAggregates() const { return false; }
    virtual void capture(const EvalContext&, CapturedRow&) const {}
};

namespace ExpressionNodes {

using Node = std::shared_ptr<ExprNode>;

class Constant final : public ExprNode {
public:
    explicit Constant(ReportValue v) : m_value(std::move(v)) {}
    ReportValue eval(const EvalContext&) const override { return m_value; }

private:
    ReportValue m_value;
};

inline ReportValue fieldValue(const ReportDataset& data, qsizetype row, int column)
{
    const DatasetValue v = data.value(row, column);
    switch (v.type) {
    case DatasetValue::Type::Integer: return ReportValue::fromInteger(v.integer);
    case DatasetValue::Type::Real: return ReportValue::fromReal(v.real);
    case DatasetValue::Type::Text: return ReportValue::fromText(QString::fromUtf8(v.bytes, v.size));
    case DatasetValue::Type::Blob: {
        ReportValue r;
        r.type = ReportValue::Type::Blob;
        // A stream lets its rows go as the cursor moves on: a BLOB kept past its row (a group's
        // value, a text shown later) needs its own copy then.
        r.blob = data.isStreaming() ? QByteArray(v.bytes, v.size) : QByteArray::fromRawData(v.bytes, v.size);
        return r;
    }
    case DatasetValue::Type::Null: break;
    }
    return {};
}

class Field final : public ExprNode {
public:
    explicit Field(int column) : m_column(column) {}
    ReportValue eval(const EvalContext& c) const override
    {
        if (c.captured) {
            for (const auto& [column, value] : c.captured->fields)
                if (column == m_column)
                    return value;
            return {};
        }
        if (!c.data || c.row < 0 || c.row >= c.data->rowCount())
            return {};
        return fieldValue(*c.data, c.row, m_column);
    }
    void capture(const EvalContext& c, CapturedRow& into) const override
    {
        for (const auto& f : into.fields)
            if (f.first == m_column)
                return;
        into.fields.emplace_back(m_column, eval(c));
    }

private:
    int m_column;
};

enum class SystemValue { Page, TotalPages, Date, Time, Line };

class System final : public ExprNode {
public:
    explicit System(SystemValue which) : m_which(which) {}
    ReportValue eval(const EvalContext& c) const override
    {
        switch (m_which) {
        case SystemValue::Page: return ReportValue::fromInteger(c.page);
        case SystemValue::TotalPages: return ReportValue::fromInteger(c.totalPages);
        case SystemValue::Line: return ReportValue::fromInteger(c.line);
        case SystemValue::Date: {
            ReportValue r = ReportValue::fromDateTime(QDateTime(c.now.date(), QTime()));
            return r;
        }
        case SystemValue::Time: return ReportValue::fromDateTime(c.now);
        }
        return {};
    }
    bool usesPageNumbers() const override { return m_which == SystemValue::TotalPages || m_which == SystemValue::Page; }

private:
    SystemValue m_which;
};

class Unary final : public ExprNode {
public:
    Unary(char op, Node operand) : m_op(op), m_operand(std::move(operand)) {}
    ReportValue eval(const EvalContext& c) const override
    {
        const ReportValue v = m_operand->eval(c);
        if (m_op == '!')
            return ReportValue::fromBool(!v.isTrue());
        if (v.type == ReportValue::Type::Integer && v.integer != std::numeric_limits<qint64>::min())
            return ReportValue::fromInteger(-v.integer);
        if (v.isNumber())
            return ReportValue::fromReal(-v.toReal());
        return {};
    }
    bool usesPageNumbers() const override { return m_operand->usesPageNumbers(); }
    bool usesAggregates() const override { return m_operand->usesAggregates(); }
    void capture(const EvalContext& c, CapturedRow& into) const override { m_operand->capture(c, into); }

private:
    char m_op;
    Node m_operand;
};

enum class Op { Add, Sub, Mul, Div, Concat, Eq, Ne, Lt, Le, Gt, Ge, And, Or };

inline ReportValue arithmetic(Op op, const ReportValue& a, const ReportValue& b)
{
    if (!a.isNumber() || !b.isNumber())
        return {};
    const bool integers = a.type != ReportValue::Type::Real && b.type != ReportValue::Type::Real;
    if (op == Op::Div) {
        if (b.toReal() == 0)
            return {};
        if (integers && a.integer % b.integer == 0 && !(a.integer == std::numeric_limits<qint64>::min() && b.integer == -1))
            return ReportValue::fromInteger(a.integer / b.integer);
        return ReportValue::fromReal(a.toReal() / b.toReal());
    }
    if (integers) {
        qint64 r = 0;
        const bool overflow = op == Op::Add   ? __builtin_add_overflow(a.integer, b.integer, &r)
                              : op == Op::Sub ? __builtin_sub_overflow(a.integer, b.integer, &r)
                                              : __builtin_mul_overflow(a.integer, b.integer, &r);
        if (!overflow)
            return ReportValue::fromInteger(r);
    }
    const double x = a.toReal(), y = b.toReal();
    const double r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
    return std::isfinite(r) ? ReportValue::fromReal(r) : ReportValue();
}

// The value of an operator other than AND and OR on two values.
inline ReportValue apply(Op op, const ReportValue& a, const ReportValue& b)
{
    switch (op) {
    case Op::Concat: return ReportValue::fromText(plainText(a) + plainText(b));
    case Op::Add:
        // Two texts join; a text with a number is no sum.
        if (a.type == ReportValue::Type::Text && b.type == ReportValue::Type::Text)
            return ReportValue::fromText(a.text + b.text);
        return arithmetic(op, a, b);
    case Op::Sub:
    case Op::Mul:
    case Op::Div: return arithmetic(op, a, b);
    case Op::Eq: return ReportValue::fromBool(compareValues(a, b) == 0);
    case Op::Ne: return ReportValue::fromBool(compareValues(a, b) != 0);
    case Op::Lt: return ReportValue::fromBool(compareValues(a, b) < 0);
    case Op::Le: return ReportValue::fromBool(compareValues(a, b) <= 0);
    case Op::Gt: return ReportValue::fromBool(compareValues(a, b) > 0);
    case Op::Ge: return ReportValue::fromBool(compareValues(a, b) >= 0);
    default: return {};
    }
}

// The operators of one level in a row (a + b - c + ...), evaluated left to right in a loop: a
// chain of any length takes no more stack than one operator.
class Chain final : public ExprNode {
public:
    explicit Chain(Node first) : m_first(std::move(first)) {}
    void add(Op op, Node operand) { m_rest.emplace_back(op, std::move(operand)); }

    ReportValue eval(const EvalContext& c) const override
    {
        const Op level = m_rest.front().first;
        if (level == Op::And || level == Op::Or) {
            // The first operand that decides ends it: a false one for AND, a true one for OR.
            const bool decides = level == Op::Or;
            if (m_first->eval(c).isTrue() == decides)
                return ReportValue::fromBool(decides);
            for (const auto& [op, operand] : m_rest)
                if (operand->eval(c).isTrue() == decides)
                    return ReportValue::fromBool(decides);
            return ReportValue::fromBool(!decides);
        }
        ReportValue v = m_first->eval(c);
        for (const auto& [op, operand] : m_rest)
            v = apply(op, v, operand->eval(c));
        return v;
    }
    bool usesPageNumbers() const override
    {
        return m_first->usesPageNumbers()
               || std::any_of(m_rest.begin(), m_rest.end(), [](const auto& r) { return r.second->usesPageNumbers(); });
    }
    bool usesAggregates() const override
    {
        return m_first->usesAggregates()
               || std::any_of(m_rest.begin(), m_rest.end(), [](const auto& r) { return r.second->usesAggregates(); });
    }
    void capture(const EvalContext& c, CapturedRow& into) const override
    {
        m_first->capture(c, into);
        for (const auto& [op, operand] : m_rest)
            operand->capture(c, into);
    }

private:
    Node m_first;
    std::vector<std::pair<Op, Node>> m_rest;
};

class Iif final : public ExprNode {
public:
    Iif(Node cond, Node yes, Node no) : m_cond(std::move(cond)), m_yes(std::move(yes)), m_no(std::move(no)) {}
    ReportValue eval(const EvalContext& c) const override
    {
        return m_cond->eval(c).isTrue() ? m_yes->eval(c) : m_no->eval(c);
    }
    bool usesPageNumbers() const override
    {
        return m_cond->usesPageNumbers() || m_yes->usesPageNumbers() || m_no->usesPageNumbers();
    }
    bool usesAggregates() const override
    {
        return m_cond->usesAggregates() || m_yes->usesAggregates() || m_no->usesAggregates();
    }
    void capture(const EvalContext& c, CapturedRow& into) const override
    {
        m_cond->capture(c, into);
        m_yes->capture(c, into);
        m_no->capture(c, into);
    }

private:
    Node m_cond, m_yes, m_no;
};

// Functions of one text: a value of another kind passes unchanged, so a number keeps its
// display format.
class TextFunction final : public ExprNode {
public:
    enum class Kind { Display, Upper, Lower, Trim };
    TextFunction(Kind kind, Node operand) : m_kind(kind), m_operand(std::move(operand)) {}
    ReportValue eval(const EvalContext& c) const override
    {
        ReportValue v = m_operand->eval(c);
        if (v.type != ReportValue::Type::Text)
            return v;
        switch (m_kind) {
        case Kind::Display: v.text = ToDisplayText(v.text); break;
        case Kind::Upper: v.text = QLocale().toUpper(v.text); break;
        case Kind::Lower: v.text = QLocale().toLower(v.text); break;
        case Kind::Trim: v.text = v.text.trimmed(); break;
        }
        return v;
    }
    bool usesPageNumbers() const override { return m_operand->usesPageNumbers(); }
    bool usesAggregates() const override { return m_operand->usesAggregates(); }
    void capture(const EvalContext& c, CapturedRow& into) const override { m_operand->capture(c, into); }

private:
    Kind m_kind;
    Node m_operand;
};

class Aggregate final : public ExprNode {
public:
    Aggregate(AggregateSlot::Function f, int slot) : m_function(f), m_slot(slot) {}
    ReportValue eval(const EvalContext& c) const override
    {
        if (!c.aggregates || size_t(m_slot) >= c.aggregates->size() || !(*c.aggregates)[size_t(m_slot)])
            return {};
        const Accumulator& a = *(*c.aggregates)[size_t(m_slot)];
        switch (m_function) {
        case AggregateSlot::Function::Count:
        case AggregateSlot::Function::CountDistinct: return ReportValue::fromInteger(a.count);
        case AggregateSlot::Function::Sum:
            return a.allIntegers ? ReportValue::fromInteger(a.intSum) : ReportValue::fromReal(a.realSum);
        case AggregateSlot::Function::Avg:
            return a.numbers ? ReportValue::fromReal(a.realSum / double(a.numbers)) : ReportValue();
        case AggregateSlot::Function::Min: return a.min;
        case AggregateSlot::Function::Max: return a.max;
        }
        return {};
    }
    bool usesAggregates() const override { return true; }

private:
    AggregateSlot::Function m_function;
    int m_slot;
};

} // namespace ExpressionNodes
