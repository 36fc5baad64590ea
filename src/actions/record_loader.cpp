#include "actions/record_actions.h"
#include "actions/row_check.h"

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
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

#include <QDateTime>
#include <QHash>
#include <QAbstractButton>
#include <algorithm>

namespace {

// A list kept in alphabetical order without regard to letter case, holding each text once.
void addSorted(QStringList& list, const QString& text)
{
    auto less = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; };
    const auto at = std::lower_bound(list.begin(), list.end(), text, less);
    if (at != list.end() && at->compare(text, Qt::CaseInsensitive) == 0)
        return;
    list.insert(at, text);
}

struct Binding {
    QString table;
    QString field;
    bool withFileName = false;
};

// The table and column a bound control stands for, for the controls that take part in the
// joined select items.
std::optional<Binding> joinedBinding(QObject* c)
{
    if (auto* e = qobject_cast<TdbEdit*>(c))
        return Binding{e->dbTable, e->dbField};
    if (auto* m = qobject_cast<TdbMemo*>(c))
        return Binding{m->dbTable, m->dbField};
    if (auto* k = qobject_cast<TdbCheckBox*>(c))
        return Binding{k->dbTable, k->dbField};
    if (auto* p = qobject_cast<TdbDateTimePicker*>(c))
        return Binding{p->dbTable, p->dbField};
    if (auto* cal = qobject_cast<TdbMonthCalendar*>(c))
        return Binding{cal->dbTable, cal->dbField};
    if (auto* img = qobject_cast<TdbImageDataBase*>(c))
        return Binding{img->dbTable, img->dbField, true};
    if (auto* f = qobject_cast<TdbFileToDatabase*>(c))
        return Binding{f->dbTable, f->dbField, true};
    return std::nullopt;
}

struct JoinedItem {
    QString table;
    QString field;
    QString text() const { return u'[' + table + QStringLiteral("].[") + field + u']'; }
};

QString buildQuery(TForm* form, const QString& g, qint32 id, const SqlDialect& d)
{
    // The joined items are ordered by their SQLite text, whatever the dialect, so that both
    // back ends read the same columns in the same order.
    QStringList tables, texts;
    QHash<QString, JoinedItem> items;
    auto addItem = [&](const QString& table, const QString& field) {
        const JoinedItem item{table, field};
        addSorted(texts, item.text());
        if (!items.contains(item.text().toCaseFolded()))
            items.insert(item.text().toCaseFolded(), item);
    };
    for (QObject* c : form->components()) {
        const auto b = joinedBinding(c);
        if (!b || b->table.isEmpty() || b->table == g)
            continue;
        addSorted(tables, b->table);
        addItem(b->table, b->field);
        if (b->withFileName)
            addItem(b->table, b->field + QStringLiteral("_filename"));
    }
    QString extra, joins;
    if (!tables.isEmpty() && !texts.isEmpty()) {
        for (const QString& text : texts) {
            const JoinedItem item = items.value(text.toCaseFolded());
            const QString alias = item.table + u'.' + item.field;
            extra += u',' + d.column(item.table, item.field) + QStringLiteral(" AS ")
                     + (d.isSqlite() ? u'"' + alias + u'"' : d.name(alias));
        }
        for (const QString& x : tables)
            joins += QStringLiteral(" LEFT OUTER JOIN ") + d.name(x) + QStringLiteral(" ON ")
                     + d.column(g, QStringLiteral("id_") + x) + QStringLiteral(" = ") + d.name(x)
                     + QStringLiteral(".id");
    }
    return QStringLiteral("SELECT ") + ExpandCalcFields(GetFieldList(g, d), true, d) + extra
           + QStringLiteral(" FROM ") + d.name(g) + joins + QStringLiteral(" WHERE ") + d.name(g)
           + QStringLiteral(".id=") + QString::number(id);
}

void resetControls(TForm* form)
{
    for (QObject* c : form->components()) {
        if (auto* edit = qobject_cast<TdbEdit*>(c)) {
            edit->clear();
        } else if (auto* picture = qobject_cast<TdbImageDataBase*>(c)) {
            picture->Clear();
            picture->dbImageIsChanged = false;
        } else if (auto* file = qobject_cast<TdbFileToDatabase*>(c)) {
            file->ClearEx();
        } else if (auto* picker = qobject_cast<TdbDateTimePicker*>(c)) {
            picker->setChecked(true);
            picker->setDateTime(QDateTime::currentDateTime());
            picker->setChecked(false);
        }
    }
}

