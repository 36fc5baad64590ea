#include "catalogue/catalogue.h"

#include "platform/convert.h"
#include "platform/ini_file.h"
#include "platform/project_folder.h"
#include "platform/sql_dialect.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace {

// The catalogue keeps its text lines as the public model and a parsed copy of each line
// for lookups. The parsed copy is split from the line itself, so a table name holding "="
// or "." is split exactly as a reader of the text line would split it.
struct FieldLine {
    QString table;
    QString field;
    QString type;
};

struct CalcLine {
    QString name;
    QString table;
    QString field;
    QString expression;
};

struct Catalogue {
    QStringList fieldLines;
    QStringList calcLines;
    std::vector<FieldLine> fields;
    std::vector<CalcLine> calcs;
    // Every table and column name, case-folded, to its spelling in tables.ini.
    QHash<QString, QString> names;
    // The "^" references: rows of child go when their parent row goes.
    std::vector<CascadeReference> cascades;
};

Catalogue& catalogue()
{
    static Catalogue instance;
    return instance;
}

const QString DictionaryKey = QStringLiteral("isdictionary");

FieldLine parseFieldLine(const QString& line)
{
    const qsizetype first = line.indexOf(u'=');
    const qsizetype second = first < 0 ? -1 : line.indexOf(u'=', first + 1);
    if (first < 0)
        return {line, QString(), QString()};
    if (second < 0)
        return {line.left(first), line.mid(first + 1), QString()};
    return {line.left(first), line.mid(first + 1, second - first - 1), line.mid(second + 1)};
}

CalcLine parseCalcLine(const QString& line)
{
    CalcLine calc;
    const qsizetype eq = line.indexOf(u'=');
    calc.name = eq < 0 ? line : line.left(eq);
    calc.expression = eq < 0 ? QString() : line.mid(eq + 1);
    const qsizetype dot = calc.name.indexOf(u'.');
    calc.table = dot < 0 ? calc.name : calc.name.left(dot);
    calc.field = dot < 0 ? QString() : calc.name.mid(dot + 1);
    return calc;
}

void appendFieldLine(const QString& line)
{
    catalogue().fieldLines.append(line);
    catalogue().fields.push_back(parseFieldLine(line));
}

void appendCalcLine(const QString& line)
{
    catalogue().calcLines.append(line);
    catalogue().calcs.push_back(parseCalcLine(line));
}

bool startsWithAnyOf(const QString& text, QStringView characters)
{
    return !text.isEmpty() && characters.contains(text.front());
}

void loadKey(const IniFile& ini, const QString& table, QString key)
{
    QString value = ini.value(table, key, QStringLiteral("ERROR"));
    if (key.startsWith(u'^'))
        catalogue().cascades.push_back({table, key.mid(1), value});
    if (key.startsWith(u'%')) {
        key.remove(0, 1);
        appendCalcLine(table + u'.' + key + u'=' + value);
    }
    // A calculated key keeps going: should its name start with another kind prefix,
    // that prefix is taken off too.
    if (startsWithAnyOf(key, u">^+"))
        value = QStringLiteral("INTEGER");
    if (startsWithAnyOf(key, u"_->^+*%"))
        key.remove(0, 1);
    appendFieldLine(table + u'=' + key + u'=' + value);
}


// The expression as SQL: the designer escapes "=" and line breaks because tables.ini
// cannot hold them in a value.
QString unescapedExpression(QString expression)
{
    expression.replace(QStringLiteral("\\r\\n"), QStringLiteral(" "));
    expression.replace(QStringLiteral("^equally^"), QStringLiteral("="));
    return expression;
}

QString expandedItem(const QString& item, bool qualified, const SqlDialect& dialect)
{
    for (const CalcLine& calc : catalogue().calcs) {
        if (item != dialect.column(calc.table, calc.field))
            continue;
        const QString alias = qualified ? calc.table + u'.' + calc.field : calc.field;
        return dialect.authorSql(unescapedExpression(calc.expression), CatalogueName)
               + QStringLiteral(" AS ") + dialect.alias(alias);
    }
    return item;
}

