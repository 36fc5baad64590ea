#include "shell/sql_check.h"

#include "actions/record_actions.h"
#include "catalogue/catalogue.h"
#include "catalogue/sql_text.h"
#include "controls/action_button.h"
#include "controls/combo_box.h"
#include "controls/record_grid.h"
#include "controls/value_controls.h"
#include "formdefs/form_loader.h"
#include "platform/day_count.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/project_folder.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"
#include "report/engine/template.h"
#include "shell/main_window.h"
#include "shell/project_database.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString Usage = QStringLiteral("usage: varnel --check-sql");

// What a user might have put into the controls. A number reads as text, as a number and as a
// record id, so one stand-in fits wherever a placeholder or a filter can stand.
constexpr qint32 StandInId = 1;
const QString StandInText = QStringLiteral("1");
const QDate StandInDay(2000, 1, 2);

// Gives every control of the form a value, so that each filter adds its condition and its
// joins to a search, and every placeholder of an SQL or report button has a value of its kind.
void giveStandIns(TForm* form)
{
    for (QObject* c : form->components()) {
        if (auto* edit = qobject_cast<TdbEdit*>(c)) {
            edit->setText(StandInText);
        } else if (auto* counter = qobject_cast<TdbEditCount*>(c)) {
            counter->setText(StandInText);
        } else if (auto* memo = qobject_cast<TdbMemo*>(c)) {
            memo->setPlainText(StandInText);
        } else if (auto* check = qobject_cast<TdbCheckBox*>(c)) {
            check->setCheckState(Qt::Checked);
        } else if (auto* box = qobject_cast<TdbComboBox*>(c)) {
            box->AddRecord(StandInId, StandInText);
            box->setCurrentIndex(box->count() - 1);
        } else if (auto* grid = qobject_cast<TdbStringGridEx*>(c)) {
            grid->setColCount(qMax(1, grid->colCount()));
            grid->setRowCount(2);
            grid->dbListId = TIdList{QString::number(StandInId)};
            grid->setRow(1);
        } else if (auto* picker = qobject_cast<TdbDateTimePicker*>(c)) {
            picker->setDateTime(StandInDay.startOfDay());
            picker->setChecked(true);
        } else if (auto* calendar = qobject_cast<TdbMonthCalendar*>(c)) {
            calendar->setValue(DayCount::fromDate(StandInDay));
        } else if (auto* button = qobject_cast<TdbButton*>(c)) {
            button->dbGeneralTableId = StandInId; // "$id"
        }
    }
}

class Checker {
public:
    explicit Checker(SqlConnection& db) : m_db(db) {}

    // Builds one statement and has the database prepare it. A statement that cannot even be
    // built fails as the action would; an empty one is nothing to check.
    template <class Build>
    void check(const QString& where, Build build)
    {
        QString sql;
        if (!attempt(where, [&] { sql = build(); })) {
            ++m_checked;
            return;
        }
        if (sql.trimmed().isEmpty())
            return;
        ++m_checked;
        attempt(where, [&] { m_db.check(sql); });
    }
    // Author SQL as the engine hands it to this database.
    QString author(const QString& sql) const { return AuthorSql(m_db, sql); }
    const SqlDialect& dialect() const { return m_db.dialect(); }

    int checked() const { return m_checked; }
    const QStringList& failures() const { return m_failures; }

private:
    // Runs the work; a failure is noted under where.
    template <class Work>
    bool attempt(const QString& where, Work work)
    {
        try {
            work();
            return true;
        } catch (const VarnelError& error) {
            m_failures.append(where + QStringLiteral(": ") + error.message().simplified());
        } catch (const std::exception& error) {
            m_failures.append(where + QStringLiteral(": ") + QString::fromLocal8Bit(error.what()).simplified());
        }
        return false;
    }

    SqlConnection& m_db;
    int m_checked = 0;
    QStringList m_failures;
};

// A calculated field as a grid lists it.
void checkCalculatedFields(Checker& checker)
{
    const SqlDialect& d = checker.dialect();
    for (const QString& line : CalcFieldCatalogue()) {
        const QString name = line.left(line.indexOf(u'='));
        const qsizetype dot = name.indexOf(u'.');
        const QString table = name.left(dot);
        const QString field = name.mid(dot + 1);
        checker.check(QStringLiteral("tables.ini ") + name + QStringLiteral(" (calculated field)"), [&] {
            return QStringLiteral("SELECT ") + ExpandCalcFields(d.column(table, field), true, d)
                   + QStringLiteral(" FROM ") + d.name(table);
        });
    }
}

