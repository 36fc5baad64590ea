#include "shell/main_window.h"

#include "actions/record_actions.h"
#include "catalogue/catalogue.h"
#include "catalogue/letter_case.h"
#include "catalogue/schema.h"
#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/icons.h"
#include "controls/picture_controls.h"
#include "controls/record_grid.h"
#include "formdefs/form_loader.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "platform/wide_text.h"
#include "platform/windowed.h"
#include "report/report_windows.h"
#include "shell/about_box.h"
#include "shell/language.h"
#include "shell/options_dialog.h"
#include "shell/picture_archive.h"
#include "shell/settings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>
#include <optional>

namespace {
const QString PictureFilter = QStringLiteral(
    "All (*.gif;*.png;*.jpg;*.jpeg;*.bmp)|*.gif;*.png;*.jpg;*.jpeg;*.bmp;|"
    "GIF Image (*.gif)|*.gif|Portable Network Graphics (*.png)|*.png|"
    "JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp");
}

TfrmMainVarnel::TfrmMainVarnel(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("frmMainVarnel"));
    Forms::registerForm(this);

    MainMenu = menuBar();
    // The "&" marks the letter that opens or picks the item with Alt; no two items of one menu
    // share a letter, in either language.
    mniFile = MainMenu->addMenu(QStringLiteral("&File"));
    mniClose = mniFile->addAction(QStringLiteral("&Close"));
    mniOptions = MainMenu->addMenu(QStringLiteral("&Options"));
    mniDBLocation = mniOptions->addAction(QStringLiteral("&Database location"));
    mniReport = mniOptions->addAction(QStringLiteral("&Report designer"));
    mniAbout = MainMenu->addAction(QStringLiteral("&About"));

    SQLConnection = new TSQLConnection(this);
    // While a search waits for a server the window keeps answering: it repaints, and a click
    // that starts the same search again replaces the waiting one.
    SQLConnection->connection.setWaitHook([] { QCoreApplication::processEvents(); });
    m_actions = std::make_unique<TRecordActions>(SQLConnection->connection, *this);
    OpenPictureDialog = new TFileDialog(TFileDialog::Kind::Open, this);
    OpenPictureDialog->setFilter(PictureFilter);
    SavePictureDialog = new TFileDialog(TFileDialog::Kind::Save, this);
    QString saveFilter = PictureFilter;
    saveFilter.replace(QStringLiteral("*.bmp;|GIF"), QStringLiteral("*.bmp|GIF"));
    SavePictureDialog->setFilter(saveFilter);
    OpenDialog = new TFileDialog(TFileDialog::Kind::Open, this);
    SaveDialog = new TFileDialog(TFileDialog::Kind::Save, this);
    ImageListImageDataBase = new TImageList(24, 24, this);
    ImageListButtonEdit = new TImageList(16, 16, this);
    ImageListButtonIcons = new TImageList(16, 16, this);
    for (const QPixmap& p : drawPictureToolbarImages())
        ImageListImageDataBase->add(p);
    for (const QPixmap& p : drawEditButtonImages())
        ImageListButtonEdit->add(p);
    for (const QPixmap& p : drawButtonIcons())
        ImageListButtonIcons->add(p);

    // The window's own components come first in its component order, so a control in
    // forms.xml cannot take one of their names.
    addComponent(MainMenu, QStringLiteral("MainMenu"));
    addComponent(mniFile->menuAction(), QStringLiteral("mniFile"));
    addComponent(mniClose, QStringLiteral("mniClose"));
    addComponent(mniOptions->menuAction(), QStringLiteral("mniOptions"));
    addComponent(mniDBLocation, QStringLiteral("mniDBLocation"));
    addComponent(mniReport, QStringLiteral("mniReport"));
    addComponent(mniAbout, QStringLiteral("mniAbout"));
    addComponent(SQLConnection, QStringLiteral("SQLConnection"));
    addComponent(OpenPictureDialog, QStringLiteral("OpenPictureDialog"));
    addComponent(SavePictureDialog, QStringLiteral("SavePictureDialog"));
    addComponent(OpenDialog, QStringLiteral("OpenDialog"));
    addComponent(SaveDialog, QStringLiteral("SaveDialog"));
    addComponent(ImageListImageDataBase, QStringLiteral("ImageListImageDataBase"));
    addComponent(ImageListButtonEdit, QStringLiteral("ImageListButtonEdit"));
    addComponent(ImageListButtonIcons, QStringLiteral("ImageListButtonIcons"));
    addComponent(new QObject(this), QStringLiteral("XMLDocument1"));

    connect(mniClose, &QAction::triggered, this, [this] { guarded([this] { mniCloseClick(); }); });
    connect(mniDBLocation, &QAction::triggered, this,
            [this] { guarded([this] { mniDBLocationClick(); }); });
    connect(mniAbout, &QAction::triggered, this, [this] { guarded([this] { mniAboutClick(); }); });
    connect(mniReport, &QAction::triggered, this, [this] { guarded([this] { mniReportClick(); }); });
    // F10 takes the keyboard to the menu, as on the desktop the program's users come from.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] { guarded([this] { openMenuFromKeyboard(); }); });

    setWindowTitle(QString());
    setSizeable(false);
    setClientSize(719, 426);
}

