#include "platform/windowed.h"

#include "platform/form.h"

#include <QTabWidget>
#include <QVariant>
#include <algorithm>

namespace Windowed {

namespace {
const char* const WindowedProperty = "varnelWindowed";
const char* const TabOrderProperty = "varnelTabOrder";

QWidget* sequenceParent(QWidget* control)
{
    QWidget* parent = control->parentWidget();
    // A form's controls live in its client area; the client is the parent that counts.
    return parent;
}

void renumber(const QList<QWidget*>& sequence)
{
    for (int i = 0; i < sequence.size(); ++i)
        sequence[i]->setProperty(TabOrderProperty, i);
}
} // namespace

void mark(QWidget* control)
{
    control->setProperty(WindowedProperty, true);
    QWidget* parent = sequenceParent(control);
    const int count = parent ? static_cast<int>(tabSequence(parent).size()) : 0;
    control->setProperty(TabOrderProperty, count + 1000000); // after every ordered sibling
    if (parent)
        renumber(tabSequence(parent));
}

bool isWindowed(const QWidget* control)
{
    return control && control->property(WindowedProperty).toBool();
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
    QList<QWidget*> result = children(parent);
    std::stable_sort(result.begin(), result.end(), [](QWidget* a, QWidget* b) {
        return a->property(TabOrderProperty).toInt() < b->property(TabOrderProperty).toInt();
    });
    return result;
}

int tabOrder(const QWidget* control)
{
    return control->property(TabOrderProperty).toInt();
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
    renumber(sequence);
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
