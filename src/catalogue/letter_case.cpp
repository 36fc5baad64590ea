#include "catalogue/letter_case.h"

#include "catalogue/sql_text.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

namespace {
const QString Options = QStringLiteral("varnel_options");
const QString Name = QStringLiteral("letters");
const QString AsTyped = QStringLiteral("as typed");
} // namespace

bool ReadLettersAsTyped(SqlConnection& db)
{
    if (!db.hasTable(Options))
        return false;
    const SqlDialect& d = db.dialect();
    const QueryResult r = db.query(QStringLiteral("SELECT value FROM ") + d.name(Options)
                                   + QStringLiteral(" WHERE name = ") + SqlStringLiteral(Name));
    return !r.isEmpty() && r.rows.front().front().toText() == AsTyped;
}

QStringList LettersAsTypedStatements(const SqlDialect& d)
{
    const QString text = d.columnType(QStringLiteral("TEXT"));
    return {QStringLiteral("CREATE TABLE IF NOT EXISTS ") + d.name(Options) + QStringLiteral(" (name ") + text
                + QStringLiteral(" PRIMARY KEY, value ") + text + u')',
            QStringLiteral("DELETE FROM ") + d.name(Options) + QStringLiteral(" WHERE name = ")
                + SqlStringLiteral(Name),
            QStringLiteral("INSERT INTO ") + d.name(Options) + QStringLiteral(" (name, value) VALUES (")
                + SqlStringLiteral(Name) + QStringLiteral(", ") + SqlStringLiteral(AsTyped) + u')'};
}

void KeepLettersAsTyped(SqlConnection& db)
{
    SqlTransaction transaction(db);
    for (const QString& statement : LettersAsTypedStatements(db.dialect()))
        db.execute(statement);
    transaction.commit();
}

bool IsEngineTable(const QString& name)
{
    return name.compare(Options, Qt::CaseInsensitive) == 0;
}
