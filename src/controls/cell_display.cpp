#include "controls/cell_display.h"

#include "catalogue/sql_text.h"
#include "platform/lang.h"
#include "platform/wide_text.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Cells are mostly short: a library call per copy would cost more than the copy.
void appendBytes(ByteBuffer& out, const char* bytes, size_t length)
{
    char* to = out.extend(length);
    if (length >= 16) {
        std::memcpy(to, bytes, length);
    } else if (length >= 8) {
        std::memcpy(to, bytes, 8);
        std::memcpy(to + length - 8, bytes + length - 8, 8);
    } else if (length >= 4) {
        std::memcpy(to, bytes, 4);
        std::memcpy(to + length - 4, bytes + length - 4, 4);
    } else {
        for (size_t i = 0; i < length; ++i)
            to[i] = bytes[i];
    }
}

void appendBytes(ByteBuffer& out, const QByteArray& bytes)
{
    appendBytes(out, bytes.constData(), static_cast<size_t>(bytes.size()));
}

char* writeNumber(char* out, int value, int width)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n < width)
        digits[n++] = '0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

char* writeBytes(char* out, const QByteArray& bytes)
{
    std::memcpy(out, bytes.constData(), static_cast<size_t>(bytes.size()));
    return out + bytes.size();
}

// True when the bytes are valid UTF-8 of characters below U+00F7 only: ToDisplayText leaves
// such a text as it is, so its bytes can be kept without decoding.
bool belowWideCharacters(const char* bytes, int length)
{
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        quint64 word;
        std::memcpy(&word, bytes + i, 8);
        if (word & 0x8080808080808080ULL)
            break;
    }
    for (; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80)
            continue;
        if (i + 1 >= length)
            return false;
        const auto next = static_cast<unsigned char>(bytes[i + 1]);
        // C2 80..BF is U+0080..U+00BF, C3 80..B6 is U+00C0..U+00F6.
        if (!((b == 0xC2 && next >= 0x80 && next <= 0xBF) || (b == 0xC3 && next >= 0x80 && next <= 0xB6)))
            return false;
        ++i;
    }
    return true;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int digitsAt(const char* s, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i)
        value = value * 10 + (s[i] - '0');
    return value;
}

// The proleptic Gregorian calendar of QDate, years 1 to 9999.
bool validDate(int year, int month, int day)
{
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= Days[month - 1] + (month == 2 && leap ? 1 : 0);
}

struct StoredParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The stored forms the program itself writes: "yyyy-mm-dd", optionally followed by " hh:nn",
// ":ss" and ".zzz". Anything else is left to the exact conversion.
bool parseCanonical(const char* s, int n, StoredParts& p)
{
    if (n != 10 && n != 16 && n != 19 && n != 23)
        return false;
    auto digitsOk = [s](std::initializer_list<int> at) {
        for (int i : at)
            if (!isDigit(s[i]))
                return false;
        return true;
    };
    if (!digitsOk({0, 1, 2, 3, 5, 6, 8, 9}) || s[4] != '-' || s[7] != '-')
        return false;
    p.year = digitsAt(s, 0, 4);
    p.month = digitsAt(s, 5, 2);
    p.day = digitsAt(s, 8, 2);
    if (n > 10) {
        if (s[10] != ' ' || s[13] != ':' || !digitsOk({11, 12, 14, 15}))
            return false;
        p.hour = digitsAt(s, 11, 2);
        p.minute = digitsAt(s, 14, 2);
    }
    if (n > 16) {
        if (s[16] != ':' || !digitsOk({17, 18}))
            return false;
        p.second = digitsAt(s, 17, 2);
    }
    if (n > 19 && (s[19] != '.' || !digitsOk({20, 21, 22})))
        return false;
    return validDate(p.year, p.month, p.day) && p.hour < 24 && p.minute < 60 && p.second < 60;
}

// A quoted part of a QLocale pattern, read the way QLocale reads it; i stands on the quote
// and ends after the closing one.
QString readQuoted(const QString& pattern, qsizetype& i)
{
    ++i;
    if (i == pattern.size())
        return QString();
    if (pattern.at(i) == u'\'') {
        ++i;
        return QStringLiteral("'");
    }
    QString text;
    while (i < pattern.size()) {
        if (pattern.at(i) == u'\'') {
            if (i + 1 < pattern.size() && pattern.at(i + 1) == u'\'') {
                text += u'\'';
                i += 2;
                continue;
            }
            break;
        }
        text += pattern.at(i++);
    }
    if (i < pattern.size())
        ++i;
    return text;
}

