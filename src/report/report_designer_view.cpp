#include "report/report_designer_view.h"

#include "platform/guard.h"
#include "platform/project_folder.h"
#include "report/report_designer_texts.h"
#include "report/report_designer_window.h"
#include "report/report_text.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QHash>
#include <QImageReader>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRubberBand>
#include <QScrollBar>
#include <QStyleOptionGraphicsItem>
#include <QWheelEvent>
#include <cmath>

namespace {

constexpr double k = reportUnitsPerMm;
constexpr int handlePixels = 7;
constexpr int rulerPixels = 22;
const int zoomLimits[] = {25, 800};

QPen cosmetic(const QColor& color, Qt::PenStyle style = Qt::SolidLine)
{
    QPen p(color, 0, style);
    p.setCosmetic(true);
    return p;
}

QPen mmPen(double widthMm, const QColor& color)
{
    QPen p(color, widthMm);
    p.setCapStyle(Qt::FlatCap);
    return p;
}

double pixelsPerMmOf(const QPainter* painter)
{
    return std::max(0.01, painter->worldTransform().m11());
}

// The eight handles of a box: corners and edge middles, clockwise from the top left.
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

Qt::CursorShape handleCursor(int handle)
{
    switch (handle) {
    case 0:
    case 4: return Qt::SizeFDiagCursor;
    case 2:
    case 6: return Qt::SizeBDiagCursor;
    case 1:
    case 5: return Qt::SizeVerCursor;
    default: return Qt::SizeHorCursor;
    }
}

// A point on a band's caption stands for the band's top edge.
QPointF atLeastZero(QPointF p)
{
    return QPointF(std::max(0.0, p.x()), std::max(0.0, p.y()));
}

const QImage& pictureFile(const QString& file)
{
    static QHash<QString, QImage> cache;
    const QString path = QFileInfo(file).isAbsolute() ? file : ExeFolder() + file;
    auto it = cache.find(path);
    if (it == cache.end())
        it = cache.insert(path, QImageReader(path).read());
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
                          designerText("%1 mm").arg(m_place.area.height(), 0, 'f', 1));
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

class ObjectItem : public QGraphicsItem {
public:
    ObjectItem(const ReportObject& object, const QRectF& rect) : m_object(object), m_rect(rect) {}
    QRectF boundingRect() const override { return m_rect.normalized().adjusted(-1, -1, 1, 1); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF& r = m_rect;
        const ReportObject& o = m_object;
        switch (o.kind) {
        case ObjectKind::Text: paintText(painter); break;
        case ObjectKind::Line:
            painter->setPen(mmPen(o.lineWidth, o.lineColor));
            painter->drawLine(r.topLeft(), r.bottomRight());
            break;
        case ObjectKind::Rectangle:
            painter->setPen(o.lineWidth > 0 ? mmPen(o.lineWidth, o.lineColor) : QPen(Qt::NoPen));
            painter->setBrush(o.fill.isValid() ? QBrush(o.fill) : QBrush(Qt::NoBrush));
            painter->drawRect(r);
            break;
        case ObjectKind::Picture: paintPicture(painter); break;
        case ObjectKind::CheckBox: {
            const double side = std::min(r.width(), r.height());
            painter->setPen(mmPen(o.lineWidth, o.lineColor));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side));
            break;
        }
        }
        if (o.kind != ObjectKind::Line) {
            painter->setPen(cosmetic(QColor(170, 170, 170), Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(r);
        }
    }

private:
    void paintText(QPainter* painter)
    {
        const ReportObject& o = m_object;
        const QRectF& r = m_rect;
        if (o.style.background.isValid())
            painter->fillRect(r, o.style.background);
        const struct {
            const FrameSide& side;
            QLineF line;
        } sides[] = {{o.style.left, QLineF(r.topLeft(), r.bottomLeft())},
                     {o.style.top, QLineF(r.topLeft(), r.topRight())},
                     {o.style.right, QLineF(r.topRight(), r.bottomRight())},
                     {o.style.bottom, QLineF(r.bottomLeft(), r.bottomRight())}};
        for (const auto& side : sides) {
            if (side.side.width <= 0)
                continue;
            painter->setPen(mmPen(side.side.width, side.side.color));
            painter->drawLine(side.line);
        }
        painter->save();
        painter->setClipRect(r.adjusted(-0.5, -0.5, 0.5, 0.5));
        painter->scale(1 / k, 1 / k);
        const QFont font = reportFont(o.style.font);
        painter->setFont(font);
        painter->setPen(o.style.color);
        drawReportText(*painter, o.text, o.style, font, QRectF(r.left() * k, r.top() * k, r.width() * k, r.height() * k));
        painter->restore();
    }

    void paintPicture(QPainter* painter)
    {
        const ReportObject& o = m_object;
        const QRectF& r = m_rect;
        const QImage& image = o.file.isEmpty() ? QImage() : pictureFile(o.file);
        if (!image.isNull()) {
            QRectF target = r;
            if (o.keepAspect) {
                const QSizeF size = QSizeF(image.size()).scaled(r.size(), Qt::KeepAspectRatio);
                target = QRectF(r.center().x() - size.width() / 2, r.center().y() - size.height() / 2, size.width(),
                                size.height());
            }
            painter->drawImage(target, image);
            return;
        }
        painter->fillRect(r, QColor(236, 240, 236));
        painter->setPen(cosmetic(QColor(150, 170, 150)));
        painter->drawLine(r.topLeft(), r.bottomRight());
        painter->drawLine(r.topRight(), r.bottomLeft());
        painter->save();
        painter->scale(1 / k, 1 / k);
        FontSpec captionFont;
        captionFont.size = 7;
        painter->setFont(reportFont(captionFont));
        painter->setPen(QColor(60, 90, 60));
        const QString label = designerText("Picture") + u'\n' + (o.text.isEmpty() ? o.file : o.text);
        painter->drawText(QRectF(r.left() * k, r.top() * k, r.width() * k, r.height() * k),
                          Qt::AlignCenter | Qt::TextWordWrap, label);
        painter->restore();
    }

    ReportObject m_object;
    QRectF m_rect;
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
        const double half = handlePixels / 2.0 / pixelsPerMmOf(painter);
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
        addItem(new BandItem(place, bandTitle(t, place.band), selected, *this));
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

// ---------------------------------------------------------------- rulers

// Millimetres along the top (0 at the left margin, where objects' x starts) and down the side
// (0 at the top of each band, where objects' y starts).
class DesignerRuler : public QWidget {
public:
    DesignerRuler(DesignerView& view, Qt::Orientation orientation)
        : QWidget(&view), m_view(view), m_orientation(orientation)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        guarded([&] {
            QPainter p(this);
            p.fillRect(rect(), palette().color(QPalette::Window));
            p.setPen(palette().color(QPalette::Mid));
            p.drawLine(m_orientation == Qt::Horizontal ? QLine(0, height() - 1, width(), height() - 1)
                                                       : QLine(width() - 1, 0, width() - 1, height()));
            const DesignerLayout& layout = m_view.designerScene()->layout();
            if (layout.bands().empty())
                return;
            QFont f = font();
            f.setPixelSize(9);
            p.setFont(f);
            p.setPen(palette().color(QPalette::WindowText));
            const int offset = rulerPixels; // the rulers sit beside the viewport
            if (m_orientation == Qt::Horizontal) {
                const BandPlace& first = layout.bands().front();
                paintScale(p, first.area.left(), first.area.right(), offset, true);
            } else {
                for (const BandPlace& b : layout.bands()) {
                    const int top = m_view.viewPointOfScene(b.caption.topLeft()).y() + offset;
                    const int bottom = m_view.viewPointOfScene(b.area.topLeft()).y() + offset;
                    p.fillRect(QRect(0, top, width() - 1, bottom - top), QColor(222, 230, 242));
                    paintScale(p, b.area.top(), b.area.bottom(), offset, false);
                }
            }
        });
    }

private:
    void paintScale(QPainter& p, double from, double to, int offset, bool horizontal)
    {
        const double ppm = m_view.pixelsPerMm();
        const int labelEvery = ppm >= 4 ? 10 : ppm >= 1.5 ? 20 : 50;
        for (int mm = 0; from + mm <= to + 1e-6; ++mm) {
            const QPointF scene = horizontal ? QPointF(from + mm, 0) : QPointF(0, from + mm);
            const QPoint at = m_view.viewPointOfScene(scene);
            const int pos = (horizontal ? at.x() : at.y()) + offset;
            int length = 0;
            if (mm % 10 == 0)
                length = rulerPixels / 2;
            else if (mm % 5 == 0 && ppm >= 1.5)
                length = rulerPixels / 3;
            else if (ppm >= 3)
                length = rulerPixels / 5;
            if (length == 0)
                continue;
            if (horizontal)
                p.drawLine(pos, rulerPixels - length, pos, rulerPixels - 1);
            else
                p.drawLine(rulerPixels - length, pos, rulerPixels - 1, pos);
            if (mm % labelEvery == 0) {
                const QString label = QString::number(mm);
                if (horizontal)
                    p.drawText(pos + 2, 10, label);
                else
                    p.drawText(QRect(1, pos + 1, rulerPixels - 4, 11), Qt::AlignLeft | Qt::AlignTop, label);
            }
        }
    }

    DesignerView& m_view;
    Qt::Orientation m_orientation;
};

// ---------------------------------------------------------------- view

DesignerView::DesignerView(ReportDesignerWindow& window, DesignerScene* scene)
    : QGraphicsView(scene), m_window(window), m_scene(scene)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundBrush(QColor(128, 128, 136));
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setRenderHint(QPainter::Antialiasing);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    m_rubber = new QRubberBand(QRubberBand::Rectangle, viewport());
    m_top = new DesignerRuler(*this, Qt::Horizontal);
    m_left = new DesignerRuler(*this, Qt::Vertical);
    setViewportMargins(rulerPixels, rulerPixels, 0, 0);
    setZoom(100);
}

