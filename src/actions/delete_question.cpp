// What a user is asked before a record is deleted: the record as the grid shows it, and how
// many rows of other tables go with it through the references that cascade.
#include "actions/record_actions.h"

#include "catalogue/catalogue.h"
#include "controls/record_grid.h"
#include "platform/lang.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

namespace {

// Rows of the tables whose rows go with the record, by table in the order first met.
QList<QPair<QString, qint64>> cascadedRows(SqlConnection& db, const QString& table, qint32 id)
{
    const SqlDialect& d = db.dialect();
    struct Rows {
        QString table;
        QString condition; // selects the rows of table that go
    };
    // References can form a circle; a chain longer than any sensible schema ends here.
    constexpr int deepest = 8;
    QList<Rows> level{{table, QStringLiteral("id=") + QString::number(id)}};
    QStringList order;
    QHash<QString, QStringList> conditions;
    for (int depth = 0; depth < deepest && !level.isEmpty(); ++depth) {
        QList<Rows> next;
        for (const Rows& rows : level) {
            for (const CascadeReference& reference : CascadingReferences(rows.table)) {
                const QString condition =
                    d.plainName(reference.column) + QStringLiteral(" IN (SELECT id FROM ")
                    + d.name(rows.table) + QStringLiteral(" WHERE ") + rows.condition + u')';
                if (!conditions.contains(reference.child))
                    order.append(reference.child);
                conditions[reference.child].append(condition);
                next.append({reference.child, condition});
            }
        }
        level = next;
    }
    QList<QPair<QString, qint64>> counts;
    for (const QString& child : order) {
        const QueryResult r = db.query(QStringLiteral("SELECT count(*) FROM ") + d.name(child)
                                       + QStringLiteral(" WHERE (")
                                       + conditions.value(child).join(QStringLiteral(") OR ("))
                                       + u')');
        const qint64 n = r.isEmpty() ? 0 : r.rows.front().front().toInt();
        if (n > 0)
            counts.append({child, n});
    }
    return counts;
}

// The record as its row shows it: the first two cells that hold something.
QString recordText(TdbStringGridEx* grid)
{
    QStringList cells;
    const int row = grid->row();
    for (int c = 0; c < grid->colCount() && cells.size() < 2; ++c) {
        const QString text = grid->cell(c, row).trimmed();
        if (!text.isEmpty())
            cells.append(text);
    }
    return cells.join(QStringLiteral(" – "));
}

} // namespace

QString TRecordActions::deleteQuestion(TdbStringGridEx* grid, qint32 id)
{
    QString text = Lang.Are_you_sure_you_want_to_delete_the_record;
    QStringList details;
    const QString record = recordText(grid);
    if (!record.isEmpty())
        details.append(Lang.Record_to_delete.arg(record));
    const QString table = grid->dbGeneralTable.contains(u'.') ? QString() : grid->dbGeneralTable;
    QStringList going;
    if (!table.isEmpty())
        for (const auto& [child, n] : cascadedRows(m_db, table, id))
            going.append(QStringLiteral("%1 (%2)").arg(child).arg(n));
    if (!going.isEmpty())
        details.append(Lang.Deleted_with_it.arg(going.join(QStringLiteral(", "))));
    if (!details.isEmpty())
        text += QStringLiteral("\n\n") + details.join(u'\n');
    return text;
}
