#pragma once

#include "platform/wide_text.h"

#include <QString>
#include <optional>

class SqlConnection;

// The id of the row last inserted through the connection, read with
// "SELECT last_insert_rowid() FROM [table]"; -1 when the table has no rows.
qint64 GetLastInsertId(SqlConnection& connection, const QString& table);

// One more than the largest record_count of the table (1 for an empty table), but at least
// beginValue; -1 when the largest value is not an integer, and beginValue then does not apply.
qint64 GetNextRecordCount(SqlConnection& connection, const QString& table, qint64 beginValue);

// A statement or SQL fragment written by the application's author (forms.xml, report
// templates, calculated fields) in the terms of the connection's database: unchanged on
// SQLite, translated for a server (see SqlDialect::authorSql) with the catalogue's names.
QString AuthorSql(const SqlConnection& connection, const QString& sql);

// Formats a stored date/time text ("yyyy-mm-dd hh:nn:ss.000", also without the time or
// without the fraction) with a QLocale date/time pattern in the default locale. The pattern
// "c" is the locale's short date, a blank and its long time. Unparsable text gives empty text.
QString FormatDateTimeText(const QString& storedText, const QString& pattern);

// A text as it goes between double quotes into SQL: upper case when it holds a wide
// character, and every double quote doubled. Only for the placeholders that form authors
// quote themselves; the engine's own values go in as SqlStringLiteral.
QString ToStoredText(const QString& text);

// A standard SQL string literal: the text between single quotes, inner single quotes doubled.
// A double-quoted word would be read as a column name whenever a column of that name is in
// scope ("vip" would store the row's vip value), so every value the engine writes into a
// statement goes in this way.
QString SqlStringLiteral(const QString& text);

// The table a reference name points to: "orders.id_customers2" gives "customers".
// A name without "." is already a table name and comes back unchanged.
QString GetFKTableName(const QString& name);

// The reference column of a reference name: "orders.id_customers" gives "id_customers".
// A name without "." comes back unchanged.
QString GetFKColumnName(const QString& name);

// Which numbers a column of a catalogue type holds: whole numbers for integer types, any
// number for real and numeric ones, none (free text) for texts, dates, booleans and files.
enum class NumberKind { None, Whole, Decimal };
NumberKind NumberKindOfType(const QString& type);

// A typed number as it goes into a statement: blanks around it are ignored; an optional sign,
// decimal digits and, for Decimal, one decimal separator (the user's or a dot) followed by
// digits. The result is plain SQL number text with a dot. Nothing when the text is not such
// a number (or a whole number beyond 64 bits).
std::optional<QString> NumberLiteral(const QString& typed, NumberKind kind);
