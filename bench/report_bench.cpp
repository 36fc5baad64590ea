// The report engine on a long list: 6 columns of mixed Latin and Cyrillic text, column titles
// on every page, "Page N of M" below, COUNT and SUM at the end, written to PDF as the batch
// command writes it (the rows streamed from the statement). Beside it, in the same run, the
// floor: a bare QPdfWriter + QPainter loop stepping the same statement and drawing the same texts
// at the same places in the same fonts. Each run is a child process of its own so that its peak
// memory is its own.
//
//   report_bench                 10k rows; 100k rows three times interleaved with the floor;
//                                1M rows and the floor at 1M for the peak memory; each document
//                                filter at 100k beside the PDF filter, twice
//   report_bench N               N rows three times interleaved with the floor
//   report_bench --rows N        one report of N rows (child)
//   report_bench --floor N       the floor for N rows (child)
//   report_bench --export KEY N  the prepared pages of N rows written by the filter KEY (child)
//
// Besides the children's lines it prints, for tools/run-benchmarks.sh, lines
//   RATIO|<what>|<floor>|<measured ms or MB>|<floor ms or MB>|<ratio>|<target>
// with the best run of each side; times there are the processes' CPU times.
#include "platform/sql_connection.h"
#include "process_memory.h"
#include "report/engine/dataset.h"
#include "report/engine/page_document.h"
#include "report/engine/template.h"
#include "report/engine/text_layout.h"
#include "report/export/pdf_export.h"
#include "report/report.h"
#include "report/ui/preview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {

// Geometry shared by the template and the floor, in millimetres.
constexpr double margin = 10, headerHeight = 8, rowHeight = 5, footerHeight = 6;
const double columnX[] = {0, 15, 75, 120, 140, 165};
const double columnW[] = {15, 60, 45, 20, 25, 25};

QString listTemplate()
{
    QString header, detail;
    const char* titles[] = {"№", "Name / Имя", "City / Город", "Qty", "Price", "Date"};
    const char* fields[] = {"id", "name", "city", "qty", "price", "day"};
    for (int c = 0; c < 6; ++c) {
        const QString geometry = QStringLiteral("x=\"%1\" width=\"%2\"").arg(columnX[c]).arg(columnW[c]);
        header += QStringLiteral("<text %1 y=\"0\" height=\"7\" bold=\"true\" frame-bottom=\"0.3 #000000\">%2</text>")
                      .arg(geometry, QString::fromUtf8(titles[c]));
        detail += QStringLiteral("<text %1 y=\"0\" height=\"5\" size=\"9\">[Report.%2]</text>").arg(geometry, QLatin1StringView(fields[c]));
    }
    return QStringLiteral(R"(<report version="1">
        <page size="A4" margin-left="10" margin-top="10" margin-right="10" margin-bottom="10"/>
        <page-header height="8">%1</page-header>
        <detail height="5">%2</detail>
        <page-footer height="6"><text x="0" y="0" width="190" height="6" align="right">Page [Page] of [TotalPages]</text></page-footer>
        <summary height="8"><text x="0" y="1" width="190" height="6" bold="true">Rows: [COUNT()]  Total: [SUM(Report.price)]</text></summary>
        </report>)").arg(header, detail);
}

