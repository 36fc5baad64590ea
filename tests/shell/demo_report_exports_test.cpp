// The demo's reports in every document format, read back by LibreOffice and set beside the
// engine's own PDF of the same report. Page-like documents are converted to PDF and compared
// picture by picture at a low resolution; spreadsheets are read back as cells and row heights
// and must hold the PDF's words at the PDF's heights. The difference figures are printed so that
// a change in any filter shows how far it moved the export from the PDF.
#include "demo_project.h"
#include "shell/report_batch.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

struct DemoReport {
    const char* name;
    const char* file;
    const char* id; // the record a report of one record shows; empty for a list
};

// An invoice, a list in groups over two pages, and a card of one customer with a photo.
const DemoReport demoReports[] = {{"invoice", "invoice.xml", "81"}, {"customers", "customers.xml", ""}, {"card", "card.xml", "41"}};
const char* const documentFormats[] = {"odt", "rtf"};
const char* const sheetFormats[] = {"ods", "xls"};

bool runTool(const QString& program, const QStringList& arguments, QString* out = nullptr, int timeoutMs = 300000)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (out)
        *out = QString::fromUtf8(process.readAllStandardOutput());
    return ok;
}

QString exportName(const DemoReport& report, const QString& format)
{
    return QStringLiteral("%1-%2.%2").arg(QLatin1String(report.name), format);
}

// --- pictures -----------------------------------------------------------------------------

// Low enough that a text drawn with another program's hinting is the same grey smudge, high
// enough that a table line or a filled band is several pixels.
constexpr int renderDpi = 24;

std::vector<QImage> renderPages(const QString& pdf, const QString& prefix)
{
    std::vector<QImage> pages;
    if (!runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(renderDpi), QStringLiteral("-gray"), pdf, prefix}))
        return pages;
    const QFileInfo info(prefix);
    QStringList files = QDir(info.path()).entryList({info.fileName() + QStringLiteral("-*.pgm")}, QDir::Files);
    // pdftoppm pads the page numbers to one width, so the names sort as the pages do.
    files.sort();
    for (const QString& f : files)
        pages.push_back(QImage(info.path() + u'/' + f).convertToFormat(QImage::Format_Grayscale8));
    return pages;
}

// Ink per pixel (0 white .. 255 black), each pixel the mean of its 3x3 neighbourhood: a line
// drawn half a pixel lower, or a glyph a little wider, is then nearly the same ink.
std::vector<int> smoothedInk(const QImage& image, int width, int height)
{
    std::vector<int> ink(size_t(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sum = 0, n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int px = x + dx, py = y + dy;
                    if (px < 0 || py < 0 || px >= image.width() || py >= image.height())
                        continue;
                    sum += 255 - image.constScanLine(py)[px];
                    ++n;
                }
            ink[size_t(y * width + x)] = sum / n;
        }
    return ink;
}

// How much of a page's ink differs, in percent of the ink of the engine's own page: the sum
// of the differences over the sum of the reference. A page drawn alike scores a few percent
// (other font hinting, other anti-aliasing); a dropped band of colour or a missing frame adds
// its whole ink.
double inkDifference(const QImage& ours, const QImage& theirs)
{
    const int width = std::min(ours.width(), theirs.width()), height = std::min(ours.height(), theirs.height());
    const std::vector<int> a = smoothedInk(ours, width, height), b = smoothedInk(theirs, width, height);
    double differ = 0, total = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        differ += std::abs(a[i] - b[i]);
        total += a[i];
    }
    return total > 0 ? 100.0 * differ / total : (differ > 0 ? 100.0 : 0.0);
}

// The worst patch of a page: within a square of half an inch, the difference of ink in
// percent of the ink there, over the squares that hold some. A box whose fill or frame is lost
// is a patch of the page where it stands out; over a whole page of other drawings it is hardly
// seen.
double worstPatch(const QImage& ours, const QImage& theirs)
{
    constexpr int side = renderDpi / 2;
    // Less than a hairline across the square is no drawing to speak of.
    constexpr double someInk = side * 255 * 0.25;
    const int width = std::min(ours.width(), theirs.width()), height = std::min(ours.height(), theirs.height());
    const std::vector<int> a = smoothedInk(ours, width, height), b = smoothedInk(theirs, width, height);
    double worst = 0;
    for (int top = 0; top + side <= height; top += side / 2)
        for (int left = 0; left + side <= width; left += side / 2) {
            double differ = 0, inkA = 0, inkB = 0;
            for (int y = top; y < top + side; ++y)
                for (int x = left; x < left + side; ++x) {
                    const size_t i = size_t(y * width + x);
                    differ += std::abs(a[i] - b[i]);
                    inkA += a[i];
                    inkB += b[i];
                }
            if (std::max(inkA, inkB) >= someInk)
                worst = std::max(worst, 100.0 * differ / std::max(inkA, inkB));
        }
    return worst;
}

