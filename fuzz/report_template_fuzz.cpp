// Feeds arbitrary bytes to the report template reader and fills what it accepts from a small
// fixed dataset; sub-reports run their queries on a small database held in memory
// (report_fuzz_data.h). The reader refuses with FormatError or gives a template that the writer
// writes back exactly (read, write, read again: the same template); filling never crashes.

#include "platform/errors.h"
#include "report_fuzz_data.h"
#include "report/engine/page_document.h"
#include "report/report.h"
#include "report/engine/template.h"

#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ReportTemplate first;
    try {
        first = ReportTemplateFormat::read(xml, QStringLiteral("fuzz.xml"));
    } catch (const FormatError&) {
        return 0;
    }
    const ReportTemplate second =
        ReportTemplateFormat::read(ReportTemplateFormat::write(first), QStringLiteral("again.xml"));
    if (!(second == first))
        std::abort();
    try {
        Report report;
        report.addDataset(&fuzzReportData());
        report.setSubreportSource([](const QString& sql) { return fuzzSubreportDatabase().prepareBound(sql); });
        report.loadTemplateText(QString::fromUtf8(xml), QStringLiteral("fuzz.xml"));
        if (report.prepare(true) && report.pages()->pageCount() > 0)
            report.pages()->page(0);
    } catch (const VarnelError&) {
    }
    return 0;
}
