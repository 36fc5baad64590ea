#pragma once

#include "report/export/export_filter.h"

// One picture per page, numbered when there is more than one page.
class PictureExportFilter : public ExportFilter {
public:
    enum class Format { Jpeg, Tiff };
    explicit PictureExportFilter(Format format) : m_format(format) {}

    QString key() const override;
    QString caption() const override;
    QString extension() const override;

    void setResolution(int dpi) { m_dpi = dpi; }
    int resolution() const { return m_dpi; }
    void setQuality(int quality) { m_quality = quality; }  // 1..100, JPEG only
    int quality() const { return m_quality; }

    // The file written for a page: the name itself for a single page, else name_0001.ext.
    static QString pageFileName(const QString& fileName, int page, int pageCount);

protected:
    bool write(const PageDocument& pages, const ReportProgress& progress) override;

private:
    Format m_format;
    int m_dpi = 150;
    int m_quality = 90;
};
