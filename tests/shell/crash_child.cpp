// Saves customers through the program's own save path, one after another, until it is
// killed. Each save that returned is announced on standard output before the next begins,
// so the test that kills it knows which rows must have survived.
#include "crash_child_rows.h"

#include "controls/action_button.h"
#include "controls/value_controls.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "platform/project_folder.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"
#include "support/scripted_desktop.h"

#include <QApplication>
#include <QLocale>
#include <cstdio>


int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 3)
        return 2;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    GuardedApplication app(argc, argv);
    ScriptedDesktop& desk = ScriptedDesktop::install();
    setExeFolder(QString::fromLocal8Bit(argv[1]));
    const int first = QString::fromLocal8Bit(argv[2]).toInt();

    TfrmMainVarnel main;
    TfrmOptionsVarnel options(main.mniReport);
    main.setOptionsDialog(&options);
    TForm::setModalHook([](TForm* shown) { shown->closeForm(); });
    guarded([&] { main.FormShow(); });
    TForm* form = Forms::find(QStringLiteral("frmCustomer"));
    if (!form || !desk.messages.empty())
        return 3;
    auto* name = qobject_cast<TdbEdit*>(form->findComponent(QStringLiteral("edName")));
    auto* notes = qobject_cast<TdbMemo*>(form->findComponent(QStringLiteral("mmNotes")));
    auto* save = qobject_cast<TdbButton*>(form->findComponent(QStringLiteral("bSaveCustomer")));
    if (!name || !notes || !save)
        return 4;
    std::printf("ready\n");
    std::fflush(stdout);
    for (int n = first;; ++n) {
        name->setText(QStringLiteral("row %1").arg(n));
        notes->setPlainText(crashChildNotes(n));
        save->dbGeneralTableId = -1;
        save->click();
        if (!desk.messages.empty()) {
            std::printf("error %s\n", qPrintable(desk.messages.front().text));
            std::fflush(stdout);
            return 5;
        }
        std::printf("saved %d\n", n);
        std::fflush(stdout);
    }
}