bool hasAmPm(const QString& pattern)
{
    qsizetype i = 0;
    while (i < pattern.size()) {
        if (pattern.at(i) == u'\'') {
            readQuoted(pattern, i);
            continue;
        }
        if (pattern.at(i).toLower() == u'a')
            return true;
        ++i;
    }
    return false;
}

qsizetype repeatCount(const QString& pattern, qsizetype i)
{
    qsizetype j = i + 1;
    while (j < pattern.size() && pattern.at(j) == pattern.at(i))
        ++j;
    return j - i;
}

// Values whose written forms cover every kind of token: one- and two-digit days, months and
// hours, both halves of the day, every weekday and every month.
const char* const Samples[] = {
    "2001-01-01 00:00:00.000", "2002-02-02 01:02:03.000", "1999-03-13 09:09:09.000",
    "2005-04-14 11:59:59.000", "2010-05-15 12:00:00.000", "2012-06-16 12:30:01.000",
    "2013-07-17 13:05:07.000", "2014-08-18 20:10:10.000", "2015-09-19 23:59:59.000",
    "2016-10-20 10:45:00.000", "2017-11-21 06:06:06.000", "2018-12-22 18:18:18.000",
    "1900-01-03 07:00:00.000", "2099-12-31 22:01:00.000", "2020-02-29 00:30:00.000",
};

} // namespace

bool hasNonAsciiByte(const char* bytes, int length)
{
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        quint64 word;
        std::memcpy(&word, bytes + i, 8);
        if (word & 0x8080808080808080ULL)
            return true;
    }
    for (; i < length; ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return true;
    return false;
}

