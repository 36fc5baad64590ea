#pragma once

#include "report/report_template.h"

#include <QImage>
#include <QString>
#include <QStringView>
#include <vector>

// How a box looks; shared by every box drawn alike.
struct BoxStyle {
    TextStyle text;
    double lineWidth = 0.2;
    QColor lineColor = Qt::black;
    QColor fill;
    bool keepAspect = true; // pictures
    bool operator==(const BoxStyle&) const = default;
};

// One positioned thing on a page. Lengths in millimetres from the page's top left corner.
struct PageBox {
    enum class Kind : quint8 { Text, Line, Rectangle, Picture, CheckBox };
    Kind kind = Kind::Text;
    bool checked = false;  // check boxes
    quint32 style = 0;     // index into the document's styles
    float x = 0, y = 0, width = 0, height = 0;
    // Text: a range of the page's text store. Picture: the image index in offset (none: ~0u).
    quint32 offset = 0, length = 0;

    QRectF rect() const { return QRectF(x, y, width, height); }
};

struct Page {
    float width = 210, height = 297;
    std::vector<PageBox> boxes;
    QString texts; // every text of the page, one after another

    QStringView text(const PageBox& box) const { return QStringView(texts).mid(box.offset, box.length); }
    // Adds a text box's text; a later call replaces it (texts known only after the last page).
    void setText(PageBox& box, QStringView text);
};

// The pages a report made: device-independent, cheap per box, read by every renderer and
// export filter alike.
class PageDocument {
public:
    static constexpr quint32 noImage = ~0u;

    std::vector<Page> pages;

    int pageCount() const { return int(pages.size()); }
    const BoxStyle& style(quint32 index) const { return m_styles[index]; }
    const std::vector<BoxStyle>& styles() const { return m_styles; }
    quint32 addStyle(const BoxStyle& style);
    const QImage& image(quint32 index) const { return m_images[index]; }
    quint32 addImage(const QImage& image);
    // Bytes held, roughly, for memory accounting.
    qsizetype memoryUse() const;

    // The boxes of a page whose text holds the needle (any letter case).
    std::vector<int> find(int page, const QString& needle) const;

private:
    std::vector<BoxStyle> m_styles;
    std::vector<QImage> m_images;
};