// --- spreadsheets read back ---------------------------------------------------------------

double lengthMm(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^([0-9.]+)(mm|cm|in|pt)$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return 0;
    const double v = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    return unit == u"mm" ? v : unit == u"cm" ? v * 10 : unit == u"in" ? v * 25.4 : v * 25.4 / 72;
}

struct SheetCell {
    int row = 0, rowSpan = 1;
    QString text;
    QString vAlign; // top, middle, bottom
};

struct SheetPage {
    std::vector<double> rowTops; // millimetres from the page's first row; one more than rows
    std::vector<SheetCell> cells;
};

// The sheets of a flat OpenDocument spreadsheet as report pages: a row that breaks the page
// before it starts the next.
std::vector<SheetPage> readSheets(const QString& fods)
{
    QFile file(fods);
    std::vector<SheetPage> pages;
    if (!file.open(QIODevice::ReadOnly))
        return pages;
    struct RowStyle {
        double height = 0;
        bool pageBreak = false;
    };
    std::map<QString, RowStyle> rowStyles;
    std::map<QString, QString> cellAligns;
    QString styleName, styleFamily;
    QXmlStreamReader xml(&file);
    SheetCell* cell = nullptr;
    int cellDepth = 0; // paragraphs of the cell so far
    bool inParagraph = false;
    std::vector<QString> columnStyles;
    int column = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.qualifiedName() == u"table:table-cell")
            cell = nullptr;
        if (xml.isEndElement() && xml.qualifiedName() == u"text:p")
            inParagraph = false;
        if (!xml.isStartElement()) {
            if (cell && inParagraph && xml.isCharacters())
                cell->text += xml.text();
            continue;
        }
        const QStringView name = xml.qualifiedName();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == u"style:style") {
            styleName = a.value(QLatin1String("style:name")).toString();
            styleFamily = a.value(QLatin1String("style:family")).toString();
        } else if (name == u"style:table-row-properties") {
            rowStyles[styleName] = RowStyle{lengthMm(a.value(QLatin1String("style:row-height")).toString()), a.value(QLatin1String("fo:break-before")) == u"page"};
        } else if (name == u"style:table-cell-properties" && styleFamily == u"table-cell") {
            cellAligns[styleName] = a.value(QLatin1String("style:vertical-align")).toString();
        } else if (name == u"table:table") {
            pages.emplace_back();
            pages.back().rowTops.push_back(0);
            columnStyles.clear();
        } else if (name == u"table:table-column") {
            // A cell of the column's own style names none.
            const int repeated = std::min(1024, std::max(1, a.value(QLatin1String("table:number-columns-repeated")).toInt()));
            for (int k = 0; k < repeated; ++k)
                columnStyles.push_back(a.value(QLatin1String("table:default-cell-style-name")).toString());
        } else if (name == u"table:covered-table-cell") {
            column += std::max(1, a.value(QLatin1String("table:number-columns-repeated")).toInt());
        } else if (name == u"table:table-row") {
            column = 0;
            const RowStyle style = rowStyles[a.value(QLatin1String("table:style-name")).toString()];
            const int repeated = std::max(1, a.value(QLatin1String("table:number-rows-repeated")).toInt());
            if (style.pageBreak && pages.back().rowTops.size() > 1) {
                pages.emplace_back();
                pages.back().rowTops.push_back(0);
            }
            // Rows repeated past the end of the report are the sheet's empty rest.
            if (repeated > 1000)
                continue;
            SheetPage& page = pages.back();
            for (int k = 0; k < repeated; ++k)
                page.rowTops.push_back(page.rowTops.back() + style.height);
        } else if (name == u"table:table-cell") {
            SheetPage& page = pages.back();
            QString style = a.value(QLatin1String("table:style-name")).toString();
            if (style.isEmpty() && size_t(column) < columnStyles.size())
                style = columnStyles[size_t(column)];
            column += std::max(1, a.value(QLatin1String("table:number-columns-repeated")).toInt());
            page.cells.push_back(SheetCell{int(page.rowTops.size()) - 2, std::max(1, a.value(QLatin1String("table:number-rows-spanned")).toInt()),
                                           QString(), cellAligns[style]});
            cell = &page.cells.back();
            cellDepth = 0;
        } else if (cell && name == u"text:p") {
            inParagraph = true;
            if (cellDepth++ > 0)
                cell->text += u'\n';
        } else if (cell && name == u"text:s") {
            cell->text += QString(std::max(1, a.value(QLatin1String("text:c")).toInt()), u' ');
        }
    }
    std::erase_if(pages, [](const SheetPage& p) { return p.cells.empty(); });
    return pages;
}