void setCheckState(TdbCheckBox* check, const SqlValue& value)
{
    if (value.isNull()) {
        check->setCheckState(Qt::PartiallyChecked);
        return;
    }
    const QString text = value.toText();
    if (text == QLatin1String("1"))
        check->setCheckState(Qt::Checked);
    else if (text == QLatin1String("0"))
        check->setCheckState(Qt::Unchecked);
}

} // namespace

QString TRecordActions::FillForm(qint32 id, TdbButton* button)
{
    QString result;
    const QString g = button->dbGeneralTable;
    for (TForm* form : Forms::all()) {
        if (form->formName() != button->dbFormName)
            continue;
        fillControls(form, g, id, button);
        markClean(form);
        form->setHint(QString());
        form->showModal();
        result = form->hint();
    }
    return result;
}

void TRecordActions::fillControls(TForm* form, const QString& g, qint32 id, TdbButton* opener)
{
    {
        const QueryResult r = m_db.query(buildQuery(form, g, id, m_db.dialect()));
        resetControls(form);
        if (r.isEmpty())
            forgetRow(form, g);
        else
            rememberRow(form, g, id, RowCheck::fingerprintOfLoaded(g, r.rows[0]));
        const QStringList& names = r.columns;
        auto column = [&names](const QString& name) { return static_cast<int>(names.indexOf(name)); };

        if (!r.isEmpty()) {
            const std::vector<SqlValue>& row = r.rows[0];
            auto matches = [&](const QString& table, const QString& field, int k) {
                return (table == g && field == names[k]) || (table + u'.' + field == names[k]);
            };
            for (QObject* c : form->components()) {
                if (auto* edit = qobject_cast<TdbEdit*>(c)) {
                    for (int k = 0; k < names.size(); ++k)
                        if (matches(edit->dbTable, edit->dbField, k))
                            edit->setText(ToDisplayText(row[k].toText()));
                } else if (auto* counter = qobject_cast<TdbEditCount*>(c)) {
                    const int k = column(QStringLiteral("record_count"));
                    if (counter->dbTable == g && k >= 0)
                        counter->setText(row[k].toText());
                } else if (auto* memo = qobject_cast<TdbMemo*>(c)) {
                    for (int k = 0; k < names.size(); ++k)
                        if (matches(memo->dbTable, memo->dbField, k))
                            memo->setPlainText(ToDisplayText(row[k].toText()));
                } else if (auto* check = qobject_cast<TdbCheckBox*>(c)) {
                    for (int k = 0; k < names.size(); ++k)
                        if (matches(check->dbTable, check->dbField, k))
                            setCheckState(check, row[k]);
                } else if (auto* picker = qobject_cast<TdbDateTimePicker*>(c)) {
                    if (picker->dbTable != g)
                        continue;
                    int k = column(picker->dbField);
                    if (k < 0)
                        k = column(picker->dbTable + u'.' + picker->dbField);
                    if (k < 0 || row[k].isNull())
                        continue;
                    const double before = picker->value();
                    try {
                        picker->setDbStringDateTime(row[k].toText());
                    } catch (const ConversionError&) {
                        // A damaged stored date must not keep the record from opening: the
                        // picker stays unchecked, as for a date that is not there.
                        picker->setValue(before);
                        continue;
                    }
                    picker->setChecked(true);
                    QObject* linked = picker->dbCalendarControl.isEmpty()
                                          ? nullptr
                                          : form->findComponent(picker->dbCalendarControl);
                    const double day = DayCount::wholeDays(picker->value());
                    if (auto* calendar = qobject_cast<TdbMonthCalendar*>(linked))
                        calendar->setValue(day + DayCount::timeOfDay(calendar->value()));
                    else if (auto* other = qobject_cast<TdbDateTimePicker*>(linked))
                        other->setValue(day + DayCount::timeOfDay(other->value()));
                } else if (auto* calendar = qobject_cast<TdbMonthCalendar*>(c)) {
                    if (calendar->dbTable != g)
                        continue;
                    for (int k = 0; k < names.size(); ++k)
                        if (names[k] == calendar->dbField
                            || names[k] == calendar->dbTable + u'.' + calendar->dbField)
                            calendar->setDbStringDateTime(row[k].toText());
                } else if (auto* combo = qobject_cast<TdbComboBox*>(c)) {
                    const int k = column(combo->dbForeignKeyShort());
                    if (k < 0)
                        continue;
                    if (row[k].isNull())
                        combo->setCurrentIndex(combo->dbDefaultID >= 0 && combo->dbDefaultID < combo->count()
                                                   ? combo->dbDefaultID
                                                   : -1);
                    else if (!combo->dbParentCombo.isEmpty())
                        SetLinkedComboBoxValue(combo, static_cast<qint32>(row[k].toInt()));
                    else
                        combo->setDbItemID(static_cast<qint32>(row[k].toInt()));
                } else if (auto* b = qobject_cast<TdbButton*>(c)) {
                    if (b->dbActionType == adbSaveRecord || b->dbActionType == adbSQL
                        || b->dbActionType == adbReport) {
                        b->dbGeneralTableId = id;
                    } else if (b->dbActionType == adbNewRecord && opener) {
                        b->dbParentTable = opener->dbParentTable;
                        b->dbParentTableId = opener->dbParentTableId;
                    }
                } else if (auto* grid = qobject_cast<TdbStringGridEx*>(c)) {
                    if (grid->dbListFields.isEmpty() || grid->dbGeneralTable.isEmpty())
                        continue;
                    if (opener) {
                        grid->dbParentTable = opener->dbParentTable;
                        grid->dbParentTableId = opener->dbParentTableId;
                    }
                    grid->dbListControls.clear();
                    grid->dbExecute();
                    const QString reference = grid->dbGeneralTable.contains(u'.')
                                                  ? GetFKColumnName(grid->dbGeneralTable)
                                                  : QStringLiteral("id_") + grid->dbGeneralTable;
                    const int k = column(reference);
                    if (k >= 0 && !row[k].isNull())
                        grid->setDbItemID(static_cast<qint32>(row[k].toInt()));
                } else if (auto* picture = qobject_cast<TdbImageDataBase*>(c)) {
                    for (int k = 0; k < names.size(); ++k) {
                        if (!matches(picture->dbTable, picture->dbField, k) || !row[k].isBlob())
                            continue;
                        QString name;
                        const int plain = column(picture->dbField + QStringLiteral("_filename"));
                        if (plain >= 0)
                            name = row[plain].toText();
                        const int joined = column(picture->dbTable + u'.' + picture->dbField
                                                  + QStringLiteral("_filename"));
                        if (joined >= 0)
                            name = row[joined].toText();
                        // A damaged picture is reported and the record opens all the same; the
                        // control is named only once it really shows the picture, so a later
                        // save cannot store the placeholder under the picture's name.
                        guarded([&] {
                            picture->LoadPictureFromStream(row[k].toBytes(), name);
                            picture->dbFileName = name;
                        });
                    }
                } else if (auto* file = qobject_cast<TdbFileToDatabase*>(c)) {
                    const QString suffix = file->dbField + QStringLiteral("_filename");
                    int k = file->dbTable == g ? column(suffix) : -1;
                    if (k < 0)
                        k = column(file->dbTable + u'.' + suffix);
                    if (k < 0 || row[k].isNull())
                        continue;
                    file->dbFileName = row[k].toText();
                    file->setText(StoredFiles::fileNamePart(file->dbFileName));
                    file->dbID = id;
                    file->rightButton()->setEnabled(true);
                }
            }
        }

    }
}

void TRecordActions::FillForm2(qint32 id, TForm* form, const QString& table)
{
    for (TdbButton* b : form->componentsOf<TdbButton>()) {
        if (b->dbActionType == adbSaveRecord) {
            b->dbGeneralTableId = id;
        } else if (b->dbActionType == adbNewRecord) {
            b->dbParentTable = table;
            b->dbParentTableId = id;
        } else if (b->dbActionType == adbSQL || b->dbActionType == adbReport) {
            b->dbGeneralTable = table;
            b->dbGeneralTableId = id;
        }
    }
}
