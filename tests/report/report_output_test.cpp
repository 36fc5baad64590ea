#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/lang.h"
#include "report/export/pdf_export.h"
#include "report/export/picture_export.h"
#include "report/report.h"
#include "report/report_windows.h"
#include "report/ui/preview.h"
#include "report_fixture.h"
#include "support/scripted_desktop.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("<failed: %1>").arg(QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A customer list from a real database: Latin and Cyrillic names, grouped by country.
class ReportOutput : public testing::Test {
protected:
    void SetUp() override
    {
        desktop = &ScriptedDesktop::install();
        sql.db.execute(QStringLiteral(
            "CREATE TABLE customer (id INTEGER PRIMARY KEY, name TEXT, country TEXT, balance REAL);"
            "INSERT INTO customer (name, country, balance) VALUES ('Anna Smith', 'UK', 10.5), ('Борис Петров', 'Россия', 20),"
            " ('Clara Jones', 'UK', 1.25), ('Дарья Иванова', 'Россия', 3);"));
        for (int i = 0; i < 120; ++i)
            sql.db.execute(QStringLiteral("INSERT INTO customer (name, country, balance) VALUES ('Zed %1', 'Zeta', 1)").arg(i));
        sql.run(QStringLiteral("SELECT * FROM customer ORDER BY country, name"));
        report.addDataset(&sql.data);
        report.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        report.loadTemplateText(QStringLiteral(R"(<report version="1" name="Customers">
            <title height="12"><text x="0" y="0" width="190" height="10" size="16" bold="true" align="center">Клиенты / Customers</text></title>
            <page-header height="7">
                <text x="0" y="0" width="100" height="6" bold="true" frame-bottom="0.3 #000000">Name</text>
                <text x="100" y="0" width="40" height="6" bold="true" align="right" frame-bottom="0.3 #000000">Balance</text>
            </page-header>
            <group expression="Report.country">
                <header height="8"><text x="0" y="1" width="190" height="7" italic="true" background="#dddddd">[Report.country] ([COUNT()])</text></header>
            </group>
            <detail height="6">
                <text x="0" y="0" width="100" height="6">[Report.name]</text>
                <text x="100" y="0" width="40" height="6" align="right" format="n2">[Report.balance]</text>
            </detail>
            <page-footer height="6"><text x="0" y="0" width="190" height="6" align="right">Page [Page] of [TotalPages]</text></page-footer>
            <summary height="10"><text x="0" y="2" width="140" height="6" align="right" format="n2" bold="true">Total: [SUM(Report.balance)]</text></summary>
            </report>)"), QStringLiteral("customers.xml"));
    }

    ScriptedDesktop* desktop = nullptr;
    SqlFixture sql;
    Report report;
};

TEST_F(ReportOutput, PdfKeepsTextsInOrderSearchableWithEmbeddedFonts)
{
    PdfExportFilter pdf;
    const QString path = sql.project.file(QStringLiteral("out.pdf"));
    pdf.setFileName(path);
    ASSERT_TRUE(report.exportTo(pdf));
    ASSERT_TRUE(QFile::exists(path));
    ASSERT_GE(report.pages()->pageCount(), 2);

    const QString info = run(QStringLiteral("pdfinfo"), {path});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(report.pages()->pageCount()))))
        << info.toStdString();
    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    // Countries in the database's order: Latin before Cyrillic.
    const QStringList inOrder = {"Клиенты / Customers", "UK (2)", "Anna Smith", "10.50", "Clara Jones", "Zeta (120)",
                                 "Page 1 of 3", "Россия (2)", "Борис Петров", "20.00", "Дарья Иванова",
                                 "Total: 154.75", "Page 3 of 3"};
    qsizetype at = 0;
    for (const QString& piece : inOrder) {
        const qsizetype found = text.indexOf(piece, at);
        EXPECT_GE(found, 0) << "missing or out of order: " << piece.toStdString();
        if (found >= 0)
            at = found;
    }
    const QStringList fonts = run(QStringLiteral("pdffonts"), {path}).split(u'\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString& font : fonts) {
        EXPECT_TRUE(font.contains(QStringLiteral("DejaVu"))) << font.toStdString();
        // The columns emb, sub, uni: embedded and with a Unicode map (searchable).
        EXPECT_TRUE(font.contains(QRegularExpression(QStringLiteral("yes\\s+(yes|no)\\s+yes\\s")))) << font.toStdString();
    }
}

