// Barcodes and charts: the template keeps them, the filler makes their symbols and points, the
// renderer draws them as vectors, and every output takes them (documents as pictures).
#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/barcode.h"
#include "report/engine/chart.h"
#include "report/engine/page_renderer.h"
#include "report/export/drawn_picture.h"
#include "report/export/export_filter.h"
#include "report/report.h"
#include "report_fixture.h"
#include "support/scripted_desktop.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QString runTool(const QString& program, const QStringList& arguments, bool* ok = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool done = process.waitForFinished(240000) && process.exitStatus() == QProcess::NormalExit
                      && process.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The pictures a PDF holds, as pdfimages lists them (one line each after its heading).
int pdfImageCount(const QString& pdf)
{
    bool ok = false;
    const QStringList lines = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}, &ok)
                                  .split(u'\n', Qt::SkipEmptyParts);
    return ok ? int(lines.size()) - 2 : -1;
}

// The modules of the first barcode on the first page.
QStringList firstSymbol(const PageDocument& doc)
{
    const PageRef p = doc.page(0);
    for (const PageBox& b : p->boxes)
        if (b.kind == PageBox::Kind::Barcode)
            return p->text(b).toString().split(u'\n');
    return {};
}

const char* salesRows = "CREATE TABLE sale (id INTEGER PRIMARY KEY, country TEXT, product TEXT, total REAL);"
                        "INSERT INTO sale (country, product, total) VALUES ('France', 'Tea', 10), ('France', 'Coffee', 2.5),"
                        " ('France', 'Tea', 1), ('Germany', 'Milk', 7), ('Germany', 'Tea', '3.5'), ('UK', 'Tea', NULL);";

} // namespace

// ------------------------------------------------------------------ the symbols libzint makes

struct KnownSymbol {
    const char* name;
    BarcodeKind kind;
    const char* data;
    int columns, rows;
};

class BarcodeSymbols : public testing::TestWithParam<KnownSymbol> {};

TEST_P(BarcodeSymbols, HaveTheModuleCountOfTheirSymbology)
{
    const KnownSymbol k = GetParam();
    const BarcodeSymbol symbol = encodeBarcode(k.kind, QString::fromUtf8(k.data));
    EXPECT_EQ(symbol.columns, k.columns);
    EXPECT_EQ(symbol.rows, k.rows);
    EXPECT_EQ(symbol.linear, k.rows == 1);
    const QStringList rows = symbol.modules.split(u'\n');
    ASSERT_EQ(rows.size(), k.rows);
    for (const QString& row : rows)
        EXPECT_EQ(row.size(), k.columns);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BarcodeSymbols,
    testing::Values(KnownSymbol{"QrVersion1", BarcodeKind::Qr, "Varnel", 21, 21},
                    KnownSymbol{"QrVersion2", BarcodeKind::Qr, "Order 10248, 440.00", 25, 25},
                    KnownSymbol{"Ean13", BarcodeKind::Ean13, "4006381333931", 95, 1},
                    KnownSymbol{"Code128", BarcodeKind::Code128, "ABC-123", 112, 1},
                    KnownSymbol{"DataMatrix", BarcodeKind::DataMatrix, "Varnel", 14, 14},
                    KnownSymbol{"Code39", BarcodeKind::Code39, "CODE39", 103, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Barcode, SymbolsHaveTheirFixedPatterns)
{
    // EAN-13: start, centre and end guards at their fixed places.
    const QString ean = encodeBarcode(BarcodeKind::Ean13, QStringLiteral("4006381333931")).modules;
    EXPECT_EQ(ean.left(3), QStringLiteral("101"));
    EXPECT_EQ(ean.mid(45, 5), QStringLiteral("01010"));
    EXPECT_EQ(ean.right(3), QStringLiteral("101"));
    // QR: the finder square in three corners, with its light separator.
    const QStringList qr = encodeBarcode(BarcodeKind::Qr, QStringLiteral("Varnel")).modules.split(u'\n');
    const QStringList finder = {"1111111", "1000001", "1011101", "1011101", "1011101", "1000001", "1111111"};
    for (int r = 0; r < 7; ++r) {
        EXPECT_EQ(qr[r].left(8), finder[r] + u'0') << r;
        EXPECT_EQ(qr[r].right(8), u'0' + finder[r]) << r;
        EXPECT_EQ(qr[14 + r].left(8), finder[r] + u'0') << r;
    }
}

TEST(Barcode, DataTheSymbologyCannotHoldIsRefusedWithTheReason)
{
    const struct {
        BarcodeKind kind;
        const char* data;
        const char* reason;
    } cases[] = {{BarcodeKind::Ean13, "12345ABC", "Invalid character"},
                 {BarcodeKind::Ean13, "4006381333932", "check digit"},
                 {BarcodeKind::Qr, "", "No input data"}};
    for (const auto& c : cases) {
        try {
            encodeBarcode(c.kind, QString::fromUtf8(c.data));
            ADD_FAILURE() << c.data << " was encoded";
        } catch (const FormatError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason))) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(u'"' + QString::fromUtf8(c.data) + u'"')) << e.message().toStdString();
        }
    }
}

