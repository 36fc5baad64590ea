#include "shell/options_dialog.h"

#include "platform/desktop_services.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "shell/settings.h"

#include <QAction>
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
    setClientSize(447, 202);

    gbDatabase = new QGroupBox(QStringLiteral("Database"), client());
    gbDatabase->setGeometry(8, 8, 431, 148);
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
    bOK = new QPushButton(QStringLiteral("OK"), client());
    bOK->setGeometry(272, 166, 80, 27);
    bCancel = new QPushButton(QStringLiteral("Cancel"), client());
    bCancel->setGeometry(359, 166, 80, 27);
    OpenDialog = new TFileDialog(TFileDialog::Kind::Open, this);

    addComponent(gbDatabase, QStringLiteral("gbDatabase"));
    addComponent(rbAppFolder, QStringLiteral("rbAppFolder"));
    addComponent(rbDBFilename, QStringLiteral("rbDBFilename"));
    addComponent(edFileName, QStringLiteral("edFileName"));
    addComponent(bOpenFile, QStringLiteral("bOpenFile"));
    addComponent(lbPath, QStringLiteral("lbPath"));
    addComponent(bOK, QStringLiteral("bOK"));
    addComponent(bCancel, QStringLiteral("bCancel"));
    addComponent(OpenDialog, QStringLiteral("OpenDialog"));

    connect(rbAppFolder, &QRadioButton::clicked, this, [this] { guarded([this] { rbAppFolderClick(); }); });
    connect(rbDBFilename, &QRadioButton::clicked, this, [this] { guarded([this] { rbDBFilenameClick(); }); });
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
    setFileControlsEnabled(false);
    const QString name = LoadOptions(m_reportDesignerItem);
    if (!name.isEmpty()) {
        setFileControlsEnabled(true);
        rbDBFilename->setChecked(true);
        edFileName->setText(name);
    } else {
        rbAppFolder->setChecked(true);
    }
}

void TfrmOptionsVarnel::rbAppFolderClick()
{
    setFileControlsEnabled(false);
}

void TfrmOptionsVarnel::rbDBFilenameClick()
{
    setFileControlsEnabled(true);
}

void TfrmOptionsVarnel::bOpenFileClick()
{
    const QString chosen = OpenDialog->execute(this);
    if (!chosen.isEmpty() && QFileInfo::exists(chosen))
        edFileName->setText(QFileInfo(chosen).absoluteFilePath());
}

void TfrmOptionsVarnel::SaveOptions()
{
    ::SaveOptions(rbAppFolder->isChecked(), rbDBFilename->isChecked() ? edFileName->text() : QString());
    desktop().message(this, Lang.Info, Lang.Restart_the_program_to_apply_the_settings,
                      DesktopServices::Icon::Information, DesktopServices::Ok);
}

void TfrmOptionsVarnel::bOKClick()
{
    SaveOptions();
    closeForm();
}

void TfrmOptionsVarnel::bCancelClick()
{
    closeForm();
}
