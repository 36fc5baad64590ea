// Building forms: LoadForms on a project of 100 forms with 50 controls each (every kind, with
// panels, group boxes and page controls nesting them), next to Qt's own run-time form loader
// building the same widgets, sizes and nesting from .ui documents. --ratios runs the two in
// turns instead (the mixed project and each kind alone) and prints their ratios.
#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "formdefs/form_loader.h"
#include "platform/form.h"
#include "platform/image_list.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <benchmark/benchmark.h>

#ifdef VARNEL_HAVE_UITOOLS
#include <QUiLoader>
#endif

namespace {

constexpr int FormCount = 100;
constexpr int ControlsPerForm = 50;
// A project of one kind only has fewer forms: 5,000 grids or calendars would weigh more than
// the builder accepts from one file.
constexpr int FormsOfOneKind = 20;

int formCount(int onlyKind) { return onlyKind < 0 ? FormCount : FormsOfOneKind; }

// One leaf control: its forms.xml element and the Qt widget class the .ui uses for it.
struct LeafKind {
    const char* element;
    const char* widgetClass;
    const char* extra; // further forms.xml attributes
};

const LeafKind Leaves[] = {
    {"TdbEdit", "QLineEdit", R"( dbTable="orders" dbField="title" dbFilter="(=")"},
    {"TdbEditCount", "QLineEdit", R"( dbTable="orders" dbBeginValue="100")"},
    {"TdbMemo", "QPlainTextEdit", R"( dbTable="orders" dbField="note")"},
    {"TdbCheckBox", "QCheckBox", R"( Caption="Paid" dbTable="orders" dbField="paid")"},
    {"TdbDateTimePicker", "QDateTimeEdit", R"( dbTable="orders" dbField="day" Kind="dtkDate")"},
    {"TdbMonthCalendar", "QCalendarWidget", R"( dbTable="orders" dbField="day")"},
    {"TdbComboBox", "QComboBox", R"( dbForeignKey="orders.id_customers" dbField="name")"},
    {"TdbStringGrid", "QTableView", R"( dbGeneralTable="orders" dbListFields="title")"},
    {"TdbImage", "QLabel", R"( dbFileName="logo.png" Stretch="True")"},
    {"TdbImageDataBase", "QLabel", R"( dbTable="people" dbField="photo")"},
    {"TdbFileToDatabase", "QLineEdit", R"( dbTable="people" dbField="scan")"},
    {"TdbLabel", "QLabel", R"( Caption="Customer")"},
    {"TdbButton", "QPushButton", R"( Caption="Save" dbActionType="adbSaveRecord" dbIconName="Save")"},
};
constexpr int LeafKindCount = sizeof(Leaves) / sizeof(Leaves[0]);

// Writes the same tree twice: as forms.xml elements and as .ui widgets.
class ProjectWriter {
public:
    // onlyKind >= 0: every control of that leaf kind, side by side without containers.
    explicit ProjectWriter(int onlyKind = -1) : m_onlyKind(onlyKind) {}

    void form(int f)
    {
        m_formName = QStringLiteral("frmForm%1").arg(f);
        m_xml += QStringLiteral("<%1 Caption=\"Form %2\" Width=\"640\" Height=\"480\" Sizeable=\"True\">\n")
                     .arg(m_formName)
                     .arg(f);
        m_ui = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n"
                              "<class>%1</class>\n<widget class=\"QWidget\" name=\"%1\">\n")
                   .arg(m_formName);
        uiGeometry(QRect(0, 0, 640, 480));
        m_ui += QStringLiteral("<property name=\"windowTitle\"><string>Form %1</string></property>\n").arg(f);
        m_count = 0;

        if (m_onlyKind < 0) {
            container("TdbPanel", "QFrame", QRect(8, 8, 300, 200), 8);
            container("TdbGroupBox", "QGroupBox", QRect(316, 8, 300, 200), 8);
            pageControl(QRect(8, 216, 400, 250), 2, 6);
        }
        while (m_count < ControlsPerForm)
            leaf(QRect(420 + (m_count % 3) * 70, 216 + (m_count % 9) * 26, 64, 22));

        m_xml += QStringLiteral("</%1>\n").arg(m_formName);
        m_ui += QStringLiteral("</widget>\n</ui>\n");
        m_uiForms.append(m_ui.toUtf8());
    }

    QByteArray formsXml() const
    {
        return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<main>\n<frmMain/>\n")
                + m_xml + QStringLiteral("</main>\n"))
            .toUtf8();
    }
    const QList<QByteArray>& uiForms() const { return m_uiForms; }

private:
    QString nextName(const char* prefix) { return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(m_count++); }

