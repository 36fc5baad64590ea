#pragma once

#include "controls/byte_buffer.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

    // Values written before, by their stored text, in slots chosen by a hash: a column of
    // dates repeats its values, and looking one up costs a fraction of writing it.
    struct Remembered;
    struct FreeRemembered {
        void operator()(Remembered* remembered) const;
    };
    bool recall(const char* stored, int length, ByteBuffer& out, Remembered** slot) const;

    std::vector<Token> m_tokens;
    mutable std::unique_ptr<Remembered, FreeRemembered> m_remembered;
    // The most bytes one value can take in the compiled pattern.
    size_t m_maxLength = 0;
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

    // Whether values stored as integers are better read as numbers than as text: their
    // display text follows from the number alone (INTEGER and BOOLEAN columns).
    bool readsIntegers() const { return m_integers; }
    // Appends the display text of a value stored as an integer.
    void appendInteger(qint64 value, ByteBuffer& out) const;

private:
    Kind m_kind;
    bool m_integers = false;
    void appendConverted(const char* stored, int length, ByteBuffer& out) const;

    std::shared_ptr<const DateTextFormatter> m_dates;
    QByteArray m_yes;
    QByteArray m_no;
    // Texts that had to be converted, by their stored form: a column repeats its values.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    mutable std::unordered_map<std::string, std::string, Hash, std::equal_to<>> m_converted;
};

// True when one of the bytes is 0x80 or above (the text is not plain ASCII).
bool hasNonAsciiByte(const char* bytes, int length);

// Appends the decimal text of the number, as SQLite writes an integer.
void appendDecimal(qint64 value, ByteBuffer& out);