void checkForm(Checker& checker, TForm* form)
{
    const QString prefix = form->formName() + u'.';
    // A grid's own search first: a search button later gives its result grid the button's.
    for (TdbStringGridEx* grid : form->componentsOf<TdbStringGridEx>()) {
        if (!grid->dbAutoExecute && (grid->dbGeneralTable.isEmpty() || grid->dbListFields.isEmpty()))
            continue; // filled by its search buttons or by author SQL only
        checker.check(prefix + grid->objectName() + QStringLiteral(" (grid search)"),
                      [grid] { return grid->dbSearchSql(); });
    }
    for (QObject* component : form->components()) {
        const QString where = prefix + component->objectName();
        if (auto* b = qobject_cast<TdbButton*>(component)) {
            switch (b->dbActionType) {
            case adbSearch:
                checker.check(where + QStringLiteral(" (search)"),
                              [b] { return TRecordActions::prepareSearch(b)->dbSearchSql(); });
                break;
            case adbSQL:
                checker.check(where + QStringLiteral(" (SQL)"),
                              [&] { return checker.author(TRecordActions::sqlActionText(b)); });
                break;
            case adbReport:
                checker.check(where + QStringLiteral(" (report query)"),
                              [&] { return checker.author(TRecordActions::reportQueryText(b)); });
                // Without a query of its own the button runs its template's, with its placeholders.
                if (b->dbSQL.trimmed().isEmpty() && !b->dbReportFile.isEmpty())
                    checker.check(where + QStringLiteral(" (template query)"), [&] {
                        const QString path = ExeFolder() + QStringLiteral("Report/") + QString(b->dbReportFile).replace(u'\\', u'/');
                        if (!QFileInfo(path).isFile())
                            return QString();
                        return checker.author(TRecordActions::reportQueryText(b, ReportTemplateFormat::readFile(path).query));
                    });
                break;
            default:
                break;
            }
        } else if (auto* box = qobject_cast<TdbComboBox*>(component)) {
            if (box->dbParentCombo.isEmpty()) {
                checker.check(where + QStringLiteral(" (dictionary)"), [&] {
                    return TRecordActions::dictionaryStatement(checker.dialect(), box);
                });
                continue;
            }
            // A box whose parent is not on the form is never filled, so it runs nothing.
            auto* parent = qobject_cast<TdbComboBox*>(form->findComponent(box->dbParentCombo));
            if (parent)
                checker.check(where + QStringLiteral(" (linked dictionary)"), [&] {
                    return TRecordActions::childDictionaryStatement(checker.dialect(), box, parent,
                                                                    StandInId);
                });
        }
    }
}

// The queries of the sub-reports that stand in the bands, and in theirs, at any depth: each
// prepared with its ":name" parameters as a report run prepares it. A nested one is named
// with the sub-reports it stands in ("Items in Orders").
void checkSubreports(Checker& checker, const QString& where, const std::vector<const Band*>& bands,
                     const QString& outer)
{
    for (const Band* band : bands) {
        for (const ReportObject& object : band->objects) {
            if (object.kind != ObjectKind::Subreport || !object.subreport)
                continue;
            const Subreport& sub = *object.subreport;
            const QString name = outer.isEmpty() ? object.name : object.name + QStringLiteral(" in ") + outer;
            checker.check(where + QStringLiteral(" (sub-report %1)").arg(name),
                          [&] { return checker.author(sub.query); });
            std::vector<const Band*> inner;
            for (const std::optional<Band>* b : {&sub.header, &sub.detail, &sub.footer})
                if (*b)
                    inner.push_back(&**b);
            checkSubreports(checker, where, inner, name);
        }
    }
}

void checkSubreports(Checker& checker, const QString& where, const ReportTemplate& report)
{
    std::vector<const Band*> bands;
    auto add = [&bands](const std::optional<Band>& band) {
        if (band)
            bands.push_back(&*band);
    };
    add(report.title);
    add(report.pageHeader);
    for (const ReportGroup& group : report.groups)
        add(group.header);
    add(report.detail);
    for (auto group = report.groups.rbegin(); group != report.groups.rend(); ++group)
        add(group->footer);
    add(report.pageFooter);
    add(report.summary);
    checkSubreports(checker, where, bands, QString());
}

