// The report button: its query into the dataset "Report", its template from the Report folder
// of the project, and the pages to the preview, the printer, a document or page pictures.
#include "actions/record_actions.h"

#include "catalogue/sql_text.h"

#include "controls/action_button.h"
#include "controls/record_grid.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "platform/sql_connection.h"
#include "report/engine/dataset.h"
#include "report/engine/template.h"
#include "report/report.h"
#include "report/report_windows.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>

namespace {

// The export filter of each document target, by the key it registers under.
QString filterKey(TReportOpenIn target)
{
    switch (target) {
    case rpoExcel:
        return QStringLiteral("xls");
    case rpoWord:
        return QStringLiteral("rtf");
    case rpoPDF:
        return QStringLiteral("pdf");
    case rpoHTML:
        return QStringLiteral("html");
    case rpoODT:
        return QStringLiteral("odt");
    case rpoODS:
        return QStringLiteral("ods");
    case rpoJPEG:
        return QStringLiteral("jpeg");
    case rpoTIFF:
        return QStringLiteral("tiff");
    default:
        return QString();
    }
}

// The file the export writes: a reserved unique name in the temporary folder (tmpXXXX.tmp,
// left in place) with the target's extension instead of its own.
QString exportFileName(const QString& extension)
{
    const QString reserved = desktop().uniqueTempFile(QStringLiteral("tmp"));
    const QFileInfo info(reserved);
    return info.path() + u'/' + info.completeBaseName() + u'.' + extension;
}

// A progress window with Cancel, shown only when the work takes a moment.
class ReportProgressWindow {
public:
    explicit ReportProgressWindow(QWidget* parent)
    {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        m_dialog = new QProgressDialog(Lang.Making_the_report, Lang.Cancel, 0, 0, parent);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(400);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }
    ~ReportProgressWindow() { delete m_dialog; }
    // The pages are made: the window goes before the preview or a dialog comes up.
    void finish()
    {
        // reset() also stops the timer that would bring the window back over the preview.
        if (m_dialog) {
            m_dialog->reset();
            m_dialog->hide();
        }
    }
    ReportProgressWindow(const ReportProgressWindow&) = delete;
    ReportProgressWindow& operator=(const ReportProgressWindow&) = delete;

    ReportProgress callback()
    {
        return [this](int done, int total) {
            if (!m_dialog)
                return true;
            m_dialog->setMaximum(qMax(total, 0));
            m_dialog->setValue(qMin(done, qMax(total, done)));
            QCoreApplication::processEvents();
            return !m_dialog->wasCanceled();
        };
    }

private:
    QPointer<QProgressDialog> m_dialog;
};

} // namespace

TRecordActions::TRecordActions(SqlConnection& connection, TForm& mainForm)
    : m_db(connection), m_main(mainForm), m_reportData(std::make_unique<ReportDataset>()),
      m_report(std::make_unique<Report>())
{
    m_reportData->setUserName(QStringLiteral("Report"));
    m_report->setSubreportSource([this](const QString& sql) { return m_db.prepareBound(AuthorSql(m_db, sql)); });
}

TRecordActions::~TRecordActions() = default;

QString TRecordActions::reportQueryText(TdbButton* b)
{
    return reportQueryText(b, b->dbSQL);
}

QString TRecordActions::reportQueryText(TdbButton* b, const QString& query)
{
    // "$id" first, then the controls; texts go in as typed, the template's author quotes them.
    QString sql = query;
    if (b->dbGeneralTableId != -1)
        sql.replace(QStringLiteral("$id"), QString::number(b->dbGeneralTableId), Qt::CaseInsensitive);
    return substitutePlaceholders(b, sql, false);
}

ReportQueryRunner TRecordActions::reportQueryRunner(TdbButton* b)
{
    QPointer<TdbButton> button(b);
    return [this, button](const QString& query, ReportDataset& into, bool columnsOnly, const SqlParams& params) {
        const QString sql = button ? reportQueryText(button, query) : query;
        SqlStatement statement = params.isEmpty() ? m_db.prepare(AuthorSql(m_db, sql))
                                                  : m_db.prepare(AuthorSql(m_db, sql), params);
        if (!columnsOnly) {
            into.setResult(statement);
            return;
        }
        QStringList columns;
        for (int i = 0; i < statement.columnCount(); ++i)
            columns.append(statement.columnName(i));
        into.reset(columns);
    };
}

void TRecordActions::fillReportData(const QString& sql, bool stream, const SqlParams& params)
{
    SqlStatement statement =
        params.isEmpty() ? m_db.prepare(AuthorSql(m_db, sql)) : m_db.prepare(AuthorSql(m_db, sql), params);
    if (stream)
        m_reportData->setStream(std::move(statement), true);
    else
        m_reportData->setResult(statement);
    m_reportData->setUserName(QStringLiteral("Report"));
}

