#pragma once

#include <QFont>
#include <QRectF>
#include <vector>

class PageDocument;
class QPainter;

// Draws pages of a document with any painter: screen, printer, PDF, pictures.
class PageRenderer {
public:
    explicit PageRenderer(const PageDocument& document);

    // The painter's coordinates are millimetres from the page's top left corner. Boxes in
    // highlight (indexes into the page) are marked as search hits.
    void paint(QPainter& painter, int page, const std::vector<int>& highlight = {}) const;

    // Sets a painter up on a device of that resolution (dots per inch) for paint().
    static void scaleToMillimetres(QPainter& painter, double dpi);

private:
    const QFont& font(quint32 style) const;

    const PageDocument& m_document;
    mutable std::vector<QFont> m_fonts;
    mutable std::vector<bool> m_fontMade;
};
