// The demo's reports made from its own sample rows, through the report buttons a user presses
// and from the command line.
#include "app_fixture.h"

#include "actions/record_actions.h"
#include "report/engine/barcode.h"
#include "report/engine/chart.h"
#include "report/engine/page_document.h"
#include "report/report.h"
#include "shell/report_batch.h"

#include <QDir>
#include <algorithm>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QByteArray demoFile(const QString& name)
{
    QFile f(QStringLiteral(VARNEL_SOURCE_DIR "/examples/demo/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString pdfText(const QString& file)
{
    QProcess text;
    text.start("pdftotext", {"-layout", file, "-"});
    if (!text.waitForFinished())
        return QString();
    return QString::fromUtf8(text.readAllStandardOutput());
}

} // namespace

class DemoReports : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(demoFile("tables.ini"), demoFile("forms.xml"));
        app->db().execute(QString::fromUtf8(demoFile("sample_data.sql")));
        QDir(app->project.path()).mkpath("Report");
        QDir(app->project.path()).mkpath("pictures");
        for (const QString& name : QDir(VARNEL_SOURCE_DIR "/examples/demo/Report").entryList(QDir::Files))
            app->project.write("Report/" + name, demoFile("Report/" + name));
        app->project.write("pictures/pic.frmPlaces.imgLogo.png", demoFile("pictures/pic.frmPlaces.imgLogo.png"));
        app->desk.temp = temp.path() + '/';
    }
    std::unique_ptr<RunningApp> app;
    QTemporaryDir temp;
};

