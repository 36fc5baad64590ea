#include "actions/record_actions.h"

#include "catalogue/sql_text.h"
#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/file_control.h"
#include "controls/picture_controls.h"
#include "controls/record_grid.h"
#include "controls/value_controls.h"
#include "platform/day_count.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/lang.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

#include <QDateTime>

void TRecordActions::OnButtonClick(TdbButton* b)
{
    if (!b || b->dbActionType == adbNone)
        return;
    switch (b->dbActionType) {
    case adbSearch:
        search(b);
        break;
    case adbNewRecord:
        newRecord(b);
        break;
    case adbSaveRecord:
        saveRecord(b);
        break;
    case adbShowRecord:
        showRecord(b);
        break;
    case adbDelete:
        deleteRecord(b);
        break;
    case adbSQL:
        sqlAction(b);
        break;
    case adbShowForm:
        showForm(b);
        break;
    case adbCloseForm:
        closeForm(b);
        break;
    case adbGridToExcel:
        gridToSpreadsheet(b);
        break;
    case adbReport:
        reportAction(b);
        break;
    case adbNone:
        break;
    }
}

void TRecordActions::inform(const QString& caption, const QString& text) const
{
    desktop().message(&m_main, caption, text, DesktopServices::Icon::Information,
                      DesktopServices::Ok);
}

TdbStringGridEx* TRecordActions::resultGrid(TdbButton* b)
{
    TForm* form = TForm::formOf(b);
    auto* grid = form ? qobject_cast<TdbStringGridEx*>(form->findComponent(b->dbResultControl))
                      : nullptr;
    if (!grid)
        throw ComponentError(
            QStringLiteral("The button \"%1\" works on the record grid \"%2\", but the form \"%3\" "
                           "has no record grid of that name.")
                .arg(b->objectName(), b->dbResultControl, form ? form->formName() : QString()));
    return grid;
}

TdbStringGridEx* TRecordActions::prepareSearch(TdbButton* b)
{
    TdbStringGridEx* grid = resultGrid(b);
    grid->dbParentTable.clear();
    grid->dbParentTableId = -1;
    grid->dbGeneralTable = b->dbGeneralTable;
    grid->dbListFields = b->dbListFields;
    grid->dbListFieldsNames = b->dbListFieldsNames;
    grid->dbListControls = b->dbListControls;
    grid->dbSortField = b->dbSortField;
    grid->dbSortAsc = b->dbSortAsc;
    return grid;
}

void TRecordActions::search(TdbButton* b)
{
    prepareSearch(b)->dbExecute();
}

void TRecordActions::showForm(TdbButton* b)
{
    TForm* target = Forms::find(b->dbFormName);
    if (!target)
        return;
    for (QObject* c : target->components()) {
        if (auto* grid = qobject_cast<TdbStringGridEx*>(c); grid && grid->dbAutoExecute)
            grid->dbExecute();
        else if (auto* save = qobject_cast<TdbButton*>(c); save && save->dbActionType == adbSaveRecord)
            save->dbGeneralTableId = -1;
    }
    m_cleanState.remove(target); // a form shown as it is holds no record to lose
    target->showModal();
}

void TRecordActions::closeForm(TdbButton* b)
{
    TForm* form = TForm::formOf(b);
    if (!form)
        return;
    if (form == &m_main)
        form->close(); // closing the main window ends the application
    else if (mayClose(form))
        form->closeForm();
}

bool TRecordActions::saveParentRecord(TForm* form)
{
    TdbButton* save = nullptr;
    for (TdbButton* button : form->componentsOf<TdbButton>())
        if (button->dbActionType == adbSaveRecord) {
            save = button;
            break;
        }
    if (!save)
        return true;
    save->dbDoCloseForm = false;
    // The save runs as a nested action; its errors end this action too.
    qint32 id;
    switch (saveRecord(save)) {
    case Saved::Nothing:
        return false; // no child may refer to a record that was not written
    case Saved::Updated:
        id = save->dbGeneralTableId; // the record on the form, not the last one inserted
        break;
    case Saved::Inserted:
    default:
        id = static_cast<qint32>(GetLastInsertId(m_db, save->dbGeneralTable));
        break;
    }
    FillForm2(id, form, save->dbGeneralTable);
    return true;
}

