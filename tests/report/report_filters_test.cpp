// The document filters, each read back by a real consumer: LibreOffice converts every file
// (to PDF for documents, to CSV for spreadsheets), poppler reads the PDF, and the parts a
// consumer might quietly repair are checked directly (well-formed XML, a second .xls reader).
#include "platform/errors.h"
#include "report/engine/page_document.h"
#include "report/export/export_file.h"
#include "report/export/xls_export.h"
#include "report/export/zip_writer.h"
#include "report/report.h"
#include "report_fixture.h"
#include "support/scripted_desktop.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <optional>
#include <zlib.h>

namespace {

struct ToolRun {
    bool ok = false;
    QString out, err;
};

ToolRun run(const QString& program, const QStringList& arguments, int timeoutMs = 120000)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun r;
    r.ok = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}

QString soffice()
{
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

// Converts with LibreOffice in a profile of its own (tests may run side by side); the path of
// the converted file, empty when the conversion failed.
QString convert(const QString& file, const QString& target, const QString& extension, QString* log = nullptr)
{
    QTemporaryDir profile(QDir::tempPath() + QStringLiteral("/varnel-lo-XXXXXX"));
    QTemporaryDir outDir;
    const QFileInfo info(file);
    const ToolRun r = run(soffice(), {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                                  QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                                  target, QStringLiteral("--outdir"), outDir.path(), file},
                      240000);
    if (log)
        *log = r.out + r.err;
    const QString converted = outDir.filePath(info.completeBaseName() + u'.' + extension);
    const QString kept = info.dir().filePath(info.completeBaseName() + QStringLiteral(".converted.") + extension);
    QFile::remove(kept);
    return QFile::copy(converted, kept) ? kept : QString();
}

// Where each piece is found, in order; the pieces missing or out of order.
QStringList outOfOrder(const QString& text, const QStringList& pieces)
{
    QStringList wrong;
    qsizetype at = 0;
    for (const QString& piece : pieces) {
        const qsizetype found = text.indexOf(piece, at);
        if (found < 0)
            wrong << piece;
        else
            at = found + piece.size();
    }
    return wrong;
}

int pdfPages(const QString& pdf)
{
    const ToolRun r = run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(r.out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The entries of a zip package, read with zlib: the names in order and each one's bytes.
struct Package {
    QStringList names;
    QList<QByteArray> data;
    QList<int> methods;
    QByteArray part(const QString& name) const { return data.value(names.indexOf(name)); }
};

Package readZip(const QByteArray& zip)
{
    Package p;
    qsizetype at = 0;
    auto u16 = [&](qsizetype i) { return quint16(uchar(zip[i]) | uchar(zip[i + 1]) << 8); };
    auto u32 = [&](qsizetype i) { return quint32(u16(i) | quint32(u16(i + 2)) << 16); };
    while (at + 30 <= zip.size() && u32(at) == 0x04034b50) {
        const int method = u16(at + 8);
        const quint32 compressed = u32(at + 18), size = u32(at + 22);
        const int nameLength = u16(at + 26), extra = u16(at + 28);
        p.names << QString::fromUtf8(zip.mid(at + 30, nameLength));
        const QByteArray raw = zip.mid(at + 30 + nameLength + extra, compressed);
        QByteArray data(qsizetype(size), Qt::Uninitialized);
        if (method == 8) {
            z_stream z{};
            inflateInit2(&z, -MAX_WBITS);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.constData()));
            z.avail_in = uInt(raw.size());
            z.next_out = reinterpret_cast<Bytef*>(data.data());
            z.avail_out = uInt(data.size());
            inflate(&z, Z_FINISH);
            inflateEnd(&z);
        } else {
            data = raw;
        }
        EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())), u32(at + 14)) << p.names.back().toStdString();
        p.data << data;
        p.methods << method;
        at += 30 + nameLength + extra + compressed;
    }
    return p;
}

// The root element's qualified name; empty and a failure when the XML is not well-formed.
QString xmlRoot(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    QString root;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && root.isEmpty())
            root = reader.qualifiedName().toString();
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << " at line " << reader.lineNumber();
    return reader.hasError() ? QString() : root;
}

