#pragma once

#include "platform/sql_connection.h"
#include "report/engine/template.h"
#include "report/engine/value.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// The values a report was asked for, by parameter name.
struct ParameterValue {
    QString name;
    ReportValue value;
};
using ParameterValues = std::vector<ParameterValue>;

namespace ReportParameters {

// The kind as templates write it: text, integer, number, date, boolean, choice.
QString kindName(ParameterKind kind);
std::optional<ParameterKind> kindNamed(QStringView name);
// A name a query can bind and a text can show: a letter or "_", then letters, digits, "_".
bool isValidName(const QString& name);

// A value written as text, as defaults and the batch run's --param give it: numbers with a
// full stop, dates yyyy-mm-dd, yes/no as true/false (also yes/no, 1/0). Nothing when the text
// does not read as the kind.
std::optional<ReportValue> read(ParameterKind kind, const QString& text);
// The value written as read() takes it back.
QString write(const ReportValue& value);
// What a value of the kind must look like, for messages ("a whole number").
QString expected(ParameterKind kind);

// A value for every parameter of the template, in its order: the given one, else its default,
// else null.
ParameterValues complete(const ReportTemplate& report, const ParameterValues& given);
// The value of that name (any letter case), or null when there is none.
const ReportValue* find(const ParameterValues& values, QStringView name);

// The values as a query binds them: whole numbers, numbers and texts as they are, yes/no as 1
// or 0, dates as the text yyyy-mm-dd (which sorts with the stored dates "yyyy-mm-dd hh:nn:ss").
SqlParams bound(const ParameterValues& values);

} // namespace ReportParameters
