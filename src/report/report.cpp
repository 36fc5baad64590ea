#include "report/report.h"

#include "platform/errors.h"
#include "report/page_document.h"
#include "report/page_renderer.h"
#include "report/report_dataset.h"
#include "report/report_filler.h"
#include "report/report_preview.h"
#include "report/report_template.h"

#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

namespace {

Report::PrintQuestion& printQuestion()
{
    static Report::PrintQuestion question = [](QPrinter& printer, int pageCount, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        dialog.setMinMax(1, std::max(1, pageCount));
        dialog.setOption(QAbstractPrintDialog::PrintPageRange);
        return dialog.exec() == QDialog::Accepted;
    };
    return question;
}

} // namespace

void Report::setPrintQuestion(PrintQuestion question)
{
    printQuestion() = std::move(question);
}

Report::Report() : m_template(std::make_unique<ReportTemplate>()), m_locale(QLocale()) {}

Report::~Report() = default;

void Report::clear()
{
    *m_template = ReportTemplate();
    m_pages.reset();
}

void Report::loadTemplate(const QString& path)
{
    m_pages.reset();
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
    ReportFiller filler(*m_template, m_datasets.empty() ? nullptr : m_datasets.back(), name);
    filler.setLocale(m_locale);
    m_pages = filler.fill(m_progress);
    return m_pages != nullptr;
}

bool Report::requirePages()
{
    return m_pages || prepare();
}

void Report::show(bool discardPrevious, QWidget* parent)
{
    if (!prepare(discardPrevious))
        return;
    ReportPreview preview(*this, parent);
    preview.exec();
}

bool Report::print(QWidget* parent)
{
    if (!requirePages())
        return false;
    QPrinter printer(QPrinter::HighResolution);
    if (m_pages->pageCount() > 0)
        printer.setPageSize(QPageSize(m_pages->pageSize(0), QPageSize::Millimeter));
    if (!printQuestion()(printer, m_pages->pageCount(), parent))
        return false;
    printTo(printer);
    return true;
}

void Report::printTo(QPrinter& printer)
{
    if (!requirePages())
        return;
    const int count = m_pages->pageCount();
    int from = 0, to = count - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::clamp(printer.fromPage() - 1, 0, count - 1);
        to = std::clamp(printer.toPage() - 1, from, count - 1);
    }
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    const PageRenderer renderer(*m_pages);
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    QPainter painter;
    bool first = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int i = from; i <= to && count > 0; ++i) {
            printer.setPageSize(QPageSize(m_pages->pageSize(i), QPageSize::Millimeter));
            if (first) {
                if (!painter.begin(&printer))
                    throw FileError(QStringLiteral("The printer did not start."));
                first = false;
            } else {
                printer.newPage();
            }
            if (m_progress && !m_progress(i - from, to - from + 1)) {
                printer.abort();
                return;
            }
            painter.save();
            PageRenderer::scaleToMillimetres(painter, printer.resolution());
            renderer.paint(painter, i);
            painter.restore();
        }
    }
    if (painter.isActive())
        painter.end();
}

bool Report::exportTo(ExportFilter& filter, QWidget* parent)
{
    if (!requirePages())
        return false;
    return filter.run(*m_pages, parent, m_progress);
}
