#include "controls/record_grid.h"

#include "controls/action_button.h"
#include "controls/find_dialog.h"
#include "platform/desktop_services.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "platform/lang.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

TdbStringGridEx::TdbStringGridEx(QWidget* parent) : QTableView(parent)
{
    m_model = new TGridModel(this);
    m_model->setColCount(5);
    m_model->setGridRowCount(2);
    // Until the view takes the model, widths given to columns wait in a list that follows the
    // columns as they come and go.
    connect(m_model, &QAbstractItemModel::columnsInserted, this, [this](const QModelIndex&, int first, int last) {
        if (!m_viewReady && first < m_pendingWidths.size())
            m_pendingWidths.insert(first, last - first + 1, -1);
    });
    connect(m_model, &QAbstractItemModel::columnsRemoved, this, [this](const QModelIndex&, int first, int last) {
        if (!m_viewReady && first < m_pendingWidths.size())
            m_pendingWidths.remove(first, qMin<qsizetype>(last + 1, m_pendingWidths.size()) - first);
    });

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    // Stored layouts come back exactly, however narrow a column was made.
    horizontalHeader()->setMinimumSectionSize(0);
    // Every row has the same height, so scrolling a million rows needs no per-row work.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setDefaultRowHeight(24);
    setDefaultColumnWidth(64);
    m_drawingStyle = gdsGradient;

    horizontalHeader()->viewport()->installEventFilter(this);
}

TdbStringGridEx::~TdbStringGridEx() = default;

void TdbStringGridEx::ensureView() const
{
    if (m_viewReady)
        return;
    // Taking the model changes what the view shows, not what the grid holds.
    auto* self = const_cast<TdbStringGridEx*>(this);
    self->m_viewReady = true;
    self->setModel(m_model);
    for (int c = 0; c < m_pendingWidths.size(); ++c)
        if (m_pendingWidths[c] >= 0)
            self->QTableView::setColumnWidth(c, m_pendingWidths[c]);
    self->m_pendingWidths.clear();
    self->setRow(1);
}

int TdbStringGridEx::columnWidth(int column) const
{
    if (m_viewReady)
        return QTableView::columnWidth(column);
    if (column < 0 || column >= colCount())
        return 0;
    return column < m_pendingWidths.size() && m_pendingWidths[column] >= 0 ? m_pendingWidths[column]
                                                                           : m_defaultColumnWidth;
}

void TdbStringGridEx::setColumnWidth(int column, int width)
{
    if (m_viewReady) {
        QTableView::setColumnWidth(column, width);
        return;
    }
    if (column < 0 || column >= colCount())
        return;
    if (m_pendingWidths.size() <= column)
        m_pendingWidths.resize(column + 1, -1);
    m_pendingWidths[column] = qMax(0, width);
}

void TdbStringGridEx::showEvent(QShowEvent* event)
{
    ensureView();
    QTableView::showEvent(event);
}

QMenu* TdbStringGridEx::gridMenu()
{
    if (m_menu)
        return m_menu;
    m_menu = new QMenu(this);
    QAction* showRecord = m_menu->addAction(Lang.Show_record);
    showRecord->setObjectName(QStringLiteral("mniShowRecord"));
    QFont bold = showRecord->font();
    bold.setBold(true);
    showRecord->setFont(bold);
    m_menu->setDefaultAction(showRecord);
    m_menu->addSeparator()->setObjectName(QStringLiteral("mniSep22"));
    QAction* copy = m_menu->addAction(Lang.Copy);
    copy->setObjectName(QStringLiteral("mniCopy"));
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    QAction* copyAll = m_menu->addAction(Lang.Copy_all);
    copyAll->setObjectName(QStringLiteral("mniCopyAll"));
    copyAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    m_menu->addSeparator()->setObjectName(QStringLiteral("mniSep23"));
    QAction* find = m_menu->addAction(Lang.Find);
    find->setObjectName(QStringLiteral("mniFind"));
    // The shortcuts are shown in the menu; the grid's key handler performs them, so they act
    // only while the grid has the focus.
    for (QAction* a : {copy, copyAll})
        a->setShortcutContext(Qt::WidgetShortcut);

    connect(showRecord, &QAction::triggered, this, [this] { guarded([this] { this->showRecord(); }); });
    connect(copy, &QAction::triggered, this, [this] { guarded([this] { copyRow(); }); });
    connect(copyAll, &QAction::triggered, this, [this] { guarded([this] { this->copyAll(); }); });
    connect(find, &QAction::triggered, this, [this] { guarded([this] { openFind(); }); });
    return m_menu;
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
    return dbListId.idAt(r - 1);
}

