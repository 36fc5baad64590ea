#include "actions/record_actions.h"
#include "actions/sql_values.h"

#include "catalogue/catalogue.h"
#include "catalogue/sql_text.h"
#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/file_control.h"
#include "controls/picture_controls.h"
#include "controls/record_grid.h"
#include "controls/stored_files.h"
#include "controls/value_controls.h"
#include "platform/day_count.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/lang.h"
#include "platform/sqlite_connection.h"

#include <QFile>
#include <QFileInfo>

namespace {

using SqlValues::quoted;
QString checkValue(Qt::CheckState state) { return SqlValues::checkState(state); }

// A file name goes into the statement as it is, but a double quote in it must not end the
// literal.
QString quotedName(QString name)
{
    return quoted(name.replace(u'"', QStringLiteral("\"\"")));
}

QString gridKey(const TdbStringGridEx* grid)
{
    return grid->dbGeneralTable.contains(u'.') ? GetFKColumnName(grid->dbGeneralTable)
                                               : QStringLiteral("id_") + grid->dbGeneralTable;
}

// A time picker tied to a calendar takes its date from there; a DATE column keeps the day, a
// TIME column the time of day. The picker shows the adjusted value.
void adjustPicker(TdbDateTimePicker* picker, TForm* form)
{
    if (picker->kind() == TdbDateTimePicker::dtkTime && !picker->dbCalendarControl.isEmpty()) {
        QObject* other = form->findComponent(picker->dbCalendarControl);
        double value = DayCount::timeOfDay(picker->value());
        if (auto* calendar = qobject_cast<TdbMonthCalendar*>(other))
            value += DayCount::wholeDays(calendar->value());
        else if (auto* datePicker = qobject_cast<TdbDateTimePicker*>(other))
            value += DayCount::wholeDays(datePicker->value());
        picker->setValue(value);
    }
    const QString type = GetFieldType(picker->dbTable, picker->dbField);
    if (type == QLatin1String("DATE"))
        picker->setValue(DayCount::wholeDays(picker->value()));
    else if (type == QLatin1String("TIME"))
        picker->setValue(DayCount::timeOfDay(picker->value()));
}

struct Statement {
    QString columns;
    QString values;
    QString assignments;
    BlobParams params;
    QList<TdbImageDataBase*> picturesToClear;

    void add(const QString& column, const QString& value)
    {
        columns += column + u',';
        values += value + u',';
    }
    void assign(const QString& column, const QString& value)
    {
        assignments += column + u'=' + value + u',';
    }
};

QString field(const QString& f)
{
    return u'[' + f + u']';
}

void collectInsert(Statement& st, QObject* c, TForm* form, SqlConnection& db, bool closesForm)
{
    if (auto* edit = qobject_cast<TdbEdit*>(c)) {
        if (!edit->text().isEmpty())
            st.add(field(edit->dbField), quoted(ToStoredText(edit->text())));
    } else if (auto* counter = qobject_cast<TdbEditCount*>(c)) {
        counter->setText(QString::number(GetNextRecordCount(db, counter->dbTable, counter->dbBeginValue)));
        st.add(QStringLiteral("record_count"), counter->text());
    } else if (auto* memo = qobject_cast<TdbMemo*>(c)) {
        if (!memo->toPlainText().isEmpty())
            st.add(field(memo->dbField), quoted(ToStoredText(memo->toPlainText())));
    } else if (auto* check = qobject_cast<TdbCheckBox*>(c)) {
        st.add(field(check->dbField), checkValue(check->checkState()));
    } else if (auto* combo = qobject_cast<TdbComboBox*>(c)) {
        if (combo->dbItemID() != -1)
            st.add(combo->dbForeignKeyShort(), QString::number(combo->dbItemID()));
    } else if (auto* grid = qobject_cast<TdbStringGridEx*>(c)) {
        if (grid->dbItemID() != -1 && !grid->dbGeneralTable.isEmpty())
            st.add(gridKey(grid), QString::number(grid->dbItemID()));
    } else if (auto* picker = qobject_cast<TdbDateTimePicker*>(c)) {
        if (!picker->isChecked()) {
            st.add(field(picker->dbField), QStringLiteral("NULL"));
        } else {
            adjustPicker(picker, form);
            st.add(field(picker->dbField), quoted(picker->dbStringDateTime()));
        }
    } else if (auto* calendar = qobject_cast<TdbMonthCalendar*>(c)) {
        calendar->setValue(DayCount::wholeDays(calendar->value()));
        st.add(field(calendar->dbField), quoted(calendar->dbStringDateTime()));
    } else if (auto* picture = qobject_cast<TdbImageDataBase*>(c)) {
        if (!picture->dbFileName.isEmpty()) {
            st.add(field(picture->dbField), u':' + picture->dbField);
            st.add(field(picture->dbField + QStringLiteral("_filename")), quotedName(picture->dbFileName));
            st.params.append({picture->dbField, picture->pictureBytes()});
            if (closesForm)
                st.picturesToClear.append(picture);
        }
    } else if (auto* file = qobject_cast<TdbFileToDatabase*>(c)) {
        if (!file->dbFileName.isEmpty()) {
            st.add(field(file->dbField), u':' + file->dbField);
            st.add(field(file->dbField + QStringLiteral("_filename")), quotedName(file->dbFileName));
            st.params.append({file->dbField, StoredFiles::readWholeFile(file->dbFileName)});
        }
    }
}

void collectUpdate(Statement& st, QObject* c, TForm* form)
{
    auto textOrNull = [](const QString& text) {
        return text.isEmpty() ? QStringLiteral("NULL") : quoted(ToStoredText(text));
    };
    if (auto* edit = qobject_cast<TdbEdit*>(c)) {
        st.assign(field(edit->dbField), textOrNull(edit->text()));
    } else if (auto* counter = qobject_cast<TdbEditCount*>(c)) {
        st.assign(QStringLiteral("record_count"), counter->text());
    } else if (auto* memo = qobject_cast<TdbMemo*>(c)) {
        st.assign(field(memo->dbField), textOrNull(memo->toPlainText()));
    } else if (auto* check = qobject_cast<TdbCheckBox*>(c)) {
        st.assign(field(check->dbField), checkValue(check->checkState()));
    } else if (auto* combo = qobject_cast<TdbComboBox*>(c)) {
        st.assign(combo->dbForeignKeyShort(),
                  combo->dbItemID() != -1 ? QString::number(combo->dbItemID()) : QStringLiteral("NULL"));
    } else if (auto* grid = qobject_cast<TdbStringGridEx*>(c)) {
        if (!grid->dbGeneralTable.isEmpty())
            st.assign(gridKey(grid),
                      grid->dbItemID() != -1 ? QString::number(grid->dbItemID()) : QStringLiteral("NULL"));
    } else if (auto* picker = qobject_cast<TdbDateTimePicker*>(c)) {
        if (!picker->isChecked()) {
            st.assign(field(picker->dbField), QStringLiteral("NULL"));
        } else {
            adjustPicker(picker, form);
            st.assign(field(picker->dbField), quoted(picker->dbStringDateTime()));
        }
    } else if (auto* calendar = qobject_cast<TdbMonthCalendar*>(c)) {
        calendar->setValue(DayCount::wholeDays(calendar->value()));
        st.assign(field(calendar->dbField), quoted(calendar->dbStringDateTime()));
    } else if (auto* picture = qobject_cast<TdbImageDataBase*>(c)) {
        if (!picture->dbImageIsChanged)
            return;
        const QString name = field(picture->dbField + QStringLiteral("_filename"));
        if (picture->dbFileName.isEmpty()) {
            st.assign(field(picture->dbField), QStringLiteral("NULL"));
            st.assign(name, QStringLiteral("NULL"));
        } else {
            st.assign(field(picture->dbField), u':' + picture->dbField);
            st.assign(name, quotedName(picture->dbFileName));
            st.params.append({picture->dbField, picture->pictureBytes()});
            st.picturesToClear.append(picture);
        }
    } else if (auto* file = qobject_cast<TdbFileToDatabase*>(c)) {
        if (!file->dbFileIsChanged)
            return;
        const QString name = field(file->dbField + QStringLiteral("_filename"));
        if (file->dbFileName.isEmpty()) {
            st.assign(field(file->dbField), QStringLiteral("NULL"));
            st.assign(name, QStringLiteral("NULL"));
        } else if (QFileInfo(file->dbFileName).isFile()) {
            st.assign(field(file->dbField), u':' + file->dbField);
            st.assign(name, quotedName(file->dbFileName));
            st.params.append({file->dbField, StoredFiles::readWholeFile(file->dbFileName)});
        }
    }
}

void chopComma(QString& text)
{
    if (!text.isEmpty())
        text.chop(1);
}

} // namespace

