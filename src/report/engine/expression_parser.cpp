#include "platform/errors.h"
#include "report/engine/expression_nodes.h"

using namespace ExpressionNodes;

namespace {

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

std::shared_ptr<ExprNode> ExpressionCompiler::compile(const QString& text, qsizetype from, qsizetype to)
{
    const QString expression = from == 0 && to < 0 ? text : text.mid(from, to < 0 ? -1 : to - from);
    return Parser(expression, *this).parse();
}
