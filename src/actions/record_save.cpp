#include "actions/field_caption.h"
#include "actions/record_actions.h"
#include "actions/row_check.h"
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
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

#include <QFile>
#include <QFileInfo>

namespace {

using SqlValues::quoted;
QString checkValue(Qt::CheckState state) { return SqlValues::checkState(state); }

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
        // A name that finds no calendar leaves the picker's own date alone: cutting it to the
        // time of day would store day zero in a date-and-time column.
        QObject* other = form->findComponent(picker->dbCalendarControl);
        if (auto* calendar = qobject_cast<TdbMonthCalendar*>(other))
            picker->setValue(DayCount::timeOfDay(picker->value())
                             + DayCount::wholeDays(calendar->value()));
        else if (auto* datePicker = qobject_cast<TdbDateTimePicker*>(other))
            picker->setValue(DayCount::timeOfDay(picker->value())
                             + DayCount::wholeDays(datePicker->value()));
    }
    const QString type = GetFieldType(picker->dbTable, picker->dbField);
    if (type == QLatin1String("DATE"))
        picker->setValue(DayCount::wholeDays(picker->value()));
    else if (type == QLatin1String("TIME"))
        picker->setValue(DayCount::timeOfDay(picker->value()));
}

// A typed value that cannot be written: the save stops before anything is written.
struct Refusal {
    QString text;
};

// The columns and values of one INSERT or UPDATE. A column named by several listed controls
// (a calendar and a time picker on one DATETIME field) is written once, with the value of the
// last of them: SQLite would keep the first value of an INSERT but the last of an UPDATE.
struct Statement {
    struct Item {
        QString column;
        QString value;
    };
    std::vector<Item> items;
    BlobParams params;
    QList<TdbImageDataBase*> picturesToClear;

    static QString key(const QString& column)
    {
        QString k = column;
        k.remove(u'[').remove(u']').remove(u'"');
        return k.toCaseFolded();
    }
    void add(const QString& column, const QString& value)
    {
        const QString k = key(column);
        for (Item& item : items)
            if (key(item.column) == k) {
                item.value = value;
                return;
            }
        items.push_back({column, value});
    }
    void addParam(const QString& name, const QByteArray& bytes)
    {
        params.removeIf([&](const auto& p) { return p.first == name; });
        params.append({name, bytes});
    }
    bool empty() const { return items.empty(); }
    QString columnList() const
    {
        QStringList list;
        for (const Item& item : items)
            list.append(item.column);
        return list.join(u',');
    }
    QString valueList() const
    {
        QStringList list;
        for (const Item& item : items)
            list.append(item.value);
        return list.join(u',');
    }
    QString assignments() const
    {
        QStringList list;
        for (const Item& item : items)
            list.append(item.column + u'=' + item.value);
        return list.join(u',');
    }
    // Only the parameters that a written value still refers to.
    BlobParams usedParams() const
    {
        BlobParams used;
        for (const auto& p : params)
            for (const Item& item : items)
                if (item.value == u':' + p.first) {
                    used.append(p);
                    break;
                }
        return used;
    }
};

QString captionOf(QObject* control, const QString& fieldName)
{
    return fieldCaption(qobject_cast<QWidget*>(control), fieldName);
}

// The column a listed control writes, without brackets.
QString boundColumn(QObject* c)
{
    if (auto* edit = qobject_cast<TdbEdit*>(c))
        return edit->dbField;
    if (qobject_cast<TdbEditCount*>(c))
        return QStringLiteral("record_count");
    if (auto* memo = qobject_cast<TdbMemo*>(c))
        return memo->dbField;
    if (auto* check = qobject_cast<TdbCheckBox*>(c))
        return check->dbField;
    if (auto* combo = qobject_cast<TdbComboBox*>(c))
        return combo->dbForeignKeyShort();
    if (auto* grid = qobject_cast<TdbStringGridEx*>(c))
        return gridKey(grid);
    if (auto* picker = qobject_cast<TdbDateTimePicker*>(c))
        return picker->dbField;
    if (auto* calendar = qobject_cast<TdbMonthCalendar*>(c))
        return calendar->dbField;
    if (auto* picture = qobject_cast<TdbImageDataBase*>(c))
        return picture->dbField;
    if (auto* file = qobject_cast<TdbFileToDatabase*>(c))
        return file->dbField;
    return QString();
}

