#include "report/engine/compiled_text.h"

#include "platform/errors.h"
#include "platform/lang.h"

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

bool insideExpression(const QString& text, qsizetype position)
{
    for (qsizetype i = 0; i < position; ++i) {
        if (text[i] != u'[')
            continue;
        const qsizetype end = closingBracket(text, i + 1);
        if (end < 0 || end >= position)
            return true;
        i = end;
    }
    return false;
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
            throw FormatError(Lang.caption("a \"[\" is not closed in \"%1\"").arg(text));
        Part part;
        part.literal = literal;
        part.expression = Expression(compiler.compile(text, i + 1, end));
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

namespace {
bool onlySpaces(const QString& text)
{
    return text.trimmed().isEmpty();
}
} // namespace

const Expression* CompiledText::soleExpression() const
{
    if (m_parts.empty() || m_parts.size() > 2 || !m_parts[0].expression.isValid() || !onlySpaces(m_parts[0].literal))
        return nullptr;
    if (m_parts.size() == 2 && (m_parts[1].expression.isValid() || !onlySpaces(m_parts[1].literal)))
        return nullptr;
    return &m_parts[0].expression;
}

QString CompiledText::aroundSole(const QString& shown) const
{
    if (m_parts.size() == 1 && m_parts[0].literal.isEmpty())
        return shown;
    return m_parts[0].literal + shown + (m_parts.size() == 2 ? m_parts[1].literal : QString());
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