QByteArray png(QColor color)
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Orders grouped by country with totals in the group header (known only after its rows), a
// photo, Cyrillic, a text that looks like markup, a check box, "Page N of M" and three pages.
class ReportFilters : public testing::Test {
protected:
    void SetUp() override
    {
        ScriptedDesktop::install();
        sql.db.execute(QStringLiteral(
            "CREATE TABLE item (id INTEGER PRIMARY KEY, name TEXT, country TEXT, price REAL, paid INTEGER, photo BLOB);"
            "INSERT INTO item (name, country, price, paid) VALUES ('Anna Smith', 'UK', 1234.5, 1), ('Борис Петров', 'Россия', 20, 0),"
            " ('<script>alert(1)</script> & Co', 'UK', 1.25, 1), ('Дарья Иванова', 'Россия', 3, 1);"));
        sql.db.execute(QStringLiteral("UPDATE item SET photo = :p WHERE id = 1"), {{QStringLiteral("p"), png(Qt::red)}});
        for (int i = 0; i < 110; ++i)
            sql.db.execute(QStringLiteral("INSERT INTO item (name, country, price, paid) VALUES ('Zed %1', 'Zeta', %2, 0)").arg(i).arg(i * 0.5));
        sql.run(QStringLiteral("SELECT * FROM item ORDER BY country, id"));
        report.addDataset(&sql.data);
        report.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        report.loadTemplateText(QStringLiteral(R"(<report version="1" name="Orders">
            <page size="A4" margin-left="15" margin-top="12" margin-right="15" margin-bottom="12"/>
            <title height="24">
                <text x="0" y="0" width="120" height="10" size="16" bold="true">Заказы / Orders</text>
                <picture x="150" y="0" width="30" height="20" value="Report.photo"/>
            </title>
            <page-header height="7">
                <text x="0" y="0" width="100" height="6" bold="true" background="#e0e0e0" frame-bottom="0.3 #000000">Name</text>
                <text x="100" y="0" width="40" height="6" bold="true" background="#e0e0e0" frame-bottom="0.3 #000000" align="right">Price</text>
                <text x="140" y="0" width="15" height="6" bold="true" background="#e0e0e0" frame-bottom="0.3 #000000">Paid</text>
            </page-header>
            <group expression="Report.country">
                <header height="8">
                    <text x="0" y="1" width="100" height="7" italic="true">[Report.country]</text>
                    <text x="100" y="1" width="40" height="7" italic="true" align="right" format="n2">[SUM(Report.price)]</text>
                </header>
            </group>
            <detail height="6">
                <text x="0" y="0" width="100" height="6">[Report.name]</text>
                <text x="100" y="0" width="40" height="6" align="right" format="n2">[Report.price]</text>
                <checkbox x="145" y="1" width="4" height="4" value="Report.paid"/>
            </detail>
            <page-footer height="6">
                <line x="0" y="0" width="180" height="0" line-width="0.2" color="#808080"/>
                <text x="0" y="1" width="180" height="5" size="8" align="right">Page [Page] of [TotalPages]</text>
            </page-footer>
            <summary height="10"><text x="0" y="2" width="140" height="6" align="right" bold="true">Total: [SUM(Report.price)]</text></summary>
            </report>)"), QStringLiteral("orders.xml"));
        ASSERT_TRUE(report.prepare());
        ASSERT_EQ(report.pages()->pageCount(), 3);
    }

    QString exportAs(const QString& key)
    {
        std::unique_ptr<ExportFilter> filter = ExportFilters::make(key);
        EXPECT_NE(filter, nullptr) << key.toStdString();
        if (!filter)
            return QString();
        const QString path = sql.project.file(QStringLiteral("orders.") + filter->extension());
        filter->setFileName(path);
        EXPECT_TRUE(report.exportTo(*filter));
        EXPECT_EQ(filter->writtenFiles(), QStringList({path}));
        // For looking at the results by eye: the files are copied to that folder.
        if (const QString keep = qEnvironmentVariable("VARNEL_KEEP_EXPORTS"); !keep.isEmpty()) {
            QFile::remove(keep + QStringLiteral("/orders.") + filter->extension());
            QFile::copy(path, keep + QStringLiteral("/orders.") + filter->extension());
        }
        return path;
    }

    // What every format shows, in the report's order.
    const QStringList texts = {"Заказы / Orders", "Name", "Price", "UK", "1,235.75", "Anna Smith", "1,234.50",
                               "<script>alert(1)</script> & Co", "1.25", "Zeta", "2,997.50", "Zed 0", "0.00",
                               "Page 1 of 3", "Zed 109", "54.50", "Россия", "23.00", "Борис Петров", "20.00",
                               "Дарья Иванова", "3.00", "Total: 4256.25", "Page 3 of 3"};

    // What a spreadsheet holds, in order: the texts (numbers are checked as values).
    const QStringList sheetTexts = {"Заказы / Orders", "Name", "Price", "Paid", "UK", "Anna Smith",
                                    "<script>alert(1)</script> & Co", "Zeta", "Zed 0", "Page 1 of 3", "Zed 109",
                                    "Россия", "Борис Петров", "Дарья Иванова", "Total: 4256.25", "Page 3 of 3"};

    SqlFixture sql;
    Report report;
};

// A second reader of .xls files (xlrd) with the cell styles read too: per sheet its name, rows,
// merged ranges and the cells that hold something as [row, column, kind (1 text, 2 number,
// 3 date), value, number format, bold, fill as [r, g, b] or null]. Null when xlrd is not
// installed; a failure when it cannot read the file.
std::optional<QJsonObject> readWithXlrd(const QString& path)
{
    static const char* const script = R"(
import json, sys
try:
    import xlrd
except ImportError:
    sys.exit(3)
b = xlrd.open_workbook(sys.argv[1], formatting_info=True)
out = {"sheets": []}
for s in b.sheets():
    cells = []
    for r in range(s.nrows):
        for c in range(s.ncols):
            cell = s.cell(r, c)
            if cell.ctype not in (1, 2, 3):
                continue
            xf = b.xf_list[cell.xf_index]
            fill = b.colour_map.get(xf.background.pattern_colour_index) if xf.background.fill_pattern == 1 else None
            cells.append([r, c, cell.ctype, cell.value, b.format_map[xf.format_key].format_str,
                          bool(b.font_list[xf.font_index].bold), list(fill) if fill else None])
    out["sheets"].append({"name": s.name, "rows": s.nrows, "cells": cells, "merged": [list(m) for m in s.merged_cells]})
json.dump(out, sys.stdout)
)";
    // The system's Python first: the Debian package installs the module for that one.
    QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    if (python.isEmpty())
        python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QString::fromLatin1(script), path});
    if (!process.waitForFinished(240000)) {
        ADD_FAILURE() << "xlrd did not finish";
        return QJsonObject();
    }
    if (process.exitCode() == 3)
        return std::nullopt;
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

