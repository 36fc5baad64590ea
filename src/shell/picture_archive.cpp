#include "shell/picture_archive.h"

#include "platform/errors.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <zlib.h>

namespace {

// Deflate cannot expand its input by more than about 1032 to 1; a stated size beyond that is
// a lie of the archive, whatever the data that follows.
constexpr qint64 MaxInflateRatio = 1032;
// Output grows in steps from here, so that a stated size alone never makes us allocate.
constexpr qsizetype FirstOutputChunk = 64 * 1024;

class ArchiveReader {
public:
    ArchiveReader(const QByteArray& bytes, const QString& name) : m_bytes(bytes), m_name(name) {}

    qsizetype remaining() const { return m_bytes.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_bytes.size(); }

    qint32 readInt(const QString& what)
    {
        if (remaining() < 4)
            fail(QStringLiteral("it ends inside %1").arg(what));
        const qint32 value = qFromLittleEndian<qint32>(m_bytes.constData() + m_pos);
        m_pos += 4;
        return value;
    }

    QByteArray readBytes(qsizetype length)
    {
        QByteArray bytes = m_bytes.mid(m_pos, length);
        m_pos += length;
        return bytes;
    }

    QByteArray inflateEntry(qint32 size, const QString& entry);

    [[noreturn]] void fail(const QString& what) const
    {
        throw FormatError(QStringLiteral("The picture archive %1 is damaged: %2.").arg(m_name, what));
    }

private:
    const QByteArray& m_bytes;
    QString m_name;
    qsizetype m_pos = 0;
};

struct InflateStream {
    z_stream z{};
    bool open = false;
    ~InflateStream()
    {
        if (open)
            inflateEnd(&z);
    }
};

// Inflates the zlib stream at the current position, which must unpack to exactly size bytes,
// and moves past the stream's end.
QByteArray ArchiveReader::inflateEntry(qint32 size, const QString& entry)
{
    InflateStream stream;
    z_stream& z = stream.z;
    if (inflateInit(&z) != Z_OK)
        fail(QStringLiteral("the decompressor cannot start"));
    stream.open = true;

    const auto* input = reinterpret_cast<const Bytef*>(m_bytes.constData() + m_pos);
    const qsizetype inputSize = remaining();
    qsizetype fed = 0;
    QByteArray out;
    Bytef probe = 0; // one byte of room once out is full: the stream must end without using it
    for (;;) {
        const qsizetype produced = static_cast<qsizetype>(z.total_out);
        if (produced > size)
            fail(QStringLiteral("%1 unpacks to more than its stated %2 bytes").arg(entry).arg(size));
        if (produced == out.size() && out.size() < size)
            out.resize(std::min<qsizetype>(size, std::max(FirstOutputChunk, out.size() * 2)));
        if (produced < out.size()) {
            z.next_out = reinterpret_cast<Bytef*>(out.data()) + produced;
            z.avail_out = static_cast<uInt>(std::min<qsizetype>(out.size() - produced, UINT_MAX));
        } else {
            z.next_out = &probe;
            z.avail_out = 1;
        }
        if (z.avail_in == 0 && fed < inputSize) {
            const qsizetype chunk = std::min<qsizetype>(inputSize - fed, UINT_MAX);
            z.next_in = const_cast<Bytef*>(input + fed);
            z.avail_in = static_cast<uInt>(chunk);
            fed += chunk;
        }
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END)
            break;
        if (rc == Z_OK)
            continue;
        if (rc == Z_BUF_ERROR && z.avail_in == 0 && fed == inputSize)
            fail(QStringLiteral("it ends inside the compressed data of %1").arg(entry));
        fail(QStringLiteral("the compressed data of %1 is damaged (%2)")
                 .arg(entry, z.msg ? QString::fromLatin1(z.msg) : QString::number(rc)));
    }
    if (static_cast<qint64>(z.total_out) != size)
        fail(QStringLiteral("%1 unpacks to %2 bytes instead of its stated %3")
                 .arg(entry)
                 .arg(static_cast<qint64>(z.total_out))
                 .arg(size));
    m_pos += static_cast<qsizetype>(z.total_in);
    return out;
}

} // namespace

void readGraphicsArchive(const QByteArray& archive, const PictureLoader& loader, const QString& archiveName)
{
    ArchiveReader reader(archive, archiveName);
    const qint32 count = reader.readInt(QStringLiteral("the entry count"));
    for (qint64 i = 1; i <= count; ++i) {
        const QString entry = QStringLiteral("entry %1").arg(i);
        const qint32 nameLength = reader.readInt(QStringLiteral("the name length of ") + entry);
        if (nameLength < 0 || nameLength > reader.remaining())
            reader.fail(QStringLiteral("%1 has a name length of %2 bytes, but %3 bytes remain")
                            .arg(entry)
                            .arg(nameLength)
                            .arg(reader.remaining()));
        const QString name = QString::fromLocal8Bit(reader.readBytes(nameLength));
        const QString named = QStringLiteral("%1 (%2)").arg(entry, name);
        const qint32 size = reader.readInt(QStringLiteral("the unpacked size of ") + named);
        if (size < 0 || size > reader.remaining() * MaxInflateRatio)
            reader.fail(QStringLiteral("%1 states an unpacked size of %2 bytes, which %3 remaining bytes cannot hold")
                            .arg(named)
                            .arg(size)
                            .arg(reader.remaining()));
        const QByteArray picture = reader.inflateEntry(size, named);
        // An empty file is no picture; its stream has been checked and passed over.
        if (size > 0)
            loader(picture, name);
    }
}

void LoadGraphics(const QString& fileName, const PictureLoader& loader)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("The picture archive %1 cannot be read: %2").arg(fileName, file.errorString()));
    // Mapping the file spares a copy; it stays open (and mapped) while the entries are read.
    const qint64 size = file.size();
    uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    const QByteArray bytes = mapped ? QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), size)
                                    : file.readAll();
    if (!mapped && file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("The picture archive %1 cannot be read: %2").arg(fileName, file.errorString()));
    readGraphicsArchive(bytes, loader, fileName);
}

namespace {
void appendInt(QByteArray& out, qint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}
} // namespace

QByteArray writeGraphicsArchive(const QList<GraphicsEntry>& entries)
{
    QByteArray out;
    appendInt(out, static_cast<qint32>(entries.size()));
    for (const GraphicsEntry& entry : entries) {
        const QByteArray name = entry.name.toLocal8Bit();
        appendInt(out, static_cast<qint32>(name.size()));
        out.append(name);
        appendInt(out, static_cast<qint32>(entry.data.size()));
        uLongf packedSize = compressBound(static_cast<uLong>(entry.data.size()));
        QByteArray packed(static_cast<qsizetype>(packedSize), Qt::Uninitialized);
        if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                      reinterpret_cast<const Bytef*>(entry.data.constData()),
                      static_cast<uLong>(entry.data.size()), Z_BEST_COMPRESSION)
            != Z_OK)
            throw FormatError(QStringLiteral("The picture %1 cannot be packed").arg(entry.name));
        out.append(packed.constData(), static_cast<qsizetype>(packedSize));
    }
    return out;
}
