#include "report/export/export_filter.h"
#include "report/export/html_export.h"
#include "report/export/ods_export.h"
#include "report/export/odt_export.h"
#include "report/export/pdf_export.h"
#include "report/export/picture_export.h"
#include "report/export/rtf_export.h"
#include "report/export/xls_export.h"

namespace {

std::vector<std::pair<QString, ExportFilters::Factory>>& registry()
{
    static std::vector<std::pair<QString, ExportFilters::Factory>> filters = {
        {QStringLiteral("pdf"), [] { return std::make_unique<PdfExportFilter>(); }},
        {QStringLiteral("jpeg"), [] { return std::make_unique<PictureExportFilter>(PictureExportFilter::Format::Jpeg); }},
        {QStringLiteral("tiff"), [] { return std::make_unique<PictureExportFilter>(PictureExportFilter::Format::Tiff); }},
        {QStringLiteral("html"), [] { return std::make_unique<HtmlExportFilter>(); }},
        {QStringLiteral("odt"), [] { return std::make_unique<OdtExportFilter>(); }},
        {QStringLiteral("ods"), [] { return std::make_unique<OdsExportFilter>(); }},
        {QStringLiteral("rtf"), [] { return std::make_unique<RtfExportFilter>(); }},
        {QStringLiteral("xls"), [] { return std::make_unique<XlsExportFilter>(); }},
    };
    return filters;
}

} // namespace

void ExportFilters::add(const QString& key, Factory factory)
{
    for (auto& entry : registry())
        if (entry.first == key) {
            entry.second = std::move(factory);
            return;
        }
    registry().emplace_back(key, std::move(factory));
}

QStringList ExportFilters::keys()
{
    QStringList keys;
    for (const auto& entry : registry())
        keys << entry.first;
    return keys;
}

std::unique_ptr<ExportFilter> ExportFilters::make(const QString& key)
{
    for (const auto& entry : registry())
        if (entry.first == key)
            return entry.second();
    return nullptr;
}
