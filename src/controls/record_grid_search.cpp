// The record grid's two ways of filling itself: the search built from its properties and the
// filter controls of its form, and the author's own SQL.
#include "controls/record_grid.h"

#include "catalogue/catalogue.h"
#include "catalogue/sql_text.h"
#include "controls/combo_box.h"
#include "controls/value_controls.h"
#include "platform/day_count.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/lang.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

#include <QLocale>

namespace {

const QChar dq = u'"';

// Typed texts and dates go in as string literals: a typed word that is also a column name is
// searched for as a word.
QString quoted(const QString& text)
{
    return SqlStringLiteral(text);
}

// A whole number that can stand in the statement unquoted: optional blanks, an optional sign
// and decimal digits, within 32 bits.
bool isWholeNumber(const QString& text)
{
    const QString number = text.trimmed();
    if (number.isEmpty() || text.back().isSpace())
        return false;
    for (qsizetype i = 0; i < number.size(); ++i) {
        const char16_t c = number.at(i).unicode();
        const bool sign = i == 0 && (c == u'-' || c == u'+');
        if (!sign && (c < u'0' || c > u'9'))
            return false;
    }
    bool ok = false;
    number.toInt(&ok);
    return ok;
}

// The table and field parts of a "table.field" item; an item without "." is all field.
std::pair<QString, QString> splitItem(const QString& item)
{
    const qsizetype dot = item.indexOf(u'.');
    if (dot < 0)
        return {QString(), item};
    return {item.left(dot), item.mid(dot + 1)};
}

QString dayStart(TdbDateTimePicker* picker)
{
    picker->setValue(DayCount::wholeDays(picker->value()));
    return picker->dbStringDateTime();
}

// The statement's WHERE and AND words: the first condition opens the WHERE clause.
class Conditions {
public:
    void add(const QString& condition)
    {
        m_text += (m_written ? QStringLiteral(" AND ") : QStringLiteral(" WHERE ")) + condition;
        m_written = true;
    }
    bool written() const { return m_written; }
    const QString& text() const { return m_text; }

private:
    QString m_text;
    bool m_written = false;
};

QString editCondition(TdbEdit* edit, TdbStringGridEx* grid, const SqlDialect& d)
{
    QString v = edit->text();
    if (!edit->inputMask().isEmpty())
        v = v.trimmed();
    const QString upper = ToSearchCase(v);
    const QString& op = edit->dbFilter;
    const QString column = d.column(edit->dbTable, edit->dbField);
    if (op != u"=" && op != u"%s%" && !isWholeNumber(v)) {
        desktop().message(grid, Lang.Error, dq + v + dq + u' ' + Lang.Not_a_number,
                          DesktopServices::Icon::Information, DesktopServices::Ok);
        edit->clear();
        return QString();
    }
    const QString type = GetFieldType(edit->dbTable, edit->dbField);
    if (op == u"=")
        return d.caseInsensitiveMatch(column, quoted(upper), type);
    if (op == u"%s%")
        return d.caseInsensitiveMatch(column, quoted(u'%' + upper + u'%'), type);
    if (op == u">" || op == u">=" || op == u"<" || op == u"<=")
        return d.compareWithNumber(column, op, upper, type);
    return QString();
}

QString gridCondition(TdbStringGridEx* other, const QString& table, const SqlDialect& d)
{
    const QString id = QString::number(other->dbItemID());
    if (other->dbGeneralTable.contains(u'.'))
        return d.column(other->dbGetFKTable(), other->dbGetFKName()) + u'=' + id;
    return d.column(table, QStringLiteral("id_") + other->dbGeneralTable) + u'=' + id;
}

// The date conditions name the column as the grid's table and the control's field.
QString dateColumn(const QString& general, const QString& field, const SqlDialect& d)
{
    return d.plainName(general) + u'.' + d.plainName(field);
}

QString pickerCondition(TdbDateTimePicker* picker, const QString& general, const SqlDialect& d)
{
    if (picker->kind() != TdbDateTimePicker::dtkDate)
        return QString();
    const QString type = GetFieldType(picker->dbTable, picker->dbField);
    const QString column = dateColumn(general, picker->dbField, d);
    const QString& op = picker->dbFilter;
    if (type == u"DATE")
        return column + u' ' + op + u' ' + quoted(dayStart(picker));
    if (type != u"DATETIME")
        return QString();
    const QString d0 = dayStart(picker);
    const QString d1 = d0.left(11) + QStringLiteral("23:59:59.999");
    if (op == u"=")
        return u'(' + column + QStringLiteral(" > ") + quoted(d0) + QStringLiteral(" AND ")
               + column + QStringLiteral(" < ") + quoted(d1) + u')';
    if (op == u">")
        return column + QStringLiteral(" > ") + quoted(d1);
    if (op == u">=")
        return column + QStringLiteral(" >= ") + quoted(d0);
    if (op == u"<")
        return column + QStringLiteral(" < ") + quoted(d0);
    if (op == u"<=")
        return column + QStringLiteral(" <= ") + quoted(d1);
    return QString();
}

QString calendarCondition(TdbMonthCalendar* calendar, const QString& general, const SqlDialect& d)
{
    if (GetFieldType(calendar->dbTable, calendar->dbField) != u"DATE")
        return QString();
    calendar->setValue(DayCount::wholeDays(calendar->value()));
    return dateColumn(general, calendar->dbField, d) + u' ' + calendar->dbFilter + u' '
           + quoted(calendar->dbStringDateTime());
}

// The item that a filter control adds to the list from which the joined tables are taken.
QString filterItem(QObject* control)
{
    if (auto* edit = qobject_cast<TdbEdit*>(control))
        return edit->text().isEmpty() ? QString() : edit->dbTable + u'.' + edit->dbField + u',';
    if (auto* memo = qobject_cast<TdbMemo*>(control))
        return memo->toPlainText().isEmpty() ? QString()
                                             : memo->dbTable + u'.' + memo->dbField + u',';
    if (auto* counter = qobject_cast<TdbEditCount*>(control))
        return counter->text().trimmed().isEmpty() ? QString()
                                                   : counter->dbTable + QStringLiteral(".null,");
    if (auto* check = qobject_cast<TdbCheckBox*>(control))
        return check->checkState() == Qt::PartiallyChecked
                   ? QString()
                   : check->dbTable + u'.' + check->dbField + u',';
    if (auto* combo = qobject_cast<TdbComboBox*>(control))
        return combo->dbItemID() == -1 ? QString()
                                       : combo->dbGetTableName() + u'.' + combo->dbField + u',';
    if (auto* grid = qobject_cast<TdbStringGridEx*>(control))
        return grid->dbItemID() == -1 ? QString() : grid->dbGeneralTable + QStringLiteral(".id,");
    if (auto* picker = qobject_cast<TdbDateTimePicker*>(control))
        return picker->isChecked() ? picker->dbTable + u'.' + picker->dbField + u',' : QString();
    if (auto* calendar = qobject_cast<TdbMonthCalendar*>(control))
        return calendar->dbTable + u'.' + calendar->dbField + u',';
    return QString();
}

// The condition of one filter control; empty when it adds none.
QString filterCondition(QObject* control, TdbStringGridEx* grid, const QString& table,
                        const SqlDialect& d)
{
    if (auto* edit = qobject_cast<TdbEdit*>(control))
        return edit->text().isEmpty() ? QString() : editCondition(edit, grid, d);
    if (auto* memo = qobject_cast<TdbMemo*>(control)) {
        const QString text = memo->toPlainText();
        return text.isEmpty() ? QString()
                              : d.caseInsensitiveMatch(d.column(memo->dbTable, memo->dbField),
                                                       quoted(ToSearchCase(text)),
                                                       GetFieldType(memo->dbTable, memo->dbField));
    }
    if (auto* counter = qobject_cast<TdbEditCount*>(control)) {
        // Checked to be a number before the search began.
        const auto number = NumberLiteral(counter->text(), NumberKind::Whole);
        return number ? d.name(counter->dbTable) + u'.' + d.plainName(QStringLiteral("record_count"))
                            + QStringLiteral(" = ") + *number
                      : QString();
    }
    if (auto* check = qobject_cast<TdbCheckBox*>(control)) {
        if (check->checkState() == Qt::PartiallyChecked)
            return QString();
        return d.column(check->dbTable, check->dbField) + u'='
               + (check->checkState() == Qt::Checked ? u'1' : u'0');
    }
    if (auto* combo = qobject_cast<TdbComboBox*>(control))
        return combo->dbItemID() == -1
                   ? QString()
                   : d.plainColumn(combo->dbForeignKey) + u'=' + QString::number(combo->dbItemID());
    if (auto* other = qobject_cast<TdbStringGridEx*>(control))
        return other->dbItemID() == -1 ? QString() : gridCondition(other, table, d);
    if (auto* picker = qobject_cast<TdbDateTimePicker*>(control))
        return picker->isChecked() ? pickerCondition(picker, grid->dbGeneralTable, d) : QString();
    if (auto* calendar = qobject_cast<TdbMonthCalendar*>(control))
        return calendarCondition(calendar, grid->dbGeneralTable, d);
    return QString();
}

QString joins(const QString& table, const QStringList& joined, const SqlDialect& d)
{
    const QStringList candidates = QStringList{table} + joined;
    QString text;
    for (const QString& x : joined) {
        for (const QString& y : candidates) {
            if (FieldExists(y, QStringLiteral("id_") + x)) {
                text += QStringLiteral(" LEFT OUTER JOIN ") + d.name(x) + QStringLiteral(" ON ")
                        + d.column(y, QStringLiteral("id_") + x) + u'=' + d.name(x)
                        + QStringLiteral(".id");
                break;
            }
            if (FieldExists(x, QStringLiteral("id_") + y)) {
                text += QStringLiteral(" LEFT OUTER JOIN ") + d.name(x) + QStringLiteral(" ON ")
                        + d.name(y) + QStringLiteral(".id=") + d.column(x, QStringLiteral("id_") + y);
                break;
            }
        }
    }
    return text;
}

QStringList columnNames(const SqlStatement& statement)
{
    QStringList names;
    for (int c = 0; c < statement.columnCount(); ++c)
        names.append(statement.columnName(c));
    return names;
}

// The table that author SQL reads: the word after its first " from ", once line breaks, tabs
// and runs of blanks are folded.
QString tableOfSql(const QString& sql)
{
    QString s = sql;
    s.replace(u'\r', u' ');
    s.remove(u'\n');
    s.remove(u'\t');
    s.replace(QStringLiteral("    "), QStringLiteral(" "));
    s.replace(QStringLiteral("   "), QStringLiteral(" "));
    s.replace(QStringLiteral("  "), QStringLiteral(" "));
    const QString from = QStringLiteral(" from ");
    const qsizetype at = s.indexOf(from, 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    s += u' ';
    const qsizetype start = at + from.size();
    QString name = s.mid(start, s.indexOf(u' ', start) - start);
    name.remove(u' ');
    return name;
}

// Record ids are integers as a rule; their text is made only when asked for.
void appendId(const SqlStatement& statement, int column, TIdList& ids)
{
    if (statement.columnType(column) == SqlValue::Type::Integer) {
        ids.appendNumber(statement.integer(column));
        return;
    }
    int length = 0;
    const char* text = statement.textUtf8(column, &length);
    ids.appendUtf8(text, length);
}

} // namespace

QList<QObject*> TdbStringGridEx::filterControls() const
{
    QList<QObject*> controls;
    const TForm* form = TForm::formOf(this);
    if (!form || dbListControls.isEmpty())
        return controls;
    for (const QString& name : dbListControls.split(u',')) {
        if (name.isEmpty())
            continue;
        if (QObject* control = form->findComponent(name))
            controls.append(control);
    }
    return controls;
}

TdbStringGridEx::Search TdbStringGridEx::searchStatement()
{
    const SqlDialect& d = dbSQLConnection ? dbSQLConnection->dialect() : SqlDialect::sqlite();
    auto authorSql = [this](const QString& sql) {
        return dbSQLConnection ? AuthorSql(*dbSQLConnection, sql) : sql;
    };
    Search search;
    const QString table = dbGeneralTable.contains(u'.') ? GetFKTableName(dbGeneralTable)
                                                        : dbGeneralTable;
    QString columns;
    if (!dbListFields.isEmpty()) {
        for (const QString& item : dbListFields.split(u',')) {
            const auto [itemTable, field] = splitItem(item);
            search.columnTypes.append(GetFieldType(itemTable, field));
            columns += d.column(itemTable, field) + u',';
        }
        columns.chop(1);
    }
    const QString sort = dbSortField.isEmpty() ? QString() : authorSql(dbSortField);
    QString sql = QStringLiteral("SELECT DISTINCT ") + ExpandCalcFields(columns, true, d) + u','
                  + d.name(table) + QStringLiteral(".id");
    // A server sorts a DISTINCT result only by selected columns; the sort expression goes
    // after the id, where the grid does not show it.
    if (!sort.isEmpty() && d.distinctSortsBySelectedOnly()) {
        sql += u',' + sort;
        search.hiddenAfterId = 1;
    }
    sql += QStringLiteral(" FROM ") + d.name(table);

    const bool filtered = dbParentTableId == -1;
    const QList<QObject*> controls = filtered ? filterControls() : QList<QObject*>();
    QString items;
    for (QObject* control : controls)
        items += filterItem(control);
    sql += joins(table, GetJoinTables(table, items + dbListFields), d);

    Conditions conditions;
    for (QObject* control : controls) {
        const QString condition = filterCondition(control, this, table, d);
        if (!condition.isEmpty())
            conditions.add(condition);
    }
    sql += conditions.text();

    if (dbParentTableId >= 0) {
        bool parent = false;
        if (FieldExists(dbGeneralTable, QStringLiteral("id_") + dbParentTable)) {
            sql += QStringLiteral(" WHERE (") + d.plainName(dbGeneralTable) + u'.'
                   + d.plainName(QStringLiteral("id_") + dbParentTable) + u'='
                   + QString::number(dbParentTableId) + u')';
            parent = true;
        }
        if (!dbFilter.isEmpty())
            sql += (parent ? QStringLiteral(" AND (") : QStringLiteral(" WHERE ("))
                   + authorSql(dbFilter) + u')';
    } else if (filtered && !dbListFields.isEmpty() && !dbFilter.isEmpty()) {
        sql += (conditions.written() ? QStringLiteral(" AND (") : QStringLiteral(" WHERE ("))
               + authorSql(dbFilter) + u')';
    }

    if (!sort.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + sort + u' ' + d.sortDirection(dbSortAsc);
    search.sql = sql;
    return search;
}

// A counter filter holds a record number or nothing; anything else would reach the statement
// as SQL. Such a text is reported and the search does not run.
bool TdbStringGridEx::countersAreNumbers()
{
    if (dbParentTableId != -1)
        return true;
    for (QObject* control : filterControls()) {
        auto* counter = qobject_cast<TdbEditCount*>(control);
        if (!counter || counter->text().trimmed().isEmpty()
            || NumberLiteral(counter->text(), NumberKind::Whole))
            continue;
        desktop().message(this, Lang.Error, dq + counter->text() + dq + u' ' + Lang.Not_a_number,
                          DesktopServices::Icon::Information, DesktopServices::Ok);
        counter->setFocus();
        return false;
    }
    return true;
}

QString TdbStringGridEx::dbSearchSql()
{
    return searchStatement().sql;
}

void TdbStringGridEx::dbExecute()
{
    if (!countersAreNumbers())
        return;
    dbSQL.clear();
    const Search search = searchStatement();
    const int previous = row();
    dbClear();
    if (!dbSQLConnection)
        throw DatabaseError(QStringLiteral("The grid %1 has no database connection.").arg(objectName()));
    if (runReplacing(search.sql, [&](SqlStatement& statement) { fillFromSearch(statement, search); }))
        restoreRow(previous);
}

bool TdbStringGridEx::runReplacing(const QString& sql, const std::function<void(SqlStatement&)>& fill)
{
    // Re-entered while this grid's last statement still waits for the server (the window
    // answers clicks meanwhile): the newer search replaces the older one.
    if (m_running > 0)
        dbSQLConnection->cancelRunning();
    ++m_running;
    struct Leave {
        int& running;
        ~Leave() { --running; }
    } leave{m_running};
    try {
        SqlStatement statement = dbSQLConnection->prepare(sql, SqlConnection::Waiting::ProcessEvents);
        fill(statement);
        return true;
    } catch (const DatabaseError& error) {
        if (error.kind == DatabaseError::Kind::Cancelled)
            return false; // the newer search has filled the grid
        throw;
    }
}

void TdbStringGridEx::fillFromSearch(SqlStatement& statement, const Search& search)
{
    const QStringList& columnTypes = search.columnTypes;
    const int idColumn = statement.columnCount() - 1 - search.hiddenAfterId;
    const int shown = qMax(0, idColumn);
    QStringList titles = dbListFieldsNames.isEmpty() ? columnNames(statement)
                                                     : dbListFieldsNames.split(u',');
    titles.append(QString());
    setColCount(shown);
    for (int c = 0; c < shown; ++c)
        setTitle(c, titles.value(c));
    dbIfUsed = true;
    dbListId.clear();

    // The conversion of each column is settled once, before the rows.
    std::vector<CellDisplay> displays;
    for (int c = 0; c < shown; ++c)
        displays.push_back(CellDisplay::forType(columnTypes.value(c)));
    TGridRows rows;
    TIdList ids;
    ByteBuffer row;
    int length = 0;
    while (statement.step()) {
        row.clear();
        for (int c = 0; c < shown; ++c) {
            const CellDisplay& display = displays[static_cast<size_t>(c)];
            if (display.readsIntegers() && statement.columnType(c) == SqlValue::Type::Integer) {
                display.appendInteger(statement.integer(c), row);
            } else {
                const char* text = statement.textUtf8(c, &length);
                display.append(text, length, row);
            }
            row.push_back(TGridRows::CellEnd);
        }
        rows.append(row.data(), row.size());
        appendId(statement, idColumn, ids);
    }
    if (rows.rowCount() == 0)
        return; // the one empty row of dbClear stays
    rows.squeeze();
    ids.squeeze();
    m_model->assignRows(std::move(rows));
    dbListId = std::move(ids);
}

void TdbStringGridEx::dbClear()
{
    TGridRows rows;
    const ByteBuffer empty(static_cast<size_t>(colCount()), TGridRows::CellEnd);
    rows.append(empty.data(), empty.size());
    m_model->assignRows(std::move(rows));
    dbListId.clear();
}

void TdbStringGridEx::dbSQLExecute()
{
    if (dbGeneralTable.isEmpty())
        dbGeneralTable = tableOfSql(dbSQL);
    const int previous = row();
    dbClear();
    if (!dbSQLConnection)
        throw DatabaseError(QStringLiteral("The grid %1 has no database connection.").arg(objectName()));
    if (runReplacing(AuthorSql(*dbSQLConnection, dbSQL),
                     [this](SqlStatement& statement) { fillFromAuthorSql(statement); }))
        restoreRow(previous);
}

void TdbStringGridEx::fillFromAuthorSql(SqlStatement& statement)
{
    const int k = statement.columnCount();
    const QStringList names = columnNames(statement);
    const QStringList titles = dbListFieldsNames.isEmpty() ? names : dbListFieldsNames.split(u',');
    setColCount(k);
    for (int c = 0; c < k; ++c)
        setTitle(c, titles.value(c));
    // Columns titled delete_col go before any row is written; the widths of the others move
    // left with them.
    std::vector<int> kept;
    for (int c = 0, source = 0; source < k; ++source) {
        if (title(c) == u"delete_col") {
            m_model->removeColumn(c);
            continue;
        }
        kept.push_back(source);
        ++c;
    }
    int idColumn = -1;
    for (int c = 0; c < k && idColumn < 0; ++c)
        if (names.at(c).compare(u"id", Qt::CaseInsensitive) == 0)
            idColumn = c;
    dbIfUsed = true;
    dbListId.clear();

    const CellDisplay plain;
    TGridRows rows;
    TIdList ids;
    ByteBuffer row;
    int length = 0;
    while (statement.step()) {
        row.clear();
        for (const int c : kept) {
            const char* text = statement.textUtf8(c, &length);
            plain.append(text, length, row);
            row.push_back(TGridRows::CellEnd);
        }
        rows.append(row.data(), row.size());
        if (idColumn >= 0)
            appendId(statement, idColumn, ids);
    }
    if (rows.rowCount() == 0)
        return;
    rows.squeeze();
    ids.squeeze();
    m_model->assignRows(std::move(rows));
    dbListId = std::move(ids);
}

void TdbStringGridEx::dbFillColumnsName()
{
    dbClear();
    if (dbListFieldsNames.isEmpty())
        return;
    const QStringList titles = dbListFieldsNames.split(u',');
    setColCount(static_cast<int>(titles.size()));
    for (int c = 0; c < titles.size(); ++c)
        setTitle(c, titles.at(c));
}
