// Start-up of a project folder: settings, database, schema, catalogue and forms, as the main
// window runs it when first shown. Run from the build folder; it copies examples/demo.
#include "platform/desktop_services.h"
#include "platform/project_folder.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#ifndef VARNEL_SOURCE_DIR
#define VARNEL_SOURCE_DIR "."
#endif

namespace {
void copyDemo(const QString& to)
{
    const QDir demo(QStringLiteral(VARNEL_SOURCE_DIR "/examples/demo"));
    for (const QString& name : demo.entryList(QDir::Files)) {
        if (name == QLatin1String("varnel") || name == QLatin1String("sqlite.db")
            || name == QLatin1String("settings.ini"))
            continue;
        QFile::copy(demo.filePath(name), to + u'/' + name);
    }
}

void startUp(benchmark::State& state, bool newDatabase)
{
    QTemporaryDir dir;
    copyDemo(dir.path());
    setExeFolder(dir.path());
    if (!newDatabase) {
        TfrmMainVarnel first;
        first.FormShow();
    }
    for (auto _ : state) {
        state.PauseTiming();
        if (newDatabase)
            QFile::remove(dir.filePath(QStringLiteral("sqlite.db")));
        state.ResumeTiming();
        TfrmMainVarnel main;
        TfrmOptionsVarnel options(main.mniReport);
        main.setOptionsDialog(&options);
        main.FormShow();
        benchmark::DoNotOptimize(main.startupState());
    }
    setExeFolder(QString());
}
} // namespace

static void BM_DemoStartupExistingDatabase(benchmark::State& state) { startUp(state, false); }
static void BM_DemoStartupNewDatabase(benchmark::State& state) { startUp(state, true); }
BENCHMARK(BM_DemoStartupExistingDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemoStartupNewDatabase)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
