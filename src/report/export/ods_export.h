#pragma once

#include "report/export/export_filter.h"

// An OpenDocument spreadsheet: the pages one below the other on a sheet, cut into cells, numbers
// and dates as values with their display format, a page break before each report page.
class OdsExportFilter : public ExportFilter {
public:
    QString key() const override { return QStringLiteral("ods"); }
    QString caption() const override;
    QString extension() const override { return QStringLiteral("ods"); }

protected:
    bool write(const PageDocument& pages, const ReportProgress& progress) override;
};