TfrmMainVarnel::~TfrmMainVarnel()
{
    // The built forms live as long as the application, which ends with this window.
    for (const QPointer<TForm>& form : m_builtForms)
        delete form.data();
    FreeCatalogue();
    SetLettersKeptAsTyped(false);
}

void TfrmMainVarnel::setOptionsDialog(TfrmOptionsVarnel* dialog)
{
    m_options = dialog;
    if (m_options)
        m_options->setConnection([this] { return &connection(); });
}

void TfrmMainVarnel::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // Start once the window is on screen, so that start-up messages have a window to sit on.
    QTimer::singleShot(0, this, [this] { guarded([this] { FormShow(); }); });
}

void TfrmMainVarnel::closeEvent(QCloseEvent* event)
{
    guarded([this] { FormClose(); });
    event->accept();
    if (m_quitOnClose)
        QCoreApplication::quit();
}

void TfrmMainVarnel::FormShow()
{
    if (m_state != StartupState::NotStarted)
        return;
    m_state = StartupState::StoppedEarly;

    ApplyLanguage(*this, m_options);

    m_databasePath = ExeFolder() + QStringLiteral("sqlite.db");
    const QString configured = LoadOptions(mniReport);
    const bool server = SqlConnection::namesServer(configured);
    if (server) {
        m_databasePath = configured;
    } else if (!configured.isEmpty()) {
        if (!QFileInfo(configured).isFile()) {
            desktop().message(this, Lang.Error,
                              Lang.The_database_file_is_not_found + u'\r' + configured,
                              DesktopServices::Icon::Information, DesktopServices::Ok);
            if (m_options)
                m_options->show();
            return;
        }
        m_databasePath = configured;
    }

    bool createTables = false;
    if (server) {
        // A server that cannot be reached, or a password refused, is told; the Options dialog
        // then lets the user correct the server's name.
        try {
            openServer();
        } catch (const DatabaseError& error) {
            if (error.kind != DatabaseError::Kind::Unreachable
                && error.kind != DatabaseError::Kind::PasswordRefused)
                throw;
            desktop().message(this, Lang.Error, error.message(), DesktopServices::Icon::Information,
                              DesktopServices::Ok);
            if (m_options)
                m_options->show();
            return;
        }
        // An empty server database gets its tables as a new SQLite file does.
        createTables = !connection().schemaExists();
    } else {
        createTables = !QFileInfo::exists(m_databasePath);
        openDatabase();
    }
    // A database this program makes keeps letters as typed; one made before keeps the rule
    // it was made with until a user turns that on.
    if (createTables)
        createSchema();
    SetLettersKeptAsTyped(ReadLettersAsTyped(connection()));

    LoadTables(ExeFolder() + QStringLiteral("tables.ini"));
    m_state = StartupState::Running;

    buildForms();
    fillDictionaries();
    runSelfExecutingGrids();
    if (QFileInfo::exists(ExeFolder() + QStringLiteral("graphics.dll")))
        loadPictureArchive();
    restoreGridLayouts();
}

