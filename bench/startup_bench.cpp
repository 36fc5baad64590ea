// Start-up of a project folder: settings, database, schema, catalogue and forms, as the main
// window runs it when first shown. Run from the build folder; it copies examples/demo.
// --ratios compares it with its floor in turns and prints the ratio.
#include "formdefs/form_loader.h"
#include "platform/desktop_services.h"
#include "platform/form.h"
#include "platform/image_list.h"
#include "platform/project_folder.h"
#include "shell/main_window.h"
#include "shell/options_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>

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
// Time spent on this thread: the machine may be busy with other work, which wall time would
// count.
double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Start-up of the demo on its existing database, in turns with the two parts that it cannot
// do without: its forms built by LoadForms alone, and the statements it runs stepped on raw
// sqlite3. What lies between the two is start-up's own work (settings, catalogue, pictures,
// filling the controls).
void printRatios()
{
    QTemporaryDir dir;
    copyDemo(dir.path());
    setExeFolder(dir.path());
    QStringList statements;
    {
        TfrmMainVarnel first;
        first.FormShow(); // makes the database
    }
    {
        TfrmMainVarnel main;
        main.connection().setObserver([&statements](const QString& sql) { statements.append(sql); });
        main.FormShow();
        main.connection().setObserver(nullptr);
    }
    const QByteArray dbPath = dir.filePath(QStringLiteral("sqlite.db")).toUtf8();
    const QString formsXml = dir.filePath(QStringLiteral("forms.xml"));

    double bestStartup = 1e12;
    double bestFloor = 1e12;
    for (int turn = 0; turn < 7; ++turn) {
        double start = cpuMilliseconds();
        {
            sqlite3* raw = nullptr;
            sqlite3_open_v2(dbPath.constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
            for (const QString& sql : statements) {
                const QByteArray utf8 = sql.toUtf8();
                sqlite3_stmt* statement = nullptr;
                if (sqlite3_prepare_v2(raw, utf8.constData(), int(utf8.size()), &statement, nullptr) != SQLITE_OK)
                    continue;
                const int columns = sqlite3_column_count(statement);
                while (sqlite3_step(statement) == SQLITE_ROW)
                    for (int c = 0; c < columns; ++c)
                        benchmark::DoNotOptimize(sqlite3_column_text(statement, c));
                sqlite3_finalize(statement);
            }
            sqlite3_close(raw);
            auto* form = new TForm();
            Forms::registerForm(form);
            TImageList icons(16, 16, nullptr);
            TImageList edits(16, 16, nullptr);
            FormBuildContext context;
            context.mainForm = form;
            context.onButtonClick = [](TdbButton*) {};
            context.onComboChange = [](TdbComboBox*) {};
            context.onFormShow = [](TForm*) {};
            context.buttonIcons = &icons;
            context.buttonEdit = &edits;
            LoadForms(context, formsXml);
            bestFloor = std::min(bestFloor, cpuMilliseconds() - start);
            QApplication::processEvents();
            qDeleteAll(Forms::all());
        }
        QApplication::processEvents();
        start = cpuMilliseconds();
        {
            TfrmMainVarnel main;
            TfrmOptionsVarnel options(main.mniReport);
            main.setOptionsDialog(&options);
            main.FormShow();
            bestStartup = std::min(bestStartup, cpuMilliseconds() - start);
        }
        QApplication::processEvents();
    }
    std::printf("RATIO|start-up of the demo, existing database|its forms by LoadForms and its statements "
                "on raw sqlite3|%.1f|%.1f|%.2f|1.50\n",
                bestStartup, bestFloor, bestStartup / bestFloor);
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
    if (app.arguments().contains(QLatin1String("--ratios"))) {
        printRatios();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
