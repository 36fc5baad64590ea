// A record form closed by its close button, or by its Close button or Escape, asks first when
// the user has changed something since the form was filled or last saved.
#include "actions/record_actions.h"

#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/file_control.h"
#include "controls/picture_controls.h"
#include "controls/value_controls.h"
#include "platform/desktop_services.h"
#include "platform/form.h"
#include "platform/lang.h"

namespace {

// What the user can change in one data control, as text; empty for other components.
QString stateOf(QObject* c)
{
    if (auto* counter = qobject_cast<TdbEditCount*>(c))
        return counter->text();
    if (auto* edit = qobject_cast<TdbEdit*>(c))
        return edit->text();
    if (auto* memo = qobject_cast<TdbMemo*>(c))
        return memo->toPlainText();
    if (auto* check = qobject_cast<TdbCheckBox*>(c))
        return QString::number(check->checkState());
    if (auto* combo = qobject_cast<TdbComboBox*>(c))
        return QString::number(combo->currentIndex());
    if (auto* picker = qobject_cast<TdbDateTimePicker*>(c))
        return picker->isChecked() ? QString::number(picker->value(), 'g', 17) : QStringLiteral("-");
    if (auto* calendar = qobject_cast<TdbMonthCalendar*>(c))
        return QString::number(calendar->value(), 'g', 17);
    if (auto* picture = qobject_cast<TdbImageDataBase*>(c))
        return picture->dbFileName + (picture->dbImageIsChanged ? QStringLiteral("*") : QString());
    if (auto* file = qobject_cast<TdbFileToDatabase*>(c))
        return file->dbFileName + (file->dbFileIsChanged ? QStringLiteral("*") : QString());
    return QString();
}

QStringList controlStates(TForm* form)
{
    QStringList states;
    for (QObject* c : form->components())
        states.append(stateOf(c));
    return states;
}

TdbButton* saveButtonOf(TForm* form)
{
    for (TdbButton* b : form->componentsOf<TdbButton>())
        if (b->dbActionType == adbSaveRecord)
            return b;
    return nullptr;
}

} // namespace

void TRecordActions::markClean(TForm* form)
{
    if (saveButtonOf(form))
        m_cleanState.insert(form, controlStates(form));
}

bool TRecordActions::mayClose(TForm* form)
{
    const auto clean = m_cleanState.constFind(form);
    if (clean == m_cleanState.constEnd() || *clean == controlStates(form)) {
        m_cleanState.remove(form);
        return true;
    }
    const QStringList choices{Lang.Save, Lang.Discard, Lang.Cancel};
    switch (desktop().choose(form, Lang.Confirm, Lang.Unsaved_changes, DesktopServices::Icon::Question,
                             choices, 0, 2)) {
    case 0: {
        TdbButton* save = saveButtonOf(form);
        // A save that fails or refuses leaves the form open with what was typed.
        if (!save || saveRecord(save) == Saved::Nothing)
            return false;
        m_cleanState.remove(form);
        return true;
    }
    case 1:
        m_cleanState.remove(form);
        return true;
    default:
        return false;
    }
}
