#pragma once

#include <QString>

class SqlConnection;

// The database start-up opens: the server or the file that settings.ini names, else sqlite.db
// in the project folder. A file must exist (FileError otherwise): a command-line run never
// creates a database.
QString ProjectDatabase();

// Opens the project's database for reading only: a file read-only, a server in a session
// whose transactions are read-only. A server's password comes from libpq's own files, as no
// one is there to type it.
void OpenProjectDatabaseReadOnly(SqlConnection& db);
