#include "actions/record_actions.h"

#include "controls/action_button.h"
#include "controls/record_grid.h"
#include "platform/desktop_services.h"
#include "platform/lang.h"
#include "platform/spreadsheet_writer.h"

#include <QDir>

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
    // A new workbook every time, under a name of its own that the reservation already holds.
    const QString suffix = QStringLiteral(".xlsx");
    const QString workbook = desktop().uniqueTempFile(grid->objectName() + u'_', suffix);
    writeSpreadsheet(workbook, rows, QLocale());
    openWrittenFile(Lang.Error, workbook,
                    Lang.Your_computer_does_not_have_Excel + u'\n'
                        + Lang.Workbook_saved_as.arg(QDir::toNativeSeparators(workbook)),
                    grid->objectName() + suffix);
}
