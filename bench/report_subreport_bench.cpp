// Sub-reports against the same pages from one joined query: 10,000 customers, each with a card
// that lists its 5 orders through a sub-report (its statement prepared once, run again per
// customer with the id bound), beside a group per customer over "customers JOIN orders". Both
// make the same texts at the same places. Times are the best of three fills (query included);
// memory is the peak above what the process held before each fill.
//
//   report_subreport_bench              10k x 5, and 2k x 5 to show that memory stays flat
//   report_subreport_bench --masters N  N customers only
#include "platform/sql_connection.h"
#include "process_memory.h"
#include "report/engine/dataset.h"
#include "report/engine/filler.h"
#include "report/engine/page_document.h"
#include "report/engine/template.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int ordersPerCustomer = 5;

void makeData(SqlConnection& db, int customers)
{
    db.execute(QStringLiteral(
        "CREATE TABLE customer (id INTEGER PRIMARY KEY, name TEXT, city TEXT);"
        "CREATE TABLE orders (id INTEGER PRIMARY KEY, id_customer INTEGER, number TEXT, total REAL);"
        "CREATE INDEX orders_customer ON orders (id_customer);"
        "BEGIN;"));
    db.execute(QStringLiteral(
        "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < %1) "
        "INSERT INTO customer SELECT n, CASE n % 2 WHEN 0 THEN 'Customer ' || n ELSE 'Покупатель ' || n END, "
        "CASE n % 3 WHEN 0 THEN 'London' WHEN 1 THEN 'Москва' ELSE 'Paris' END FROM r;")
                   .arg(customers));
    db.execute(QStringLiteral(
        "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < %1) "
        "INSERT INTO orders SELECT n, (n - 1) / %2 + 1, 'ORD-' || n, (n % 997) / 4.0 FROM r;")
                   .arg(customers * ordersPerCustomer)
                   .arg(ordersPerCustomer));
    db.execute(QStringLiteral("COMMIT;"));
}

const char* page = R"(<page size="A4" margin-left="10" margin-top="10" margin-right="10" margin-bottom="10"/>)";
const char* orderRow = R"(<text x="10" y="0" width="40" height="5" size="9">[%1.number]</text>
    <text x="50" y="0" width="30" height="5" size="9" align="right" format="n2">[%1.total]</text>)";
const char* cardTop = R"(<text x="0" y="0" width="120" height="7" bold="true">[%1.name]</text>
    <text x="120" y="0" width="70" height="7" align="right">[%1.city]</text>)";
const char* cardFoot = R"(<text x="10" y="0" width="70" height="6" italic="true" format="n2">Total [SUM(%1.total)]</text>)";

QString subreportTemplate()
{
    return QStringLiteral(R"(<report version="2">%1
        <detail height="13">%2
            <subreport name="Orders" x="0" y="7" width="190" height="6">
                <query>SELECT number, total FROM orders WHERE id_customer = :id ORDER BY id</query>
                <detail height="5">%3</detail>
                <footer height="6">%4</footer>
            </subreport>
        </detail></report>)")
        .arg(QLatin1StringView(page), QString::fromUtf8(cardTop).arg(QStringLiteral("Report")),
             QString::fromUtf8(orderRow).arg(QStringLiteral("Orders")),
             QString::fromUtf8(cardFoot).arg(QStringLiteral("Orders")));
}

QString flatTemplate()
{
    return QStringLiteral(R"(<report version="2">%1
        <group expression="Report.id">
            <header height="7">%2</header>
            <footer height="6">%4</footer>
        </group>
        <detail height="5">%3</detail></report>)")
        .arg(QLatin1StringView(page), QString::fromUtf8(cardTop).arg(QStringLiteral("Report")),
             QString::fromUtf8(orderRow).arg(QStringLiteral("Report")),
             QString::fromUtf8(cardFoot).arg(QStringLiteral("Report")));
}

struct Run {
    qint64 ms = 0;
    long peakKb = 0;
    int pages = 0;
    QStringList firstPage;
};

QStringList textsOf(const PageDocument& doc, int index)
{
    QStringList out;
    const PageRef p = doc.page(index);
    for (const PageBox& b : p->boxes)
        if (b.kind == PageBox::Kind::Text)
            out << QStringLiteral("%1,%2:").arg(b.x).arg(b.y) + p->text(b).toString();
    return out;
}

Run fill(SqlConnection& db, const QString& xml, const QString& sql, bool subreports)
{
    Run best;
    for (int round = 0; round < 3; ++round) {
        const long before = memoryKb("VmRSS:");
        resetPeakMemory();
        QElapsedTimer timer;
        timer.start();
        ReportDataset data;
        SqlStatement statement = db.prepare(sql);
        data.setResult(statement);
        const ReportTemplate t = ReportTemplateFormat::read(xml.toUtf8(), QStringLiteral("bench.xml"));
        SubreportStatementSource source;
        if (subreports)
            source = [&db](const QString& query) { return db.prepareBound(query); };
        ReportFiller filler(t, &data, QStringLiteral("bench.xml"), source);
        const std::unique_ptr<PageDocument> doc = filler.fill();
        const qint64 ms = timer.elapsed();
        const long peak = memoryKb("VmHWM:") - before;
        if (round == 0 || ms < best.ms)
            best.ms = ms;
        best.peakKb = std::max(best.peakKb, peak);
        best.pages = doc->pageCount();
        if (round == 0)
            best.firstPage = textsOf(*doc, 0);
    }
    return best;
}

void compare(int customers, bool ratio)
{
    QTemporaryDir dir;
    SqlConnection db;
    db.open(dir.filePath(QStringLiteral("bench.db")));
    makeData(db, customers);
    const Run sub = fill(db, subreportTemplate(), QStringLiteral("SELECT id, name, city FROM customer ORDER BY id"), true);
    const Run flat = fill(db, flatTemplate(),
                          QStringLiteral("SELECT c.id, c.name, c.city, o.number, o.total FROM customer c "
                                         "JOIN orders o ON o.id_customer = c.id ORDER BY c.id, o.id"),
                          false);
    const bool same = sub.pages == flat.pages && sub.firstPage == flat.firstPage;
    std::printf("subreports customers=%d orders=%d pages=%d fill_ms=%lld peak_mb=%.1f\n", customers,
                customers * ordersPerCustomer, sub.pages, sub.ms, sub.peakKb / 1024.0);
    std::printf("flat customers=%d orders=%d pages=%d fill_ms=%lld peak_mb=%.1f same_pages=%s\n", customers,
                customers * ordersPerCustomer, flat.pages, flat.ms, flat.peakKb / 1024.0, same ? "yes" : "NO");
    if (ratio)
        std::printf("RATIO|report sub-reports %dk x %d|flat joined query|%lld|%lld|%.2f|1.5\n", customers / 1000,
                    ordersPerCustomer, sub.ms, flat.ms, flat.ms > 0 ? double(sub.ms) / double(flat.ms) : 0.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--masters"));
    if (at >= 0 && at + 1 < args.size()) {
        compare(args[at + 1].toInt(), false);
        return 0;
    }
    compare(2000, false);
    compare(10000, true);
    return 0;
}