DesignerView::~DesignerView() = default;

QString DesignerView::fieldMimeType()
{
    return QStringLiteral("application/x-varnel-report-field");
}

double DesignerView::pixelsPerMm() const
{
    return transform().m11();
}

void DesignerView::setZoom(int percent)
{
    m_zoom = std::clamp(percent, zoomLimits[0], zoomLimits[1]);
    const double scale = m_zoom / 100.0 * logicalDpiX() / 25.4;
    setTransform(QTransform::fromScale(scale, scale));
    m_top->update();
    m_left->update();
}

QPoint DesignerView::viewPointOfScene(QPointF scene) const
{
    return mapFromScene(scene);
}

QPoint DesignerView::viewPoint(const BandRef& band, QPointF inBand) const
{
    const BandPlace* place = m_scene->layout().find(band);
    return place ? mapFromScene(place->area.topLeft() + inBand) : QPoint();
}

void DesignerView::scrollToStart()
{
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}

void DesignerView::showEvent(QShowEvent* event)
{
    QGraphicsView::showEvent(event);
    if (!std::exchange(m_shown, true))
        scrollToStart();
}

void DesignerView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    placeRulers();
}

void DesignerView::placeRulers()
{
    const QRect vp = viewport()->geometry();
    m_top->setGeometry(vp.left() - rulerPixels, vp.top() - rulerPixels, vp.width() + rulerPixels, rulerPixels);
    m_left->setGeometry(vp.left() - rulerPixels, vp.top() - rulerPixels, rulerPixels, vp.height() + rulerPixels);
    m_top->raise();
    m_left->raise();
}