    void uiGeometry(const QRect& r)
    {
        m_ui += QStringLiteral("<property name=\"geometry\"><rect><x>%1</x><y>%2</y><width>%3</width>"
                               "<height>%4</height></rect></property>\n")
                    .arg(r.x())
                    .arg(r.y())
                    .arg(r.width())
                    .arg(r.height());
    }

    QString xmlBounds(const QRect& r) const
    {
        return QStringLiteral(" Left=\"%1\" Top=\"%2\" Width=\"%3\" Height=\"%4\"")
            .arg(r.x())
            .arg(r.y())
            .arg(r.width())
            .arg(r.height());
    }

    void leaf(const QRect& r)
    {
        const LeafKind& kind = Leaves[m_onlyKind >= 0 ? m_onlyKind : m_leaf++ % LeafKindCount];
        const QString name = nextName("c");
        m_xml += QStringLiteral("<%1 Name=\"%2\"%3 TabOrder=\"%4\" TabStop=\"True\"%5/>\n")
                     .arg(QLatin1String(kind.element), name, xmlBounds(r))
                     .arg(m_count)
                     .arg(QLatin1String(kind.extra));
        m_ui += QStringLiteral("<widget class=\"%1\" name=\"%2\">\n").arg(QLatin1String(kind.widgetClass), name);
        uiGeometry(r);
        m_ui += QStringLiteral("</widget>\n");
    }

    void container(const char* element, const char* widgetClass, const QRect& r, int children)
    {
        const QString name = nextName("box");
        m_xml += QStringLiteral("<%1 Name=\"%2\" Caption=\"Box\"%3 dbAnchors=\"2222\">\n")
                     .arg(QLatin1String(element), name, xmlBounds(r));
        m_ui += QStringLiteral("<widget class=\"%1\" name=\"%2\">\n").arg(QLatin1String(widgetClass), name);
        uiGeometry(r);
        for (int i = 0; i < children; ++i)
            leaf(QRect(8 + (i % 2) * 140, 20 + (i / 2) * 40, 130, 22));
        m_xml += QStringLiteral("</%1>\n").arg(QLatin1String(element));
        m_ui += QStringLiteral("</widget>\n");
    }

    void pageControl(const QRect& r, int pages, int childrenPerPage)
    {
        const QString name = nextName("pc");
        m_xml += QStringLiteral("<TdbPageControl Name=\"%1\"%2>\n").arg(name, xmlBounds(r));
        m_ui += QStringLiteral("<widget class=\"QTabWidget\" name=\"%1\">\n").arg(name);
        uiGeometry(r);
        for (int p = 0; p < pages; ++p) {
            const QString page = nextName("ts");
            m_xml += QStringLiteral("<TdbTabSheet Name=\"%1\" Caption=\"Page %2\" PageIndex=\"%2\">\n")
                         .arg(page)
                         .arg(p);
            m_ui += QStringLiteral("<widget class=\"QWidget\" name=\"%1\">\n"
                                   "<attribute name=\"title\"><string>Page %2</string></attribute>\n")
                        .arg(page)
                        .arg(p);
            for (int i = 0; i < childrenPerPage; ++i)
                leaf(QRect(8 + (i % 2) * 180, 8 + (i / 2) * 60, 170, 50));
            m_xml += QStringLiteral("</TdbTabSheet>\n");
            m_ui += QStringLiteral("</widget>\n");
        }
        m_xml += QStringLiteral("</TdbPageControl>\n");
        m_ui += QStringLiteral("</widget>\n");
    }

    QString m_xml;
    QString m_ui;
    QString m_formName;
    QList<QByteArray> m_uiForms;
    int m_count = 0;
    int m_leaf = 0;
    int m_onlyKind;
};

// The generated project, written once into a temporary folder.
struct Project {
    QTemporaryDir dir;
    QString formsXml;
    QStringList uiFiles;

