#include "report/ui/export_dialogs.h"

#include "platform/desktop_services.h"
#include "platform/lang.h"
#include "report/export/picture_export.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

namespace {

bool askPictureSettings(PictureExportFilter& filter, QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("pictureSettings"));
    dialog.setWindowTitle(Lang.caption("Picture settings"));
    auto* form = new QFormLayout(&dialog);
    auto* resolution = new QSpinBox(&dialog);
    resolution->setObjectName(QStringLiteral("resolution"));
    resolution->setRange(36, 1200);
    resolution->setValue(filter.resolution());
    auto* quality = new QSpinBox(&dialog);
    quality->setObjectName(QStringLiteral("quality"));
    quality->setRange(1, 100);
    quality->setValue(filter.quality());
    form->addRow(Lang.caption("Resolution, dpi"), resolution);
    form->addRow(Lang.caption("Quality"), quality);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(Lang.caption("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Lang.caption("Cancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (!desktop().runModal(dialog))
        return false;
    filter.setResolution(resolution->value());
    filter.setQuality(quality->value());
    return true;
}

// A report's name as a file name: without the characters no file system takes.
QString fileNameOf(const QString& name)
{
    QString file = name;
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar& c : file)
        if (forbidden.contains(c) || c.unicode() < 32)
            c = u'_';
    return file.trimmed();
}

} // namespace

bool askExportTarget(ExportFilter& filter, QWidget* parent, const QString& suggestedName)
{
    // The folder the user last wrote an export to, for the rest of the run.
    static QString lastFolder;
    DesktopServices::FileDialog dialog;
    dialog.parent = parent;
    dialog.title = filter.caption();
    dialog.filter = filter.caption() + QStringLiteral("|*.") + filter.extension();
    dialog.defaultExt = filter.extension();
    if (suggestedName.isEmpty()) {
        dialog.fileName = filter.fileName();
    } else {
        dialog.folder = lastFolder;
        dialog.fileName = fileNameOf(suggestedName) + u'.' + filter.extension();
        if (!lastFolder.isEmpty())
            dialog.fileName = QDir(lastFolder).filePath(dialog.fileName);
    }
    const QString chosen = desktop().saveFileName(dialog);
    if (chosen.isEmpty())
        return false;
    lastFolder = QFileInfo(chosen).absolutePath();
    filter.setFileName(chosen);
    if (auto* pictures = dynamic_cast<PictureExportFilter*>(&filter))
        return askPictureSettings(*pictures, parent);
    return true;
}
