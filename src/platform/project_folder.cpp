#include "platform/project_folder.h"

#include "platform/desktop_services.h"
#include "platform/lang.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString& overriddenFolder()
{
    static QString folder;
    return folder;
}

QString withSeparator(QString path)
{
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}
} // namespace

QString ExeFolder()
{
    if (!overriddenFolder().isEmpty())
        return overriddenFolder();
    return withSeparator(QCoreApplication::applicationDirPath());
}

void setExeFolder(const QString& folder)
{
    overriddenFolder() = folder.isEmpty() ? QString() : withSeparator(QDir::cleanPath(folder));
}

bool UseProjectFolder(const QString& folder)
{
    const QFileInfo place(folder);
    const QString shown = QDir::toNativeSeparators(place.absoluteFilePath());
    QString refusal;
    if (folder.isEmpty() || !place.isDir())
        refusal = Lang.Project_folder_not_found;
    else if (!QFileInfo(QDir(place.absoluteFilePath()).filePath(QStringLiteral("forms.xml"))).isFile())
        refusal = Lang.Project_folder_without_forms;
    if (!refusal.isEmpty()) {
        // The same shape as the message about a missing database: the reason, then the path.
        desktop().message(nullptr, Lang.Error, refusal + u'\r' + shown,
                          DesktopServices::Icon::Information, DesktopServices::Ok);
        return false;
    }
    setExeFolder(place.absoluteFilePath());
    return true;
}

bool ChooseProjectFolder()
{
    DesktopServices::FileDialog request;
    request.title = Lang.Choose_project;
    request.filter = QStringLiteral("forms.xml|forms.xml");
    request.folder = QDir::homePath();
    for (;;) {
        const QString chosen = desktop().openFileName(request);
        if (chosen.isEmpty())
            return false;
        const QString folder = QFileInfo(chosen).absolutePath();
        if (UseProjectFolder(folder))
            return true;
        request.folder = folder;
    }
}