void appendDecimal(qint64 value, ByteBuffer& out)
{
    char digits[24];
    int n = 0;
    // Counted in the negative range, which also holds the lowest number.
    qint64 v = value < 0 ? value : -value;
    do {
        digits[n++] = static_cast<char>('0' - v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0)
        digits[n++] = '-';
    char* to = out.extend(static_cast<size_t>(n));
    while (n > 0)
        *to++ = digits[--n];
}

// ---- DateTextFormatter ----

struct DateTextFormatter::Token {
    enum Kind {
        Literal,
        Day,
        Day2,
        DayName,
        Month,
        Month2,
        MonthName,
        Year2,
        Year4,
        Hour12,
        Hour12_2,
        Hour24,
        Hour24_2,
        Minute,
        Minute2,
        Second,
        Second2,
        AmPm
    };
    Kind kind = Literal;
    QByteArray text;
    // DayName: Monday first; MonthName: January first; AmPm: before and after noon.
    std::vector<QByteArray> names;
};

DateTextFormatter::DateTextFormatter(const QString& pattern, Exact exact) : m_exact(std::move(exact))
{
    m_compiled = compile(pattern) && agreesWithExact();
}

DateTextFormatter::~DateTextFormatter() = default;
DateTextFormatter::DateTextFormatter(DateTextFormatter&&) noexcept = default;
DateTextFormatter& DateTextFormatter::operator=(DateTextFormatter&&) noexcept = default;

bool DateTextFormatter::isCompiled() const
{
    return m_compiled;
}

bool DateTextFormatter::compile(const QString& pattern)
{
    const QLocale locale;
    const bool twelveHour = hasAmPm(pattern);
    auto literal = [this](const QString& text) {
        if (m_tokens.empty() || m_tokens.back().kind != Token::Literal)
            m_tokens.push_back(Token{});
        m_tokens.back().text += text.toUtf8();
    };
    auto token = [this](Token::Kind kind, std::vector<QByteArray> names = {}) {
        Token t;
        t.kind = kind;
        t.names = std::move(names);
        m_tokens.push_back(std::move(t));
    };
    auto monthNames = [&locale](const QString& form) {
        std::vector<QByteArray> names;
        for (int m = 1; m <= 12; ++m)
            names.push_back(locale.toString(QDate(2001, m, 15), form).toUtf8());
        return names;
    };
    auto dayNames = [&locale](const QString& form) {
        std::vector<QByteArray> names; // 2001-01-01 was a Monday
        for (int d = 1; d <= 7; ++d)
            names.push_back(locale.toString(QDate(2001, 1, d), form).toUtf8());
        return names;
    };

    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern.at(i);
        if (c == u'\'') {
            literal(readQuoted(pattern, i));
            continue;
        }
        qsizetype rep = repeatCount(pattern, i);
        switch (c.unicode()) {
        case 'y':
            if (rep >= 4) {
                rep = 4;
                token(Token::Year4);
            } else if (rep >= 2) {
                rep = 2;
                token(Token::Year2);
            } else {
                literal(QString(c));
            }
            break;
        case 'M':
            rep = qMin<qsizetype>(rep, 4);
            if (rep == 1)
                token(Token::Month);
            else if (rep == 2)
                token(Token::Month2);
            else
                token(Token::MonthName, monthNames(QString(rep, c)));
            break;
        case 'd':
            rep = qMin<qsizetype>(rep, 4);
            if (rep == 1)
                token(Token::Day);
            else if (rep == 2)
                token(Token::Day2);
            else
                token(Token::DayName, dayNames(QString(rep, c)));
            break;
        case 'h':
        case 'H': {
            rep = qMin<qsizetype>(rep, 2);
            const bool twelve = c == u'h' && twelveHour;
            token(twelve ? (rep == 1 ? Token::Hour12 : Token::Hour12_2)
                         : (rep == 1 ? Token::Hour24 : Token::Hour24_2));
            break;
        }
        case 'm':
            rep = qMin<qsizetype>(rep, 2);
            token(rep == 1 ? Token::Minute : Token::Minute2);
            break;
        case 's':
            rep = qMin<qsizetype>(rep, 2);
            token(rep == 1 ? Token::Second : Token::Second2);
            break;
        case 'a':
        case 'A': {
            rep = (i + 1 < pattern.size() && pattern.at(i + 1).toLower() == u'p') ? 2 : 1;
            const QString form = pattern.mid(i, rep);
            token(Token::AmPm, {locale.toString(QTime(1, 0), form).toUtf8(),
                                locale.toString(QTime(13, 0), form).toUtf8()});
            break;
        }
        case 'z':
        case 't':
            return false; // milliseconds and time zones: left to the exact conversion
        default:
            literal(QString(rep, c));
            break;
        }
        i += rep;
    }
    m_maxLength = 0;
    for (const Token& t : m_tokens) {
        size_t longest = static_cast<size_t>(t.text.size());
        for (const QByteArray& name : t.names)
            longest = std::max(longest, static_cast<size_t>(name.size()));
        m_maxLength += std::max<size_t>(longest, 4);
    }
    return true;
}

bool DateTextFormatter::agreesWithExact() const
{
    for (const char* sample : Samples) {
        ByteBuffer compiled;
        const int length = static_cast<int>(std::strlen(sample));
        if (!appendCompiled(sample, length, compiled))
            return false;
        const QByteArray exact = m_exact(QString::fromLatin1(sample)).toUtf8();
        if (QByteArray(compiled.data(), static_cast<qsizetype>(compiled.size())) != exact)
            return false;
    }
    return true;
}

