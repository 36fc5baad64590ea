#include "report/engine/display_format.h"

#include "platform/errors.h"
#include "platform/lang.h"

#include <QStringList>

DisplayFormat::DisplayFormat(const QString& format) : m_text(format)
{
    if (format.isEmpty())
        return;
    const qsizetype colon = format.indexOf(u':');
    const QString kind = colon < 0 ? format : format.left(colon);
    const QString rest = colon < 0 ? QString() : format.mid(colon + 1);
    auto decimals = [&](QStringView digits) {
        bool ok = digits.isEmpty();
        m_decimals = ok ? 0 : digits.toInt(&ok);
        if (!ok || m_decimals < 0 || m_decimals > 15)
            throw FormatError(Lang.caption("the format \"%1\" needs 0 to 15 decimals").arg(format));
    };
    if (colon < 0 && (kind.startsWith(u'n') || kind.startsWith(u'f'))) {
        m_kind = kind.startsWith(u'n') ? Kind::Number : Kind::Fixed;
        decimals(QStringView(kind).mid(1));
    } else if (kind == u"date" || kind == u"time" || kind == u"datetime") {
        m_kind = kind == u"date" ? Kind::Date : kind == u"time" ? Kind::Time : Kind::DateTime;
        m_pattern = rest;
    } else if (kind == u"bool") {
        m_kind = Kind::Bool;
        const QStringList words = rest.split(u';');
        if (words.size() != 2)
            throw FormatError(Lang.caption("the format \"%1\" needs two words, e.g. bool:Yes;No").arg(format));
        m_yes = words[0];
        m_no = words[1];
    } else {
        throw FormatError(Lang.caption("unknown display format \"%1\"").arg(format));
    }
}

QString DisplayFormat::datePattern(const QLocale& locale) const
{
    if (!m_pattern.isEmpty())
        return m_pattern;
    switch (m_kind) {
    case Kind::Time: return locale.timeFormat(QLocale::ShortFormat);
    case Kind::DateTime: return locale.dateTimeFormat(QLocale::ShortFormat);
    default: return locale.dateFormat(QLocale::ShortFormat);
    }
}

namespace {

QString plainShow(const ReportValue& v, const QLocale& locale)
{
    switch (v.type) {
    case ReportValue::Type::Real: {
        QLocale l = locale;
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(v.real, 'g', 15);
    }
    case ReportValue::Type::DateTime:
        return v.dateTime.time().msecsSinceStartOfDay() == 0 ? locale.toString(v.dateTime.date(), QLocale::ShortFormat)
                                                             : locale.toString(v.dateTime, QLocale::ShortFormat);
    default: return plainText(v);
    }
}

} // namespace

QString DisplayFormat::show(const ReportValue& v, const QLocale& locale) const
{
    if (v.isNull())
        return QString();
    switch (m_kind) {
    case Kind::Plain: return plainShow(v, locale);
    case Kind::Number:
    case Kind::Fixed: {
        const std::optional<double> number = numberOf(v);
        if (!number)
            return plainShow(v, locale);
        QLocale l = locale;
        if (m_kind == Kind::Fixed)
            l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l.toString(*number, 'f', m_decimals);
    }
    case Kind::Date:
    case Kind::Time:
    case Kind::DateTime: {
        const QDateTime dt = asDateTime(v);
        if (!dt.isValid())
            return plainShow(v, locale);
        if (!m_pattern.isEmpty())
            return locale.toString(dt, m_pattern);
        if (m_kind == Kind::Date)
            return locale.toString(dt.date(), QLocale::ShortFormat);
        if (m_kind == Kind::Time)
            return locale.toString(dt.time(), QLocale::ShortFormat);
        return locale.toString(dt, QLocale::ShortFormat);
    }
    case Kind::Bool: return v.isTrue() ? m_yes : m_no;
    }
    return QString();
}
