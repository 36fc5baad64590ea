#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// An INI file with the semantics of the Windows profile functions: sections and keys keep
// their file order, section and key names are found without regard to letter case, values
// are read up to 2047 characters, and writing or deleting a key keeps the rest of the file
// exactly as it was. (QSettings reorders keys, which tables.ini cannot afford.)
//
// Files are read as UTF-8 (with or without a byte-order mark) or UTF-16 with a byte-order
// mark; bytes that are not valid UTF-8 are read in the Windows Cyrillic code page (CP1251).
// Files are written as UTF-8.
class IniFile {
public:
    static constexpr int MaxValueLength = 2047;

    IniFile() = default;

    // Reads the file; a missing or unreadable file gives an empty INI.
    static IniFile load(const QString& path);
    // Parses text that is already decoded.
    static IniFile fromText(const QString& text);
    static QString decode(const QByteArray& bytes);

    // Section names in file order; a section written twice is listed once.
    QStringList sections() const;
    bool hasSection(const QString& section) const;
    // Key names of a section in file order, as written (with their prefixes).
    // The keys of every occurrence of a repeated section are listed, each name once.
    QStringList keys(const QString& section) const;
    bool contains(const QString& section, const QString& key) const;
    // The value of the first occurrence of the key, cut at MaxValueLength characters.
    QString value(const QString& section, const QString& key,
                  const QString& defaultValue = QString()) const;

    void setValue(const QString& section, const QString& key, const QString& value);
    void remove(const QString& section, const QString& key);

    QString toText() const;
    // Writes the file as UTF-8; throws FileError when the file system refuses.
    void save(const QString& path) const;

private:
    struct Line {
        QString text;
        enum Kind { Other, Section, Entry } kind = Other;
        QString name;   // section name or key name (trimmed)
        QString value;  // entry value (trimmed, quotes removed)
    };
    static Line parseLine(const QString& text);
    // Index range [first line after header, end) of each occurrence of the section.
    std::vector<std::pair<int, int>> ranges(const QString& section) const;
    int findEntry(const QString& section, const QString& key) const;

    std::vector<Line> m_lines;
    QString m_eol = QStringLiteral("\r\n");
};