bool DateTextFormatter::appendCompiled(const char* stored, int length, ByteBuffer& out) const
{
    StoredParts p;
    if (!parseCanonical(stored, length, p))
        return false;
    const size_t at = out.size();
    char* const begin = out.extend(m_maxLength);
    char* o = begin;
    for (const Token& t : m_tokens) {
        switch (t.kind) {
        case Token::Literal:
            o = writeBytes(o, t.text);
            break;
        case Token::Day:
        case Token::Day2:
            o = writeNumber(o, p.day, t.kind == Token::Day2 ? 2 : 1);
            break;
        case Token::DayName:
            o = writeBytes(o, t.names[QDate(p.year, p.month, p.day).dayOfWeek() - 1]);
            break;
        case Token::Month:
        case Token::Month2:
            o = writeNumber(o, p.month, t.kind == Token::Month2 ? 2 : 1);
            break;
        case Token::MonthName:
            o = writeBytes(o, t.names[p.month - 1]);
            break;
        case Token::Year2:
            o = writeNumber(o, p.year % 100, 2);
            break;
        case Token::Year4:
            o = writeNumber(o, p.year, 4);
            break;
        case Token::Hour12:
        case Token::Hour12_2: {
            const int hour = p.hour == 0 ? 12 : (p.hour > 12 ? p.hour - 12 : p.hour);
            o = writeNumber(o, hour, t.kind == Token::Hour12_2 ? 2 : 1);
            break;
        }
        case Token::Hour24:
        case Token::Hour24_2:
            o = writeNumber(o, p.hour, t.kind == Token::Hour24_2 ? 2 : 1);
            break;
        case Token::Minute:
        case Token::Minute2:
            o = writeNumber(o, p.minute, t.kind == Token::Minute2 ? 2 : 1);
            break;
        case Token::Second:
        case Token::Second2:
            o = writeNumber(o, p.second, t.kind == Token::Second2 ? 2 : 1);
            break;
        case Token::AmPm:
            o = writeBytes(o, t.names[p.hour < 12 ? 0 : 1]);
            break;
        }
    }
    out.truncate(at + static_cast<size_t>(o - begin));
    return true;
}

// Room for the stored forms ("yyyy-mm-dd hh:nn:ss.000" at most) and for what they become.
struct DateTextFormatter::Remembered {
    static constexpr int ShortestStored = 8;
    static constexpr int LongestStored = 23;
    static constexpr int LongestText = 48;
    // Room for thousands of different days, in pairs of slots. The slots come zeroed from
    // the system, so that only those in use take memory: a short column touches few of them.
    static constexpr int SlotBits = 14;

    char stored[LongestStored];
    quint8 storedLength; // 0: the slot is free
    quint8 textLength;
    char text[LongestText];
};

void DateTextFormatter::FreeRemembered::operator()(Remembered* remembered) const
{
    std::free(remembered);
}

namespace {
quint64 load8(const char* bytes)
{
    quint64 word;
    std::memcpy(&word, bytes, 8);
    return word;
}
} // namespace

// True when the value was written before: its text is appended. Otherwise slot is where the
// text, once written, may be kept (null: the value is not one to keep).
bool DateTextFormatter::recall(const char* stored, int length, ByteBuffer& out, Remembered** slot) const
{
    using R = Remembered;
    *slot = nullptr;
    if (length < R::ShortestStored || length > R::LongestStored)
        return false;
    // Three words that together cover every byte of a text of 8 to 23 bytes.
    const quint64 hash = load8(stored) * 0x9E3779B97F4A7C15ULL
                         ^ load8(stored + length - 8) * 0xC2B2AE3D27D4EB4FULL
                         ^ (length >= 16 ? load8(stored + 8) : 0) * 0x165667B19E3779F9ULL
                         ^ quint64(length);
    if (!m_remembered) {
        m_remembered.reset(static_cast<Remembered*>(std::calloc(size_t(1) << R::SlotBits, sizeof(Remembered))));
        if (!m_remembered)
            return false;
    }
    // Two slots per hash: a column of a few thousand different days fills most slots, and
    // with one slot per hash two days in one slot would keep pushing each other out.
    Remembered* const set = m_remembered.get() + ((hash >> (64 - R::SlotBits + 1)) << 1);
    for (int way = 0; way < 2; ++way) {
        const Remembered& r = set[way];
        if (r.storedLength == length && std::memcmp(r.stored, stored, size_t(length)) == 0) {
            appendBytes(out, r.text, r.textLength);
            return true;
        }
    }
    *slot = set[0].storedLength == 0 ? &set[0] : set[1].storedLength == 0 ? &set[1] : &set[hash & 1];
    return false;
}

void DateTextFormatter::append(const char* stored, int length, ByteBuffer& out) const
{
    if (length == 0)
        return; // NULL and empty text are no date
    Remembered* slot = nullptr;
    if (recall(stored, length, out, &slot))
        return;
    const size_t mark = out.size();
    if (!m_compiled || !appendCompiled(stored, length, out)) {
        out.truncate(mark);
        appendBytes(out, m_exact(QString::fromUtf8(stored, length)).toUtf8());
    }
    const size_t written = out.size() - mark;
    if (slot && written <= size_t(Remembered::LongestText)) {
        std::memcpy(slot->stored, stored, size_t(length));
        slot->storedLength = quint8(length);
        if (written > 0) // an empty buffer may have no storage at all
            std::memcpy(slot->text, out.data() + mark, written);
        slot->textLength = quint8(written);
    }
}

