#include "catalogue/schema.h"

#include "platform/ini_file.h"

namespace {

// The designer's field types that SQLite has no name for.
QString sqliteColumnType(const QString& type)
{
    if (type == u"DATE" || type == u"TIME" || type == u"DATETIME")
        return QStringLiteral("TEXT");
    if (type == u"BOOLEAN")
        return QStringLiteral("INTEGER");
    if (type == u"IMAGE" || type == u"FILE")
        return QStringLiteral("BLOB");
    return type;
}

bool startsWithAnyOf(const QString& text, QStringView characters)
{
    return !text.isEmpty() && characters.contains(text.front());
}

// The three kind tests run one after another on what the previous test left of the key,
// so a key such as "_^x" yields two columns. The designer never writes such keys; the
// rule is kept so that every key gives the same columns here as everywhere else.
QString columnDefinitions(const IniFile& ini, const QString& table, const QString& originalKey)
{
    QString sql;
    QString key = originalKey;
    if (startsWithAnyOf(key, u"_-")) {
        const QString type = sqliteColumnType(ini.value(table, originalKey, QStringLiteral("INTEGER")));
        const QString notNull = key.startsWith(u'-') ? QStringLiteral(" NOT NULL") : QString();
        key.remove(0, 1);
        sql += QStringLiteral(", [") + key + QStringLiteral("] ") + type + notNull;
        // Every stored picture or file keeps the name of the file it came from.
        if (type == u"BLOB")
            sql += QStringLiteral(", [") + key + QStringLiteral("_filename]") + QStringLiteral(" TEXT")
                   + notNull;
    }
    if (startsWithAnyOf(key, u">^+")) {
        const bool required = key.startsWith(u'+') || key.startsWith(u'^');
        key.remove(0, 1);
        sql += QStringLiteral(", [") + key + QStringLiteral("] INTEGER")
               + (required ? QStringLiteral(" NOT NULL") : QString());
    }
    if (key.startsWith(u'*')) {
        key.remove(0, 1);
        sql += QStringLiteral(", [") + key + QStringLiteral("] INTEGER");
    }
    return sql;
}

QString foreignKey(const IniFile& ini, const QString& table, const QString& key)
{
    const QString parent = ini.value(table, key, QStringLiteral("ERROR"));
    return QStringLiteral(", FOREIGN KEY(") + key.mid(1) + QStringLiteral(") REFERENCES ") + parent
           + QStringLiteral("(id) ON DELETE CASCADE");
}

QString createTableStatement(const IniFile& ini, const QString& table)
{
    const QStringList keys = ini.keys(table);
    QString sql = QStringLiteral("CREATE TABLE [") + table + QStringLiteral("] (id INTEGER PRIMARY KEY ASC");
    for (const QString& key : keys)
        sql += columnDefinitions(ini, table, key);
    for (const QString& key : keys) {
        if (key.startsWith(u'^'))
            sql += foreignKey(ini, table, key);
    }
    return sql + QStringLiteral("); ");
}

} // namespace

QStringList GetCreateTableScript(const QString& fileName)
{
    const IniFile ini = IniFile::load(fileName);
    QStringList script;
    for (const QString& table : ini.sections())
        script.append(createTableStatement(ini, table));
    return script;
}
