#pragma once

#include "report/engine/progress.h"
#include "report/engine/subreport.h"
#include "report/engine/report_parameters.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <memory>

class PageDocument;
class ReportDataset;
class ReportTemplate;

// Makes the pages of a template from its dataset, walking the rows once.
class ReportFiller {
public:
    // Compiles every expression of the template against the dataset. Throws FormatError
    // naming the template for a field the dataset lacks or an expression that is wrong.
    // Sub-reports prepare their queries through subreports; without it a template holding one
    // is refused. Param.name shows the given value, else the parameter's default.
    ReportFiller(const ReportTemplate& report, const ReportDataset* data, const QString& templateName,
                 SubreportStatementSource subreports = {}, const ParameterValues& parameters = {});
    ~ReportFiller();

    void setLocale(const QLocale& locale);
    // The moment [Date] and [Time] show (default: when filling starts).
    void setNow(const QDateTime& now);
    // The folder picture files are found in (default: the project folder).
    void setPictureFolder(const QString& folder);

    // The pages, or null when the progress answered false.
    std::unique_ptr<PageDocument> fill(const ReportProgress& progress = {});

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
