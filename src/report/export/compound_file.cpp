#include "report/export/compound_file.h"

#include "report/export/binary.h"
#include "report/export/export_file.h"

#include <QByteArray>
#include <algorithm>

namespace {

constexpr quint32 freeSector = 0xFFFFFFFF, endOfChain = 0xFFFFFFFE, fatSector = 0xFFFFFFFD, difatSector = 0xFFFFFFFC;
constexpr quint32 noStream = 0xFFFFFFFF;
constexpr int entriesPerSector = CompoundFile::sectorSize / 4;
constexpr int headerFatEntries = 109;

quint32 ceilDiv(quint64 a, quint64 b)
{
    return quint32((a + b - 1) / b);
}

QByteArray directoryEntry(const QString& name, int type, quint32 child, quint32 start, quint32 size)
{
    QByteArray e;
    const QString n = name.left(31);
    for (const QChar c : n)
        put16(e, c.unicode());
    e.append(64 - e.size(), '\0');
    put16(e, n.isEmpty() ? 0 : quint32(n.size() + 1) * 2);
    e += char(type);
    e += char(1); // black: a tree of one node needs no balancing
    put32(e, noStream);
    put32(e, noStream);
    put32(e, child);
    e.append(16 + 4 + 16, '\0'); // class id, state bits, creation and modification times
    put32(e, start);
    put32(e, size);
    put32(e, 0);
    return e;
}

} // namespace

CompoundFile::CompoundFile(ExportFile& file, const QString& streamName, qint64 streamSize)
    : m_file(file), m_name(streamName), m_size(streamSize)
{
    m_streamSectors = ceilDiv(quint64(std::max(streamSize, minimumStream)), sectorSize);
    // The tables describe every sector, their own included: grow them until they do.
    for (;;) {
        const quint64 sectors = quint64(m_streamSectors) + 1 + m_fatSectors + m_difatSectors;
        const quint32 fat = ceilDiv(sectors, entriesPerSector);
        const quint32 difat = fat > headerFatEntries ? ceilDiv(fat - headerFatEntries, entriesPerSector - 1) : 0;
        if (fat == m_fatSectors && difat == m_difatSectors)
            break;
        m_fatSectors = fat;
        m_difatSectors = difat;
    }
    const quint32 firstFat = m_streamSectors + 1;
    QByteArray h;
    h += QByteArray::fromHex("D0CF11E0A1B11AE1");
    h.append(16, '\0');
    put16(h, 0x003E);
    put16(h, 0x0003);
    put16(h, 0xFFFE);
    put16(h, 9); // 512-byte sectors
    put16(h, 6);
    h.append(6, '\0');
    put32(h, 0);
    put32(h, m_fatSectors);
    put32(h, m_streamSectors); // the directory follows the stream
    put32(h, 0);
    put32(h, quint32(minimumStream));
    put32(h, endOfChain);
    put32(h, 0);
    put32(h, m_difatSectors ? firstFat + m_fatSectors : endOfChain);
    put32(h, m_difatSectors);
    for (quint32 i = 0; i < headerFatEntries; ++i)
        put32(h, i < m_fatSectors ? firstFat + i : freeSector);
    m_file << h;
}

void CompoundFile::finish()
{
    const qint64 padded = qint64(m_streamSectors) * sectorSize;
    if (padded > m_size)
        m_file << QByteArray(padded - m_size, '\0');

    QByteArray dir = directoryEntry(QStringLiteral("Root Entry"), 5, 1, endOfChain, 0);
    dir += directoryEntry(m_name, 2, noStream, 0, quint32(std::max(m_size, minimumStream)));
    dir += directoryEntry(QString(), 0, noStream, 0, 0);
    dir += directoryEntry(QString(), 0, noStream, 0, 0);
    m_file << dir;

    const quint32 firstFat = m_streamSectors + 1;
    QByteArray fat;
    fat.reserve(qsizetype(m_fatSectors) * sectorSize);
    for (quint32 i = 0; i + 1 < m_streamSectors; ++i)
        put32(fat, i + 1);
    put32(fat, endOfChain); // the stream's last sector
    put32(fat, endOfChain); // the directory
    for (quint32 i = 0; i < m_fatSectors; ++i)
        put32(fat, fatSector);
    for (quint32 i = 0; i < m_difatSectors; ++i)
        put32(fat, difatSector);
    while (fat.size() < qsizetype(m_fatSectors) * sectorSize)
        put32(fat, freeSector);
    m_file << fat;

    // Table sectors beyond the header's 109, 127 to a sector, each sector pointing to the next.
    QByteArray difat;
    for (quint32 d = 0; d < m_difatSectors; ++d) {
        for (quint32 k = 0; k < entriesPerSector - 1; ++k) {
            const quint32 i = headerFatEntries + d * (entriesPerSector - 1) + k;
            put32(difat, i < m_fatSectors ? firstFat + i : freeSector);
        }
        put32(difat, d + 1 < m_difatSectors ? firstFat + m_fatSectors + d + 1 : endOfChain);
    }
    m_file << difat;
}
