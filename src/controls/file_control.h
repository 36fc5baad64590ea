#pragma once

#include <QIcon>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <optional>

class QAbstractButton;
class QAction;
class QMenu;
class SqlConnection;
class TImageList;

// Keeps one file inside a record: the bytes in a BLOB column, the name in the companion column
// dbField + "_filename". A read-only edit box shows the file's name; the left button chooses a
// file from disk, the right button opens the file menu (open, save, delete the stored file).
class TdbFileToDatabase : public QLineEdit {
    Q_OBJECT
public:
    explicit TdbFileToDatabase(QWidget* parent);
    ~TdbFileToDatabase() override;

    // The stored name after loading a record, or the full path of a file just chosen.
    QString dbFileName;
    QString dbTable;
    QString dbField;
    // The record whose stored file the menu reads; -1 when there is none.
    qint32 dbID = -1;
    // True once the user has chosen or deleted a file.
    bool dbFileIsChanged = false;
    // The main form's connection, on which the stored file is read.
    SqlConnection* dbSQLConnection = nullptr;

    // Empty: no text, no file, no record, unchanged, right button disabled.
    void ClearEx();

    // The stored file of record dbID, read with the control's own SELECT; reading it names the
    // control after the stored file again. None when there is no record or no stored file.
    std::optional<QByteArray> LoadStoredFile();

    // The left button and the file menu.
    void chooseFile();
    void openStoredFile();
    void saveStoredFile();
    void deleteFile();

    // Pictures 4/5/6 (left: normal, hot, pressed) and 0/1/2/3 (right: normal, hot, pressed,
    // disabled) of the list.
    void setImages(TImageList* images);

    QAbstractButton* leftButton() const;
    QAbstractButton* rightButton() const;
    // The file menu, made when first wanted, and its items.
    QMenu* fileMenu();
    QAction* mniRunFile();
    QAction* mniSaveFile();
    QAction* mniDeleteFile();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class EditButton;

    void placeButtons();
    void popupFileMenu();
    void saveBytesAs(const QByteArray& bytes);

    EditButton* m_left = nullptr;
    EditButton* m_right = nullptr;
    QMenu* m_menu = nullptr;
    QPointer<TImageList> m_images;
};
