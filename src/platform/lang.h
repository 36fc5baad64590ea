#pragma once

#include <QLocale>
#include <QString>

// Every message text and message-box caption of the engine, English or Russian.
// The one process-wide instance is Lang, filled once at start-up.
struct TLang {
    QString Your_computer_does_not_have_Excel;
    QString Entry_to_edit_is_no_selected;
    QString Unable_to_determine_the_record_ID;
    QString Please_select_record_in_grid;
    QString Report_file_not_found;
    QString Entry_to_be_deleted_is_not_selected;
    QString Are_you_sure_you_want_to_delete_the_record;
    QString Record_to_delete;
    QString Deleted_with_it;
    QString The_database_file_is_not_found;
    QString Not_a_number;
    QString Are_you_sure_you_want_to_delete_the_image_from_the_database;
    QString There_is_no_file_to_save;
    QString Do_you_really_want_to_delete_the_file_from_the_database;
    QString Restart_the_program_to_apply_the_settings;
    QString No_data_to_add;
    QString Not_a_whole_number;
    QString Field_must_be_filled_in;
    QString Value_is_already_used;
    QString Value_is_not_allowed;
    QString Record_refers_to_missing_record;
    QString Database_is_in_use;
    QString Database_is_read_only;
    QString Database_is_full;
    QString Not_a_server_connection;
    QString Server_is_busy;
    QString Server_is_read_only;
    QString Server_is_full;
    QString Server_unreachable;
    QString Server_connection_lost;
    QString Server_password_prompt;
    QString Server_password_refused;
    QString Server_password_refused_for;
    QString Record_changed_by_another_user;
    QString Record_deleted_by_another_user;
    QString Reload_or_overwrite;
    QString Unsaved_changes;
    QString Save;
    QString Discard;
    QString Reload;
    QString Overwrite;
    QString Report_names_no_template;
    QString Report_format_not_available;
    QString Making_the_report;
    QString Cancel;
    QString Report_saved_no_program;
    QString Workbook_saved_as;
    QString Save_a_copy_where_you_choose;
    QString Show_record;
    QString Copy;
    QString Copy_all;
    QString Find;
    QString Find_what;
    QString Match_case;
    QString Find_next;
    QString Cannot_find;
    QString Open_file;
    QString Save_file;
    QString Delete_file;
    QString Choose_file_to_store;
    QString Open_or_save_stored_file;
    QString Select_image_to_store;
    QString Save_image_from_database;
    QString Delete_image_from_database;
    QString No_program_opens_file;
    QString About;
    QString About_text;
    QString About_picture_text;
    QString About_version;
    QString Project_folder_not_found;
    QString Project_folder_without_forms;
    QString Choose_project;
    QString Exception_raised_with_message;
    QString Confirm;
    QString Error;
    QString Info;
    QString Yes;
    QString No;

    TLang() { fillEnglish(); }
    void fillEnglish();
    // Russian texts for every field that has one; No_data_to_add stays English.
    void fillRussian();
    // English, or Russian for a locale that reads the Russian texts.
    void fillFor(const QLocale& locale);

    // The captions of the report windows, the designer and the export targets, by their English
    // text: in Russian while the table holds the Russian texts. A caption without a Russian text
    // stays English.
    QString caption(const char* english) const;
    static bool hasRussianCaption(const char* english);

private:
    bool m_russian = false;
};

extern TLang Lang;

// Russian, Ukrainian, Belarusian, Kazakh, Armenian, Kyrgyz, Tajik and Azerbaijani in
// Cyrillic script read the Russian texts.
bool usesRussianTexts(const QLocale& locale);
