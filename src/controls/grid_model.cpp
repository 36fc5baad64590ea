#include "controls/grid_model.h"

#include <cstring>

TGridModel::TGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int TGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.rowCount());
}

int TGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant TGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    const QByteArrayView text = cellBytes(index.column(), index.row() + 1);
    return QString::fromUtf8(text);
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    return title(section);
}

QByteArrayView TGridModel::cellBytes(int c, int r) const
{
    if (c < 0 || c >= m_cols || r < 1 || r > m_rows.rowCount())
        return QByteArrayView();
    const char* p = m_rows.bytes.data() + m_rows.starts[static_cast<size_t>(r - 1)];
    const char* end = m_rows.bytes.data() + m_rows.bytes.size();
    for (int i = 0; i < c; ++i)
        p = static_cast<const char*>(std::memchr(p, TGridRows::CellEnd, end - p)) + 1;
    const auto* cellEnd = static_cast<const char*>(std::memchr(p, TGridRows::CellEnd, end - p));
    return QByteArrayView(p, cellEnd - p);
}

QString TGridModel::title(int c) const
{
    return c >= 0 && c < m_titles.size() ? m_titles.at(c) : QString();
}

void TGridModel::setTitle(int c, const QString& text)
{
    if (c < 0 || c >= m_cols)
        return;
    m_titles[c] = text;
    emit headerDataChanged(Qt::Horizontal, c, c);
}

QString TGridModel::cell(int c, int r) const
{
    return r == 0 ? title(c) : QString::fromUtf8(cellBytes(c, r));
}

void TGridModel::setCell(int c, int r, const QString& text)
{
    if (r == 0) {
        setTitle(c, text);
        return;
    }
    if (c < 0 || c >= m_cols || r < 1 || r > m_rows.rowCount())
        return;
    // The changed row is written anew at the end of the buffer; its old bytes stay unused
    // until the next rebuild. Cells are set one by one only on small grids.
    TGridRows row;
    row.beginRow();
    for (int i = 0; i < m_cols; ++i) {
        if (i == c)
            row.appendCell(QByteArrayView(text.toUtf8()));
        else
            row.appendCell(cellBytes(i, r));
    }
    m_rows.starts[static_cast<size_t>(r - 1)] = static_cast<qint64>(m_rows.bytes.size());
    m_rows.bytes.insert(m_rows.bytes.end(), row.bytes.begin(), row.bytes.end());
    const QModelIndex changed = index(r - 1, c);
    emit dataChanged(changed, changed);
}

qint64 TGridModel::sharedEmptyRow()
{
    if (m_emptyRow < 0) {
        m_emptyRow = static_cast<qint64>(m_rows.bytes.size());
        m_rows.bytes.insert(m_rows.bytes.end(), static_cast<size_t>(m_cols), TGridRows::CellEnd);
    }
    return m_emptyRow;
}

void TGridModel::setGridRowCount(int rows)
{
    const int dataRows = qMax(0, rows - 1);
    const int current = rowCount();
    if (dataRows > current) {
        beginInsertRows(QModelIndex(), current, dataRows - 1);
        const qint64 empty = sharedEmptyRow();
        m_rows.starts.resize(static_cast<size_t>(dataRows), empty);
        endInsertRows();
    } else if (dataRows < current) {
        beginRemoveRows(QModelIndex(), dataRows, current - 1);
        m_rows.starts.resize(static_cast<size_t>(dataRows));
        endRemoveRows();
    }
}

void TGridModel::rebuild(int cols, int skip)
{
    TGridRows rebuilt;
    rebuilt.bytes.reserve(m_rows.bytes.size());
    rebuilt.starts.reserve(m_rows.starts.size());
    qint64 newEmpty = -1;
    for (qsizetype r = 1; r <= m_rows.rowCount(); ++r) {
        if (m_rows.starts[static_cast<size_t>(r - 1)] == m_emptyRow) {
            if (newEmpty < 0) {
                newEmpty = static_cast<qint64>(rebuilt.bytes.size());
                rebuilt.bytes.insert(rebuilt.bytes.end(), static_cast<size_t>(cols),
                                     TGridRows::CellEnd);
            }
            rebuilt.starts.push_back(newEmpty);
            continue;
        }
        rebuilt.beginRow();
        int written = 0;
        for (int c = 0; c < m_cols && written < cols; ++c) {
            if (c == skip)
                continue;
            rebuilt.appendCell(cellBytes(c, static_cast<int>(r)));
            ++written;
        }
        for (; written < cols; ++written)
            rebuilt.endCell();
    }
    rebuilt.squeeze();
    m_rows = std::move(rebuilt);
    m_emptyRow = newEmpty;
}

void TGridModel::setColCount(int cols)
{
    cols = qMax(0, cols);
    if (cols > m_cols) {
        beginInsertColumns(QModelIndex(), m_cols, cols - 1);
        rebuild(cols, -1);
        m_titles.resize(cols);
        m_cols = cols;
        endInsertColumns();
    } else if (cols < m_cols) {
        beginRemoveColumns(QModelIndex(), cols, m_cols - 1);
        rebuild(cols, -1);
        m_titles.resize(cols);
        m_cols = cols;
        endRemoveColumns();
    }
}

void TGridModel::removeColumn(int c)
{
    if (c < 0 || c >= m_cols)
        return;
    beginRemoveColumns(QModelIndex(), c, c);
    rebuild(m_cols - 1, c);
    m_titles.removeAt(c);
    --m_cols;
    endRemoveColumns();
}

void TGridModel::assignRows(TGridRows&& rows)
{
    const int before = rowCount();
    const int after = static_cast<int>(rows.rowCount());
    auto replace = [&] {
        m_rows = std::move(rows);
        m_emptyRow = -1;
    };
    if (after < before) {
        beginRemoveRows(QModelIndex(), after, before - 1);
        replace();
        endRemoveRows();
    } else if (after > before) {
        beginInsertRows(QModelIndex(), before, after - 1);
        replace();
        endInsertRows();
    } else {
        replace();
    }
    const int kept = qMin(before, after);
    if (kept > 0 && m_cols > 0)
        emit dataChanged(index(0, 0), index(kept - 1, m_cols - 1));
}

qsizetype TGridModel::memoryBytes() const
{
    qsizetype bytes = m_rows.memoryBytes();
    for (const QString& t : m_titles)
        bytes += t.size() * 2;
    return bytes;
}