TEST_F(DemoReports, TheInvoiceOfTheSelectedOrderHasItsItemsTotalsAndPageNumbers)
{
    TForm* orders = app->form("frmOrders");
    ASSERT_NE(orders, nullptr);
    auto* grid = app->control<TdbStringGridEx>("frmOrders", "gridOrders");
    grid->dbExecute();
    grid->setDbItemID(81);
    app->click("frmOrders", "bOrdInvoice");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    ASSERT_EQ(app->desk.shellRequests.size(), 1u);
    const QString text = pdfText(app->desk.shellRequests[0].target);
    if (text.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    EXPECT_TRUE(text.contains("ORD-2481"));
    // Names print as they were typed.
    EXPECT_TRUE(text.contains(QString::fromUtf8("Иванова, Анна")));
    EXPECT_TRUE(text.contains("Coffee beans 1 kg")) << "ligatures must not reach the PDF text";
    EXPECT_TRUE(text.contains("962.00")); // 3 x 189 + 5 x 79
    EXPECT_TRUE(text.contains("Page 1 of 1"));
    // Its QR code holds the order number and the total.
    const PageDocument* pages = app->main->actions().report().pages();
    ASSERT_NE(pages, nullptr);
    const PageRef last = pages->page(pages->pageCount() - 1);
    QStringList symbols;
    for (const PageBox& b : last->boxes)
        if (b.kind == PageBox::Kind::Barcode)
            symbols << last->text(b).toString();
    EXPECT_EQ(symbols, QStringList{encodeBarcode(BarcodeKind::Qr, "Invoice ORD-2481, total 962").modules});
}

// The sales chart from its button on the orders form: the template's own query, one bar and one
// slice per country, drawn as vectors with the countries' names as text.
TEST_F(DemoReports, TheSalesChartShowsEveryCountry)
{
    app->click("frmOrders", "bOrdSales");
    ASSERT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    const PageDocument* pages = app->main->actions().report().pages();
    ASSERT_NE(pages, nullptr);
    const PageRef first = pages->page(0);
    std::vector<std::vector<ChartPoint>> charts;
    for (const PageBox& b : first->boxes)
        if (b.kind == PageBox::Kind::Chart)
            charts.push_back(chartPoints(first->text(b)));
    ASSERT_EQ(charts.size(), 2u);
    const auto total = [&](const char* sql) {
        SqlStatement statement = app->db().prepare(sql);
        return statement.step() ? statement.real(0) : -1.0;
    };
    double sum = 0;
    for (const ChartPoint& p : charts[0])
        sum += p.value;
    EXPECT_NEAR(sum, total("SELECT SUM(qty * price) FROM items i JOIN orders o ON o.id = i.id_orders"), 0.001);
    EXPECT_GE(charts[0].size(), 3u);
    for (size_t i = 1; i < charts[0].size(); ++i)
        EXPECT_GE(charts[0][i - 1].value, charts[0][i].value) << "largest first";
    EXPECT_EQ(charts[1].size(), charts[0].size());
}

// The other two, from the command line with the templates' own queries: the customers in
// groups with their counts, and a card with its photo.
TEST_F(DemoReports, TheCustomerListAndACardFromTheCommandLine)
{
    app->main->connection().close();
    const QString list = temp.path() + "/customers.pdf";
    auto result = RunReportBatch({"varnel", "--report", "customers.xml", "--format", "pdf", "--output", list});
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    const QString text = pdfText(list);
    if (text.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    EXPECT_TRUE(text.contains("Customers in Norway: 18"));
    EXPECT_TRUE(text.contains(QString::fromUtf8("Customers in Россия: 1")));
    EXPECT_TRUE(text.contains("Customers in total: 41"));
    EXPECT_TRUE(text.contains("Page 1 of 2"));
    EXPECT_LT(text.indexOf("Germany"), text.indexOf("Norway"));

    const QString card = temp.path() + "/card.pdf";
    result = RunReportBatch({"varnel", "--report", "card.xml", "--format", "pdf", "--output", card, "--id", "41"});
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    EXPECT_TRUE(pdfText(card).contains(QString::fromUtf8("Иванова, Анна")));
    QProcess images;
    images.start("pdfimages", {"-list", card});
    ASSERT_TRUE(images.waitForFinished());
    EXPECT_EQ(images.readAllStandardOutput().count("image"), 1) << "the photo is drawn";
}

// The customers with their orders, and the orders with their items (sub-reports within a
// sub-report), and the customers' address labels, three across and seven down on A4.
TEST_F(DemoReports, CustomersWithTheirOrdersAndAddressLabels)
{
    app->main->connection().close();
    const QString cards = temp.path() + "/customer_orders.pdf";
    auto result = RunReportBatch({"varnel", "--report", "customer_orders.xml", "--format", "pdf", "--output", cards});
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    const QString text = pdfText(cards);
    if (text.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    // Berg, Jon's four orders, oldest first, between his name and the next customer's.
    const qsizetype jon = text.indexOf("Berg, Jon");
    const qsizetype next = text.indexOf("Berg, Ola");
    ASSERT_GE(jon, 0);
    ASSERT_GT(next, jon);
    qsizetype at = jon;
    for (const char* number : {"ORD-2449", "ORD-2468", "ORD-2427", "ORD-2401"}) {
        const qsizetype found = text.indexOf(number, at);
        EXPECT_GT(found, at) << number;
        EXPECT_LT(found, next) << number;
        at = std::max(at, found);
    }
    EXPECT_TRUE(text.mid(jon, next - jon).contains("4 orders"));
    EXPECT_TRUE(text.mid(jon, next - jon).contains("12 x 399")) << "ORD-2401's items under it";

    const QString labels = temp.path() + "/labels.pdf";
    result = RunReportBatch({"varnel", "--report", "labels.xml", "--format", "pdf", "--output", labels});
    ASSERT_EQ(result.exitCode, 0) << result.error.toStdString();
    const QString labelText = pdfText(labels);
    EXPECT_EQ(labelText.count(u'\f'), 2) << "41 customers on 21 labels a sheet";
    EXPECT_TRUE(labelText.contains("Berg, Jon"));
    EXPECT_TRUE(labelText.contains("NORWAY"));
    // Pages for a person to look at.
    if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS")) {
        const QString shots = qEnvironmentVariable("VARNEL_SCREENSHOTS");
        RunReportBatch({"varnel", "--report", "customer_orders.xml", "--format", "jpeg", "--output", shots + "/customer_orders.jpg"});
        RunReportBatch({"varnel", "--report", "labels.xml", "--format", "jpeg", "--output", shots + "/labels.jpg"});
    }
}
