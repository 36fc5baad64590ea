#include "platform/windowed.h"

#include "platform/form.h"
#include "platform/guard.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTabWidget>
#include <algorithm>

namespace Windowed {

namespace {

class Sequence;

// Which controls are windowed and where each parent keeps its sequence, held beside the
// widgets rather than as dynamic properties: a property is looked up by name through every
// static property of the widget's classes first, and building a form asks several times per
// control. Never freed, so that a widget destroyed during exit still finds them.
QSet<const QObject*>& windowedControls()
{
    static auto* controls = new QSet<const QObject*>();
    return *controls;
}

QHash<const QObject*, Sequence*>& sequences()
{
    static auto* all = new QHash<const QObject*, Sequence*>();
    return *all;
}

// The tab sequence of one parent widget: its windowed children in tab order. Kept as a list
// on the parent, so that appending a control and moving one cost a single pass, however
// many controls a form holds.
class Sequence : public QObject {
public:
    explicit Sequence(QWidget* parent) : QObject(parent), m_owner(parent) { sequences().insert(parent, this); }
    ~Sequence() override
    {
        const auto it = sequences().constFind(m_owner);
        if (it != sequences().constEnd() && it.value() == this)
            sequences().erase(it);
    }

    static Sequence* of(QWidget* parent, bool create)
    {
        Sequence* sequence = sequences().value(parent);
        if (!sequence && create)
            sequence = new Sequence(parent);
        return sequence;
    }

    QList<QPointer<QWidget>> controls;

private:
    const QObject* m_owner;
};

// The widget whose children form the sequence: a form's client area, a tab widget's page
// stack, any other container itself.
QWidget* sequenceOwner(QWidget* parent, const QList<QWidget*>& children)
{
    return children.isEmpty() ? container(parent) : children.first()->parentWidget();
}

// The children in the order of the sequence; children the sequence does not know (marked
// before being moved here) follow in creation order.
QList<QWidget*> ordered(QWidget* owner, const QList<QWidget*>& children)
{
    Sequence* sequence = Sequence::of(owner, false);
    if (!sequence)
        return children;
    const QSet<QWidget*> present(children.begin(), children.end());
    QList<QWidget*> result;
    result.reserve(children.size());
    QSet<QWidget*> taken;
    for (const QPointer<QWidget>& w : sequence->controls)
        if (w && present.contains(w) && !taken.contains(w)) {
            result.append(w);
            taken.insert(w);
        }
    if (result.size() != children.size())
        for (QWidget* w : children)
            if (!taken.contains(w))
                result.append(w);
    return result;
}

void store(QWidget* owner, const QList<QWidget*>& order)
{
    Sequence* sequence = Sequence::of(owner, true);
    sequence->controls.clear();
    sequence->controls.reserve(order.size());
    for (QWidget* w : order)
        sequence->controls.append(w);
}
} // namespace

void mark(QWidget* control)
{
    const bool again = isWindowed(control);
    if (!again) {
        windowedControls().insert(control);
        QObject::connect(control, &QObject::destroyed,
                         [](QObject* gone) { guarded([gone] { windowedControls().remove(gone); }); });
    }
    if (QWidget* parent = control->parentWidget()) {
        Sequence* sequence = Sequence::of(parent, true);
        if (again)
            sequence->controls.removeAll(control);
        sequence->controls.append(control); // after every sibling marked before it
    }
}

bool isWindowed(const QWidget* control)
{
    return control && windowedControls().contains(control);
}

QWidget* container(QWidget* control)
{
    if (auto* form = qobject_cast<TForm*>(control))
        return form->client();
    return control;
}

QList<QWidget*> children(QWidget* parent)
{
    QList<QWidget*> result;
    if (auto* tabs = qobject_cast<QTabWidget*>(parent)) {
        for (int i = 0; i < tabs->count(); ++i)
            if (isWindowed(tabs->widget(i)))
                result.append(tabs->widget(i));
        return result;
    }
    for (QObject* child : container(parent)->children())
        if (child->isWidgetType() && isWindowed(static_cast<QWidget*>(child)))
            result.append(static_cast<QWidget*>(child));
    return result;
}

QWidget* findChild(QWidget* parent, const QString& name)
{
    if (!parent)
        return nullptr;
    for (QWidget* child : children(parent))
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
    return nullptr;
}

QList<QWidget*> tabSequence(QWidget* parent)
{
    const QList<QWidget*> kids = children(parent);
    return ordered(sequenceOwner(parent, kids), kids);
}

int tabOrder(const QWidget* control)
{
    QWidget* parent = control->parentWidget();
    if (!parent)
        return 0;
    const QList<QWidget*> sequence = tabSequence(parent);
    return static_cast<int>(sequence.indexOf(const_cast<QWidget*>(control)));
}

void setTabOrder(QWidget* control, int n)
{
    QWidget* parent = control->parentWidget();
    if (!parent)
        return;
    QList<QWidget*> sequence = tabSequence(parent);
    sequence.removeAll(control);
    const int at = std::clamp(n, 0, static_cast<int>(sequence.size()));
    sequence.insert(at, control);
    store(parent, sequence);
}

void setTabOrders(const QList<QPair<QWidget*, int>>& moves)
{
    if (moves.isEmpty())
        return;
    QWidget* parent = moves.first().first->parentWidget();
    if (!parent)
        return;
    QList<QWidget*> sequence = tabSequence(parent);
    for (const auto& [control, n] : moves) {
        if (control->parentWidget() != parent) {
            setTabOrder(control, n);
            continue;
        }
        sequence.removeOne(control);
        sequence.insert(std::clamp(n, 0, static_cast<int>(sequence.size())), control);
    }
    store(parent, sequence);
}

namespace {
void collect(QWidget* parent, QList<QWidget*>& out)
{
    for (QWidget* child : tabSequence(parent)) {
        out.append(child);
        collect(child, out);
    }
}
} // namespace

QList<QWidget*> focusChain(QWidget* form)
{
    QList<QWidget*> result;
    collect(form, result);
    return result;
}

void applyFocusChain(QWidget* form)
{
    const QList<QWidget*> chain = focusChain(form);
    QWidget* previous = nullptr;
    for (QWidget* w : chain) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

} // namespace Windowed
