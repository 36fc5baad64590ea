// Record operations: filling dictionaries against the raw time of their queries, and loading
// and saving a record bound to 30 controls.
#include "actions/record_actions.h"
#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/value_controls.h"
#include "platform/desktop_services.h"
#include "platform/form.h"
#include "platform/project_folder.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
// Dictionary names end in letters: trailing digits of a reference column name a second
// reference to the same table.
QByteArray dictName(int d)
{
    return "dict" + QByteArray(1, char('a' + d));
}

constexpr int Dictionaries = 20;
constexpr int RowsPerDictionary = 10000;
constexpr int BoundControls = 30;

struct Project {
    QTemporaryDir dir;
    std::unique_ptr<TfrmMainVarnel> main;

    Project()
    {
        setExeFolder(dir.path());
        QByteArray tables, forms = "<main><frmMain>";
        for (int d = 0; d < Dictionaries; ++d) {
            tables += "[" + dictName(d) + "]\nisdictionary=1\n-name=TEXT\n";
            forms += "<TdbComboBox Name=\"cb" + QByteArray::number(d) + "\" dbForeignKey=\"rec.id_"
                     + dictName(d) + "\" dbField=\"name\" dbSort=\"True\"/>";
        }
        tables += "[rec]\n";
        QByteArray list;
        forms += "</frmMain><frmRec>";
        for (int c = 0; c < BoundControls; ++c) {
            const QByteArray f = "f" + QByteArray::number(c);
            tables += "_" + f + "=TEXT\n";
            forms += "<TdbEdit Name=\"ed" + f + "\" dbTable=\"rec\" dbField=\"" + f + "\"/>";
            list += (c ? "," : "") + QByteArray("ed") + f;
        }
        forms += "<TdbButton Name=\"bSave\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"rec\" dbListControls=\""
                 + list + "\"/></frmRec></main>";
        QFile t(dir.filePath("tables.ini"));
        t.open(QIODevice::WriteOnly);
        t.write(tables);
        t.close();
        QFile x(dir.filePath("forms.xml"));
        x.open(QIODevice::WriteOnly);
        x.write(forms);
        x.close();

        main = std::make_unique<TfrmMainVarnel>();
        main->FormShow();
        SqlConnection& db = main->connection();
        db.execute("BEGIN");
        for (int d = 0; d < Dictionaries; ++d)
            db.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<"
                       + QString::number(RowsPerDictionary) + ") INSERT INTO " + dictName(d)
                       + " (name) SELECT 'name ' || abs(random() % 100000) FROM n");
        QString values;
        for (int c = 0; c < BoundControls; ++c)
            values += (c ? ",'" : "'") + QString("value %1'").arg(c);
        db.execute("INSERT INTO rec VALUES (1," + values + ")");
        db.execute("COMMIT");
        TForm::setModalHook([](TForm* f) { f->closeForm(); });
    }
    ~Project()
    {
        TForm::setModalHook(nullptr);
        main.reset();
        setExeFolder(QString());
    }
};

Project& project()
{
    static Project p;
    return p;
}
} // namespace

static void BM_DictionaryQueriesRaw(benchmark::State& state)
{
    SqlConnection& db = project().main->connection();
    for (auto _ : state) {
        for (int d = 0; d < Dictionaries; ++d) {
            const QString t = QString::fromLatin1(dictName(d));
            SqlStatement s = db.prepare("SELECT id, [" + t + "].[name] FROM [" + t + "] ORDER BY [" + t
                                        + "].[name]");
            while (s.step()) {
                benchmark::DoNotOptimize(s.integer(0));
                benchmark::DoNotOptimize(s.text(1));
            }
        }
    }
}

static void BM_FillDictionaries(benchmark::State& state)
{
    for (auto _ : state)
        project().main->FillDictionaries(QString());
}

static void BM_LoadRecordInto30Controls(benchmark::State& state)
{
    TdbButton show(nullptr);
    show.dbFormName = "frmRec";
    show.dbGeneralTable = "rec";
    for (auto _ : state)
        project().main->FillForm(1, &show);
}

static void BM_SaveRecordFrom30Controls(benchmark::State& state)
{
    TForm* form = Forms::find("frmRec");
    auto* save = qobject_cast<TdbButton*>(form->findComponent("bSave"));
    for (auto _ : state) {
        save->dbGeneralTableId = 1;
        project().main->actions().saveRecord(save);
    }
}

BENCHMARK(BM_DictionaryQueriesRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillDictionaries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRecordInto30Controls)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveRecordFrom30Controls)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    project().main.reset();
    return 0;
}
