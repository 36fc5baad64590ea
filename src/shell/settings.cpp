#include "shell/settings.h"

#include "platform/convert.h"
#include "platform/ini_file.h"
#include "platform/project_folder.h"

#include <QAction>

namespace {
const QString OptionsSection = QStringLiteral("Options");
}

QString settingsFileName()
{
    return ExeFolder() + QStringLiteral("settings.ini");
}

QString LoadOptions(QAction* reportDesignerItem)
{
    const IniFile ini = IniFile::load(settingsFileName());
    if (reportDesignerItem && ini.contains(OptionsSection, QStringLiteral("mniReport")))
        reportDesignerItem->setVisible(
            StrToIntDef(ini.value(OptionsSection, QStringLiteral("mniReport")), 0) != 0);
    return ini.value(OptionsSection, QStringLiteral("server"));
}

void SaveOptions(bool useAppFolder, const QString& fileName)
{
    IniFile ini = IniFile::load(settingsFileName());
    if (useAppFolder)
        ini.remove(OptionsSection, QStringLiteral("server"));
    else if (!fileName.isEmpty())
        ini.setValue(OptionsSection, QStringLiteral("server"), fileName);
    else
        return;
    ini.save(settingsFileName());
}