void DesignerView::scrollContentsBy(int dx, int dy)
{
    QGraphicsView::scrollContentsBy(dx, dy);
    m_top->update();
    m_left->update();
    if (m_editor)
        finishInPlaceEdit(true);
}

double DesignerView::tolerance() const
{
    return 3.0 / std::max(0.01, pixelsPerMm());
}

double DesignerView::snap(double mm) const
{
    if (!m_window.snapToGrid() || m_window.gridSize() <= 0)
        return hundredths(mm);
    const double g = m_window.gridSize();
    return hundredths(std::round(mm / g) * g);
}

std::optional<DesignerView::Hit> DesignerView::handleAt(QPointF p) const
{
    const double half = handlePixels / 2.0 / std::max(0.01, pixelsPerMm()) + tolerance() / 3;
    const ReportTemplate& t = m_window.model();
    for (const ObjectRef& ref : m_window.selection().objects) {
        const QRectF r = m_scene->layout().objectRect(t, ref);
        for (int h = 0; h < 8; ++h) {
            const QPointF c = handlePoint(r, h);
            if (std::abs(p.x() - c.x()) <= half && std::abs(p.y() - c.y()) <= half)
                return Hit{ref, h};
        }
    }
    return std::nullopt;
}

std::optional<ObjectRef> DesignerView::objectAt(QPointF p) const
{
    const ReportTemplate& t = m_window.model();
    const DesignerLayout& layout = m_scene->layout();
    const double tol = tolerance();
    const std::vector<BandRef> bands = bandsInOrder(t);
    for (auto band = bands.rbegin(); band != bands.rend(); ++band) {
        const Band* b = findBand(t, *band);
        for (int i = int(b->objects.size()) - 1; i >= 0; --i) {
            const ObjectRef ref{*band, i};
            if (layout.objectRect(t, ref).normalized().adjusted(-tol, -tol, tol, tol).contains(p))
                return ref;
        }
    }
    return std::nullopt;
}