void TdbStringGridEx::setDbItemID(qint32 id)
{
    const int last = qMin(rowCount() - 1, static_cast<int>(dbListId.size()));
    for (int r = 1; r <= last; ++r) {
        if (dbListId.idAt(r - 1) == id) {
            setRow(r);
            return;
        }
    }
}

void TdbStringGridEx::setColCount(int cols)
{
    const int before = colCount();
    m_model->setColCount(cols);
    applyDesignedWidths(before, cols);
}

void TdbStringGridEx::setDesignedColumnWidths(const QList<int>& widths)
{
    m_designedWidths = widths;
    applyDesignedWidths(0, colCount());
}

void TdbStringGridEx::applyDesignedWidths(int from, int to)
{
    for (int c = qMax(0, from); c < to && c < m_designedWidths.size(); ++c)
        if (m_designedWidths[c] > 0)
            setColumnWidth(c, m_designedWidths[c]);
}

void TdbStringGridEx::setRowCount(int rows)
{
    m_model->setGridRowCount(rows);
}

int TdbStringGridEx::row() const
{
    ensureView();
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : -1;
}

int TdbStringGridEx::col() const
{
    ensureView();
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : -1;
}

void TdbStringGridEx::setRow(int r)
{
    ensureView();
    if (r < 1 || r >= rowCount())
        return;
    const int column = qBound(0, currentIndex().column(), qMax(0, colCount() - 1));
    setCurrentIndex(m_model->index(r - 1, column));
    if (!m_findMode)
        selectRow(r - 1);
}

void TdbStringGridEx::restoreRow(int previous)
{
    const int last = rowCount() - 1;
    setRow(qMax(1, previous > last ? last : previous));
}

qsizetype TdbStringGridEx::memoryBytes() const
{
    return m_model->memoryBytes() + dbListId.memoryBytes();
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
    m_pendingWidths.clear();
    if (!m_viewReady)
        return;
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
    horizontalHeader()->viewport()->update();
}

// Classic: flat title cells in the button face; gradient: from the window colour down to a
// shade darker than the button face. Each cell has a line on its right and at the bottom.
void TdbStringGridEx::paintTitleRow()
{
    const QHeaderView* header = horizontalHeader();
    QWidget* area = header->viewport();
    const QPalette& colours = header->palette();
    const int h = area->height();
    QPainter painter(area);
    if (m_drawingStyle == gdsGradient) {
        QLinearGradient shade(0, 0, 0, h);
        shade.setColorAt(0, colours.color(QPalette::Base));
        shade.setColorAt(1, colours.color(QPalette::Button).darker(112));
        painter.fillRect(area->rect(), shade);
    } else {
        painter.fillRect(area->rect(), colours.button());
    }
    const QColor line = colours.color(m_drawingStyle == gdsGradient ? QPalette::Mid : QPalette::Dark);
    painter.setPen(line);
    painter.drawLine(0, h - 1, area->width() - 1, h - 1);
    painter.setFont(header->font());
    const QFontMetrics metrics(header->font());
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c))
            continue;
        const int x = header->sectionViewportPosition(c);
        const int w = header->sectionSize(c);
        if (w <= 0 || x + w <= 0 || x >= area->width())
            continue;
        painter.setPen(line);
        painter.drawLine(x + w - 1, 0, x + w - 1, h - 1);
        const QRect text = QRect(x, 0, w - 1, h - 1).adjusted(2, 0, -2, 0);
        painter.setPen(colours.color(QPalette::ButtonText));
        painter.drawText(text, static_cast<int>(header->defaultAlignment()),
                         metrics.elidedText(title(c), Qt::ElideRight, text.width()));
    }
}