void TRecordActions::newRecord(TdbButton* b)
{
    TForm* form = TForm::formOf(b);
    if (form != &m_main && b->dbParentTable.isEmpty() && !saveParentRecord(form))
        return;
    TForm* target = Forms::find(b->dbFormName);
    if (!target)
        return;

    for (QObject* c : target->components()) {
        if (auto* edit = qobject_cast<TdbEdit*>(c)) {
            edit->setText(edit->dbDefaultValue);
        } else if (auto* memo = qobject_cast<TdbMemo*>(c)) {
            memo->setPlainText(memo->dbDefaultValue);
        } else if (auto* combo = qobject_cast<TdbComboBox*>(c)) {
            if (combo->dbParentCombo.isEmpty())
                combo->setCurrentIndex(combo->dbDefaultID >= 0 && combo->dbDefaultID < combo->count()
                                           ? combo->dbDefaultID
                                           : -1);
            else
                combo->Clear();
        } else if (auto* grid = qobject_cast<TdbStringGridEx*>(c)) {
            grid->dbFillColumnsName();
            if (grid->dbAutoExecute)
                grid->dbExecute();
        } else if (auto* button = qobject_cast<TdbButton*>(c)) {
            if (button->dbActionType == adbNewRecord) {
                button->dbParentTable.clear();
            } else if (button->dbActionType == adbReport) {
                button->dbGeneralTableId = -1;
            } else if (button->dbActionType == adbSaveRecord) {
                button->dbGeneralTableId = -1;
                button->dbParentTable = b->dbParentTable;
                button->dbParentTableId = b->dbParentTableId;
            }
        } else if (auto* check = qobject_cast<TdbCheckBox*>(c)) {
            check->setCheckState(check->dbDefaultState);
        } else if (auto* picker = qobject_cast<TdbDateTimePicker*>(c)) {
            picker->setDateTime(QDateTime::currentDateTime());
            picker->setChecked(picker->dbDefaultChecked);
        } else if (auto* calendar = qobject_cast<TdbMonthCalendar*>(c)) {
            calendar->setValue(DayCount::fromDate(QDate::currentDate()));
        } else if (auto* picture = qobject_cast<TdbImageDataBase*>(c)) {
            picture->Clear();
        } else if (auto* file = qobject_cast<TdbFileToDatabase*>(c)) {
            file->ClearEx();
        } else if (auto* counter = qobject_cast<TdbEditCount*>(c)) {
            counter->setText(QString::number(GetNextRecordCount(m_db, counter->dbTable, counter->dbBeginValue)));
        }
    }

    target->setHint(QString());
    markClean(target);
    target->showModal();
    refreshDependentGrids(form, target->hint(), b);
}

void TRecordActions::showRecord(TdbButton* b)
{
    TdbStringGridEx* grid = resultGrid(b);
    if (grid->dbListId.isEmpty()) {
        inform(Lang.Error, Lang.Entry_to_edit_is_no_selected);
        return;
    }
    const qint32 id = grid->dbItemID();
    if (id == -1) {
        inform(Lang.Error, Lang.Unable_to_determine_the_record_ID);
        return;
    }
    b->dbGeneralTable = grid->dbGeneralTable;
    b->dbParentTable = grid->dbGeneralTable;
    b->dbParentTableId = id;
    const QString saved = FillForm(id, b);
    refreshDependentGrids(TForm::formOf(b), saved, nullptr);
}

void TRecordActions::refreshDependentGrids(TForm* form, const QString& table,
                                           TdbButton* parentLinkFrom)
{
    if (!form || table.isEmpty())
        return;
    for (TdbStringGridEx* grid : form->componentsOf<TdbStringGridEx>()) {
        if (grid->dbGeneralTable != table)
            continue;
        if (grid->dbAutoExecute) {
            grid->dbExecute();
            continue;
        }
        if (parentLinkFrom) {
            grid->dbParentTable = parentLinkFrom->dbParentTable;
            grid->dbParentTableId = parentLinkFrom->dbParentTableId;
        }
        if (grid->dbSQL.isEmpty())
            grid->dbExecute();
        else
            grid->dbSQLExecute();
    }
}

void TRecordActions::deleteRecord(TdbButton* b)
{
    TdbStringGridEx* grid = resultGrid(b);
    if (grid->dbListId.isEmpty()) {
        inform(Lang.Info, Lang.Entry_to_be_deleted_is_not_selected);
        return;
    }
    const qint32 id = grid->dbItemID();
    if (id == -1) {
        inform(Lang.Error, Lang.Unable_to_determine_the_record_ID);
        return;
    }
    // The question says which record goes and what goes with it; No is the answer that
    // Enter gives.
    if (b->dbConfirmDelete
        && desktop().message(&m_main, Lang.Confirm, deleteQuestion(grid, id), DesktopServices::Icon::Question,
                             DesktopServices::Yes | DesktopServices::No, DesktopServices::No)
               != DesktopServices::Yes)
        return;
    {
        // The record and the child records that go with it leave together or not at all.
        SqlTransaction transaction(m_db);
        try {
            m_db.execute(QStringLiteral("DELETE FROM ") + m_db.dialect().plainName(grid->dbGeneralTable)
                         + QStringLiteral(" WHERE id=") + QString::number(id));
        } catch (const DatabaseError& error) {
            if (constraintKind(error) != ConstraintKind::ForeignKey)
                throw;
            DatabaseError friendly(Lang.Record_refers_to_missing_record + QStringLiteral("\n\n")
                                       + error.detail,
                                   error.code());
            friendly.detail = error.detail;
            throw friendly;
        }
        transaction.commit();
    }
    if (grid->dbSQL.isEmpty())
        grid->dbExecute();
    else
        grid->dbSQLExecute();
}