// CSV text split into rows of fields.
QList<QStringList> parseCsv(const QString& csv)
{
    QList<QStringList> rows(1);
    QString field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const QChar c = csv[i];
        if (inQuotes && c == u'"' && i + 1 < csv.size() && csv[i + 1] == u'"') {
            field += c;
            ++i;
        } else if (c == u'"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && (c == u',' || c == u'\n')) {
            rows.back() << field;
            field.clear();
            if (c == u'\n')
                rows << QStringList();
        } else if (c != u'\r' || inQuotes) {
            field += c;
        }
    }
    rows.back() << field;
    return rows;
}

// Spreadsheets: the package or workbook is sound on its own, and the office program reads every
// text in order and the numbers as numbers, group totals known only after their rows included.
class SpreadsheetFilters : public ReportFilters, public testing::WithParamInterface<const char*> {};

TEST_P(SpreadsheetFilters, CellsComeBackAsTextsInOrderAndNumbersAsNumbers)
{
    const QString path = exportAs(QString::fromLatin1(GetParam()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (QByteArray(GetParam()) == "ods") {
        const Package package = readZip(bytes);
        ASSERT_FALSE(package.names.isEmpty());
        EXPECT_EQ(package.names.first(), QStringLiteral("mimetype"));
        EXPECT_EQ(package.methods.first(), 0);
        EXPECT_EQ(package.data.first(), QByteArray("application/vnd.oasis.opendocument.spreadsheet"));
        EXPECT_EQ(xmlRoot(package.part(QStringLiteral("content.xml"))), QStringLiteral("office:document-content"));
        EXPECT_EQ(xmlRoot(package.part(QStringLiteral("styles.xml"))), QStringLiteral("office:document-styles"));
        EXPECT_EQ(xmlRoot(package.part(QStringLiteral("META-INF/manifest.xml"))), QStringLiteral("manifest:manifest"));
        EXPECT_EQ(package.names.filter(QStringLiteral("Pictures/")).size(), 1); // the photo
    }
    if (QByteArray(GetParam()) == "xls") {
        EXPECT_TRUE(bytes.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")));
        EXPECT_EQ(bytes.size() % 512, 0);
    }
    if (soffice().isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the conversion check did not run";
    QString log;
    // Values rather than as shown: a number cell gives its plain value ("1234.5") where a text
    // cell would give what the report shows ("1,234.50").
    const QString csvPath = convert(path, QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,false,false"),
                                    QStringLiteral("csv"), &log);
    ASSERT_FALSE(csvPath.isEmpty()) << log.toStdString();
    QFile csvFile(csvPath);
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
    const QString csv = QString::fromUtf8(csvFile.readAll());
    const QList<QStringList> rows = parseCsv(csv);
    QString texts;
    for (const QStringList& row : rows)
        texts += row.join(u'\n') + u'\n';
    EXPECT_EQ(outOfOrder(texts, sheetTexts), QStringList()) << csv.toStdString();

    // The value beside a text on the same row.
    auto valueBeside = [&](const QString& label) {
        for (const QStringList& row : rows) {
            const qsizetype at = row.indexOf(label);
            for (qsizetype i = at + 1; at >= 0 && i < row.size(); ++i)
                if (!row[i].isEmpty())
                    return row[i];
        }
        return QString();
    };
    EXPECT_EQ(valueBeside(QStringLiteral("Anna Smith")), QStringLiteral("1234.5"));
    EXPECT_EQ(valueBeside(QStringLiteral("Zed 3")), QStringLiteral("1.5"));
    EXPECT_EQ(valueBeside(QStringLiteral("UK")), QStringLiteral("1235.75")); // known only after the group's rows
    EXPECT_EQ(valueBeside(QStringLiteral("Россия")), QStringLiteral("23"));
    // No empty row stands between two rows of the list.
    qsizetype zed0 = -1, zed1 = -1;
    for (qsizetype r = 0; r < rows.size(); ++r)
        for (const QString& f : rows[r]) {
            if (f == u"Zed 0")
                zed0 = r;
            if (f == u"Zed 1")
                zed1 = r;
        }
    EXPECT_EQ(zed1 - zed0, 1);

    if (QByteArray(GetParam()) == "xls") {
        // Printed, the workbook keeps the report's pages: a break before each, the paper's width.
        const QString pdf = convert(path, QStringLiteral("pdf"), QStringLiteral("pdf"), &log);
        ASSERT_FALSE(pdf.isEmpty()) << log.toStdString();
        EXPECT_EQ(pdfPages(pdf), report.pages()->pageCount());
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SpreadsheetFilters, testing::Values("ods", "xls"));

// Documents: one document page per report page, the texts in order where the report has them.
class DocumentFilters : public ReportFilters, public testing::WithParamInterface<const char*> {};

TEST_P(DocumentFilters, PagesAndTextsComeBackFromTheOfficeProgram)
{
    const QString path = exportAs(QString::fromLatin1(GetParam()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (QByteArray(GetParam()) == "odt") {
        const Package package = readZip(bytes);
        ASSERT_FALSE(package.names.isEmpty());
        EXPECT_EQ(package.names.first(), QStringLiteral("mimetype"));
        EXPECT_EQ(package.methods.first(), 0);
        EXPECT_EQ(package.data.first(), QByteArray("application/vnd.oasis.opendocument.text"));
        EXPECT_EQ(xmlRoot(package.part(QStringLiteral("content.xml"))), QStringLiteral("office:document-content"));
        EXPECT_EQ(xmlRoot(package.part(QStringLiteral("styles.xml"))), QStringLiteral("office:document-styles"));
        EXPECT_EQ(xmlRoot(package.part(QStringLiteral("META-INF/manifest.xml"))), QStringLiteral("manifest:manifest"));
        const QByteArray photo = package.part(package.names.filter(QStringLiteral("Pictures/")).value(0));
        EXPECT_EQ(QImage::fromData(photo).pixelColor(2, 2), QColor(Qt::red));
    }
    if (soffice().isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the conversion check did not run";
    QString log;
    const QString pdf = convert(path, QStringLiteral("pdf"), QStringLiteral("pdf"), &log);
    ASSERT_FALSE(pdf.isEmpty()) << log.toStdString();
    EXPECT_EQ(pdfPages(pdf), report.pages()->pageCount());
    const ToolRun text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_EQ(outOfOrder(text.out, texts), QStringList()) << text.out.toStdString();
    if (const QString keep = qEnvironmentVariable("VARNEL_KEEP_EXPORTS"); !keep.isEmpty()) {
        QFile::remove(keep + QStringLiteral("/orders.") + GetParam() + QStringLiteral(".pdf"));
        QFile::copy(pdf, keep + QStringLiteral("/orders.") + GetParam() + QStringLiteral(".pdf"));
    }
}

// The workbook as a second reader sees it, styles included: texts as texts, numbers as numbers
// with the report's display format, the heading bold on its shading, the title merged across
// the columns it spans.
TEST_F(ReportFilters, XlsCellsValuesAndStylesReadBackBySecondReader)
{
    const QString path = exportAs(QStringLiteral("xls"));
    const std::optional<QJsonObject> book = readWithXlrd(path);
    if (!book)
        GTEST_SKIP() << "xlrd (python3-xlrd) is not installed; the second reader did not run";
    const QJsonArray sheets = book->value(QStringLiteral("sheets")).toArray();
    ASSERT_EQ(sheets.size(), 1);
    const QJsonObject sheet = sheets[0].toObject();
    const QJsonArray cells = sheet.value(QStringLiteral("cells")).toArray();
    auto find = [&](const QString& text) {
        for (const QJsonValue& v : cells)
            if (v.toArray()[3].toString() == text)
                return v.toArray();
        return QJsonArray();
    };
    // The first thing to the right on the same row.
    auto beside = [&](const QJsonArray& cell) {
        for (const QJsonValue& v : cells) {
            const QJsonArray other = v.toArray();
            if (other[0] == cell[0] && other[1].toInt() > cell[1].toInt())
                return other;
        }
        return QJsonArray();
    };
    QStringList texts;
    for (const QJsonValue& v : cells)
        if (v.toArray()[2].toInt() == 1)
            texts << v.toArray()[3].toString();
    EXPECT_EQ(outOfOrder(texts.join(u'\n'), sheetTexts), QStringList());

    const struct {
        const char* label;
        double value;
    } numbers[] = {{"Anna Smith", 1234.5}, {"<script>alert(1)</script> & Co", 1.25}, {"UK", 1235.75}, {"Россия", 23}, {"Zed 109", 54.5}};
    for (const auto& n : numbers) {
        SCOPED_TRACE(n.label);
        const QJsonArray label = find(QString::fromUtf8(n.label));
        ASSERT_FALSE(label.isEmpty());
        EXPECT_EQ(label[2].toInt(), 1);
        const QJsonArray value = beside(label);
        ASSERT_FALSE(value.isEmpty());
        EXPECT_EQ(value[2].toInt(), 2);
        EXPECT_DOUBLE_EQ(value[3].toDouble(), n.value);
        EXPECT_EQ(value[4].toString(), QStringLiteral("#,##0.00"));
    }
    const QJsonArray heading = find(QStringLiteral("Name"));
    ASSERT_FALSE(heading.isEmpty());
    EXPECT_TRUE(heading[5].toBool());
    EXPECT_EQ(heading[6], QJsonArray({224, 224, 224}));
    EXPECT_FALSE(find(QStringLiteral("Anna Smith"))[5].toBool());
    EXPECT_EQ(find(QStringLiteral("Anna Smith"))[6], QJsonValue());

    const QJsonArray title = find(QStringLiteral("Заказы / Orders"));
    ASSERT_FALSE(title.isEmpty());
    bool merged = false;
    for (const QJsonValue& v : sheet.value(QStringLiteral("merged")).toArray()) {
        const QJsonArray m = v.toArray(); // first row, row after, first column, column after
        if (m[0] == title[0] && m[2] == title[1])
            merged = m[3].toInt() - m[2].toInt() > 1;
    }
    EXPECT_TRUE(merged);
}

// Past the older format's 65,536 rows a new sheet starts, at a page's first row; tens of
// thousands of shared strings, most outside Latin-1, run over many continued records.
TEST(XlsExport, LongReportsGoOnToANewSheetAndKeepEveryString)
{
    PageDocument doc;
    BoxStyle style;
    doc.addStyle(style);
    const quint32 format = doc.addFormat(DisplayFormat(QStringLiteral("n2")));
    constexpr int pages = 35, rowsPerPage = 2000;
    for (int p = 0; p < pages; ++p) {
        Page page;
        page.height = rowsPerPage * 5 + 20;
        for (int r = 0; r < rowsPerPage; ++r) {
            const int n = p * rowsPerPage + r;
            PageBox label;
            label.y = float(r * 5);
            label.width = 40;
            label.height = 5;
            page.setText(label, n % 3 ? QStringLiteral("Строка %1").arg(n) : QStringLiteral("Row %1").arg(n));
            page.boxes.push_back(label);
            PageBox amount = label;
            amount.x = 40;
            amount.length = 0; // a text of its own, not written over the label's
            page.setText(amount, QString::number(n * 0.25, 'f', 2));
            page.boxes.push_back(amount);
            page.values.push_back(PageValue{quint32(page.boxes.size() - 1), format, false, n * 0.25});
        }
        doc.addPage(std::move(page));
    }
    QTemporaryDir dir;
    XlsExportFilter filter;
    filter.setFileName(dir.filePath(QStringLiteral("long.xls")));
    ASSERT_TRUE(filter.run(doc, {}));
    const std::optional<QJsonObject> book = readWithXlrd(filter.fileName());
    if (!book)
        GTEST_SKIP() << "xlrd (python3-xlrd) is not installed; the second reader did not run";
    const QJsonArray sheets = book->value(QStringLiteral("sheets")).toArray();
    ASSERT_EQ(sheets.size(), 2);
    const int firstRows = sheets[0].toObject().value(QStringLiteral("rows")).toInt();
    EXPECT_LE(firstRows, 65536);
    EXPECT_EQ(firstRows % rowsPerPage, 0) << "a page was cut between two sheets";
    int n = 0;
    for (const QJsonValue& s : sheets) {
        const QJsonArray cells = s.toObject().value(QStringLiteral("cells")).toArray();
        ASSERT_EQ(cells.size(), 2 * s.toObject().value(QStringLiteral("rows")).toInt());
        for (qsizetype i = 0; i < cells.size(); i += 2, ++n) {
            const QJsonArray label = cells[i].toArray(), amount = cells[i + 1].toArray();
            const QString expected = n % 3 ? QStringLiteral("Строка %1").arg(n) : QStringLiteral("Row %1").arg(n);
            if (label[3].toString() != expected || amount[2].toInt() != 2 || amount[3].toDouble() != n * 0.25) {
                ADD_FAILURE() << "row " << n << ": " << QJsonDocument(label).toJson(QJsonDocument::Compact).toStdString() << " "
                              << QJsonDocument(amount).toJson(QJsonDocument::Compact).toStdString();
                return;
            }
        }
    }
    EXPECT_EQ(n, pages * rowsPerPage);
}

// Dates and times are numbers whose format the second reader takes for a date: the report's
// patterns become the spreadsheet's codes, literal separators quoted; a format without a pattern
// takes the short date of the report's locale.
TEST(XlsExport, DatesKeepTheirPatternAsADateFormat)
{
    const struct {
        const char* format;
        double value;
        const char* code;
    } cases[] = {{"date:dd.MM.yyyy", 45292, "dd\".\"mm\".\"yyyy"},
                 {"datetime:yyyy-MM-dd HH:mm", 45292.75, "yyyy\"-\"mm\"-\"dd\" \"hh\":\"mm"},
                 {"time:H:mm:ss", 0.5, "h\":\"mm\":\"ss"},
                 {"date:d MMMM yy", 1, "d\" \"mmmm\" \"yy"},
                 // Without a pattern, the report's short date: its locale, not the program's.
                 {"date", 45292, "dd\".\"mm\".\"yyyy"}};
    PageDocument doc;
    doc.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    doc.addStyle(BoxStyle());
    Page page;
    float y = 0;
    for (const auto& c : cases) {
        PageBox box;
        box.y = y += 6;
        box.width = 50;
        box.height = 6;
        page.setText(box, QString::fromUtf8(c.format));
        page.boxes.push_back(box);
        page.values.push_back(PageValue{quint32(page.boxes.size() - 1), doc.addFormat(DisplayFormat(QString::fromUtf8(c.format))), true, c.value});
    }
    doc.addPage(std::move(page));
    QTemporaryDir dir;
    XlsExportFilter filter;
    filter.setFileName(dir.filePath(QStringLiteral("dates.xls")));
    ASSERT_TRUE(filter.run(doc, {}));
    const std::optional<QJsonObject> book = readWithXlrd(filter.fileName());
    if (!book)
        GTEST_SKIP() << "xlrd (python3-xlrd) is not installed; the second reader did not run";
    const QJsonArray cells = book->value(QStringLiteral("sheets")).toArray()[0].toObject().value(QStringLiteral("cells")).toArray();
    ASSERT_EQ(cells.size(), qsizetype(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].format);
        const QJsonArray cell = cells[qsizetype(i)].toArray();
        EXPECT_EQ(cell[2].toInt(), 3);
        EXPECT_DOUBLE_EQ(cell[3].toDouble(), cases[i].value);
        EXPECT_EQ(cell[4].toString(), QString::fromUtf8(cases[i].code));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, DocumentFilters, testing::Values("odt", "rtf"));

// The packages of the ODF filters keep 16-bit entry counts and 32-bit sizes and places: what
// would not fit is refused with the reason before it is written, and nothing is left behind.
TEST(ZipPackage, WhatItsFieldsCannotHoldIsRefusedAndNoFileIsLeft)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.ods"));
    auto refusal = [&](const std::function<void(ExportFile&, ZipWriter&)>& write) {
        try {
            ExportFile file(path);
            ZipWriter zip(file);
            write(file, zip);
            zip.finish();
            file.commit();
        } catch (const FileError& e) {
            return e.message();
        }
        return QString();
    };
    const QString manyParts = refusal([](ExportFile&, ZipWriter& zip) {
        for (int i = 0; i <= 65535; ++i)
            zip.addStored(QStringLiteral("p%1").arg(i), QByteArray("x"));
    });
    EXPECT_EQ(manyParts, QStringLiteral("Cannot write %1: the document would hold more than 65535 parts").arg(path));
    // A place past 4 GiB: the file is sparse up to there, nothing is really written.
    const QString farPart = refusal([](ExportFile& file, ZipWriter& zip) {
        ASSERT_TRUE(file.device().seek(qint64(5) << 30));
        zip.add(QStringLiteral("content.xml"), QByteArray("<x/>"));
    });
    EXPECT_EQ(farPart, QStringLiteral("Cannot write %1: the document would be larger than 4 GB").arg(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// What the office program would repair quietly: unbalanced groups, bytes outside ASCII (a letter
// that depends on a code page), a picture that does not decode.
TEST_F(ReportFilters, RtfIsBalancedAsciiWithEscapedLettersAndItsPicture)
{
    QFile file(exportAs(QStringLiteral("rtf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray rtf = file.readAll();
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    int depth = 0, lowest = 1;
    qsizetype closedAt = -1;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        EXPECT_FALSE(uchar(c) >= 0x80) << "raw byte at " << i;
        if (uchar(c) >= 0x80)
            break;
        if (c == '\\') {
            ++i; // an escaped brace or backslash is text
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            lowest = std::min(lowest, --depth);
            if (depth == 0 && closedAt < 0)
                closedAt = i;
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_GE(lowest, 0);
    EXPECT_EQ(rtf.trimmed().size(), closedAt + 1) << "text after the document's closing brace";
    // Cyrillic as UTF-16 escapes; the check boxes drawn as the page draws them: a square, and
    // for a ticked one a tick whose second stroke rises.
    EXPECT_TRUE(rtf.contains("\\u1047?\\u1072?\\u1082?\\u1072?\\u1079?\\u1099?"));
    EXPECT_TRUE(rtf.contains("{\\sp{\\sn shapeType}{\\sv 1}}"));
    EXPECT_TRUE(rtf.contains("{\\sp{\\sn fFlipV}{\\sv 1}}"));
    EXPECT_TRUE(rtf.contains("<script>alert(1)</script> & Co"));
    EXPECT_EQ(rtf.count("\\sect\\sectd"), report.pages()->pageCount() - 1);
    const QRegularExpressionMatch picture =
        QRegularExpression(QStringLiteral("\\\\pngblip[^\\s]*\\s+([0-9a-f\\s]+)\\}")).match(QString::fromLatin1(rtf));
    ASSERT_TRUE(picture.hasMatch());
    QString hex = picture.captured(1);
    hex.remove(QRegularExpression(QStringLiteral("\\s")));
    const QImage image = QImage::fromData(QByteArray::fromHex(hex.toLatin1()), "PNG");
    EXPECT_EQ(image.size(), QSize(40, 20));
    EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::red));
}

// A report without rows still makes a document each format's reader opens.
TEST_F(ReportFilters, AReportWithoutRowsGivesValidFiles)
{
    sql.run(QStringLiteral("SELECT * FROM item WHERE 0"));
    ASSERT_TRUE(report.prepare());
    for (const QString& key : ExportFilters::keys()) {
        if (key == u"jpeg" || key == u"tiff")
            continue;
        SCOPED_TRACE(key.toStdString());
        const QString path = exportAs(key);
        ASSERT_GT(QFileInfo(path).size(), 0);
        const std::optional<QJsonObject> book = key == u"xls" ? readWithXlrd(path) : std::nullopt;
        if (book) {
            EXPECT_EQ(book->value(QStringLiteral("sheets")).toArray().size(), 1);
        }
        if (soffice().isEmpty() || key == u"pdf")
            continue;
        QString log;
        EXPECT_FALSE(convert(path, QStringLiteral("pdf"), QStringLiteral("pdf"), &log).isEmpty()) << log.toStdString();
    }
}

TEST_F(ReportFilters, HtmlIsOneFileOfPagesWithEscapedTextsAndItsPictures)
{
    const QString path = exportAs(QStringLiteral("html"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_EQ(html.count(QStringLiteral("<div class=\"p\"")), 3);
    EXPECT_TRUE(html.contains(QStringLiteral("break-after:page")));
    EXPECT_TRUE(html.contains(QStringLiteral("name=\"viewport\"")));
    EXPECT_FALSE(html.contains(QStringLiteral("<script>")));
    EXPECT_TRUE(html.contains(QStringLiteral(">&lt;script&gt;alert(1)&lt;/script&gt; &amp; Co<")));
    QString plain = html;
    plain.remove(QRegularExpression(QStringLiteral("<style>.*</style>"), QRegularExpression::DotMatchesEverythingOption));
    plain.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    plain.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">")).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    EXPECT_EQ(outOfOrder(plain, texts), QStringList());

    // The photo travels inside the file and decodes to the picture that was stored.
    const QRegularExpressionMatch picture = QRegularExpression(QStringLiteral("data:image/(png|jpeg);base64,([A-Za-z0-9+/=]+)")).match(html);
    ASSERT_TRUE(picture.hasMatch());
    const QImage image = QImage::fromData(QByteArray::fromBase64(picture.captured(2).toLatin1()));
    EXPECT_EQ(image.size(), QSize(40, 20));
    EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::red));

    if (soffice().isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed; the conversion check did not run";
    QString log;
    const QString pdf = convert(path, QStringLiteral("pdf"), QStringLiteral("pdf"), &log);
    ASSERT_FALSE(pdf.isEmpty()) << log.toStdString();
    const ToolRun text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_EQ(outOfOrder(text.out, texts), QStringList()) << text.out.toStdString();
}

} // namespace
