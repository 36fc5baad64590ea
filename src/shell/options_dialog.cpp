#include "shell/options_dialog.h"

#include "catalogue/letter_case.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "platform/sql_connection.h"
#include "platform/wide_text.h"
#include "shell/settings.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>

TfrmOptionsVarnel::TfrmOptionsVarnel(QAction* reportDesignerItem, QWidget* parent)
    : TForm(parent), m_reportDesignerItem(reportDesignerItem)
{
    setObjectName(QStringLiteral("frmOptionsVarnel"));
    setWindowTitle(QStringLiteral("Options"));
    setSizeable(false);
    setClientSize(447, 320);

    gbDatabase = new QGroupBox(QStringLiteral("Database"), client());
    gbDatabase->setGeometry(8, 8, 431, 238);
    rbAppFolder = new QRadioButton(
        QStringLiteral("Save the database file in the folder with the application."), gbDatabase);
    rbAppFolder->setGeometry(14, 24, 405, 20);
    rbDBFilename = new QRadioButton(QStringLiteral("Specify the filename of the database."),
                                    gbDatabase);
    rbDBFilename->setGeometry(14, 50, 405, 20);
    edFileName = new QLineEdit(gbDatabase);
    edFileName->setGeometry(32, 78, 356, 23);
    bOpenFile = new QToolButton(gbDatabase);
    bOpenFile->setGeometry(392, 78, 25, 23);
    bOpenFile->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    lbPath = new QLabel(
        QStringLiteral("You can also use a network folder (e.g. \\\\PCNAME\\Folder\\sqlite.db)"),
        gbDatabase);
    // Two lines of room: the Russian hint is longer than the box is wide, and a centred
    // label that does not fit loses both of its ends.
    lbPath->setGeometry(8, 104, 415, 40);
    lbPath->setAlignment(Qt::AlignCenter);
    lbPath->setWordWrap(true);
    QPalette grey = lbPath->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    lbPath->setPalette(grey);
    rbServer = new QRadioButton(QStringLiteral("Use a database on a PostgreSQL server."), gbDatabase);
    rbServer->setGeometry(14, 148, 405, 20);
    edServer = new QLineEdit(gbDatabase);
    edServer->setGeometry(32, 174, 385, 23);
    edServer->setPlaceholderText(QStringLiteral("postgresql://host/database"));
    lbServer = new QLabel(QStringLiteral("For example postgresql://server/shop or service=shop. "
                                         "Passwords are not kept here."),
                          gbDatabase);
    lbServer->setGeometry(8, 198, 415, 36);
    lbServer->setAlignment(Qt::AlignCenter);
    lbServer->setWordWrap(true);
    lbServer->setPalette(grey);
    cbLettersAsTyped = new QCheckBox(QStringLiteral("Keep letters as typed in every script"), client());
    cbLettersAsTyped->setGeometry(16, 252, 423, 22);
    cbLettersAsTyped->setToolTip(QStringLiteral(
        "Texts are stored as typed and searches ignore letter case in every script. Once on, it "
        "stays on for everyone who opens this database."));
    bOK = new QPushButton(QStringLiteral("OK"), client());
    bOK->setGeometry(272, 284, 80, 27);
    bCancel = new QPushButton(QStringLiteral("Cancel"), client());
    bCancel->setGeometry(359, 284, 80, 27);
    OpenDialog = new TFileDialog(TFileDialog::Kind::Open, this);

    addComponent(gbDatabase, QStringLiteral("gbDatabase"));
    addComponent(rbAppFolder, QStringLiteral("rbAppFolder"));
    addComponent(rbDBFilename, QStringLiteral("rbDBFilename"));
    addComponent(edFileName, QStringLiteral("edFileName"));
    addComponent(bOpenFile, QStringLiteral("bOpenFile"));
    addComponent(lbPath, QStringLiteral("lbPath"));
    addComponent(rbServer, QStringLiteral("rbServer"));
    addComponent(edServer, QStringLiteral("edServer"));
    addComponent(lbServer, QStringLiteral("lbServer"));
    addComponent(cbLettersAsTyped, QStringLiteral("cbLettersAsTyped"));
    addComponent(bOK, QStringLiteral("bOK"));
    addComponent(bCancel, QStringLiteral("bCancel"));
    addComponent(OpenDialog, QStringLiteral("OpenDialog"));

    connect(rbAppFolder, &QRadioButton::clicked, this, [this] { guarded([this] { rbAppFolderClick(); }); });
    connect(rbDBFilename, &QRadioButton::clicked, this, [this] { guarded([this] { rbDBFilenameClick(); }); });
    connect(rbServer, &QRadioButton::clicked, this, [this] { guarded([this] { rbServerClick(); }); });
    connect(bOpenFile, &QToolButton::clicked, this, [this] { guarded([this] { bOpenFileClick(); }); });
    connect(bOK, &QPushButton::clicked, this, [this] { guarded([this] { bOKClick(); }); });
    connect(bCancel, &QPushButton::clicked, this, [this] { guarded([this] { bCancelClick(); }); });
    setDefaultButton(bOK);
    setCancelButton(bCancel);
    setShowHandler([this](TForm*) { FormShow(); });
}

