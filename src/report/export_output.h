#pragma once

#include "report/report_export.h"

#include <QByteArray>
#include <QColor>
#include <QSaveFile>
#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

// What the document filters share: a file written whole or not at all, a zip package written
// as it goes, and the small conversions every markup needs.

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

// A zip package written entry by entry, each deflated while it is written, so that a large
// content part never has to be held whole. The first entry may be stored uncompressed (an
// OpenDocument's mimetype must be).
class ZipWriter {
public:
    explicit ZipWriter(ExportFile& file);
    ~ZipWriter();

    void addStored(const QString& name, const QByteArray& data);
    void add(const QString& name, const QByteArray& data);
    // An entry written in pieces: begin, any number of writes, end.
    void begin(const QString& name);
    ZipWriter& operator<<(const QByteArray& bytes);
    ZipWriter& operator<<(const char* text);
    ZipWriter& operator<<(QStringView text);
    void write(const char* data, qsizetype size);
    void end();
    // Writes the central directory; the package is complete after it.
    void finish();

private:
    struct Entry;
    void startEntry(const QString& name, bool stored);
    void deflateOut(const char* data, qsizetype size, bool last);

    ExportFile& m_file;
    struct State;
    std::unique_ptr<State> d;
};

class QImage;

// An OpenDocument package: the mimetype first and stored, then the parts as they are written,
// each picture once, and the manifest that lists them all at the end.
class OdfPackage {
public:
    OdfPackage(ExportFile& file, const QByteArray& mediaType);
    ZipWriter& zip() { return m_zip; }
    // The package path of a document picture, written the first time it is asked for (never
    // while a part is being written).
    QByteArray picture(const QImage& image, quint32 index);
    void finish();

    // The namespaces every part declares.
    static const char* const namespaces;

private:
    ZipWriter m_zip;
    QByteArray m_mediaType;
    QByteArray m_entries;
    std::vector<bool> m_pictures;
};

// Markup escaping of a text: & < > always, quotes for attribute values.
void appendEscaped(QByteArray& out, QStringView text, bool attribute = false);
QByteArray escaped(QStringView text, bool attribute = false);
// A text as OpenDocument paragraph content: runs of spaces, tabs and line breaks as its elements
// (a line break ends the paragraph and opens the next, whose opening tag is given).
void appendOdfText(QByteArray& out, QStringView text, const QByteArray& paragraphOpen);
// A length with at most three decimals and no trailing zeros ("12.5").
QByteArray number(double value);
// "#rrggbb".
QByteArray hexColor(const QColor& color);
