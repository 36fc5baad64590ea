#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <limits>
#include <vector>

// The record ids of a grid's rows, as texts. A grid can list a million records, so an entry
// that is the plain decimal form of a number is kept as the number; any other text (rare:
// author SQL may name any column id) is kept aside as text. Reads like a QStringList.
class TIdList {
public:
    TIdList() = default;
    TIdList(std::initializer_list<QString> texts);
    TIdList(const QStringList& texts);
    TIdList& operator=(std::initializer_list<QString> texts);
    TIdList& operator=(const QStringList& texts);

    qsizetype size() const { return static_cast<qsizetype>(m_values.size()); }
    qsizetype count() const { return size(); }
    bool isEmpty() const { return m_values.empty(); }
    QString at(qsizetype i) const;
    QString operator[](qsizetype i) const { return at(i); }
    QString value(qsizetype i) const { return i >= 0 && i < size() ? at(i) : QString(); }
    QStringList toStringList() const;

    // The entry read as a 32-bit integer; -1 when it is not one.
    qint32 idAt(qsizetype i) const;

    void append(const QString& text);
    void appendUtf8(const char* text, int length);
    void appendNumber(qint64 value);
    void clear();
    void reserve(qsizetype n) { m_values.reserve(static_cast<size_t>(n)); }
    void squeeze() { m_values.shrink_to_fit(); }

    // Bytes held, for measuring the grid.
    qsizetype memoryBytes() const;

    bool operator==(const TIdList& other) const { return toStringList() == other.toStringList(); }

private:
    // Marks an entry whose text is kept in m_texts.
    static constexpr qint64 TextEntry = std::numeric_limits<qint64>::min();

    std::vector<qint64> m_values;
    QHash<qsizetype, QString> m_texts;
};
