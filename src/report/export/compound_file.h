#pragma once

#include <QString>

class ExportFile;

// A compound file (the container of the older office formats) holding one stream, written as it
// goes: the header first, then the stream's bytes from the caller, then the directory and the
// sector tables. The stream is padded to the size from which it lives in ordinary sectors, so
// no mini stream is ever needed.
class CompoundFile {
public:
    // Writes the header for a stream of the given size (before padding).
    CompoundFile(ExportFile& file, const QString& streamName, qint64 streamSize);
    // After exactly streamSize bytes of the stream: pads it, writes the directory and tables.
    void finish();

    static constexpr qint64 minimumStream = 4096;
    static constexpr int sectorSize = 512;

private:
    ExportFile& m_file;
    QString m_name;
    qint64 m_size;
    quint32 m_streamSectors = 0, m_fatSectors = 0, m_difatSectors = 0;
};