// A database of the largest size once; each run takes the rows it needs.
void makeData(SqlConnection& db, int rows)
{
    db.execute(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS item (id INTEGER PRIMARY KEY, name TEXT, city TEXT, qty INTEGER, price REAL, day TEXT);"));
    if (db.query(QStringLiteral("SELECT COUNT(*) FROM item")).rows[0][0].toInt() >= rows)
        return;
    db.execute(QStringLiteral("DELETE FROM item; BEGIN;"));
    db.execute(QStringLiteral(
        "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < %1) "
        "INSERT INTO item SELECT n, CASE n % 3 WHEN 0 THEN 'Customer ' || n WHEN 1 THEN 'Покупатель ' || n "
        "ELSE 'Клиент Smith-' || n END, CASE n % 4 WHEN 0 THEN 'London' WHEN 1 THEN 'Москва' WHEN 2 THEN 'Санкт-Петербург' "
        "ELSE 'Paris' END, n % 17, (n % 1000) / 4.0, '2024-0' || (1 + n % 9) || '-1' || (n % 9) FROM r;").arg(rows));
    db.execute(QStringLiteral("COMMIT;"));
}

// The CPU time of this process in milliseconds: on shared cores a steadier figure than the
// clock's, which counts the time other work held the core.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

QString listQuery(int rows)
{
    return QStringLiteral("SELECT id, name, city, qty, price, day FROM item ORDER BY id LIMIT %1").arg(rows);
}

void loadRows(ReportDataset& data, const QString& dbPath, int rows)
{
    SqlConnection db;
    db.open(dbPath);
    SqlStatement statement = db.prepare(listQuery(rows));
    data.setResult(statement);
}

// As the batch command runs it: from the query to the written file, the rows streamed from the
// statement into the pages. The peak is the whole process's.
int runReport(const QString& dbPath, const QString& out, int rows)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    SqlConnection db;
    db.open(dbPath);
    ReportDataset data;
    data.setStream(db.prepare(listQuery(rows)), false);
    Report report;
    report.addDataset(&data);
    report.loadTemplateText(listTemplate(), QStringLiteral("list.xml"));
    report.prepare();
    const qint64 fillMs = timer.elapsed();
    PdfExportFilter pdf;
    pdf.setFileName(out);
    report.exportTo(pdf);
    const qint64 totalMs = timer.elapsed();
    const double totalCpuMs = cpuMs() - cpuStart;
    const long peakKb = memoryKb("VmHWM:");
    const double pagesMb = report.pages()->memoryUse() / 1048576.0;
    data.finishStream();

    // From the press of a preview button to the first page on screen: made anew from the rows
    // held, as the preview has them, then shown.
    loadRows(data, dbPath, rows);
    timer.restart();
    report.prepare();
    {
        ReportPreview preview(*report.pages(), report.filters());
        preview.show();
        QApplication::processEvents();
        preview.grab();
    }
    const qint64 previewMs = timer.elapsed();
    std::printf("report rows=%d pages=%d fill_ms=%lld total_ms=%lld cpu_ms=%.0f preview_first_page_ms=%lld pages_mb=%.1f "
                "peak_mb=%.1f pdf_mb=%.1f\n",
                rows, report.pages()->pageCount(), fillMs, totalMs, totalCpuMs, previewMs, pagesMb, peakKb / 1024.0,
                QFile(out).size() / 1048576.0);
    return 0;
}

// One filter on a prepared report: the time of writing alone, and the peak memory above the
// dataset of preparing and writing together.
int runExport(const QString& key, const QString& dbPath, const QString& out, int rows)
{
    ReportDataset data;
    loadRows(data, dbPath, rows);
    const long baseKb = memoryKb("VmRSS:");
    Report report;
    report.addDataset(&data);
    report.loadTemplateText(listTemplate(), QStringLiteral("list.xml"));
    report.prepare();
    std::unique_ptr<ExportFilter> filter = ExportFilters::make(key);
    filter->setFileName(out + u'.' + filter->extension());
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    report.exportTo(*filter);
    const qint64 ms = timer.elapsed();
    const double cpu = cpuMs() - cpuStart;
    std::printf("export format=%s rows=%d pages=%d export_ms=%lld cpu_ms=%.0f peak_above_dataset_mb=%.1f file_mb=%.1f\n", qPrintable(key), rows,
                report.pages()->pageCount(), ms, cpu, (memoryKb("VmHWM:") - baseKb) / 1024.0,
                QFile(filter->fileName()).size() / 1048576.0);
    return 0;
}

