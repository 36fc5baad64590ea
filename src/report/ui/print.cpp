#include "report/ui/print.h"

#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/engine/page_renderer.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

bool printWithDialog(const PageDocument& pages, QWidget* parent, const ReportProgress& progress)
{
    QPrinter printer(QPrinter::HighResolution);
    if (pages.pageCount() > 0)
        printer.setPageSize(QPageSize(pages.pageSize(0), QPageSize::Millimeter));
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, std::max(1, pages.pageCount()));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    if (!desktop().runModal(dialog))
        return false;
    printPages(pages, printer, progress);
    return true;
}

void printPages(const PageDocument& pages, QPrinter& printer, const ReportProgress& progress)
{
    const int count = pages.pageCount();
    int from = 0, to = count - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::clamp(printer.fromPage() - 1, 0, count - 1);
        to = std::clamp(printer.toPage() - 1, from, count - 1);
    }
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    const PageRenderer renderer(pages);
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    QPainter painter;
    bool first = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int i = from; i <= to && count > 0; ++i) {
            printer.setPageSize(QPageSize(pages.pageSize(i), QPageSize::Millimeter));
            if (first) {
                if (!painter.begin(&printer))
                    throw FileError(Lang.caption("The printer did not start."));
                first = false;
            } else {
                printer.newPage();
            }
            if (progress && !progress(i - from, to - from + 1)) {
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
