#include "report/ui/designer_scene.h"
#include "report/ui/designer_subreport.h"

#include "platform/lang.h"
#include "platform/project_folder.h"
#include "platform/errors.h"
#include "report/engine/barcode.h"
#include "report/engine/chart.h"
#include "report/engine/page_renderer.h"
#include "report/engine/text_layout.h"

#include <QFileInfo>
#include <QGraphicsItem>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <cmath>

namespace {

constexpr double k = reportUnitsPerMm;

QPen cosmetic(const QColor& color, Qt::PenStyle style = Qt::SolidLine)
{
    QPen p(color, 0, style);
    p.setCosmetic(true);
    return p;
}

double pixelsPerMmOf(const QPainter* painter)
{
    return std::max(0.01, painter->worldTransform().m11());
}

const QImage& pictureFile(const QString& file)
{
    static QHash<QString, QImage> cache;
    const QString path = QFileInfo(file).isAbsolute() ? file : ExeFolder() + file;
    auto it = cache.find(path);
    if (it == cache.end())
        it = cache.insert(path, [&] {
            QImageReader reader(path);
            reader.setAutoTransform(true);
            return reader.read();
        }());
    return *it;
}

class SheetItem : public QGraphicsItem {
public:
    SheetItem(const QRectF& sheet, const QRectF& printable) : m_sheet(sheet), m_printable(printable) { setZValue(-10); }
    QRectF boundingRect() const override { return m_sheet.adjusted(-2, -2, 2, 2); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        painter->fillRect(m_sheet.translated(0.8, 0.8), QColor(0, 0, 0, 50));
        painter->fillRect(m_sheet, Qt::white);
        painter->setPen(cosmetic(QColor(150, 150, 150)));
        painter->drawRect(m_sheet);
        painter->setPen(cosmetic(QColor(170, 190, 220), Qt::DashLine));
        painter->drawLine(QLineF(m_printable.left(), m_sheet.top(), m_printable.left(), m_sheet.bottom()));
        painter->drawLine(QLineF(m_printable.right(), m_sheet.top(), m_printable.right(), m_sheet.bottom()));
    }

private:
    QRectF m_sheet, m_printable;
};

class BandItem : public QGraphicsItem {
public:
    BandItem(const BandPlace& place, QString title, bool selected, const DesignerScene& scene)
        : m_place(place), m_title(std::move(title)), m_selected(selected), m_scene(scene)
    {
        setZValue(-5);
    }
    QRectF boundingRect() const override { return m_place.caption.united(m_place.area).adjusted(-1, -1, 1, 1); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) override
    {
        const QColor strip = m_selected ? QColor(120, 160, 220) : QColor(222, 230, 242);
        painter->fillRect(m_place.caption, strip);
        painter->setPen(cosmetic(QColor(160, 175, 200)));
        painter->drawLine(m_place.caption.topLeft(), m_place.caption.topRight());
        paintGrid(painter, option->exposedRect);
        painter->setPen(cosmetic(QColor(120, 140, 170)));
        painter->drawLine(m_place.area.bottomLeft(), m_place.area.bottomRight());

        painter->save();
        painter->scale(1 / k, 1 / k);
        FontSpec captionFont;
        captionFont.size = 7;
        captionFont.bold = true;
        QFont font = reportFont(captionFont);
        painter->setFont(font);
        painter->setPen(m_selected ? Qt::white : QColor(50, 70, 110));
        const QRectF r(m_place.caption.left() * k + 1.5 * k, m_place.caption.top() * k,
                       m_place.caption.width() * k - 3 * k, m_place.caption.height() * k);
        painter->drawText(r, Qt::AlignLeft | Qt::AlignVCenter, m_title);
        painter->drawText(r, Qt::AlignRight | Qt::AlignVCenter,
                          Lang.caption("%1 mm").arg(m_place.area.height(), 0, 'f', 1));
        painter->restore();
    }

private:
    void paintGrid(QPainter* painter, const QRectF& exposed) const
    {
        const double step = m_scene.gridSize();
        if (!m_scene.gridVisible() || step <= 0 || step * pixelsPerMmOf(painter) < 6)
            return;
        const QRectF r = m_place.area.intersected(exposed);
        if (r.isEmpty())
            return;
        painter->setPen(cosmetic(QColor(190, 190, 200)));
        const double x0 = m_place.area.left() + std::ceil((r.left() - m_place.area.left()) / step) * step;
        const double y0 = m_place.area.top() + std::ceil((r.top() - m_place.area.top()) / step) * step;
        QVector<QPointF> points;
        for (double y = y0; y <= r.bottom(); y += step)
            for (double x = x0; x <= r.right(); x += step)
                points.append(QPointF(x, y));
        painter->drawPoints(points.constData(), int(points.size()));
    }

