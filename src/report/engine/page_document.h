#pragma once

#include "report/engine/display_format.h"
#include "report/engine/picture_store.h"
#include "report/engine/spill_store.h"
#include "report/engine/template.h"

#include <QByteArray>
#include <QImage>
#include <QLocale>
#include <QSizeF>
#include <QString>
#include <QStringView>
#include <list>
#include <memory>
#include <vector>


// How a box looks; shared by every box drawn alike.
struct BoxStyle {
    TextStyle text;
    double lineWidth = 0.2;
    QColor lineColor = Qt::black;
    QColor fill;
    bool keepAspect = true; // pictures
    ChartKind chart = ChartKind::Bar;
    std::vector<QColor> colors; // charts
    bool legend = true;         // charts
    bool operator==(const BoxStyle&) const = default;
};

// How an object of a template looks on the page.
BoxStyle boxStyleOf(const ReportObject& object);

// One positioned thing on a page. Lengths in millimetres from the page's top left corner.
struct PageBox {
    // Barcodes keep their modules and charts their points in the page's texts, like a text box.
    enum class Kind : quint8 { Text, Line, Rectangle, Picture, CheckBox, Barcode, Chart };
    bool holdsText() const { return kind == Kind::Text || kind == Kind::Barcode || kind == Kind::Chart; }
    Kind kind = Kind::Text;
    bool checked = false;  // check boxes
    quint32 style = 0;     // index into the document's styles
    float x = 0, y = 0, width = 0, height = 0;
    // Text: a range of the page's text store. Picture: the image index in offset (none: ~0u).
    quint32 offset = 0, length = 0;

    QRectF rect() const { return QRectF(x, y, width, height); }
};

PageBox::Kind boxKindOf(ObjectKind kind);

// Where a picture of that size is drawn in its box: the whole box, or kept in proportion and
// centred.
QRectF fittedPicture(const QRectF& box, const QSizeF& picture, bool keepAspect);

// The number or date a text box shows, kept for exports that hold values rather than texts
// (spreadsheets). Only a text that is one value and nothing else has one.
struct PageValue {
    quint32 box = 0;
    quint32 format = 0;  // index into the document's display formats (0: none)
    bool isDate = false;
    double number = 0;   // dates: days since 1899-12-30, the fraction the time of day
};

struct Page {
    float width = 210, height = 297;
    std::vector<PageBox> boxes;
    QString texts; // every text of the page, one after another
    std::vector<PageValue> values; // in box order

    QStringView text(const PageBox& box) const { return QStringView(texts).mid(box.offset, box.length); }
    // Adds a text box's text; a later call replaces it (texts known only after the last page).
    void setText(PageBox& box, QStringView text);
    // The value behind a text box; null when it shows a plain text.
    const PageValue* value(quint32 box) const;
};

// Pages are read through a shared handle: a page may be dropped from the document's small
// cache of decoded pages while a reader still holds it.
using PageRef = std::shared_ptr<const Page>;

// The pages a report made: device-independent, read by every renderer and export filter alike.
// Finished pages are kept packed, and pictures encoded; past a few megabytes they go to a
// temporary file, so that a report of a million rows holds no more than a small index per page
// and picture in memory. Texts known only
// after the last page ("Page 3 of 12", totals shown above their rows) are kept apart and laid
// over their page whenever it is read.
class PageDocument {
public:
    static constexpr quint32 noImage = ~0u;

    PageDocument();
    ~PageDocument();
    PageDocument(const PageDocument&) = delete;
    PageDocument& operator=(const PageDocument&) = delete;

    int pageCount() const { return int(m_index.size()); }
    // Null for an index out of range. Throws FileError when the spilled pages cannot be read.
    PageRef page(int index) const;
    // Millimetres, without reading the page.
    QSizeF pageSize(int index) const;

    // Appends a finished page. Throws FileError when the temporary file cannot be written.
    void addPage(Page&& page);
    // The text of a box on a page already added, known now; with the value it shows, if any.
    void setLateText(int page, quint32 box, const QString& text, const PageValue* value = nullptr);

    const BoxStyle& style(quint32 index) const { return m_styles[index]; }
    const std::vector<BoxStyle>& styles() const { return m_styles; }
    quint32 addStyle(const BoxStyle& style);
    // The pictures the boxes show, each kept once (see PictureStore).
    QImage image(quint32 index) const { return m_pictures.image(index); }
    QSize imageSize(quint32 index) const { return m_pictures.size(index); }
    quint32 imageCount() const { return m_pictures.count(); }
    // A picture from its encoded bytes for a box of that size; noImage for bytes that are no
    // picture.
    quint32 addImage(const QByteArray& encoded, const QSizeF& boxMm, bool autoTransform = false)
    {
        return m_pictures.add(encoded, boxMm, autoTransform);
    }
    // PNG or JPEG bytes of a picture for documents that embed it; format "png" or "jpeg".
    QByteArray embeddableImage(quint32 index, QByteArray* format) const { return m_pictures.embeddable(index, format); }
    // The display formats of the values the pages keep; index 0 is none.
    const DisplayFormat& format(quint32 index) const { return m_formats[index]; }
    quint32 addFormat(const DisplayFormat& format);
    // The locale the texts were made in; spreadsheets give their cells its formats.
    const QLocale& locale() const { return m_locale; }
    void setLocale(const QLocale& locale) { m_locale = locale; }

    // Packed pages and pictures kept in memory before they go to the temporary file (tests
    // make it small).
    void setSpillThreshold(qsizetype bytes) { m_store.setThreshold(bytes); }
    bool hasSpilled() const { return m_store.hasSpilled(); }
    // Bytes held in memory, roughly, for memory accounting.
    qsizetype memoryUse() const;

    // The boxes of a page whose text holds the needle (any letter case).
    std::vector<int> find(int page, const QString& needle) const;

private:
    struct Entry {
        SpillStore::Ref packed;
        float width, height;
    };
    struct LateText {
        int page;
        quint32 box;
        quint32 offset, length; // in m_lateTexts
        bool hasValue;
        PageValue value;
    };

    void applyLateTexts(int index, Page& page) const;

    std::vector<BoxStyle> m_styles;
    std::vector<DisplayFormat> m_formats;
    QLocale m_locale;
    SpillStore m_store;
    PictureStore m_pictures{m_store};
    std::vector<Entry> m_index;
    mutable std::vector<LateText> m_late;
    mutable bool m_lateSorted = true;
    QString m_lateTexts;
    mutable std::list<std::pair<int, PageRef>> m_cache; // most recently read first
};
