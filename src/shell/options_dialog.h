#pragma once

#include "platform/file_dialog.h"
#include "platform/form.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// The database-location dialog: the database in the application's folder, a file anywhere
// else (a network path too), or a database on a PostgreSQL server. The choice applies at the
// next start.
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
    QPushButton* bOK;
    QPushButton* bCancel;
    TFileDialog* OpenDialog;

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
    QAction* m_reportDesignerItem;
};
