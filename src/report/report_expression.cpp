#include "report/report_expression.h"

#include "platform/errors.h"
#include "report/report_dataset.h"
#include "platform/wide_text.h"

#include <cmath>
#include <limits>

// ---------------------------------------------------------------- values

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

namespace {

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

bool isEmptyText(const ReportValue& v)
{
    return v.type == ReportValue::Type::Text && v.text.isEmpty();
}

// Numbers compare by value, other values by their text. Null is the smallest, but equal to the
// empty text: both show as nothing, and a template asking `Report.x = ''` means either.
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

} // namespace

bool ReportValue::sameAs(const ReportValue& other) const
{
    return compareValues(*this, other) == 0;
}

void Accumulator::add(const ReportValue& v, bool countRows)
{
    if (countRows) {
        ++count;
        return;
    }
    if (v.isNull())
        return;
    ++count;
    if (v.isNumber()) {
        ++numbers;
        if (v.type == ReportValue::Type::Real)
            allIntegers = false;
        realSum += v.toReal();
        if (allIntegers && __builtin_add_overflow(intSum, v.integer, &intSum))
            allIntegers = false;
    }
    if (min.isNull() || compareValues(v, min) < 0)
        min = v;
    if (max.isNull() || compareValues(v, max) > 0)
        max = v;
}

// ---------------------------------------------------------------- nodes

class ExprNode {
public:
    virtual ~ExprNode() = default;
    virtual ReportValue eval(const EvalContext& c) const = 0;
    virtual bool usesPageNumbers() const { return false; }
    virtual bool usesAggregates() const { return false; }
    virtual void capture(const EvalContext&, CapturedRow&) const {}
};

