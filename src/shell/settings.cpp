#include "shell/settings.h"

#include "controls/record_grid.h"
#include "platform/convert.h"
#include "platform/form.h"
#include "platform/ini_file.h"
#include "platform/project_folder.h"

#include <QAction>

namespace {
const QString OptionsSection = QStringLiteral("Options");
const QString GridsSection = QStringLiteral("Grids");

QString gridKey(const TForm* form, const TdbStringGridEx* grid, const QString& item)
{
    return form->formName() + u'.' + grid->objectName() + u'.' + item;
}

// A stored number outside what a grid can have (a query gives at most 2000 columns; no screen
// is 100,000 pixels wide) comes from a damaged file and counts as no number: a hand-edited
// ColCount of a hundred million would otherwise take gigabytes.
constexpr int MaxGridColumns = 2000;
constexpr int MaxColumnWidth = 100000;

int storedNumber(const IniFile& ini, const QString& key, int limit, int otherwise)
{
    const int value = StrToIntDef(ini.value(GridsSection, key), otherwise);
    return value <= limit ? value : otherwise;
}
} // namespace

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

void SaveGridSettings()
{
    IniFile ini = IniFile::load(settingsFileName());
    bool written = false;
    for (const TForm* form : Forms::all()) {
        for (const TdbStringGridEx* grid : form->componentsOf<TdbStringGridEx>()) {
            if (!grid->dbIfUsed)
                continue;
            written = true;
            const int count = grid->colCount();
            ini.setValue(GridsSection, gridKey(form, grid, QStringLiteral("ColCount")),
                         QString::number(count));
            for (int i = 0; i < count; ++i)
                ini.setValue(GridsSection, gridKey(form, grid, QString::number(i)),
                             QString::number(grid->columnWidth(i)));
        }
    }
    if (written)
        ini.save(settingsFileName());
}

void LoadGridSettings()
{
    const IniFile ini = IniFile::load(settingsFileName());
    for (const TForm* form : Forms::all()) {
        for (TdbStringGridEx* grid : form->componentsOf<TdbStringGridEx>()) {
            const QString countKey = gridKey(form, grid, QStringLiteral("ColCount"));
            if (ini.contains(GridsSection, countKey))
                grid->setColCount(storedNumber(ini, countKey, MaxGridColumns, 5));
            for (int i = 0; i < grid->colCount(); ++i) {
                const QString widthKey = gridKey(form, grid, QString::number(i));
                if (ini.contains(GridsSection, widthKey))
                    grid->setColumnWidth(i, qMax(0, storedNumber(ini, widthKey, MaxColumnWidth, 100)));
            }
        }
    }
}
