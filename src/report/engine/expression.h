#pragma once

#include "report/engine/report_parameters.h"
#include "report/engine/value.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class ReportDataset;

// Field values kept for a text shown before its value is known.
struct CapturedRow {
    std::vector<std::pair<int, ReportValue>> fields;
};

struct EvalContext {
    const ReportDataset* data = nullptr;
    qsizetype row = -1;                 // current row, -1 before the first and for an empty dataset
    const CapturedRow* captured = nullptr; // used instead of data when set
    int page = 0;
    int totalPages = 0;
    qint64 line = 0;
    QDateTime now;
    const Accumulators* aggregates = nullptr;
    const QLocale* locale = nullptr; // FORMAT() shows in it; the program's when null
};

class ExprNode;

// One aggregate of a template: what it sums and over which scope (-1: the whole report,
// else the group index).
struct AggregateSlot {
    // The rows of the page the value stands on, and the rows of every page up to it (a total
    // carried to the next page): counted where the rows land, not as they are read.
    static constexpr int pageScope = -3;
    static constexpr int carriedScope = -4;
    enum class Function { Sum, Count, Avg, Min, Max, CountDistinct } function;
    std::shared_ptr<ExprNode> argument; // null for COUNT()
    int scope = -1;
};

// Compiles the expressions of one template against its dataset. Unknown fields, unknown names
// and syntax errors are raised here, before any page is made.
class ExpressionCompiler {
public:
    ExpressionCompiler(const ReportDataset* data, QStringList groupNames);

    // The values Param.name stands for (not owned; none: Param names nothing).
    void setParameters(const ParameterValues* values) { m_parameters = values; }
    const ParameterValues* parameters() const { return m_parameters; }

    // Where the expression stands: the scope an aggregate takes when it names none.
    void setDefaultScope(int scope) { m_defaultScope = scope; }

    // The expression that stands in text from `from` up to `to` (-1: the end). Throws
    // FormatError with the fault's place.
    std::shared_ptr<ExprNode> compile(const QString& text, qsizetype from = 0, qsizetype to = -1);
    const std::vector<AggregateSlot>& aggregates() const { return m_aggregates; }

    // Used by the parser.
    int addAggregate(AggregateSlot slot);
    int defaultScope() const { return m_defaultScope; }
    int scopeNamed(const QString& name) const; // -2 when unknown
    const ReportDataset* data() const { return m_data; }

private:
    const ReportDataset* m_data;
    QStringList m_groupNames;
    int m_defaultScope = -1;
    std::vector<AggregateSlot> m_aggregates;
    const ParameterValues* m_parameters = nullptr;
};

// An expression ready to evaluate.
class Expression {
public:
    Expression() = default;
    explicit Expression(std::shared_ptr<ExprNode> root) : m_root(std::move(root)) {}
    bool isValid() const { return m_root != nullptr; }
    ReportValue evaluate(const EvalContext& context) const;
    // Needs the page it lands on or the page count, known only once the pages are made.
    bool usesPageNumbers() const;
    bool usesAggregates() const;
    // Copies the fields it reads from the context's current row.
    void capture(const EvalContext& context, CapturedRow& into) const;

private:
    std::shared_ptr<ExprNode> m_root;
};