// The last listed control that writes the column: the one whose value went in.
QObject* controlOfColumn(const QList<QObject*>& listed, const QString& column)
{
    for (qsizetype i = listed.size() - 1; i >= 0; --i)
        if (boundColumn(listed[i]).compare(column, Qt::CaseInsensitive) == 0)
            return listed[i];
    return nullptr;
}

// An edit's text as its column takes it: a number for a numeric column (refused when it is
// not one), otherwise a string literal in the stored letter case.
QString editValue(TdbEdit* edit)
{
    const QString text = edit->text();
    const NumberKind kind = NumberKindOfType(GetFieldType(edit->dbTable, edit->dbField));
    if (kind == NumberKind::None)
        return quoted(ToStoredCase(text));
    if (const auto number = NumberLiteral(text, kind))
        return *number;
    const QString& reason = kind == NumberKind::Whole ? Lang.Not_a_whole_number : Lang.Not_a_number;
    throw Refusal{captionOf(edit, edit->dbField) + QStringLiteral(": \"") + text
                  + QStringLiteral("\" ") + reason};
}

QString counterValue(TdbEditCount* counter)
{
    const QString text = counter->text();
    if (text.trimmed().isEmpty())
        return QStringLiteral("NULL");
    if (const auto number = NumberLiteral(text, NumberKind::Whole))
        return *number;
    throw Refusal{captionOf(counter, QStringLiteral("record_count")) + QStringLiteral(": \"")
                  + text + QStringLiteral("\" ") + Lang.Not_a_number};
}

void collectInsert(Statement& st, QObject* c, TForm* form, SqlConnection& db, bool closesForm)
{
    const SqlDialect& d = db.dialect();
    auto field = [&d](const QString& f) { return d.name(f); };
    if (auto* edit = qobject_cast<TdbEdit*>(c)) {
        if (!edit->text().isEmpty())
            st.add(field(edit->dbField), editValue(edit));
    } else if (auto* counter = qobject_cast<TdbEditCount*>(c)) {
        counter->setText(QString::number(GetNextRecordCount(db, counter->dbTable, counter->dbBeginValue)));
        st.add(d.plainName(QStringLiteral("record_count")), counter->text());
    } else if (auto* memo = qobject_cast<TdbMemo*>(c)) {
        if (!memo->toPlainText().isEmpty())
            st.add(field(memo->dbField), quoted(ToStoredCase(memo->toPlainText())));
    } else if (auto* check = qobject_cast<TdbCheckBox*>(c)) {
        st.add(field(check->dbField), checkValue(check->checkState()));
    } else if (auto* combo = qobject_cast<TdbComboBox*>(c)) {
        if (combo->dbItemID() != -1)
            st.add(d.plainName(combo->dbForeignKeyShort()), QString::number(combo->dbItemID()));
    } else if (auto* grid = qobject_cast<TdbStringGridEx*>(c)) {
        if (grid->dbItemID() != -1 && !grid->dbGeneralTable.isEmpty())
            st.add(d.plainName(gridKey(grid)), QString::number(grid->dbItemID()));
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
            st.add(field(picture->dbField + QStringLiteral("_filename")), quoted(picture->dbFileName));
            st.addParam(picture->dbField, picture->pictureBytes());
            if (closesForm)
                st.picturesToClear.append(picture);
        }
    } else if (auto* file = qobject_cast<TdbFileToDatabase*>(c)) {
        if (!file->dbFileName.isEmpty()) {
            st.add(field(file->dbField), u':' + file->dbField);
            st.add(field(file->dbField + QStringLiteral("_filename")), quoted(file->dbFileName));
            st.addParam(file->dbField, StoredFiles::readWholeFile(file->dbFileName));
        }
    }
}