TEST_F(ReportOutput, PagePicturesAreNumberedAndAskedForWhenTheDialogIsOn)
{
    for (const auto format : {PictureExportFilter::Format::Jpeg, PictureExportFilter::Format::Tiff}) {
        PictureExportFilter pictures(format);
        const QString base = sql.project.file(QStringLiteral("pages.") + pictures.extension());
        desktop->fileAnswers.push_back(base);
        desktop->windowAnswers.push_back([](QWidget& settings) {
            settings.findChild<QSpinBox*>(QStringLiteral("resolution"))->setValue(50);
            settings.findChild<QSpinBox*>(QStringLiteral("quality"))->setValue(70);
            return true;
        });
        pictures.setShowDialog(true);
        ASSERT_TRUE(ReportWindows::exportTo(report, pictures, nullptr));
        EXPECT_EQ(pictures.resolution(), 50);
        EXPECT_EQ(pictures.quality(), 70);
        EXPECT_EQ(desktop->dialogs.back().request.defaultExt, pictures.extension());
        const int count = report.pages()->pageCount();
        ASSERT_EQ(pictures.writtenFiles().size(), count);
        EXPECT_FALSE(QFile::exists(base)); // numbered instead
        for (int i = 0; i < count; ++i) {
            const QString name = sql.project.file(QStringLiteral("pages_%1.").arg(i + 1, 4, 10, QChar(u'0')) + pictures.extension());
            EXPECT_EQ(pictures.writtenFiles()[i], name);
            QImageReader reader(name);
            EXPECT_EQ(reader.format(), format == PictureExportFilter::Format::Jpeg ? QByteArray("jpeg") : QByteArray("tiff"));
            const QImage image = reader.read();
            EXPECT_EQ(image.size(), QSize(qRound(210 / 25.4 * 50), qRound(297 / 25.4 * 50)));
        }
    }
    // A single page keeps the name as given.
    EXPECT_EQ(PictureExportFilter::pageFileName(QStringLiteral("/a/b.jpg"), 0, 1), QStringLiteral("/a/b.jpg"));
    EXPECT_EQ(PictureExportFilter::pageFileName(QStringLiteral("/a/b.jpg"), 11, 12345), QStringLiteral("/a/b_00012.jpg"));

    // The user who cancels the file dialog gets nothing written.
    PictureExportFilter cancelled(PictureExportFilter::Format::Jpeg);
    cancelled.setShowDialog(true);
    EXPECT_FALSE(ReportWindows::exportTo(report, cancelled, nullptr));
    EXPECT_TRUE(cancelled.writtenFiles().isEmpty());
}

TEST_F(ReportOutput, ACancelledExportLeavesNoFile)
{
    int calls = 0;
    report.setProgress([&](int done, int) { return done < 1 || ++calls > 1000; });
    ASSERT_TRUE(report.prepare());
    PdfExportFilter pdf;
    pdf.setFileName(sql.project.file(QStringLiteral("cancelled.pdf")));
    EXPECT_FALSE(report.exportTo(pdf));
    PictureExportFilter tiff(PictureExportFilter::Format::Tiff);
    tiff.setFileName(sql.project.file(QStringLiteral("cancelled.tif")));
    tiff.setResolution(30);
    EXPECT_FALSE(report.exportTo(tiff));
    EXPECT_EQ(QDir(sql.project.path()).entryList(QDir::Files), QStringList({"sqlite.db"}));

    PdfExportFilter nowhere;
    nowhere.setFileName(sql.project.file(QStringLiteral("no/such/folder/x.pdf")));
    report.setProgress({});
    EXPECT_THROW(report.exportTo(nowhere), FileError);
}