struct Word {
    QString text;
    double left, top, right, bottom; // millimetres from the page's top left corner
};

// The words of each page of a PDF with their heights, as poppler reads them.
std::vector<std::vector<Word>> pdfWords(const QString& pdf)
{
    std::vector<std::vector<Word>> pages;
    QString html;
    if (!runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}, &html))
        return pages;
    static const QRegularExpression re(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0) == u"<page ") {
            pages.emplace_back();
            continue;
        }
        const double pt = 25.4 / 72;
        QString text = m.captured(5);
        text.replace(QStringLiteral("&amp;"), QStringLiteral("&")).replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">")).replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        pages.back().push_back(
            Word{text, m.captured(1).toDouble() * pt, m.captured(2).toDouble() * pt, m.captured(3).toDouble() * pt, m.captured(4).toDouble() * pt});
    }
    return pages;
}

// The pictures a PDF shows, as poppler lists them (their transparency masks are not counted).
qsizetype pdfPictures(const QString& pdf)
{
    QString list;
    if (!runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}, &list))
        return -1;
    qsizetype pictures = 0;
    for (const QString& line : list.split(u'\n', Qt::SkipEmptyParts))
        pictures += line.split(u' ', Qt::SkipEmptyParts).value(2) == u"image";
    return pictures;
}

// The page with the words of both PDFs painted white: what is left are the fills, lines,
// frames and pictures, which another program's font rasteriser does not touch.
QImage withoutWords(QImage page, const std::vector<Word>& ours, const std::vector<Word>& theirs)
{
    const double px = renderDpi / 25.4;
    for (const std::vector<Word>* words : {&ours, &theirs})
        for (const Word& w : *words) {
            const int x0 = std::max(0, int(std::floor(w.left * px)) - 1), x1 = std::min(page.width() - 1, int(std::ceil(w.right * px)) + 1);
            const int y0 = std::max(0, int(std::floor(w.top * px)) - 1), y1 = std::min(page.height() - 1, int(std::ceil(w.bottom * px)) + 1);
            for (int y = y0; y <= y1; ++y)
                std::fill(page.scanLine(y) + x0, page.scanLine(y) + std::max(x0, x1 + 1), uchar(255));
        }
    return page;
}

// The words of our page that the other does not show within `tolerance` millimetres of the
// same place: moved, cut off, or broken onto another line. The farthest shown one in worst.
QStringList movedWords(const std::vector<Word>& ours, const std::vector<Word>& theirs, double tolerance, double* worst)
{
    QStringList wrong;
    *worst = 0;
    for (const Word& w : ours) {
        double best = 1e9;
        for (const Word& t : theirs)
            if (t.text == w.text)
                best = std::min(best, std::max(std::abs((t.left + t.right) - (w.left + w.right)) / 2,
                                               std::abs((t.top + t.bottom) - (w.top + w.bottom)) / 2));
        if (best > tolerance)
            wrong << (best > 1e8 ? w.text + QStringLiteral(" (missing)") : QStringLiteral("%1 (%2 mm off)").arg(w.text).arg(best, 0, 'f', 1));
        else
            *worst = std::max(*worst, best);
    }
    return wrong;
}

