#pragma once

#include <QString>
#include <QStringList>

// One CREATE TABLE statement per section of the tables.ini file, in section order; empty
// when the file is missing or empty. Columns follow the key order of each section, with the
// foreign keys of parent references ("^" keys) at the end. Executing them is the caller's
// business.
QStringList GetCreateTableScript(const QString& fileName);