    BandPlace m_place;
    QString m_title;
    bool m_selected;
    const DesignerScene& m_scene;
};

// An object drawn by the page renderer, as it prints: the author's text with its expressions,
// the picture of a picture file; a picture from the data has a placeholder instead.
class ObjectItem : public QGraphicsItem {
public:
    ObjectItem(const ReportObject& object, const QRectF& rect) : m_object(object), m_rect(rect), m_sample(sampleOf(object)) {}
    QRectF boundingRect() const override { return m_rect.normalized().adjusted(-1, -1, 1, 1); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        painter->setRenderHint(QPainter::Antialiasing);
        const ReportObject& o = m_object;
        const PageBox::Kind kind = boxKindOf(o.kind);
        BoxContent content;
        content.text = o.kind == ObjectKind::Barcode || o.kind == ObjectKind::Chart ? QStringView(m_sample) : QStringView(o.text);
        if (kind == PageBox::Kind::Picture && !o.file.isEmpty())
            content.picture = pictureFile(o.file);
        if (o.kind == ObjectKind::Subreport) {
            // Its rows are made from its own query: the box shows its bands as they are laid
            // out, one below the other, and says whose they are.
            painter->fillRect(m_rect, QColor(234, 238, 246));
            paintSubreportBands(painter);
            paintLabel(painter, Lang.caption("Sub-report") + QStringLiteral(" ") + o.name, Qt::AlignRight | Qt::AlignTop);
        } else if (kind == PageBox::Kind::Picture && content.picture.isNull()) {
            paintPlaceholder(painter, QColor(236, 240, 236), QColor(150, 170, 150),
                             Lang.caption("Picture") + u'\n' + (o.text.isEmpty() ? o.file : o.text));
        } else {
            painter->save();
            // The template's own text ("[Report.name]") is often longer than what it stands for.
            if (kind == PageBox::Kind::Text)
                painter->setClipRect(m_rect.adjusted(-0.5, -0.5, 0.5, 0.5));
            PageRenderer::paintBox(*painter, kind, m_rect, boxStyleOf(o), content);
            painter->restore();
        }
        if (o.kind != ObjectKind::Line) {
            painter->setPen(cosmetic(QColor(170, 170, 170), Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(m_rect);
        }
    }

private:
    // Barcodes and charts show what they would be with sample data: the symbol of the kind
    // chosen, bars or slices of three categories.
    static QString sampleOf(const ReportObject& o)
    {
        if (o.kind == ObjectKind::Chart) {
            ChartData data;
            data.add(QStringLiteral("A"), 3);
            data.add(QStringLiteral("B"), 5);
            data.add(QStringLiteral("C"), 2);
            return data.payload();
        }
        if (o.kind != ObjectKind::Barcode)
            return QString();
        try {
            return encodeBarcode(o.barcode, o.barcode == BarcodeKind::Ean13 ? QStringLiteral("4006381333931")
                                                                            : QStringLiteral("12345678"))
                .modules;
        } catch (const FormatError&) {
            return QString();
        }
    }

    void paintSubreportBands(QPainter* painter)
    {
        if (!m_object.subreport)
            return;
        const Subreport& sub = *m_object.subreport;
        painter->save();
        painter->setClipRect(m_rect, Qt::IntersectClip);
        painter->setOpacity(0.6);
        double top = m_rect.top();
        for (const std::optional<Band>* band : {&sub.header, &sub.detail, &sub.footer}) {
            if (!*band)
                continue;
            for (const ReportObject& inner : (*band)->objects) {
                ObjectItem item(inner, inner.rect.translated(m_rect.left(), top));
                item.paint(painter, nullptr, nullptr);
            }
            top += (*band)->height;
            painter->setPen(cosmetic(QColor(150, 165, 200), Qt::DotLine));
            painter->drawLine(QPointF(m_rect.left(), top), QPointF(m_rect.right(), top));
        }
        painter->restore();
    }

    void paintPlaceholder(QPainter* painter, const QColor& fill, const QColor& pen, const QString& label)
    {
        const QRectF& r = m_rect;
        painter->fillRect(r, fill);
        painter->setPen(cosmetic(pen));
        painter->drawLine(r.topLeft(), r.bottomRight());
        painter->drawLine(r.topRight(), r.bottomLeft());
        paintLabel(painter, label, Qt::AlignCenter | Qt::TextWordWrap);
    }

    void paintLabel(QPainter* painter, const QString& label, int flags)
    {
        const QRectF& r = m_rect;
        painter->save();
        painter->scale(1 / k, 1 / k);
        FontSpec captionFont;
        captionFont.size = 7;
        painter->setFont(reportFont(captionFont));
        painter->setPen(QColor(60, 90, 60));
        painter->drawText(QRectF(r.left() * k, r.top() * k, r.width() * k, r.height() * k), flags, label);
        painter->restore();
    }

    ReportObject m_object;
    QRectF m_rect;
    QString m_sample;
};

// Handles of the selected objects, a few pixels wide whatever the zoom. The first selected
// object, the one others align to, has filled handles.
class SelectionItem : public QGraphicsItem {
public:
    explicit SelectionItem(std::vector<QRectF> rects) : m_rects(std::move(rects)) { setZValue(1e6); }
    QRectF boundingRect() const override
    {
        QRectF all;
        for (const QRectF& r : m_rects)
            all = all.united(r.normalized());
        return all.adjusted(-5, -5, 5, 5);
    }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        const double half = selectionHandlePixels / 2.0 / pixelsPerMmOf(painter);
        for (size_t i = 0; i < m_rects.size(); ++i) {
            const QRectF& r = m_rects[i];
            painter->setPen(cosmetic(QColor(40, 100, 200), Qt::DashLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(r);
            painter->setPen(cosmetic(QColor(20, 60, 160)));
            painter->setBrush(i == 0 ? QColor(40, 100, 200) : QColor(Qt::white));
            for (int h = 0; h < 8; ++h) {
                const QPointF c = handlePoint(r, h);
                painter->drawRect(QRectF(c.x() - half, c.y() - half, 2 * half, 2 * half));
            }
        }
    }

private:
    std::vector<QRectF> m_rects;
};

} // namespace

QPointF handlePoint(const QRectF& r, int handle)
{
    const double cx = r.center().x(), cy = r.center().y();
    switch (handle) {
    case 0: return r.topLeft();
    case 1: return {cx, r.top()};
    case 2: return r.topRight();
    case 3: return {r.right(), cy};
    case 4: return r.bottomRight();
    case 5: return {cx, r.bottom()};
    case 6: return r.bottomLeft();
    default: return {r.left(), cy};
    }
}


// ---------------------------------------------------------------- layout

DesignerLayout DesignerLayout::of(const ReportTemplate& t)
{
    DesignerLayout l;
    const PageSetup& page = t.page;
    const double left = page.marginLeft;
    const double width = std::max(10.0, page.pageWidth() - page.marginLeft - page.marginRight);
    double y = page.marginTop;
    for (const BandRef& ref : bandsInOrder(t)) {
        const Band* band = findBand(t, ref);
        BandPlace place;
        place.band = ref;
        place.caption = QRectF(left, y, width, captionHeight);
        place.area = QRectF(left, y + captionHeight, width, std::max(0.0, band->height));
        y = place.area.bottom();
        l.m_bands.push_back(place);
    }
    l.m_sheet = QRectF(0, 0, page.pageWidth(), std::max(page.pageHeight(), y + page.marginBottom));
    return l;
}

const BandPlace* DesignerLayout::find(const BandRef& band) const
{
    for (const BandPlace& p : m_bands)
        if (p.band == band)
            return &p;
    return nullptr;
}

const BandPlace* DesignerLayout::areaAt(QPointF p) const
{
    for (const BandPlace& b : m_bands)
        if (p.y() >= b.area.top() && p.y() < b.area.bottom() + 1e-9 && p.x() >= m_sheet.left() && p.x() <= m_sheet.right())
            return &b;
    return nullptr;
}

const BandPlace* DesignerLayout::bandAt(QPointF p) const
{
    if (const BandPlace* b = areaAt(p))
        return b;
    return captionAt(p);
}

const BandPlace* DesignerLayout::captionAt(QPointF p) const
{
    for (const BandPlace& b : m_bands)
        if (b.caption.contains(p))
            return &b;
    return nullptr;
}

const BandPlace* DesignerLayout::nearestArea(QPointF p) const
{
    if (const BandPlace* b = areaAt(p))
        return b;
    const BandPlace* best = nullptr;
    double distance = 1e18;
    for (const BandPlace& b : m_bands) {
        const double d = std::min(std::abs(p.y() - b.area.top()), std::abs(p.y() - b.area.bottom()));
        if (d < distance) {
            distance = d;
            best = &b;
        }
    }
    return best;
}

QRectF DesignerLayout::objectRect(const ReportTemplate& t, const ObjectRef& ref) const
{
    const BandPlace* place = find(ref.band);
    const ReportObject* o = findObject(t, ref);
    if (!place || !o)
        return QRectF();
    return o->rect.translated(place->area.topLeft());
}

// ---------------------------------------------------------------- scene

DesignerScene::DesignerScene(QObject* parent) : QGraphicsScene(parent)
{
    setItemIndexMethod(QGraphicsScene::NoIndex);
}

void DesignerScene::setGrid(bool visible, double size)
{
    m_gridVisible = visible;
    m_gridSize = size;
    update();
}

void DesignerScene::show(const ReportTemplate& t, const DesignerSelection& selection)
{
    clear();
    m_layout = DesignerLayout::of(t);
    const QRectF sheet = m_layout.sheet();
    const double printableWidth = std::max(10.0, t.page.pageWidth() - t.page.marginLeft - t.page.marginRight);
    addItem(new SheetItem(sheet, QRectF(t.page.marginLeft, 0, printableWidth, sheet.height())));
    for (const BandPlace& place : m_layout.bands()) {
        const bool selected = selection.band && *selection.band == place.band;
        addItem(new BandItem(place, levelBandTitle(t, place.band, m_subreportLevel), selected, *this));
        const Band* band = findBand(t, place.band);
        for (int i = 0; i < int(band->objects.size()); ++i) {
            const ReportObject& o = band->objects[size_t(i)];
            auto* item = new ObjectItem(o, o.rect.translated(place.area.topLeft()));
            item->setZValue(i);
            addItem(item);
        }
    }
    std::vector<QRectF> rects;
    for (const ObjectRef& ref : selection.objects)
        rects.push_back(m_layout.objectRect(t, ref));
    if (!rects.empty())
        addItem(new SelectionItem(std::move(rects)));
    setSceneRect(sheet.adjusted(-8, -8, 8, 8));
}
