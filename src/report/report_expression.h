#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class ReportDataset;

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

// The running value of one aggregate over the rows of its group or of the whole report.
struct Accumulator {
    qint64 count = 0;      // rows (COUNT without argument) or values that are not null
    qint64 numbers = 0;    // numeric values summed
    bool allIntegers = true;
    qint64 intSum = 0;
    double realSum = 0;
    ReportValue min, max;
    void add(const ReportValue& v, bool countRows);
};
using Accumulators = std::vector<std::shared_ptr<Accumulator>>;

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
};

class ExprNode;

// How an embedded value is shown: numbers with decimals, dates with a pattern, booleans
// with two words. Parsed once per object.
class DisplayFormat {
public:
    DisplayFormat() = default;
    // Throws FormatError with the reason when the format is not understood.
    explicit DisplayFormat(const QString& format);
    QString show(const ReportValue& v, const QLocale& locale) const;

private:
    enum class Kind { Plain, Number, Fixed, Date, Time, DateTime, Bool } m_kind = Kind::Plain;
    int m_decimals = 0;
    QString m_pattern, m_yes, m_no;
};

// One aggregate of a template: what it sums and over which scope (-1: the whole report,
// else the group index).
struct AggregateSlot {
    enum class Function { Sum, Count, Avg, Min, Max } function;
    std::shared_ptr<ExprNode> argument; // null for COUNT()
    int scope = -1;
};

// Compiles the expressions of one template against its dataset. Unknown fields, unknown names
// and syntax errors are raised here, before any page is made.
class ExpressionCompiler {
public:
    ExpressionCompiler(const ReportDataset* data, QStringList groupNames);

    // Where the expression stands: the scope an aggregate takes when it names none.
    void setDefaultScope(int scope) { m_defaultScope = scope; }

    std::shared_ptr<ExprNode> compile(const QString& expression);
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

// The date and time a value stands for: a date-time, or a stored text
// "yyyy-mm-dd hh:nn:ss.000" (also without fraction, seconds or time); invalid otherwise.
QDateTime asDateTime(const ReportValue& v);

// The end of the expression opened just before start (just after its '['): brackets nest and
// quoted texts may hold brackets. -1 when it is not closed.
qsizetype closingBracket(const QString& s, qsizetype start);

// A text with embedded [expressions], compiled once.
class CompiledText {
public:
    CompiledText() = default;
    // Throws FormatError for a bracket left open or an expression that does not compile.
    CompiledText(const QString& text, const DisplayFormat& format, ExpressionCompiler& compiler);

    bool isConstant() const { return m_parts.size() <= 1 && (m_parts.empty() || !m_parts[0].expression.isValid()); }
    bool usesPageNumbers() const;
    bool usesAggregates() const;
    // The expression of a text that is one value and nothing around it; null otherwise.
    const Expression* soleExpression() const;
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