// Where a sheet shows a one-line text: the middle of its line, from the cell's rows and
// vertical alignment, the line as tall as the word.
double shownMiddle(const SheetPage& page, const SheetCell& cell, double lineHeight)
{
    const double top = page.rowTops[size_t(cell.row)];
    const double bottom = page.rowTops[size_t(std::min<int>(cell.row + cell.rowSpan, int(page.rowTops.size()) - 1))];
    if (cell.vAlign == u"top")
        return top + lineHeight / 2 + 0.5;
    if (cell.vAlign == u"middle")
        return (top + bottom) / 2;
    return bottom - lineHeight / 2 - 0.5;
}

// The words of a PDF page that a sheet page shows elsewhere than the PDF does (more than
// `tolerance` millimetres off, after the one shift that lines the two pages up), or not at all.
QStringList misplacedWords(const std::vector<Word>& words, const SheetPage& page, double tolerance, double* worst)
{
    struct Candidate {
        const Word* word;
        std::vector<const SheetCell*> cells;
    };
    std::vector<Candidate> found;
    QStringList wrong;
    for (const Word& w : words) {
        Candidate c{&w, {}};
        for (const SheetCell& cell : page.cells)
            if (cell.text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).contains(w.text))
                c.cells.push_back(&cell);
        if (c.cells.empty())
            wrong << w.text + QStringLiteral(" (in no cell)");
        else
            found.push_back(c);
    }
    // The sheet's page starts at its first row, the PDF's at the paper's edge: the shift
    // between them is the one most words agree on.
    std::vector<double> shifts;
    for (const Candidate& c : found)
        if (c.cells.size() == 1 && !c.cells.front()->text.contains(u'\n'))
            shifts.push_back((c.word->top + c.word->bottom) / 2 - shownMiddle(page, *c.cells.front(), c.word->bottom - c.word->top));
    if (shifts.empty())
        return wrong << QStringLiteral("(no word to line the pages up by)");
    std::nth_element(shifts.begin(), shifts.begin() + long(shifts.size() / 2), shifts.end());
    const double shift = shifts[shifts.size() / 2];
    *worst = 0;
    for (const Candidate& c : found) {
        const double middle = (c.word->top + c.word->bottom) / 2 - shift;
        double best = 1e9;
        for (const SheetCell* cell : c.cells) {
            double off;
            if (cell->text.contains(u'\n') || cell->rowSpan > 1) {
                // A text of several lines: anywhere within its rows.
                const double top = page.rowTops[size_t(cell->row)];
                const double bottom = page.rowTops[size_t(std::min<int>(cell->row + cell->rowSpan, int(page.rowTops.size()) - 1))];
                off = middle < top ? top - middle : middle > bottom ? middle - bottom : 0;
            } else {
                off = std::abs(middle - shownMiddle(page, *cell, c.word->bottom - c.word->top));
            }
            best = std::min(best, off);
        }
        *worst = std::max(*worst, best);
        if (best > tolerance)
            wrong << QStringLiteral("%1 (%2 mm off)").arg(c.word->text).arg(best, 0, 'f', 1);
    }
    return wrong;
}

// --- the exports --------------------------------------------------------------------------

