#include "report/report.h"

#include "report/engine/dataset.h"
#include "report/engine/filler.h"
#include "report/engine/page_document.h"
#include "report/engine/template.h"

#include <QFileInfo>
#include <algorithm>

Report::Report() : m_template(std::make_unique<ReportTemplate>()), m_locale(QLocale()) {}

Report::~Report() = default;

void Report::clear()
{
    *m_template = ReportTemplate();
    m_pages.reset();
    m_parameters.clear();
}

void Report::loadTemplate(const QString& path)
{
    m_pages.reset();
    m_parameters.clear();
    if (!QFileInfo::exists(path)) {
        *m_template = ReportTemplate();
        return;
    }
    *m_template = ReportTemplateFormat::readFile(path);
    m_fileName = path;
}

void Report::loadTemplateText(const QString& xml, const QString& name)
{
    m_pages.reset();
    m_parameters.clear();
    *m_template = ReportTemplateFormat::read(xml.toUtf8(), name.isEmpty() ? QStringLiteral("template") : name);
    m_fileName = name;
}

void Report::addDataset(ReportDataset* dataset)
{
    if (dataset && std::find(m_datasets.begin(), m_datasets.end(), dataset) == m_datasets.end())
        m_datasets.push_back(dataset);
}

bool Report::prepare(bool discardPrevious)
{
    if (m_pages && !discardPrevious)
        return true;
    m_pages.reset();
    const QString name = m_fileName.isEmpty() ? m_template->name : QFileInfo(m_fileName).fileName();
    ReportFiller filler(*m_template, m_datasets.empty() ? nullptr : m_datasets.back(), name, m_subreports,
                        m_parameters);
    filler.setLocale(m_locale);
    m_pages = filler.fill(m_progress);
    return m_pages != nullptr;
}

SqlParams Report::queryParameters() const
{
    return ReportParameters::bound(ReportParameters::complete(*m_template, m_parameters));
}

bool Report::exportTo(ExportFilter& filter)
{
    if (!prepare(false))
        return false;
    return filter.run(*m_pages, m_progress);
}
