#include "shell/start_options.h"

#include "report/export/export_filter.h"
#include "shell/version.h"

#include <QHash>
#include <optional>

namespace {

using Mode = StartOptions::Mode;

struct OptionRule {
    bool takesValue = false;
    // The command-line mode the option starts; Window when it starts none.
    Mode starts = Mode::Window;
    // The mode the option belongs to; Window when it goes with any.
    Mode belongsTo = Mode::Window;
};

const QHash<QString, OptionRule>& rules()
{
    static const QHash<QString, OptionRule> table = {
        {QStringLiteral("--project"), {true, Mode::Window, Mode::Window}},
        {QStringLiteral("--choose-project"), {false, Mode::ChooseProject, Mode::Window}},
        {QStringLiteral("--report"), {true, Mode::Report, Mode::Report}},
        {QStringLiteral("--format"), {true, Mode::Window, Mode::Report}},
        {QStringLiteral("--output"), {true, Mode::Window, Mode::Report}},
        {QStringLiteral("--sql"), {true, Mode::Window, Mode::Report}},
        {QStringLiteral("--id"), {true, Mode::Window, Mode::Report}},
        {QStringLiteral("--param"), {true, Mode::Window, Mode::Report}},
        {QStringLiteral("--check-sql"), {false, Mode::CheckSql, Mode::CheckSql}},
        {QStringLiteral("--copy-database"), {true, Mode::CopyDatabase, Mode::CopyDatabase}},
        {QStringLiteral("--help"), {false, Mode::Help, Mode::Window}},
        {QStringLiteral("-h"), {false, Mode::Help, Mode::Window}},
        {QStringLiteral("--version"), {false, Mode::Version, Mode::Window}},
    };
    return table;
}

QString modeOption(Mode mode)
{
    for (auto it = rules().cbegin(); it != rules().cend(); ++it)
        if (it.value().starts == mode && it.key().startsWith(QStringLiteral("--")))
            return it.key();
    return QString();
}

StartOptions wrong(const QString& why)
{
    StartOptions options;
    options.mode = Mode::Wrong;
    options.error = why;
    return options;
}

} // namespace

StartOptions ReadStartOptions(const QStringList& arguments)
{
    StartOptions options;
    options.commandArguments = arguments.mid(0, 1);
    bool projectGiven = false;
    QStringList modeOnlyOptions;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        QString name = argument;
        std::optional<QString> value;
        if (argument.startsWith(QStringLiteral("--")) && argument.contains(u'=')) {
            name = argument.section(u'=', 0, 0);
            value = argument.section(u'=', 1);
        }
        const auto rule = rules().constFind(name);
        if (rule == rules().cend()) {
            if (argument.startsWith(u'-') && argument.size() > 1)
                return wrong(QStringLiteral("unknown option %1").arg(argument));
            return wrong(QStringLiteral("unexpected argument \"%1\"").arg(argument));
        }
        if (rule->takesValue && !value) {
            if (i + 1 >= arguments.size())
                return wrong(QStringLiteral("%1 needs a value").arg(name));
            value = arguments.at(++i);
        } else if (!rule->takesValue && value) {
            return wrong(QStringLiteral("%1 takes no value").arg(name));
        }

        if (rule->starts == Mode::Help || rule->starts == Mode::Version) {
            options.mode = rule->starts;
            return options;
        }
        if (name == u"--project") {
            if (projectGiven)
                return wrong(QStringLiteral("--project is given twice"));
            projectGiven = true;
            options.projectFolder = *value;
            if (options.projectFolder.isEmpty())
                return wrong(QStringLiteral("--project needs a folder"));
            continue;
        }
        if (rule->starts != Mode::Window) {
            if (options.mode != Mode::Window && options.mode != rule->starts)
                return wrong(QStringLiteral("%1 and %2 cannot be used together")
                                 .arg(modeOption(options.mode), name));
            options.mode = rule->starts;
        }
        if (rule->belongsTo != Mode::Window)
            modeOnlyOptions.append(name);
        // The command-line modes read their options from these, in the usual spelling.
        options.commandArguments.append(name);
        if (value)
            options.commandArguments.append(*value);
    }

    for (const QString& name : std::as_const(modeOnlyOptions))
        if (rules().value(name).belongsTo != options.mode)
            return wrong(QStringLiteral("%1 is used only with %2")
                             .arg(name, modeOption(rules().value(name).belongsTo)));
    if (options.mode == Mode::ChooseProject && projectGiven)
        return wrong(QStringLiteral("--choose-project and --project cannot be used together"));
    return options;
}

QString HelpText()
{
    const QString formats = ExportFilters::keys().join(QStringLiteral(", "));
    return QStringLiteral(
               "Usage: varnel [--project DIR]\n"
               "  or:  varnel --choose-project\n"
               "  or:  varnel [--project DIR] --report TEMPLATE --format FORMAT --output FILE [--sql QUERY] [--id N]\n"
               "                [--param NAME=VALUE]...\n"
               "  or:  varnel [--project DIR] --check-sql\n"
               "  or:  varnel [--project DIR] --copy-database TARGET\n"
               "Run the form-based database application of a project folder.\n"
               "\n"
               "A project folder holds forms.xml (forms and controls), tables.ini (tables and\n"
               "fields), the SQLite database sqlite.db (made on the first start), settings.ini,\n"
               "graphics.dll (pictures) and the folder Report (report templates). Without\n"
               "--project, the folder of the executable is the project folder: a copy of varnel\n"
               "placed in a project folder runs that project.\n"
               "\n"
               "Options:\n"
               "  --project DIR            use DIR as the project folder; it must hold forms.xml\n"
               "  --choose-project         ask for the project folder: pick its forms.xml in a\n"
               "                           file dialog\n"
               "  --report TEMPLATE        write a report without a window; TEMPLATE is a file of\n"
               "                           the project's Report folder\n"
               "  --format FORMAT          the report's file format, one of:\n"
               "                           %1\n"
               "  --output FILE            the file the report is written to\n"
               "  --sql QUERY              the report's rows (the template's own query otherwise)\n"
               "  --id N                   replaces $id in the report's query\n"
               "  --param NAME=VALUE       a value of the template's parameter NAME (numbers with\n"
               "                           a full stop, dates yyyy-mm-dd, yes/no true or false);\n"
               "                           one --param for each parameter without a default\n"
               "  --check-sql              have the project's database prepare every statement\n"
               "                           of forms.xml, tables.ini and the report templates,\n"
               "                           and list those it refuses\n"
               "  --copy-database TARGET   copy the project's SQLite database into the empty\n"
               "                           PostgreSQL database named by TARGET (a connection\n"
               "                           URI, a key=value list or service=NAME)\n"
               "  -h, --help               show this text and exit\n"
               "  --version                show the version and exit\n"
               "\n"
               "The command-line modes (--report, --check-sql, --copy-database) open no window\n"
               "and need no display. They exit with status 0 when all went well; otherwise\n"
               "standard error says why.\n")
        .arg(formats);
}

QString VersionText()
{
    return QStringLiteral("varnel %1\n").arg(VarnelVersion());
}
