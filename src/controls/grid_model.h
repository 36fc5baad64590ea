#pragma once

#include "controls/cell_display.h"

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// Data rows of a record grid in compact form: the UTF-8 texts of each row's cells one after
// the other, each cell followed by CellEnd (a byte that UTF-8 never uses), in blocks that are
// filled in turn and never moved; and where each row begins. Every row holds exactly as many
// cells as the grid has columns, and lies within one block. Rows may share the bytes of an
// all-empty row.
class TGridRows {
public:
    static constexpr char CellEnd = '\xFF';
    // Where a row begins: block index in the high 24 bits, offset in the block in the low 40.
    using Start = quint64;

    qsizetype rowCount() const { return static_cast<qsizetype>(m_starts.size()); }
    // Appends a row whose cells are already joined, each ending with CellEnd.
    Start append(const char* bytes, size_t length);
    // Appends rows that begin where an existing row begins.
    void appendAt(Start start, qsizetype count);
    // Points row r (from 0) at a new copy of the bytes; the old ones stay unused.
    void replace(qsizetype r, const char* bytes, size_t length);
    void truncate(qsizetype rows) { m_starts.resize(static_cast<size_t>(rows)); }
    Start start(qsizetype r) const { return m_starts[static_cast<size_t>(r)]; }
    // The first byte of row r and the end of the block that holds it.
    const char* begin(qsizetype r, const char** blockEnd) const;
    // Gives back the room that growing left unused.
    void squeeze() { m_starts.shrink_to_fit(); }
    qsizetype memoryBytes() const;

private:
    struct Block {
        std::unique_ptr<char[]> bytes;
        size_t size = 0;
        size_t used = 0;
    };
    Start store(const char* bytes, size_t length);

    std::vector<Block> m_blocks;
    std::vector<Start> m_starts;
};

// The cells of a record grid: the titles and the data rows. Rows are counted grid-style: row 0
// is the title row, data rows start at 1 (the view's row r - 1). Display strings are made only
// for the cells that are asked for.
class TGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TGridModel(QObject* parent = nullptr);

    // The view's rows are the data rows (grid rows 1..n).
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Grid rows including the title row.
    int gridRowCount() const { return static_cast<int>(m_rows.rowCount()) + 1; }
    void setGridRowCount(int rows);
    int colCount() const { return m_cols; }
    void setColCount(int cols);

    QString title(int c) const;
    void setTitle(int c, const QString& text);
    // Cell (c, r) with r = 0 for the titles.
    QString cell(int c, int r) const;
    void setCell(int c, int r, const QString& text);
    // The UTF-8 text of data cell (c, r), r >= 1; valid until the cells change.
    QByteArrayView cellBytes(int c, int r) const;
    void removeColumn(int c);

    // Replaces every data row at once; rows must hold colCount() cells per row.
    void assignRows(TGridRows&& rows);

    // Bytes held by the cells, for measuring the grid.
    qsizetype memoryBytes() const;

private:
    // Rewrites every row with cols cells, leaving out the column skip (-1: none).
    void rebuild(int cols, int skip);
    TGridRows::Start sharedEmptyRow();

    int m_cols = 0;
    QStringList m_titles;
    TGridRows m_rows;
    bool m_hasEmptyRow = false;
    TGridRows::Start m_emptyRow = 0;
};
