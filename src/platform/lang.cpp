#include "platform/lang.h"

TLang Lang;

void TLang::fillFor(const QLocale& locale)
{
    fillEnglish();
    if (usesRussianTexts(locale))
        fillRussian();
}

void TLang::fillEnglish()
{
    m_russian = false;
    Your_computer_does_not_have_Excel = QStringLiteral("Your computer does not have Excel");
    Entry_to_edit_is_no_selected = QStringLiteral("Entry to edit is no selected");
    Unable_to_determine_the_record_ID = QStringLiteral("Unable to determine the record ID");
    Please_select_record_in_grid = QStringLiteral("Please, select record in grid.");
    Report_file_not_found = QStringLiteral("Report file not found");
    Entry_to_be_deleted_is_not_selected = QStringLiteral("Entry to be deleted is not selected.");
    Are_you_sure_you_want_to_delete_the_record =
        QStringLiteral("Are you sure you want to delete the record?");
    Record_to_delete = QStringLiteral("Record: %1");
    Deleted_with_it = QStringLiteral("These will be deleted with it: %1.");
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
    Not_a_whole_number = QStringLiteral("Not a whole number.");
    Field_must_be_filled_in = QStringLiteral("The field \"%1\" must be filled in.");
    Value_is_already_used =
        QStringLiteral("The value of the field \"%1\" is already used by another record.");
    Value_is_not_allowed = QStringLiteral("The value of the field \"%1\" is not allowed.");
    Record_refers_to_missing_record = QStringLiteral(
        "The record refers to a record that does not exist, or other records still refer to it.");
    Database_is_in_use = QStringLiteral(
        "The database file %1 is in use by another program. Wait a moment and repeat the action.");
    Database_is_read_only = QStringLiteral(
        "The database file %1 cannot be written: the file or its folder is read-only. "
        "Nothing was saved.");
    Database_is_full = QStringLiteral(
        "There is no room left for the database file %1 (the disk or the database is full). "
        "Nothing was saved.");
    Not_a_server_connection = QStringLiteral(
        "\"%1\" does not name a database server. Write it as postgresql://server/database, "
        "as host=server dbname=database, or as service=name.");
    Server_is_busy = QStringLiteral(
        "Another user is changing these records on the database server %1. Wait a moment and "
        "repeat the action.");
    Server_is_read_only = QStringLiteral(
        "The database server %1 does not let you change these records. Nothing was saved.");
    Server_is_full = QStringLiteral(
        "The database server %1 has no room left. Nothing was saved.");
    Server_unreachable = QStringLiteral(
        "The database server %1 cannot be reached. Check that it is running and that this "
        "computer is connected to it, then try again.");
    Server_connection_lost = QStringLiteral(
        "The connection to the database server %1 was lost. What you typed is kept: repeat "
        "the action when the server is back.");
    Server_password_prompt = QStringLiteral("Password of the user %1 on the database server %2:");
    Server_password_refused = QStringLiteral("The password was not accepted.");
    Server_password_refused_for = QStringLiteral(
        "The database server %2 did not accept the password of the user %1.");
    Record_changed_by_another_user =
        QStringLiteral("This record was changed by another user after you opened it.");
    Record_deleted_by_another_user = QStringLiteral(
        "This record was deleted by another user after you opened it. Nothing was saved; what "
        "you typed is still on the form.");
    Reload_or_overwrite = QStringLiteral(
        "Reload shows the record as it is now; your changes on this form are dropped.\n"
        "Overwrite saves your version over the other user's changes.\n"
        "Cancel keeps the form as it is, and nothing is saved.");
    Unsaved_changes = QStringLiteral("The record on this form has changes that are not saved yet.");
    Save = QStringLiteral("Save");
    Discard = QStringLiteral("Discard");
    Reload = QStringLiteral("Reload");
    Overwrite = QStringLiteral("Overwrite");
    Report_names_no_template = QStringLiteral(
        "This report button names no report template. Put a template into the Report folder "
        "of the application and name it on the button.");
    Report_format_not_available =
        QStringLiteral("Reports cannot be written as %1 files by this version of the program.");
    Making_the_report = QStringLiteral("Making the report...");
    Show_record = QStringLiteral("Show record");
    Copy = QStringLiteral("Copy");
    Copy_all = QStringLiteral("Copy all");
    Find = QStringLiteral("Find");
    Find_what = QStringLiteral("Fi&nd what:");
    Match_case = QStringLiteral("Match &case");
    Find_next = QStringLiteral("&Find Next");
    Cannot_find = QStringLiteral("Cannot find \"%1\".");
    Open_file = QStringLiteral("Open file");
    Save_file = QStringLiteral("Save file");
    Delete_file = QStringLiteral("Delete file");
    Choose_file_to_store = QStringLiteral("Choose a file to store in the database.");
    Open_or_save_stored_file = QStringLiteral("Open or save the file stored in the database.");
    Select_image_to_store = QStringLiteral("Select image to be save in the database");
    Save_image_from_database = QStringLiteral("Save image from the database");
    Delete_image_from_database = QStringLiteral("Delete the image from the database");
    No_program_opens_file = QStringLiteral(
        "No program on this computer opens files of the kind \"%1\" (%2). "
        "Do you want to save the file to disk instead?");
    About = QStringLiteral("About");
    About_text = QStringLiteral("Varnel: a run-time engine for form-based database applications.");
    About_picture_text = QStringLiteral("forms, tables, records");
    About_version = QStringLiteral("Version %1");
    Project_folder_not_found = QStringLiteral("The project folder is not found.");
    Project_folder_without_forms =
        QStringLiteral("This folder is not a project folder: it holds no forms.xml.");
    Choose_project = QStringLiteral("Open a project: choose its forms.xml");
    Exception_raised_with_message = QStringLiteral("Exception raised with message: ");
    Cancel = QStringLiteral("Cancel");
    Report_saved_no_program = QStringLiteral(
        "The report was saved as %1, but no program on this computer opens %2 files.");
    Workbook_saved_as = QStringLiteral("The workbook was saved as %1.");
    Save_a_copy_where_you_choose = QStringLiteral("Do you want to save a copy where you choose?");
    Confirm = QStringLiteral("Confirm");
    Error = QStringLiteral("Error");
    Info = QStringLiteral("Information");
    Yes = QStringLiteral("Yes");
    No = QStringLiteral("No");
}

