#include "actions/record_actions.h"
#include "actions/sql_values.h"

#include "catalogue/sql_text.h"
#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/record_grid.h"
#include "controls/value_controls.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/sql_connection.h"

#include <optional>

namespace {

using SqlValues::quoted;
QString checkValue(Qt::CheckState state) { return SqlValues::checkState(state); }

// The value a control gives its {name} placeholder; nothing for controls without one.
std::optional<QString> placeholderValue(QObject* c, bool storedTexts)
{
    auto text = [storedTexts](const QString& t) { return storedTexts ? ToStoredText(t) : t; };
    if (auto* edit = qobject_cast<TdbEdit*>(c))
        return text(edit->text());
    if (auto* memo = qobject_cast<TdbMemo*>(c))
        return text(memo->toPlainText());
    if (auto* counter = qobject_cast<TdbEditCount*>(c))
        return text(counter->text());
    if (auto* combo = qobject_cast<TdbComboBox*>(c))
        return QString::number(combo->dbItemID());
    if (auto* check = qobject_cast<TdbCheckBox*>(c))
        return checkValue(check->checkState());
    if (auto* picker = qobject_cast<TdbDateTimePicker*>(c)) {
        if (!picker->isChecked())
            return QStringLiteral("NULL");
        return quoted(picker->kind() == TdbDateTimePicker::dtkTime ? picker->dbGetTime()
                                                                   : picker->dbGetDate());
    }
    if (auto* calendar = qobject_cast<TdbMonthCalendar*>(c))
        return quoted(calendar->dbGetDate());
    return std::nullopt;
}

} // namespace

QString TRecordActions::substitutePlaceholders(TdbButton* b, bool storedTexts)
{
    return substitutePlaceholders(b, b->dbSQL, storedTexts);
}

QString TRecordActions::substitutePlaceholders(TdbButton* b, QString s, bool storedTexts)
{
    TForm* form = TForm::formOf(b);
    if (!form)
        return s;
    for (QObject* c : form->components()) {
        if (c->objectName().isEmpty())
            continue;
        if (const auto value = placeholderValue(c, storedTexts))
            s.replace(u'{' + c->objectName() + u'}', *value, Qt::CaseInsensitive);
    }
    return s;
}

QString TRecordActions::sqlActionText(TdbButton* b)
{
    QString s = substitutePlaceholders(b, true);
    if (b->dbGeneralTableId != -1)
        s.replace(QStringLiteral("$id"), QString::number(b->dbGeneralTableId), Qt::CaseInsensitive);
    return s;
}

void TRecordActions::sqlAction(TdbButton* b)
{
    const QString s = sqlActionText(b);
    if (!b->dbResultControl.isEmpty()) {
        TdbStringGridEx* grid = resultGrid(b);
        grid->dbListFieldsNames = b->dbListFieldsNames;
        grid->dbSQL = s;
        grid->dbGeneralTable = b->dbGeneralTable;
        grid->dbSQLExecute();
        return;
    }
    m_db.execute(AuthorSql(m_db, s));
}
