#include "platform/spreadsheet_writer.h"

#include "platform/errors.h"

#include <xlsxwriter.h>

void writeSpreadsheet(const QString& fileName, const QList<QStringList>& rows)
{
    const QByteArray path = fileName.toUtf8();
    lxw_workbook* workbook = workbook_new(path.constData());
    if (!workbook)
        throw FileError(QStringLiteral("Cannot create the workbook \"%1\".").arg(fileName));
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);

    lxw_format* cellFormat = workbook_add_format(workbook);
    format_set_border(cellFormat, LXW_BORDER_THIN);
    format_set_shrink(cellFormat);
    lxw_format* titleFormat = workbook_add_format(workbook);
    format_set_border(titleFormat, LXW_BORDER_THIN);
    format_set_shrink(titleFormat);
    format_set_bg_color(titleFormat, 0xC8C8C8);
    format_set_pattern(titleFormat, LXW_PATTERN_SOLID);

    for (int r = 0; r < rows.size(); ++r) {
        lxw_format* format = r == 0 ? titleFormat : cellFormat;
        for (int c = 0; c < rows[r].size(); ++c) {
            const QByteArray text = rows[r][c].toUtf8();
            worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                   text.constData(), format);
        }
    }
    worksheet_set_selection(sheet, 0, 0, 0, 0);

    const lxw_error result = workbook_close(workbook);
    if (result != LXW_NO_ERROR)
        throw FileError(QStringLiteral("Cannot write the workbook \"%1\": %2")
                            .arg(fileName, QString::fromUtf8(lxw_strerror(result))));
}
