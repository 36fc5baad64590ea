#include "catalogue/schema.h"

#include "platform/ini_file.h"
#include "platform/sql_dialect.h"

namespace {

bool startsWithAnyOf(const QString& text, QStringView characters)
{
    return !text.isEmpty() && characters.contains(text.front());
}

// The three kind tests run one after another on what the previous test left of the key,
// so a key such as "_^x" yields two columns. The designer never writes such keys; the
// rule is kept so that every key gives the same columns here as everywhere else.
QString columnDefinitions(const IniFile& ini, const QString& table, const QString& originalKey,
                          const SqlDialect& d)
{
    const QString integer = d.columnType(QStringLiteral("INTEGER"));
    QString sql;
    QString key = originalKey;
    if (startsWithAnyOf(key, u"_-")) {
        const QString declared = ini.value(table, originalKey, QStringLiteral("INTEGER"));
        const QString type = d.columnType(declared);
        const QString notNull = key.startsWith(u'-') ? QStringLiteral(" NOT NULL") : QString();
        key.remove(0, 1);
        sql += QStringLiteral(", ") + d.name(key) + u' ' + type + notNull;
        // Every stored picture or file keeps the name of the file it came from.
        if (type == d.columnType(QStringLiteral("IMAGE")))
            sql += QStringLiteral(", ") + d.name(key + QStringLiteral("_filename")) + u' '
                   + d.columnType(QStringLiteral("TEXT")) + notNull;
    }
    if (startsWithAnyOf(key, u">^+")) {
        const bool required = key.startsWith(u'+') || key.startsWith(u'^');
        key.remove(0, 1);
        sql += QStringLiteral(", ") + d.name(key) + u' ' + integer
               + (required ? QStringLiteral(" NOT NULL") : QString());
    }
    if (key.startsWith(u'*')) {
        key.remove(0, 1);
        sql += QStringLiteral(", ") + d.name(key) + u' ' + integer;
    }
    return sql;
}

QString foreignKey(const IniFile& ini, const QString& table, const QString& key, const SqlDialect& d)
{
    const QString parent = ini.value(table, key, QStringLiteral("ERROR"));
    return QStringLiteral("FOREIGN KEY(") + d.plainName(key.mid(1)) + QStringLiteral(") REFERENCES ")
           + d.plainName(parent) + QStringLiteral("(id) ON DELETE CASCADE");
}

QString createTableStatement(const IniFile& ini, const QString& table, const SqlDialect& d)
{
    const QStringList keys = ini.keys(table);
    QString sql = QStringLiteral("CREATE TABLE ") + d.name(table) + QStringLiteral(" (")
                  + d.idColumnDefinition();
    for (const QString& key : keys)
        sql += columnDefinitions(ini, table, key, d);
    // SQLite resolves a parent table when rows are written, so its foreign keys go inside
    // the table's own statement; the statements below add them once every table exists.
    if (d.isSqlite()) {
        for (const QString& key : keys) {
            if (key.startsWith(u'^'))
                sql += QStringLiteral(", ") + foreignKey(ini, table, key, d);
        }
    }
    return sql + QStringLiteral("); ");
}

} // namespace

QStringList GetCreateTableScript(const QString& fileName, const SqlDialect& dialect)
{
    const IniFile ini = IniFile::load(fileName);
    QStringList script;
    for (const QString& table : ini.sections())
        script.append(createTableStatement(ini, table, dialect));
    if (dialect.isSqlite())
        return script;
    // A server checks that the parent table exists when the foreign key is made, so the keys
    // follow the tables. The reference columns are indexed: deleting a parent finds its
    // children, and a child grid lists them, without reading the whole table.
    for (const QString& table : ini.sections()) {
        for (const QString& key : ini.keys(table)) {
            if (!key.startsWith(u'^'))
                continue;
            script.append(QStringLiteral("ALTER TABLE ") + dialect.name(table)
                          + QStringLiteral(" ADD ") + foreignKey(ini, table, key, dialect)
                          + QStringLiteral("; "));
            script.append(QStringLiteral("CREATE INDEX ON ") + dialect.name(table) + QStringLiteral(" (")
                          + dialect.plainName(key.mid(1)) + QStringLiteral("); "));
        }
    }
    return script;
}