// ---- CellDisplay ----

namespace {

// The regional short date, a blank and the long time without its time zone: what
// FormatDateTimeText makes of "c".
QString dateTimePattern()
{
    const QLocale locale;
    QString time;
    bool quoted = false;
    for (const QChar c : locale.timeFormat(QLocale::LongFormat)) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        time += c;
    }
    return locale.dateFormat(QLocale::ShortFormat) + u' ' + time.trimmed();
}

std::shared_ptr<const DateTextFormatter> formatterFor(CellDisplay::Kind kind)
{
    const QLocale locale;
    QString pattern;
    QString exactPattern;
    switch (kind) {
    case CellDisplay::Date:
        pattern = exactPattern = locale.dateFormat(QLocale::ShortFormat);
        break;
    case CellDisplay::Time:
        pattern = exactPattern = locale.timeFormat(QLocale::ShortFormat);
        break;
    case CellDisplay::DateTime:
        pattern = dateTimePattern();
        exactPattern = QStringLiteral("c");
        break;
    default:
        return nullptr;
    }
    return std::make_shared<const DateTextFormatter>(
        pattern, [exactPattern](const QString& stored) {
            return FormatDateTimeText(stored, exactPattern);
        });
}

} // namespace

CellDisplay::CellDisplay(Kind kind) : m_kind(kind)
{
    m_dates = formatterFor(kind);
    if (kind == Boolean) {
        m_yes = Lang.Yes.toUtf8();
        m_no = Lang.No.toUtf8();
        m_integers = true;
    }
}

CellDisplay CellDisplay::forType(const QString& type)
{
    if (type == u"INTEGER") {
        CellDisplay display(Plain);
        display.m_integers = true;
        return display;
    }
    if (type == u"DATE")
        return CellDisplay(Date);
    if (type == u"TIME")
        return CellDisplay(Time);
    if (type == u"DATETIME")
        return CellDisplay(DateTime);
    if (type == u"BOOLEAN")
        return CellDisplay(Boolean);
    return CellDisplay(Plain);
}

void CellDisplay::append(const char* stored, int length, ByteBuffer& out) const
{
    switch (m_kind) {
    case Plain:
        // Only a text with a character of code 247 or more changes for display.
        if (LettersKeptAsTyped() || belowWideCharacters(stored, length))
            appendBytes(out, stored, static_cast<size_t>(length));
        else
            appendConverted(stored, length, out);
        break;
    case Date:
    case Time:
    case DateTime:
        m_dates->append(stored, length, out);
        break;
    case Boolean:
        if (length == 1 && stored[0] == '1')
            appendBytes(out, m_yes);
        else if (length == 1 && stored[0] == '0')
            appendBytes(out, m_no);
        break;
    }
}

void CellDisplay::appendConverted(const char* stored, int length, ByteBuffer& out) const
{
    constexpr size_t MostRemembered = 4096;
    const std::string_view key(stored, static_cast<size_t>(length));
    const auto known = m_converted.find(key);
    if (known != m_converted.end()) {
        appendBytes(out, known->second.data(), known->second.size());
        return;
    }
    const QByteArray display = ToDisplayText(QString::fromUtf8(stored, length)).toUtf8();
    appendBytes(out, display);
    if (m_converted.size() < MostRemembered)
        m_converted.emplace(key, display.toStdString());
}

void CellDisplay::appendInteger(qint64 value, ByteBuffer& out) const
{
    switch (m_kind) {
    case Plain:
        appendDecimal(value, out);
        break;
    case Boolean:
        if (value == 1)
            appendBytes(out, m_yes);
        else if (value == 0)
            appendBytes(out, m_no);
        break;
    default: {
        ByteBuffer text;
        appendDecimal(value, text);
        append(text.data(), static_cast<int>(text.size()), out);
        break;
    }
    }
}

QString CellDisplay::display(const QString& stored) const
{
    const QByteArray utf8 = stored.toUtf8();
    ByteBuffer out;
    append(utf8.constData(), static_cast<int>(utf8.size()), out);
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}
