#pragma once

#include <QString>

class SqlConnection;

// The id of the row last inserted through the connection, read with
// "SELECT last_insert_rowid() FROM [table]"; -1 when the table has no rows.
qint64 GetLastInsertId(SqlConnection& connection, const QString& table);

// One more than the largest record_count of the table (1 for an empty table), but at least
// beginValue; -1 when the largest value is not an integer, and beginValue then does not apply.
qint64 GetNextRecordCount(SqlConnection& connection, const QString& table, qint64 beginValue);

// Formats a stored date/time text ("yyyy-mm-dd hh:nn:ss.000", also without the time or
// without the fraction) with a QLocale date/time pattern in the default locale. The pattern
// "c" is the locale's short date, a blank and its long time. Unparsable text gives empty text.
QString FormatDateTimeText(const QString& storedText, const QString& pattern);

// True when the text holds a character of code 247 (U+00F7) or higher: such texts (every
// non-Latin script) are stored in upper case and shown in sentence case.
bool HasWideCharacter(const QString& text);

// A text read from the database as the controls show it: sentence case when it holds a wide
// character, otherwise unchanged.
QString ToDisplayText(const QString& text);

// A text as it goes between double quotes into SQL: upper case when it holds a wide
// character, and every double quote doubled.
QString ToStoredText(const QString& text);

// The table a reference name points to: "orders.id_customers2" gives "customers".
// A name without "." is already a table name and comes back unchanged.
QString GetFKTableName(const QString& name);

// The reference column of a reference name: "orders.id_customers" gives "id_customers".
// A name without "." comes back unchanged.
QString GetFKColumnName(const QString& name);
