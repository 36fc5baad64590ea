#include "report/ui/designer_view.h"

#include "platform/guard.h"
#include "platform/lang.h"
#include "report/engine/text_layout.h"
#include "report/ui/designer_ruler.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRubberBand>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace {

const int zoomLimits[] = {25, 800};

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

} // namespace

DesignerView::DesignerView(DesignerDocument& document, DesignerScene* scene, QWidget* parent)
    : QGraphicsView(scene, parent), m_document(document), m_scene(scene)
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
    m_top->setObjectName(QStringLiteral("topRuler"));
    m_left = new DesignerRuler(*this, Qt::Vertical);
    m_left->setObjectName(QStringLiteral("leftRuler"));
    setViewportMargins(rulerPixels, rulerPixels, 0, 0);
    setZoom(100);
}

DesignerView::~DesignerView() = default;

void DesignerView::setTool(DesignerTool tool)
{
    const bool changed = tool != m_tool;
    m_tool = tool;
    viewport()->setCursor(tool == DesignerTool::Pointer ? Qt::ArrowCursor : Qt::CrossCursor);
    if (changed)
        emit toolChanged(tool);
}

void DesignerView::setSnap(bool on, double size)
{
    m_snapOn = on;
    m_gridSize = size;
    m_scene->setGrid(on, size);
}

double DesignerView::step() const
{
    return m_snapOn && m_gridSize > 0 ? m_gridSize : 1.0;
}

void DesignerView::showDraft(const ReportTemplate& draft, const DesignerSelection& selection)
{
    m_scene->show(draft, validSelection(draft, selection));
    refreshRulers();
}

void DesignerView::refreshRulers()
{
    m_top->update();
    m_left->update();
}

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
    if (!m_snapOn || m_gridSize <= 0)
        return hundredths(mm);
    const double g = m_gridSize;
    return hundredths(std::round(mm / g) * g);
}

std::optional<DesignerView::Hit> DesignerView::handleAt(QPointF p) const
{
    const double half = selectionHandlePixels / 2.0 / std::max(0.01, pixelsPerMm()) + tolerance() / 3;
    const ReportTemplate& t = m_document.model();
    for (const ObjectRef& ref : m_document.selection().objects) {
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
    const ReportTemplate& t = m_document.model();
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
    if (m_tool != DesignerTool::Pointer) {
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
    m_origin = m_document.model();
    m_drag = Drag::None;
    m_additive = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    const DesignerLayout& layout = m_scene->layout();

    if (m_tool != DesignerTool::Pointer) {
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
        DesignerSelection selection = m_document.selection();
        if (m_additive) {
            auto it = std::find(selection.objects.begin(), selection.objects.end(), *o);
            if (it != selection.objects.end()) {
                selection.objects.erase(it);
                m_document.setSelection(selection);
                return;
            }
            selection.band.reset();
            selection.objects.push_back(*o);
        } else if (!selection.contains(*o)) {
            selection = DesignerSelection::ofObjects({*o});
        }
        m_document.setSelection(selection);
        m_drag = Drag::Move;
    } else if (const BandPlace* caption = layout.captionAt(p)) {
        m_document.setSelection(DesignerSelection::ofBand(caption->band));
    } else {
        if (!m_additive)
            m_document.setSelection({});
        m_drag = Drag::Rubber;
        m_rubber->setGeometry(QRect(m_startView, QSize()));
        m_rubber->show();
    }
    m_originSelection = m_document.selection();
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
        showDraft(draft, selection);
        return;
    }
    case Drag::Resize: showDraft(resizedDraft(p), m_originSelection); return;
    case Drag::BandHeight: {
        ReportTemplate draft = m_origin;
        const BandPlace* place = m_scene->layout().find(m_band);
        if (Band* band = findBand(draft, m_band); band && place)
            band->height = std::max(0.0, snap(p.y() - place->area.top()));
        showDraft(draft, m_originSelection);
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
            showDraft(m_origin, m_document.selection());
        else
            m_document.change(draft, Lang.caption("Move"), selection);
        return;
    }
    case Drag::Resize: {
        const ReportTemplate draft = resizedDraft(p);
        if (draft == m_origin)
            showDraft(m_origin, m_document.selection());
        else
            m_document.change(draft, Lang.caption("Resize"), m_originSelection);
        return;
    }
    case Drag::BandHeight: {
        ReportTemplate draft = m_origin;
        const BandPlace* place = m_scene->layout().find(m_band);
        if (Band* band = findBand(draft, m_band); band && place)
            band->height = std::max(0.0, snap(p.y() - place->area.top()));
        if (draft == m_origin)
            showDraft(m_origin, m_document.selection());
        else
            m_document.change(draft, Lang.caption("Band height"), DesignerSelection::ofBand(m_band));
        return;
    }
    case Drag::Rubber: {
        m_rubber->hide();
        const QRectF area = mapToScene(QRect(m_startView, event->position().toPoint()).normalized()).boundingRect();
        DesignerSelection selection = m_additive ? m_document.selection() : DesignerSelection();
        selection.band.reset();
        const ReportTemplate& t = m_document.model();
        for (const BandRef& band : bandsInOrder(t))
            for (int i = 0; i < int(findBand(t, band)->objects.size()); ++i) {
                const ObjectRef ref{band, i};
                if (area.intersects(m_scene->layout().objectRect(t, ref).normalized().adjusted(-0.01, -0.01, 0.01, 0.01))
                    && !selection.contains(ref))
                    selection.objects.push_back(ref);
            }
        m_document.setSelection(selection);
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
        emit objectDrawn(m_tool, m_band, r);
        return;
    }
    }
}

