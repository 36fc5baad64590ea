#include "report/export/pdf_export.h"

#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/engine/page_renderer.h"
#include "report/export/export_file.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

QPageSize pageSizeOf(const PageDocument& pages, int page)
{
    return QPageSize(pages.pageSize(page), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

} // namespace

QString PdfExportFilter::caption() const
{
    return Lang.caption("PDF document");
}

bool PdfExportFilter::write(const PageDocument& pages, const ReportProgress& progress)
{
    // Written under a temporary name and renamed at the end: a cancelled or failed export
    // leaves no half-written file.
    QSaveFile file(fileName());
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(fileName(), file.errorString());
    constexpr int dpi = 720; // the layout grid: texts land where they were measured
    QPdfWriter writer(&file);
    writer.setResolution(dpi);
    writer.setCreator(QStringLiteral("Varnel"));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    if (pages.pageCount() > 0)
        writer.setPageSize(pageSizeOf(pages, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        cannotWrite(fileName(), Lang.caption("the PDF writer did not start"));
    PageRenderer::scaleToMillimetres(painter, dpi);
    const PageRenderer renderer(pages);
    const int count = pages.pageCount();
    for (int i = 0; i < count; ++i) {
        if (progress && !progress(i, count)) {
            painter.end();
            file.cancelWriting();
            return false;
        }
        if (i > 0) {
            writer.setPageSize(pageSizeOf(pages, i));
            writer.newPage();
        }
        renderer.paint(painter, i);
    }
    painter.end();
    if (!file.commit())
        cannotWrite(fileName(), file.errorString());
    return true;
}
