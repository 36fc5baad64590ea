#include "report/export_output.h"

#include "platform/errors.h"

#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QDir>
#include <zlib.h>

namespace {

constexpr qsizetype blockSize = 256 * 1024;

} // namespace

ExportFile::ExportFile(const QString& fileName) : m_file(fileName)
{
    if (!m_file.open(QIODevice::WriteOnly))
        fail(m_file.errorString());
    m_buffer.reserve(blockSize);
}

ExportFile::~ExportFile()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

void ExportFile::fail(const QString& reason) const
{
    throw FileError(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(m_file.fileName()), reason));
}

void ExportFile::write(const char* data, qsizetype size)
{
    m_buffer.append(data, size);
    if (m_buffer.size() >= blockSize)
        flush();
}

ExportFile& ExportFile::operator<<(const QByteArray& bytes)
{
    write(bytes.constData(), bytes.size());
    return *this;
}

ExportFile& ExportFile::operator<<(const char* text)
{
    write(text, qsizetype(qstrlen(text)));
    return *this;
}

ExportFile& ExportFile::operator<<(QStringView text)
{
    return *this << text.toUtf8();
}

void ExportFile::flush()
{
    if (!m_buffer.isEmpty() && m_file.write(m_buffer) != m_buffer.size())
        fail(m_file.errorString());
    m_buffer.clear();
}

QIODevice& ExportFile::device()
{
    flush();
    return m_file;
}

void ExportFile::commit()
{
    flush();
    if (!m_file.commit())
        fail(m_file.errorString());
}

void ExportFile::cancel()
{
    m_buffer.clear();
    m_file.cancelWriting(); // the temporary file goes when this object does
}

// ---------------------------------------------------------------- zip

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

void put16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xff)).append(char(v >> 8));
}

void put32(QByteArray& b, quint32 v)
{
    put16(b, quint16(v & 0xffff));
    put16(b, quint16(v >> 16));
}

} // namespace

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
    QIODevice& device = m_file.device();
    Entry e;
    e.name = name.toUtf8();
    e.stored = stored;
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
            m_file.fail(QStringLiteral("the compressor did not start"));
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
        m_file.write(d->out.constData(), produced);
        e.compressed += quint32(produced);
    } while (d->z.avail_out == 0 || (last && d->z.avail_in > 0));
}

void ZipWriter::write(const char* data, qsizetype size)
{
    Entry& e = d->entries.back();
    e.crc = quint32(crc32(e.crc, reinterpret_cast<const Bytef*>(data), uInt(size)));
    e.size += quint32(size);
    if (e.stored) {
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
    const quint32 start = quint32(m_file.device().pos());
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

// ---------------------------------------------------------------- OpenDocument

const char* const OdfPackage::namespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
    " xmlns:xlink=\"http://www.w3.org/1999/xlink\""
    " xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\""
    " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
    " office:version=\"1.3\"";

OdfPackage::OdfPackage(ExportFile& file, const QByteArray& mediaType) : m_zip(file), m_mediaType(mediaType)
{
    m_zip.addStored(QStringLiteral("mimetype"), mediaType);
}

QByteArray OdfPackage::picture(const QImage& image, quint32 index)
{
    const QByteArray path = "Pictures/image" + QByteArray::number(index) + ".png";
    if (index < m_pictures.size() && m_pictures[index])
        return path;
    if (m_pictures.size() <= index)
        m_pictures.resize(index + 1, false);
    m_pictures[index] = true;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    m_zip.addStored(QString::fromLatin1(path), bytes); // already compressed
    m_entries += "<manifest:file-entry manifest:full-path=\"" + path + "\" manifest:media-type=\"image/png\"/>\n";
    return path;
}

void OdfPackage::finish()
{
    m_zip.add(QStringLiteral("META-INF/manifest.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.3\">\n"
              "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" manifest:media-type=\""
                  + m_mediaType + "\"/>\n"
                  "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
                  "<manifest:file-entry manifest:full-path=\"styles.xml\" manifest:media-type=\"text/xml\"/>\n"
                  + m_entries + "</manifest:manifest>\n");
    m_zip.finish();
}

// ---------------------------------------------------------------- markup

void appendEscaped(QByteArray& out, QStringView text, bool attribute)
{
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': attribute ? out += "&quot;" : out += c; break;
        default:
            // Control characters other than tab and line breaks are not allowed in XML at all.
            if (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                break;
            out += c;
        }
    }
}

QByteArray escaped(QStringView text, bool attribute)
{
    QByteArray out;
    appendEscaped(out, text, attribute);
    return out;
}

void appendOdfText(QByteArray& out, QStringView text, const QByteArray& paragraphOpen)
{
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'\t') {
            out += "<text:tab/>";
            ++i;
        } else if (c == u'\n') {
            out += "</text:p>" + paragraphOpen;
            ++i;
        } else if (c == u'\r') {
            ++i;
        } else if (c == u' ') {
            qsizetype j = i;
            while (j < text.size() && text[j] == u' ')
                ++j;
            // Markup collapses spaces at the ends and in runs: those are written as elements.
            const bool inner = j - i == 1 && i > 0 && j < text.size() && text[i - 1] != u'\n' && text[j] != u'\n';
            out += inner ? QByteArray(" ") : "<text:s text:c=\"" + QByteArray::number(j - i) + "\"/>";
            i = j;
        } else {
            qsizetype j = i;
            while (j < text.size() && text[j] != u'\t' && text[j] != u'\n' && text[j] != u'\r' && text[j] != u' ')
                ++j;
            appendEscaped(out, text.mid(i, j - i));
            i = j;
        }
    }
}

QByteArray number(double value)
{
    QByteArray s = QByteArray::number(value, 'f', 3);
    while (s.endsWith('0'))
        s.chop(1);
    if (s.endsWith('.'))
        s.chop(1);
    return s == "-0" ? QByteArray("0") : s;
}

QByteArray hexColor(const QColor& color)
{
    return color.name(QColor::HexRgb).toLatin1();
}
