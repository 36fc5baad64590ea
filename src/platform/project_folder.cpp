#include "platform/project_folder.h"

#include <QCoreApplication>
#include <QDir>

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
