// Barcodes and charts in the designer: placed from the palette, set up in the panel, drawn in
// the sheet as they print, and shown by F5 (or the reason they cannot be).
#include "platform/lang.h"
#include "designer_test_support.h"
#include "report/engine/barcode.h"
#include "report/engine/chart.h"
#include "report/engine/dataset.h"
#include "report/engine/template.h"
#include "report/report.h"
#include "report/report_windows.h"
#include "report/ui/designer_panels.h"
#include "report/ui/designer_view.h"
#include "report/ui/designer_window.h"
#include "report/ui/preview.h"
#include "support/scripted_desktop.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const BandRef Detail{BandKind::Detail};
const BandRef Summary{BandKind::Summary};

class DesignerObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        Lang.fillEnglish();
        data.reset({"product", "qty", "country"});
        const struct {
            const char* product;
            qint64 qty;
            const char* country;
        } rows[] = {{"Coffee", 2, "Norway"}, {"Tea", 5, "Norway"}, {"Milk", 1, "Sweden"}};
        for (const auto& r : rows) {
            data.appendRow();
            data.addText(r.product, qsizetype(strlen(r.product)));
            data.addInteger(r.qty);
            data.addText(r.country, qsizetype(strlen(r.country)));
        }
        report.loadTemplateText(QStringLiteral("<report version=\"2\"><detail height=\"30\"/><summary height=\"60\"/></report>"));
        report.setTemplateFileName(QString());
        window = std::make_unique<ReportDesignerWindow>(
            ReportWindows::designerSession(report, &data, dir.path(), dir.path()));
        window->resize(1300, 900);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->view()->setZoom(100);
        window->setSnap(true, 1);
    }

    void TearDown() override { Lang.fillEnglish(); }

    QWidget* viewport() const { return window->view()->viewport(); }
    QPoint at(const BandRef& band, double x, double y) const { return window->view()->viewPoint(band, {x, y}); }
    const ReportObject& object(const BandRef& band, int index) const { return *findObject(window->model(), {band, index}); }

    template <class T>
    T* editor(const QString& key) const
    {
        return qobject_cast<T*>(window->properties()->editor(key));
    }

    void choose(const QString& key, int index)
    {
        QComboBox* combo = editor<QComboBox>(key);
        ASSERT_NE(combo, nullptr) << key.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    void type(const QString& key, const QString& text)
    {
        QLineEdit* line = editor<QLineEdit>(key);
        ASSERT_NE(line, nullptr) << key.toStdString();
        line->setFocus();
        QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(line, text);
        QTest::keyClick(line, Qt::Key_Return);
    }

    // The place with the tool: a click at the top left corner gives the object its first size.
    void place(const char* tool, const BandRef& band, double x, double y)
    {
        window->action(QString::fromLatin1(tool))->trigger();
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(band, x, y));
    }

    // F5: the pages the preview shows, -1 when none was shown.
    int previewPages() { return designerPreviewPages(*window, *desk); }

    ScriptedDesktop* desk = nullptr;
    ReportDataset data;
    Report report;
    QTemporaryDir dir;
    std::unique_ptr<ReportDesignerWindow> window;
};

int countColor(const QImage& image, const QRect& area, const QColor& color, int tolerance = 0)
{
    int n = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - color.red()) <= tolerance && std::abs(c.green() - color.green()) <= tolerance
                 && std::abs(c.blue() - color.blue()) <= tolerance;
        }
    return n;
}

} // namespace

TEST_F(DesignerObjects, BothArePlacedSetUpDrawnAndPreviewed)
{
    // A chart placed with the field "country" picked counts rows by it.
    window->fieldList()->setCurrentRow(2);
    place("tool.chart", Summary, 0, 0);
    ASSERT_EQ(window->model().summary->objects.size(), 1u);
    EXPECT_EQ(object(Summary, 0).kind, ObjectKind::Chart);
    EXPECT_EQ(object(Summary, 0).category, QStringLiteral("Report.country"));
    EXPECT_EQ(object(Summary, 0).rect, QRectF(0, 0, 90, 50));
    choose(QStringLiteral("chart-kind"), 2);
    type(QStringLiteral("value"), QStringLiteral("Report.qty"));
    type(QStringLiteral("colors"), QStringLiteral("#ff0000 #0000ff"));
    EXPECT_EQ(object(Summary, 0).chart, ChartKind::Pie);
    EXPECT_EQ(object(Summary, 0).text, QStringLiteral("Report.qty"));
    EXPECT_EQ(object(Summary, 0).colors, std::vector<QColor>({QColor(Qt::red), QColor(Qt::blue)}));
    // A word that is no colour leaves the colours as they were.
    type(QStringLiteral("colors"), QStringLiteral("#00ff00 greenish"));
    EXPECT_EQ(object(Summary, 0).colors, std::vector<QColor>({QColor(Qt::red), QColor(Qt::blue)}));

    place("tool.barcode", Detail, 100, 0);
    ASSERT_EQ(window->model().detail->objects.size(), 1u);
    EXPECT_EQ(object(Detail, 0).kind, ObjectKind::Barcode);
    EXPECT_EQ(object(Detail, 0).text, QStringLiteral("Report.country"));
    choose(QStringLiteral("barcode-kind"), 1);
    EXPECT_EQ(object(Detail, 0).barcode, BarcodeKind::Code128);
    const std::vector<QString> expectedKeys = {"barcode-kind", "value", "color", "fill"};
    for (const QString& key : expectedKeys)
        EXPECT_NE(window->properties()->editor(key), nullptr) << key.toStdString();
    EXPECT_EQ(window->properties()->editor(QStringLiteral("category")), nullptr);

    // The sheet draws them as they print: the slices in their colours, the bars in black.
    const QImage sheet = viewport()->grab().toImage();
    if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
        sheet.save(qEnvironmentVariable("VARNEL_SCREENSHOTS") + QStringLiteral("/designer_objects.png"));
    const QRect chartArea(at(Summary, 0, 0), at(Summary, 90, 50));
    EXPECT_GT(countColor(sheet, chartArea, Qt::red), 500);
    EXPECT_GT(countColor(sheet, chartArea, Qt::blue), 200);
    const QRect barcodeArea(at(Detail, 100, 0), at(Detail, 125, 25));
    EXPECT_GT(countColor(sheet, barcodeArea, Qt::black, 60), 200);

    EXPECT_EQ(previewPages(), 1);
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join(u'\n').toStdString();
    const ReportTemplate t = window->model();
    EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(t), QStringLiteral("again")), t);
}

TEST_F(DesignerObjects, DataTheBarcodeCannotHoldIsToldAtF5)
{
    place("tool.barcode", Detail, 0, 0);
    type(QStringLiteral("name"), QStringLiteral("ean"));
    choose(QStringLiteral("barcode-kind"), 2);
    type(QStringLiteral("value"), QStringLiteral("Report.product"));
    EXPECT_EQ(previewPages(), -1);
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_TRUE(desk->messages[0].text.contains(QStringLiteral("object \"ean\""))) << desk->messages[0].text.toStdString();
    EXPECT_TRUE(desk->messages[0].text.contains(QStringLiteral("\"Coffee\""))) << desk->messages[0].text.toStdString();

    type(QStringLiteral("value"), QStringLiteral("'4006381333931'"));
    EXPECT_EQ(previewPages(), 1);
    EXPECT_EQ(desk->messages.size(), 1u);
}
