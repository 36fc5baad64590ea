#include "report/engine/page_document.h"

#include "platform/errors.h"
#include "platform/lang.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cstring>

BoxStyle boxStyleOf(const ReportObject& o)
{
    BoxStyle style;
    style.text = o.style;
    style.lineWidth = o.lineWidth;
    style.lineColor = o.lineColor;
    style.fill = o.fill;
    style.keepAspect = o.keepAspect;
    return style;
}

PageBox::Kind boxKindOf(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::Line: return PageBox::Kind::Line;
    case ObjectKind::Rectangle: return PageBox::Kind::Rectangle;
    case ObjectKind::Picture: return PageBox::Kind::Picture;
    case ObjectKind::CheckBox: return PageBox::Kind::CheckBox;
    case ObjectKind::Text: break;
    }
    return PageBox::Kind::Text;
}

QRectF fittedPicture(const QRectF& box, const QSizeF& picture, bool keepAspect)
{
    if (!keepAspect || picture.isEmpty())
        return box;
    const QSizeF size = picture.scaled(box.size(), Qt::KeepAspectRatio);
    return QRectF(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2, size.width(), size.height());
}

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

const PageValue* Page::value(quint32 box) const
{
    const auto it = std::lower_bound(values.begin(), values.end(), box,
                                     [](const PageValue& v, quint32 b) { return v.box < b; });
    return it != values.end() && it->box == box ? &*it : nullptr;
}

