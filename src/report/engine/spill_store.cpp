#include "report/engine/spill_store.h"

#include "platform/errors.h"
#include "platform/lang.h"

#include <QDir>
#include <QTemporaryFile>

namespace {

// Once spilled, new bytes reach the file in blocks of about this size.
constexpr qsizetype flushBytes = 1024 * 1024;

} // namespace

SpillStore::SpillStore() = default;

SpillStore::~SpillStore() = default;

SpillStore::Ref SpillStore::add(const QByteArray& bytes)
{
    const Ref ref{m_fileSize + m_pending.size(), quint32(bytes.size())};
    m_pending.append(bytes);
    if (m_file ? m_pending.size() >= flushBytes : m_pending.size() > m_threshold)
        spill();
    return ref;
}

void SpillStore::spill()
{
    if (!m_file) {
        auto file = std::make_unique<QTemporaryFile>(QDir(QDir::tempPath()).filePath(QStringLiteral("varnel-pages-XXXXXX")));
        if (!file->open())
            throw FileError(Lang.caption("Cannot make a temporary file for the report's pages in %1: %2")
                                .arg(QDir::toNativeSeparators(QDir::tempPath()), file->errorString()));
        m_file = std::move(file);
    }
    if (!m_file->seek(m_fileSize) || m_file->write(m_pending) != m_pending.size())
        throw FileError(Lang.caption("Cannot write the report's pages to %1: %2")
                            .arg(QDir::toNativeSeparators(m_file->fileName()), m_file->errorString()));
    m_fileSize += m_pending.size();
    m_pending.clear();
    m_pending.squeeze();
}

QByteArray SpillStore::read(const Ref& ref) const
{
    if (ref.offset >= m_fileSize)
        return QByteArray::fromRawData(m_pending.constData() + (ref.offset - m_fileSize), ref.size);
    QByteArray bytes;
    if (m_file->seek(ref.offset))
        bytes = m_file->read(ref.size);
    if (bytes.size() != qsizetype(ref.size))
        throw FileError(Lang.caption("Cannot read the report's pages from %1: %2")
                            .arg(QDir::toNativeSeparators(m_file->fileName()), m_file->errorString()));
    return bytes;
}
