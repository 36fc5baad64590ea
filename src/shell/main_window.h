#pragma once

#include "platform/file_dialog.h"
#include "platform/form.h"
#include "platform/image_list.h"
#include "platform/sql_connection.h"

#include <memory>

class QAction;
class QMenu;
class TdbButton;
class TdbComboBox;
class TRecordActions;
class TfrmOptionsVarnel;
class TfrmVarnelAbout;

// The database connection as a component of the main window.
class TSQLConnection : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    SqlConnection connection;
};

// The engine's main window. It owns the one database connection, the shared dialogs and image
// lists, and runs the start-up sequence that turns the project folder into an application.
class TfrmMainVarnel : public TForm {
    Q_OBJECT
public:
    enum class StartupState { NotStarted, Running, StoppedEarly };

    explicit TfrmMainVarnel(QWidget* parent = nullptr);
    ~TfrmMainVarnel() override;

    // The engine's other windows, created by the program entry.
    // The dialog also turns the open database's letters switch.
    void setOptionsDialog(TfrmOptionsVarnel* dialog);
    void setAboutBox(TfrmVarnelAbout* about) { m_about = about; }
    TfrmVarnelAbout* aboutBox() const { return m_about; }
    TfrmOptionsVarnel* optionsDialog() const { return m_options; }

    SqlConnection& connection() { return SQLConnection->connection; }
    StartupState startupState() const { return m_state; }
    // The database file in use, or the server's connection text (empty before it is resolved).
    QString databasePath() const { return m_databasePath; }

    // The start-up sequence; runs once, when the window is first shown.
    void FormShow();
    void FormClose();

    // Handlers that form construction attaches to the built forms and controls.
    void OnAllFormShow(QObject* shown);
    void OnButtonClick(TdbButton* sender);
    void OnComboChange(TdbComboBox* sender);

    // The record operations, reached through the main window by the actions and the tests.
    TRecordActions& actions() { return *m_actions; }
    QString FillForm(qint32 id, TdbButton* button);
    void FillForm2(qint32 id, TForm* form, const QString& table);
    void FillDictionaries(const QString& tableName);
    void SetLinkedComboBoxValue(TdbComboBox* child, qint32 itemId);

    // Puts one picture of the archive into the static picture its name points at:
    // "<any>.<form>.<control>.<extension>", names compared exactly, later entries winning.
    void LoadPicture(const QByteArray& PictureStream, const QString& sName);

    // Opens the first menu of the menu bar; the arrow keys go on from there.
    void openMenuFromKeyboard();
    void mniCloseClick();
    void mniDBLocationClick();
    void mniAboutClick();
    void mniReportClick();

    // Ends the application when the window is closed (the program entry switches it on).
    void setQuitOnClose(bool quit) { m_quitOnClose = quit; }

    QMenuBar* MainMenu;
    QMenu* mniFile;
    QAction* mniClose;
    QMenu* mniOptions;
    QAction* mniDBLocation;
    QAction* mniReport;
    QAction* mniAbout;
    TSQLConnection* SQLConnection;
    TFileDialog* OpenPictureDialog;
    TFileDialog* SavePictureDialog;
    TFileDialog* OpenDialog;
    TFileDialog* SaveDialog;
    TImageList* ImageListImageDataBase;
    TImageList* ImageListButtonEdit;
    TImageList* ImageListButtonIcons;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void openDatabase();
    void openServer();
    void createSchema();
    // Start-up steps that build on the database and the catalogue.
    void buildForms();
    void fillDictionaries();
    void runSelfExecutingGrids();
    void loadPictureArchive();
    void restoreGridLayouts();

    StartupState m_state = StartupState::NotStarted;
    bool m_shownOnce = false;
    bool m_quitOnClose = false;
    QString m_databasePath;
    TfrmOptionsVarnel* m_options = nullptr;
    TfrmVarnelAbout* m_about = nullptr;
    QList<QPointer<TForm>> m_builtForms;
    std::unique_ptr<TRecordActions> m_actions;
};
