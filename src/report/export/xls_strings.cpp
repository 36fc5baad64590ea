#include "report/export/xls_strings.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/export/export_file.h"
#include "report/export/xls_records.h"

namespace Xls {

// The shared strings laid out over the SST record and its CONTINUE records: a string's header
// never splits, its characters may, the continuation repeating the width flag. Laid out once
// while the strings come, counting only, and again while they are written: the same steps give
// the same records.
class SharedStrings::Layout {
public:
    explicit Layout(ExportFile* out = nullptr, quint32 uses = 0, quint32 unique = 0) : m_out(out)
    {
        if (m_out) {
            put32(m_data, uses);
            put32(m_data, unique);
        }
    }

    // Where the string starts: bytes from the SST record's start, and from its own record's.
    std::pair<qint64, quint16> add(const char* chars, qsizetype bytes, bool wide)
    {
        const qsizetype unit = wide ? 2 : 1;
        if (m_fill + 3 + unit > maxRecord)
            nextRecord();
        const std::pair<qint64, quint16> at{m_total, quint16(4 + m_fill)};
        QByteArray header;
        put16(header, quint32(bytes / unit));
        put8(header, wide ? 1 : 0);
        append(header.constData(), header.size());
        qsizetype done = 0;
        while (done < bytes) {
            const qsizetype fit = (maxRecord - m_fill) / unit * unit;
            if (fit <= 0) {
                nextRecord();
                append(header.constData() + 2, 1);
                continue;
            }
            const qsizetype take = std::min(fit, bytes - done);
            append(chars + done, take);
            done += take;
        }
        return at;
    }

    void finish()
    {
        if (m_out) {
            QByteArray r;
            record(r, m_id, m_data);
            *m_out << r;
        }
    }

    qint64 size() const { return m_total; }

private:
    void append(const char* data, qsizetype size)
    {
        m_fill += size;
        m_total += size;
        if (m_out)
            m_data.append(data, size);
    }

    void nextRecord()
    {
        finish();
        m_data.clear();
        m_id = Continue;
        m_fill = 0;
        m_total += 4;
    }

    ExportFile* m_out;
    QByteArray m_data;
    quint16 m_id = Sst;
    qsizetype m_fill = 8;  // the two counts
    qint64 m_total = 12;
};

SharedStrings::SharedStrings() : m_size(std::make_unique<Layout>())
{
    if (!m_file.open())
        throw FileError(Lang.caption("Cannot make a temporary file: %1").arg(m_file.errorString()));
}

SharedStrings::~SharedStrings() = default;

quint32 SharedStrings::add(const QString& text)
{
    ++m_uses;
    auto it = m_recent.constFind(text);
    if (it != m_recent.constEnd())
        return *it;
    const quint32 index = m_count++;
    const bool wide = needsWide(text);
    QByteArray chars;
    putChars(chars, text, wide);
    const auto at = m_size->add(chars.constData(), chars.size(), wide);
    if (index % 8 == 0)
        m_marks.push_back(at);
    put8(m_pending, wide ? 1 : 0);
    put32(m_pending, quint32(chars.size()));
    m_pending += chars;
    if (m_pending.size() > 1024 * 1024)
        flush();
    if (m_recent.size() >= 4096)
        m_recent.clear();
    m_recent.insert(text, index);
    return index;
}

qint64 SharedStrings::size() const
{
    return m_size->size();
}

void SharedStrings::flush()
{
    if (m_file.write(m_pending) != m_pending.size())
        throw FileError(Lang.caption("Cannot write a temporary file: %1").arg(m_file.errorString()));
    m_pending.clear();
}

void SharedStrings::write(ExportFile& out)
{
    flush();
    if (!m_file.seek(0))
        throw FileError(Lang.caption("Cannot read a temporary file: %1").arg(m_file.errorString()));
    Layout layout(&out, m_uses, m_count);
    for (quint32 i = 0; i < m_count; ++i) {
        const QByteArray head = m_file.read(5);
        if (head.size() != 5)
            throw FileError(Lang.caption("Cannot read a temporary file: %1").arg(m_file.errorString()));
        const QByteArray chars = m_file.read(qint64(quint8(head[1])) | qint64(quint8(head[2])) << 8
                                             | qint64(quint8(head[3])) << 16 | qint64(quint8(head[4])) << 24);
        layout.add(chars.constData(), chars.size(), head[0] != 0);
    }
    layout.finish();
}

QByteArray SharedStrings::extSst(qint64 sstStart) const
{
    const quint32 perBucket = std::max<quint32>(8, (m_count + 127) / 128 + 7) / 8 * 8;
    QByteArray b, r;
    put16(b, perBucket);
    for (quint32 k = 0; k * perBucket < m_count; ++k) {
        const auto& at = m_marks[k * perBucket / 8];
        put32(b, quint32(sstStart + at.first));
        put16(b, at.second);
        put16(b, 0);
    }
    record(r, ExtSst, b);
    return r;
}

} // namespace Xls
