#include "report/engine/report_parameters.h"

#include "platform/lang.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>

namespace ReportParameters {

namespace {

struct KindName {
    ParameterKind kind;
    const char16_t* name;
};
constexpr KindName kindNames[] = {{ParameterKind::Text, u"text"},       {ParameterKind::Integer, u"integer"},
                                  {ParameterKind::Number, u"number"},   {ParameterKind::Date, u"date"},
                                  {ParameterKind::Boolean, u"boolean"}, {ParameterKind::Choice, u"choice"}};

} // namespace

QString kindName(ParameterKind kind)
{
    for (const KindName& k : kindNames)
        if (k.kind == kind)
            return QString::fromUtf16(k.name);
    return QString();
}

std::optional<ParameterKind> kindNamed(QStringView name)
{
    for (const KindName& k : kindNames)
        if (name == QStringView(k.name))
            return k.kind;
    return std::nullopt;
}

bool isValidName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return pattern.match(name).hasMatch();
}

std::optional<ReportValue> read(ParameterKind kind, const QString& text)
{
    const QString t = text.trimmed();
    switch (kind) {
    case ParameterKind::Text:
    case ParameterKind::Choice: return ReportValue::fromText(text);
    case ParameterKind::Integer: {
        bool ok = false;
        const qint64 v = t.toLongLong(&ok);
        return ok ? std::optional(ReportValue::fromInteger(v)) : std::nullopt;
    }
    case ParameterKind::Number: {
        static const QRegularExpression pattern(QStringLiteral("^[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
        bool ok = false;
        const double v = t.toDouble(&ok);
        if (!ok || !std::isfinite(v) || !pattern.match(t).hasMatch())
            return std::nullopt;
        return ReportValue::fromReal(v);
    }
    case ParameterKind::Date: {
        const QDate d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
        if (!d.isValid() || t.size() != 10)
            return std::nullopt;
        return ReportValue::fromDateTime(QDateTime(d, QTime(0, 0)));
    }
    case ParameterKind::Boolean: {
        const QString l = t.toLower();
        if (l == u"true" || l == u"yes" || l == u"1")
            return ReportValue::fromBool(true);
        if (l == u"false" || l == u"no" || l == u"0")
            return ReportValue::fromBool(false);
        return std::nullopt;
    }
    }
    return std::nullopt;
}

QString write(const ReportValue& value)
{
    switch (value.type) {
    case ReportValue::Type::Bool: return value.integer ? QStringLiteral("true") : QStringLiteral("false");
    case ReportValue::Type::DateTime: return value.dateTime.date().toString(QStringLiteral("yyyy-MM-dd"));
    case ReportValue::Type::Real: return QString::number(value.real, 'g', 17);
    default: return plainText(value);
    }
}

QString expected(ParameterKind kind)
{
    switch (kind) {
    case ParameterKind::Integer: return Lang.caption("a whole number");
    case ParameterKind::Number: return Lang.caption("a number written with a full stop, e.g. 12.5");
    case ParameterKind::Date: return Lang.caption("a date written yyyy-mm-dd");
    case ParameterKind::Boolean: return Lang.caption("true or false");
    case ParameterKind::Text:
    case ParameterKind::Choice: break;
    }
    return Lang.caption("a text");
}

ParameterValues complete(const ReportTemplate& report, const ParameterValues& given)
{
    ParameterValues out;
    out.reserve(report.parameters.size());
    for (const ReportParameter& p : report.parameters) {
        ParameterValue v{p.name, {}};
        if (const ReportValue* value = find(given, p.name))
            v.value = *value;
        else if (!p.defaultValue.isEmpty())
            v.value = read(p.kind, p.defaultValue).value_or(ReportValue());
        out.push_back(std::move(v));
    }
    return out;
}

const ReportValue* find(const ParameterValues& values, QStringView name)
{
    for (const ParameterValue& v : values)
        if (QStringView(v.name).compare(name, Qt::CaseInsensitive) == 0)
            return &v.value;
    return nullptr;
}

SqlParams bound(const ParameterValues& values)
{
    SqlParams params;
    for (const ParameterValue& v : values) {
        SqlValue sql;
        switch (v.value.type) {
        case ReportValue::Type::Null: break;
        case ReportValue::Type::Integer:
        case ReportValue::Type::Bool: sql = SqlValue::integer(v.value.integer); break;
        case ReportValue::Type::Real: sql = SqlValue::real(v.value.real); break;
        case ReportValue::Type::DateTime: sql = SqlValue::text(write(v.value).toUtf8()); break;
        case ReportValue::Type::Blob: sql = SqlValue::blob(v.value.blob); break;
        case ReportValue::Type::Text: sql = SqlValue::text(v.value.text.toUtf8()); break;
        }
        params.append({v.name, sql});
    }
    return params;
}

} // namespace ReportParameters