// Every template below Report/, in sub-folders too, with the query it carries for batch runs.
void checkTemplates(Checker& checker)
{
    const QDir folder(ExeFolder() + QStringLiteral("Report"));
    QStringList files;
    QDirIterator it(folder.path(), {QStringLiteral("*.xml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    for (const QString& path : files) {
        const QString where = QStringLiteral("Report/") + folder.relativeFilePath(path);
        checker.check(where + QStringLiteral(" (template query)"), [&] {
            QString sql = ReportTemplateFormat::readFile(path).query;
            sql.replace(QStringLiteral("$id"), QString::number(StandInId), Qt::CaseInsensitive);
            // The controls a report button puts in stand for what a user might have typed.
            static const QRegularExpression placeholder(QStringLiteral("\\{[A-Za-z_][A-Za-z0-9_]*\\}"));
            sql.replace(placeholder, StandInText);
            return checker.author(sql);
        });
        // A template that cannot be read is told above.
        ReportTemplate report;
        try {
            report = ReportTemplateFormat::readFile(path);
        } catch (const VarnelError&) {
            continue;
        }
        // The query of each choice its dialog offers.
        for (const ReportParameter& p : report.parameters)
            if (p.kind == ParameterKind::Choice)
                checker.check(where + QStringLiteral(" (choices of parameter %1)").arg(p.name),
                              [&] { return checker.author(p.query); });
        checkSubreports(checker, where, report);
    }
}

// The forms of forms.xml, built on the engine's own main window as start-up builds them and
// deleted again when this goes.
class BuiltForms {
public:
    explicit BuiltForms(TfrmMainVarnel& main) : m_main(main), m_before(Forms::all()) {}
    ~BuiltForms()
    {
        for (TForm* form : forms())
            if (form != &m_main)
                delete form;
    }
    BuiltForms(const BuiltForms&) = delete;
    BuiltForms& operator=(const BuiltForms&) = delete;

    void build()
    {
        FormBuildContext context;
        context.mainForm = &m_main;
        context.buttonIcons = m_main.ImageListButtonIcons;
        context.buttonEdit = m_main.ImageListButtonEdit;
        context.connection = &m_main.connection();
        try {
            LoadForms(context, ExeFolder() + QStringLiteral("forms.xml"));
        } catch (const VarnelError& error) {
            // The reader names the file; the builder names only the control it refused.
            if (error.message().contains(QLatin1String("forms.xml")))
                throw;
            throw FormatError(QStringLiteral("forms.xml: ") + error.message());
        }
    }
    // The main window first, then the forms in the order of forms.xml.
    QList<TForm*> forms() const
    {
        QList<TForm*> built{&m_main};
        for (TForm* form : Forms::all())
            if (form != &m_main && !m_before.contains(form))
                built.append(form);
        return built;
    }

private:
    TfrmMainVarnel& m_main;
    QList<TForm*> m_before;
};

CommandOutcome check()
{
    TfrmMainVarnel main;
    SqlConnection& db = main.connection();
    OpenProjectDatabaseReadOnly(db);
    if (db.isServer() && !db.schemaExists())
        throw VarnelError(QStringLiteral("the database %1 holds no tables yet: start varnel once to "
                                           "make them, or copy the project's database into it with "
                                           "--copy-database")
                                .arg(db.path()));
    LoadTables(ExeFolder() + QStringLiteral("tables.ini"));

    BuiltForms built(main);
    built.build();
    Checker checker(db);
    checkCalculatedFields(checker);
    const QList<TForm*> forms = built.forms();
    for (TForm* form : forms)
        giveStandIns(form);
    for (TForm* form : forms)
        checkForm(checker, form);
    checkTemplates(checker);

    CommandOutcome outcome;
    outcome.output = checker.failures();
    const int failed = static_cast<int>(checker.failures().size());
    outcome.output.append(QStringLiteral("%1 statements checked against %2: %3")
                              .arg(checker.checked())
                              .arg(db.path(), failed == 0 ? QStringLiteral("all passed")
                                                          : QStringLiteral("%1 failed").arg(failed)));
    outcome.exitCode = failed == 0 ? ExitCode::Ok : ExitCode::Failed;
    return outcome;
}

} // namespace

CommandOutcome RunSqlCheck(const QStringList& arguments)
{
    if (arguments.size() != 2 || arguments.at(1) != u"--check-sql")
        return CommandOutcome::failure(ExitCode::Usage, Usage);
    try {
        return check();
    } catch (const VarnelError& error) {
        return CommandOutcome::failure(ExitCode::Usage, error.message().simplified());
    } catch (const std::exception& error) {
        return CommandOutcome::failure(ExitCode::Usage, QString::fromLocal8Bit(error.what()).simplified());
    }
}