// ------------------------------------------------------------------ filling

TEST(ReportBarcode, EachRowGetsItsSymbolAndBadDataNamesTheObject)
{
    SqlFixture sql;
    sql.db.execute(QStringLiteral("CREATE TABLE o (number TEXT, total REAL, ean TEXT);"
                                  "INSERT INTO o VALUES ('10248', 440, '4006381333931'), ('10249', 1863.4, '40063813339AB');"));
    const QString xml = QStringLiteral(R"xml(<report version="2" name="Codes">
        <detail height="30">
            <barcode name="qr" x="0" y="0" width="25" height="25" value="'Order ' &amp; Report.number &amp; ', total ' &amp; Report.total"/>
            <barcode name="ean" x="40" y="0" width="40" height="20" kind="ean13" value="Report.ean" color="#000080" fill="#ffffff"/>
        </detail></report>)xml");
    sql.run(QStringLiteral("SELECT * FROM o WHERE number = '10248'"));
    const auto pages = fillOf(xml, &sql.data);
    ASSERT_EQ(pages->pageCount(), 1);
    const PageRef page = pages->page(0);
    ASSERT_EQ(page->boxes.size(), 2u);
    const PageBox& qr = page->boxes[0];
    EXPECT_EQ(qr.kind, PageBox::Kind::Barcode);
    EXPECT_EQ(QRectF(qr.rect()), QRectF(10, 10, 25, 25));
    EXPECT_EQ(page->text(qr).toString(), encodeBarcode(BarcodeKind::Qr, QStringLiteral("Order 10248, total 440")).modules);
    // The bars the EAN-13 code tables give digit by digit: guard, 006381 in the parities of the
    // leading 4 (LGLLGG), centre guard, 33393 and the check digit 1, guard.
    EXPECT_EQ(page->text(page->boxes[1]).toString(),
              QStringLiteral("101" "0001101" "0100111" "0101111" "0111101" "0001001" "0110011" "01010"
                             "1000010" "1000010" "1000010" "1110100" "1000010" "1100110" "101"));
    EXPECT_EQ(pages->style(page->boxes[1].style).lineColor, QColor(0, 0, 0x80));
    EXPECT_EQ(pages->style(page->boxes[1].style).fill, QColor(Qt::white));

    sql.run(QStringLiteral("SELECT * FROM o ORDER BY number"));
    try {
        fillOf(xml, &sql.data);
        ADD_FAILURE() << "letters in an EAN-13 were filled";
    } catch (const FormatError& e) {
        const QString m = e.message();
        EXPECT_TRUE(m.startsWith(QStringLiteral("Report template \"test.xml\", the detail band, object \"ean\": "))) << m.toStdString();
        EXPECT_TRUE(m.contains(QStringLiteral("\"40063813339AB\""))) << m.toStdString();
        EXPECT_TRUE(m.contains(QStringLiteral("Invalid character"))) << m.toStdString();
    }
}

