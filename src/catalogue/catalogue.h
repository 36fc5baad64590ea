#pragma once

#include "platform/sql_dialect.h"

#include <QString>
#include <QStringList>
#include <vector>

// The table catalogue read from tables.ini: which fields each table has, with their types,
// which are calculated, and which tables are dictionaries. The query builders consult it at
// run time. Names and types are compared exactly (letter case counts).
//
// FieldCatalogue holds one line per field key in file order: table=field=type. The type is
// the text after the second "=" and may itself contain "=".
// CalcFieldCatalogue holds one line per calculated field: table.field=expression, with the
// expression's escapes still in place.

// The project's tables.ini: ExeFolder() + "tables.ini".
QString TablesFilePath();

// Builds both catalogues from the given file, replacing whatever they held.
// A missing file leaves them empty.
void LoadTables(const QString& fileName);
// Empties both catalogues.
void FreeCatalogue();

const QStringList& FieldCatalogue();
const QStringList& CalcFieldCatalogue();

// Reads the table's "isdictionary" flag from TablesFilePath() on every call, so it sees
// edits made after the catalogue was loaded. True when the value reads as a non-zero integer.
bool IsDictionary(const QString& table);

bool FieldExists(const QString& table, const QString& field);

// "[table].[field]," for every catalogue field of the table, plus "[table].[field_filename],"
// after each IMAGE or FILE field; without the final ",". Empty for an unknown table. Names
// are quoted as the dialect quotes them.
QString GetFieldList(const QString& table, const SqlDialect& dialect = SqlDialect::sqlite());

// The type of the first catalogue line for the field; empty when there is none.
QString GetFieldType(const QString& table, const QString& field);

// name is table + "." + field.
bool IsCalcField(const QString& name);

// Replaces each item "[table].[field]" of a comma-separated select list that names a
// calculated field by its expression + " AS '" + alias + "'". The alias is "table.field"
// when qualified, else the field alone. Items, aliases and the expression are in the
// dialect's terms.
QString ExpandCalcFields(const QString& list, bool qualified,
                         const SqlDialect& dialect = SqlDialect::sqlite());

// A reference made with a "^" key: the child table's rows go with the parent row they name
// (ON DELETE CASCADE).
struct CascadeReference {
    QString child;
    QString column;
    QString parent;
};
// The cascading references to rows of the table, in tables.ini's order.
std::vector<CascadeReference> CascadingReferences(const QString& parent);

// The spelling in tables.ini of a table or column name (the key id, stored fields and the
// file-name columns beside pictures and files), whatever the letter case it is asked in;
// empty text for a name the catalogue does not know.
QString CatalogueName(const QString& name);

// The distinct table parts of a comma-separated list of "table.field" items, other than
// table itself: alphabetical (ignoring letter case), with dictionary tables moved towards
// the end so that joins to them come last.
QStringList GetJoinTables(const QString& table, const QString& list);
