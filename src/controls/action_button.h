#pragma once

#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QStringList>

class TImageList;

enum TActionDbType : quint8 {
    adbNone,
    adbSearch,
    adbNewRecord,
    adbSaveRecord,
    adbShowRecord,
    adbDelete,
    adbSQL,
    adbReport,
    adbShowForm,
    adbCloseForm,
    adbGridToExcel
};

enum TReportOpenIn : quint8 {
    rpoPreview,
    rpoPrint,
    rpoExcel,
    rpoWord,
    rpoPDF,
    rpoHTML,
    rpoODT,
    rpoODS,
    rpoJPEG,
    rpoTIFF
};

// A push button that carries the description of one action; the action handler reads these
// properties when it is clicked. Some are configuration from the form definition, others are
// run-time state with which the actions pass a record's identity from form to form.
class TdbButton : public QPushButton {
    Q_OBJECT
public:
    explicit TdbButton(QWidget* parent);

    TActionDbType dbActionType = adbSearch;
    QString dbListControls;
    QString dbListFields;
    QString dbListFieldsNames;
    QString dbResultControl;
    QString dbGeneralTable;
    QString dbFormName;
    // Save buttons: -1 = insert a new record, otherwise the id to update. SQL and report
    // buttons: the value of "$id".
    qint32 dbGeneralTableId = 0;
    QString dbSortField;
    bool dbSortAsc = true;
    QString dbParentTable;
    qint32 dbParentTableId = -1;
    bool dbDoCloseForm = true;
    bool dbConfirmDelete = false;
    QString dbSQL;
    QString dbReportFile;
    TReportOpenIn dbReportOpenIn = rpoPreview;

    QString dbIconName() const { return m_iconName; }
    // Stores the name and shows the matching icon; a name not in the icon table (letter case
    // counts) keeps the current icon.
    void setDbIconName(const QString& name);
    // The icon index for a name, -1 for "none" and for unknown names.
    static int iconIndexOf(const QString& name, bool* known = nullptr);
    static const QStringList& iconNames();

    int imageIndex() const { return m_imageIndex; }
    void setImageIndex(int index);
    TImageList* images() const;
    void setImages(TImageList* images);
    // The picture shown, null when there is none.
    QPixmap currentImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showImage();

    QString m_iconName;
    int m_imageIndex = -1;
    QPointer<TImageList> m_images;
};
