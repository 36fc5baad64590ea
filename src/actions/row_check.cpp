#include "actions/row_check.h"

#include "catalogue/catalogue.h"
#include "platform/sql_dialect.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace {

// The items of the table's field list, each with whether it is a stored column.
struct Item {
    QString table;
    QString field;
    bool stored;
};

std::vector<Item> fieldItems(const QString& table)
{
    // GetFieldList gives "[t].[f]" items in catalogue order; the calculated ones are
    // expressions in the loaded row, not columns.
    std::vector<Item> items;
    const QString list = GetFieldList(table);
    if (list.isEmpty())
        return items;
    const QString prefix = u'[' + table + QStringLiteral("].[");
    for (const QString& text : list.split(u',')) {
        QString field = text.mid(prefix.size());
        field.chop(1);
        items.push_back({table, field, !IsCalcField(table + u'.' + field)});
    }
    return items;
}

void addValue(QCryptographicHash& hash, const SqlValue& value)
{
    const char type = static_cast<char>(value.type());
    hash.addData(QByteArrayView(&type, 1));
    switch (value.type()) {
    case SqlValue::Type::Null:
        break;
    case SqlValue::Type::Integer: {
        const qint64 v = qToLittleEndian(value.toInt());
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&v), sizeof v));
        break;
    }
    case SqlValue::Type::Real: {
        const QByteArray text = SqlValue::realText(value.toReal()).toLatin1();
        hash.addData(text);
        break;
    }
    case SqlValue::Type::Text:
    case SqlValue::Type::Blob: {
        const QByteArray bytes = value.toBytes();
        const qint64 size = qToLittleEndian(static_cast<qint64>(bytes.size()));
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&size), sizeof size));
        hash.addData(bytes);
        break;
    }
    }
}

} // namespace

QByteArray RowCheck::fingerprintOfLoaded(const QString& table, const std::vector<SqlValue>& row)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const std::vector<Item> items = fieldItems(table);
    for (size_t i = 0; i < items.size() && i < row.size(); ++i)
        if (items[i].stored)
            addValue(hash, row[i]);
    return hash.result();
}

std::optional<QByteArray> RowCheck::currentFingerprint(SqlConnection& db, const QString& table,
                                                        qint64 id)
{
    const SqlDialect& d = db.dialect();
    QStringList columns;
    for (const Item& item : fieldItems(table))
        if (item.stored)
            columns.append(d.column(item.table, item.field));
    // With no stored column the id alone tells whether the row is still there.
    const bool idOnly = columns.isEmpty();
    if (idOnly)
        columns.append(d.name(table) + QStringLiteral(".id"));
    QString sql = QStringLiteral("SELECT ") + columns.join(u',') + QStringLiteral(" FROM ")
                  + d.name(table) + QStringLiteral(" WHERE ") + d.name(table)
                  + QStringLiteral(".id=") + QString::number(id);
    if (!d.isSqlite())
        sql += QStringLiteral(" FOR UPDATE");
    const QueryResult result = db.query(sql);
    if (result.isEmpty())
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!idOnly)
        for (const SqlValue& value : result.rows.front())
            addValue(hash, value);
    return hash.result();
}
