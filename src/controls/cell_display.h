#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

// Bytes of display text as the record grid stores them.
using ByteBuffer = std::vector<char>;

// Writes stored date/time texts ("yyyy-mm-dd hh:nn:ss.000") in a regional pattern without a
// QDateTime and a QLocale call per value: a grid column of dates can hold a million values.
// The pattern is compiled once; texts in another form, and patterns whose output the compiled
// form does not reproduce exactly, go through the exact (slow) conversion instead.
class DateTextFormatter {
public:
    using Exact = std::function<QString(const QString& storedText)>;

    // pattern: the QLocale pattern that exact applies.
    DateTextFormatter(const QString& pattern, Exact exact);
    ~DateTextFormatter();
    DateTextFormatter(DateTextFormatter&&) noexcept;
    DateTextFormatter& operator=(DateTextFormatter&&) noexcept;

    void append(const char* stored, int length, ByteBuffer& out) const;
    // Whether the compiled pattern is in use (false: every value takes the exact way).
    bool isCompiled() const;

private:
    struct Token;
    bool compile(const QString& pattern);
    bool appendCompiled(const char* stored, int length, ByteBuffer& out) const;
    bool agreesWithExact() const;

    std::vector<Token> m_tokens;
    bool m_compiled = false;
    Exact m_exact;
};

// How one grid column turns a stored value into its display text, chosen once per column
// from the catalogue type of the column: DATE, TIME and DATETIME in regional formats, BOOLEAN
// as the language table's Yes and No, anything else through ToDisplayText.
class CellDisplay {
public:
    enum Kind { Plain, Date, Time, DateTime, Boolean };

    explicit CellDisplay(Kind kind = Plain);
    static CellDisplay forType(const QString& type);

    Kind kind() const { return m_kind; }
    // Appends the display text of a stored UTF-8 value (NULL read as empty text).
    void append(const char* stored, int length, ByteBuffer& out) const;
    QString display(const QString& stored) const;

private:
    Kind m_kind;
    std::shared_ptr<const DateTextFormatter> m_dates;
    QByteArray m_yes;
    QByteArray m_no;
};

// True when one of the bytes is 0x80 or above (the text is not plain ASCII).
bool hasNonAsciiByte(const char* bytes, int length);
