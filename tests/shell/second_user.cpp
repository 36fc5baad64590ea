// A second user of the same project: a program of its own, started by the test that plays the
// first user, so that two processes work on one database as two people would.
//   second_user FOLDER edit TABLE ID FORM CONTROL VALUE SAVE-BUTTON
//     opens record ID of TABLE in FORM as the program does, types VALUE into CONTROL and
//     presses SAVE-BUTTON;
//   second_user FOLDER delete TABLE ID
//     deletes the record.
// Prints "done" and every message the program showed.
#include "controls/action_button.h"
#include "controls/value_controls.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "platform/project_folder.h"
#include "platform/sql_dialect.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"
#include "support/scripted_desktop.h"

#include <QApplication>
#include <QLocale>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 5)
        return 2;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    GuardedApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    ScriptedDesktop& desk = ScriptedDesktop::install();
    setExeFolder(args[1]);

    TfrmMainVarnel main;
    TfrmOptionsVarnel options(main.mniReport);
    main.setOptionsDialog(&options);
    guarded([&] { main.FormShow(); });
    if (main.startupState() != TfrmMainVarnel::StartupState::Running)
        return 3;

    const QString& action = args[2];
    const QString& table = args[3];
    const qint32 id = args[4].toInt();
    if (action == u"edit" && args.size() >= 9) {
        TForm::setModalHook([&](TForm* shown) {
            auto* edit = qobject_cast<TdbEdit*>(shown->findComponent(args[6]));
            auto* save = qobject_cast<TdbButton*>(shown->findComponent(args[8]));
            if (!edit || !save) {
                shown->closeForm();
                return;
            }
            edit->setText(args[7]);
            save->click();
            if (shown->isVisible())
                shown->closeForm();
        });
        TdbButton opener(nullptr);
        opener.dbGeneralTable = table;
        opener.dbFormName = args[5];
        guarded([&] { main.FillForm(id, &opener); });
    } else if (action == u"delete") {
        guarded([&] {
            main.connection().execute(QStringLiteral("DELETE FROM ")
                                      + main.connection().dialect().name(table)
                                      + QStringLiteral(" WHERE id=") + QString::number(id));
        });
    } else {
        return 2;
    }
    std::printf("done\n");
    for (const auto& message : desk.messages)
        std::printf("message %s\n", qPrintable(message.text));
    std::fflush(stdout);
    return 0;
}
