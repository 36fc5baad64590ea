#include "report/export/markup.h"

void appendEscaped(QByteArray& out, QStringView text, bool attribute)
{
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': attribute ? out += "&quot;" : out += c; break;
        default:
            // Control characters other than tab and line breaks are not allowed in XML at all.
            if (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                break;
            out += c;
        }
    }
}

QByteArray escaped(QStringView text, bool attribute)
{
    QByteArray out;
    appendEscaped(out, text, attribute);
    return out;
}

void appendOdfText(QByteArray& out, QStringView text, const QByteArray& paragraphOpen)
{
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'\t') {
            out += "<text:tab/>";
            ++i;
        } else if (c == u'\n') {
            out += "</text:p>" + paragraphOpen;
            ++i;
        } else if (c == u'\r') {
            ++i;
        } else if (c == u' ') {
            qsizetype j = i;
            while (j < text.size() && text[j] == u' ')
                ++j;
            // Markup collapses spaces at the ends and in runs: those are written as elements.
            const bool inner = j - i == 1 && i > 0 && j < text.size() && text[i - 1] != u'\n' && text[j] != u'\n';
            out += inner ? QByteArray(" ") : "<text:s text:c=\"" + QByteArray::number(j - i) + "\"/>";
            i = j;
        } else {
            qsizetype j = i;
            while (j < text.size() && text[j] != u'\t' && text[j] != u'\n' && text[j] != u'\r' && text[j] != u' ')
                ++j;
            appendEscaped(out, text.mid(i, j - i));
            i = j;
        }
    }
}

QByteArray number(double value)
{
    QByteArray s = QByteArray::number(value, 'f', 3);
    while (s.endsWith('0'))
        s.chop(1);
    if (s.endsWith('.'))
        s.chop(1);
    return s == "-0" ? QByteArray("0") : s;
}

QByteArray hexColor(const QColor& color)
{
    return color.name(QColor::HexRgb).toLatin1();
}

QByteArray mm(double value)
{
    return number(value) + "mm";
}

QStringView checkBoxText(bool checked)
{
    return checked ? u"\u2611" : u"\u2610";
}
