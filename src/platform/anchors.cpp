#include "platform/anchors.h"

#include "platform/guard.h"

#include <QEvent>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <algorithm>
#include <cmath>
#include <limits>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>

namespace Anchors {

namespace {

const char* const SidesProperty = "varnelAnchors";
const char* const KeeperProperty = "varnelAnchorKeeper";

int toBits(const Sides& s)
{
    return (s.left ? 1 : 0) | (s.top ? 2 : 0) | (s.right ? 4 : 0) | (s.bottom ? 8 : 0);
}

Sides fromBits(int bits)
{
    return Sides{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
}

// The widget whose size the parent's size follows. A form's client area and the pages of a
// tab widget are sized by a layout only when they are first shown, so until then their own
// size says nothing; the main window and the tab widget are sized at once, and the client or
// page keeps a fixed offset to them.
const QWidget* sizeReference(const QWidget* parent)
{
    const QWidget* w = parent;
    while (!w->isWindow()) {
        QWidget* up = w->parentWidget();
        if (!up)
            break;
        if (auto* main = qobject_cast<QMainWindow*>(up); main && main->centralWidget() == w) {
            w = up;
            continue;
        }
        if (qobject_cast<QStackedWidget*>(up) && qobject_cast<QTabWidget*>(up->parentWidget())) {
            w = up->parentWidget();
            continue;
        }
        break;
    }
    return w;
}

// Watches one parent and keeps the anchored distances of its children.
class Keeper : public QObject {
public:
    explicit Keeper(QWidget* parent) : QObject(parent), m_parent(parent)
    {
        parent->installEventFilter(this);
    }

    static Keeper* of(QWidget* parent, bool create)
    {
        auto* keeper = static_cast<Keeper*>(parent->property(KeeperProperty).value<QObject*>());
        if (!keeper && create) {
            keeper = new Keeper(parent);
            parent->setProperty(KeeperProperty, QVariant::fromValue<QObject*>(keeper));
        }
        return keeper;
    }

    void track(QWidget* control, const Sides& sides)
    {
        Entry& e = m_entries[control];
        e.control = control;
        e.sides = sides;
        rebase(e);
    }

    void rebase(QWidget* control)
    {
        auto it = m_entries.find(control);
        if (it != m_entries.end())
            rebase(*it);
    }

    void forget(QWidget* control) { m_entries.remove(control); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_parent && event->type() == QEvent::Resize)
            guarded([this] { adjust(); });
        return false;
    }

private:
    struct Entry {
        QPointer<QWidget> control;
        Sides sides;
        QRect base;
        QSize baseReference;
        QRect applied;
        QSize appliedReference;
    };

    QSize referenceSize() const { return sizeReference(m_parent)->size(); }

    void rebase(Entry& e)
    {
        e.base = e.control->geometry();
        e.baseReference = referenceSize();
        e.applied = e.base;
        e.appliedReference = e.baseReference;
    }

    // An unanchored axis keeps the control's centre at the same fraction of the parent, so
    // controls spread out as the parent grows instead of all sliding by the same amount.
    static void follow(bool low, bool high, int baseReference, int reference, int& pos, int& size)
    {
        const int delta = reference - baseReference;
        if (low && high) {
            size += delta;
        } else if (high) {
            pos += delta;
        } else if (!low && baseReference > 0) {
            const qint64 centre = 2 * qint64(pos) + size;
            pos = int((centre * reference / baseReference - size) / 2);
        }
    }

    void adjust()
    {
        const QSize reference = referenceSize();
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            Entry& e = *it;
            if (!e.control || e.control->parentWidget() != m_parent) {
                it = m_entries.erase(it);
                continue;
            }
            // Code moved the control since we last placed it: its new place is the one to keep,
            // at the size the parent had then.
            if (e.control->geometry() != e.applied) {
                e.base = e.control->geometry();
                e.baseReference = e.appliedReference;
            }
            QRect r = e.base;
            int x = r.x(), y = r.y(), w = r.width(), h = r.height();
            follow(e.sides.left, e.sides.right, e.baseReference.width(), reference.width(), x, w);
            follow(e.sides.top, e.sides.bottom, e.baseReference.height(), reference.height(), y, h);
            e.applied = QRect(x, y, qMax(w, 0), qMax(h, 0));
            e.appliedReference = reference;
            if (e.control->geometry() != e.applied)
                e.control->setGeometry(e.applied);
            ++it;
        }
    }

    QWidget* m_parent;
    QHash<QWidget*, Entry> m_entries;
};

} // namespace

void set(QWidget* control, bool left, bool top, bool right, bool bottom)
{
    set(control, Sides{left, top, right, bottom});
}

void set(QWidget* control, const Sides& sides)
{
    if (!control)
        return;
    control->setProperty(SidesProperty, toBits(sides));
    QWidget* parent = control->parentWidget();
    if (!parent)
        return;
    if (sides.isDefault()) {
        if (Keeper* keeper = Keeper::of(parent, false))
            keeper->forget(control);
        return;
    }
    Keeper::of(parent, true)->track(control, sides);
}

Sides get(const QWidget* control)
{
    const QVariant bits = control->property(SidesProperty);
    return bits.isValid() ? fromBits(bits.toInt()) : Sides{};
}

void place(QWidget* control, const QRect& geometry)
{
    control->setGeometry(geometry);
    if (QWidget* parent = control->parentWidget())
        if (Keeper* keeper = Keeper::of(parent, false))
            keeper->rebase(control);
}

