#pragma once

#include "report/export/export_filter.h"

// An OpenDocument text: one document page per report page, of the report's page size, every
// box a frame, line or shape at its place on the page.
class OdtExportFilter : public ExportFilter {
public:
    QString key() const override { return QStringLiteral("odt"); }
    QString caption() const override;
    QString extension() const override { return QStringLiteral("odt"); }

protected:
    bool write(const PageDocument& pages, const ReportProgress& progress) override;
};
