#pragma once

#include "report/export/export_filter.h"

// An Excel 97-2003 workbook: the pages one below the other on a sheet, cut into cells, numbers
// and dates as values with their display format, a page break before each report page; a new
// sheet where the older format's row limit would be passed.
class XlsExportFilter : public ExportFilter {
public:
    QString key() const override { return QStringLiteral("xls"); }
    QString caption() const override;
    QString extension() const override { return QStringLiteral("xls"); }

protected:
    bool write(const PageDocument& pages, const ReportProgress& progress) override;
};