// ---- user operations ----

void TdbStringGridEx::showRecord()
{
    TForm* form = TForm::formOf(this);
    if (!form)
        return;
    for (TdbButton* button : form->componentsOf<TdbButton>()) {
        if (button->dbActionType == adbShowRecord && button->dbResultControl == objectName())
            button->click();
    }
}

void TdbStringGridEx::copyRow()
{
    const int r = row();
    if (r < 1)
        return;
    QString text;
    for (int c = 0; c < colCount(); ++c) {
        if (c > 0)
            text += QStringLiteral("\r\n");
        text += title(c) + QStringLiteral(": ") + cell(c, r);
    }
    desktop().setClipboardText(text);
}

void TdbStringGridEx::copyAll()
{
    QString text;
    const int cols = colCount();
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < cols; ++c) {
            text += cell(c, r);
            if (c < cols - 1)
                text += u'\t';
        }
        text += QStringLiteral("\r\n");
    }
    desktop().setClipboardText(text);
}

void TdbStringGridEx::copyCellAt(const QPoint& viewportPoint)
{
    ensureView();
    const QModelIndex at = indexAt(viewportPoint);
    desktop().setClipboardText(at.isValid() ? cell(at.column(), at.row() + 1) : QString());
}

void TdbStringGridEx::openFind()
{
    m_findPosition = QPoint(-1, 1);
    if (m_findDialog) {
        m_findDialog->show();
        m_findDialog->raise();
        m_findDialog->activateWindow();
        return;
    }
    auto* dialog = new TGridFindDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &TGridFindDialog::findNext, this, [this, dialog] {
        guarded([&] {
            // The dialog stays open either way; without a word a miss looks like a dead button.
            if (!findNext(dialog->findText(), dialog->matchCase()))
                desktop().message(dialog, Lang.Info, Lang.Cannot_find.arg(dialog->findText()),
                                  DesktopServices::Icon::Information, DesktopServices::Ok);
        });
    });
    connect(dialog, &QDialog::finished, this, [this] { guarded([this] { findClosed(); }); });
    m_findDialog = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    dialog->textEdit()->setFocus();
}

void TdbStringGridEx::findClosed()
{
    setFindMode(false);
    m_findPosition = QPoint(-1, 1);
}

