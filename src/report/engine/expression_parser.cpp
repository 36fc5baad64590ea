#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/expression_functions.h"

#include <optional>

using namespace ExpressionNodes;

namespace {

// Brackets, calls and prefix operators nest, and every level costs stack while parsing and
// evaluating: nesting deeper than any report needs is refused (templates may be 16 MB).
constexpr int maxNesting = 100;

class Parser {
public:
    // The expression that stands in whole from `from` up to `to`; places in messages are
    // counted in the expression, lines and columns in the whole text.
    Parser(const QString& whole, qsizetype from, qsizetype to, ExpressionCompiler& compiler)
        : m_whole(whole), m_offset(from), m_s(whole.mid(from, to < 0 ? -1 : to - from)), m_c(compiler)
    {
    }

    Node parse()
    {
        Node n = parseOr();
        skipSpace();
        if (m_i < m_s.size())
            fail(Lang.caption("unexpected \"%1\"").arg(m_s.mid(m_i, 12)));
        return n;
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw FormatError(Lang.caption("%1 at position %2 of \"%3\"").arg(what).arg(m_i + 1).arg(m_s));
    }

    // One level deeper, opened at `at` in the expression, for as long as it lives.
    class Nesting {
    public:
        Nesting(Parser& parser, qsizetype at) : m_parser(parser)
        {
            if (++m_parser.m_depth > maxNesting)
                m_parser.tooDeep(at);
        }
        ~Nesting() { --m_parser.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Parser& m_parser;
    };

    [[noreturn]] void tooDeep(qsizetype at) const
    {
        const QStringView before = QStringView(m_whole).left(m_offset + at);
        const qsizetype line = before.count(u'\n') + 1;
        const qsizetype column = before.size() - (before.lastIndexOf(u'\n') + 1) + 1;
        throw FormatError(Lang.caption("expression nested too deeply at line %1, column %2").arg(line).arg(column));
    }

    // One level of operators that associate to the left: its operands in one chain.
    template <class Operand, class NextOperator>
    Node chain(Operand operand, NextOperator nextOperator)
    {
        Node first = (this->*operand)();
        std::shared_ptr<Chain> all;
        for (std::optional<Op> op = nextOperator(); op; op = nextOperator()) {
            if (!all)
                all = std::make_shared<Chain>(first);
            all->add(*op, (this->*operand)());
        }
        return all ? Node(all) : first;
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
            fail(Lang.caption("\"%1\" expected").arg(token));
    }
    static bool isNameChar(QChar ch) { return ch.isLetterOrNumber() || ch == u'_'; }

    Node parseOr()
    {
        return chain(&Parser::parseAnd, [this] { return acceptWord(u"OR") ? std::optional(Op::Or) : std::nullopt; });
    }
    Node parseAnd()
    {
        return chain(&Parser::parseNot, [this] { return acceptWord(u"AND") ? std::optional(Op::And) : std::nullopt; });
    }
    Node parseNot()
    {
        if (acceptWord(u"NOT")) {
            const Nesting nesting(*this, m_i - 3);
            return std::make_shared<Unary>('!', parseNot());
        }
        return parseComparison();
    }
    Node parseComparison()
    {
        Node n = parseConcat();
        static const std::pair<const char16_t*, Op> ops[] = {{u"<>", Op::Ne}, {u"!=", Op::Ne}, {u"<=", Op::Le},
                                                             {u">=", Op::Ge}, {u"=", Op::Eq},  {u"<", Op::Lt},
                                                             {u">", Op::Gt}};
        for (const auto& [token, op] : ops)
            if (accept(token)) {
                auto comparison = std::make_shared<Chain>(n);
                comparison->add(op, parseConcat());
                return comparison;
            }
        return n;
    }
    Node parseConcat()
    {
        return chain(&Parser::parseAdditive, [this] { return accept(u"&") ? std::optional(Op::Concat) : std::nullopt; });
    }
    Node parseAdditive()
    {
        return chain(&Parser::parseTerm, [this]() -> std::optional<Op> {
            if (accept(u"+"))
                return Op::Add;
            if (accept(u"-"))
                return Op::Sub;
            return std::nullopt;
        });
    }
    Node parseTerm()
    {
        return chain(&Parser::parseUnary, [this]() -> std::optional<Op> {
            if (accept(u"*"))
                return Op::Mul;
            if (accept(u"/"))
                return Op::Div;
            return std::nullopt;
        });
    }
    Node parseUnary()
    {
        if (accept(u"-")) {
            const Nesting nesting(*this, m_i - 1);
            return std::make_shared<Unary>('-', parseUnary());
        }
        if (accept(u"+")) {
            const Nesting nesting(*this, m_i - 1);
            return parseUnary();
        }
        return parsePrimary();
    }

