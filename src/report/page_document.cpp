#include "report/page_document.h"

void Page::setText(PageBox& box, QStringView text)
{
    if (text.size() <= qsizetype(box.length)) {
        // Fits where the placeholder stood: written in place, the store does not grow.
        std::copy(text.begin(), text.end(), texts.begin() + box.offset);
    } else {
        box.offset = quint32(texts.size());
        texts.append(text);
    }
    box.length = quint32(text.size());
}

quint32 PageDocument::addStyle(const BoxStyle& style)
{
    for (size_t i = 0; i < m_styles.size(); ++i)
        if (m_styles[i] == style)
            return quint32(i);
    m_styles.push_back(style);
    return quint32(m_styles.size() - 1);
}

quint32 PageDocument::addImage(const QImage& image)
{
    m_images.push_back(image);
    return quint32(m_images.size() - 1);
}

qsizetype PageDocument::memoryUse() const
{
    qsizetype bytes = 0;
    for (const Page& p : pages)
        bytes += qsizetype(sizeof(Page) + p.boxes.capacity() * sizeof(PageBox)) + p.texts.capacity() * 2;
    for (const QImage& i : m_images)
        bytes += i.sizeInBytes();
    return bytes;
}

std::vector<int> PageDocument::find(int page, const QString& needle) const
{
    std::vector<int> hits;
    if (page < 0 || page >= pageCount() || needle.isEmpty())
        return hits;
    const Page& p = pages[size_t(page)];
    for (size_t i = 0; i < p.boxes.size(); ++i)
        if (p.boxes[i].kind == PageBox::Kind::Text && p.text(p.boxes[i]).contains(needle, Qt::CaseInsensitive))
            hits.push_back(int(i));
    return hits;
}
