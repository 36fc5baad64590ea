#pragma once

#include "report/engine/value.h"

#include <QLocale>
#include <QString>

// How an embedded value is shown: numbers with decimals, dates with a pattern, booleans with
// two words. Parsed once, when the template is compiled; the pages keep the parsed formats, so
// that spreadsheets give their cells the same ones.
class DisplayFormat {
public:
    enum class Kind { Plain, Number, Fixed, Date, Time, DateTime, Bool };

    DisplayFormat() = default;
    // Throws FormatError with the reason when the format is not understood.
    explicit DisplayFormat(const QString& format);

    QString show(const ReportValue& v, const QLocale& locale) const;

    // As the template writes it ("n2", "date:dd.MM.yyyy"; empty for none).
    const QString& text() const { return m_text; }
    Kind kind() const { return m_kind; }
    // Number (with group separators) and fixed formats.
    bool isNumber() const { return m_kind == Kind::Number || m_kind == Kind::Fixed; }
    bool isDate() const { return m_kind == Kind::Date || m_kind == Kind::Time || m_kind == Kind::DateTime; }
    int decimals() const { return m_decimals; }
    // The Qt pattern a date format shows with: its own, or the locale's short one of its kind.
    QString datePattern(const QLocale& locale) const;

    bool operator==(const DisplayFormat& other) const { return m_text == other.m_text; }

private:
    QString m_text;
    Kind m_kind = Kind::Plain;
    int m_decimals = 0;
    QString m_pattern, m_yes, m_no;
};