void TLang::fillRussian()
{
    m_russian = true;
    Your_computer_does_not_have_Excel = QStringLiteral("На вашем компьютере не установлен Excel.");
    Entry_to_edit_is_no_selected = QStringLiteral("Невыбрана запись для редактирования.");
    Unable_to_determine_the_record_ID =
        QStringLiteral("Не удалось определить идентификатор записи.");
    Please_select_record_in_grid = QStringLiteral("Пожалуйста, выберите запись в таблице.");
    Report_file_not_found = QStringLiteral("Файл отчета не найден");
    Entry_to_be_deleted_is_not_selected = QStringLiteral("Запись для удаления не выбрана.");
    Are_you_sure_you_want_to_delete_the_record =
        QStringLiteral("Вы действительно желаете удалить запись?");
    Record_to_delete = QStringLiteral("Запись: %1");
    Deleted_with_it = QStringLiteral("Вместе с ней будут удалены: %1.");
    The_database_file_is_not_found = QStringLiteral("Файл базы не найден.");
    Not_a_number = QStringLiteral("Не является числом.");
    Are_you_sure_you_want_to_delete_the_image_from_the_database =
        QStringLiteral("Вы действительно желаете удалить изображение из базы данных?");
    There_is_no_file_to_save = QStringLiteral("Нет файла для сохранения.");
    Do_you_really_want_to_delete_the_file_from_the_database =
        QStringLiteral("Вы действительно желаете удалить файл из базы данных?");
    Restart_the_program_to_apply_the_settings =
        QStringLiteral("Для применения настроек, необходимо перезапустить приложение.");
    Not_a_whole_number = QStringLiteral("Не является целым числом.");
    Field_must_be_filled_in = QStringLiteral("Поле «%1» должно быть заполнено.");
    Value_is_already_used = QStringLiteral("Значение поля «%1» уже есть в другой записи.");
    Value_is_not_allowed = QStringLiteral("Значение поля «%1» недопустимо.");
    Record_refers_to_missing_record = QStringLiteral(
        "Запись ссылается на несуществующую запись, или на неё ещё ссылаются другие записи.");
    Database_is_in_use = QStringLiteral(
        "Файл базы данных %1 занят другой программой. Подождите немного и повторите действие.");
    Database_is_read_only = QStringLiteral(
        "Файл базы данных %1 недоступен для записи: файл или его папка только для чтения. "
        "Ничего не сохранено.");
    Database_is_full = QStringLiteral(
        "Для файла базы данных %1 не осталось места (диск или база данных заполнены). "
        "Ничего не сохранено.");
    Not_a_server_connection = QStringLiteral(
        "«%1» не указывает сервер баз данных. Запишите его как postgresql://сервер/база, "
        "как host=сервер dbname=база или как service=имя.");
    Server_is_busy = QStringLiteral(
        "Другой пользователь сейчас изменяет эти записи на сервере баз данных %1. Подождите "
        "немного и повторите действие.");
    Server_is_read_only = QStringLiteral(
        "Сервер баз данных %1 не разрешает вам изменять эти записи. Ничего не сохранено.");
    Server_is_full = QStringLiteral(
        "На сервере баз данных %1 не осталось места. Ничего не сохранено.");
    Server_unreachable = QStringLiteral(
        "Сервер баз данных %1 недоступен. Проверьте, что он работает и что этот компьютер "
        "подключён к нему, и попробуйте снова.");
    Server_connection_lost = QStringLiteral(
        "Связь с сервером баз данных %1 потеряна. Введённые данные сохранены в форме: "
        "повторите действие, когда сервер снова будет доступен.");
    Server_password_prompt = QStringLiteral("Пароль пользователя %1 на сервере баз данных %2:");
    Server_password_refused = QStringLiteral("Пароль не принят.");
    Server_password_refused_for = QStringLiteral(
        "Сервер баз данных %2 не принял пароль пользователя %1.");
    Record_changed_by_another_user = QStringLiteral(
        "Эту запись изменил другой пользователь после того, как вы её открыли.");
    Record_deleted_by_another_user = QStringLiteral(
        "Эту запись удалил другой пользователь после того, как вы её открыли. Ничего не "
        "сохранено; введённые данные остались в форме.");
    Reload_or_overwrite = QStringLiteral(
        "«Перечитать» покажет запись в её нынешнем виде; ваши изменения в форме будут отброшены.\n"
        "«Перезаписать» сохранит вашу версию поверх изменений другого пользователя.\n"
        "«Отмена» оставит форму как есть, ничего не сохраняя.");
    Unsaved_changes = QStringLiteral("В этой форме есть несохранённые изменения записи.");
    Save = QStringLiteral("Сохранить");
    Discard = QStringLiteral("Не сохранять");
    Reload = QStringLiteral("Перечитать");
    Overwrite = QStringLiteral("Перезаписать");
    Report_names_no_template = QStringLiteral(
        "Кнопка отчёта не указывает шаблон отчёта. Поместите шаблон в папку Report "
        "приложения и укажите его на кнопке.");
    Report_format_not_available =
        QStringLiteral("Эта версия программы не умеет сохранять отчёты в файлы %1.");
    Making_the_report = QStringLiteral("Формирование отчёта...");
    Show_record = QStringLiteral("Показать запись");
    Copy = QStringLiteral("Копировать");
    Copy_all = QStringLiteral("Копировать всё");
    Find = QStringLiteral("Найти");
    Find_what = QStringLiteral("&Что искать:");
    Match_case = QStringLiteral("С учётом &регистра");
    Find_next = QStringLiteral("Найти &далее");
    Cannot_find = QStringLiteral("Не удалось найти «%1».");
    Open_file = QStringLiteral("Открыть файл");
    Save_file = QStringLiteral("Сохранить файл");
    Delete_file = QStringLiteral("Удалить файл");
    Choose_file_to_store = QStringLiteral("Выбрать файл для сохранения в базу данных.");
    Open_or_save_stored_file = QStringLiteral("Сохранение или открытие файла из базы данных.");
    Select_image_to_store = QStringLiteral("Выбрать изображение для сохранения в базе данных");
    Save_image_from_database = QStringLiteral("Сохранить изображение из базы данных");
    Delete_image_from_database = QStringLiteral("Удалить изображение из базы данных");
    No_program_opens_file = QStringLiteral(
        "На этом компьютере нет программы, которая открывает файлы вида «%1» (%2). "
        "Сохранить файл на диск?");
    About = QStringLiteral("О программе");
    About_text = QStringLiteral("Varnel: среда выполнения настольных приложений баз данных с формами.");
    About_picture_text = QStringLiteral("формы, таблицы, записи");
    About_version = QStringLiteral("Версия %1");
    Project_folder_not_found = QStringLiteral("Папка проекта не найдена.");
    Project_folder_without_forms =
        QStringLiteral("Эта папка не папка проекта: в ней нет файла forms.xml.");
    Choose_project = QStringLiteral("Открыть проект: выберите его файл forms.xml");
    Exception_raised_with_message = QStringLiteral("Возникла ошибка: ");
    Cancel = QStringLiteral("Отмена");
    Report_saved_no_program = QStringLiteral(
        "Отчёт сохранён в файл %1, но на этом компьютере нет программы, открывающей файлы %2.");
    Workbook_saved_as = QStringLiteral("Книга сохранена в файл %1.");
    Save_a_copy_where_you_choose = QStringLiteral("Сохранить копию туда, куда вы укажете?");
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
