#include "controls/grid_model.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr size_t FirstBlockSize = 4096;
constexpr size_t LargestBlockSize = size_t(1) << 20;
constexpr int OffsetBits = 40;
constexpr quint64 OffsetMask = (quint64(1) << OffsetBits) - 1;
} // namespace

// ---- TGridRows ----

TGridRows::Start TGridRows::store(const char* bytes, size_t length)
{
    if (m_blocks.empty() || m_blocks.back().size - m_blocks.back().used < length) {
        // Blocks grow with the grid, so a small grid stays small and a large one needs few.
        const size_t previous = m_blocks.empty() ? FirstBlockSize / 2 : m_blocks.back().size;
        Block block;
        block.size = std::max(std::min(previous * 2, LargestBlockSize), length);
        block.bytes.reset(new char[block.size]);
        m_blocks.push_back(std::move(block));
    }
    Block& block = m_blocks.back();
    const Start start = (quint64(m_blocks.size() - 1) << OffsetBits) | quint64(block.used);
    if (length > 0)
        std::memcpy(block.bytes.get() + block.used, bytes, length);
    block.used += length;
    return start;
}

TGridRows::Start TGridRows::append(const char* bytes, size_t length)
{
    const Start start = store(bytes, length);
    m_starts.push_back(start);
    return start;
}

void TGridRows::appendAt(Start start, qsizetype count)
{
    m_starts.insert(m_starts.end(), static_cast<size_t>(count), start);
}

void TGridRows::replace(qsizetype r, const char* bytes, size_t length)
{
    m_starts[static_cast<size_t>(r)] = store(bytes, length);
}

const char* TGridRows::begin(qsizetype r, const char** blockEnd) const
{
    const Start start = m_starts[static_cast<size_t>(r)];
    const Block& block = m_blocks[static_cast<size_t>(start >> OffsetBits)];
    *blockEnd = block.bytes.get() + block.used;
    return block.bytes.get() + (start & OffsetMask);
}

qsizetype TGridRows::memoryBytes() const
{
    size_t bytes = m_starts.capacity() * sizeof(Start) + m_blocks.capacity() * sizeof(Block);
    for (const Block& block : m_blocks)
        bytes += block.size;
    return static_cast<qsizetype>(bytes);
}

// ---- TGridModel ----

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
    const char* end = nullptr;
    const char* p = m_rows.begin(r - 1, &end);
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
    // The changed row is written anew; its old bytes stay unused until the next rebuild.
    // Cells are set one by one only on small grids.
    ByteBuffer row;
    for (int i = 0; i < m_cols; ++i) {
        const QByteArray utf8 = i == c ? text.toUtf8() : QByteArray();
        const QByteArrayView cellText = i == c ? QByteArrayView(utf8) : cellBytes(i, r);
        row.append(cellText);
        row.push_back(TGridRows::CellEnd);
    }
    m_rows.replace(r - 1, row.data(), row.size());
    const QModelIndex changed = index(r - 1, c);
    emit dataChanged(changed, changed);
}

TGridRows::Start TGridModel::sharedEmptyRow()
{
    if (!m_hasEmptyRow) {
        const ByteBuffer empty(static_cast<size_t>(m_cols), TGridRows::CellEnd);
        m_emptyRow = m_rows.append(empty.data(), empty.size());
        m_rows.truncate(m_rows.rowCount() - 1);
        m_hasEmptyRow = true;
    }
    return m_emptyRow;
}

void TGridModel::setGridRowCount(int rows)
{
    const int dataRows = qMax(0, rows - 1);
    const int current = rowCount();
    if (dataRows > current) {
        beginInsertRows(QModelIndex(), current, dataRows - 1);
        m_rows.appendAt(sharedEmptyRow(), dataRows - current);
        endInsertRows();
    } else if (dataRows < current) {
        beginRemoveRows(QModelIndex(), dataRows, current - 1);
        m_rows.truncate(dataRows);
        endRemoveRows();
    }
}

void TGridModel::rebuild(int cols, int skip)
{
    TGridRows rebuilt;
    bool hasEmpty = false;
    TGridRows::Start newEmpty = 0;
    ByteBuffer row;
    for (qsizetype r = 1; r <= m_rows.rowCount(); ++r) {
        if (m_hasEmptyRow && m_rows.start(r - 1) == m_emptyRow) {
            if (!hasEmpty) {
                const ByteBuffer empty(static_cast<size_t>(cols), TGridRows::CellEnd);
                newEmpty = rebuilt.append(empty.data(), empty.size());
                hasEmpty = true;
            } else {
                rebuilt.appendAt(newEmpty, 1);
            }
            continue;
        }
        row.clear();
        int written = 0;
        for (int c = 0; c < m_cols && written < cols; ++c) {
            if (c == skip)
                continue;
            const QByteArrayView text = cellBytes(c, static_cast<int>(r));
            row.append(text);
            row.push_back(TGridRows::CellEnd);
            ++written;
        }
        for (; written < cols; ++written)
            row.push_back(TGridRows::CellEnd);
        rebuilt.append(row.data(), row.size());
    }
    rebuilt.squeeze();
    m_rows = std::move(rebuilt);
    m_hasEmptyRow = hasEmpty;
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
        m_hasEmptyRow = false;
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
