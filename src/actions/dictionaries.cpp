#include "actions/record_actions.h"

#include "catalogue/catalogue.h"
#include "catalogue/sql_text.h"
#include "controls/combo_box.h"
#include "platform/form.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

#include <QSet>

namespace {

// The column names a display template refers to: the names between braces, or the whole
// text when it has no braces at all.
QStringList templateColumns(const QString& field)
{
    if (!field.contains(u'{') && !field.contains(u'}'))
        return {field};
    QStringList names;
    QString rest = field;
    for (;;) {
        const qsizetype open = rest.indexOf(u'{');
        const qsizetype close = rest.indexOf(u'}');
        if (open < 0 || close < 0 || close < open)
            break;
        names.append(rest.mid(open + 1, close - open - 1));
        rest.remove(open, close - open + 1);
    }
    return names;
}

void selectPosition(TdbComboBox* box, int position)
{
    box->setCurrentIndex(position >= 0 && position < box->count() ? position : -1);
}

// Adds the rows of "SELECT id, <text column> ..." to a child box: no empty item, no selection.
void fillChild(SqlConnection& db, TdbComboBox* child, const TdbComboBox* parent, qint32 parentId)
{
    child->Clear();
    SqlStatement rows =
        db.prepare(TRecordActions::childDictionaryStatement(db.dialect(), child, parent, parentId));
    QList<qint32> ids;
    QList<QString> texts;
    while (rows.step()) {
        ids.append(static_cast<qint32>(rows.integer(0)));
        texts.append(ToDisplayText(rows.text(1)));
    }
    child->items()->assign(std::move(ids), std::move(texts));
    child->setCurrentIndex(-1);
}

} // namespace

QString TRecordActions::dictionaryStatement(const SqlDialect& d, const TdbComboBox* box)
{
    if (box->dbForeignKey.isEmpty() || box->dbField.isEmpty())
        return QString();
    const QStringList names = templateColumns(box->dbField);
    if (names.isEmpty())
        return QString(); // braces without a complete pair: nothing to select

    const QString table = box->dbGetTableName();
    // Empty values sort first on both back ends.
    const QString direction = d.isSqlite() ? QString() : u' ' + d.sortDirection(true);
    QStringList select, order;
    for (const QString& name : names) {
        select.append(d.column(table, name));
        if (!IsCalcField(table + u'.' + name))
            order.append(d.column(table, name) + direction);
    }
    QString sql = QStringLiteral("SELECT id, ") + ExpandCalcFields(select.join(u','), false, d)
                  + QStringLiteral(" FROM ") + d.name(table);
    if (box->dbSort && !order.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + order.join(u',');
    return sql;
}

QString TRecordActions::childDictionaryStatement(const SqlDialect& d, const TdbComboBox* child,
                                                 const TdbComboBox* parent, qint32 parentId)
{
    QString sql = QStringLiteral("SELECT id,") + d.name(child->dbField) + QStringLiteral(" FROM ")
                  + d.name(child->dbGetTableName()) + QStringLiteral(" WHERE ")
                  + d.plainName(parent->dbForeignKeyShort()) + u'=' + QString::number(parentId);
    if (child->dbSort)
        sql += QStringLiteral(" ORDER BY ") + d.name(child->dbField)
               + (d.isSqlite() ? QString() : u' ' + d.sortDirection(true));
    return sql;
}

void TRecordActions::FillDictionaries(const QString& tableName)
{
    for (TForm* form : Forms::all()) {
        for (TdbComboBox* box : form->componentsOf<TdbComboBox>()) {
            if (!tableName.isEmpty() && tableName != box->dbGetTableName())
                continue;
            if (!box->dbParentCombo.isEmpty())
                continue; // a child is filled through its parent
            box->Clear();
            const QString sql = dictionaryStatement(m_db.dialect(), box);
            if (sql.isEmpty())
                continue;
            const QStringList names = templateColumns(box->dbField);

            SqlStatement rows = m_db.prepare(sql);
            // Where each name's value stands in the result, found once.
            QList<int> columnOf;
            for (const QString& name : names) {
                int found = -1;
                for (int c = 0; c < rows.columnCount() && found < 0; ++c)
                    if (rows.columnName(c).compare(name, Qt::CaseInsensitive) == 0)
                        found = c;
                columnOf.append(found);
            }
            const bool isTemplate = box->dbField.contains(u'{');
            QList<qint32> ids{-1};
            QList<QString> texts{QString()};
            while (rows.step()) {
                ids.append(static_cast<qint32>(rows.integer(0)));
                QString text = box->dbField;
                if (!isTemplate) {
                    text = columnOf[0] >= 0 ? rows.text(columnOf[0]) : QString();
                } else {
                    for (int i = 0; i < names.size(); ++i) {
                        if (!text.contains(u'{'))
                            break;
                        text.replace(u'{' + names[i] + u'}',
                                     columnOf[i] >= 0 ? rows.text(columnOf[i]) : QString(),
                                     Qt::CaseInsensitive);
                    }
                }
                texts.append(ToDisplayText(text));
            }
            box->items()->assign(std::move(ids), std::move(texts));
            selectPosition(box, box->dbDefaultID);
        }
    }
}

TdbComboBox* TRecordActions::FindChildCombo(TdbComboBox* combo)
{
    TForm* form = TForm::formOf(combo);
    if (!form || combo->objectName().isEmpty())
        return nullptr;
    for (TdbComboBox* box : form->componentsOf<TdbComboBox>())
        if (box->dbParentCombo == combo->objectName())
            return box;
    return nullptr;
}

void TRecordActions::OnComboChange(TdbComboBox* sender)
{
    QSet<TdbComboBox*> visited{sender};
    TdbComboBox* parent = sender;
    while (TdbComboBox* child = FindChildCombo(parent)) {
        if (visited.contains(child))
            break; // boxes that name each other as parents
        visited.insert(child);
        fillChild(m_db, child, parent, parent->dbItemID());
        parent = child;
    }
}

void TRecordActions::SetLinkedComboBoxValue(TdbComboBox* child, qint32 itemId)
{
    TForm* form = TForm::formOf(child);
    if (!form)
        return;
    auto parentOf = [form](TdbComboBox* box) {
        return box->dbParentCombo.isEmpty()
                   ? nullptr
                   : qobject_cast<TdbComboBox*>(form->findComponent(box->dbParentCombo));
    };
    TdbComboBox* box = child;
    qint32 value = itemId;
    qint32 reference = 0;
    QSet<TdbComboBox*> visited{box};
    for (TdbComboBox* parent = parentOf(box); parent; parent = parentOf(box)) {
        if (visited.contains(parent))
            break;
        visited.insert(parent);
        const QString column = m_db.dialect().plainName(parent->dbForeignKeyShort());
        const QueryResult row = m_db.query(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM ")
                                           + m_db.dialect().name(box->dbGetTableName())
                                           + QStringLiteral(" WHERE id=") + QString::number(value));
        if (!row.isEmpty())
            reference = static_cast<qint32>(row.rows[0][0].toInt());
        fillChild(m_db, box, parent, reference);
        box->setDbItemID(value);
        value = reference;
        box = parent;
    }
    box->setDbItemID(value);
}
