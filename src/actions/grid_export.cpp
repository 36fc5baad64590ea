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
    const QString suffix = QStringLiteral(".xlsx");
    // Asked first: a workbook that nothing can show is of no use, so nothing is written.
    if (!desktop().hasProgramFor(grid->objectName() + suffix)) {
        inform(Lang.Error, Lang.Your_computer_does_not_have_Excel);
        return;
    }
    QList<QStringList> rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < grid->colCount(); ++c)
            row.append(r == 0 ? grid->title(c) : grid->cell(c, r));
        rows.append(row);
    }
    // A new workbook every time, under a name of its own that the reservation already holds.
    const QString workbook = desktop().uniqueTempFile(grid->objectName() + u'_', suffix);
    writeSpreadsheet(workbook, rows, QLocale());
    if (!desktop().shellOpen(workbook, QFileInfo(workbook).path(), DesktopServices::ShowMode::Normal))
        inform(Lang.Error, Lang.Your_computer_does_not_have_Excel);
}