void TRecordActions::reportAction(TdbButton* b)
{
    // One report at a time: while the pages are made the progress window lets events through,
    // and a second click would start again under the running filler.
    if (m_reportRunning)
        return;
    m_reportRunning = true;
    const struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{m_reportRunning};

    TForm* form = TForm::formOf(b);
    if (form != &m_main && b->dbGeneralTableId == -1 && b->dbParentTable.isEmpty()
        && !saveParentRecord(form))
        return;

    if (!b->dbResultControl.isEmpty()) {
        TdbStringGridEx* grid = resultGrid(b);
        if (grid->dbListId.isEmpty()) {
            inform(Lang.Info, Lang.Please_select_record_in_grid);
            return;
        }
        const qint32 id = grid->dbItemID();
        if (id == -1) {
            inform(Lang.Error, Lang.Please_select_record_in_grid);
            return;
        }
        b->dbGeneralTableId = id;
    }

    // A document or pictures read the rows once, as the pages are made: the rows come straight
    // from the statement then. The preview and the printer may make the pages again.
    const bool stream = !b->dbReportFile.isEmpty() && b->dbReportOpenIn != rpoPreview && b->dbReportOpenIn != rpoPrint;
    // However the action ends, a stream ends with it: the statement is let go and the rows stay
    // for a later report. A failure here comes after another one; the rows are dropped then.
    const struct StreamEnd {
        ReportDataset& data;
        ~StreamEnd()
        {
            try {
                data.finishStream();
            } catch (...) {
                data.reset(QStringList(data.columns()));
            }
        }
    } streamEnd{*m_reportData};

    const QString sql = reportQueryText(b);
    QWidget* parent = form ? static_cast<QWidget*>(form) : &m_main;
    QString name = b->dbReportFile;
    name.replace(u'\\', u'/');
    const QString path = ExeFolder() + QStringLiteral("Report/") + name;

    // A template that asks for parameters is read first: the query runs with the answers, and
    // Cancel runs nothing.
    std::optional<ParameterValues> answers;
    SqlParams params;
    if (!name.isEmpty() && QFileInfo(path).isFile()) {
        const ReportTemplate asked = ReportTemplateFormat::readFile(path);
        if (!asked.parameters.empty()) {
            answers = ReportWindows::askParameters(asked, parent, reportQueryRunner(b));
            if (!answers)
                return;
            params = ReportParameters::bound(ReportParameters::complete(asked, *answers));
        }
    }
    if (!sql.isEmpty())
        fillReportData(sql, stream, params);

    if (b->dbReportFile.isEmpty()) {
        m_report->clear();
        m_report->setTemplateFileName(QString());
        m_report->addDataset(m_reportData.get());
        const QString folder = ExeFolder() + QStringLiteral("Report");
        ReportWindows::openDesigner(*m_report, m_reportData.get(), folder, folder,
                                    form ? static_cast<QWidget*>(form) : &m_main, reportQueryRunner(b));
        return;
    }

    if (!QFileInfo(path).isFile()) {
        inform(Lang.Error, Lang.Report_file_not_found + QStringLiteral(":\r") + path);
        return;
    }
    m_report->addDataset(m_reportData.get());
    m_report->loadTemplate(path);
    if (answers)
        m_report->setParameterValues(*answers);
    // A button without a query of its own reports what the template asks for; with neither,
    // the rows of the previous report stay.
    const QString templateQuery = m_report->reportTemplate().query.trimmed();
    if (sql.isEmpty() && !templateQuery.isEmpty())
        fillReportData(reportQueryText(b, templateQuery), stream, params);

    ReportProgressWindow progress(parent);
    m_report->setProgress(progress.callback());
    struct ProgressReset {
        Report& report;
        ~ProgressReset() { report.setProgress(nullptr); }
    } reset{*m_report};

    switch (b->dbReportOpenIn) {
    case rpoPreview:
        if (!m_report->prepare(true))
            return;
        progress.finish();
        m_report->setProgress(nullptr);
        ReportWindows::preview(*m_report, parent, false);
        return;
    case rpoPrint:
        if (!m_report->prepare(true))
            return;
        progress.finish();
        ReportWindows::print(*m_report, parent);
        return;
    default:
        break;
    }

    const QString key = filterKey(b->dbReportOpenIn);
    // The report's own filter: its file and settings are kept from one export to the next.
    ExportFilter* filter = m_report->filter(key);
    if (!filter) {
        inform(Lang.Error, Lang.Report_format_not_available.arg(key.toUpper()));
        return;
    }
    const bool prepared = m_report->prepare(true);
    // The rows are all read: the statement goes now, and a failure to keep them is told.
    m_reportData->finishStream();
    if (!prepared)
        return;
    const bool pictures = b->dbReportOpenIn == rpoJPEG || b->dbReportOpenIn == rpoTIFF;
    if (pictures) {
        // The file and settings dialogs come up now; the progress window returns while the
        // pictures are written.
        progress.finish();
        filter->setShowDialog(true);
    } else {
        filter->setFileName(exportFileName(filter->extension()));
        filter->setShowDialog(false);
    }
    const bool written = ReportWindows::exportTo(*m_report, *filter, parent);
    progress.finish();
    if (!written || pictures)
        return;
    openWrittenFile(Lang.Info, filter->fileName(),
                    Lang.Report_saved_no_program.arg(QDir::toNativeSeparators(filter->fileName()),
                                                     filter->extension().toUpper()),
                    QFileInfo(name).completeBaseName() + u'.' + filter->extension());
}
