#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPixmap>

// A list of same-sized pictures shared by many controls (button icons, edit buttons, the
// picture toolbar), addressed by index.
class TImageList : public QObject {
    Q_OBJECT
public:
    TImageList(int width, int height, QObject* parent = nullptr)
        : QObject(parent), m_size(width, height) {}

    QSize imageSize() const { return m_size; }
    int count() const { return static_cast<int>(m_images.size()); }
    void add(const QPixmap& pixmap) { m_images.append(pixmap); }
    // An empty pixmap for an index outside the list.
    QPixmap pixmap(int index) const
    {
        return index >= 0 && index < m_images.size() ? m_images[index] : QPixmap();
    }
    QIcon icon(int index) const
    {
        const QPixmap p = pixmap(index);
        return p.isNull() ? QIcon() : QIcon(p);
    }

private:
    QSize m_size;
    QList<QPixmap> m_images;
};
