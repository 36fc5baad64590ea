#include "controls/record_grid.h"

#include <QHeaderView>

// ---- TGridModel ----

TGridModel::TGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int TGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant TGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return cell(index.column(), index.row() + 1);
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return title(section);
    return QVariant();
}

void TGridModel::setGridRowCount(int rows)
{
    const int dataRows = qMax(0, rows - 1);
    const int current = static_cast<int>(m_rows.size());
    if (dataRows > current) {
        beginInsertRows(QModelIndex(), current, dataRows - 1);
        m_rows.resize(dataRows);
        endInsertRows();
    } else if (dataRows < current) {
        beginRemoveRows(QModelIndex(), dataRows, current - 1);
        m_rows.resize(dataRows);
        endRemoveRows();
    }
}

void TGridModel::setColCount(int cols)
{
    cols = qMax(0, cols);
    if (cols > m_cols) {
        beginInsertColumns(QModelIndex(), m_cols, cols - 1);
        m_cols = cols;
        endInsertColumns();
    } else if (cols < m_cols) {
        beginRemoveColumns(QModelIndex(), cols, m_cols - 1);
        m_cols = cols;
        if (m_titles.size() > cols)
            m_titles.resize(cols);
        for (QStringList& row : m_rows)
            if (row.size() > cols)
                row.resize(cols);
        endRemoveColumns();
    }
}

QString TGridModel::title(int c) const
{
    return cell(c, 0);
}

void TGridModel::setTitle(int c, const QString& text)
{
    setCell(c, 0, text);
}

QString TGridModel::cell(int c, int r) const
{
    if (c < 0 || c >= m_cols || r < 0 || r > m_rows.size())
        return QString();
    const QStringList& row = r == 0 ? m_titles : m_rows.at(r - 1);
    return c < row.size() ? row.at(c) : QString();
}

void TGridModel::setCell(int c, int r, const QString& text)
{
    if (c < 0 || c >= m_cols || r < 0 || r > m_rows.size())
        return;
    QStringList& row = r == 0 ? m_titles : m_rows[r - 1];
    if (row.size() <= c)
        row.resize(c + 1);
    row[c] = text;
    if (r == 0)
        emit headerDataChanged(Qt::Horizontal, c, c);
    else
        emit dataChanged(index(r - 1, c), index(r - 1, c));
}

void TGridModel::removeColumn(int c)
{
    if (c < 0 || c >= m_cols)
        return;
    beginRemoveColumns(QModelIndex(), c, c);
    if (c < m_titles.size())
        m_titles.removeAt(c);
    for (QStringList& row : m_rows)
        if (c < row.size())
            row.removeAt(c);
    --m_cols;
    endRemoveColumns();
}

// ---- TdbStringGridEx ----

TdbStringGridEx::TdbStringGridEx(QWidget* parent) : QTableView(parent)
{
    m_model = new TGridModel(this);
    setModel(m_model);
    m_model->setColCount(5);
    m_model->setGridRowCount(2);

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setDefaultRowHeight(24);
    setDefaultColumnWidth(64);
    setDrawingStyle(gdsGradient);
}

QString TdbStringGridEx::dbGetFKTable() const
{
    const qsizetype dot = dbGeneralTable.indexOf(u'.');
    return dot >= 0 ? dbGeneralTable.left(dot) : QString();
}

QString TdbStringGridEx::dbGetFKName() const
{
    const qsizetype dot = dbGeneralTable.indexOf(u'.');
    return dot >= 0 ? dbGeneralTable.mid(dot + 1) : QString();
}

qint32 TdbStringGridEx::dbItemID() const
{
    const int r = row();
    if (r < 1 || r - 1 >= dbListId.size())
        return -1;
    bool ok = false;
    const int id = dbListId.at(r - 1).trimmed().toInt(&ok);
    return ok ? id : -1;
}

void TdbStringGridEx::setDbItemID(qint32 id)
{
    const int last = qMin(rowCount() - 1, static_cast<int>(dbListId.size()));
    for (int r = 1; r <= last; ++r) {
        bool ok = false;
        const int value = dbListId.at(r - 1).trimmed().toInt(&ok);
        if ((ok ? value : -1) == id) {
            setRow(r);
            return;
        }
    }
}

void TdbStringGridEx::setColCount(int cols)
{
    m_model->setColCount(cols);
}

void TdbStringGridEx::setRowCount(int rows)
{
    m_model->setGridRowCount(rows);
}

int TdbStringGridEx::row() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : -1;
}

void TdbStringGridEx::setRow(int r)
{
    if (r < 1 || r >= rowCount())
        return;
    const int column = qMax(0, currentIndex().column());
    setCurrentIndex(m_model->index(r - 1, column));
    selectRow(r - 1);
}

// New columns take the default width by themselves; changing it resizes every column.
void TdbStringGridEx::setDefaultColumnWidth(int width)
{
    m_defaultColumnWidth = width;
    horizontalHeader()->setDefaultSectionSize(width);
    applyColumnWidths();
}

void TdbStringGridEx::applyColumnWidths()
{
    for (int c = 0; c < m_model->colCount(); ++c)
        setColumnWidth(c, m_defaultColumnWidth);
}

int TdbStringGridEx::defaultRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void TdbStringGridEx::setDefaultRowHeight(int height)
{
    verticalHeader()->setMinimumSectionSize(qMin(height, verticalHeader()->minimumSectionSize()));
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setFixedHeight(height);
}

void TdbStringGridEx::setDrawingStyle(DrawingStyle style)
{
    m_drawingStyle = style;
    // Classic: flat title cells; themed: the platform's header; gradient: a shaded title row.
    switch (style) {
    case gdsClassic:
        horizontalHeader()->setStyleSheet(QStringLiteral(
            "QHeaderView::section { background: palette(button); border: 1px solid palette(dark);"
            " padding: 0 2px; }"));
        break;
    case gdsThemed:
        horizontalHeader()->setStyleSheet(QString());
        break;
    case gdsGradient:
        horizontalHeader()->setStyleSheet(QStringLiteral(
            "QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
            " stop:0 palette(light), stop:1 palette(button)); border: 0px;"
            " border-right: 1px solid palette(mid); border-bottom: 1px solid palette(mid);"
            " padding: 0 2px; }"));
        break;
    }
}
