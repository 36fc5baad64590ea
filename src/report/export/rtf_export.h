#pragma once

#include "report/export/export_filter.h"

// A rich text document: one section per report page with the page's size, every box a frame
// placed on the page, texts with their fonts, frame sides and shading, pictures embedded.
class RtfExportFilter : public ExportFilter {
public:
    QString key() const override { return QStringLiteral("rtf"); }
    QString caption() const override;
    QString extension() const override { return QStringLiteral("rtf"); }

protected:
    bool write(const PageDocument& pages, const ReportProgress& progress) override;
};