void TfrmMainVarnel::openDatabase()
{
    // Opening creates a missing file. Reading the schema right away makes a file that is not
    // a database, or one locked beyond the busy timeout, fail here: the error ends the
    // start-up through the general error report before anything else touches the file.
    SqlConnection& db = connection();
    try {
        db.open(m_databasePath);
        db.execute(QStringLiteral("PRAGMA foreign_keys=ON;"));
        db.query(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        db.useRollbackJournal();
    } catch (const VarnelError&) {
        db.close();
        throw;
    }
}

void TfrmMainVarnel::openServer()
{
    SqlConnection& db = connection();
    db.openServer(m_databasePath, [this](const QString& prompt) {
        return desktop().askPassword(this, QApplication::applicationDisplayName(), prompt);
    });
}

void TfrmMainVarnel::createSchema()
{
    SqlConnection& db = connection();
    const QStringList statements =
        GetCreateTableScript(ExeFolder() + QStringLiteral("tables.ini"), db.dialect());
    // A server makes all the tables or none, so a failed start leaves the database empty and
    // the next start tries again.
    std::optional<SqlTransaction> transaction;
    if (db.isServer())
        transaction.emplace(db);
    for (const QString& statement : statements) {
        try {
            db.execute(statement);
        } catch (const DatabaseError& error) {
            ShowMessage(Lang.Exception_raised_with_message + error.message());
            return;
        }
    }
    // A database this program makes keeps letters as typed; one made before keeps the rule
    // it was made with until a user turns that on in the Options.
    KeepLettersAsTyped(db);
    if (transaction)
        transaction->commit();
}

void TfrmMainVarnel::buildForms()
{
    FormBuildContext context;
    context.mainForm = this;
    context.onButtonClick = [this](TdbButton* button) { OnButtonClick(button); };
    context.onComboChange = [this](TdbComboBox* combo) { OnComboChange(combo); };
    context.onFormShow = [this](TForm* form) { OnAllFormShow(form); };
    context.buttonIcons = ImageListButtonIcons;
    context.buttonEdit = ImageListButtonEdit;
    context.connection = &connection();
    const QList<TForm*> before = Forms::all();
    auto keepBuilt = [&] {
        for (TForm* form : Forms::all())
            if (!before.contains(form))
                m_builtForms.append(form);
    };
    try {
        LoadForms(context, ExeFolder() + QStringLiteral("forms.xml"));
    } catch (...) {
        keepBuilt();
        throw;
    }
    keepBuilt();
    for (TForm* form : m_builtForms)
        if (form && form != this)
            form->setCloseRequestHandler([this](TForm* closing) { return m_actions->mayClose(closing); });
    // Messages of the running application carry its title.
    if (!windowTitle().isEmpty())
        QGuiApplication::setApplicationDisplayName(windowTitle());
}

void TfrmMainVarnel::OnAllFormShow(QObject* shown)
{
    auto* form = qobject_cast<TForm*>(shown);
    if (!form)
        return;
    const QList<QWidget*> chain = Windowed::focusChain(form);
    if (!chain.isEmpty())
        chain.first()->setFocus(Qt::OtherFocusReason);
}

void TfrmMainVarnel::OnButtonClick(TdbButton* sender)
{
    m_actions->OnButtonClick(sender);
}

void TfrmMainVarnel::OnComboChange(TdbComboBox* sender)
{
    m_actions->OnComboChange(sender);
}

QString TfrmMainVarnel::FillForm(qint32 id, TdbButton* button)
{
    return m_actions->FillForm(id, button);
}

void TfrmMainVarnel::FillForm2(qint32 id, TForm* form, const QString& table)
{
    m_actions->FillForm2(id, form, table);
}

void TfrmMainVarnel::FillDictionaries(const QString& tableName)
{
    m_actions->FillDictionaries(tableName);
}

void TfrmMainVarnel::SetLinkedComboBoxValue(TdbComboBox* child, qint32 itemId)
{
    m_actions->SetLinkedComboBoxValue(child, itemId);
}
void TfrmMainVarnel::fillDictionaries()
{
    FillDictionaries(QString());
}
void TfrmMainVarnel::runSelfExecutingGrids()
{
    // Only the main window's own grids search at start-up; the others search when their
    // form is shown.
    for (TdbStringGridEx* grid : componentsOf<TdbStringGridEx>()) {
        if (grid->dbAutoExecute)
            grid->dbExecute();
    }
}
void TfrmMainVarnel::loadPictureArchive()
{
    LoadGraphics(ExeFolder() + QStringLiteral("graphics.dll"),
                 [this](const QByteArray& picture, const QString& name) { LoadPicture(picture, name); });
}

void TfrmMainVarnel::LoadPicture(const QByteArray& PictureStream, const QString& sName)
{
    const QStringList parts = sName.split(u'.');
    if (parts.size() != 4)
        return;
    const QString& formName = parts[1];
    const QString& controlName = parts[2];
    TdbImage* target = nullptr;
    for (TForm* form : Forms::all()) {
        if (form->formName() != formName)
            continue;
        for (TdbImage* image : form->componentsOf<TdbImage>())
            if (image->objectName() == controlName)
                target = image;
    }
    if (target)
        target->LoadPictureFromStream(PictureStream, QStringLiteral("picture.") + parts[3]);
}

void TfrmMainVarnel::restoreGridLayouts()
{
    LoadGridSettings();
}

void TfrmMainVarnel::FormClose()
{
    SaveGridSettings();
}

void TfrmMainVarnel::openMenuFromKeyboard()
{
    if (!MainMenu->isVisible())
        return;
    for (QAction* item : MainMenu->actions())
        if (item->isVisible() && item->isEnabled() && item->menu()) {
            MainMenu->setActiveAction(item);
            return;
        }
}

void TfrmMainVarnel::mniCloseClick()
{
    close();
}

void TfrmMainVarnel::mniDBLocationClick()
{
    if (m_options)
        m_options->showModal();
}

void TfrmMainVarnel::mniAboutClick()
{
    if (m_about)
        m_about->showModal();
}

void TfrmMainVarnel::mniReportClick()
{
    const QString folder = ExeFolder() + QStringLiteral("Report");
    ReportWindows::openDesigner(m_actions->report(), &m_actions->reportData(), folder, folder, this,
                                m_actions->reportQueryRunner(nullptr));
}