void TdbStringGridEx::setFindMode(bool on)
{
    ensureView();
    if (m_findMode == on)
        return;
    m_findMode = on;
    setSelectionBehavior(on ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    const QModelIndex current = currentIndex();
    if (!on && current.isValid())
        selectRow(current.row());
}

namespace {

// Whether lower-casing by the regional rules leaves the ASCII letters as plain ASCII lowers
// (not so under Turkish rules, for one), so that ASCII texts can be compared byte by byte.
bool asciiLowerIsPlain()
{
    const QString upper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    return QLocale().toLower(upper) == upper.toLower();
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool containsAsciiFolded(QByteArrayView haystack, QByteArrayView lowerNeedle)
{
    const qsizetype n = lowerNeedle.size();
    for (qsizetype i = 0; i + n <= haystack.size(); ++i) {
        qsizetype j = 0;
        while (j < n && asciiLower(haystack[i + j]) == lowerNeedle[j])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}

// Compares the way the find dialog asks: case-insensitively after lower-casing both texts by
// the regional rules. Plain ASCII cells skip the conversion to QString.
class CellMatcher {
public:
    CellMatcher(const QString& text, bool matchCase)
        : m_matchCase(matchCase), m_locale(QLocale())
    {
        m_text = matchCase ? text : m_locale.toLower(text);
        m_utf8 = m_text.toUtf8();
        m_asciiFold = !matchCase && !hasNonAsciiByte(m_utf8.constData(), int(m_utf8.size()))
                      && asciiLowerIsPlain();
    }

    bool matches(QByteArrayView cell) const
    {
        if (m_matchCase)
            return cell.indexOf(QByteArrayView(m_utf8)) >= 0;
        if (m_asciiFold && !hasNonAsciiByte(cell.data(), int(cell.size())))
            return containsAsciiFolded(cell, QByteArrayView(m_utf8));
        return m_locale.toLower(QString::fromUtf8(cell)).contains(m_text);
    }

private:
    bool m_matchCase;
    QLocale m_locale;
    QString m_text;
    QByteArray m_utf8;
    bool m_asciiFold = false;
};

} // namespace

bool TdbStringGridEx::findNext(const QString& text, bool matchCase)
{
    ensureView();
    const int lastRow = rowCount() - 1;
    const int lastCol = colCount() - 1;
    const int fromRow = m_findPosition.y();
    const int fromCol = m_findPosition.x();
    const CellMatcher matcher(text, matchCase);
    for (int r = qMax(1, fromRow); r <= lastRow; ++r) {
        for (int c = 0; c <= lastCol; ++c) {
            if (r == fromRow && c <= fromCol)
                continue; // examined by the previous request
            const bool matched = matcher.matches(m_model->cellBytes(c, r));
            if (matched) {
                setFindMode(true);
                setCurrentIndex(m_model->index(r - 1, c));
                m_findPosition = QPoint(c, r);
            }
            if (r == lastRow && c == lastCol)
                m_findPosition = QPoint(-1, 1); // the next request starts again at the top
            if (matched)
                return true;
        }
    }
    return false;
}

// ---- input ----

void TdbStringGridEx::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_C && mods == Qt::ControlModifier) {
        guarded([this] { copyRow(); });
    } else if (key == Qt::Key_C && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        guarded([this] { copyAll(); });
    } else if (key == Qt::Key_F && (mods & Qt::ControlModifier)) {
        guarded([this] { openFind(); });
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !(mods & Qt::ControlModifier)) {
        guarded([this] { showRecord(); });
    } else {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TdbStringGridEx::mousePressEvent(QMouseEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QTableView::mousePressEvent(event);
        return;
    }
    guarded([&] { copyCellAt(event->position().toPoint()); });
    // Ctrl is the copy gesture here, not the toolkit's toggling of the selection.
    QMouseEvent plain(event->type(), event->position(), event->scenePosition(),
                      event->globalPosition(), event->button(), event->buttons(),
                      event->modifiers() & ~Qt::ControlModifier, event->pointingDevice());
    QTableView::mousePressEvent(&plain);
}

void TdbStringGridEx::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    guarded([this] { showRecord(); });
}

void TdbStringGridEx::contextMenuEvent(QContextMenuEvent* event)
{
    gridMenu()->popup(event->globalPos());
    event->accept();
}

bool TdbStringGridEx::onSectionEdge(int x) const
{
    const QHeaderView* header = horizontalHeader();
    const int grip = header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
    for (int c = 0; c < header->count(); ++c) {
        const int edge = header->sectionViewportPosition(c) + header->sectionSize(c);
        if (qAbs(x - edge) <= grip)
            return true;
    }
    return false;
}

// The title row belongs to the grid: Ctrl+click copies a title, a double-click shows the
// record and the grid menu opens there too.
bool TdbStringGridEx::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != horizontalHeader()->viewport())
        return QTableView::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->modifiers() & Qt::ControlModifier) {
            const int c = horizontalHeader()->logicalIndexAt(mouse->position().toPoint());
            guarded([&] { desktop().setClipboardText(c >= 0 ? title(c) : QString()); });
        }
        break;
    }
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!onSectionEdge(mouse->position().toPoint().x()))
            guarded([this] { showRecord(); });
        break;
    }
    case QEvent::ContextMenu:
        gridMenu()->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    case QEvent::Paint:
        if (m_drawingStyle == gdsThemed)
            break;
        guarded([this] { paintTitleRow(); });
        return true;
    default:
        break;
    }
    return QTableView::eventFilter(watched, event);
}
