#include "actions/record_actions.h"

#include "controls/action_button.h"
#include "controls/record_grid.h"
#include "platform/desktop_services.h"
#include "platform/lang.h"
#include "platform/spreadsheet_writer.h"

#include <QFileInfo>

void TRecordActions::gridToSpreadsheet(TdbButton* b)
{
    TdbStringGridEx* grid = resultGrid(b);
    QList<QStringList> rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < grid->colCount(); ++c)
            row.append(r == 0 ? grid->title(c) : grid->cell(c, r));
        rows.append(row);
    }
    // A new workbook every time, opened with the spreadsheet program of the desktop.
    const QString reserved = desktop().uniqueTempFile(QStringLiteral("tmp"));
    const QFileInfo info(reserved);
    const QString workbook = info.path() + u'/' + info.completeBaseName() + QStringLiteral(".xlsx");
    writeSpreadsheet(workbook, rows);
    if (!desktop().shellOpen(workbook, info.path(), DesktopServices::ShowMode::Normal))
        inform(Lang.Error, Lang.Your_computer_does_not_have_Excel);
}
