#pragma once

#include "shell/command_line.h"

#include <QStringList>

// varnel --copy-database TARGET: the project's SQLite database (the one start-up opens)
// copied into an empty PostgreSQL database, TARGET being a libpq connection URI, a
// "key=value" list or "service=name". The schema is made from tables.ini; every row of every
// table is copied with its id, BLOBs byte for byte; each table's id counter is set past its
// largest id; all of it in one transaction, so that a failure leaves nothing behind. A target
// that already holds tables is refused. The output ends with the rows copied per table. Exit
// code 0 when copied, 1 when refused or failed, 2 for a wrong command line or a database that
// cannot be opened.
CommandOutcome RunDatabaseCopy(const QStringList& arguments);
