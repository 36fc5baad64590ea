#include "report/report_texts.h"

#include "platform/desktop_services.h"
#include "platform/lang.h"

namespace {

ReportTexts english()
{
    ReportTexts t;
    t.preview = QStringLiteral("Preview");
    t.firstPage = QStringLiteral("First page");
    t.previousPage = QStringLiteral("Previous page");
    t.nextPage = QStringLiteral("Next page");
    t.lastPage = QStringLiteral("Last page");
    t.ofPages = QStringLiteral("of %1");
    t.pageNumber = QStringLiteral("Page %1");
    t.wholePage = QStringLiteral("Whole page");
    t.pageWidth = QStringLiteral("Page width");
    t.zoomIn = QStringLiteral("Zoom in");
    t.zoomOut = QStringLiteral("Zoom out");
    t.find = QStringLiteral("Find");
    t.findPlaceholder = QStringLiteral("Text to find");
    t.notFound = QStringLiteral("\"%1\" is not found.");
    t.print = QStringLiteral("Print...");
    t.exportTo = QStringLiteral("Export");
    t.close = QStringLiteral("Close");
    t.pdfFilter = QStringLiteral("PDF document");
    t.jpegFilter = QStringLiteral("JPEG pictures");
    t.tiffFilter = QStringLiteral("TIFF pictures");
    t.xlsFilter = QStringLiteral("Excel 97-2003 workbook");
    t.rtfFilter = QStringLiteral("Rich Text document");
    t.htmlFilter = QStringLiteral("HTML page");
    t.odtFilter = QStringLiteral("OpenDocument text");
    t.odsFilter = QStringLiteral("OpenDocument spreadsheet");
    t.pictureSettings = QStringLiteral("Picture settings");
    t.resolution = QStringLiteral("Resolution, dpi");
    t.quality = QStringLiteral("Quality");
    t.ok = QStringLiteral("OK");
    t.cancel = QStringLiteral("Cancel");
    t.pages = QStringLiteral("Pages");
    t.information = QStringLiteral("Information");
    return t;
}

ReportTexts russian()
{
    ReportTexts t;
    t.preview = QStringLiteral("Предварительный просмотр");
    t.firstPage = QStringLiteral("Первая страница");
    t.previousPage = QStringLiteral("Предыдущая страница");
    t.nextPage = QStringLiteral("Следующая страница");
    t.lastPage = QStringLiteral("Последняя страница");
    t.ofPages = QStringLiteral("из %1");
    t.pageNumber = QStringLiteral("Страница %1");
    t.wholePage = QStringLiteral("Страница целиком");
    t.pageWidth = QStringLiteral("По ширине страницы");
    t.zoomIn = QStringLiteral("Увеличить");
    t.zoomOut = QStringLiteral("Уменьшить");
    t.find = QStringLiteral("Найти");
    t.findPlaceholder = QStringLiteral("Текст для поиска");
    t.notFound = QStringLiteral("Текст \"%1\" не найден.");
    t.print = QStringLiteral("Печать...");
    t.exportTo = QStringLiteral("Экспорт");
    t.close = QStringLiteral("Закрыть");
    t.pdfFilter = QStringLiteral("Документ PDF");
    t.jpegFilter = QStringLiteral("Рисунки JPEG");
    t.tiffFilter = QStringLiteral("Рисунки TIFF");
    t.xlsFilter = QStringLiteral("Книга Excel 97-2003");
    t.rtfFilter = QStringLiteral("Документ RTF");
    t.htmlFilter = QStringLiteral("Страница HTML");
    t.odtFilter = QStringLiteral("Текст OpenDocument");
    t.odsFilter = QStringLiteral("Электронная таблица OpenDocument");
    t.pictureSettings = QStringLiteral("Параметры рисунков");
    t.resolution = QStringLiteral("Разрешение, точек на дюйм");
    t.quality = QStringLiteral("Качество");
    t.ok = QStringLiteral("OK");
    t.cancel = QStringLiteral("Отмена");
    t.pages = QStringLiteral("Страницы");
    t.information = QStringLiteral("Информация");
    return t;
}

} // namespace

const ReportTexts& reportTexts()
{
    static const ReportTexts en = english();
    static const ReportTexts ru = russian();
    return usesRussianTexts(desktop().userLocale()) ? ru : en;
}
