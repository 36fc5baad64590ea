#pragma once

#include "platform/sql_dialect.h"

#include <QString>
#include <QStringList>

// One CREATE TABLE statement per section of the tables.ini file, in section order; empty
// when the file is missing or empty. Columns follow the key order of each section, with the
// foreign keys of parent references ("^" keys) at the end. Executing them is the caller's
// business. For a server database the foreign keys come as statements of their own after
// every table.
QStringList GetCreateTableScript(const QString& fileName,
                                 const SqlDialect& dialect = SqlDialect::sqlite());