namespace {

using Node = std::shared_ptr<ExprNode>;

class Constant final : public ExprNode {
public:
    explicit Constant(ReportValue v) : m_value(std::move(v)) {}
    ReportValue eval(const EvalContext&) const override { return m_value; }

private:
    ReportValue m_value;
};

ReportValue fieldValue(const ReportDataset& data, qsizetype row, int column)
{
    const DatasetValue v = data.value(row, column);
    switch (v.type) {
    case DatasetValue::Type::Integer: return ReportValue::fromInteger(v.integer);
    case DatasetValue::Type::Real: return ReportValue::fromReal(v.real);
    case DatasetValue::Type::Text: return ReportValue::fromText(QString::fromUtf8(v.bytes, v.size));
    case DatasetValue::Type::Blob: {
        ReportValue r;
        r.type = ReportValue::Type::Blob;
        r.blob = QByteArray::fromRawData(v.bytes, v.size);
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

ReportValue arithmetic(Op op, const ReportValue& a, const ReportValue& b)
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

class Binary final : public ExprNode {
public:
    Binary(Op op, Node left, Node right) : m_op(op), m_left(std::move(left)), m_right(std::move(right)) {}
    ReportValue eval(const EvalContext& c) const override
    {
        if (m_op == Op::And)
            return ReportValue::fromBool(m_left->eval(c).isTrue() && m_right->eval(c).isTrue());
        if (m_op == Op::Or)
            return ReportValue::fromBool(m_left->eval(c).isTrue() || m_right->eval(c).isTrue());
        const ReportValue a = m_left->eval(c);
        const ReportValue b = m_right->eval(c);
        switch (m_op) {
        case Op::Concat: return ReportValue::fromText(plainText(a) + plainText(b));
        case Op::Add:
            // Two texts join; a text with a number is no sum.
            if (a.type == ReportValue::Type::Text && b.type == ReportValue::Type::Text)
                return ReportValue::fromText(a.text + b.text);
            return arithmetic(m_op, a, b);
        case Op::Sub:
        case Op::Mul:
        case Op::Div: return arithmetic(m_op, a, b);
        case Op::Eq: return ReportValue::fromBool(compareValues(a, b) == 0);
        case Op::Ne: return ReportValue::fromBool(compareValues(a, b) != 0);
        case Op::Lt: return ReportValue::fromBool(compareValues(a, b) < 0);
        case Op::Le: return ReportValue::fromBool(compareValues(a, b) <= 0);
        case Op::Gt: return ReportValue::fromBool(compareValues(a, b) > 0);
        case Op::Ge: return ReportValue::fromBool(compareValues(a, b) >= 0);
        default: return {};
        }
    }
    bool usesPageNumbers() const override { return m_left->usesPageNumbers() || m_right->usesPageNumbers(); }
    bool usesAggregates() const override { return m_left->usesAggregates() || m_right->usesAggregates(); }
    void capture(const EvalContext& c, CapturedRow& into) const override
    {
        m_left->capture(c, into);
        m_right->capture(c, into);
    }

private:
    Op m_op;
    Node m_left, m_right;
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
        case AggregateSlot::Function::Count: return ReportValue::fromInteger(a.count);
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

// ---------------------------------------------------------------- parser

class Parser {
public:
    Parser(const QString& text, ExpressionCompiler& compiler) : m_s(text), m_c(compiler) {}

    Node parse()
    {
        Node n = parseOr();
        skipSpace();
        if (m_i < m_s.size())
            fail(QStringLiteral("unexpected \"%1\"").arg(m_s.mid(m_i, 12)));
        return n;
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw FormatError(QStringLiteral("%1 at position %2 of \"%3\"").arg(what).arg(m_i + 1).arg(m_s));
    }

    void skipSpace()
    {
        while (m_i < m_s.size() && m_s[m_i].isSpace())
            ++m_i;
    }
    bool peek(QStringView token)
    {
        skipSpace();
        return QStringView(m_s).mid(m_i).startsWith(token);
    }
    bool accept(QStringView token)
    {
        if (!peek(token))
            return false;
        m_i += token.size();
        return true;
    }
    bool acceptWord(QStringView word)
    {
        skipSpace();
        const qsizetype end = m_i + word.size();
        if (QStringView(m_s).mid(m_i, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        if (end < m_s.size() && isNameChar(m_s[end]))
            return false;
        m_i = end;
        return true;
    }
    void expect(QStringView token)
    {
        if (!accept(token))
            fail(QStringLiteral("\"%1\" expected").arg(token));
    }
    static bool isNameChar(QChar ch) { return ch.isLetterOrNumber() || ch == u'_'; }

    Node parseOr()
    {
        Node n = parseAnd();
        while (acceptWord(u"OR"))
            n = std::make_shared<Binary>(Op::Or, n, parseAnd());
        return n;
    }
    Node parseAnd()
    {
        Node n = parseNot();
        while (acceptWord(u"AND"))
            n = std::make_shared<Binary>(Op::And, n, parseNot());
        return n;
    }
    Node parseNot()
    {
        if (acceptWord(u"NOT"))
            return std::make_shared<Unary>('!', parseNot());
        return parseComparison();
    }
    Node parseComparison()
    {
        Node n = parseConcat();
        static const std::pair<const char16_t*, Op> ops[] = {{u"<>", Op::Ne}, {u"!=", Op::Ne}, {u"<=", Op::Le},
                                                             {u">=", Op::Ge}, {u"=", Op::Eq},  {u"<", Op::Lt},
                                                             {u">", Op::Gt}};
        for (const auto& [token, op] : ops)
            if (accept(token))
                return std::make_shared<Binary>(op, n, parseConcat());
        return n;
    }
    Node parseConcat()
    {
        Node n = parseAdditive();
        while (accept(u"&"))
            n = std::make_shared<Binary>(Op::Concat, n, parseAdditive());
        return n;
    }
    Node parseAdditive()
    {
        Node n = parseTerm();
        for (;;) {
            if (accept(u"+"))
                n = std::make_shared<Binary>(Op::Add, n, parseTerm());
            else if (accept(u"-"))
                n = std::make_shared<Binary>(Op::Sub, n, parseTerm());
            else
                return n;
        }
    }
    Node parseTerm()
    {
        Node n = parseUnary();
        for (;;) {
            if (accept(u"*"))
                n = std::make_shared<Binary>(Op::Mul, n, parseUnary());
            else if (accept(u"/"))
                n = std::make_shared<Binary>(Op::Div, n, parseUnary());
            else
                return n;
        }
    }
    Node parseUnary()
    {
        if (accept(u"-"))
            return std::make_shared<Unary>('-', parseUnary());
        if (accept(u"+"))
            return parseUnary();
        return parsePrimary();
    }

    Node parsePrimary()
    {
        skipSpace();
        if (m_i >= m_s.size())
            fail(QStringLiteral("a value expected"));
        const QChar ch = m_s[m_i];
        if (ch.isDigit() || (ch == u'.' && m_i + 1 < m_s.size() && m_s[m_i + 1].isDigit()))
            return parseNumber();
        if (ch == u'\'' || ch == u'"')
            return std::make_shared<Constant>(ReportValue::fromText(parseQuoted()));
        if (accept(u"(")) {
            Node n = parseOr();
            expect(u")");
            return n;
        }
        if (accept(u"[")) {
            Node n = parseOr();
            expect(u"]");
            return n;
        }
        if (isNameChar(ch))
            return parseName();
        fail(QStringLiteral("unexpected \"%1\"").arg(ch));
    }

    Node parseNumber()
    {
        const qsizetype start = m_i;
        bool real = false;
        while (m_i < m_s.size() && (m_s[m_i].isDigit() || m_s[m_i] == u'.')) {
            real = real || m_s[m_i] == u'.';
            ++m_i;
        }
        const QString digits = m_s.mid(start, m_i - start);
        bool ok = false;
        if (!real) {
            const qint64 v = digits.toLongLong(&ok);
            if (ok)
                return std::make_shared<Constant>(ReportValue::fromInteger(v));
        }
        const double v = digits.toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("\"%1\" is not a number").arg(digits));
        return std::make_shared<Constant>(ReportValue::fromReal(v));
    }

    // A quoted text; the quote doubled stands for itself.
    QString parseQuoted()
    {
        const QChar quote = m_s[m_i++];
        QString out;
        for (;;) {
            if (m_i >= m_s.size())
                fail(QStringLiteral("a quoted text is not closed"));
            const QChar ch = m_s[m_i++];
            if (ch == quote) {
                if (m_i < m_s.size() && m_s[m_i] == quote) {
                    out += quote;
                    ++m_i;
                    continue;
                }
                return out;
            }
            out += ch;
        }
    }

    QString parseWord()
    {
        const qsizetype start = m_i;
        while (m_i < m_s.size() && isNameChar(m_s[m_i]))
            ++m_i;
        return m_s.mid(start, m_i - start);
    }

    Node parseName()
    {
        const qsizetype start = m_i;
        const QString word = parseWord();
        if (accept(u"("))
            return parseCall(word, start);
        if (accept(u"."))
            return parseField(word);
        static const std::pair<const char16_t*, SystemValue> systems[] = {
            {u"Page", SystemValue::Page}, {u"TotalPages", SystemValue::TotalPages}, {u"Date", SystemValue::Date},
            {u"Time", SystemValue::Time}, {u"Line", SystemValue::Line}};
        for (const auto& [name, which] : systems)
            if (word.compare(QStringView(name), Qt::CaseInsensitive) == 0)
                return std::make_shared<System>(which);
        if (word.compare(u"true", Qt::CaseInsensitive) == 0 || word.compare(u"false", Qt::CaseInsensitive) == 0)
            return std::make_shared<Constant>(ReportValue::fromBool(word.compare(u"true", Qt::CaseInsensitive) == 0));
        m_i = start;
        fail(QStringLiteral("unknown name \"%1\"").arg(word));
    }

    Node parseField(const QString& datasetName)
    {
        const ReportDataset* data = m_c.data();
        const QString userName = data ? data->userName() : QStringLiteral("Report");
        if (datasetName.compare(userName, Qt::CaseInsensitive) != 0)
            fail(QStringLiteral("there is no data named \"%1\" (the data is \"%2\")").arg(datasetName, userName));
        skipSpace();
        const QString field = m_i < m_s.size() && (m_s[m_i] == u'"' || m_s[m_i] == u'\'') ? parseQuoted() : parseWord();
        if (field.isEmpty())
            fail(QStringLiteral("a field name expected"));
        const int column = data ? data->columnIndex(field) : -1;
        if (column < 0)
            throw FormatError(QStringLiteral("the field \"%1\" is not in the data \"%2\"").arg(field, userName));
        return std::make_shared<Field>(column);
    }

    Node parseCall(const QString& name, qsizetype start)
    {
        std::vector<Node> args;
        if (!accept(u")")) {
            do
                args.push_back(parseOr());
            while (accept(u","));
            expect(u")");
        }
        if (name.compare(u"IIF", Qt::CaseInsensitive) == 0) {
            if (args.size() != 3)
                fail(QStringLiteral("IIF takes a condition and two values"));
            return std::make_shared<Iif>(args[0], args[1], args[2]);
        }
        static const std::pair<const char16_t*, TextFunction::Kind> textFunctions[] = {
            {u"DISPLAY", TextFunction::Kind::Display}, {u"UPPER", TextFunction::Kind::Upper},
            {u"LOWER", TextFunction::Kind::Lower}, {u"TRIM", TextFunction::Kind::Trim}};
        for (const auto& [fname, kind] : textFunctions)
            if (name.compare(QStringView(fname), Qt::CaseInsensitive) == 0) {
                if (args.size() != 1)
                    fail(QStringLiteral("%1 takes one value").arg(QString::fromUtf16(fname)));
                return std::make_shared<TextFunction>(kind, args[0]);
            }
        static const std::pair<const char16_t*, AggregateSlot::Function> aggregates[] = {
            {u"SUM", AggregateSlot::Function::Sum}, {u"COUNT", AggregateSlot::Function::Count},
            {u"AVG", AggregateSlot::Function::Avg}, {u"MIN", AggregateSlot::Function::Min},
            {u"MAX", AggregateSlot::Function::Max}};
        for (const auto& [fname, function] : aggregates)
            if (name.compare(QStringView(fname), Qt::CaseInsensitive) == 0)
                return makeAggregate(function, QString::fromUtf16(fname), args);
        m_i = start;
        fail(QStringLiteral("unknown function \"%1\"").arg(name));
    }

    // SUM(value) over the enclosing group; SUM(value, 'name') over a named group or 'Report'.
    Node makeAggregate(AggregateSlot::Function function, const QString& name, std::vector<Node>& args)
    {
        const bool count = function == AggregateSlot::Function::Count;
        if (args.size() > 2 || (args.empty() && !count))
            fail(QStringLiteral("%1 takes a value and, if wanted, the name of a group").arg(name));
        for (const Node& a : args)
            if (a->usesAggregates())
                fail(QStringLiteral("an aggregate cannot stand inside %1").arg(name));
        AggregateSlot slot;
        slot.function = function;
        slot.scope = m_c.defaultScope();
        if (!args.empty())
            slot.argument = args[0];
        if (args.size() == 2) {
            EvalContext none;
            const ReportValue scopeName = args[1]->eval(none);
            slot.scope = m_c.scopeNamed(scopeName.text);
            if (scopeName.type != ReportValue::Type::Text || slot.scope == -2)
                fail(QStringLiteral("%1: \"%2\" names no group (use a group's name or 'Report')").arg(name, scopeName.text));
        }
        return std::make_shared<Aggregate>(function, m_c.addAggregate(slot));
    }

    const QString& m_s;
    ExpressionCompiler& m_c;
    qsizetype m_i = 0;
};

} // namespace

// ---------------------------------------------------------------- compiler

ExpressionCompiler::ExpressionCompiler(const ReportDataset* data, QStringList groupNames)
    : m_data(data), m_groupNames(std::move(groupNames))
{
}

std::shared_ptr<ExprNode> ExpressionCompiler::compile(const QString& expression)
{
    return Parser(expression, *this).parse();
}

int ExpressionCompiler::addAggregate(AggregateSlot slot)
{
    m_aggregates.push_back(std::move(slot));
    return int(m_aggregates.size()) - 1;
}

int ExpressionCompiler::scopeNamed(const QString& name) const
{
    if (name.compare(u"Report", Qt::CaseInsensitive) == 0)
        return -1;
    for (int i = 0; i < m_groupNames.size(); ++i)
        if (!m_groupNames[i].isEmpty() && m_groupNames[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -2;
}

ReportValue Expression::evaluate(const EvalContext& context) const
{
    return m_root ? m_root->eval(context) : ReportValue();
}

bool Expression::usesPageNumbers() const
{
    return m_root && m_root->usesPageNumbers();
}

bool Expression::usesAggregates() const
{
    return m_root && m_root->usesAggregates();
}

void Expression::capture(const EvalContext& context, CapturedRow& into) const
{
    if (m_root)
        m_root->capture(context, into);
}

// ---------------------------------------------------------------- texts

qsizetype closingBracket(const QString& s, qsizetype start)
{
    int depth = 1;
    QChar quote;
    for (qsizetype i = start; i < s.size(); ++i) {
        const QChar ch = s[i];
        if (!quote.isNull()) {
            if (ch == quote)
                quote = QChar();
        } else if (ch == u'"' || ch == u'\'') {
            quote = ch;
        } else if (ch == u'[') {
            ++depth;
        } else if (ch == u']' && --depth == 0) {
            return i;
        }
    }
    return -1;
}

CompiledText::CompiledText(const QString& text, const DisplayFormat& format, ExpressionCompiler& compiler)
    : m_format(format)
{
    QString literal;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'[') {
            literal += text[i++];
            continue;
        }
        const qsizetype end = closingBracket(text, i + 1);
        if (end < 0)
            throw FormatError(QStringLiteral("a \"[\" is not closed in \"%1\"").arg(text));
        Part part;
        part.literal = literal;
        part.expression = Expression(compiler.compile(text.mid(i + 1, end - i - 1)));
        m_parts.push_back(std::move(part));
        literal.clear();
        i = end + 1;
    }
    if (!literal.isEmpty() || m_parts.empty())
        m_parts.push_back(Part{literal, Expression()});
}

bool CompiledText::usesPageNumbers() const
{
    for (const Part& p : m_parts)
        if (p.expression.usesPageNumbers())
            return true;
    return false;
}

bool CompiledText::usesAggregates() const
{
    for (const Part& p : m_parts)
        if (p.expression.usesAggregates())
            return true;
    return false;
}

const Expression* CompiledText::soleExpression() const
{
    return m_parts.size() == 1 && m_parts[0].literal.isEmpty() && m_parts[0].expression.isValid() ? &m_parts[0].expression
                                                                                                   : nullptr;
}

QString CompiledText::evaluate(const EvalContext& context, const QLocale& locale) const
{
    if (m_parts.size() == 1 && !m_parts[0].expression.isValid())
        return m_parts[0].literal;
    QString out;
    for (const Part& p : m_parts) {
        out += p.literal;
        if (p.expression.isValid())
            out += m_format.show(p.expression.evaluate(context), locale);
    }
    return out;
}

void CompiledText::capture(const EvalContext& context, CapturedRow& into) const
{
    for (const Part& p : m_parts)
        p.expression.capture(context, into);
}

// ---------------------------------------------------------------- display formats

DisplayFormat::DisplayFormat(const QString& format)
{
    if (format.isEmpty())
        return;
    const qsizetype colon = format.indexOf(u':');
    const QString kind = colon < 0 ? format : format.left(colon);
    const QString rest = colon < 0 ? QString() : format.mid(colon + 1);
    auto decimals = [&](QStringView digits) {
        bool ok = digits.isEmpty();
        m_decimals = ok ? 0 : digits.toInt(&ok);
        if (!ok || m_decimals < 0 || m_decimals > 15)
            throw FormatError(QStringLiteral("the format \"%1\" needs 0 to 15 decimals").arg(format));
    };
    if (colon < 0 && (kind.startsWith(u'n') || kind.startsWith(u'f'))) {
        m_kind = kind.startsWith(u'n') ? Kind::Number : Kind::Fixed;
        decimals(QStringView(kind).mid(1));
    } else if (kind == u"date" || kind == u"time" || kind == u"datetime") {
        m_kind = kind == u"date" ? Kind::Date : kind == u"time" ? Kind::Time : Kind::DateTime;
        m_pattern = rest;
    } else if (kind == u"bool") {
        m_kind = Kind::Bool;
        const QStringList words = rest.split(u';');
        if (words.size() != 2)
            throw FormatError(QStringLiteral("the format \"%1\" needs two words, e.g. bool:Yes;No").arg(format));
        m_yes = words[0];
        m_no = words[1];
    } else {
        throw FormatError(QStringLiteral("unknown display format \"%1\"").arg(format));
    }
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

namespace {


QString plainShow(const ReportValue& v, const QLocale& locale)
{
    switch (v.type) {
    case ReportValue::Type::Real: {
        QLocale l = locale;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(v.real, 'g', 15);
    }
    case ReportValue::Type::DateTime:
        return v.dateTime.time().msecsSinceStartOfDay() == 0 ? locale.toString(v.dateTime.date(), QLocale::ShortFormat)
                                                             : locale.toString(v.dateTime, QLocale::ShortFormat);
    default: return plainText(v);
    }
}

} // namespace

QString DisplayFormat::show(const ReportValue& v, const QLocale& locale) const
{
    if (v.isNull())
        return QString();
    switch (m_kind) {
    case Kind::Plain: return plainShow(v, locale);
    case Kind::Number:
    case Kind::Fixed: {
        double number = 0;
        bool ok = v.isNumber();
        if (ok)
            number = v.toReal();
        else if (v.type == ReportValue::Type::Text)
            number = v.text.toDouble(&ok);
        if (!ok)
            return plainShow(v, locale);
        QLocale l = locale;
        if (m_kind == Kind::Fixed)
            l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(number, 'f', m_decimals);
    }
    case Kind::Date:
    case Kind::Time:
    case Kind::DateTime: {
        const QDateTime dt = asDateTime(v);
        if (!dt.isValid())
            return plainShow(v, locale);
        if (!m_pattern.isEmpty())
            return locale.toString(dt, m_pattern);
        if (m_kind == Kind::Date)
            return locale.toString(dt.date(), QLocale::ShortFormat);
        if (m_kind == Kind::Time)
            return locale.toString(dt.time(), QLocale::ShortFormat);
        return locale.toString(dt, QLocale::ShortFormat);
    }
    case Kind::Bool: return v.isTrue() ? m_yes : m_no;
    }
    return QString();
}
