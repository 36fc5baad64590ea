#include "report/export/zip_writer.h"

#include "platform/lang.h"
#include "report/export/binary.h"
#include "report/export/export_file.h"

#include <QDateTime>
#include <zlib.h>

struct ZipWriter::Entry {
    QByteArray name;
    quint32 crc = 0;
    quint32 compressed = 0, size = 0;
    quint32 headerOffset = 0;
    bool stored = false;
};

struct ZipWriter::State {
    std::vector<Entry> entries;
    bool open = false;
    z_stream z{};
    QByteArray out = QByteArray(64 * 1024, Qt::Uninitialized);
    quint16 dosTime = 0, dosDate = 0;
};

namespace {

// The fields of a zip without its 64-bit extension: a 16-bit count of entries, 32-bit sizes and
// places.
constexpr size_t maxEntries = 0xFFFF;
constexpr qint64 maxPlace = 0xFFFFFFFF;

} // namespace

void ZipWriter::checkPlace(qint64 bytes) const
{
    if (bytes > maxPlace)
        m_file.fail(Lang.caption("the document would be larger than 4 GB"));
}

ZipWriter::ZipWriter(ExportFile& file) : m_file(file), d(std::make_unique<State>())
{
    const QDateTime now = QDateTime::currentDateTime();
    d->dosTime = quint16((now.time().hour() << 11) | (now.time().minute() << 5) | (now.time().second() / 2));
    d->dosDate = quint16(((now.date().year() - 1980) << 9) | (now.date().month() << 5) | now.date().day());
}

ZipWriter::~ZipWriter()
{
    if (d->open && !d->entries.back().stored)
        deflateEnd(&d->z);
}

void ZipWriter::startEntry(const QString& name, bool stored)
{
    if (d->open)
        end();
    if (d->entries.size() >= maxEntries)
        m_file.fail(Lang.caption("the document would hold more than %1 parts").arg(maxEntries));
    QIODevice& device = m_file.device();
    Entry e;
    e.name = name.toUtf8();
    e.stored = stored;
    checkPlace(device.pos() + 30 + e.name.size());
    e.headerOffset = quint32(device.pos());
    QByteArray header;
    put32(header, 0x04034b50);
    put16(header, 20);
    put16(header, 0x0800); // names in UTF-8; sizes are patched in, no data descriptor
    put16(header, stored ? 0 : 8);
    put16(header, d->dosTime);
    put16(header, d->dosDate);
    put32(header, 0);
    put32(header, 0);
    put32(header, 0);
    put16(header, quint16(e.name.size()));
    put16(header, 0);
    header.append(e.name);
    m_file << header;
    d->entries.push_back(e);
    d->open = true;
    if (!stored) {
        d->z = z_stream{};
        // Raw deflate, fast: the packages are mostly markup that compresses well anyway.
        if (deflateInit2(&d->z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            m_file.fail(Lang.caption("the compressor did not start"));
    }
}

void ZipWriter::begin(const QString& name)
{
    startEntry(name, false);
}

void ZipWriter::deflateOut(const char* data, qsizetype size, bool last)
{
    Entry& e = d->entries.back();
    d->z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    d->z.avail_in = uInt(size);
    do {
        d->z.next_out = reinterpret_cast<Bytef*>(d->out.data());
        d->z.avail_out = uInt(d->out.size());
        deflate(&d->z, last ? Z_FINISH : Z_NO_FLUSH);
        const qsizetype produced = d->out.size() - qsizetype(d->z.avail_out);
        checkPlace(qint64(e.headerOffset) + 30 + e.name.size() + e.compressed + produced);
        m_file.write(d->out.constData(), produced);
        e.compressed += quint32(produced);
    } while (d->z.avail_out == 0 || (last && d->z.avail_in > 0));
}

void ZipWriter::write(const char* data, qsizetype size)
{
    Entry& e = d->entries.back();
    checkPlace(qint64(e.size) + size);
    e.crc = quint32(crc32(e.crc, reinterpret_cast<const Bytef*>(data), uInt(size)));
    e.size += quint32(size);
    if (e.stored) {
        checkPlace(qint64(e.headerOffset) + 30 + e.name.size() + e.compressed + size);
        m_file.write(data, size);
        e.compressed += quint32(size);
    } else {
        deflateOut(data, size, false);
    }
}

ZipWriter& ZipWriter::operator<<(const QByteArray& bytes)
{
    write(bytes.constData(), bytes.size());
    return *this;
}

ZipWriter& ZipWriter::operator<<(const char* text)
{
    write(text, qsizetype(qstrlen(text)));
    return *this;
}

ZipWriter& ZipWriter::operator<<(QStringView text)
{
    return *this << text.toUtf8();
}

void ZipWriter::end()
{
    if (!d->open)
        return;
    Entry& e = d->entries.back();
    if (!e.stored) {
        deflateOut(nullptr, 0, true);
        deflateEnd(&d->z);
    }
    d->open = false;
    QIODevice& device = m_file.device();
    const qint64 end = device.pos();
    QByteArray sizes;
    put32(sizes, e.crc);
    put32(sizes, e.compressed);
    put32(sizes, e.size);
    if (!device.seek(e.headerOffset + 14) || device.write(sizes) != sizes.size() || !device.seek(end))
        m_file.fail(device.errorString());
}

void ZipWriter::addStored(const QString& name, const QByteArray& data)
{
    startEntry(name, true);
    *this << data;
    end();
}

void ZipWriter::add(const QString& name, const QByteArray& data)
{
    begin(name);
    *this << data;
    end();
}

void ZipWriter::finish()
{
    end();
    const qint64 place = m_file.device().pos();
    checkPlace(place);
    const quint32 start = quint32(place);
    QByteArray dir;
    for (const Entry& e : d->entries) {
        put32(dir, 0x02014b50);
        put16(dir, 20);
        put16(dir, 20);
        put16(dir, 0x0800);
        put16(dir, e.stored ? 0 : 8);
        put16(dir, d->dosTime);
        put16(dir, d->dosDate);
        put32(dir, e.crc);
        put32(dir, e.compressed);
        put32(dir, e.size);
        put16(dir, quint16(e.name.size()));
        put16(dir, 0);
        put16(dir, 0);
        put16(dir, 0);
        put16(dir, 0);
        put32(dir, 0);
        put32(dir, e.headerOffset);
        dir.append(e.name);
    }
    const quint32 directorySize = quint32(dir.size());
    put32(dir, 0x06054b50);
    put16(dir, 0);
    put16(dir, 0);
    put16(dir, quint16(d->entries.size()));
    put16(dir, quint16(d->entries.size()));
    put32(dir, directorySize);
    put32(dir, start);
    put16(dir, 0);
    m_file << dir;
}
