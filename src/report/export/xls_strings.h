#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTemporaryFile>
#include <memory>
#include <vector>

class ExportFile;

namespace Xls {

// The workbook's shared strings. Every text goes to a temporary file as it will be written,
// only recent ones are looked up again (group names, check marks, repeated values), so the
// strings held in memory do not grow with the report. The records they fill are counted as
// they come: the globals before them need their size.
class SharedStrings {
public:
    // Throws FileError when the temporary file cannot be made.
    SharedStrings();
    ~SharedStrings();

    // The string's index in the table.
    quint32 add(const QString& text);
    // The bytes of the SST record and its CONTINUE records.
    qint64 size() const;
    // Writes them; the file's place is where the records start.
    void write(ExportFile& out);
    // The EXTSST record: every few strings' places, for readers that look a string up without
    // reading those before it. sstStart: where the SST record starts in the workbook stream.
    QByteArray extSst(qint64 sstStart) const;

private:
    class Layout;
    void flush();

    QTemporaryFile m_file;
    QByteArray m_pending;
    QHash<QString, quint32> m_recent;
    quint32 m_count = 0, m_uses = 0;
    std::unique_ptr<Layout> m_size;
    std::vector<std::pair<qint64, quint16>> m_marks; // every eighth string's place
};

} // namespace Xls
