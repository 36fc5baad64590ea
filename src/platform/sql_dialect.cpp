#include "platform/sql_dialect.h"

#include <QSet>

namespace {

// ---- SQLite: the statements as the engine has always written them ----

class SqliteDialect final : public SqlDialect {
public:
    Kind kind() const override { return Kind::SQLite; }
    QString name(const QString& identifier) const override { return u'[' + identifier + u']'; }
    QString plainName(const QString& identifier) const override { return identifier; }
    QString plainColumn(const QString& dotted) const override { return dotted; }
    QString alias(const QString& alias) const override { return u'\'' + alias + u'\''; }
    QString caseInsensitiveLike() const override { return QStringLiteral("LIKE"); }

    QString columnType(const QString& type) const override
    {
        // The designer's field types that SQLite has no name for; anything else as written.
        if (type == u"DATE" || type == u"TIME" || type == u"DATETIME")
            return QStringLiteral("TEXT");
        if (type == u"BOOLEAN")
            return QStringLiteral("INTEGER");
        if (type == u"IMAGE" || type == u"FILE")
            return QStringLiteral("BLOB");
        return type;
    }
    QString idColumnDefinition() const override
    {
        return QStringLiteral("id INTEGER PRIMARY KEY ASC");
    }
    QString compareWithNumber(const QString& column, const QString& op, const QString& number,
                              const QString&) const override
    {
        return column + op + number;
    }
    QString sortDirection(bool ascending) const override
    {
        return ascending ? QStringLiteral("ASC") : QStringLiteral("DESC");
    }
    bool distinctSortsBySelectedOnly() const override { return false; }
    // SQLite gives a new row the largest rowid plus one.
    QString idCounterPastLargest(const QString&) const override { return QString(); }
    QString authorSql(const QString& sql, const NameLookup&) const override { return sql; }
};

// ---- PostgreSQL ----

QString quotedName(const QString& identifier)
{
    QString inner = identifier;
    inner.replace(u'"', QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

QString stringLiteral(const QString& text)
{
    QString inner = text;
    inner.replace(u'\'', QStringLiteral("''"));
    return u'\'' + inner + u'\'';
}

// SQLite's keywords: a bare word among them is read as the keyword, never as a name, so the
// translation leaves it alone.
const QSet<QString>& sqliteKeywords()
{
    static const QSet<QString> words = [] {
        const char* const list[] = {
            "ABORT", "ACTION", "ADD", "AFTER", "ALL", "ALTER", "ALWAYS", "ANALYZE", "AND", "AS",
            "ASC", "ATTACH", "AUTOINCREMENT", "BEFORE", "BEGIN", "BETWEEN", "BY", "CASCADE",
            "CASE", "CAST", "CHECK", "COLLATE", "COLUMN", "COMMIT", "CONFLICT", "CONSTRAINT",
            "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP",
            "DATABASE", "DEFAULT", "DEFERRABLE", "DEFERRED", "DELETE", "DESC", "DETACH",
            "DISTINCT", "DO", "DROP", "EACH", "ELSE", "END", "ESCAPE", "EXCEPT", "EXCLUDE",
            "EXCLUSIVE", "EXISTS", "EXPLAIN", "FAIL", "FALSE", "FILTER", "FIRST", "FOLLOWING",
            "FOR", "FOREIGN", "FROM", "FULL", "GENERATED", "GLOB", "GROUP", "GROUPS", "HAVING",
            "IF", "IGNORE", "IMMEDIATE", "IN", "INDEX", "INDEXED", "INITIALLY", "INNER",
            "INSERT", "INSTEAD", "INTERSECT", "INTO", "IS", "ISNULL", "JOIN", "KEY", "LAST",
            "LEFT", "LIKE", "LIMIT", "MATCH", "MATERIALIZED", "NATURAL", "NO", "NOT", "NOTHING",
            "NOTNULL", "NULL", "NULLS", "OF", "OFFSET", "ON", "OR", "ORDER", "OTHERS", "OUTER",
            "OVER", "PARTITION", "PLAN", "PRAGMA", "PRECEDING", "PRIMARY", "QUERY", "RAISE",
            "RANGE", "RECURSIVE", "REFERENCES", "REGEXP", "REINDEX", "RELEASE", "RENAME",
            "REPLACE", "RESTRICT", "RETURNING", "RIGHT", "ROLLBACK", "ROW", "ROWS", "SAVEPOINT",
            "SELECT", "SET", "TABLE", "TEMP", "TEMPORARY", "THEN", "TIES", "TO", "TRANSACTION",
            "TRIGGER", "TRUE", "UNBOUNDED", "UNION", "UNIQUE", "UPDATE", "USING", "VACUUM",
            "VALUES", "VIEW", "VIRTUAL", "WHEN", "WHERE", "WINDOW", "WITH", "WITHOUT"};
        QSet<QString> set;
        for (const char* w : list)
            set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words;
}

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Reads a quoted run that starts at i with the character quote and ends with it; a doubled
// quote inside stands for one. Gives the inner text and moves i past the closing quote (to
// the end when there is none).
QString readQuoted(const QString& sql, qsizetype& i, QChar close)
{
    QString inner;
    ++i;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (c == close) {
            if (close != u']' && i + 1 < sql.size() && sql.at(i + 1) == close) {
                inner += c;
                i += 2;
                continue;
            }
            ++i;
            return inner;
        }
        inner += c;
        ++i;
    }
    return inner;
}

QChar nextNonBlank(const QString& sql, qsizetype i)
{
    while (i < sql.size() && sql.at(i).isSpace())
        ++i;
    return i < sql.size() ? sql.at(i) : QChar();
}

// The names that the statement itself declares as aliases ("AS name", "AS [name]",
// AS "name", AS 'name'): a later "name" refers to them, as SQLite reads it.
QSet<QString> declaredAliases(const QString& sql)
{
    QSet<QString> aliases;
    QString previous;
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"' || c == u'[' || c == u'`') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            const QString inner = readQuoted(sql, i, close);
            if (previous == u"AS")
                aliases.insert(inner.toCaseFolded());
            previous.clear();
        } else if (isWordStart(c)) {
            const qsizetype start = i;
            while (i < sql.size() && isWordPart(sql.at(i)))
                ++i;
            const QString word = sql.mid(start, i - start);
            if (previous == u"AS")
                aliases.insert(word.toCaseFolded());
            previous = word.toUpper();
        } else {
            if (!c.isSpace())
                previous.clear();
            ++i;
        }
    }
    return aliases;
}

class PostgresDialect final : public SqlDialect {
public:
    Kind kind() const override { return Kind::PostgreSQL; }
    QString name(const QString& identifier) const override { return quotedName(identifier); }
    QString plainName(const QString& identifier) const override { return quotedName(identifier); }
    QString plainColumn(const QString& dotted) const override
    {
        const qsizetype dot = dotted.indexOf(u'.');
        if (dot < 0)
            return quotedName(dotted);
        return quotedName(dotted.left(dot)) + u'.' + quotedName(dotted.mid(dot + 1));
    }
    QString alias(const QString& alias) const override { return quotedName(alias); }
    // ILIKE folds letters of every script on a database made with a UTF-8 locale.
    QString caseInsensitiveLike() const override { return QStringLiteral("ILIKE"); }

