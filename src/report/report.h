#pragma once

#include "report/engine/progress.h"
#include "report/engine/subreport.h"
#include "report/engine/report_parameters.h"
#include "report/export/export_filter.h"

#include <QLocale>
#include <QString>
#include <memory>
#include <vector>

class PageDocument;
class ReportDataset;
class ReportTemplate;

// The report as the actions and the batch run see it: a template, the datasets it may read, the
// pages made from them, and one export filter of each kind. One object serves every report
// button; each use replaces the template. It shows no window: the preview, the print dialog,
// the export questions and the designer are ReportWindows'.
class Report {
public:
    Report();
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    // Empties the template and drops the prepared pages (the datasets stay).
    void clear();
    // Reads a template file; a missing file leaves the report empty without an error.
    // Throws FormatError for a template that cannot be read, FileError when unreadable.
    void loadTemplate(const QString& path);
    // Reads a template from text (the name is used in messages).
    void loadTemplateText(const QString& xml, const QString& name = QString());
    void setTemplateFileName(const QString& name) { m_fileName = name; }
    const QString& templateFileName() const { return m_fileName; }
    const ReportTemplate& reportTemplate() const { return *m_template; }
    ReportTemplate& reportTemplate() { return *m_template; }

    // Makes the dataset available to the template under its user name (not owned; the same
    // dataset added twice is kept once).
    void addDataset(ReportDataset* dataset);
    const std::vector<ReportDataset*>& datasets() const { return m_datasets; }

    // Where sub-reports prepare their queries (the program's connection); a template with a
    // sub-report is refused without one.
    void setSubreportSource(SubreportStatementSource source) { m_subreports = std::move(source); }
    const SubreportStatementSource& subreportSource() const { return m_subreports; }
    // The values the template's parameters take in the next prepare; a parameter without one
    // takes its default. Loading a template or clearing forgets them.
    void setParameterValues(ParameterValues values) { m_parameters = std::move(values); }
    const ParameterValues& parameterValues() const { return m_parameters; }
    // Every parameter's value as the query binds it.
    SqlParams queryParameters() const;

    // Told of the pages made and of pages written; answering false cancels.
    void setProgress(ReportProgress progress) { m_progress = std::move(progress); }
    const ReportProgress& progress() const { return m_progress; }
    // Numbers, dates and booleans are shown in this locale (default: the program's).
    void setLocale(const QLocale& locale) { m_locale = locale; }

    // Builds the pages from the data. Throws FormatError (a field the data lacks, a bad
    // expression) before any page is made. False when cancelled through the progress.
    bool prepare(bool discardPrevious = true);
    bool isPrepared() const { return m_pages != nullptr; }
    const PageDocument* pages() const { return m_pages.get(); }

    // Writes the prepared pages (prepared first when needed) to the filter's file, asking
    // nothing. False when cancelled.
    bool exportTo(ExportFilter& filter);

    // The report's own filters, one of each kind, kept with their settings for its whole life.
    ExportFilterSet& filters() { return m_filters; }
    ExportFilter* filter(const QString& key) { return m_filters.filter(key); }

private:
    std::unique_ptr<ReportTemplate> m_template;
    std::unique_ptr<PageDocument> m_pages;
    std::vector<ReportDataset*> m_datasets;
    QString m_fileName;
    ReportProgress m_progress;
    SubreportStatementSource m_subreports;
    QLocale m_locale;
    ParameterValues m_parameters;
    ExportFilterSet m_filters;
};
