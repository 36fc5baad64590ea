#include "platform/lang.h"

TLang Lang;

void TLang::fillEnglish()
{
    Your_computer_does_not_have_Excel = QStringLiteral("Your computer does not have Excel");
    Entry_to_edit_is_no_selected = QStringLiteral("Entry to edit is no selected");
    Unable_to_determine_the_record_ID = QStringLiteral("Unable to determine the record ID");
    Please_select_record_in_grid = QStringLiteral("Please, select record in grid.");
    Report_file_not_found = QStringLiteral("Report file not found");
    Entry_to_be_deleted_is_not_selected = QStringLiteral("Entry to be deleted is not selected.");
    Are_you_sure_you_want_to_delete_the_record =
        QStringLiteral("Are you sure you want to delete the record?");
    The_database_file_is_not_found = QStringLiteral("The database file is not found.");
    Not_a_number = QStringLiteral("Not a number.");
    Are_you_sure_you_want_to_delete_the_image_from_the_database =
        QStringLiteral("Are you sure you want to delete the image from the database?");
    There_is_no_file_to_save = QStringLiteral("There is no file to save.");
    Do_you_really_want_to_delete_the_file_from_the_database =
        QStringLiteral("Do you really want to delete the file from the database?");
    Restart_the_program_to_apply_the_settings =
        QStringLiteral("Restart the program to apply the settings.");
    No_data_to_add = QStringLiteral("No data to add.");
    Confirm = QStringLiteral("Confirm");
    Error = QStringLiteral("Error");
    Info = QStringLiteral("Information");
    Yes = QStringLiteral("Yes");
    No = QStringLiteral("No");
}

void TLang::fillRussian()
{
    Your_computer_does_not_have_Excel = QStringLiteral("На вашем компьютере не установлен Excel.");
    Entry_to_edit_is_no_selected = QStringLiteral("Невыбрана запись для редактирования.");
    Unable_to_determine_the_record_ID =
        QStringLiteral("Не удалось определить идентификатор записи.");
    Please_select_record_in_grid = QStringLiteral("Пожалуйста, выберите запись в таблице.");
    Report_file_not_found = QStringLiteral("Файл отчета не найден");
    Entry_to_be_deleted_is_not_selected = QStringLiteral("Запись для удаления не выбрана.");
    Are_you_sure_you_want_to_delete_the_record =
        QStringLiteral("Вы действительно желаете удалить запись?");
    The_database_file_is_not_found = QStringLiteral("Файл базы не найден.");
    Not_a_number = QStringLiteral("Не является числом.");
    Are_you_sure_you_want_to_delete_the_image_from_the_database =
        QStringLiteral("Вы действительно желаете удалить изображение из базы данных?");
    There_is_no_file_to_save = QStringLiteral("Нет файла для сохранения.");
    Do_you_really_want_to_delete_the_file_from_the_database =
        QStringLiteral("Вы действительно желаете удалить файл из базы данных?");
    Restart_the_program_to_apply_the_settings =
        QStringLiteral("Для применения настроек, необходимо перезапустить приложение.");
    Confirm = QStringLiteral("Подтверждение");
    Error = QStringLiteral("Ошибка");
    Info = QStringLiteral("Информация");
    Yes = QStringLiteral("Да");
    No = QStringLiteral("Нет");
}

bool usesRussianTexts(const QLocale& locale)
{
    switch (locale.language()) {
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Belarusian:
    case QLocale::Kazakh:
    case QLocale::Armenian:
    case QLocale::Kyrgyz:
    case QLocale::Tajik:
        return true;
    case QLocale::Azerbaijani:
        return locale.script() == QLocale::CyrillicScript;
    default:
        return false;
    }
}
