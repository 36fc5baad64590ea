#pragma once

#include <QStringList>

class SqlConnection;
class SqlDialect;

// Whether the database keeps letters as typed instead of the wide-character rule (see
// platform/wide_text.h). The answer is a row of the engine's own table varnel_options in the
// database itself, so that every program that opens a shared database agrees on it.
bool ReadLettersAsTyped(SqlConnection& db);

// Turns it on for the database (it stays on). No stored text changes: texts stored in
// capitals under the rule are still found, since searches then ignore case in every script.
void KeepLettersAsTyped(SqlConnection& db);
// The statements that turn it on, for a tool that writes a database on its own.
QStringList LettersAsTypedStatements(const SqlDialect& dialect);

// True for a table the engine keeps for itself (not one of tables.ini).
bool IsEngineTable(const QString& name);