class DemoReportExports : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            return;
        project = new TempProject;
        out = new QTemporaryDir;
        // To look at the exports and their pictures afterwards.
        if (qEnvironmentVariableIsSet("VARNEL_KEEP_EXPORTS")) {
            out->setAutoRemove(false);
            std::printf("exports kept in %s\n", qPrintable(out->path()));
        }
        copyDemoFiles(*project);
        QDir(project->path()).mkpath(QStringLiteral("pictures"));
        project->write("pictures/pic.frmPlaces.imgLogo.png", demoFile("pictures/pic.frmPlaces.imgLogo.png"));
        // The demo's database as its start command makes it.
        setupError.clear();
        if (!runTool(QStringLiteral(INIT_DATABASE),
                     {project->file(QStringLiteral("tables.ini")), project->file(QStringLiteral("sqlite.db")),
                      QStringLiteral(VARNEL_SOURCE_DIR "/examples/demo/sample_data.sql")})) {
            setupError = QStringLiteral("init_database failed");
            return;
        }
        QStringList documents, sheets;
        for (const DemoReport& r : demoReports) {
            QStringList formats{QStringLiteral("pdf")};
            for (const char* f : documentFormats)
                formats << QLatin1String(f);
            for (const char* f : sheetFormats)
                formats << QLatin1String(f);
            for (const QString& format : formats) {
                const QString file = out->filePath(exportName(r, format));
                QStringList arguments{QStringLiteral("varnel"), QStringLiteral("--report"), QLatin1String(r.file), QStringLiteral("--format"),
                                      format, QStringLiteral("--output"), file};
                if (*r.id)
                    arguments << QStringLiteral("--id") << QLatin1String(r.id);
                const ReportBatchResult result = RunReportBatch(arguments);
                if (result.exitCode != 0) {
                    setupError += QStringLiteral("%1 as %2: %3\n").arg(QLatin1String(r.file), format, result.error);
                    continue;
                }
                if (format == u"pdf")
                    continue;
                (std::find(std::begin(sheetFormats), std::end(sheetFormats), format) != std::end(sheetFormats) ? sheets : documents)
                    << file;
            }
        }
        // One office program run per kind of target: starting it is most of the time.
        QTemporaryDir profile(QDir::tempPath() + QStringLiteral("/varnel-lo-XXXXXX"));
        const QString user = QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString();
        const QDir converted(out->filePath(QStringLiteral("converted")));
        converted.mkpath(QStringLiteral("."));
        for (const auto& [files, target] : {std::pair{documents, QStringLiteral("pdf")}, std::pair{sheets, QStringLiteral("fods")}})
            if (!runTool(QStringLiteral("soffice"), QStringList{user, QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                                                 QStringLiteral("--convert-to"), target, QStringLiteral("--outdir"),
                                                                 converted.path()}
                                                        + files))
                setupError += QStringLiteral("soffice could not convert to %1\n").arg(target);
    }

    static void TearDownTestSuite()
    {
        delete out;
        delete project;
        out = nullptr;
        project = nullptr;
    }

    void SetUp() override
    {
        if (!project)
            GTEST_SKIP() << "LibreOffice (soffice) or poppler (pdftoppm) is not installed; the exports were not compared";
        ASSERT_TRUE(setupError.isEmpty()) << setupError.toStdString();
    }

    static QString converted(const DemoReport& r, const QString& format, const QString& as)
    {
        return out->filePath(QStringLiteral("converted/%1-%2.%3").arg(QLatin1String(r.name), format, as));
    }

    static inline TempProject* project = nullptr;
    static inline QTemporaryDir* out = nullptr;
    static inline QString setupError;
};

// Every page of a document export, drawn by the office program, against the engine's own page.
// The limits sit between what the demo's exports measure when they look right and what they
// measured while a fault was in them (dropped fills, lost frames, clipped e-mails):
// - the ink of the whole page differs by less than this share of the engine page's ink. Right:
//   1.3 to 4.5 (text hinted and spaced a little differently; at 24 dpi every glyph edge counts).
//   RTF whose header shading had gaps and whose lines and frames were missing: 19.6 to 43.
constexpr double maxInkDifference = 12;
// - with the words painted out, the fills, lines, frames and pictures differ by less than this
//   share of their ink. Right: 1.3 to 4.8. Faults: 14.7 (ODT without the summary box's fill
//   and sides) to 47 (RTF).
constexpr double maxDrawingDifference = 10;
// - and no half-inch square of them differs by more than this share of its ink: a box lost on
//   a page of other drawings stands out there. Right: 9.5 to 22.8 (a picture resampled, a
//   hairline between two fills). Faults: 33 (ODT invoice without its summary box) to 100.
constexpr double maxPatchDifference = 28;
// - every word stands within this many millimetres of its place on the engine's page, so no
//   text is cut off, wrapped onto a second line or moved. Right: 0.2 to 0.3. Faults: e-mails
//   broken onto a clipped second line (missing), totals padded with spaces 2.3 to 3 mm off.
constexpr double maxWordOffset = 1.5;

