#include "platform/anchors.h"

#include "platform/guard.h"

#include <QEvent>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
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

} // namespace Anchors
