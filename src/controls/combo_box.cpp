#include "controls/combo_box.h"

#include "platform/guard.h"

#include <QListView>
#include <QStyle>
#include <QStyleOptionComboBox>

// ---- TComboItemModel ----

TComboItemModel::TComboItemModel(QObject* parent) : QAbstractListModel(parent) {}

int TComboItemModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_texts.size());
}

QVariant TComboItemModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_texts.size())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_texts.at(index.row());
    if (role == Qt::UserRole)
        return m_ids.at(index.row());
    return QVariant();
}

bool TComboItemModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_texts.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_texts.remove(row, count);
    m_ids.remove(row, count);
    endRemoveRows();
    return true;
}

void TComboItemModel::append(qint32 id, const QString& text)
{
    const int row = static_cast<int>(m_texts.size());
    beginInsertRows(QModelIndex(), row, row);
    m_texts.append(text);
    m_ids.append(id);
    endInsertRows();
}

void TComboItemModel::assign(QList<qint32> ids, QList<QString> texts)
{
    beginResetModel();
    m_ids = std::move(ids);
    m_texts = std::move(texts);
    m_texts.resize(m_ids.size());
    endResetModel();
}

void TComboItemModel::clear()
{
    beginResetModel();
    m_texts.clear();
    m_ids.clear();
    endResetModel();
}

int TComboItemModel::rowOfId(qint32 id) const
{
    return static_cast<int>(m_ids.indexOf(id));
}

// ---- TdbComboBox ----

TdbComboBox::TdbComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setMaxVisibleItems(8);
    // Without a placeholder the toolkit selects the first item added to an empty box; the box
    // stays without a selection until an item is chosen.
    setPlaceholderText(QStringLiteral(" "));

    m_items = new TComboItemModel(this);
    setModel(m_items);
    // The popup list is made by the toolkit when it is first asked for (see showPopup): a
    // form holds many boxes, and most of them are never opened.

    connect(this, &QComboBox::activated, this,
            [this](int) { guarded([this] { emit selectionChanged(); }); });
}

QSize TdbComboBox::sizeHint() const
{
    // The form definition gives the box its size; measuring every item of a large dictionary
    // would be wasted work, so the hint is that of a box a dozen characters wide.
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QFontMetrics metrics = fontMetrics();
    const QSize content(metrics.horizontalAdvance(QLatin1Char('x')) * 12, qMax(metrics.height(), 14));
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, content, this);
}

QSize TdbComboBox::minimumSizeHint() const
{
    return sizeHint();
}

void TdbComboBox::showPopup()
{
    // Every item is one line of text: the list need not measure each of them.
    if (auto* list = qobject_cast<QListView*>(view()))
        list->setUniformItemSizes(true);
    QComboBox::showPopup();
}

QString TdbComboBox::dbGetTableName() const
{
    if (dbForeignKey.isEmpty())
        return QString();
    QString name = dbForeignKey;
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name = name.mid(dot + 1);
    name = name.mid(3);
    // One or two trailing digits 1-9 number repeated references to the same table; a final 0
    // belongs to the table's name.
    for (int i = 0; i < 2; ++i) {
        if (!name.isEmpty() && name.back() >= u'1' && name.back() <= u'9')
            name.chop(1);
    }
    return name;
}

QString TdbComboBox::dbForeignKeyShort() const
{
    const qsizetype dot = dbForeignKey.indexOf(u'.');
    return dot >= 0 ? dbForeignKey.mid(dot + 1) : dbForeignKey;
}

qint32 TdbComboBox::dbItemID() const
{
    const int index = currentIndex();
    if (index < 0 || index >= m_items->rowCount())
        return -1;
    return m_items->idAt(index);
}

void TdbComboBox::setDbItemID(qint32 id)
{
    const int row = m_items->rowOfId(id);
    if (row >= 0)
        setCurrentIndex(row);
}

void TdbComboBox::AddRecord(qint32 id, const QString& s)
{
    m_items->append(id, s);
}

void TdbComboBox::Clear()
{
    m_items->clear();
    setCurrentIndex(-1);
}
