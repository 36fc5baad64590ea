#include "report/engine/subreport.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/template.h"

namespace {

// The value as the database takes it; a date goes in its stored text form.
SqlValue boundValue(const ReportValue& v)
{
    switch (v.type) {
    case ReportValue::Type::Null: return SqlValue();
    case ReportValue::Type::Integer:
    case ReportValue::Type::Bool: return SqlValue::integer(v.integer);
    case ReportValue::Type::Real: return SqlValue::real(v.real);
    case ReportValue::Type::Text: return SqlValue::text(v.text.toUtf8());
    case ReportValue::Type::Blob: return SqlValue::blob(v.blob);
    case ReportValue::Type::DateTime:
        return SqlValue::text(v.dateTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toUtf8());
    }
    return SqlValue();
}

} // namespace

SubreportData::SubreportData(const ReportObject& object, const SubreportStatementSource& source)
    : m_object(object), m_statement(source(object.subreport->query))
{
    m_names = m_statement.parameterNames();
    QStringList columns;
    for (int c = 0; c < m_statement.columnCount(); ++c)
        columns << m_statement.columnName(c);
    // Only a query that gives rows: anything else would change the database once per row.
    if (columns.isEmpty())
        throw FormatError(Lang.caption("the query of the sub-report \"%1\" gives no rows; it must be a SELECT")
                              .arg(object.name));
    m_columns = columns;
    m_rows.reset(columns);
    m_rows.setUserName(object.name);
}

void SubreportData::compileParameters(ExpressionCompiler& outer)
{
    const Subreport& sub = *m_object.subreport;
    for (const SubreportParameter& p : sub.parameters)
        if (!m_names.contains(p.name, Qt::CaseInsensitive))
            throw FormatError(Lang.caption("the query of the sub-report \"%1\" takes no parameter \":%2\"")
                                  .arg(m_object.name, p.name));
    const QString outerData = outer.data() ? outer.data()->userName() : QStringLiteral("Report");
    for (const QString& name : m_names) {
        if (name.isEmpty())
            throw FormatError(Lang.caption("the query of the sub-report \"%1\" has a parameter without a name; "
                                           "write it \":name\"")
                                  .arg(m_object.name));
        QString value;
        for (const SubreportParameter& p : sub.parameters)
            if (p.name.compare(name, Qt::CaseInsensitive) == 0)
                value = p.value;
        if (value.isEmpty()) {
            // A parameter named like a field of the outer row takes that field.
            if (!outer.data() || outer.data()->columnIndex(name) < 0)
                throw FormatError(Lang.caption("the sub-report \"%1\" gives its query no value for \":%2\": "
                                               "add a <parameter> or a field of that name")
                                      .arg(m_object.name, name));
            value = outerData + QStringLiteral(".\"") + name + u'"';
        }
        m_values.emplace_back(outer.compile(value));
    }
    m_bound.resize(m_values.size());
}

void SubreportData::run(const EvalContext& outer)
{
    for (size_t i = 0; i < m_values.size(); ++i)
        m_bound[i] = boundValue(m_values[i].evaluate(outer));
    m_statement.rebind(m_bound);
    // The rows replace those of the run before; the storage stays, so memory does not grow
    // with the number of runs.
    m_rows.reset(m_columns);
    const int count = int(m_columns.size());
    while (m_statement.step()) {
        m_rows.appendRow();
        for (int c = 0; c < count; ++c) {
            switch (m_statement.columnType(c)) {
            case SqlValue::Type::Null: m_rows.addNull(); break;
            case SqlValue::Type::Integer: m_rows.addInteger(m_statement.integer(c)); break;
            case SqlValue::Type::Real: m_rows.addReal(m_statement.real(c)); break;
            case SqlValue::Type::Text: {
                int length = 0;
                const char* utf8 = m_statement.textUtf8(c, &length);
                m_rows.addText(utf8, length);
                break;
            }
            case SqlValue::Type::Blob: {
                const QByteArray bytes = m_statement.bytes(c);
                m_rows.addBlob(bytes.constData(), bytes.size());
                break;
            }
            }
        }
    }
}