std::optional<BandRef> DesignerView::bandEdgeAt(QPointF p) const
{
    const double tol = tolerance();
    for (const BandPlace& b : m_scene->layout().bands())
        if (std::abs(p.y() - b.area.bottom()) <= tol && p.x() >= b.area.left() && p.x() <= b.area.right())
            return b.band;
    return std::nullopt;
}

void DesignerView::updateCursor(QPointF p)
{
    if (m_window.tool() != ReportDesignerWindow::Tool::Pointer) {
        viewport()->setCursor(Qt::CrossCursor);
    } else if (auto h = handleAt(p)) {
        viewport()->setCursor(handleCursor(h->handle));
    } else if (bandEdgeAt(p)) {
        viewport()->setCursor(Qt::SizeVerCursor);
    } else if (objectAt(p)) {
        viewport()->setCursor(Qt::SizeAllCursor);
    } else {
        viewport()->setCursor(Qt::ArrowCursor);
    }
}

void DesignerView::mousePressEvent(QMouseEvent* event)
{
    guarded([&] { press(event); });
    event->accept();
}

void DesignerView::mouseMoveEvent(QMouseEvent* event)
{
    guarded([&] { move(event); });
    event->accept();
}

void DesignerView::mouseReleaseEvent(QMouseEvent* event)
{
    guarded([&] { release(event); });
    event->accept();
}

void DesignerView::press(QMouseEvent* event)
{
    if (m_editor)
        finishInPlaceEdit(true);
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF p = mapToScene(event->position().toPoint());
    m_start = p;
    m_startView = event->position().toPoint();
    m_origin = m_window.model();
    m_drag = Drag::None;
    m_additive = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    const DesignerLayout& layout = m_scene->layout();

    if (m_window.tool() != ReportDesignerWindow::Tool::Pointer) {
        if (const BandPlace* band = layout.bandAt(p)) {
            m_band = band->band;
            m_drag = Drag::Create;
            m_rubber->setGeometry(QRect(m_startView, QSize()));
        }
        return;
    }
    if (auto h = handleAt(p)) {
        m_hit = *h;
        m_drag = Drag::Resize;
    } else if (auto edge = bandEdgeAt(p)) {
        m_band = *edge;
        m_drag = Drag::BandHeight;
    } else if (auto o = objectAt(p)) {
        DesignerSelection selection = m_window.selection();
        if (m_additive) {
            auto it = std::find(selection.objects.begin(), selection.objects.end(), *o);
            if (it != selection.objects.end()) {
                selection.objects.erase(it);
                m_window.setSelection(selection);
                return;
            }
            selection.band.reset();
            selection.objects.push_back(*o);
        } else if (!selection.contains(*o)) {
            selection = DesignerSelection::ofObjects({*o});
        }
        m_window.setSelection(selection);
        m_drag = Drag::Move;
    } else if (const BandPlace* caption = layout.captionAt(p)) {
        m_window.setSelection(DesignerSelection::ofBand(caption->band));
    } else {
        if (!m_additive)
            m_window.setSelection({});
        m_drag = Drag::Rubber;
        m_rubber->setGeometry(QRect(m_startView, QSize()));
        m_rubber->show();
    }
    m_originSelection = m_window.selection();
}

