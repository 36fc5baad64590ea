#include "report/engine/dataset.h"

#include "platform/sql_connection.h"

QString DatasetValue::text() const
{
    switch (type) {
    case Type::Integer: return QString::number(integer);
    case Type::Real: return QString::number(real, 'g', 15);
    case Type::Text: return QString::fromUtf8(bytes, size);
    default: return QString();
    }
}

QByteArray DatasetValue::blob() const
{
    return type == Type::Blob || type == Type::Text ? QByteArray(bytes, size) : QByteArray();
}

void ReportDataset::reset(const QStringList& columns)
{
    m_columns = columns;
    m_cells.clear();
    m_store.clear();
}

void ReportDataset::clear()
{
    reset({});
    m_cells.shrink_to_fit();
    m_store.shrink_to_fit();
}

void ReportDataset::setResult(const QueryResult& result)
{
    reset(result.columns);
    m_cells.reserve(result.rows.size() * result.columns.size());
    for (const auto& row : result.rows) {
        appendRow();
        for (const SqlValue& v : row)
            addValue(v);
    }
}

void ReportDataset::setResult(SqlStatement& statement)
{
    QStringList columns;
    const int count = statement.columnCount();
    for (int c = 0; c < count; ++c)
        columns << statement.columnName(c);
    reset(columns);
    while (statement.step()) {
        appendRow();
        for (int c = 0; c < count; ++c) {
            switch (statement.columnType(c)) {
            case SqlValue::Type::Null: addNull(); break;
            case SqlValue::Type::Integer: addInteger(statement.integer(c)); break;
            case SqlValue::Type::Real: addReal(statement.real(c)); break;
            case SqlValue::Type::Text: {
                int length = 0;
                const char* utf8 = statement.textUtf8(c, &length);
                addText(utf8, length);
                break;
            }
            case SqlValue::Type::Blob: {
                const QByteArray b = statement.bytes(c);
                addBlob(b.constData(), b.size());
                break;
            }
            }
        }
    }
}

int ReportDataset::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

DatasetValue ReportDataset::value(qsizetype row, int column) const
{
    const Cell& cell = m_cells[size_t(row * m_columns.size() + column)];
    DatasetValue v;
    v.type = cell.type;
    switch (cell.type) {
    case DatasetValue::Type::Integer: v.integer = cell.integer; break;
    case DatasetValue::Type::Real: v.real = cell.real; break;
    case DatasetValue::Type::Text:
    case DatasetValue::Type::Blob:
        v.bytes = m_store.data() + cell.offset;
        v.size = cell.size;
        break;
    case DatasetValue::Type::Null: break;
    }
    return v;
}

qsizetype ReportDataset::memoryUse() const
{
    return qsizetype(m_cells.capacity() * sizeof(Cell) + m_store.capacity());
}

void ReportDataset::appendRow()
{
    // Cells follow with the add calls. No reserve here: an exact reserve per row would copy the
    // whole table on every row.
}

void ReportDataset::addNull()
{
    Cell c{};
    c.type = DatasetValue::Type::Null;
    m_cells.push_back(c);
}

void ReportDataset::addInteger(qint64 v)
{
    Cell c{};
    c.type = DatasetValue::Type::Integer;
    c.integer = v;
    m_cells.push_back(c);
}

void ReportDataset::addReal(double v)
{
    Cell c{};
    c.type = DatasetValue::Type::Real;
    c.real = v;
    m_cells.push_back(c);
}

void ReportDataset::addStored(DatasetValue::Type type, const char* bytes, qsizetype size)
{
    Cell c{};
    c.type = type;
    c.size = quint32(size);
    c.offset = m_store.size();
    m_store.append(bytes, size_t(size));
    m_cells.push_back(c);
}

void ReportDataset::addText(const char* utf8, qsizetype size)
{
    addStored(DatasetValue::Type::Text, utf8, size);
}

void ReportDataset::addBlob(const char* bytes, qsizetype size)
{
    addStored(DatasetValue::Type::Blob, bytes, size);
}

void ReportDataset::addValue(const SqlValue& v)
{
    switch (v.type()) {
    case SqlValue::Type::Null: addNull(); break;
    case SqlValue::Type::Integer: addInteger(v.toInt()); break;
    case SqlValue::Type::Real: addReal(v.toReal()); break;
    case SqlValue::Type::Text: {
        const QByteArray b = v.toBytes();
        addText(b.constData(), b.size());
        break;
    }
    case SqlValue::Type::Blob: {
        const QByteArray b = v.toBytes();
        addBlob(b.constData(), b.size());
        break;
    }
    }
}
