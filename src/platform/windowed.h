#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QWidget;

// Windowed controls: the controls that can hold other controls and take part in their
// parent's tab sequence. Each parent keeps its windowed children in a tab sequence, in
// creation order until a tab order moves one of them.
namespace Windowed {

// Marks a control as windowed and appends it to the end of its parent's tab sequence.
void mark(QWidget* control);
bool isWindowed(const QWidget* control);

// The widget inside which children of the control are placed (a form's client area, a page
// control's pages are its own children, other containers are themselves).
QWidget* container(QWidget* control);

// The windowed children of a control (a form, a container, a page control's pages).
QList<QWidget*> children(QWidget* parent);
// The windowed child with that name, ignoring the case of ASCII letters.
QWidget* findChild(QWidget* parent, const QString& name);

// The parent's windowed children in tab order.
QList<QWidget*> tabSequence(QWidget* parent);
int tabOrder(const QWidget* control);
// Moves the control to position n of its parent's tab sequence; negative means first, past
// the end means last.
void setTabOrder(QWidget* control, int n);
// setTabOrder for each (control, n) in turn, for controls of one parent; one pass over the
// sequence however many controls move.
void setTabOrders(const QList<QPair<QWidget*, int>>& moves);

// All windowed controls of the form in tab order, depth first: each control followed by its
// own windowed children.
QList<QWidget*> focusChain(QWidget* form);
// Makes the Tab key follow focusChain.
void applyFocusChain(QWidget* form);

} // namespace Windowed
