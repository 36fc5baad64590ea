#pragma once

#include "report/report_export.h"

#include <QLocale>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QPrinter;
class QWidget;
class ReportDataset;
class ReportTemplate;
class PageDocument;

// The report as the actions see it: a template, the datasets it may read, and the pages made
// from them. One object serves every report button; each use replaces the template.
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

    // Told of the pages made and of pages written; answering false cancels.
    void setProgress(ReportProgress progress) { m_progress = std::move(progress); }
    // Numbers, dates and booleans are shown in this locale (default: the program's).
    void setLocale(const QLocale& locale) { m_locale = locale; }

    // Builds the pages from the data. Throws FormatError (a field the data lacks, a bad
    // expression) before any page is made. False when cancelled through the progress.
    bool prepare(bool discardPrevious = true);
    bool isPrepared() const { return m_pages != nullptr; }
    const PageDocument* pages() const { return m_pages.get(); }

    // Prepares and shows the pages in the preview window, modal over parent.
    void show(bool discardPrevious = true, QWidget* parent = nullptr);
    // Prints the prepared pages after the print dialog (printer, range, copies); prepares
    // first when nothing is prepared. False when the user cancelled.
    bool print(QWidget* parent = nullptr);
    // Prints without a dialog onto a printer set up by the caller.
    void printTo(QPrinter& printer);
    // Writes the prepared pages through the filter (prepares first when needed). False when
    // the user cancelled.
    bool exportTo(ExportFilter& filter, QWidget* parent = nullptr);

    // The print dialog; tests replace it. Answers false when the user cancelled.
    using PrintQuestion = std::function<bool(QPrinter& printer, int pageCount, QWidget* parent)>;
    static void setPrintQuestion(PrintQuestion question);

private:
    bool requirePages();

    std::unique_ptr<ReportTemplate> m_template;
    std::unique_ptr<PageDocument> m_pages;
    std::vector<ReportDataset*> m_datasets;
    QString m_fileName;
    ReportProgress m_progress;
    QLocale m_locale;
};
