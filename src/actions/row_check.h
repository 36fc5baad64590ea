#pragma once

#include "platform/sql_connection.h"

#include <QByteArray>
#include <QString>
#include <optional>

class SqlDialect;

// What a form remembers of the row it shows: a digest of the row's stored columns as the
// database gave them. A save compares it with the row as it is now, inside the save's own
// transaction, so that one user's changes are never overwritten unseen by another's.
namespace RowCheck {

// The digest of the table's stored columns in a row read with ExpandCalcFields(GetFieldList(
// table)) at its start: the calculated columns among them are left out.
QByteArray fingerprintOfLoaded(const QString& table, const std::vector<SqlValue>& row);

// The row's digest as it is in the database now; nothing when the row is gone. On a server
// the row stays locked against other writers until the transaction ends.
std::optional<QByteArray> currentFingerprint(SqlConnection& db, const QString& table, qint64 id);

} // namespace RowCheck