void collectUpdate(Statement& st, QObject* c, TForm* form, const SqlDialect& d)
{
    auto field = [&d](const QString& f) { return d.name(f); };
    if (auto* edit = qobject_cast<TdbEdit*>(c)) {
        st.add(field(edit->dbField),
               edit->text().isEmpty() ? QStringLiteral("NULL") : editValue(edit));
    } else if (auto* counter = qobject_cast<TdbEditCount*>(c)) {
        st.add(d.plainName(QStringLiteral("record_count")), counterValue(counter));
    } else if (auto* memo = qobject_cast<TdbMemo*>(c)) {
        const QString text = memo->toPlainText();
        st.add(field(memo->dbField), text.isEmpty() ? QStringLiteral("NULL") : quoted(ToStoredCase(text)));
    } else if (auto* check = qobject_cast<TdbCheckBox*>(c)) {
        st.add(field(check->dbField), checkValue(check->checkState()));
    } else if (auto* combo = qobject_cast<TdbComboBox*>(c)) {
        st.add(d.plainName(combo->dbForeignKeyShort()),
               combo->dbItemID() != -1 ? QString::number(combo->dbItemID()) : QStringLiteral("NULL"));
    } else if (auto* grid = qobject_cast<TdbStringGridEx*>(c)) {
        if (!grid->dbGeneralTable.isEmpty())
            st.add(d.plainName(gridKey(grid)),
                   grid->dbItemID() != -1 ? QString::number(grid->dbItemID()) : QStringLiteral("NULL"));
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
        if (!picture->dbImageIsChanged)
            return;
        const QString name = field(picture->dbField + QStringLiteral("_filename"));
        if (picture->dbFileName.isEmpty()) {
            st.add(field(picture->dbField), QStringLiteral("NULL"));
            st.add(name, QStringLiteral("NULL"));
        } else {
            st.add(field(picture->dbField), u':' + picture->dbField);
            st.add(name, quoted(picture->dbFileName));
            st.addParam(picture->dbField, picture->pictureBytes());
            st.picturesToClear.append(picture);
        }
    } else if (auto* file = qobject_cast<TdbFileToDatabase*>(c)) {
        if (!file->dbFileIsChanged)
            return;
        const QString name = field(file->dbField + QStringLiteral("_filename"));
        if (file->dbFileName.isEmpty()) {
            st.add(field(file->dbField), QStringLiteral("NULL"));
            st.add(name, QStringLiteral("NULL"));
        } else if (QFileInfo(file->dbFileName).isFile()) {
            st.add(field(file->dbField), u':' + file->dbField);
            st.add(name, quoted(file->dbFileName));
            st.addParam(file->dbField, StoredFiles::readWholeFile(file->dbFileName));
        }
    }
}

// A broken rule of the schema, told in the user's language with the field as the form
// shows it; SQLite's own words follow as the detail.
[[noreturn]] void explainConstraint(const DatabaseError& error, const QList<QObject*>& listed)
{
    const ConstraintKind kind = constraintKind(error);
    if (kind == ConstraintKind::None)
        throw error;
    const QString column = constraintColumn(error);
    const QString caption = column.isEmpty() ? QString() : captionOf(controlOfColumn(listed, column), column);
    QString text;
    switch (kind) {
    case ConstraintKind::NotNull:
        text = Lang.Field_must_be_filled_in.arg(caption);
        break;
    case ConstraintKind::Unique:
        text = Lang.Value_is_already_used.arg(caption);
        break;
    case ConstraintKind::Check:
        text = Lang.Value_is_not_allowed.arg(caption);
        break;
    case ConstraintKind::ForeignKey:
        text = Lang.Record_refers_to_missing_record;
        break;
    default:
        throw error;
    }
    DatabaseError friendly(text + QStringLiteral("\n\n") + error.detail, error.code());
    friendly.detail = error.detail;
    throw friendly;
}

// Runs the statement; a broken rule of the schema is told in the user's words. An INSERT
// gives the new row's id.
qint64 run(SqlConnection& db, const QString& sql, const Statement& st, const QList<QObject*>& listed,
           bool insert)
{
    const BlobParams params = st.usedParams();
    try {
        if (insert)
            return db.insert(sql, params);
        if (params.isEmpty())
            db.execute(sql);
        else
            db.execute(sql, params);
        return -1;
    } catch (const DatabaseError& error) {
        explainConstraint(error, listed);
    }
}

} // namespace

void TRecordActions::rememberRow(const TForm* form, const QString& table, qint32 id,
                                 const QByteArray& fingerprint)
{
    m_loadedRows.insert({form, table}, LoadedRow{id, fingerprint});
}

void TRecordActions::forgetRow(const TForm* form, const QString& table)
{
    m_loadedRows.remove({form, table});
}

const TRecordActions::LoadedRow* TRecordActions::loadedRow(const TForm* form, const QString& table) const
{
    const auto it = m_loadedRows.constFind({form, table});
    return it == m_loadedRows.constEnd() ? nullptr : &it.value();
}