TEST(ReportChart, PointsAddUpPerCategoryOverTheRowsOfTheirScope)
{
    SqlFixture sql;
    sql.db.execute(QString::fromUtf8(salesRows));
    sql.run(QStringLiteral("SELECT * FROM sale ORDER BY country, id"));
    // A chart above its rows (title, group header) shows them all; in a footer or the summary,
    // the rows passed; the category format shows the category.
    const auto pages = fillOf(QStringLiteral(R"xml(<report version="2">
        <title height="30"><chart x="0" y="0" width="60" height="30" kind="pie" category="Report.country" value="Report.total"/></title>
        <group expression="Report.country">
            <header height="20"><chart x="0" y="0" width="60" height="20" category="Report.product" value="Report.total"/></header>
            <footer height="20"><chart x="0" y="0" width="60" height="20" kind="line" category="UPPER(Report.product)" value="1"/></footer>
        </group>
        <detail height="5"><text x="0" y="0" width="50" height="5">[Report.product]</text></detail>
        <summary height="30"><chart x="0" y="0" width="60" height="30" category="Report.country" value="Report.total" colors="#ff0000"/></summary>
        </report>)xml"), &sql.data);
    ASSERT_EQ(pages->pageCount(), 1);
    EXPECT_EQ(chartsOf(*pages, 0),
              QStringList({"10.0|France=13.5;Germany=10.5;UK=0",
                           "40.0|Tea=11;Coffee=2.5", "75.0|TEA=2;COFFEE=1",
                           "95.0|Milk=7;Tea=3.5", "125.0|MILK=1;TEA=1",
                           "145.0|Tea=0", "170.0|TEA=1",
                           "190.0|France=13.5;Germany=10.5;UK=0"}));
    const PageRef page = pages->page(0);
    for (const PageBox& b : page->boxes)
        if (b.kind == PageBox::Kind::Chart && b.y > 180) {
            EXPECT_EQ(pages->style(b.style).colors, std::vector<QColor>({QColor(Qt::red)}));
        }
}

TEST(ReportChart, PointsKeepCategoriesWithSeparatorsApart)
{
    ChartData data;
    data.add(QStringLiteral("a\x1e" "b"), 1.5);
    data.add(QStringLiteral("c\x1f" "d"), -2);
    data.add(QStringLiteral("a\x1e" "b"), 1);
    data.add(QString(), 1e300);
    const std::vector<ChartPoint> points = chartPoints(data.payload());
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].category, QStringLiteral("a b"));
    EXPECT_EQ(points[0].value, 2.5);
    EXPECT_EQ(points[1].category, QStringLiteral("c d"));
    EXPECT_EQ(points[1].value, -2);
    EXPECT_EQ(points[2].value, 1e300);
}

// ------------------------------------------------------------------ drawing