    Node parsePrimary()
    {
        skipSpace();
        if (m_i >= m_s.size())
            fail(Lang.caption("a value expected"));
        const QChar ch = m_s[m_i];
        if (ch.isDigit() || (ch == u'.' && m_i + 1 < m_s.size() && m_s[m_i + 1].isDigit()))
            return parseNumber();
        if (ch == u'\'' || ch == u'"')
            return std::make_shared<Constant>(ReportValue::fromText(parseQuoted()));
        if (accept(u"(")) {
            const Nesting nesting(*this, m_i - 1);
            Node n = parseOr();
            expect(u")");
            return n;
        }
        if (accept(u"[")) {
            const Nesting nesting(*this, m_i - 1);
            Node n = parseOr();
            expect(u"]");
            return n;
        }
        if (isNameChar(ch))
            return parseName();
        fail(Lang.caption("unexpected \"%1\"").arg(ch));
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
            fail(Lang.caption("\"%1\" is not a number").arg(digits));
        return std::make_shared<Constant>(ReportValue::fromReal(v));
    }

    // A quoted text; the quote doubled stands for itself.
    QString parseQuoted()
    {
        const QChar quote = m_s[m_i++];
        QString out;
        for (;;) {
            if (m_i >= m_s.size())
                fail(Lang.caption("a quoted text is not closed"));
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
        fail(Lang.caption("unknown name \"%1\"").arg(word));
    }

    // Param.name: the value the report was asked for, fixed for the whole report.
    Node parseParameter()
    {
        skipSpace();
        const QString name = m_i < m_s.size() && (m_s[m_i] == u'"' || m_s[m_i] == u'\'') ? parseQuoted() : parseWord();
        const ReportValue* value = m_c.parameters() ? ReportParameters::find(*m_c.parameters(), name) : nullptr;
        if (!value)
            throw FormatError(Lang.caption("the report has no parameter named \"%1\"").arg(name));
        return std::make_shared<Constant>(*value);
    }

    Node parseField(const QString& datasetName)
    {
        if (datasetName.compare(u"Param", Qt::CaseInsensitive) == 0)
            return parseParameter();
        const ReportDataset* data = m_c.data();
        const QString userName = data ? data->userName() : QStringLiteral("Report");
        if (datasetName.compare(userName, Qt::CaseInsensitive) != 0)
            fail(Lang.caption("there is no data named \"%1\" (the data is \"%2\")").arg(datasetName, userName));
        skipSpace();
        const QString field = m_i < m_s.size() && (m_s[m_i] == u'"' || m_s[m_i] == u'\'') ? parseQuoted() : parseWord();
        if (field.isEmpty())
            fail(Lang.caption("a field name expected"));
        const int column = data ? data->columnIndex(field) : -1;
        if (column < 0)
            throw FormatError(Lang.caption("the field \"%1\" is not in the data \"%2\"").arg(field, userName));
        return std::make_shared<Field>(column);
    }

    Node parseCall(const QString& name, qsizetype start)
    {
        const Nesting nesting(*this, m_i - 1);
        std::vector<Node> args;
        // COUNT(DISTINCT x): the different values.
        const bool distinct = name.compare(u"COUNT", Qt::CaseInsensitive) == 0 && acceptWord(u"DISTINCT");
        if (distinct && peek(u")"))
            fail(Lang.caption("COUNT(DISTINCT ...) takes a value"));
        if (!accept(u")")) {
            do
                args.push_back(parseOr());
            while (accept(u","));
            expect(u")");
        }
        if (name.compare(u"IIF", Qt::CaseInsensitive) == 0) {
            if (args.size() != 3)
                fail(Lang.caption("IIF takes a condition and two values"));
            return std::make_shared<Iif>(args[0], args[1], args[2]);
        }
        static const std::pair<const char16_t*, TextFunction::Kind> textFunctions[] = {
            {u"DISPLAY", TextFunction::Kind::Display}, {u"UPPER", TextFunction::Kind::Upper},
            {u"LOWER", TextFunction::Kind::Lower}, {u"TRIM", TextFunction::Kind::Trim}};
        for (const auto& [fname, kind] : textFunctions)
            if (name.compare(QStringView(fname), Qt::CaseInsensitive) == 0) {
                if (args.size() != 1)
                    fail(Lang.caption("%1 takes one value").arg(QString::fromUtf16(fname)));
                return std::make_shared<TextFunction>(kind, args[0]);
            }
        if (Node n = makeFunction(name, args))
            return n;
        if (distinct)
            return makeAggregate(AggregateSlot::Function::CountDistinct, QStringLiteral("COUNT(DISTINCT ...)"), args);
        static const std::pair<const char16_t*, AggregateSlot::Function> aggregates[] = {
            {u"SUM", AggregateSlot::Function::Sum}, {u"COUNT", AggregateSlot::Function::Count},
            {u"AVG", AggregateSlot::Function::Avg}, {u"MIN", AggregateSlot::Function::Min},
            {u"MAX", AggregateSlot::Function::Max}};
        for (const auto& [fname, function] : aggregates)
            if (name.compare(QStringView(fname), Qt::CaseInsensitive) == 0)
                return makeAggregate(function, QString::fromUtf16(fname), args);
        m_i = start;
        fail(Lang.caption("unknown function \"%1\"").arg(name));
    }

    // The functions of numbers, texts and dates; null for any other name.
    Node makeFunction(const QString& name, std::vector<Node>& args)
    {
        const auto is = [&name](const char16_t* f) { return name.compare(QStringView(f), Qt::CaseInsensitive) == 0; };
        const auto arity = [&](size_t least, size_t most, const char* usage) {
            if (args.size() < least || args.size() > most)
                fail(Lang.caption(usage));
        };
        if (is(u"ROUND")) {
            arity(1, 2, "ROUND takes a number and, if wanted, the decimals to keep");
            return std::make_shared<Round>(args);
        }
        if (is(u"FORMAT")) {
            arity(2, 2, "FORMAT takes a value and a display format, e.g. FORMAT(x, 'n2')");
            return std::make_shared<Format>(args);
        }
        if (is(u"SUBSTR")) {
            arity(2, 3, "SUBSTR takes a text, the first character (from 1) and, if wanted, a length");
            return std::make_shared<Substr>(args);
        }
        if (is(u"LEN")) {
            arity(1, 1, "LEN takes one value");
            return std::make_shared<Len>(args);
        }
        static const std::pair<const char16_t*, DatePart::Part> parts[] = {
            {u"YEAR", DatePart::Part::Year}, {u"MONTH", DatePart::Part::Month}, {u"DAY", DatePart::Part::Day}};
        for (const auto& [fname, part] : parts)
            if (is(fname)) {
                arity(1, 1, "YEAR, MONTH and DAY take one date");
                return std::make_shared<DatePart>(part, args);
            }
        return nullptr;
    }

    // SUM(value) over the enclosing group; SUM(value, 'name') over a named group or 'Report'.
    Node makeAggregate(AggregateSlot::Function function, const QString& name, std::vector<Node>& args)
    {
        const bool count = function == AggregateSlot::Function::Count;
        if (args.size() > 2 || (args.empty() && !count))
            fail(Lang.caption("%1 takes a value and, if wanted, the name of a group").arg(name));
        for (const Node& a : args)
            if (a->usesAggregates())
                fail(Lang.caption("an aggregate cannot stand inside %1").arg(name));
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
                fail(Lang.caption("%1: \"%2\" names no group (use a group's name or 'Report')").arg(name, scopeName.text));
        }
        return std::make_shared<Aggregate>(function, m_c.addAggregate(slot));
    }

    const QString& m_whole;
    const qsizetype m_offset;
    const QString m_s;
    ExpressionCompiler& m_c;
    qsizetype m_i = 0;
    int m_depth = 0;
};

} // namespace

std::shared_ptr<ExprNode> ExpressionCompiler::compile(const QString& text, qsizetype from, qsizetype to)
{
    return Parser(text, from, to, *this).parse();
}