void DesignerView::mouseDoubleClickEvent(QMouseEvent* event)
{
    guarded([&] {
        const QPointF p = mapToScene(event->position().toPoint());
        if (auto o = objectAt(p)) {
            m_document.setSelection(DesignerSelection::ofObjects({*o}));
            const ReportObject* object = findObject(m_document.model(), *o);
            if (object && object->kind == ObjectKind::Text)
                editInPlace(*o);
            else if (object && object->kind == ObjectKind::Subreport)
                emit subreportRequested(*o);
            else if (object)
                emit valueRequested();
        }
    });
    event->accept();
}

void DesignerView::editInPlace(const ObjectRef& ref)
{
    const ReportObject* o = findObject(m_document.model(), ref);
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
    const QRect r = mapFromScene(m_scene->layout().objectRect(m_document.model(), ref)).boundingRect();
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
        m_document.setObjectText(m_edited, text);
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
        const double step = fine ? 0.1 : this->step();
        switch (event->key()) {
        case Qt::Key_Left: m_document.moveSelection(-step, 0, resize); break;
        case Qt::Key_Right: m_document.moveSelection(step, 0, resize); break;
        case Qt::Key_Up: m_document.moveSelection(0, -step, resize); break;
        case Qt::Key_Down: m_document.moveSelection(0, step, resize); break;
        case Qt::Key_Delete: m_document.deleteSelection(); break;
        case Qt::Key_Escape:
            if (m_tool != DesignerTool::Pointer)
                setTool(DesignerTool::Pointer);
            else
                m_document.setSelection({});
            break;
        case Qt::Key_F2:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_document.selection().objects.size() == 1) {
                const ObjectRef ref = m_document.selection().objects.front();
                const ReportObject* o = findObject(m_document.model(), ref);
                // Enter on a sub-report opens it, as a double-click does.
                if (o && o->kind == ObjectKind::Subreport)
                    emit subreportRequested(ref);
                else
                    editInPlace(ref);
            }
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
            setZoom(m_zoom + steps * 25);
            emit zoomChanged(m_zoom);
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
        if (auto o = objectAt(p); o && !m_document.selection().contains(*o))
            m_document.setSelection(DesignerSelection::ofObjects({*o}));
        emit contextMenuRequested(event->globalPos());
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
        m_document.dropField(field, place->band, QPointF(snap(at.x()), snap(at.y())));
        event->acceptProposedAction();
    });
}