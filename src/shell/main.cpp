#include "controls/picture_controls.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "shell/about_box.h"
#include "shell/image_viewer.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"
#include "shell/report_batch.h"

#include <cstdio>

namespace {

// A report made from the command line shows no window, so it needs no display either.
int runReportBatch(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const ReportBatchResult result = RunReportBatch(QCoreApplication::arguments());
    if (result.exitCode != 0)
        std::fprintf(stderr, "varnel: %s\n", qPrintable(result.error));
    return result.exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--report") == 0)
            return runReportBatch(argc, argv);

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
