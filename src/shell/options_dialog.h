#pragma once

#include "platform/file_dialog.h"
#include "platform/form.h"

#include <functional>

class QAction;
class QCheckBox;
class SqlConnection;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// The database-location dialog: the database in the application's folder, a file anywhere
// else (a network path too), or a database on a PostgreSQL server. The choice applies at the
// next start. The way the open database keeps letters is the database's own: it can be turned
// to "as typed" here, at once and for every program that opens the database.
class TfrmOptionsVarnel : public TForm {
    Q_OBJECT
public:
    explicit TfrmOptionsVarnel(QAction* reportDesignerItem, QWidget* parent = nullptr);

    QGroupBox* gbDatabase;
    QRadioButton* rbAppFolder;
    QRadioButton* rbDBFilename;
    QLineEdit* edFileName;
    QToolButton* bOpenFile;
    QLabel* lbPath;
    QRadioButton* rbServer;
    QLineEdit* edServer;
    QLabel* lbServer;
    QCheckBox* cbLettersAsTyped;
    QPushButton* bOK;
    QPushButton* bCancel;
    TFileDialog* OpenDialog;

    // The database the letters switch applies to; null while none is open.
    void setConnection(std::function<SqlConnection*()> connection) { m_connection = std::move(connection); }

    void FormShow();
    void rbAppFolderClick();
    void rbDBFilenameClick();
    void rbServerClick();
    void bOpenFileClick();
    void bOKClick();
    void bCancelClick();
    void SaveOptions();

private:
    void setFileControlsEnabled(bool enabled);
    void enableFor(QRadioButton* choice);
    void fitPathHint();
    SqlConnection* openConnection() const;
    bool keepLettersAsTyped();
    QAction* m_reportDesignerItem;
    std::function<SqlConnection*()> m_connection;
};
