#include "actions/field_caption.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QWidget>
#include <limits>

namespace {

QString cleaned(QString text)
{
    text.remove(QStringLiteral("&&")).remove(u'&');
    text = text.simplified();
    // "Name *" and "Name:" name the field Name.
    while (!text.isEmpty() && (text.back() == u':' || text.back() == u'*' || text.back() == u' '))
        text.chop(1);
    return text;
}

bool overlaps(int a0, int a1, int b0, int b1)
{
    return a0 < b1 && b0 < a1;
}

// The visible label on the control's parent that stands next to it: on its left in the same
// row first, else right above it; the closest one wins.
const QLabel* neighbourLabel(const QWidget* control)
{
    const QWidget* parent = control->parentWidget();
    if (!parent)
        return nullptr;
    QRect box = control->geometry();
    if (box.height() <= 0)
        box.setHeight(control->sizeHint().height());
    const QLabel* left = nullptr;
    const QLabel* above = nullptr;
    int leftGap = std::numeric_limits<int>::max();
    int aboveGap = std::numeric_limits<int>::max();
    for (const QObject* child : parent->children()) {
        const auto* label = qobject_cast<const QLabel*>(child);
        if (!label || label->text().trimmed().isEmpty())
            continue;
        // Where the caption's text stands: a label that sizes itself to its text may not have
        // done so before its form is first shown.
        const QRect l(label->geometry().topLeft(), label->sizeHint());
        if (l.left() < box.left() && overlaps(l.top(), l.bottom() + 1, box.top(), box.bottom() + 1)) {
            const int gap = box.left() - l.right();
            if (gap >= -2 && gap < leftGap) {
                leftGap = gap;
                left = label;
            }
        } else if (l.bottom() <= box.top() + 2
                   && overlaps(l.left(), l.right() + 1, box.left(), box.right() + 1)) {
            const int gap = box.top() - l.bottom();
            if (gap < aboveGap && gap <= 2 * qMax(box.height(), l.height())) {
                aboveGap = gap;
                above = label;
            }
        }
    }
    return left ? left : above;
}

} // namespace

QString fieldCaption(const QWidget* control, const QString& field)
{
    if (!control)
        return field;
    if (const QWidget* parent = control->parentWidget()) {
        for (const QObject* child : parent->children())
            if (const auto* label = qobject_cast<const QLabel*>(child);
                label && label->buddy() == control && !cleaned(label->text()).isEmpty())
                return cleaned(label->text());
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(control);
        check && !cleaned(check->text()).isEmpty())
        return cleaned(check->text());
    if (const QLabel* label = neighbourLabel(control)) {
        const QString text = cleaned(label->text());
        if (!text.isEmpty())
            return text;
    }
    return field;
}
