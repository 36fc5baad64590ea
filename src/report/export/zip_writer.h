#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <memory>

class ExportFile;

// A zip package written entry by entry, each deflated while it is written, so that a large
// content part never has to be held whole. The first entry may be stored uncompressed (an
// OpenDocument's mimetype must be). What its fields cannot hold (more than 65,535 entries,
// 4 GB) is refused with FileError before it is written.
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
    // Throws FileError when a size or place does not fit the 32 bits the fields have.
    void checkPlace(qint64 bytes) const;

    ExportFile& m_file;
    struct State;
    std::unique_ptr<State> d;
};