ReportTemplate DesignerView::movedDraft(QPointF p, DesignerSelection& selection) const
{
    ReportTemplate draft = m_origin;
    selection = m_originSelection;
    if (m_originSelection.objects.empty())
        return draft;
    const ObjectRef anchor = m_originSelection.objects.front();
    const QRectF a = findObject(m_origin, anchor)->rect;
    const QPointF d = p - m_start;
    const double dx = snap(a.left() + d.x()) - a.left();
    double dy = snap(a.top() + d.y()) - a.top();
    for (const ObjectRef& ref : m_originSelection.objects)
        findObject(draft, ref)->rect.translate(dx, 0);

    // Objects of one band dropped over another band move into it.
    bool oneBand = true;
    for (const ObjectRef& ref : m_originSelection.objects)
        oneBand = oneBand && ref.band == anchor.band;
    const DesignerLayout& layout = m_scene->layout();
    const BandPlace* target = layout.areaAt(p);
    const BandPlace* source = layout.find(anchor.band);
    if (oneBand && target && source && !(target->band == anchor.band)) {
        const double sceneTop = source->area.top() + a.top() + d.y();
        const double newTop = snap(sceneTop - target->area.top());
        const double shift = newTop - a.top();
        selection.objects = moveToBand(draft, m_originSelection.objects, target->band, shift);
        return draft;
    }
    for (const ObjectRef& ref : m_originSelection.objects)
        findObject(draft, ref)->rect.translate(0, dy);
    return draft;
}

ReportTemplate DesignerView::resizedDraft(QPointF p) const
{
    ReportTemplate draft = m_origin;
    ReportObject* o = findObject(draft, m_hit.object);
    const BandPlace* place = m_scene->layout().find(m_hit.object.band);
    if (!o || !place)
        return draft;
    const QPointF local = p - place->area.topLeft();
    QRectF r = o->rect;
    const int h = m_hit.handle;
    if (h == 0 || h == 6 || h == 7)
        r.setLeft(std::min(snap(local.x()), r.right()));
    if (h == 2 || h == 3 || h == 4)
        r.setRight(std::max(snap(local.x()), r.left()));
    if (h == 0 || h == 1 || h == 2)
        r.setTop(std::min(snap(local.y()), r.bottom()));
    if (h == 4 || h == 5 || h == 6)
        r.setBottom(std::max(snap(local.y()), r.top()));
    o->rect = r;
    return draft;
}

void DesignerView::move(QMouseEvent* event)
{
    const QPointF p = mapToScene(event->position().toPoint());
    switch (m_drag) {
    case Drag::None: updateCursor(p); return;
    case Drag::Move: {
        DesignerSelection selection;
        ReportTemplate draft = movedDraft(p, selection);
        m_draftSelection = selection;
        m_window.showDraft(draft, selection);
        return;
    }
    case Drag::Resize: m_window.showDraft(resizedDraft(p), m_originSelection); return;
    case Drag::BandHeight: {
        ReportTemplate draft = m_origin;
        const BandPlace* place = m_scene->layout().find(m_band);
        if (Band* band = findBand(draft, m_band); band && place)
            band->height = std::max(0.0, snap(p.y() - place->area.top()));
        m_window.showDraft(draft, m_originSelection);
        return;
    }
    case Drag::Rubber:
    case Drag::Create:
        m_rubber->setGeometry(QRect(m_startView, event->position().toPoint()).normalized());
        m_rubber->show();
        return;
    }
}