// The names that statements can use: the tables, their key, the stored columns and the file
// names beside pictures and files (calculated fields are expressions, not columns).
void collectNames()
{
    Catalogue& c = catalogue();
    auto add = [&c](const QString& name) {
        if (!name.isEmpty())
            c.names.insert(name.toCaseFolded(), name);
    };
    add(QStringLiteral("id"));
    for (const FieldLine& line : c.fields) {
        add(line.table);
        if (IsCalcField(line.table + u'.' + line.field))
            continue;
        add(line.field);
        if (line.type == u"FILE" || line.type == u"IMAGE")
            add(line.field + QStringLiteral("_filename"));
    }
}

bool lessIgnoringCase(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

void insertSortedUnique(QStringList& names, const QString& name)
{
    const auto at = std::lower_bound(names.begin(), names.end(), name, lessIgnoringCase);
    if (at != names.end() && at->compare(name, Qt::CaseInsensitive) == 0)
        return;
    names.insert(at, name);
}

} // namespace

QString TablesFilePath()
{
    return ExeFolder() + QStringLiteral("tables.ini");
}

void LoadTables(const QString& fileName)
{
    FreeCatalogue();
    const IniFile ini = IniFile::load(fileName);
    for (const QString& table : ini.sections()) {
        for (const QString& key : ini.keys(table)) {
            if (key != DictionaryKey)
                loadKey(ini, table, key);
        }
        catalogue().names.insert(table.toCaseFolded(), table);
    }
    collectNames();
}

std::vector<CascadeReference> CascadingReferences(const QString& parent)
{
    std::vector<CascadeReference> found;
    for (const CascadeReference& reference : catalogue().cascades)
        if (reference.parent == parent)
            found.push_back(reference);
    return found;
}

QString CatalogueName(const QString& name)
{
    return catalogue().names.value(name.toCaseFolded());
}

void FreeCatalogue()
{
    catalogue() = Catalogue();
}

const QStringList& FieldCatalogue()
{
    return catalogue().fieldLines;
}

const QStringList& CalcFieldCatalogue()
{
    return catalogue().calcLines;
}

bool IsDictionary(const QString& table)
{
    const IniFile ini = IniFile::load(TablesFilePath());
    return StrToIntDef(ini.value(table, DictionaryKey), 0) != 0;
}

bool FieldExists(const QString& table, const QString& field)
{
    const auto& fields = catalogue().fields;
    return std::any_of(fields.begin(), fields.end(), [&](const FieldLine& line) {
        return line.table == table && line.field == field;
    });
}

QString GetFieldList(const QString& table, const SqlDialect& dialect)
{
    QString list;
    for (const FieldLine& line : catalogue().fields) {
        if (line.table != table)
            continue;
        list += dialect.column(table, line.field) + u',';
        if (line.type == u"FILE" || line.type == u"IMAGE")
            list += dialect.column(table, line.field + QStringLiteral("_filename")) + u',';
    }
    list.chop(1);
    return list;
}

QString GetFieldType(const QString& table, const QString& field)
{
    for (const FieldLine& line : catalogue().fields) {
        if (line.table == table && line.field == field)
            return line.type;
    }
    return QString();
}

bool IsCalcField(const QString& name)
{
    const auto& calcs = catalogue().calcs;
    return std::any_of(calcs.begin(), calcs.end(),
                       [&](const CalcLine& line) { return line.name == name; });
}

QString ExpandCalcFields(const QString& list, bool qualified, const SqlDialect& dialect)
{
    if (list.isEmpty())
        return QString();
    QStringList items = list.split(u',');
    for (QString& item : items)
        item = expandedItem(item, qualified, dialect);
    return items.join(u',');
}

QStringList GetJoinTables(const QString& table, const QString& list)
{
    QStringList names;
    for (const QString& item : list.split(u',')) {
        // An item without a table part cannot name a table to join.
        const qsizetype dot = item.indexOf(u'.');
        if (dot <= 0)
            continue;
        const QString name = item.left(dot);
        if (name != table)
            insertSortedUnique(names, name);
    }
    // Joins to dictionaries go last. This is a single pass of exchanges with the last
    // position, not a stable partition: with a and b dictionaries, a b c becomes c a b.
    const qsizetype last = names.size() - 1;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (IsDictionary(names[i]))
            names.swapItemsAt(i, last);
    }
    return names;
}
