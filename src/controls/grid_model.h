#pragma once

#include "controls/cell_display.h"

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <vector>

// Data rows of a record grid in compact form: the UTF-8 texts of all cells in one buffer, each
// cell followed by CellEnd (a byte that UTF-8 never uses), and the offset where each row begins.
// Every row holds exactly as many cells as the grid has columns. Rows may share the bytes of an
// all-empty row.
struct TGridRows {
    static constexpr char CellEnd = '\xFF';

    ByteBuffer bytes;
    std::vector<qint64> starts;

    qsizetype rowCount() const { return static_cast<qsizetype>(starts.size()); }
    void beginRow() { starts.push_back(static_cast<qint64>(bytes.size())); }
    void endCell() { bytes.push_back(CellEnd); }
    void appendCell(QByteArrayView text)
    {
        bytes.insert(bytes.end(), text.data(), text.data() + text.size());
        endCell();
    }
    // Gives back the room that growing left unused.
    void squeeze()
    {
        bytes.shrink_to_fit();
        starts.shrink_to_fit();
    }
    qsizetype memoryBytes() const
    {
        return static_cast<qsizetype>(bytes.capacity() + starts.capacity() * sizeof(qint64));
    }
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
    qint64 sharedEmptyRow();

    int m_cols = 0;
    QStringList m_titles;
    TGridRows m_rows;
    qint64 m_emptyRow = -1;
};
