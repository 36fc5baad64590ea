#include "report/export/xls_records.h"

#include "report/export/table_layout.h"

#include <QString>
#include <algorithm>
#include <climits>
#include <cstring>

namespace Xls {

void record(QByteArray& out, quint16 id, const QByteArray& data)
{
    put16(out, id);
    put16(out, quint32(data.size()));
    out += data;
}

bool needsWide(QStringView s)
{
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.unicode() > 0xff; });
}

void putChars(QByteArray& b, QStringView s, bool wide)
{
    for (const QChar c : s)
        wide ? put16(b, c.unicode()) : put8(b, c.unicode());
}

QByteArray unicodeString(QStringView s, bool shortLength)
{
    QByteArray b;
    const bool wide = needsWide(s);
    shortLength ? put8(b, quint32(s.size())) : put16(b, quint32(s.size()));
    put8(b, wide ? 1 : 0);
    putChars(b, s, wide);
    return b;
}

quint32 borderKind(double width)
{
    return width <= 0 ? 0 : width <= 0.4 ? 1 : width <= 0.9 ? 2 : 5;
}

ColourPalette::ColourPalette() : m_colours{qRgb(0, 0, 0), qRgb(255, 255, 255)} {}

quint16 ColourPalette::index(const QColor& colour)
{
    const QRgb rgb = colour.rgb() & 0xffffff;
    for (size_t i = 0; i < m_colours.size(); ++i)
        if ((m_colours[i] & 0xffffff) == rgb)
            return quint16(8 + i);
    if (m_colours.size() < 56) {
        m_colours.push_back(rgb);
        return quint16(8 + m_colours.size() - 1);
    }
    size_t best = 0;
    int distance = INT_MAX;
    for (size_t i = 0; i < m_colours.size(); ++i) {
        const int d = std::abs(qRed(m_colours[i]) - qRed(rgb)) + std::abs(qGreen(m_colours[i]) - qGreen(rgb))
                      + std::abs(qBlue(m_colours[i]) - qBlue(rgb));
        if (d < distance) {
            distance = d;
            best = i;
        }
    }
    return quint16(8 + best);
}

QByteArray ColourPalette::record() const
{
    QByteArray b;
    put16(b, 56);
    for (int i = 0; i < 56; ++i) {
        const QRgb c = size_t(i) < m_colours.size() ? m_colours[size_t(i)] : qRgb(192, 192, 192);
        put8(b, quint32(qRed(c)));
        put8(b, quint32(qGreen(c)));
        put8(b, quint32(qBlue(c)));
        put8(b, 0);
    }
    return b;
}

QString dateCode(const DisplayFormat& format, const QLocale& locale)
{
    QString code;
    for (const TableLayout::PatternPiece& p : TableLayout::datePattern(format.datePattern(locale))) {
        switch (p.letter.unicode()) {
        case 0: {
            QString text = p.text;
            text.remove(u'"');
            if (!text.isEmpty())
                code += u'"' + text + u'"';
            break;
        }
        case 'd': code += QString(std::min(p.count, 4), u'd'); break;
        case 'M': code += QString(std::min(p.count, 4), u'm'); break;
        case 'y': code += p.count > 2 ? QStringLiteral("yyyy") : QStringLiteral("yy"); break;
        case 'h':
        case 'H': code += QString(std::min(p.count, 2), u'h'); break;
        case 'm': code += QString(std::min(p.count, 2), u'm'); break;
        case 's': code += QString(std::min(p.count, 2), u's'); break;
        case 'a':
        case 'A':
        case 'P': code += QStringLiteral("AM/PM"); break;
        default: break;
        }
    }
    return code;
}

} // namespace Xls
