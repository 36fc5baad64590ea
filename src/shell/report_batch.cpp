#include "shell/report_batch.h"

#include "catalogue/catalogue.h"
#include "catalogue/letter_case.h"
#include "catalogue/sql_text.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "platform/sql_connection.h"
#include "platform/wide_text.h"
#include "report/engine/dataset.h"
#include "report/engine/template.h"
#include "report/report.h"
#include "shell/project_database.h"

#include <QDir>
#include <algorithm>
#include <QFileInfo>

namespace {

struct BatchOptions {
    QString templateName;
    QString format;
    QString output;
    std::optional<QString> sql;
    std::optional<qint64> id;
    QList<QPair<QString, QString>> params; // --param name=value, in order
};

const QString Usage = QStringLiteral("usage: varnel --report TEMPLATE --format pdf|jpeg|tiff|html|rtf|odt|ods|xls "
                                     "--output FILE [--sql \"SELECT ...\"] [--id N] [--param NAME=VALUE]...");

// Reads the options; a wrong one raises a FormatError whose text is the line to print.
BatchOptions parse(const QStringList& arguments)
{
    BatchOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (i + 1 >= arguments.size())
            throw FormatError(QStringLiteral("%1 needs a value; %2").arg(option, Usage));
        const QString value = arguments[++i];
        if (option == u"--report")
            options.templateName = value;
        else if (option == u"--format")
            options.format = value.toLower();
        else if (option == u"--output")
            options.output = value;
        else if (option == u"--sql")
            options.sql = value;
        else if (option == u"--id") {
            bool ok = false;
            options.id = value.toLongLong(&ok);
            if (!ok)
                throw FormatError(QStringLiteral("--id needs a whole number, not \"%1\"").arg(value));
        } else if (option == u"--param") {
            const qsizetype equals = value.indexOf(u'=');
            if (equals <= 0)
                throw FormatError(QStringLiteral("--param needs NAME=VALUE, not \"%1\"").arg(value));
            options.params.append({value.left(equals), value.mid(equals + 1)});
        } else {
            throw FormatError(QStringLiteral("unknown option %1; %2").arg(option, Usage));
        }
    }
    if (options.templateName.isEmpty() || options.format.isEmpty() || options.output.isEmpty())
        throw FormatError(Usage);
    return options;
}

// The template's file: a name relative to the project's Report folder, or a full path (as a
// shell completes it) that lies inside that folder.
QString templatePathOf(QString name)
{
    name.replace(u'\\', u'/');
    const QString folder = ExeFolder() + QStringLiteral("Report/");
    if (!QDir::isAbsolutePath(name))
        return folder + name;
    const QString file = QFileInfo(name).canonicalFilePath();
    if (file.isEmpty())
        return name;
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty() || !file.startsWith(root + u'/'))
        throw FileError(QStringLiteral("the report template %1 is not in the project's Report folder %2")
                            .arg(QDir::toNativeSeparators(name), QDir::toNativeSeparators(folder)));
    return file;
}

// The values of the template's parameters from the --param options: every one named must be a
// parameter of the template and read as its kind, a choice one of its query's values, and every
// parameter without a default must be given.
ParameterValues parameterValues(const ReportTemplate& t, const BatchOptions& options, SqlConnection& db)
{
    ParameterValues values;
    for (const auto& [name, text] : options.params) {
        const auto p = std::find_if(t.parameters.begin(), t.parameters.end(), [&name](const ReportParameter& p) {
            return p.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (p == t.parameters.end())
            throw FormatError(QStringLiteral("--param %1: the template %2 has no parameter of that name")
                                  .arg(name, options.templateName));
        if (ReportParameters::find(values, name))
            throw FormatError(QStringLiteral("--param %1 is given twice").arg(name));
        const std::optional<ReportValue> value = ReportParameters::read(p->kind, text);
        if (!value)
            throw FormatError(QStringLiteral("--param %1: \"%2\" is not %3")
                                  .arg(p->name, text, ReportParameters::expected(p->kind)));
        if (p->kind == ParameterKind::Choice) {
            SqlStatement choices = db.prepare(AuthorSql(db, p->query));
            bool found = false;
            while (!found && choices.step())
                found = choices.columnCount() > 0 && choices.text(0) == text;
            if (!found)
                throw FormatError(QStringLiteral("--param %1: \"%2\" is not one of the values of its query")
                                      .arg(p->name, text));
        }
        values.push_back(ParameterValue{p->name, *value});
    }
    for (const ReportParameter& p : t.parameters)
        if (!ReportParameters::find(values, p.name) && p.defaultValue.isEmpty())
            throw FormatError(QStringLiteral("the template %1 asks for the parameter %2 (%3): give it with --param %2=VALUE")
                                  .arg(options.templateName, p.name, ReportParameters::expected(p.kind)));
    return values;
}

void run(const BatchOptions& options)
{
    // The sheet and document names the filters write are in the user's language.
    Lang.fillFor(desktop().userLocale());
    Report report;
    ExportFilter* filter = report.filter(options.format);
    if (!filter)
        throw FormatError(QStringLiteral("unknown format \"%1\"; known: %2")
                              .arg(options.format, ExportFilters::keys().join(QStringLiteral(", "))));
    const QString& name = options.templateName;
    const QString templatePath = templatePathOf(name);
    if (!QFileInfo(templatePath).isFile())
        throw FileError(QStringLiteral("report template not found: %1").arg(templatePath));

    // The database first: a run that cannot reach it says so whatever else is wrong.
    SqlConnection db;
    OpenProjectDatabaseReadOnly(db);
    // DISPLAY() shows texts as the database keeps its letters.
    SetLettersKeptAsTyped(ReadLettersAsTyped(db));
    // The catalogue spells the names in author SQL for a server.
    if (db.isServer())
        LoadTables(ExeFolder() + QStringLiteral("tables.ini"));
    report.loadTemplate(templatePath);
    QString sql = options.sql.value_or(report.reportTemplate().query).trimmed();
    if (sql.isEmpty())
        throw FormatError(
            QStringLiteral("no query: the template %1 carries none and --sql was not given").arg(name));
    // Without an id the query would run with "$id" in it and make an empty report that a
    // scheduled job takes for a good one.
    if (options.id)
        sql.replace(QStringLiteral("$id"), QString::number(*options.id), Qt::CaseInsensitive);
    else if (sql.contains(QStringLiteral("$id"), Qt::CaseInsensitive))
        throw FormatError(QStringLiteral("the query uses $id: give the record id with --id N"));

    const ParameterValues values = parameterValues(report.reportTemplate(), options, db);
    report.setParameterValues(values);

    ReportDataset data;
    data.setUserName(QStringLiteral("Report"));
    // The rows go from the statement into the pages as they are made: a long result is never
    // held whole.
    const SqlParams params = report.queryParameters();
    data.setStream(params.isEmpty() ? db.prepare(AuthorSql(db, sql)) : db.prepare(AuthorSql(db, sql), params), false);
    report.addDataset(&data);
    report.setSubreportSource([&db](const QString& query) { return db.prepareBound(AuthorSql(db, query)); });
    report.prepare(true);

    filter->setFileName(options.output);
    filter->setShowDialog(false);
    report.exportTo(*filter);
}

} // namespace

ReportBatchResult RunReportBatch(const QStringList& arguments)
{
    try {
        run(parse(arguments));
        return {};
    } catch (const VarnelError& error) {
        return CommandOutcome::failure(ExitCode::Failed, error.message().simplified());
    } catch (const std::exception& error) {
        return CommandOutcome::failure(ExitCode::Failed, QString::fromLocal8Bit(error.what()).simplified());
    }
}
