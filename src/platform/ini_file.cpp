#include "platform/ini_file.h"

#include "platform/errors.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {
bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The upper half of Windows code page 1251 (0x80..0xFF).
const char16_t cp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0..0xFF: А..я
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A,
    0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425,
    0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430,
    0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446,
    0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

QString decodeCp1251(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(b < 0x80 ? QChar(b) : QChar(cp1251High[b - 0x80]));
    }
    return out;
}

QString stripQuotes(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}
} // namespace

QString IniFile::decode(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder dec(QStringConverter::Utf16LE);
        return dec(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder dec(QStringConverter::Utf16BE);
        return dec(bytes.mid(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return decodeCp1251(bytes);
}

IniFile::Line IniFile::parseLine(const QString& text)
{
    Line line;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = trimmed.mid(1, close - 1).trimmed();
        }
        return line;
    }
    if (trimmed.isEmpty() || trimmed.startsWith(u';'))
        return line;
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq <= 0)
        return line; // no key name: not an entry
    line.kind = Line::Entry;
    line.name = trimmed.left(eq).trimmed();
    line.value = stripQuotes(trimmed.mid(eq + 1).trimmed());
    return line;
}

IniFile IniFile::fromText(const QString& text)
{
    IniFile ini;
    if (!text.contains(QStringLiteral("\r\n")) && text.contains(u'\n'))
        ini.m_eol = QStringLiteral("\n");
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(u'\r', u'\n');
    QStringList rows = normalised.split(u'\n');
    if (!rows.isEmpty() && rows.back().isEmpty())
        rows.removeLast();
    ini.m_lines.reserve(rows.size());
    for (const QString& row : rows)
        ini.m_lines.push_back(parseLine(row));
    return ini;
}

IniFile IniFile::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return IniFile();
    return fromText(decode(file.readAll()));
}

std::vector<std::pair<int, int>> IniFile::ranges(const QString& section) const
{
    std::vector<std::pair<int, int>> result;
    const int n = static_cast<int>(m_lines.size());
    for (int i = 0; i < n; ++i) {
        if (m_lines[i].kind != Line::Section || !sameName(m_lines[i].name, section))
            continue;
        int end = i + 1;
        while (end < n && m_lines[end].kind != Line::Section)
            ++end;
        result.emplace_back(i + 1, end);
        i = end - 1;
    }
    return result;
}

QStringList IniFile::sections() const
{
    QStringList result;
    for (const Line& line : m_lines) {
        if (line.kind != Line::Section)
            continue;
        bool seen = false;
        for (const QString& s : result)
            seen = seen || sameName(s, line.name);
        if (!seen)
            result.append(line.name);
    }
    return result;
}

bool IniFile::hasSection(const QString& section) const
{
    return !ranges(section).empty();
}

QStringList IniFile::keys(const QString& section) const
{
    QStringList result;
    for (const auto& [first, end] : ranges(section)) {
        for (int i = first; i < end; ++i) {
            const Line& line = m_lines[i];
            if (line.kind != Line::Entry)
                continue;
            bool seen = false;
            for (const QString& k : result)
                seen = seen || sameName(k, line.name);
            if (!seen)
                result.append(line.name);
        }
    }
    return result;
}

int IniFile::findEntry(const QString& section, const QString& key) const
{
    for (const auto& [first, end] : ranges(section))
        for (int i = first; i < end; ++i)
            if (m_lines[i].kind == Line::Entry && sameName(m_lines[i].name, key))
                return i;
    return -1;
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    return findEntry(section, key) >= 0;
}

QString IniFile::value(const QString& section, const QString& key,
                       const QString& defaultValue) const
{
    const int i = findEntry(section, key);
    if (i < 0)
        return defaultValue;
    return m_lines[i].value.left(MaxValueLength);
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    const QString text = key + u'=' + value;
    const int existing = findEntry(section, key);
    if (existing >= 0) {
        m_lines[existing] = parseLine(text);
        return;
    }
    const auto found = ranges(section);
    if (found.empty()) {
        m_lines.push_back(parseLine(u'[' + section + u']'));
        m_lines.push_back(parseLine(text));
        return;
    }
    // After the last entry of the first occurrence, so blank lines before the next
    // section stay where they were.
    int at = found.front().first;
    for (int i = found.front().first; i < found.front().second; ++i)
        if (m_lines[i].kind == Line::Entry)
            at = i + 1;
    m_lines.insert(m_lines.begin() + at, parseLine(text));
}

void IniFile::remove(const QString& section, const QString& key)
{
    const int i = findEntry(section, key);
    if (i >= 0)
        m_lines.erase(m_lines.begin() + i);
}

QString IniFile::toText() const
{
    QString out;
    for (const Line& line : m_lines) {
        out += line.text;
        out += m_eol;
    }
    return out;
}

void IniFile::save(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(QStringLiteral("Cannot write the file \"%1\": %2")
                            .arg(path, file.errorString()));
    file.write(toText().toUtf8());
    if (!file.commit())
        throw FileError(QStringLiteral("Cannot write the file \"%1\": %2")
                            .arg(path, file.errorString()));
}
