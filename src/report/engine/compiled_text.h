#pragma once

#include "report/engine/display_format.h"
#include "report/engine/expression.h"

#include <QLocale>
#include <QString>
#include <vector>

// The end of the expression opened just before start (just after its '['): brackets nest and
// quoted texts may hold brackets. -1 when it is not closed.
qsizetype closingBracket(const QString& s, qsizetype start);
// Whether a place in a text with embedded [expressions] stands inside one of them.
bool insideExpression(const QString& text, qsizetype position);

// A text with embedded [expressions], compiled once.
class CompiledText {
public:
    CompiledText() = default;
    // Throws FormatError for a bracket left open or an expression that does not compile.
    CompiledText(const QString& text, const DisplayFormat& format, ExpressionCompiler& compiler);

    bool isConstant() const { return m_parts.size() <= 1 && (m_parts.empty() || !m_parts[0].expression.isValid()); }
    bool usesPageNumbers() const;
    bool usesAggregates() const;
    // The expression of a text that is one value with nothing but spaces around it (a total
    // padded to line up is still that total); null otherwise.
    const Expression* soleExpression() const;
    // The sole value's shown text with the spaces the author put around it.
    QString aroundSole(const QString& shown) const;
    QString evaluate(const EvalContext& context, const QLocale& locale) const;
    void capture(const EvalContext& context, CapturedRow& into) const;

private:
    struct Part {
        QString literal;
        Expression expression;
    };
    std::vector<Part> m_parts;
    DisplayFormat m_format;
};