// The floor: the same texts at the same places and in the same fonts, drawn with nothing between
// the statement and the painter, from the query to the written file.
int runFloor(const QString& dbPath, const QString& out, int rows)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuMs();
    SqlConnection db;
    db.open(dbPath);
    SqlStatement statement = db.prepare(listQuery(rows));
    QFile file(out);
    file.open(QIODevice::WriteOnly);
    QPdfWriter writer(&file);
    writer.setResolution(720);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    const double k = reportUnitsPerMm;
    FontSpec bodySpec, boldSpec;
    bodySpec.size = 9;
    boldSpec.bold = true;
    const QFont body = reportFont(bodySpec), bold = reportFont(boldSpec), plain = reportFont(FontSpec());
    const double bodyAscent = QFontMetricsF(body).ascent(), boldAscent = QFontMetricsF(bold).ascent();
    const double pad = textPaddingX * k, padY = textPaddingY * k;
    const int perPage = int((297 - 2 * margin - headerHeight - footerHeight) / rowHeight);
    const int pages = (rows + perPage - 1) / perPage;
    const QString titles[] = {QStringLiteral("№"), QStringLiteral("Name / Имя"), QStringLiteral("City / Город"),
                              QStringLiteral("Qty"), QStringLiteral("Price"), QStringLiteral("Date")};
    const auto textOf = [&](int c) {
        switch (statement.columnType(c)) {
        case SqlValue::Type::Integer: return QString::number(statement.integer(c));
        case SqlValue::Type::Real: return QString::number(statement.real(c), 'g', 15);
        case SqlValue::Type::Text: {
            int length = 0;
            const char* utf8 = statement.textUtf8(c, &length);
            return QString::fromUtf8(utf8, length);
        }
        default: return QString();
        }
    };
    double sum = 0;
    for (int page = 0; page < pages; ++page) {
        if (page)
            writer.newPage();
        painter.setFont(bold);
        painter.setPen(QPen(Qt::black, 0.3 * k));
        for (int c = 0; c < 6; ++c) {
            painter.drawLine(QPointF((margin + columnX[c]) * k, (margin + 7) * k), QPointF((margin + columnX[c] + columnW[c]) * k, (margin + 7) * k));
            painter.drawText(QPointF((margin + columnX[c]) * k + pad, margin * k + padY + boldAscent), titles[c]);
        }
        painter.setFont(body);
        for (int r = page * perPage; r < std::min(rows, (page + 1) * perPage) && statement.step(); ++r) {
            const double y = (margin + headerHeight + (r - page * perPage) * rowHeight) * k + padY + bodyAscent;
            for (int c = 0; c < 6; ++c)
                painter.drawText(QPointF((margin + columnX[c]) * k + pad, y), textOf(c));
            sum += statement.real(4);
        }
        painter.setFont(plain);
        const QString footer = QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages);
        painter.drawText(QPointF((margin + 190) * k - pad - QFontMetricsF(plain).horizontalAdvance(footer),
                                 (297 - margin - footerHeight) * k + padY + QFontMetricsF(plain).ascent()),
                         footer);
    }
    painter.drawText(QPointF(margin * k, 200 * k), QStringLiteral("Rows: %1  Total: %2").arg(rows).arg(sum));
    painter.end();
    file.close();
    std::printf("floor rows=%d pages=%d total_ms=%lld cpu_ms=%.0f peak_mb=%.1f\n", rows, pages, timer.elapsed(),
                cpuMs() - cpuStart, memoryKb("VmHWM:") / 1024.0);
    return 0;
}

QString runChild(const QString& self, const QStringList& args)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, args);
    child.waitForFinished(-1);
    const QString output = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    std::printf("%s\n", qPrintable(output));
    std::fflush(stdout);
    return output;
}

// A figure of a child's line "name=value ...".
double figure(const QString& line, const QString& name)
{
    for (const QString& word : line.split(u' '))
        if (word.startsWith(name + u'='))
            return word.mid(name.size() + 1).toDouble();
    return 0;
}

// The best (least) of a figure over the lines of several runs.
double best(const QStringList& lines, const QString& name)
{
    double least = 0;
    for (const QString& line : lines) {
        const double v = figure(line, name);
        if (v > 0 && (least == 0 || v < least))
            least = v;
    }
    return least;
}

