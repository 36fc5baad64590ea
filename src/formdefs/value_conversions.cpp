#include "formdefs/value_conversions.h"

#include "platform/colors.h"
#include "platform/convert.h"

namespace FormValues {

qint32 toInteger(const QString& text, qint32 defaultValue)
{
    return StrToIntDef(text, defaultValue);
}

QColor toColor(const QString& text, qint32 defaultValue)
{
    return Colors::fromToolkit(StrToIntDef(text, defaultValue));
}

bool toFlag(const QString& text)
{
    return text == QLatin1String("True");
}

std::optional<Anchors::Sides> toAnchors(const QString& text)
{
    if (text.size() != 4)
        return std::nullopt;
    const auto anchored = [&](int i) { return text[i] == u'2'; };
    return Anchors::Sides{anchored(0), anchored(1), anchored(2), anchored(3)};
}

QString normalizeFilter(const QString& text, FilterKind kind)
{
    QString op = text;
    if (kind != FilterKind::MonthCalendar) {
        op.replace(u'(', u'<');
        op.replace(u')', u'>');
    }
    static const QString comparisons[] = {QStringLiteral("="), QStringLiteral(">"),
                                          QStringLiteral(">="), QStringLiteral("<"),
                                          QStringLiteral("<=")};
    for (const QString& c : comparisons)
        if (op == c)
            return op;
    if (kind == FilterKind::Edit && op == QLatin1String("%s%"))
        return op;
    return QStringLiteral("=");
}

QString restoreLineBreaks(const QString& text)
{
    QString result = text;
    result.replace(QLatin1String("\\r\\n"), QLatin1String("\r\n"));
    return result;
}

std::optional<QColor> Reader::colorIfGiven(const QString& attribute) const
{
    const std::optional<qint32> value = parseInt32(text(attribute));
    if (!value)
        return std::nullopt;
    return Colors::fromToolkit(*value);
}

std::optional<Anchors::Sides> Reader::anchors() const
{
    return toAnchors(text(QStringLiteral("dbAnchors")));
}

} // namespace FormValues
