#pragma once

#include "report/engine/page_document.h"

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QStringView>
#include <vector>

class QPainter;

// What a box shows when it is drawn on its own, without a page around it.
struct BoxContent {
    QStringView text;
    bool checked = false;
    QImage picture;
};

// Draws pages of a document with any painter: screen, printer, PDF, pictures.
class PageRenderer {
public:
    explicit PageRenderer(const PageDocument& document);

    // The painter's coordinates are millimetres from the page's top left corner. Boxes in
    // highlight (indexes into the page) are marked as search hits.
    void paint(QPainter& painter, int page, const std::vector<int>& highlight = {}) const;

    // One box as the pages show it, the painter's coordinates in millimetres: the designer draws
    // a template's objects with it, so that what the author sees is what prints.
    static void paintBox(QPainter& painter, PageBox::Kind kind, const QRectF& rect, const BoxStyle& style,
                         const BoxContent& content);

    // Sets a painter up on a device of that resolution (dots per inch) for paint().
    static void scaleToMillimetres(QPainter& painter, double dpi);

private:
    const QFont& font(quint32 style) const;

    const PageDocument& m_document;
    mutable std::vector<QFont> m_fonts;
    mutable std::vector<bool> m_fontMade;
};