TRecordActions::Saved TRecordActions::saveRecord(TdbButton* b)
{
    TForm* form = TForm::formOf(b);
    const QString table = b->dbGeneralTable;
    const bool insert = b->dbGeneralTableId == -1;

    Statement st;
    for (const QString& name : b->dbListControls.split(u',')) {
        QObject* c = form->findComponent(name);
        if (!c)
            continue;
        if (insert)
            collectInsert(st, c, form, m_db, b->dbDoCloseForm);
        else
            collectUpdate(st, c, form);
    }

    if (insert) {
        if (st.columns.isEmpty() || st.values.isEmpty()) {
            inform(Lang.Error, Lang.No_data_to_add);
            return Saved::Nothing;
        }
        if (b->dbParentTableId >= 0)
            st.add(QStringLiteral("id_") + b->dbParentTable, QString::number(b->dbParentTableId));
        chopComma(st.columns);
        chopComma(st.values);
        const QString sql = QStringLiteral("INSERT INTO [") + table + QStringLiteral("] (") + st.columns
                            + QStringLiteral(") VALUES (") + st.values + QStringLiteral(");");
        if (st.params.isEmpty())
            m_db.execute(sql);
        else
            m_db.execute(sql, st.params);
    } else {
        chopComma(st.assignments);
        // With nothing to assign there is nothing to write; "SET  WHERE" would only fail.
        if (!st.assignments.isEmpty()) {
            const QString sql = QStringLiteral("UPDATE [") + table + QStringLiteral("] SET ")
                                + st.assignments + QStringLiteral(" WHERE id = ")
                                + QString::number(b->dbGeneralTableId);
            if (st.params.isEmpty())
                m_db.execute(sql);
            else
                m_db.execute(sql, st.params);
        }
    }

    // Pictures are cleared only once their record is written, so a failed save keeps them.
    for (TdbImageDataBase* picture : st.picturesToClear)
        picture->Clear();

    if (insert) {
        FillDictionaries(table);
        form->setHint(table);
        if (b->dbDoCloseForm) {
            b->dbParentTable.clear();
            b->dbParentTableId = -1;
            form->closeForm();
        }
        b->dbDoCloseForm = true;
    } else {
        form->setHint(table);
        FillDictionaries(table);
        form->closeForm();
    }
    return insert ? Saved::Inserted : Saved::Updated;
}