TEST_F(ReportOutput, PrintingGoesThroughTheDialogToThePrinter)
{
    const QString path = sql.project.file(QStringLiteral("printed.pdf"));
    int offered = 0;
    desktop->windowAnswers.push_back([&](QWidget& window) {
        auto* dialog = qobject_cast<QPrintDialog*>(&window);
        if (!dialog)
            return false;
        offered = dialog->maxPage();
        QPrinter* printer = dialog->printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path);
        printer->setPrintRange(QPrinter::PageRange);
        printer->setFromTo(2, 3);
        return true;
    });
    ASSERT_TRUE(ReportWindows::print(report, nullptr));
    EXPECT_EQ(offered, 3);
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << info.toStdString();
    EXPECT_TRUE(run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).contains(QStringLiteral("Page 2 of 3")));

    // Cancelled: nothing is printed.
    EXPECT_FALSE(ReportWindows::print(report, nullptr));
    EXPECT_EQ(desktop->windows, QStringList({"QPrintDialog", "QPrintDialog"}));
}

TEST_F(ReportOutput, ThePreviewShowsPagesZoomsSearchesAndListsTheTargets)
{
    ASSERT_TRUE(report.prepare());
    ReportPreview preview(*report.pages(), report.filters());
    preview.resize(900, 800);
    preview.show();
    QApplication::processEvents();
    EXPECT_EQ(preview.pageCount(), 3);
    EXPECT_EQ(preview.windowTitle(), Lang.caption("Preview"));

    QTest::keyClick(&preview, Qt::Key_PageDown);
    EXPECT_EQ(preview.currentPage(), 1);
    QTest::keyClick(&preview, Qt::Key_End);
    EXPECT_EQ(preview.currentPage(), 2);
    QTest::keyClick(&preview, Qt::Key_Home);
    EXPECT_EQ(preview.currentPage(), 0);

    const double whole = preview.pixelsPerMm();
    preview.setZoom(ReportPreview::ZoomMode::PageWidth);
    EXPECT_GT(preview.pixelsPerMm(), whole);
    preview.setZoom(ReportPreview::ZoomMode::Percent, 200);
    EXPECT_DOUBLE_EQ(preview.pixelsPerMm(), preview.logicalDpiX() / 25.4 * 2);

    ASSERT_TRUE(preview.findNext(QStringLiteral("дарья")));
    EXPECT_EQ(preview.currentPage(), 2);
    EXPECT_EQ(preview.highlighted().size(), 1u);
    EXPECT_FALSE(preview.findNext(QStringLiteral("nobody")));
    EXPECT_TRUE(preview.highlighted().empty());

    QStringList targets;
    for (QAction* a : preview.exportButton()->menu()->actions())
        targets << a->data().toString();
    EXPECT_EQ(targets, ExportFilters::keys());

    preview.setZoom(ReportPreview::ZoomMode::WholePage);
    preview.showPage(0);
    QApplication::processEvents();
    const QImage shot = preview.grab().toImage();
    if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
        shot.save(qEnvironmentVariable("VARNEL_SCREENSHOTS") + QStringLiteral("/report_preview.png"));
    // Something of the page is drawn: dark text pixels on the white sheet.
    int dark = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            dark += qGray(shot.pixel(x, y)) < 60;
    EXPECT_GT(dark, 100);
}