    QString columnType(const QString& type) const override
    {
        // The designer's types in any letter case, then SQLite's rules for a type's
        // affinity, so that a column holds on the server what it held in SQLite. Dates and
        // times stay text in the stored form that sorts and compares as text.
        const QString t = type.trimmed().toUpper();
        if (t.isEmpty() || t == u"TEXT" || t == u"DATE" || t == u"TIME" || t == u"DATETIME")
            return QStringLiteral("text");
        if (t == u"BOOLEAN")
            return QStringLiteral("integer");
        if (t == u"IMAGE" || t == u"FILE")
            return QStringLiteral("bytea");
        if (t.contains(u"INT"))
            return QStringLiteral("bigint");
        if (t.contains(u"CHAR") || t.contains(u"CLOB") || t.contains(u"TEXT"))
            return QStringLiteral("text");
        if (t.contains(u"BLOB"))
            return QStringLiteral("bytea");
        if (t.contains(u"REAL") || t.contains(u"FLOA") || t.contains(u"DOUB"))
            return QStringLiteral("double precision");
        return QStringLiteral("numeric");
    }
    QString idColumnDefinition() const override
    {
        return QStringLiteral("id bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
    }
    QString compareWithNumber(const QString& column, const QString& op, const QString& number,
                              const QString& fieldType) const override
    {
        // SQLite compares a text column with a number as text; PostgreSQL has no operator
        // for text and numbers, so the number goes in as the text SQLite would compare.
        if (columnType(fieldType) == u"text")
            return column + op + stringLiteral(number);
        return column + op + number;
    }
    QString sortDirection(bool ascending) const override
    {
        return ascending ? QStringLiteral("ASC NULLS FIRST") : QStringLiteral("DESC NULLS LAST");
    }
    bool distinctSortsBySelectedOnly() const override { return true; }
    QString idCounterPastLargest(const QString& table) const override
    {
        const QString name = quotedName(table);
        return QStringLiteral("SELECT setval(pg_get_serial_sequence(") + stringLiteral(name)
               + QStringLiteral(", 'id'), coalesce(max(id), 0) + 1, false) FROM ") + name;
    }

    QString authorSql(const QString& sql, const NameLookup& knownName) const override
    {
        const QSet<QString> aliases = declaredAliases(sql);
        auto lookup = [&](const QString& word) {
            const QString spelled = knownName ? knownName(word) : QString();
            return spelled;
        };
        QString out;
        out.reserve(sql.size() + 16);
        QString previous; // the last bare word, in capitals; empty after anything else
        qsizetype i = 0;
        const qsizetype n = sql.size();
        while (i < n) {
            const QChar c = sql.at(i);
            const QChar next = i + 1 < n ? sql.at(i + 1) : QChar();
            if (c == u'\'') {
                const QString inner = readQuoted(sql, i, u'\'');
                out += previous == u"AS" ? quotedName(inner) : stringLiteral(inner);
                previous.clear();
            } else if (c == u'-' && next == u'-') {
                const qsizetype end = sql.indexOf(u'\n', i);
                const qsizetype stop = end < 0 ? n : end;
                out += QStringView(sql).mid(i, stop - i);
                i = stop;
            } else if (c == u'/' && next == u'*') {
                const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
                const qsizetype stop = end < 0 ? n : end + 2;
                out += QStringView(sql).mid(i, stop - i);
                i = stop;
            } else if (c == u'[' || c == u'`') {
                const QString inner = readQuoted(sql, i, c == u'[' ? QChar(u']') : c);
                const QString spelled = lookup(inner);
                out += quotedName(spelled.isEmpty() ? inner : spelled);
                previous.clear();
            } else if (c == u'"') {
                const QString inner = readQuoted(sql, i, u'"');
                const QString spelled = lookup(inner);
                if (!spelled.isEmpty())
                    out += quotedName(spelled);
                else if (previous == u"AS" || aliases.contains(inner.toCaseFolded()))
                    out += quotedName(inner);
                else
                    out += stringLiteral(inner); // SQLite takes an unknown "word" as text
                previous.clear();
            } else if (isWordStart(c)) {
                const qsizetype start = i;
                while (i < n && isWordPart(sql.at(i)))
                    ++i;
                const QString word = sql.mid(start, i - start);
                const QString upper = word.toUpper();
                const QChar before = start > 0 ? sql.at(start - 1) : QChar();
                const bool call = nextNonBlank(sql, i) == u'(';
                if (upper == u"LIKE") {
                    out += QStringLiteral("ILIKE");
                } else if (upper == u"IFNULL" && call) {
                    out += QStringLiteral("coalesce");
                } else if (call || before == u':' || before == u'$' || before == u'@'
                           || sqliteKeywords().contains(upper) || previous == u"AS") {
                    out += word;
                } else {
                    const QString spelled = lookup(word);
                    out += spelled.isEmpty() ? word : quotedName(spelled);
                }
                previous = upper;
            } else if (c.isDigit()) {
                // A number (also 1e5 or 0x1F) is copied whole, never read as a name.
                const qsizetype start = i;
                while (i < n && (sql.at(i).isLetterOrNumber() || sql.at(i) == u'.'))
                    ++i;
                out += QStringView(sql).mid(start, i - start);
                previous.clear();
            } else if (c == u'=' && next == u'=') {
                out += u'=';
                i += 2;
                previous.clear();
            } else {
                out += c;
                ++i;
                if (!c.isSpace())
                    previous.clear();
            }
        }
        return out;
    }
};

} // namespace

const SqlDialect& SqlDialect::sqlite()
{
    static const SqliteDialect dialect;
    return dialect;
}

const SqlDialect& SqlDialect::postgresql()
{
    static const PostgresDialect dialect;
    return dialect;
}