TRecordActions::Saved TRecordActions::saveRecord(TdbButton* b)
{
    TForm* form = TForm::formOf(b);
    bool overwrite = false;
    for (;;) {
        switch (writeRecord(b, overwrite)) {
        case Written::Nothing:
            return Saved::Nothing;
        case Written::Inserted:
            return Saved::Inserted;
        case Written::Updated:
            return Saved::Updated;
        case Written::DeletedByOther:
            inform(Lang.Error, Lang.Record_deleted_by_another_user);
            return Saved::Nothing;
        case Written::ChangedByOther:
            break;
        }
        // Nothing is written until the user has chosen; Cancel keeps the form as it is.
        const QStringList choices{Lang.Reload, Lang.Overwrite, Lang.Cancel};
        const int choice = desktop().choose(&m_main, Lang.Confirm,
                                            Lang.Record_changed_by_another_user + QStringLiteral("\n\n")
                                                + Lang.Reload_or_overwrite,
                                            DesktopServices::Icon::Warning, choices, 2, 2);
        if (choice == 1) {
            overwrite = true;
            continue;
        }
        if (choice == 0) {
            fillControls(form, b->dbGeneralTable, b->dbGeneralTableId, nullptr);
            markClean(form);
        }
        return Saved::Nothing;
    }
}

TRecordActions::Written TRecordActions::writeRecord(TdbButton* b, bool overwrite)
{
    TForm* form = TForm::formOf(b);
    const QString table = b->dbGeneralTable;
    const bool insert = b->dbGeneralTableId == -1;
    const SqlDialect& d = m_db.dialect();

    // The counter read for a new record and the write that uses it are one transaction: no
    // other program takes the number in between, and a failure leaves nothing behind.
    SqlTransaction transaction(m_db);
    if (!insert && !overwrite) {
        // The row is compared inside the transaction that writes it: on SQLite the write
        // lock is held from its start, a server keeps the row locked.
        const LoadedRow* loaded = loadedRow(form, table);
        if (loaded && loaded->id == b->dbGeneralTableId) {
            const auto current = RowCheck::currentFingerprint(m_db, table, b->dbGeneralTableId);
            if (!current)
                return Written::DeletedByOther;
            if (*current != loaded->fingerprint)
                return Written::ChangedByOther;
        }
    }
    Statement st;
    QList<QObject*> listed;
    for (const QString& name : b->dbListControls.split(u','))
        if (QObject* c = form->findComponent(name))
            listed.append(c);
    try {
        for (QObject* c : listed) {
            if (insert)
                collectInsert(st, c, form, m_db, b->dbDoCloseForm);
            else
                collectUpdate(st, c, form, d);
        }
    } catch (const Refusal& refusal) {
        inform(Lang.Error, refusal.text);
        return Written::Nothing;
    }

    qint64 id = b->dbGeneralTableId;
    if (insert) {
        if (st.empty()) {
            inform(Lang.Error, Lang.No_data_to_add);
            return Written::Nothing;
        }
        if (b->dbParentTableId >= 0)
            st.add(d.plainName(QStringLiteral("id_") + b->dbParentTable),
                   QString::number(b->dbParentTableId));
        id = run(m_db,
                 QStringLiteral("INSERT INTO ") + d.name(table) + QStringLiteral(" (") + st.columnList()
                     + QStringLiteral(") VALUES (") + st.valueList() + QStringLiteral(");"),
                 st, listed, true);
    } else if (!st.empty()) {
        // With nothing to assign there is nothing to write; "SET  WHERE" would only fail.
        run(m_db,
            QStringLiteral("UPDATE ") + d.name(table) + QStringLiteral(" SET ") + st.assignments()
                + QStringLiteral(" WHERE id = ") + QString::number(b->dbGeneralTableId),
            st, listed, false);
    }
    // The row as it now stands is what this form shows: the next save compares with it.
    const std::optional<QByteArray> written =
        id >= 0 ? RowCheck::currentFingerprint(m_db, table, id) : std::nullopt;
    transaction.commit();
    if (written)
        rememberRow(form, table, static_cast<qint32>(id), *written);

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
    // A form that stays open after its save (a parent record saved for a child) shows what
    // is stored now.
    if (form->isVisible())
        markClean(form);
    return insert ? Written::Inserted : Written::Updated;
}
