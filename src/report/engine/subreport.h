#pragma once

#include "platform/sql_connection.h"
#include "report/engine/dataset.h"
#include "report/engine/expression.h"

#include <functional>
#include <vector>

struct ReportObject;

// Prepares a sub-report's query to be run again for each row: on the program's connection, the
// author's SQL put in the database's words. Throws DatabaseError for a query the database refuses.
using SubreportStatementSource = std::function<SqlStatement(const QString& sql)>;

// The rows of one sub-report. Its statement is prepared once; for each row of the band it stands
// in, the statement runs again with that row's values bound to its ":name" parameters (never
// written into the SQL), and its rows replace those of the run before.
class SubreportData {
public:
    // Prepares the query and learns its columns. Throws DatabaseError when the database refuses it.
    SubreportData(const ReportObject& object, const SubreportStatementSource& source);

    // The values of the parameters, compiled over the outer band's data: a <parameter> of the
    // same name, else the outer field of that name. Throws FormatError for a parameter that has
    // neither, or a <parameter> the query does not take.
    void compileParameters(ExpressionCompiler& outer);
    // Runs the query for the outer row the context stands on.
    void run(const EvalContext& outer);

    const ReportDataset& rows() const { return m_rows; }

private:
    const ReportObject& m_object;
    SqlStatement m_statement;
    QStringList m_names;
    QStringList m_columns;
    std::vector<Expression> m_values;
    std::vector<SqlValue> m_bound;
    ReportDataset m_rows;
};
