#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTableView>

class SqlConnection;

// The cells of a record grid: the titles and the data rows as display texts. Rows are
// counted grid-style: row 0 is the title row, data rows start at 1.
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
    int gridRowCount() const { return static_cast<int>(m_rows.size()) + 1; }
    void setGridRowCount(int rows);
    int colCount() const { return m_cols; }
    void setColCount(int cols);

    QString title(int c) const;
    void setTitle(int c, const QString& text);
    // Cell (c, r) with r = 0 for the titles.
    QString cell(int c, int r) const;
    void setCell(int c, int r, const QString& text);
    void removeColumn(int c);

private:
    int m_cols = 0;
    QStringList m_titles;
    QList<QStringList> m_rows;
};

// The record grid: a read-only table of records, one row per record, with the record id of
// every row kept in dbListId.
class TdbStringGridEx : public QTableView {
    Q_OBJECT
public:
    enum DrawingStyle { gdsClassic, gdsThemed, gdsGradient };

    explicit TdbStringGridEx(QWidget* parent);

    // A table name, or table.reference_column (the grid then lists the referenced table).
    QString dbGeneralTable;
    // dbListId[r - 1] holds the record id of data row r.
    QStringList dbListId;
    QString dbParentTable;
    qint32 dbParentTableId = -1;
    QString dbListFields;
    QString dbListFieldsNames;
    bool dbAutoExecute = false;
    SqlConnection* dbSQLConnection = nullptr;
    QString dbListControls;
    QString dbSortField;
    bool dbSortAsc = true;
    bool dbIfUsed = false;
    QString dbSQL;
    // An SQL condition written by the form author, added to every search.
    QString dbFilter;

    // The parts of dbGeneralTable before and after its first "."; empty without a ".".
    QString dbGetFKTable() const;
    QString dbGetFKName() const;

    // The record id of the current row, -1 when there is none.
    qint32 dbItemID() const;
    // Selects the first row holding the id; an id not in the list changes nothing.
    void setDbItemID(qint32 id);

    // Grid geometry, counted as in a string grid: rows include the title row.
    int colCount() const { return m_model->colCount(); }
    void setColCount(int cols);
    int rowCount() const { return m_model->gridRowCount(); }
    void setRowCount(int rows);
    // The current grid row (1 = first data row), -1 when there is none.
    int row() const;
    void setRow(int r);

    int defaultColumnWidth() const { return m_defaultColumnWidth; }
    void setDefaultColumnWidth(int width);
    int defaultRowHeight() const;
    void setDefaultRowHeight(int height);
    DrawingStyle drawingStyle() const { return m_drawingStyle; }
    void setDrawingStyle(DrawingStyle style);

    QString title(int c) const { return m_model->title(c); }
    void setTitle(int c, const QString& text) { m_model->setTitle(c, text); }
    QString cell(int c, int r) const { return m_model->cell(c, r); }
    void setCell(int c, int r, const QString& text) { m_model->setCell(c, r, text); }

    TGridModel* gridModel() const { return m_model; }

private:
    void applyColumnWidths();

    TGridModel* m_model = nullptr;
    int m_defaultColumnWidth = 64;
    DrawingStyle m_drawingStyle = gdsGradient;
};
