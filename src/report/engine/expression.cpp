#include "report/engine/expression.h"

#include "report/engine/expression_nodes.h"

ExpressionCompiler::ExpressionCompiler(const ReportDataset* data, QStringList groupNames)
    : m_data(data), m_groupNames(std::move(groupNames))
{
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
    if (name.compare(u"Page", Qt::CaseInsensitive) == 0)
        return AggregateSlot::pageScope;
    if (name.compare(u"Carried", Qt::CaseInsensitive) == 0)
        return AggregateSlot::carriedScope;
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

