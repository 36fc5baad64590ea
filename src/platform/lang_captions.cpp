#include "platform/lang.h"

#include <QHash>

namespace {

struct Pair {
    const char* en;
    const char* ru;
};

// The captions of the report windows, the designer and the export targets. The English text
// is the key: a caption added in the code without a Russian one here stays English.
const Pair pairs[] = {
    // The preview and the export targets.
    {"First page", "Первая страница"},
    {"Previous page", "Предыдущая страница"},
    {"Next page", "Следующая страница"},
    {"Last page", "Последняя страница"},
    {"of %1", "из %1"},
    {"Page %1", "Страница %1"},
    {"Whole page", "Страница целиком"},
    {"Page width", "По ширине страницы"},
    {"Zoom in", "Увеличить"},
    {"Zoom out", "Уменьшить"},
    {"Find", "Найти"},
    {"Text to find", "Текст для поиска"},
    {"\"%1\" is not found.", "Текст \"%1\" не найден."},
    {"Print...", "Печать..."},
    {"Export", "Экспорт"},
    {"PDF document", "Документ PDF"},
    {"JPEG pictures", "Рисунки JPEG"},
    {"TIFF pictures", "Рисунки TIFF"},
    {"Excel 97-2003 workbook", "Книга Excel 97-2003"},
    {"Rich Text document", "Документ RTF"},
    {"HTML page", "Страница HTML"},
    {"OpenDocument text", "Текст OpenDocument"},
    {"OpenDocument spreadsheet", "Электронная таблица OpenDocument"},
    {"Picture settings", "Параметры рисунков"},
    {"Resolution, dpi", "Разрешение, точек на дюйм"},
    {"Quality", "Качество"},
    {"Pages", "Страницы"},
    // The designer.
    {"Report designer", "Дизайнер отчетов"},
    {"Untitled", "Без имени"},
    {"&File", "&Файл"},
    {"&Edit", "&Правка"},
    {"&Insert", "&Вставка"},
    {"&Bands", "&Полосы"},
    {"F&ormat", "Ф&ормат"},
    {"&View", "&Вид"},
    {"New", "Создать"},
    {"Open...", "Открыть..."},
    {"Save", "Сохранить"},
    {"Save as...", "Сохранить как..."},
    {"Recent files", "Последние файлы"},
    {"Preview", "Предварительный просмотр"},
    {"Close", "Закрыть"},
    {"Undo", "Отменить"},
    {"Redo", "Повторить"},
    {"Cut", "Вырезать"},
    {"Copy", "Копировать"},
    {"Paste", "Вставить"},
    {"Delete", "Удалить"},
    {"Select all", "Выделить все"},
    {"Pointer", "Указатель"},
    {"Text", "Текст"},
    {"Field", "Поле"},
    {"Line", "Линия"},
    {"Rectangle", "Прямоугольник"},
    {"Picture", "Рисунок"},
    {"Check box", "Флажок"},
    {"Align left", "Выровнять по левому краю"},
    {"Align right", "Выровнять по правому краю"},
    {"Align top", "Выровнять по верхнему краю"},
    {"Align bottom", "Выровнять по нижнему краю"},
    {"Same width", "Одинаковая ширина"},
    {"Same height", "Одинаковая высота"},
    {"Bring to front", "На передний план"},
    {"Send to back", "На задний план"},
    {"Report title", "Заголовок отчета"},
    {"Page header", "Верхний колонтитул"},
    {"Group header", "Заголовок группы"},
    {"Group footer", "Итог группы"},
    {"Detail", "Данные"},
    {"Page footer", "Нижний колонтитул"},
    {"Summary", "Итог отчета"},
    {"Group", "Группа"},
    {"Remove band", "Удалить полосу"},
    {"Zoom", "Масштаб"},
    {"Snap to grid", "Привязка к сетке"},
    {"Grid, mm", "Сетка, мм"},
    {"Properties", "Свойства"},
    {"Data", "Данные"},
    {"Fields of \"%1\"", "Поля \"%1\""},
    {"No rows: run a report with a query first.", "Нет строк: сначала выполните отчет с запросом."},
    {"Page", "Страница"},
    {"Band", "Полоса"},
    {"Object", "Объект"},
    {"Objects: %1", "Объектов: %1"},
    {"Name", "Имя"},
    {"Left, mm", "Слева, мм"},
    {"Top, mm", "Сверху, мм"},
    {"Width, mm", "Ширина, мм"},
    {"Height, mm", "Высота, мм"},
    {"Value", "Значение"},
    {"Picture file", "Файл рисунка"},
    {"Keep aspect", "Сохранять пропорции"},
    {"Display format", "Формат отображения"},
    {"Font", "Шрифт"},
    {"Size, pt", "Размер, пт"},
    {"Bold", "Жирный"},
    {"Italic", "Курсив"},
    {"Underline", "Подчеркнутый"},
    {"Colour", "Цвет"},
    {"Background", "Фон"},
    {"Frame left, mm", "Рамка слева, мм"},
    {"Frame top, mm", "Рамка сверху, мм"},
    {"Frame right, mm", "Рамка справа, мм"},
    {"Frame bottom, mm", "Рамка снизу, мм"},
    {"Frame left colour", "Цвет рамки слева"},
    {"Frame top colour", "Цвет рамки сверху"},
    {"Frame right colour", "Цвет рамки справа"},
    {"Frame bottom colour", "Цвет рамки снизу"},
    {"Alignment", "Выравнивание"},
    {"Vertical alignment", "Вертикальное выравнивание"},
    {"Word wrap", "Перенос слов"},
    {"Line width, mm", "Толщина линии, мм"},
    {"Fill", "Заливка"},
    {"left", "влево"},
    {"center", "по центру"},
    {"right", "вправо"},
    {"justify", "по ширине"},
    {"top", "вверх"},
    {"middle", "посередине"},
    {"bottom", "вниз"},
    {"Can grow", "Растягивается"},
    {"Keep together", "Не разрывать"},
    {"Group name", "Имя группы"},
    {"Group expression", "Выражение группы"},
    {"New page", "С новой страницы"},
    {"Repeat header", "Повторять заголовок"},
    {"Keep group together", "Не разрывать группу"},
    {"Report name", "Имя отчета"},
    {"Paper size", "Размер бумаги"},
    {"custom", "свой"},
    {"Orientation", "Ориентация"},
    {"portrait", "книжная"},
    {"landscape", "альбомная"},
    {"Margin left, mm", "Поле слева, мм"},
    {"Margin top, mm", "Поле сверху, мм"},
    {"Margin right, mm", "Поле справа, мм"},
    {"Margin bottom, mm", "Поле снизу, мм"},
    {"Query", "Запрос"},
    {"Expression editor", "Редактор выражений"},
    {"Fields", "Поля"},
    {"System values", "Системные значения"},
    {"Functions", "Функции"},
    {"OK", "OK"},
    {"Cancel", "Отмена"},
    {"Double-click an item to insert it at the cursor.", "Двойной щелчок вставляет элемент в позицию курсора."},
    {"Position %1: %2", "Позиция %1: %2"},
    {"Report templates", "Шаблоны отчетов"},
    {"All files", "Все файлы"},
    {"Open a report template", "Открыть шаблон отчета"},
    {"Save the report template", "Сохранить шаблон отчета"},
    {"Save the changes to \"%1\"?", "Сохранить изменения в \"%1\"?"},
    {"Error", "Ошибка"},
    {"Information", "Информация"},
    {"The template is not saved: %1", "Шаблон не сохранен: %1"},
    {"The template is not opened: %1", "Шаблон не открыт: %1"},
    {"The report cannot be shown: %1", "Отчет нельзя показать: %1"},
    {"Add %1", "Добавить: %1"},
    {"Move", "Перемещение"},
    {"Resize", "Изменение размера"},
    {"Band height", "Высота полосы"},
    {"Edit text", "Изменение текста"},
    {"Change %1", "Изменение: %1"},
    {"Align", "Выравнивание"},
    {"Order", "Порядок"},
    {"Page page number", "Номер страницы"},
    {"Page count", "Число страниц"},
    {"Current date", "Текущая дата"},
    {"Current time", "Текущее время"},
    {"Row number", "Номер строки"},
    {"Sum", "Сумма"},
    {"Count of rows", "Число строк"},
    {"Count of values", "Число значений"},
    {"Average", "Среднее"},
    {"Minimum", "Минимум"},
    {"Maximum", "Максимум"},
    {"If then else", "Если то иначе"},
    {"Text as the forms show it", "Текст, как его показывают формы"},
    {"Upper case", "Прописными"},
    {"Lower case", "Строчными"},
    {"Without blanks at the ends", "Без пробелов по краям"},
    {"The expression is correct.", "Выражение правильное."},
    {"the field \"%1\" is not in the data \"%2\"", "поля \"%1\" нет в данных \"%2\""},
    {"Edit expression...", "Изменить выражение..."},
    {"%1 mm", "%1 мм"},
};

const QHash<QByteArray, QString>& russian()
{
    static const QHash<QByteArray, QString> table = [] {
        QHash<QByteArray, QString> t;
        for (const Pair& p : pairs)
            t.insert(QByteArray(p.en), QString::fromUtf8(p.ru));
        return t;
    }();
    return table;
}

} // namespace

QString TLang::caption(const char* english) const
{
    if (m_russian) {
        const auto it = russian().constFind(QByteArray(english));
        if (it != russian().constEnd())
            return *it;
    }
    return QString::fromUtf8(english);
}

bool TLang::hasRussianCaption(const char* english)
{
    return russian().contains(QByteArray(english));
}