void TfrmOptionsVarnel::setFileControlsEnabled(bool enabled)
{
    edFileName->setEnabled(enabled);
    bOpenFile->setEnabled(enabled);
}

// Only the edit of the chosen kind of database takes input.
void TfrmOptionsVarnel::enableFor(QRadioButton* choice)
{
    setFileControlsEnabled(choice == rbDBFilename);
    edServer->setEnabled(choice == rbServer);
}

// A hint too long for one line breaks before its example, not inside the example's path.
void TfrmOptionsVarnel::fitPathHint()
{
    QString text = lbPath->text();
    text.replace(u'\n', u' ');
    if (lbPath->fontMetrics().horizontalAdvance(text) > lbPath->contentsRect().width()) {
        const qsizetype example = text.lastIndexOf(QStringLiteral(" ("));
        if (example > 0)
            text[example] = u'\n';
    }
    lbPath->setText(text);
}

void TfrmOptionsVarnel::FormShow()
{
    fitPathHint();
    const QString name = LoadOptions(m_reportDesignerItem);
    QRadioButton* choice = rbAppFolder;
    if (SqlConnection::namesServer(name)) {
        choice = rbServer;
        edServer->setText(name);
    } else if (!name.isEmpty()) {
        choice = rbDBFilename;
        edFileName->setText(name);
    }
    choice->setChecked(true);
    enableFor(choice);
    // Turned on, the switch stays on: the texts typed since are not in the rule's capitals.
    cbLettersAsTyped->setChecked(LettersKeptAsTyped());
    cbLettersAsTyped->setEnabled(!LettersKeptAsTyped() && openConnection());
}

SqlConnection* TfrmOptionsVarnel::openConnection() const
{
    SqlConnection* db = m_connection ? m_connection() : nullptr;
    return db && db->isOpen() ? db : nullptr;
}

// False when the database refused the change (read-only, busy): the user is told and the
// dialog stays.
bool TfrmOptionsVarnel::keepLettersAsTyped()
{
    SqlConnection* db = openConnection();
    if (!cbLettersAsTyped->isChecked() || LettersKeptAsTyped() || !db)
        return true;
    try {
        KeepLettersAsTyped(*db);
    } catch (const DatabaseError& error) {
        desktop().message(this, Lang.Error, error.message(), DesktopServices::Icon::Information,
                          DesktopServices::Ok);
        return false;
    }
    SetLettersKeptAsTyped(true);
    return true;
}

void TfrmOptionsVarnel::rbAppFolderClick()
{
    enableFor(rbAppFolder);
}

void TfrmOptionsVarnel::rbDBFilenameClick()
{
    enableFor(rbDBFilename);
}

void TfrmOptionsVarnel::rbServerClick()
{
    enableFor(rbServer);
    edServer->setFocus();
}

void TfrmOptionsVarnel::bOpenFileClick()
{
    const QString chosen = OpenDialog->execute(this);
    if (!chosen.isEmpty() && QFileInfo::exists(chosen))
        edFileName->setText(QFileInfo(chosen).absoluteFilePath());
}

void TfrmOptionsVarnel::SaveOptions()
{
    QString chosen;
    if (rbDBFilename->isChecked())
        chosen = edFileName->text();
    else if (rbServer->isChecked())
        chosen = edServer->text().trimmed();
    ::SaveOptions(rbAppFolder->isChecked(), chosen);
    desktop().message(this, Lang.Info, Lang.Restart_the_program_to_apply_the_settings,
                      DesktopServices::Icon::Information, DesktopServices::Ok);
}

void TfrmOptionsVarnel::bOKClick()
{
    // A server named in a way the connection would read as a file name is refused here,
    // before it is written, so the next start does not look for a file of that name.
    if (rbServer->isChecked() && !edServer->text().trimmed().isEmpty()
        && !SqlConnection::namesServer(edServer->text())) {
        desktop().message(this, Lang.Error, Lang.Not_a_server_connection.arg(edServer->text().trimmed()),
                          DesktopServices::Icon::Information, DesktopServices::Ok);
        edServer->setFocus();
        return;
    }
    if (!keepLettersAsTyped())
        return;
    SaveOptions();
    closeForm();
}

void TfrmOptionsVarnel::bCancelClick()
{
    closeForm();
}
