#pragma once

#include "report/engine/spill_store.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <list>
#include <vector>

// The pictures a report's pages show. Each is kept once however many boxes show it (the same
// bytes in a box of the same size are one picture), encoded, in the store the pages spill to;
// only a few are held decoded. A report with its own photo on every row so holds a small index
// per picture in memory, not the pictures.
class PictureStore {
public:
    static constexpr quint32 none = ~0u;

    explicit PictureStore(SpillStore& store);

    // A picture from its encoded bytes (a BLOB, the contents of a picture file), at no more than
    // the kept resolution for a box of that size in millimetres; none for bytes that are no
    // picture. autoTransform turns a photograph as its camera says it is held.
    quint32 add(const QByteArray& encoded, const QSizeF& boxMm, bool autoTransform = false);
    quint32 count() const { return quint32(m_entries.size()); }
    // The size of the kept picture, known without decoding it.
    QSize size(quint32 index) const { return m_entries[index].size; }
    // The picture decoded. Throws FileError when the spilled store cannot be read.
    QImage image(quint32 index) const;
    // The picture as PNG or JPEG, for documents that embed it; format is "png" or "jpeg".
    QByteArray embeddable(quint32 index, QByteArray* format) const;

    // Bytes held in memory by the decoded pictures, for memory accounting.
    qsizetype memoryUse() const { return m_cacheBytes; }

private:
    struct Entry {
        SpillStore::Ref stored;
        QByteArray format; // of the stored bytes, as the image readers name it
        QSize size;
    };
    void remember(quint32 index, const QImage& image) const;

    SpillStore& m_store;
    std::vector<Entry> m_entries;
    QHash<QByteArray, quint32> m_known; // by the content's hash and the kept size
    mutable std::list<std::pair<quint32, QImage>> m_cache; // most recently used first
    mutable qsizetype m_cacheBytes = 0;
};
