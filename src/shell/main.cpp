#include "controls/picture_controls.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "shell/about_box.h"
#include "shell/image_viewer.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"

int main(int argc, char** argv)
{
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Varnel"));

    TfrmMainVarnel main;
    TfrmVarnelImageViewer viewer;
    TdbImageDataBase::setViewer([&viewer](const QImage& picture) { viewer.ShowImageViewer(picture); });
    TfrmOptionsVarnel options(main.mniReport);
    TfrmVarnelAbout about;
    for (TForm* form : {static_cast<TForm*>(&viewer), static_cast<TForm*>(&options),
                        static_cast<TForm*>(&about)}) {
        Forms::registerForm(form);
        form->centerOnScreen();
    }
    main.setOptionsDialog(&options);
    main.setAboutBox(&about);
    main.setQuitOnClose(true);
    main.centerOnScreen();
    main.show();
    return QApplication::exec();
}
