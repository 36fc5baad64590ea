#pragma once

#include <QAbstractListModel>
#include <QComboBox>
#include <QList>
#include <QString>

// The items of a dictionary combo box: texts and record ids side by side. Dictionaries can
// hold many thousands of rows, so there is no object per item.
class TComboItemModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TComboItemModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    void append(qint32 id, const QString& text);
    // Replaces all items at once: a whole dictionary is one model reset, not one insertion
    // per row.
    void assign(QList<qint32> ids, QList<QString> texts);
    void clear();
    qint32 idAt(int row) const { return m_ids.at(row); }
    const QString& textAt(int row) const { return m_texts.at(row); }
    // The first row holding the id, or -1.
    int rowOfId(qint32 id) const;

private:
    QList<QString> m_texts;
    QList<qint32> m_ids;
};

// Edits a reference column: shows the rows of a dictionary table as a drop-down list and keeps
// the record id of every item.
class TdbComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TdbComboBox(QWidget* parent);

    // The reference column as table.column, e.g. orders.id_customers2.
    QString dbForeignKey;
    // What each item shows: a column of the dictionary, or a template with names in braces.
    QString dbField;
    // Name of the parent combo box on the same form.
    QString dbParentCombo;
    // Position (not id) of the item selected after a fill and for a new record.
    qint32 dbDefaultID = 0;
    bool dbSort = false;

    // The dictionary table named by dbForeignKey.
    QString dbGetTableName() const;
    // The column part of dbForeignKey.
    QString dbForeignKeyShort() const;

    // The record id of the selected item, -1 when nothing is selected.
    qint32 dbItemID() const;
    // Selects the first item holding the id; an id not in the list changes nothing.
    void setDbItemID(qint32 id);

    void AddRecord(qint32 id, const QString& s);
    void Clear();

    qint32 idAt(int index) const { return m_items->idAt(index); }
    TComboItemModel* items() const { return m_items; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    void showPopup() override;

signals:
    // The user picked an item (not emitted for changes made by code).
    void selectionChanged();

private:
    TComboItemModel* m_items = nullptr;
};
