#include "report/export/export_file.h"

#include "platform/errors.h"
#include "platform/lang.h"

#include <QDir>

namespace {

constexpr qsizetype blockSize = 256 * 1024;

} // namespace

void cannotWrite(const QString& path, const QString& reason)
{
    throw FileError(Lang.caption("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

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
    cannotWrite(m_file.fileName(), reason);
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