namespace {

// Where the two sides of a control go on one axis as its reference grows or shrinks: each is
// its present place plus a share of the change of the reference's extent (see Keeper::follow).
struct Span {
    double low;
    double high;
    double lowShare;
    double highShare;
};

Span spanOf(int pos, int size, bool lowAnchor, bool highAnchor, int reference)
{
    const double low = pos;
    const double high = double(pos) + size;
    if (lowAnchor && highAnchor)
        return {low, high, 0, 1};
    if (highAnchor)
        return {low, high, 1, 1};
    if (lowAnchor || reference <= 0)
        return {low, high, 0, 0};
    const double share = (2.0 * pos + size) / (2.0 * reference);
    return {low, high, share, share};
}

constexpr double NoLimit = -std::numeric_limits<double>::infinity();

// The extent of the reference below which a distance that is now `distance` and shrinks by
// `closing` for every pixel the reference loses would fall under zero.
double limitFor(double distance, double closing, int reference)
{
    return closing > 0 ? reference - distance / closing : NoLimit;
}

bool overlap(const Span& a, const Span& b)
{
    return a.low < b.high && b.low < a.high;
}

// The gap between two spans that are apart, as a limit on the reference's extent.
double gapLimit(const Span& a, const Span& b, int reference)
{
    const Span& first = a.high <= b.low ? a : b;
    const Span& second = a.high <= b.low ? b : a;
    return limitFor(second.low - first.high, second.lowShare - first.highShare, reference);
}

bool willShow(const QWidget* w)
{
    return !w->isWindow() && !(w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

// The widgets whose children are placed relative to reference's size.
QList<const QWidget*> followersOf(const QWidget* reference)
{
    QList<const QWidget*> followers{reference};
    if (auto* main = qobject_cast<const QMainWindow*>(reference); main && main->centralWidget())
        followers.append(main->centralWidget());
    if (auto* tabs = qobject_cast<const QTabWidget*>(reference))
        for (int i = 0; i < tabs->count(); ++i)
            followers.append(tabs->widget(i));
    return followers;
}

constexpr int MaxNesting = 64;

// The smallest width and height of reference at which everything placed relative to it keeps
// apart, inside, and at its minimum size.
QSizeF neededSize(const QWidget* reference, int nesting)
{
    const QSize present = reference->size();
    double width = 0;
    double height = 0;
    // Pairs apart on both axes stay apart while either axis does.
    QList<QPair<double, double>> diagonal;
    for (const QWidget* container : followersOf(reference)) {
        // Without a keeper nothing inside the container moves or changes its size.
        if (!Keeper::of(const_cast<QWidget*>(container), false))
            continue;
        struct Item {
            Span x;
            Span y;
        };
        QList<Item> items;
        for (const QObject* child : container->children()) {
            auto* w = qobject_cast<const QWidget*>(child);
            if (!w || !willShow(w))
                continue;
            const Sides sides = get(w);
            const QRect g = w->geometry();
            const Item item{spanOf(g.x(), g.width(), sides.left, sides.right, present.width()),
                            spanOf(g.y(), g.height(), sides.top, sides.bottom, present.height())};
            items.append(item);
            if (item.x.low >= 0)
                width = std::max(width, limitFor(item.x.low, item.x.lowShare, present.width()));
            if (item.y.low >= 0)
                height = std::max(height, limitFor(item.y.low, item.y.lowShare, present.height()));
            const double widthRate = item.x.highShare - item.x.lowShare;
            const double heightRate = item.y.highShare - item.y.lowShare;
            if (widthRate <= 0 && heightRate <= 0)
                continue;
            const QSizeF inner = nesting < MaxNesting ? neededSize(w, nesting + 1) : QSizeF(0, 0);
            const QSize hint = w->minimumSizeHint();
            const double minWidth = std::min<double>(g.width(), std::max<double>(inner.width(), hint.width()));
            const double minHeight = std::min<double>(g.height(), std::max<double>(inner.height(), hint.height()));
            width = std::max(width, limitFor(g.width() - minWidth, widthRate, present.width()));
            height = std::max(height, limitFor(g.height() - minHeight, heightRate, present.height()));
        }
        for (qsizetype i = 0; i < items.size(); ++i)
            for (qsizetype j = i + 1; j < items.size(); ++j) {
                const Item& a = items[i];
                const Item& b = items[j];
                const bool xOverlap = overlap(a.x, b.x);
                const bool yOverlap = overlap(a.y, b.y);
                if (xOverlap && yOverlap)
                    continue; // already over each other by design
                if (yOverlap)
                    width = std::max(width, gapLimit(a.x, b.x, present.width()));
                else if (xOverlap)
                    height = std::max(height, gapLimit(a.y, b.y, present.height()));
                else
                    diagonal.append({gapLimit(a.x, b.x, present.width()), gapLimit(a.y, b.y, present.height())});
            }
    }
    for (const auto& [x, y] : std::as_const(diagonal))
        if (width < x && height < y) {
            if (x - width <= y - height)
                width = x;
            else
                height = y;
        }
    return QSizeF(std::clamp(width, 0.0, double(present.width())),
                  std::clamp(height, 0.0, double(present.height())));
}

} // namespace

QSize minimumSize(const QWidget* window)
{
    const QSizeF needed = neededSize(window, 0);
    return QSize(int(std::ceil(needed.width())), int(std::ceil(needed.height())));
}

} // namespace Anchors
