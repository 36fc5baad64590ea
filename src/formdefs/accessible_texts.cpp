#include "formdefs/accessible_texts.h"

#include "controls/layout_controls.h"
#include "platform/form.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QTabWidget>

namespace {

QString withoutMnemonics(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text.trimmed();
}

QString ownCaption(QWidget* control)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return withoutMnemonics(button->text());
    if (auto* group = qobject_cast<QGroupBox*>(control))
        return withoutMnemonics(group->title());
    if (auto* sheet = qobject_cast<TdbTabSheet*>(control)) {
        // A page's caption is its tab's text, kept by the page control that shows it.
        for (QWidget* up = sheet->parentWidget(); up; up = up->parentWidget())
            if (auto* tabs = qobject_cast<QTabWidget*>(up))
                if (const int index = tabs->indexOf(sheet); index >= 0)
                    return withoutMnemonics(tabs->tabText(index));
    }
    return QString();
}

bool isBuiltControl(const TForm* form, const QWidget* widget)
{
    return widget && form->client()->isAncestorOf(widget);
}

// A control without a hint of its own is described by the hints of its buttons, so that a
// file field tells what its two buttons do.
QString hintOf(QWidget* control)
{
    if (!control->toolTip().isEmpty())
        return control->toolTip();
    QStringList hints;
    for (QAbstractButton* button : control->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
        if (!button->toolTip().isEmpty())
            hints.append(button->toolTip());
    return hints.join(u' ');
}

} // namespace

void ApplyAccessibleTexts(TForm* form)
{
    TdbLabel* lastLabel = nullptr;
    for (QObject* component : form->components()) {
        auto* control = qobject_cast<QWidget*>(component);
        if (!isBuiltControl(form, control))
            continue;
        if (auto* label = qobject_cast<TdbLabel*>(control)) {
            control->setAccessibleName(withoutMnemonics(label->text()));
            lastLabel = label;
            continue;
        }
        // Each change tells the accessibility layer, which costs a lookup of the control's
        // accessible object; most controls have no hint and none before this pass.
        if (const QString hint = hintOf(control); hint != control->accessibleDescription())
            control->setAccessibleDescription(hint);
        // A panel only holds controls: the label before it belongs to what is inside.
        if (qobject_cast<TdbPanel*>(control)) {
            control->setAccessibleName(control->objectName());
            continue;
        }
        QString name = ownCaption(control);
        if (name.isEmpty() && lastLabel) {
            name = withoutMnemonics(lastLabel->text());
            if (!lastLabel->buddy())
                lastLabel->setBuddy(control);
        }
        if (name.isEmpty())
            name = control->objectName();
        lastLabel = nullptr;
        control->setAccessibleName(name);
    }
}
