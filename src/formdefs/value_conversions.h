#pragma once

#include "formdefs/forms_document.h"
#include "platform/anchors.h"

#include <QColor>
#include <QString>
#include <optional>
#include <utility>

// The value conversions shared by every element of forms.xml. No attribute is mandatory and
// none raises an error: an absent attribute reads as the empty text and an invalid value
// falls back to its default.
namespace FormValues {

// ---- conversions of attribute text ----

qint32 toInteger(const QString& text, qint32 defaultValue);
// The toolkit's colour encoding (00BBGGRR explicit, FF0000nn system colour); invalid text
// gives the default encoding.
QColor toColor(const QString& text, qint32 defaultValue);
// Only the exact text "True" is true.
bool toFlag(const QString& text);

// Name from a list: the value of the first name equal to the text (letter case counts), or
// nothing, in which case the property keeps the value it had.
template <class T, std::size_t N>
std::optional<T> toNamed(const QString& text, const std::pair<const char16_t*, T> (&names)[N])
{
    for (const auto& [name, value] : names)
        if (text == QStringView(name))
            return value;
    return std::nullopt;
}

// Exactly four characters, one per side (left, top, right, bottom), "2" meaning anchored;
// any other length leaves the anchors as they are.
std::optional<Anchors::Sides> toAnchors(const QString& text);

// The comparison operator of a filter control. Controls that translate brackets read "(" as
// "<" and ")" as ">"; the edit box alone also keeps "%s%"; anything else becomes "=".
enum class FilterKind { Edit, DateTimePicker, MonthCalendar };
QString normalizeFilter(const QString& text, FilterKind kind);

// The four characters backslash, r, backslash, n stand for a line break (CR LF) in SQL text.
QString restoreLineBreaks(const QString& text);

// ---- the same, read from an element ----

class Reader {
public:
    explicit Reader(const FormsElement& element) : m_element(element) {}

    const FormsElement& element() const { return m_element; }
    bool has(const QString& attribute) const { return m_element.hasAttribute(attribute); }
    QString text(const QString& attribute) const { return m_element.attribute(attribute); }
    qint32 integer(const QString& attribute, qint32 defaultValue) const
    {
        return toInteger(text(attribute), defaultValue);
    }
    QColor color(const QString& attribute, qint32 defaultValue) const
    {
        return toColor(text(attribute), defaultValue);
    }
    // The colour, or nothing when the attribute is absent or not an integer.
    std::optional<QColor> colorIfGiven(const QString& attribute) const;
    bool flag(const QString& attribute) const { return toFlag(text(attribute)); }
    template <class T, std::size_t N>
    std::optional<T> named(const QString& attribute,
                           const std::pair<const char16_t*, T> (&names)[N]) const
    {
        return toNamed(text(attribute), names);
    }
    std::optional<Anchors::Sides> anchors() const;

private:
    const FormsElement& m_element;
};

} // namespace FormValues