// A line for tools/run-benchmarks.sh.
void ratio(const QString& what, const QString& floor, double measured, double floorValue, double target)
{
    std::printf("RATIO|%s|%s|%.1f|%.1f|%.2f|%.2f\n", qPrintable(what), qPrintable(floor), measured, floorValue,
                floorValue > 0 ? measured / floorValue : 0.0, target);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == u"--export")
        return runExport(args[2], args[4], args[5], args[3].toInt());
    if (args.size() == 5) {
        const int rows = args[2].toInt();
        return args[1] == u"--floor" ? runFloor(args[3], args[4], rows) : runReport(args[3], args[4], rows);
    }
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("bench.db"));
    QList<int> sizes = {10000, 100000, 1000000};
    if (args.size() == 2)
        sizes = {args[1].toInt()};
    {
        SqlConnection connection;
        connection.open(db);
        makeData(connection, *std::max_element(sizes.begin(), sizes.end()));
    }
    const QString out = dir.filePath(QStringLiteral("out.pdf"));
    const auto report = [&](int rows) { return runChild(args[0], {QStringLiteral("--rows"), QString::number(rows), db, out}); };
    const auto floor = [&](int rows) { return runChild(args[0], {QStringLiteral("--floor"), QString::number(rows), db, out}); };
    const QString floorName = QStringLiteral("QPdfWriter+QPainter");
    QStringList reportRuns, floorRuns;
    double peak100k = 0;
    for (int rows : sizes) {
        if (rows == 100000 || sizes.size() == 1) {
            // Floor and report alternate; the best of each counts.
            reportRuns.clear();
            floorRuns.clear();
            for (int round = 0; round < 3; ++round) {
                floorRuns << floor(rows);
                reportRuns << report(rows);
            }
            const QString what = QStringLiteral("report PDF %1 rows").arg(rows);
            ratio(what, floorName, best(reportRuns, QStringLiteral("cpu_ms")), best(floorRuns, QStringLiteral("cpu_ms")), 1.15);
            peak100k = best(reportRuns, QStringLiteral("peak_mb"));
        } else if (rows == 1000000) {
            // The peak of the whole process, against the floor's, which streams too.
            const double peak = figure(report(rows), QStringLiteral("peak_mb"));
            const double floorPeak = figure(floor(rows), QStringLiteral("peak_mb"));
            ratio(QStringLiteral("report peak memory MB, 1M rows (target: 100 MB)"), floorName, peak, floorPeak,
                  floorPeak > 0 ? 100 / floorPeak : 0);
            if (peak100k > 0)
                ratio(QStringLiteral("report peak memory MB, 1M rows against 100k (flat in rows)"),
                      QStringLiteral("the same report at 100k rows"), peak, peak100k, 1.15);
        } else {
            report(rows);
        }
    }
    if (sizes.contains(100000)) {
        // Each document filter writing the prepared pages, against the PDF filter writing them:
        // drawing every text with its font into a PDF is the costliest of them, and no other
        // format should take longer than it. Two rounds, interleaved; the better counts.
        QMap<QString, QStringList> runs;
        const QStringList keys = {"pdf", "html", "odt", "ods", "rtf", "xls"};
        for (int round = 0; round < 2; ++round)
            for (const QString& key : keys)
                if (ExportFilters::make(key))
                    runs[key] << runChild(args[0], {QStringLiteral("--export"), key, QStringLiteral("100000"), db, out});
        const double pdfMs = best(runs.value(QStringLiteral("pdf")), QStringLiteral("cpu_ms"));
        for (const QString& key : keys)
            if (key != u"pdf" && runs.contains(key))
                ratio(QStringLiteral("report export %1, 100k rows").arg(key.toUpper()), QStringLiteral("PDF export of the same pages"),
                      best(runs[key], QStringLiteral("cpu_ms")), pdfMs, 1.0);
    }
    return 0;
}
