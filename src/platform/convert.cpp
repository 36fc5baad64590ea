#include "platform/convert.h"

std::optional<qint32> parseInt32(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && text[i] == u'$') {
        hex = true;
        ++i;
    } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;

    quint64 value = 0;
    int digits = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<quint64>(d);
        ++digits;
        if (hex ? (value > 0xFFFFFFFFull) : (value > 0x80000000ull))
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;

    if (hex) {
        const auto pattern = static_cast<qint32>(static_cast<quint32>(value));
        return negative ? static_cast<qint32>(0u - static_cast<quint32>(pattern)) : pattern;
    }
    if (!negative && value > 0x7FFFFFFFull)
        return std::nullopt;
    return negative ? static_cast<qint32>(-static_cast<qint64>(value)) : static_cast<qint32>(value);
}

qint32 StrToIntDef(const QString& text, qint32 defaultValue)
{
    const auto value = parseInt32(text);
    return value ? *value : defaultValue;
}
