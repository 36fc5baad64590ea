#include "controls/id_list.h"

#include "platform/convert.h"

namespace {

// The number when the text is exactly its plain decimal form ("-" and digits, no leading
// zero, no "+", no blanks), so that writing the number back gives the same text.
bool plainDecimal(const char* s, int n, qint64& value)
{
    int i = 0;
    const bool negative = n > 0 && s[0] == '-';
    if (negative)
        i = 1;
    const int digits = n - i;
    if (digits < 1 || digits > 19 || (s[i] == '0' && (digits > 1 || negative)))
        return false;
    quint64 v = 0;
    for (; i < n; ++i) {
        const char c = s[i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<quint64>(c - '0');
    }
    // 19 digits can exceed the range; the lowest number itself marks text entries.
    if (v > static_cast<quint64>(std::numeric_limits<qint64>::max()))
        return false;
    value = negative ? -static_cast<qint64>(v) : static_cast<qint64>(v);
    return true;
}

} // namespace

TIdList::TIdList(std::initializer_list<QString> texts)
{
    for (const QString& t : texts)
        append(t);
}

TIdList::TIdList(const QStringList& texts)
{
    for (const QString& t : texts)
        append(t);
}

TIdList& TIdList::operator=(std::initializer_list<QString> texts)
{
    clear();
    for (const QString& t : texts)
        append(t);
    return *this;
}

TIdList& TIdList::operator=(const QStringList& texts)
{
    clear();
    for (const QString& t : texts)
        append(t);
    return *this;
}

QString TIdList::at(qsizetype i) const
{
    const qint64 v = m_values.at(static_cast<size_t>(i));
    return v == TextEntry ? m_texts.value(i) : QString::number(v);
}

QStringList TIdList::toStringList() const
{
    QStringList list;
    list.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        list.append(at(i));
    return list;
}

qint32 TIdList::idAt(qsizetype i) const
{
    const qint64 v = m_values.at(static_cast<size_t>(i));
    if (v == TextEntry)
        return StrToIntDef(m_texts.value(i), -1);
    if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        return -1;
    return static_cast<qint32>(v);
}

void TIdList::append(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    appendUtf8(utf8.constData(), static_cast<int>(utf8.size()));
}

void TIdList::appendUtf8(const char* text, int length)
{
    qint64 v = 0;
    if (plainDecimal(text, length, v)) {
        m_values.push_back(v);
        return;
    }
    m_texts.insert(size(), QString::fromUtf8(text, length));
    m_values.push_back(TextEntry);
}

void TIdList::appendNumber(qint64 value)
{
    if (value == TextEntry) {
        append(QString::number(value));
        return;
    }
    m_values.push_back(value);
}

void TIdList::clear()
{
    std::vector<qint64>().swap(m_values);
    m_texts.clear();
}

qsizetype TIdList::memoryBytes() const
{
    qsizetype bytes = static_cast<qsizetype>(m_values.capacity() * sizeof(qint64));
    for (auto it = m_texts.cbegin(); it != m_texts.cend(); ++it)
        bytes += 64 + it.value().size() * 2;
    return bytes;
}