// Ctrl+F goes to the search box and Ctrl+P to the print dialog; an export from the preview
// proposes the report's name, in the folder the user last exported to during the run.
TEST_F(ReportOutput, ThePreviewFindsAndPrintsByKeyAndNamesItsExportsAfterTheReport)
{
    bool focused = false, selected = false;
    QStringList shown;
    desktop->windowAnswers.push_back([&](QWidget& window) {
        auto* preview = qobject_cast<ReportPreview*>(&window);
        if (!preview)
            return false;
        preview->show();
        preview->activateWindow();
        if (!QTest::qWaitForWindowActive(preview))
            return false;
        preview->searchBox()->setText(QStringLiteral("Clara"));
        QTest::keyClick(preview, Qt::Key_PageDown);
        preview->setFocus();
        QTest::keyClick(preview, Qt::Key_F, Qt::ControlModifier);
        focused = preview->searchBox()->hasFocus();
        selected = preview->searchBox()->selectedText() == QStringLiteral("Clara");
        QTest::keyClick(preview, Qt::Key_P, Qt::ControlModifier);
        shown = desktop->windows;
        // Two exports: the first proposes the report's name; the second, the folder chosen then.
        for (const char* key : {"pdf", "odt"}) {
            for (QAction* a : preview->exportButton()->menu()->actions())
                if (a->data().toString() == QLatin1String(key))
                    a->trigger();
        }
        return true;
    });
    const QString folder = sql.project.file(QStringLiteral("out"));
    QDir().mkpath(folder);
    desktop->fileAnswers = {folder + QStringLiteral("/first.pdf"), QString()};
    ReportWindows::preview(report, nullptr);
    EXPECT_TRUE(focused);
    EXPECT_TRUE(selected);
    EXPECT_EQ(shown, QStringList({"ReportPreview", "QPrintDialog"}));
    ASSERT_EQ(desktop->dialogs.size(), 2u);
    EXPECT_TRUE(desktop->dialogs[0].request.fileName.endsWith(QStringLiteral("Customers.pdf")))
        << desktop->dialogs[0].request.fileName.toStdString();
    EXPECT_EQ(desktop->dialogs[1].request.folder, folder);
    EXPECT_EQ(desktop->dialogs[1].request.fileName, folder + QStringLiteral("/Customers.odt"));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/first.pdf")));
}

// The whole-page zoom follows the window: the page fills the room the scroll area has once the
// layout has given it its new size, also when the window was shown at another size.
TEST_F(ReportOutput, TheWholePageFitsTheWindowAfterItIsResized)
{
    ASSERT_TRUE(report.prepare());
    ReportPreview preview(*report.pages(), report.filters());
    preview.show();
    QApplication::processEvents();
    for (const QSize size : {QSize(), QSize(1200, 1000), QSize(700, 500)}) {
        if (size.isValid())
            preview.resize(size);
        QApplication::processEvents();
        auto* scroll = preview.findChild<QScrollArea*>();
        ASSERT_NE(scroll, nullptr);
        const QSize room = scroll->viewport()->size();
        const QSize page = scroll->widget()->size();
        SCOPED_TRACE(QStringLiteral("room %1x%2, page %3x%4")
                         .arg(room.width()).arg(room.height()).arg(page.width()).arg(page.height())
                         .toStdString());
        EXPECT_LE(page.width(), room.width());
        EXPECT_LE(page.height(), room.height());
        EXPECT_GE(std::max(page.width() - room.width(), page.height() - room.height()), -2);
    }
}

TEST_F(ReportOutput, TheFiltersAreRegisteredForLaterTargets)
{
    EXPECT_EQ(ExportFilters::keys(), QStringList({"pdf", "jpeg", "tiff", "html", "odt", "ods", "rtf", "xls"}));
    EXPECT_EQ(ExportFilters::make(QStringLiteral("jpeg"))->extension(), QStringLiteral("jpg"));
    EXPECT_EQ(ExportFilters::make(QStringLiteral("docx")), nullptr);
}

TEST_F(ReportOutput, CaptionsFollowTheProgramLanguage)
{
    Lang.fillFor(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(Lang.caption("Print..."), QStringLiteral("Печать..."));
    EXPECT_EQ(PdfExportFilter().caption(), QStringLiteral("Документ PDF"));
    Lang.fillEnglish();
    EXPECT_EQ(Lang.caption("Print..."), QStringLiteral("Print..."));
}

} // namespace
