#include "report/engine/picture_store.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
#include <QImageWriter>

namespace {

// The largest resolution a picture is kept at: enough for print, bounded in memory.
constexpr double pictureDpi = 300;
// Decoded pictures kept for the boxes that come back to them: a logo on every page, a page
// drawn again. Bytes, not a count: a whole-page picture is as large as a hundred photos.
constexpr qsizetype cacheBytes = 48 * 1024 * 1024;

QSize keptSize(const QSizeF& boxMm)
{
    return QSize(qMax(1, qRound(boxMm.width() / 25.4 * pictureDpi)), qMax(1, qRound(boxMm.height() / 25.4 * pictureDpi)));
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    // A middle zlib level (the PNG writer maps quality 50 to level 4): nearly the size of the
    // default in half its time, for every scaled picture of a report.
    writer.setQuality(50);
    writer.write(image);
    return bytes;
}

} // namespace

PictureStore::PictureStore(SpillStore& store) : m_store(store) {}

quint32 PictureStore::add(const QByteArray& bytes, const QSizeF& boxMm, bool autoTransform)
{
    const QSize most = keptSize(boxMm);
    QByteArray key = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
    key += QByteArray::number(most.width()) + 'x' + QByteArray::number(most.height()) + (autoTransform ? "t" : "");
    if (const auto known = m_known.constFind(key); known != m_known.constEnd())
        return *known;

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (autoTransform)
        reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    QImage image = reader.read();
    if (image.isNull()) {
        m_known.insert(key, none);
        return none;
    }
    Entry entry;
    const bool turned = autoTransform && reader.transformation() != QImageIOHandler::TransformationNone;
    if (image.width() > most.width() || image.height() > most.height()) {
        image = image.scaled(most, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        entry.format = "png";
        entry.stored = m_store.add(encoded(image, "png"));
    } else if (turned) {
        entry.format = "png";
        entry.stored = m_store.add(encoded(image, "png"));
    } else {
        // As it came: decoding these bytes gives this very picture again.
        entry.format = format;
        entry.stored = m_store.add(bytes);
    }
    entry.size = image.size();
    const quint32 index = quint32(m_entries.size());
    m_entries.push_back(entry);
    m_known.insert(key, index);
    remember(index, image);
    return index;
}

void PictureStore::remember(quint32 index, const QImage& image) const
{
    m_cache.emplace_front(index, image);
    m_cacheBytes += image.sizeInBytes();
    while (m_cacheBytes > cacheBytes && m_cache.size() > 1) {
        m_cacheBytes -= m_cache.back().second.sizeInBytes();
        m_cache.pop_back();
    }
}

QImage PictureStore::image(quint32 index) const
{
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
        if (it->first == index) {
            m_cache.splice(m_cache.begin(), m_cache, it);
            return it->second;
        }
    const Entry& entry = m_entries[index];
    const QImage image = QImage::fromData(m_store.read(entry.stored), entry.format.constData());
    remember(index, image);
    return image;
}

QByteArray PictureStore::embeddable(quint32 index, QByteArray* format) const
{
    const Entry& entry = m_entries[index];
    if (entry.format == "png" || entry.format == "jpeg") {
        *format = entry.format;
        const QByteArray view = m_store.read(entry.stored);
        return QByteArray(view.constData(), view.size());
    }
    *format = "png";
    return encoded(image(index), "png");
}
