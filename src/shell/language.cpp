#include "shell/language.h"

#include "platform/desktop_services.h"
#include "platform/lang.h"
#include "shell/about_box.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTranslator>

namespace {
void loadQtTranslations()
{
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    auto* translator = new QTranslator(qApp);
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}
} // namespace

void ApplyLanguage(TfrmMainVarnel& main, TfrmOptionsVarnel* options)
{
    Lang.fillEnglish();
    const bool russian = usesRussianTexts(desktop().userLocale());
    if (russian)
        Lang.fillRussian();
    // The About box is made before the language is known.
    if (TfrmVarnelAbout* about = main.aboutBox())
        about->applyLanguage();
    if (!russian)
        return;

    loadQtTranslations();

    main.mniFile->setTitle(QStringLiteral("&Файл"));
    main.mniClose->setText(QStringLiteral("&Закрыть"));
    main.mniOptions->setTitle(QStringLiteral("&Инструменты"));
    main.mniDBLocation->setText(QStringLiteral("&Расположение файла базы данных"));
    main.mniReport->setText(QStringLiteral("&Открыть дизайнер отчетов"));
    main.mniAbout->setText(QStringLiteral("О &программе"));

    if (!options)
        return;
    options->setWindowTitle(QStringLiteral("Настройка"));
    options->gbDatabase->setTitle(QStringLiteral(" Файл базы данных "));
    options->rbAppFolder->setText(QStringLiteral("Сохранять файл базы данных в папке с программой."));
    options->rbDBFilename->setText(QStringLiteral("Выбрать местоположение файла базы данных."));
    options->lbPath->setText(QStringLiteral(
        "Допустимо использовать базу данных в сети (пример: \\\\PCNAME\\Folder\\sqlite.db)"));
    options->rbServer->setText(QStringLiteral("Использовать базу данных на сервере PostgreSQL."));
    options->lbServer->setText(QStringLiteral("Например, postgresql://server/shop или service=shop. "
                                              "Пароли здесь не хранятся."));
    options->cbLettersAsTyped->setText(QStringLiteral("Хранить буквы любого алфавита как введены"));
    options->cbLettersAsTyped->setToolTip(
        QStringLiteral("Тексты хранятся как введены, а поиск не различает заглавные и строчные буквы "
                       "любого алфавита. Включенная настройка остается включенной для всех, кто "
                       "открывает эту базу данных."));
    options->bCancel->setText(QStringLiteral("Отмена"));
}
