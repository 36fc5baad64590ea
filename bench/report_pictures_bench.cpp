// A report with its own photo on every row, written to PDF and to ODT: the memory it takes
// above the rows themselves, which must stay flat as the rows grow (at most 200 MB at 10,000
// rows). Each run is a child process of its own, so that its peak is its own; the peak is
// measured from after the rows are read.
//
//   report_pictures_bench                  PDF and ODT at 2,500, 5,000 and 10,000 rows
//   report_pictures_bench --rows N         the same at N rows only
//   report_pictures_bench --run KEY N DB   one report of N rows written by the filter KEY (child)
#include "platform/sql_connection.h"
#include "process_memory.h"
#include "report/engine/dataset.h"
#include "report/engine/page_document.h"
#include "report/report.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const QString cardTemplate = QStringLiteral(R"(<report version="1">
    <page size="A4" margin-left="10" margin-top="10" margin-right="10" margin-bottom="10"/>
    <detail height="45">
        <picture x="0" y="0" width="30" height="40" value="Report.photo"/>
        <text x="35" y="0" width="100" height="7" size="12" bold="true">[Report.name]</text>
        <text x="35" y="8" width="100" height="6">No. [Report.id]</text>
    </detail>
    <page-footer height="6"><text x="0" y="0" width="190" height="6" align="right">Page [Page] of [TotalPages]</text></page-footer>
    </report>)");

// A photograph of its own for every row: 480 x 640 pixels, about 30 KB as JPEG.
QByteArray photo(int n)
{
    QImage image(480, 640, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(n * 37 % 360, 90, 230));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv(n * 53 % 360, 160, 200));
    painter.drawEllipse(QPointF(240, 250), 120 + n % 40, 150);
    painter.setBrush(QColor::fromHsv(n * 11 % 360, 200, 120));
    painter.drawRect(QRectF(60, 440, 360, 200));
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 40));
    painter.drawText(QRectF(0, 20, 480, 80), Qt::AlignCenter, QString::number(n));
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return jpeg;
}

void makeData(const QString& path, int rows)
{
    SqlConnection db;
    db.open(path);
    db.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS person (id INTEGER PRIMARY KEY, name TEXT, photo BLOB)"));
    const int have = int(db.query(QStringLiteral("SELECT COUNT(*) FROM person")).rows[0][0].toInt());
    db.execute(QStringLiteral("BEGIN"));
    for (int n = have + 1; n <= rows; ++n)
        db.execute(QStringLiteral("INSERT INTO person (id, name, photo) VALUES (%1, 'Person %1', :photo)").arg(n),
                   {{QStringLiteral("photo"), photo(n)}});
    db.execute(QStringLiteral("COMMIT"));
}

int run(const QString& key, int rows, const QString& dbPath, const QString& out)
{
    ReportDataset data;
    {
        SqlConnection db;
        db.openReadOnly(dbPath);
        SqlStatement statement = db.prepare(QStringLiteral("SELECT id, name, photo FROM person ORDER BY id LIMIT %1").arg(rows));
        data.setResult(statement);
    }
    resetPeakMemory();
    const long baseKb = memoryKb("VmRSS:");
    Report report;
    report.addDataset(&data);
    report.loadTemplateText(cardTemplate, QStringLiteral("cards.xml"));
    QElapsedTimer timer;
    timer.start();
    report.prepare();
    const qint64 fillMs = timer.elapsed();
    ExportFilter* filter = report.filter(key);
    filter->setFileName(out + u'.' + filter->extension());
    report.exportTo(*filter);
    const qint64 exportMs = timer.elapsed() - fillMs;
    std::printf("pictures format=%s rows=%d pages=%d pictures=%u fill_ms=%lld export_ms=%lld dataset_mb=%.1f "
                "peak_above_dataset_mb=%.1f document_mb=%.1f file_mb=%.1f\n",
                qPrintable(key), rows, report.pages()->pageCount(), report.pages()->imageCount(), fillMs, exportMs,
                data.memoryUse() / 1048576.0, (memoryKb("VmHWM:") - baseKb) / 1024.0,
                report.pages()->memoryUse() / 1048576.0, QFile(filter->fileName()).size() / 1048576.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == u"--run")
        return run(args[2], args[3].toInt(), args[4], args[5]);
    QList<int> sizes = {2500, 5000, 10000};
    if (args.size() == 3 && args[1] == u"--rows")
        sizes = {args[2].toInt()};
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("photos.db"));
    makeData(db, *std::max_element(sizes.begin(), sizes.end()));
    for (const char* key : {"pdf", "odt"})
        for (int rows : sizes) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(args[0], {QStringLiteral("--run"), QString::fromLatin1(key), QString::number(rows), db,
                                  dir.filePath(QStringLiteral("out"))});
            child.waitForFinished(-1);
            std::printf("%s\n", child.readAllStandardOutput().trimmed().constData());
            std::fflush(stdout);
        }
    return 0;
}
