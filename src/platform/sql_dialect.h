#pragma once

#include <QString>
#include <functional>

// How the engine's own statements are written for one database: the quoting of names, the
// types of the columns made from tables.ini, case-insensitive matching, and the translation
// of statements that authors wrote for SQLite. The SQLite dialect writes exactly what the
// engine has always written; the PostgreSQL one writes the same statements in PostgreSQL's
// terms.
class SqlDialect {
public:
    enum class Kind { SQLite, PostgreSQL };

    static const SqlDialect& sqlite();
    static const SqlDialect& postgresql();

    virtual ~SqlDialect() = default;
    virtual Kind kind() const = 0;
    bool isSqlite() const { return kind() == Kind::SQLite; }

    // A name in the clauses that bracket names: [name] on SQLite, "name" on PostgreSQL.
    virtual QString name(const QString& identifier) const = 0;
    // table.field with both parts quoted: [t].[f] or "t"."f".
    QString column(const QString& table, const QString& field) const
    {
        return name(table) + u'.' + name(field);
    }
    // A name that the SQLite statements write as it stands (reference columns and the counter
    // in INSERT and UPDATE, the table of DELETE, foreign keys, date conditions); quoted on
    // PostgreSQL, where a bare name folds to lower case and may be a reserved word.
    virtual QString plainName(const QString& identifier) const = 0;
    // "table.column" as the SQLite statements write it; each part quoted on PostgreSQL.
    virtual QString plainColumn(const QString& dotted) const = 0;
    // The alias of a calculated field: 'alias' on SQLite, "alias" on PostgreSQL.
    virtual QString alias(const QString& alias) const = 0;
    // The operator of a search that ignores letter case.
    virtual QString caseInsensitiveLike() const = 0;

    // The column type for a field type of tables.ini.
    virtual QString columnType(const QString& fieldType) const = 0;
    // The definition of the key column id at the start of CREATE TABLE.
    virtual QString idColumnDefinition() const = 0;
    // column op number, compared the way SQLite compares: a text column compares the number
    // as text.
    virtual QString compareWithNumber(const QString& column, const QString& op,
                                      const QString& number, const QString& fieldType) const = 0;
    // The direction of an engine-made ORDER BY; empty values sort first on both back ends.
    virtual QString sortDirection(bool ascending) const = 0;
    // The statement that sets the table's id counter past its largest id after rows were
    // written with ids of their own (a copied database); empty where ids need no counter.
    virtual QString idCounterPastLargest(const QString& table) const = 0;
    // Whether SELECT DISTINCT needs its ORDER BY expressions among the selected columns.
    virtual bool distinctSortsBySelectedOnly() const = 0;

    // Looks a name up among the tables and columns the application knows; gives its exact
    // spelling, or empty text when no table or column has that name (letter case ignored).
    using NameLookup = std::function<QString(const QString& name)>;
    // A statement written by the application's author for SQLite, in this dialect's terms:
    // [names] become quoted names, 'aliases' become names, a double-quoted word that names no
    // known table or column becomes a string literal (as SQLite reads it), LIKE keeps
    // ignoring letter case. Texts inside string literals and comments are never touched.
    virtual QString authorSql(const QString& sql, const NameLookup& knownName) const = 0;
};