void DesignerView::release(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Drag drag = std::exchange(m_drag, Drag::None);
    const QPointF p = mapToScene(event->position().toPoint());
    switch (drag) {
    case Drag::None: return;
    case Drag::Move: {
        DesignerSelection selection;
        const ReportTemplate draft = movedDraft(p, selection);
        if (draft == m_origin)
            m_window.showDraft(m_origin, m_window.selection());
        else
            m_window.change(draft, designerText("Move"), selection);
        return;
    }
    case Drag::Resize: {
        const ReportTemplate draft = resizedDraft(p);
        if (draft == m_origin)
            m_window.showDraft(m_origin, m_window.selection());
        else
            m_window.change(draft, designerText("Resize"), m_originSelection);
        return;
    }
    case Drag::BandHeight: {
        ReportTemplate draft = m_origin;
        const BandPlace* place = m_scene->layout().find(m_band);
        if (Band* band = findBand(draft, m_band); band && place)
            band->height = std::max(0.0, snap(p.y() - place->area.top()));
        if (draft == m_origin)
            m_window.showDraft(m_origin, m_window.selection());
        else
            m_window.change(draft, designerText("Band height"), DesignerSelection::ofBand(m_band));
        return;
    }
    case Drag::Rubber: {
        m_rubber->hide();
        const QRectF area = mapToScene(QRect(m_startView, event->position().toPoint()).normalized()).boundingRect();
        DesignerSelection selection = m_additive ? m_window.selection() : DesignerSelection();
        selection.band.reset();
        const ReportTemplate& t = m_window.model();
        for (const BandRef& band : bandsInOrder(t))
            for (int i = 0; i < int(findBand(t, band)->objects.size()); ++i) {
                const ObjectRef ref{band, i};
                if (area.intersects(m_scene->layout().objectRect(t, ref).normalized().adjusted(-0.01, -0.01, 0.01, 0.01))
                    && !selection.contains(ref))
                    selection.objects.push_back(ref);
            }
        m_window.setSelection(selection);
        return;
    }
    case Drag::Create: {
        m_rubber->hide();
        const BandPlace* place = m_scene->layout().find(m_band);
        if (!place)
            return;
        const QPointF a = atLeastZero(m_start - place->area.topLeft());
        const QPointF b = atLeastZero(p - place->area.topLeft());
        QRectF r = QRectF(QPointF(snap(a.x()), snap(a.y())), QPointF(snap(b.x()), snap(b.y()))).normalized();
        if ((event->position().toPoint() - m_startView).manhattanLength() < 4)
            r = QRectF(QPointF(snap(a.x()), snap(a.y())), QSizeF());
        m_window.placeObject(m_window.tool(), m_band, r);
        return;
    }
    }
}

void DesignerView::mouseDoubleClickEvent(QMouseEvent* event)
{
    guarded([&] {
        const QPointF p = mapToScene(event->position().toPoint());
        if (auto o = objectAt(p)) {
            m_window.setSelection(DesignerSelection::ofObjects({*o}));
            const ReportObject* object = findObject(m_window.model(), *o);
            if (object && object->kind == ObjectKind::Text)
                editInPlace(*o);
            else if (object)
                m_window.editExpression(QStringLiteral("value"));
        }
    });
    event->accept();
}

void DesignerView::editInPlace(const ObjectRef& ref)
{
    const ReportObject* o = findObject(m_window.model(), ref);
    if (!o || o->kind != ObjectKind::Text)
        return;
    finishInPlaceEdit(true);
    m_edited = ref;
    m_editor = new QPlainTextEdit(viewport());
    m_editor->setObjectName(QStringLiteral("inPlaceEditor"));
    m_editor->setPlainText(o->text);
    QFont font = reportFont(o->style.font);
    font.setPixelSize(std::max(8, int(std::lround(o->style.font.size * 25.4 / 72 * pixelsPerMm()))));
    m_editor->setFont(font);
    m_editor->setFrameShape(QFrame::Box);
    m_editor->document()->setDocumentMargin(1);
    const QRect r = mapFromScene(m_scene->layout().objectRect(m_window.model(), ref)).boundingRect();
    m_editor->setGeometry(r.adjusted(0, 0, 0, std::max(0, QFontMetrics(font).height() + 6 - r.height())));
    m_editor->selectAll();
    m_editor->installEventFilter(this);
    m_editor->show();
    m_editor->setFocus();
}