namespace {

// A box drawn alone at a zoom that puts module edges between pixels.
QImage drawn(PageBox::Kind kind, const QRectF& box, const BoxStyle& style, const QString& text, double pixelsPerMm)
{
    QImage image(int(box.right() * pixelsPerMm) + 2, int(box.bottom() * pixelsPerMm) + 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(pixelsPerMm, pixelsPerMm);
    BoxContent content;
    content.text = text;
    PageRenderer::paintBox(painter, kind, box, style, content);
    return image;
}

} // namespace

TEST(ReportBarcode, DarkModulesJoinWithoutSeamsAtAnyZoom)
{
    const BarcodeSymbol symbol = encodeBarcode(BarcodeKind::Qr, QStringLiteral("Varnel"));
    for (const double zoom : {3.3, 5.0, 7.77}) {
        const double module = 1.05; // mm: the 21 modules in a box 22.05 mm wide
        const QImage image = drawn(PageBox::Kind::Barcode, QRectF(0, 0, 21 * module, 21 * module), BoxStyle(),
                                   symbol.modules, zoom);
        // Down the left side of the finder square: seven rows of modules, one dark line.
        const int x = int(0.5 * module * zoom);
        for (int y = int(0.2 * module * zoom); y < int(6.8 * module * zoom); ++y)
            ASSERT_LT(qGray(image.pixel(x, y)), 40) << "zoom " << zoom << " y " << y;
        // A light module stays light, a dark one dark, at their centres.
        const auto at = [&](int row, int column) {
            return qGray(image.pixel(int((column + 0.5) * module * zoom), int((row + 0.5) * module * zoom)));
        };
        for (int row = 0; row < 21; ++row)
            for (int column = 0; column < 21; ++column)
                ASSERT_EQ(at(row, column) < 128, symbol.modules.split(u'\n')[row][column] == u'1')
                    << "zoom " << zoom << " module " << row << "," << column;
    }
}

TEST(ReportChart, BarsLinesAndSlicesAreDrawnInTheirColours)
{
    ChartData data;
    data.add(QStringLiteral("France"), 13.5);
    data.add(QStringLiteral("Germany"), 10.5);
    const auto count = [](const QImage& image, const QColor& color) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == color;
        return n;
    };
    const QColor first(0x11, 0x88, 0x22), second(0xcc, 0x22, 0x99);
    BoxStyle style;
    style.colors = {first, second};
    for (const ChartKind kind : {ChartKind::Bar, ChartKind::Line, ChartKind::Pie}) {
        style.chart = kind;
        const QImage image = drawn(PageBox::Kind::Chart, QRectF(0, 0, 80, 50), style, data.payload(), 6);
        EXPECT_GT(count(image, first), 200) << int(kind);
        // Bars and slices take a colour each; a line is one series in the first colour.
        if (kind == ChartKind::Line)
            EXPECT_EQ(count(image, second), 0);
        else
            EXPECT_GT(count(image, second), 200) << int(kind);
    }
    // The taller bar is the first: its colour reaches higher.
    style.chart = ChartKind::Bar;
    style.legend = false;
    const QImage bars = drawn(PageBox::Kind::Chart, QRectF(0, 0, 80, 50), style, data.payload(), 6);
    const auto top = [&](const QColor& color) {
        for (int y = 0; y < bars.height(); ++y)
            for (int x = 0; x < bars.width(); ++x)
                if (bars.pixelColor(x, y) == color)
                    return y;
        return -1;
    };
    EXPECT_LT(top(first), top(second));
}

// ------------------------------------------------------------------ outputs

