#include "report/export/export_filter.h"

#include "platform/errors.h"
#include "platform/lang.h"

bool ExportFilter::run(const PageDocument& pages, const ReportProgress& progress)
{
    m_written.clear();
    if (m_fileName.isEmpty())
        throw FileError(Lang.caption("No file name is given for the %1 export.").arg(caption()));
    const bool done = write(pages, progress);
    if (done && m_written.isEmpty())
        m_written << m_fileName;
    return done;
}

ExportFilter* ExportFilterSet::filter(const QString& key)
{
    for (const auto& [known, filter] : m_filters)
        if (known == key)
            return filter.get();
    std::unique_ptr<ExportFilter> made = ExportFilters::make(key);
    if (!made)
        return nullptr;
    m_filters.emplace_back(key, std::move(made));
    return m_filters.back().second.get();
}