void DesignerView::finishInPlaceEdit(bool keep)
{
    if (!m_editor)
        return;
    QPlainTextEdit* editor = m_editor;
    m_editor = nullptr;
    editor->removeEventFilter(this);
    const QString text = editor->toPlainText();
    editor->hide();
    editor->deleteLater();
    if (keep)
        m_window.setObjectText(m_edited, text);
    setFocus();
}

bool DesignerView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                guarded([&] { finishInPlaceEdit(false); });
                return true;
            }
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !(key->modifiers() & Qt::ShiftModifier)) {
                guarded([&] { finishInPlaceEdit(true); });
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            guarded([&] { finishInPlaceEdit(true); });
        }
    }
    return QGraphicsView::eventFilter(watched, event);
}

void DesignerView::keyPressEvent(QKeyEvent* event)
{
    bool handled = true;
    guarded([&] {
        const bool fine = event->modifiers() & Qt::ControlModifier;
        const bool resize = event->modifiers() & Qt::ShiftModifier;
        const double step = fine ? 0.1 : (m_window.snapToGrid() && m_window.gridSize() > 0 ? m_window.gridSize() : 1.0);
        switch (event->key()) {
        case Qt::Key_Left: m_window.moveSelection(-step, 0, resize); break;
        case Qt::Key_Right: m_window.moveSelection(step, 0, resize); break;
        case Qt::Key_Up: m_window.moveSelection(0, -step, resize); break;
        case Qt::Key_Down: m_window.moveSelection(0, step, resize); break;
        case Qt::Key_Delete: m_window.deleteSelection(); break;
        case Qt::Key_Escape:
            if (m_window.tool() != ReportDesignerWindow::Tool::Pointer)
                m_window.setTool(ReportDesignerWindow::Tool::Pointer);
            else
                m_window.setSelection({});
            break;
        case Qt::Key_F2:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_window.selection().objects.size() == 1)
                editInPlace(m_window.selection().objects.front());
            break;
        default: handled = false;
        }
    });
    if (!handled)
        QGraphicsView::keyPressEvent(event);
}

void DesignerView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        guarded([&] {
            const int steps = event->angleDelta().y() > 0 ? 1 : -1;
            m_window.zoomBox()->setCurrentText(QString::number(std::clamp(m_zoom + steps * 25, zoomLimits[0], zoomLimits[1])) + u'%');
            setZoom(m_zoom + steps * 25);
        });
        event->accept();
        return;
    }
    QGraphicsView::wheelEvent(event);
}

void DesignerView::contextMenuEvent(QContextMenuEvent* event)
{
    guarded([&] {
        const QPointF p = mapToScene(event->pos());
        if (auto o = objectAt(p); o && !m_window.selection().contains(*o))
            m_window.setSelection(DesignerSelection::ofObjects({*o}));
        QMenu menu(this);
        for (const char* key : {"cut", "copy", "paste", "delete", "", "alignLeft", "alignRight", "alignTop",
                                "alignBottom", "sameWidth", "sameHeight", "", "front", "back"}) {
            if (!*key)
                menu.addSeparator();
            else if (QAction* a = m_window.action(QString::fromLatin1(key)))
                menu.addAction(a);
        }
        menu.exec(event->globalPos());
    });
}

void DesignerView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(fieldMimeType()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DesignerView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(fieldMimeType()) && m_scene->layout().bandAt(mapToScene(event->position().toPoint())))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DesignerView::dropEvent(QDropEvent* event)
{
    guarded([&] {
        if (!event->mimeData()->hasFormat(fieldMimeType()))
            return;
        const QPointF p = mapToScene(event->position().toPoint());
        const BandPlace* place = m_scene->layout().bandAt(p);
        if (!place)
            return;
        const QString field = QString::fromUtf8(event->mimeData()->data(fieldMimeType()));
        const QPointF at = atLeastZero(p - place->area.topLeft());
        m_window.dropField(field, place->band, QPointF(snap(at.x()), snap(at.y())));
        event->acceptProposedAction();
    });
}
