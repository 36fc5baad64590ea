#pragma once

#include "report/export/export_filter.h"

// PDF with embedded fonts; texts stay searchable.
class PdfExportFilter : public ExportFilter {
public:
    QString key() const override { return QStringLiteral("pdf"); }
    QString caption() const override;
    QString extension() const override { return QStringLiteral("pdf"); }

protected:
    bool write(const PageDocument& pages, const ReportProgress& progress) override;
};
