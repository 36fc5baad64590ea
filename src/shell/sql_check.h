#pragma once

#include "shell/command_line.h"

#include <QStringList>

// varnel --check-sql: every statement of the project that its author wrote (grids and search
// buttons, SQL and report buttons, filters, sort fields, dictionary boxes, calculated fields
// of tables.ini, the queries of the report templates, of their parameters' choices and of
// their sub-reports at any depth), built as the running engine builds it and prepared by the
// project's database, none of them run. The output has one line per
// statement the database refused, naming where it is written, and a summary line; the exit
// code is 0 when every statement passed, 1 when any failed, 2 when the project or its
// database could not be opened.
CommandOutcome RunSqlCheck(const QStringList& arguments);
