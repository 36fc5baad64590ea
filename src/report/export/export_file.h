#pragma once

#include "report/engine/page_document.h"
#include "report/engine/progress.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringView>

// Throws FileError "Cannot write <path>: <reason>".
[[noreturn]] void cannotWrite(const QString& path, const QString& reason);

// The export's file under a temporary name, renamed over the target only when complete: a
// cancelled or failed export leaves nothing half-written. Writes are gathered into large blocks.
class ExportFile {
public:
    // Throws FileError when the file cannot be made.
    explicit ExportFile(const QString& fileName);
    ~ExportFile();

    ExportFile& operator<<(const QByteArray& bytes);
    ExportFile& operator<<(const char* text);
    ExportFile& operator<<(QStringView text); // as UTF-8
    void write(const char* data, qsizetype size);

    // The device underneath, for writers that need to seek (zip); flushes first.
    QIODevice& device();
    // Throws FileError when the file cannot be completed.
    void commit();
    void cancel();

    [[noreturn]] void fail(const QString& reason) const;

private:
    void flush();

    QSaveFile m_file;
    QByteArray m_buffer;
};

// Writes the pages one by one through a writer that has page(int) and finish(), telling the
// progress before each page; a cancel drops the unfinished file. False when cancelled.
template <class Writer>
bool writePagesTo(ExportFile& file, Writer& writer, int pageCount, const ReportProgress& progress)
{
    for (int i = 0; i < pageCount; ++i) {
        if (progress && !progress(i, pageCount)) {
            file.cancel();
            return false;
        }
        writer.page(i);
    }
    writer.finish();
    file.commit();
    return true;
}

// A whole document file written by a Writer made of the pages and the file.
template <class Writer>
bool writeDocument(const QString& fileName, const PageDocument& pages, const ReportProgress& progress)
{
    ExportFile file(fileName);
    Writer writer(pages, file);
    return writePagesTo(file, writer, pages.pageCount(), progress);
}
