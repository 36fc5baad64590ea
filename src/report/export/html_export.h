#pragma once

#include "report/export/export_filter.h"

// One self-contained HTML file: styles in the head, pictures as data addresses, each report
// page a block of positioned boxes that prints as one sheet; on a narrow screen the boxes flow
// row by row instead.
class HtmlExportFilter : public ExportFilter {
public:
    QString key() const override { return QStringLiteral("html"); }
    QString caption() const override;
    QString extension() const override { return QStringLiteral("html"); }

protected:
    bool write(const PageDocument& pages, const ReportProgress& progress) override;
};