TEST_F(DemoReportExports, DocumentPagesLookLikeTheEnginesPdf)
{
    for (const DemoReport& r : demoReports) {
        const QString ours = out->filePath(exportName(r, QStringLiteral("pdf")));
        const std::vector<QImage> reference = renderPages(ours, out->filePath(QStringLiteral("%1-ref").arg(QLatin1String(r.name))));
        const auto ourWords = pdfWords(ours);
        ASSERT_FALSE(reference.empty()) << r.name;
        ASSERT_EQ(ourWords.size(), reference.size());
        for (const char* format : documentFormats) {
            const QString pdf = converted(r, QLatin1String(format), QStringLiteral("pdf"));
            const std::vector<QImage> pages =
                renderPages(pdf, out->filePath(QStringLiteral("%1-%2-lo").arg(QLatin1String(r.name), QLatin1String(format))));
            const auto theirWords = pdfWords(pdf);
            SCOPED_TRACE(std::string(r.name) + " as " + format);
            ASSERT_EQ(pages.size(), reference.size()) << "page count of " << pdf.toStdString();
            ASSERT_EQ(theirWords.size(), reference.size());
            QStringList figures;
            for (size_t i = 0; i < pages.size(); ++i) {
                const double ink = inkDifference(reference[i], pages[i]);
                const QImage ourDrawings = withoutWords(reference[i], ourWords[i], theirWords[i]);
                const QImage theirDrawings = withoutWords(pages[i], ourWords[i], theirWords[i]);
                const double drawings = inkDifference(ourDrawings, theirDrawings);
                const double patch = worstPatch(ourDrawings, theirDrawings);
                double worst = 0;
                const QStringList moved = movedWords(ourWords[i], theirWords[i], maxWordOffset, &worst);
                figures << QStringLiteral("%1/%2/%3/%4").arg(ink, 0, 'f', 1).arg(drawings, 0, 'f', 1).arg(patch, 0, 'f', 1).arg(worst, 0, 'f', 1);
                EXPECT_LT(ink, maxInkDifference) << "page " << i + 1;
                EXPECT_LT(drawings, maxDrawingDifference) << "page " << i + 1 << ": fills, lines or frames differ";
                EXPECT_LT(patch, maxPatchDifference) << "page " << i + 1 << ": a fill, line or frame differs";
                EXPECT_TRUE(moved.isEmpty()) << "page " << i + 1 << ": " << moved.join(QStringLiteral(", ")).toStdString();
            }
            const std::string key = std::string(r.name) + '_' + format;
            RecordProperty(key, figures.join(u' ').toStdString());
            std::printf("page/drawings/worst patch difference %%, worst word offset mm: %-10s %-4s per page: %s\n", r.name, format,
                        qPrintable(figures.join(QStringLiteral(" "))));
        }
    }
}

// The words of each PDF page stand in the sheet's cells of that page, each at the height where
// the PDF has it: so the cells hold the report's values and the rows are as tall as its bands.
TEST_F(DemoReportExports, SpreadsheetsHoldThePdfsWordsAtThePdfsHeights)
{
    // Half a line of small print: a row too tall or too short by more moves every word below.
    // Right: 0.1 to 1.0. Faults: 55 to 84 mm (the last summary row stretched to the page
    // footer, its text centred far below its place), 2.7 (a band's text centred in a row taller
    // than its box).
    constexpr double tolerance = 2.0;
    for (const DemoReport& r : demoReports) {
        const auto words = pdfWords(out->filePath(exportName(r, QStringLiteral("pdf"))));
        ASSERT_FALSE(words.empty()) << r.name;
        for (const char* format : sheetFormats) {
            SCOPED_TRACE(std::string(r.name) + " as " + format);
            const std::vector<SheetPage> sheet = readSheets(converted(r, QLatin1String(format), QStringLiteral("fods")));
            ASSERT_EQ(sheet.size(), words.size()) << "pages of the sheet";
            QStringList figures;
            for (size_t i = 0; i < sheet.size(); ++i) {
                double worst = 0;
                const QStringList wrong = misplacedWords(words[i], sheet[i], tolerance, &worst);
                EXPECT_TRUE(wrong.isEmpty()) << "page " << i + 1 << ": " << wrong.join(QStringLiteral(", ")).toStdString();
                figures << QString::number(worst, 'f', 1);
            }
            // And the pictures: as many as the PDF shows.
            QFile fods(converted(r, QLatin1String(format), QStringLiteral("fods")));
            ASSERT_TRUE(fods.open(QIODevice::ReadOnly));
            EXPECT_EQ(fods.readAll().count("<draw:image"), pdfPictures(out->filePath(exportName(r, QStringLiteral("pdf")))))
                << "pictures of the sheet";
            RecordProperty(std::string(r.name) + '_' + format, figures.join(u' ').toStdString());
            std::printf("worst word offset %-10s %-4s per page (mm): %s\n", r.name, format, qPrintable(figures.join(QStringLiteral(" "))));
        }
    }
}

} // namespace