namespace {

// Decoded pages kept for readers that come back to the same page (preview, search, printing a
// range): a handful is enough for all of them.
constexpr size_t cachedPages = 6;

// The packed form of a page: boxes one after another with their own text in UTF-8 (the text
// store is rebuilt on reading), whole numbers as variable-length integers, lengths as the floats
// they are so that every position comes back exactly. A list repeats itself from row to row: a
// box like one a little before it (kind, style, x, width and height) names that box and gives its
// own y alone. That is most of what deflating won, at a fraction of its time; the pages are not
// deflated.
class Packer {
public:
    void byte(quint8 b) { m_out.append(char(b)); }
    void number(quint32 v)
    {
        while (v >= 0x80) {
            byte(quint8(v | 0x80));
            v >>= 7;
        }
        byte(quint8(v));
    }
    template <typename T> void raw(T v) { m_out.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void text(QStringView s)
    {
        // Encoded in a buffer the packer keeps: no allocation a box.
        m_utf8.resize(s.size() * 3);
        const char* end = m_encoder.appendToBuffer(m_utf8.data(), s);
        const qsizetype size = end - m_utf8.constData();
        number(quint32(size));
        m_out.append(m_utf8.constData(), size);
    }
    QByteArray& bytes() { return m_out; }

private:
    QByteArray m_out;
    QByteArray m_utf8;
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

class Unpacker {
public:
    explicit Unpacker(const QByteArray& in) : m_in(in) {}
    quint8 byte()
    {
        need(1);
        return quint8(m_in[m_at++]);
    }
    quint32 number()
    {
        quint32 v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const quint8 b = byte();
            v |= quint32(b & 0x7f) << shift;
            if (!(b & 0x80))
                return v;
        }
        broken();
    }
    template <typename T> T raw()
    {
        T v;
        need(sizeof v);
        std::memcpy(&v, m_in.constData() + m_at, sizeof v);
        m_at += sizeof v;
        return v;
    }
    void text(QString& into)
    {
        const quint32 size = number();
        need(size);
        // Decoded straight onto the end of the page's texts: a UTF-8 byte makes at most one
        // UTF-16 unit.
        const qsizetype at = into.size();
        into.resize(at + size);
        const QChar* end = m_decoder.appendToBuffer(into.data() + at, QByteArrayView(m_in.constData() + m_at, size));
        into.truncate(end - into.constData());
        m_at += size;
    }

    [[noreturn]] static void broken() { throw FileError(Lang.caption("The report's temporary page file is damaged.")); }

private:
    void need(qsizetype bytes)
    {
        if (m_at + bytes > m_in.size())
            broken();
    }

    const QByteArray& m_in;
    qsizetype m_at = 0;
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};

constexpr quint8 checkedFlag = 0x10;
constexpr quint8 likeFlag = 0x20;
// How far back a box like this one is looked for: a row of a list has rarely more boxes.
constexpr size_t likeReach = 24;

// How many boxes back the nearest box like box i stands; 0 for none.
quint32 likeBefore(const std::vector<PageBox>& boxes, size_t i)
{
    const PageBox& b = boxes[i];
    for (size_t back = 1; back <= std::min(i, likeReach); ++back) {
        const PageBox& o = boxes[i - back];
        if (o.kind == b.kind && o.style == b.style && o.x == b.x && o.width == b.width && o.height == b.height)
            return quint32(back);
    }
    return 0;
}

QByteArray pack(const Page& page)
{
    Packer p;
    p.raw(page.width);
    p.raw(page.height);
    p.number(quint32(page.boxes.size()));
    size_t i = 0;
    for (const PageBox& b : page.boxes) {
        const quint8 kind = quint8(quint8(b.kind) | (b.checked ? checkedFlag : 0));
        const quint32 back = likeBefore(page.boxes, i);
        if (back) {
            p.byte(kind | likeFlag);
            p.number(back);
            p.raw(b.y);
        } else {
            p.byte(kind);
            p.number(b.style);
            p.raw(b.x);
            p.raw(b.y);
            p.raw(b.width);
            p.raw(b.height);
        }
        ++i;
        if (b.kind == PageBox::Kind::Text)
            p.text(page.text(b));
        else if (b.kind == PageBox::Kind::Picture)
            p.number(b.offset + 1); // noImage wraps to 0
    }
    p.number(quint32(page.values.size()));
    for (const PageValue& v : page.values) {
        p.number(v.box);
        p.number(v.format);
        p.byte(v.isDate);
        p.raw(v.number);
    }
    return p.bytes();
}

Page unpack(const QByteArray& packed)
{
    Unpacker u(packed);
    Page page;
    page.width = u.raw<float>();
    page.height = u.raw<float>();
    page.boxes.resize(u.number());
    for (size_t i = 0; i < page.boxes.size(); ++i) {
        PageBox& b = page.boxes[i];
        const quint8 kind = u.byte();
        if (kind & likeFlag) {
            const quint32 back = u.number();
            if (back == 0 || back > i)
                u.broken();
            const PageBox& like = page.boxes[i - back];
            b.style = like.style;
            b.x = like.x;
            b.y = u.raw<float>();
            b.width = like.width;
            b.height = like.height;
        } else {
            b.style = u.number();
            b.x = u.raw<float>();
            b.y = u.raw<float>();
            b.width = u.raw<float>();
            b.height = u.raw<float>();
        }
        b.kind = PageBox::Kind(kind & 0x0f);
        b.checked = kind & checkedFlag;
        if (b.kind == PageBox::Kind::Text) {
            b.offset = quint32(page.texts.size());
            u.text(page.texts);
            b.length = quint32(page.texts.size()) - b.offset;
        } else if (b.kind == PageBox::Kind::Picture) {
            b.offset = u.number() - 1;
        }
    }
    page.values.resize(u.number());
    for (PageValue& v : page.values) {
        v.box = u.number();
        v.format = u.number();
        v.isDate = u.byte() != 0;
        v.number = u.raw<double>();
    }
    return page;
}

} // namespace

PageDocument::PageDocument()
{
    m_formats.emplace_back(); // index 0: no display format
}

PageDocument::~PageDocument() = default;

void PageDocument::addPage(Page&& page)
{
    std::sort(page.values.begin(), page.values.end(), [](const PageValue& a, const PageValue& b) { return a.box < b.box; });
    m_index.push_back(Entry{m_store.add(pack(page)), page.width, page.height});
}

PageRef PageDocument::page(int index) const
{
    if (index < 0 || index >= pageCount())
        return nullptr;
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
        if (it->first == index) {
            m_cache.splice(m_cache.begin(), m_cache, it);
            return it->second;
        }
    auto page = std::make_shared<Page>(unpack(m_store.read(m_index[size_t(index)].packed)));
    applyLateTexts(index, *page);
    m_cache.emplace_front(index, page);
    if (m_cache.size() > cachedPages)
        m_cache.pop_back();
    return page;
}

QSizeF PageDocument::pageSize(int index) const
{
    if (index < 0 || index >= pageCount())
        return QSizeF();
    const Entry& e = m_index[size_t(index)];
    return QSizeF(e.width, e.height);
}

void PageDocument::setLateText(int page, quint32 box, const QString& text, const PageValue* value)
{
    LateText late{page, box, quint32(m_lateTexts.size()), quint32(text.size()), value != nullptr, value ? *value : PageValue()};
    late.value.box = box;
    if (!m_late.empty() && m_late.back().page > page)
        m_lateSorted = false;
    m_late.push_back(late);
    m_lateTexts += text;
    std::erase_if(m_cache, [page](const auto& cached) { return cached.first == page; });
}

void PageDocument::applyLateTexts(int index, Page& page) const
{
    if (!m_lateSorted) {
        std::stable_sort(m_late.begin(), m_late.end(), [](const LateText& a, const LateText& b) { return a.page < b.page; });
        m_lateSorted = true;
    }
    auto it = std::lower_bound(m_late.begin(), m_late.end(), index, [](const LateText& l, int p) { return l.page < p; });
    bool valuesAdded = false;
    for (; it != m_late.end() && it->page == index; ++it) {
        if (it->box >= page.boxes.size())
            continue;
        page.setText(page.boxes[it->box], QStringView(m_lateTexts).mid(it->offset, it->length));
        std::erase_if(page.values, [&](const PageValue& v) { return v.box == it->box; });
        if (it->hasValue) {
            page.values.push_back(it->value);
            valuesAdded = true;
        }
    }
    if (valuesAdded)
        std::sort(page.values.begin(), page.values.end(), [](const PageValue& a, const PageValue& b) { return a.box < b.box; });
}

quint32 PageDocument::addStyle(const BoxStyle& style)
{
    for (size_t i = 0; i < m_styles.size(); ++i)
        if (m_styles[i] == style)
            return quint32(i);
    m_styles.push_back(style);
    return quint32(m_styles.size() - 1);
}

quint32 PageDocument::addFormat(const DisplayFormat& format)
{
    const auto it = std::find(m_formats.begin(), m_formats.end(), format);
    if (it != m_formats.end())
        return quint32(it - m_formats.begin());
    m_formats.push_back(format);
    return quint32(m_formats.size() - 1);
}

qsizetype PageDocument::memoryUse() const
{
    qsizetype bytes = qsizetype(m_index.capacity() * sizeof(Entry)) + m_store.memoryUse() + m_pictures.memoryUse()
                      + qsizetype(m_late.capacity() * sizeof(LateText)) + m_lateTexts.capacity() * 2;
    for (const auto& cached : m_cache)
        bytes += qsizetype(sizeof(Page) + cached.second->boxes.capacity() * sizeof(PageBox)) + cached.second->texts.capacity() * 2;
    return bytes;
}

std::vector<int> PageDocument::find(int index, const QString& needle) const
{
    std::vector<int> hits;
    const PageRef p = needle.isEmpty() ? nullptr : page(index);
    if (!p)
        return hits;
    for (size_t i = 0; i < p->boxes.size(); ++i)
        if (p->boxes[i].kind == PageBox::Kind::Text && p->text(p->boxes[i]).contains(needle, Qt::CaseInsensitive))
            hits.push_back(int(i));
    return hits;
}
