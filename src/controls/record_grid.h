#pragma once

#include <functional>

#include "controls/find_dialog.h"
#include "controls/grid_model.h"
#include "controls/id_list.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTableView>

class QAction;
class QMenu;
class SqlConnection;
class SqlStatement;

// The record grid: a read-only table of records, one row per record, with the record id of
// every row kept in dbListId. It fills itself from a search built out of its properties and
// the filter controls of its form (dbExecute) or from SQL written by the form author
// (dbSQLExecute).
class TdbStringGridEx : public QTableView {
    Q_OBJECT
public:
    enum DrawingStyle { gdsClassic, gdsThemed, gdsGradient };

    explicit TdbStringGridEx(QWidget* parent);
    ~TdbStringGridEx() override;

    // A table name, or table.reference_column (the grid then lists the referenced table).
    QString dbGeneralTable;
    // dbListId[r - 1] holds the record id of data row r.
    TIdList dbListId;
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

    // The search: builds the SELECT from the properties and the filter controls, runs it and
    // fills the grid. Database errors propagate.
    void dbExecute();
    // The statement dbExecute would run now, from the properties and the filter controls as
    // they stand; built, not run.
    QString dbSearchSql();
    // One empty data row, an empty id list; the titles stay.
    void dbClear();
    // Runs the author SQL of dbSQL and fills the grid with its result.
    void dbSQLExecute();
    // An empty grid showing the titles of dbListFieldsNames.
    void dbFillColumnsName();

    // Grid geometry, counted as in a string grid: rows include the title row.
    int colCount() const { return m_model->colCount(); }
    void setColCount(int cols);
    int rowCount() const { return m_model->gridRowCount(); }
    void setRowCount(int rows);
    // The current grid row (1 = first data row), -1 when there is none.
    int row() const;
    void setRow(int r);
    int col() const;

    // Column widths, also before the view has taken the model.
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);
    // The view takes the model when it is first shown or asked about its current cell: a form
    // holds grids that are never opened, and joining a view to its model is most of what a
    // grid costs to make.
    void ensureView() const;

    int defaultColumnWidth() const { return m_defaultColumnWidth; }
    void setDefaultColumnWidth(int width);
    // Widths the form's author gave the columns, by index; 0 or less keeps the default. They
    // apply to the columns there are and to every column that a search or fill adds later.
    void setDesignedColumnWidths(const QList<int>& widths);
    QList<int> designedColumnWidths() const { return m_designedWidths; }
    int defaultRowHeight() const;
    void setDefaultRowHeight(int height);
    DrawingStyle drawingStyle() const { return m_drawingStyle; }
    void setDrawingStyle(DrawingStyle style);

    QString title(int c) const { return m_model->title(c); }
    void setTitle(int c, const QString& text) { m_model->setTitle(c, text); }
    QString cell(int c, int r) const { return m_model->cell(c, r); }
    void setCell(int c, int r, const QString& text) { m_model->setCell(c, r, text); }

    TGridModel* gridModel() const { return m_model; }
    // Bytes held by the cells and the id list.
    qsizetype memoryBytes() const;

    // ---- what the user does with a filled grid ----
    // Clicks every show-record button of the grid's form that names this grid.
    void showRecord();
    // The current row as "title: text" lines, onto the clipboard.
    void copyRow();
    // Every row, titles first, tab-separated, onto the clipboard.
    void copyAll();
    // The text of the cell at a point of the viewport (empty outside the cells), onto the
    // clipboard.
    void copyCellAt(const QPoint& viewportPoint);
    // Shows a find dialog that does not block the form.
    void openFind();
    // The next cell holding text, row by row from the find position; true when one matched.
    bool findNext(const QString& text, bool matchCase);
    // The cell of the last match as (column, row); (-1, 1) before the first.
    QPoint findPosition() const { return m_findPosition; }
    TGridFindDialog* findDialog() const { return m_findDialog; }
    // Whether the grid shows a single found cell instead of a selected row.
    bool isFindMode() const { return m_findMode; }

    // The grid menu (mniShowRecord, mniCopy, mniCopyAll, mniFind), made when first wanted.
    QMenu* gridMenu();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Typed letters do not move the current row: the grid has no search-as-you-type.
    void keyboardSearch(const QString&) override {}

private:
    // The title row in the classic and gradient looks; the themed one is the toolkit's own.
    void paintTitleRow();
    void applyColumnWidths();
    // Current row after a refill: the previous one, or the last when that one is gone.
    void restoreRow(int previous);
    void setFindMode(bool on);
    void findClosed();
    bool onSectionEdge(int x) const;

    // ---- the search (record_grid_search.cpp) ----
    struct Search {
        QString sql;
        // The catalogue type of each listed column, in order.
        QStringList columnTypes;
        // Columns after the record id that are not shown (a sort expression a server needs
        // among the selected columns).
        int hiddenAfterId = 0;
    };
    Search searchStatement();
    bool countersAreNumbers();
    QList<QObject*> filterControls() const;
    void fillFromSearch(SqlStatement& statement, const Search& search);
    // Prepares and fills; false when a newer search of this grid cancelled it.
    bool runReplacing(const QString& sql, const std::function<void(SqlStatement&)>& fill);
    int m_running = 0;
    void fillFromAuthorSql(SqlStatement& statement);

    TGridModel* m_model = nullptr;
    mutable bool m_viewReady = false;
    // Widths set before the view took the model, by column; -1: the default width.
    QList<int> m_pendingWidths;
    int m_defaultColumnWidth = 64;
    QList<int> m_designedWidths;
    void applyDesignedWidths(int from, int to);
    DrawingStyle m_drawingStyle = gdsGradient;
    QMenu* m_menu = nullptr;
    QPointer<TGridFindDialog> m_findDialog;
    QPoint m_findPosition{-1, 1};
    bool m_findMode = false;
};