class ReportObjectsOutput : public testing::Test {
protected:
    void SetUp() override
    {
        ScriptedDesktop::install();
        sql.db.execute(QString::fromUtf8(salesRows));
        sql.run(QStringLiteral("SELECT * FROM sale ORDER BY country, id"));
        report.addDataset(&sql.data);
        report.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        report.loadTemplateText(QStringLiteral(R"xml(<report version="2" name="Sales">
            <title height="12"><text x="0" y="0" width="100" height="10" size="16">Sales</text></title>
            <detail height="6"><text x="0" y="0" width="60" height="6">[Report.country] [Report.product]</text></detail>
            <summary height="70">
                <barcode name="qr" x="0" y="0" width="30" height="30" value="'Sales ' &amp; SUM(Report.total)"/>
                <barcode name="ean" x="40" y="0" width="45" height="20" kind="ean13" value="'4006381333931'"/>
                <chart name="sales" x="0" y="35" width="120" height="35" category="Report.country" value="Report.total"/>
            </summary>
            </report>)xml"), QStringLiteral("sales.xml"));
        ASSERT_TRUE(report.prepare());
    }

    QString exportAs(const QString& key)
    {
        std::unique_ptr<ExportFilter> filter = ExportFilters::make(key);
        EXPECT_NE(filter, nullptr);
        if (!filter)
            return QString();
        const QString path = sql.project.file(QStringLiteral("sales.") + filter->extension());
        filter->setFileName(path);
        EXPECT_TRUE(report.exportTo(*filter));
        if (const QString keep = qEnvironmentVariable("VARNEL_KEEP_EXPORTS"); !keep.isEmpty()) {
            QFile::remove(keep + QStringLiteral("/sales.") + filter->extension());
            QFile::copy(path, keep + QStringLiteral("/sales.") + filter->extension());
        }
        return path;
    }

    static QString soffice() { return QStandardPaths::findExecutable(QStringLiteral("soffice")); }

    // LibreOffice converts the file to PDF in a profile of its own; the PDF's path or empty.
    static QString toPdf(const QString& file)
    {
        QTemporaryDir profile(QDir::tempPath() + QStringLiteral("/varnel-lo-XXXXXX"));
        QTemporaryDir out;
        runTool(soffice(), {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                            QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                            QStringLiteral("pdf"), QStringLiteral("--outdir"), out.path(), file});
        const QFileInfo info(file);
        const QString kept = info.dir().filePath(info.completeBaseName() + u'.' + info.suffix() + QStringLiteral(".pdf"));
        QFile::remove(kept);
        return QFile::copy(out.filePath(info.completeBaseName() + QStringLiteral(".pdf")), kept) ? kept : QString();
    }

    SqlFixture sql;
    Report report;
};

TEST_F(ReportObjectsOutput, ThePdfDrawsBarcodesAndChartsAsVectorsAndTexts)
{
    const QString pdf = exportAs(QStringLiteral("pdf"));
    if (QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty())
        GTEST_SKIP() << "poppler-utils are not installed; the PDF was not read back";
    EXPECT_EQ(pdfImageCount(pdf), 0);
    const QString text = runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    for (const char* label : {"France", "Germany", "UK"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(label))) << text.toStdString();
    // Drawn at 300 dpi by poppler, the QR code's modules are where the symbol has them.
    QTemporaryDir dir;
    bool ok = false;
    runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                                         QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("page"))}, &ok);
    ASSERT_TRUE(ok);
    const QImage page(dir.filePath(QStringLiteral("page.png")));
    ASSERT_FALSE(page.isNull());
    const PageRef first = report.pages()->page(0);
    const auto qr = std::find_if(first->boxes.begin(), first->boxes.end(),
                                 [](const PageBox& b) { return b.kind == PageBox::Kind::Barcode; });
    ASSERT_NE(qr, first->boxes.end());
    const QStringList rows = first->text(*qr).toString().split(u'\n');
    const double module = qr->width / rows.size(), dotsPerMm = 300 / 25.4;
    int wrong = 0;
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.size(); ++c) {
            const QPoint at(int((qr->x + (c + 0.5) * module) * dotsPerMm), int((qr->y + (r + 0.5) * module) * dotsPerMm));
            wrong += (qGray(page.pixel(at)) < 128) != (rows[r][c] == u'1');
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(ReportObjectsOutput, HtmlShowsEachAsAPictureOfItsBox)
{
    QFile file(exportAs(QStringLiteral("html")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const QRegularExpression img(QStringLiteral("<img class=\"g\" alt=\"\" style=\"left:([0-9.]+)mm;top:([0-9.]+)mm;"
                                                "width:([0-9.]+)mm;height:([0-9.]+)mm\" src=\"data:image/png;base64,([^\"]+)\">"));
    QList<QImage> pictures;
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        pictures << QImage::fromData(QByteArray::fromBase64(m.captured(5).toLatin1()), "PNG");
        EXPECT_NEAR(pictures.back().width() / m.captured(3).toDouble(), 300 / 25.4, 0.1);
    }
    ASSERT_EQ(pictures.size(), 3);
    // The QR code's modules are where the symbol has them.
    const QStringList rows = firstSymbol(*report.pages());
    ASSERT_FALSE(rows.isEmpty());
    const double module = double(pictures[0].width()) / rows.size();
    int wrong = 0;
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.size(); ++c)
            wrong += (qGray(pictures[0].pixel(int((c + 0.5) * module), int((r + 0.5) * module))) < 128) != (rows[r][c] == u'1');
    EXPECT_EQ(wrong, 0);
}

class DocumentObjects : public ReportObjectsOutput, public testing::WithParamInterface<const char*> {};

// The word processors and the spreadsheets take each drawing as a picture that LibreOffice reads
// back.
TEST_P(DocumentObjects, TheOfficeProgramReadsThePictures)
{
    const QString key = QString::fromLatin1(GetParam());
    const QString path = exportAs(key);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (key == u"rtf") {
        EXPECT_EQ(bytes.count("{\\pict\\pngblip"), 3);
    }
    if (key == u"odt" || key == u"ods") {
        for (const char* name : {"Pictures/drawing1.png", "Pictures/drawing2.png", "Pictures/drawing3.png"})
            EXPECT_TRUE(bytes.contains(name)) << name;
        EXPECT_FALSE(bytes.contains("Pictures/drawing4.png"));
    }
    if (soffice().isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the conversion check did not run";
    const QString pdf = toPdf(path);
    ASSERT_FALSE(pdf.isEmpty());
    const QString text = runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Sales"))) << text.toStdString();
    EXPECT_EQ(pdfImageCount(pdf), 3);
}

INSTANTIATE_TEST_SUITE_P(Formats, DocumentObjects, testing::Values("odt", "rtf", "ods", "xls"));

// ------------------------------------------------------------------ the template

TEST(ReportObjectsTemplate, EveryAttributeIsReadAndWrittenBack)
{
    const ReportTemplate t = templateOf(QStringLiteral(R"xml(<report version="2">
        <detail height="40">
            <barcode name="b" x="1" y="2" width="30" height="30" kind="datamatrix" value="Report.code" color="#102030" fill="#80ffffff"/>
            <chart name="c" x="40" y="0" width="80" height="40" kind="pie" category="Report.country" value="SUM(Report.total)"
                   colors="#ff0000 #00ff00" legend="false" format="date:yyyy" font="DejaVu Serif" size="7" bold="true" italic="true" color="#333333"/>
        </detail></report>)xml"));
    const ReportObject& b = t.detail->objects[0];
    EXPECT_EQ(b.kind, ObjectKind::Barcode);
    EXPECT_EQ(b.barcode, BarcodeKind::DataMatrix);
    EXPECT_EQ(b.text, QStringLiteral("Report.code"));
    EXPECT_EQ(b.lineColor, QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(b.fill, QColor(0xff, 0xff, 0xff, 0x80));
    const ReportObject& c = t.detail->objects[1];
    EXPECT_EQ(c.kind, ObjectKind::Chart);
    EXPECT_EQ(c.chart, ChartKind::Pie);
    EXPECT_EQ(c.category, QStringLiteral("Report.country"));
    EXPECT_EQ(c.text, QStringLiteral("SUM(Report.total)"));
    EXPECT_EQ(c.colors, std::vector<QColor>({QColor(Qt::red), QColor(Qt::green)}));
    EXPECT_FALSE(c.legend);
    EXPECT_EQ(c.format, QStringLiteral("date:yyyy"));
    EXPECT_EQ(c.style.font, (FontSpec{QStringLiteral("DejaVu Serif"), 7, true, true, false}));
    EXPECT_EQ(c.style.color, QColor(0x33, 0x33, 0x33));
    const QByteArray written = ReportTemplateFormat::write(t);
    EXPECT_TRUE(written.contains("<report version=\"2\">")) << written.toStdString();
    EXPECT_EQ(ReportTemplateFormat::read(written, QStringLiteral("again")), t);
}

TEST(ReportObjectsTemplate, AnOlderTemplateReadsAsItWas)
{
    const QString v1 = QStringLiteral(R"xml(<report version="1" name="Old">
        <detail height="6"><text x="0" y="0" width="60" height="6">[Report.name]</text>
        <checkbox x="70" y="1" width="4" height="4" value="Report.paid"/></detail></report>)xml");
    const ReportTemplate old = templateOf(v1);
    QString v2 = v1;
    v2.replace(QStringLiteral("version=\"1\""), QStringLiteral("version=\"2\""));
    EXPECT_EQ(templateOf(v2), old);
    EXPECT_EQ(old.detail->objects.size(), 2u);
}

struct BadObject {
    const char* name;
    const char* xml;
    const char* error;
};

class ReportObjectsRefused : public testing::TestWithParam<BadObject> {};

TEST_P(ReportObjectsRefused, WithLineAndColumn)
{
    try {
        ReportTemplateFormat::read(QByteArray("<report version=\"2\">\n<detail>\n") + GetParam().xml + "</detail></report>",
                                   QStringLiteral("bad.xml"));
        ADD_FAILURE() << "read";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.message().toStdString(), std::string("bad.xml, line 3, column ") + GetParam().error);
    }
}

// In Russian the same refusals are told in Russian: only the names stay as written.
TEST_P(ReportObjectsRefused, InRussian)
{
    Lang.fillRussian();
    struct English {
        ~English() { Lang.fillEnglish(); }
    } back;
    try {
        ReportTemplateFormat::read(QByteArray("<report version=\"2\">\n<detail>\n") + GetParam().xml + "</detail></report>",
                                   QStringLiteral("bad.xml"));
        ADD_FAILURE() << "read";
    } catch (const FormatError& e) {
        QString message = e.message();
        EXPECT_TRUE(message.startsWith(QString::fromUtf8("bad.xml, строка 3, столбец "))) << message.toStdString();
        // What is left without the names, the kinds and the colours' notation is Russian.
        static const QRegularExpression names(QStringLiteral(R"re(\S+\.xml|"[^"]*"|<[^>]*>|#a?a?rrggbb|\b(qr|code128|ean13|datamatrix|code39|bar|line|pie|true|false)\b)re"));
        message.remove(names);
        static const QRegularExpression latin(QStringLiteral("[A-Za-z]{2,}"));
        EXPECT_FALSE(latin.match(message).hasMatch()) << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportObjectsRefused,
    testing::Values(
        BadObject{"BarcodeWithoutValue", "<barcode x=\"1\"/>", "16: a <barcode> needs a value"},
        BadObject{"UnknownSymbology", "<barcode kind=\"aztec\" value=\"1\"/>",
                  "33: \"kind\" must be one of qr, code128, ean13, datamatrix, code39"},
        BadObject{"BarcodeFont", "<barcode value=\"1\" size=\"9\"/>", "29: unknown attribute \"size\" on <barcode>"},
        BadObject{"ChartWithoutCategory", "<chart value=\"1\"/>", "18: a <chart> needs a category"},
        BadObject{"ChartWithoutValue", "<chart category=\"1\"/>", "21: a <chart> needs a value"},
        BadObject{"UnknownChart", "<chart kind=\"radar\" category=\"1\" value=\"1\"/>",
                  "44: \"kind\" must be one of bar, line, pie"},
        BadObject{"NamedColour", "<chart category=\"1\" value=\"1\" colors=\"#ff0000 red\"/>",
                  "52: \"colors\" must be colours written #rrggbb or #aarrggbb, apart by spaces"},
        BadObject{"ChartLegend", "<chart category=\"1\" value=\"1\" legend=\"yes\"/>", "44: \"legend\" must be true or false"},
        BadObject{"ChildElement", "<chart category=\"1\" value=\"1\"><text/></chart>",
                  "37: unknown element <text> in an object"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReportObjectsTemplate, AWrongExpressionIsToldBeforeAnyPage)
{
    SqlFixture sql;
    sql.run(QStringLiteral("SELECT 'a' AS name"));
    try {
        fillOf(QStringLiteral(R"xml(<report version="2"><summary height="9">
            <chart name="c" x="0" y="0" width="9" height="9" category="Report.country" value="1"/></summary></report>)xml"),
               &sql.data);
        ADD_FAILURE() << "filled";
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("the summary, object \"c\""))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("country"))) << e.message().toStdString();
    }
}