    explicit Project(int onlyKind = -1)
    {
        ProjectWriter writer(onlyKind);
        for (int f = 0; f < formCount(onlyKind); ++f)
            writer.form(f);
        formsXml = dir.filePath(QStringLiteral("forms.xml"));
        write(formsXml, writer.formsXml());
        for (int f = 0; f < writer.uiForms().size(); ++f) {
            uiFiles.append(dir.filePath(QStringLiteral("form%1.ui").arg(f)));
            write(uiFiles.last(), writer.uiForms()[f]);
        }
    }

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
};

// The mixed project (-1) or one of a single leaf kind, made on first use.
const Project& project(int onlyKind = -1)
{
    static std::map<int, std::unique_ptr<Project>> projects;
    std::unique_ptr<Project>& p = projects[onlyKind];
    if (!p)
        p = std::make_unique<Project>(onlyKind);
    return *p;
}

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

void settle()
{
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// One of each widget class, so that both builders find styles, fonts and plugins loaded.
void warmUp()
{
    QWidget top;
    new QLineEdit(&top);
    new QPlainTextEdit(&top);
    new QCheckBox(&top);
    new QDateTimeEdit(&top);
    new QCalendarWidget(&top);
    new QComboBox(&top);
    new QTableView(&top);
    new QLabel(&top);
    new QFrame(&top);
    new QGroupBox(&top);
    new QTabWidget(&top);
    new QPushButton(&top);
}

struct LoadedForms {
    TForm* main = nullptr;
    TImageList* icons = nullptr;
    TImageList* edits = nullptr;

    void load(int onlyKind = -1)
    {
        main = new TForm();
        Forms::registerForm(main);
        icons = new TImageList(16, 16, main);
        edits = new TImageList(16, 16, main);
        FormBuildContext context;
        context.mainForm = main;
        context.onButtonClick = [](TdbButton*) {};
        context.onComboChange = [](TdbComboBox*) {};
        context.onFormShow = [](TForm*) {};
        context.buttonIcons = icons;
        context.buttonEdit = edits;
        LoadForms(context, project(onlyKind).formsXml);
    }

    static void free()
    {
        // Events the build posted are delivered first, as the running application does;
        // destroying objects with a long queue pending costs a scan of the queue for each.
        settle();
        qDeleteAll(Forms::all());
        settle();
    }
};

void loadFormsBenchmark(benchmark::State& state, int onlyKind)
{
    project(onlyKind);
    for (auto _ : state) {
        LoadedForms forms;
        forms.load(onlyKind);
        state.PauseTiming();
        if (Forms::all().size() != formCount(onlyKind) + 1)
            state.SkipWithError("not every form was built");
        LoadedForms::free();
        state.ResumeTiming();
    }
    state.counters["controls"] = formCount(onlyKind) * ControlsPerForm;
}

void BM_LoadForms(benchmark::State& state) { loadFormsBenchmark(state, -1); }
BENCHMARK(BM_LoadForms)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// One kind at a time (argument: index into Leaves), to see which controls cost what.
void BM_LoadFormsOfKind(benchmark::State& state)
{
    state.SetLabel(Leaves[state.range(0)].element);
    loadFormsBenchmark(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_LoadFormsOfKind)->DenseRange(0, LeafKindCount - 1)->Unit(benchmark::kMillisecond)->Iterations(3);

#ifdef VARNEL_HAVE_UITOOLS
QList<QWidget*> loadUiForms(QUiLoader& loader, int onlyKind = -1)
{
    QList<QWidget*> built;
    for (const QString& path : project(onlyKind).uiFiles) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        built.append(loader.load(&file));
    }
    return built;
}

void uiLoaderBenchmark(benchmark::State& state, int onlyKind)
{
    project(onlyKind);
    QUiLoader loader;
    for (auto _ : state) {
        const QList<QWidget*> built = loadUiForms(loader, onlyKind);
        state.PauseTiming();
        if (built.contains(nullptr))
            state.SkipWithError(loader.errorString().toStdString().c_str());
        settle();
        qDeleteAll(built);
        settle();
        state.ResumeTiming();
    }
    state.counters["controls"] = formCount(onlyKind) * ControlsPerForm;
}

void BM_QUiLoader(benchmark::State& state) { uiLoaderBenchmark(state, -1); }
BENCHMARK(BM_QUiLoader)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_QUiLoaderOfKind(benchmark::State& state)
{
    state.SetLabel(Leaves[state.range(0)].widgetClass);
    uiLoaderBenchmark(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_QUiLoaderOfKind)->DenseRange(0, LeafKindCount - 1)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

// Time spent on this thread: the machine may be busy with other work, which wall time would
// count.
double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// LoadForms and Qt's form loader in turns on the same project, the best of each counting,
// printed as the lines tools/run-benchmarks.sh gathers: the mixed project, then each kind on
// its own. A label or a button is its Qt widget with a few properties, so it should cost
// about what the widget costs.
void printRatios()
{
#ifdef VARNEL_HAVE_UITOOLS
    struct Row {
        int kind;
        const char* target;
    };
    std::vector<Row> rows{{-1, "1.00"}};
    for (int k = 0; k < LeafKindCount; ++k) {
        const QByteArray element = Leaves[k].element;
        rows.push_back({k, element == "TdbLabel" || element == "TdbButton" ? "1.25" : "-"});
    }
    QUiLoader loader;
    for (const Row& row : rows) {
        project(row.kind);
        double bestVarnel = 1e12;
        double bestQt = 1e12;
        const int repeats = row.kind < 0 ? 7 : 5;
        for (int i = 0; i < repeats; ++i) {
            double start = cpuMilliseconds();
            {
                LoadedForms forms;
                forms.load(row.kind);
            }
            bestVarnel = std::min(bestVarnel, cpuMilliseconds() - start);
            LoadedForms::free();
            start = cpuMilliseconds();
            const QList<QWidget*> built = loadUiForms(loader, row.kind);
            bestQt = std::min(bestQt, cpuMilliseconds() - start);
            settle();
            qDeleteAll(built);
            settle();
        }
        const QString what = row.kind < 0
            ? QStringLiteral("LoadForms, %1 forms x %2 controls").arg(FormCount).arg(ControlsPerForm)
            : QStringLiteral("LoadForms, %1 forms of %2 %3").arg(FormsOfOneKind).arg(ControlsPerForm)
                  .arg(QString::fromLatin1(Leaves[row.kind].element));
        const QString floor = row.kind < 0 ? QStringLiteral("QUiLoader building the same widgets")
                                           : QStringLiteral("QUiLoader building %1")
                                                 .arg(QString::fromLatin1(Leaves[row.kind].widgetClass));
        std::printf("RATIO|%s|%s|%.1f|%.1f|%.2f|%s\n", qPrintable(what), qPrintable(floor), bestVarnel,
                    bestQt, bestVarnel / bestQt, row.target);
        std::fflush(stdout);
    }
#else
    std::printf("Qt's form loader (qt6-tools-dev) was not found when this was built: no floor to "
                "compare with\n");
#endif
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // --rss=varnel or --rss=uiloader (optionally --kind=N for a project of one leaf kind):
    // build the project once in a fresh process and report how much the resident set grew,
    // which a timing loop that frees and rebuilds cannot.
    const QStringList args = app.arguments();
    const bool varnel = args.contains(QLatin1String("--rss=varnel"));
    if (varnel || args.contains(QLatin1String("--rss=uiloader"))) {
        int kind = -1;
        for (const QString& arg : args)
            if (arg.startsWith(QLatin1String("--kind=")))
                kind = qBound(-1, arg.mid(7).toInt(), LeafKindCount - 1);
        project(kind);
        warmUp();
        const long before = residentKilobytes();
        QElapsedTimer timer;
        timer.start();
        if (varnel) {
            LoadedForms forms;
            forms.load(kind);
        } else {
#ifdef VARNEL_HAVE_UITOOLS
            QUiLoader loader;
            loadUiForms(loader, kind);
#endif
        }
        const qint64 elapsed = timer.elapsed();
        settle();
        std::printf("%s: built in %lld ms; resident set grew by %.1f MB\n",
                    kind < 0 ? "every kind" : Leaves[kind].element, static_cast<long long>(elapsed),
                    static_cast<double>(residentKilobytes() - before) / 1024.0);
        return 0;
    }
    if (args.contains(QLatin1String("--ratios"))) {
        warmUp();
        printRatios();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    // Both builders once before anything is measured: whichever ran first would otherwise pay
    // for growing the heap that the other one then reuses.
    warmUp();
    {
        LoadedForms forms;
        forms.load();
        LoadedForms::free();
#ifdef VARNEL_HAVE_UITOOLS
        QUiLoader loader;
        const QList<QWidget*> built = loadUiForms(loader);
        settle();
        qDeleteAll(built);
        settle();
#endif
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
