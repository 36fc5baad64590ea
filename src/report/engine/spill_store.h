#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QFile;

// Bytes kept in memory up to a threshold and in a temporary file past it: the packed pages and
// the encoded pictures of a report, however long, hold no more than a small index in memory.
class SpillStore {
public:
    struct Ref {
        qint64 offset = 0; // in the store: memory, or the file once spilled
        quint32 size = 0;
    };

    SpillStore();
    ~SpillStore();
    SpillStore(const SpillStore&) = delete;
    SpillStore& operator=(const SpillStore&) = delete;

    // Throws FileError when the temporary file cannot be written.
    Ref add(const QByteArray& bytes);
    // The bytes; those still in memory are not copied and stay valid until the next add.
    // Throws FileError when the temporary file cannot be read.
    QByteArray read(const Ref& ref) const;

    // Bytes kept in memory before they go to the temporary file (tests make it small).
    void setThreshold(qsizetype bytes) { m_threshold = bytes; }
    bool hasSpilled() const { return m_file != nullptr; }
    qsizetype memoryUse() const { return m_pending.capacity(); }

private:
    void spill();

    QByteArray m_pending; // what is not yet in the file
    qint64 m_fileSize = 0;
    std::unique_ptr<QFile> m_file;
    qsizetype m_threshold = 8 * 1024 * 1024;
};
