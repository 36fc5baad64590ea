#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/template.h"
#include "report/report.h"
#include "report_fixture.h"
#include "../../fuzz/report_fuzz_data.h"
#include "support/qt_printers.h"
#include "support/temp_project.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const char* fullTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="2" name="Customers">
    <page size="custom" width="200" height="150" orientation="landscape" margin-left="12.5" margin-top="8" margin-right="9" margin-bottom="7"/>
    <query>SELECT name, country FROM customer WHERE id = $id</query>
    <title height="20" keep-together="true">
        <text name="caption" x="0" y="0" width="180" height="10" font="DejaVu Serif" size="16" bold="true" italic="true" underline="true" color="#102030" background="#80ffeedd" frame-left="0.5 #ff0000" frame-top="0.1 #00ff00" frame-right="1 #0000ff" frame-bottom="2 #000000" align="center" valign="middle" wrap="true">Customers &amp; &lt;friends&gt; [Date]</text>
        <picture x="150" y="0" width="30" height="20" file="logo.png" keep-aspect="false"/>
    </title>
    <page-header height="8">
        <line x="0" y="7.5" width="180" height="0" line-width="0.3" color="#333333"/>
    </page-header>
    <group name="country" expression="[Report.&quot;country&quot;]" new-page="true" repeat-header="true" keep-together="true">
        <header height="7" can-grow="true">
            <text x="0" y="0" width="100" height="7" format="n2">[Report.&quot;country&quot;] [SUM([Report.&quot;price&quot;])]</text>
        </header>
        <group name="city" expression="Report.city">
            <footer height="5">
                <rectangle x="0" y="0" width="180" height="5" line-width="0" fill="#eeeeee"/>
            </footer>
        </group>
        <footer height="6">
            <checkbox x="0" y="0" width="4" height="4" value="[Report.&quot;active&quot;]" line-width="0.4" color="#ff00ff"/>
        </footer>
    </group>
    <detail height="6" can-grow="true">
        <text x="0" y="0" width="60" height="6" format="date:dd.MM.yyyy" align="right" valign="bottom">[Report.&quot;born&quot;]</text>
        <picture x="60" y="0" width="20" height="6" value="[Report.&quot;photo&quot;]"/>
    </detail>
    <page-footer height="5">
        <text x="0" y="0" width="180" height="5" align="justify">Page [Page] of [TotalPages]</text>
    </page-footer>
    <summary height="10">
        <text x="0" y="0" width="180" height="10" format="bool:Yes;No">[COUNT() &gt; 0]</text>
        <barcode name="code" x="0" y="0" width="20" height="10" kind="code128" value="Report.name" color="#000080" fill="#ffffff"/>
        <chart name="sales" x="20" y="0" width="60" height="10" kind="line" category="Report.country" value="Report.price * 2" colors="#ff0000 #8000ff00" legend="false" format="n0" size="7" color="#333333"/>
    </summary>
</report>
)";

TEST(ReportTemplate, ReadsEveryPartAndWritesItBackUnchanged)
{
    const ReportTemplate t = ReportTemplateFormat::read(fullTemplate, QStringLiteral("full.xml"));
    EXPECT_EQ(t.name, QStringLiteral("Customers"));
    EXPECT_EQ(t.page.size, PageSizeName::Custom);
    EXPECT_EQ(t.page.pageWidth(), 150);
    EXPECT_EQ(t.page.pageHeight(), 200);
    EXPECT_EQ(t.page.marginLeft, 12.5);
    EXPECT_EQ(t.query, QStringLiteral("SELECT name, country FROM customer WHERE id = $id"));
    ASSERT_TRUE(t.title);
    EXPECT_TRUE(t.title->keepTogether);
    const ReportObject& caption = t.title->objects.at(0);
    EXPECT_EQ(caption.text, QStringLiteral("Customers & <friends> [Date]"));
    EXPECT_EQ(caption.style.font.family, QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(caption.style.font.bold && caption.style.font.italic && caption.style.font.underline);
    EXPECT_EQ(caption.style.background, QColor(0xff, 0xee, 0xdd, 0x80));
    EXPECT_EQ(caption.style.right.width, 1);
    EXPECT_EQ(caption.style.right.color, QColor(Qt::blue));
    EXPECT_EQ(caption.style.hAlign, HAlign::Center);
    EXPECT_EQ(caption.style.vAlign, VAlign::Middle);
    EXPECT_FALSE(t.title->objects.at(1).keepAspect);
    ASSERT_EQ(t.groups.size(), 2u);
    EXPECT_TRUE(t.groups[0].newPage && t.groups[0].repeatHeader && t.groups[0].keepTogether);
    EXPECT_EQ(t.groups[1].name, QStringLiteral("city"));
    EXPECT_FALSE(t.groups[1].header);
    EXPECT_EQ(t.groups[0].footer->objects.at(0).kind, ObjectKind::CheckBox);
    EXPECT_EQ(t.detail->objects.at(1).text, QStringLiteral("[Report.\"photo\"]"));

    // The writer gives back the very text the reader took in (the writer's own form: quotes in
    // texts written &quot;).
    const QByteArray written = ReportTemplateFormat::write(t);
    EXPECT_EQ(QString::fromUtf8(written), QString::fromUtf8(fullTemplate));
    EXPECT_EQ(ReportTemplateFormat::read(written, QStringLiteral("again.xml")), t);
}

TEST(ReportTemplate, AModelMadeInCodeSurvivesTheFile)
{
    TempProject project;
    ReportTemplate t;
    t.name = QStringLiteral("Счёт \"№1\"");
    t.page.applySize(PageSizeName::Letter);
    t.page.orientation = Orientation::Landscape;
    t.page.marginTop = 1.0 / 3.0; // a length with no short decimal form
    Band detail;
    ReportObject text;
    text.text = QStringLiteral("  leading blanks, a line\nbreak and ]] brackets [Report.\"x\"]  ");
    text.rect = QRectF(0.1, 0.2, 33.3, 4);
    text.style.color = QColor(1, 2, 3, 4);
    text.style.wordWrap = true;
    detail.objects.push_back(text);
    t.detail = detail;
    Band summary;
    summary.kind = BandKind::Summary;
    summary.height = 0;
    t.summary = summary;

    const QString path = project.file(QStringLiteral("model.xml"));
    ReportTemplateFormat::writeFile(t, path);
    EXPECT_EQ(ReportTemplateFormat::readFile(path), t);
}

struct BadTemplate {
    const char* name;
    const char* xml;
    const char* message; // part of the error's text
};

// Groups within groups, one more than a template may hold.
const std::string tooManyGroups = [] {
    std::string xml = "<report version=\"1\">\n";
    for (size_t i = 0; i <= ReportTemplateFormat::maxGroups; ++i)
        xml += "<group expression=\"1\">";
    for (size_t i = 0; i <= ReportTemplateFormat::maxGroups; ++i)
        xml += "</group>";
    return xml + "</report>";
}();

class ReportTemplateRefuses : public testing::TestWithParam<BadTemplate> {};

TEST_P(ReportTemplateRefuses, WithItsPlace)
{
    try {
        ReportTemplateFormat::read(GetParam().xml, QStringLiteral("bad.xml"));
        FAIL() << "read a bad template";
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("bad.xml, line "))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QString::fromUtf8(GetParam().message))) << e.message().toStdString();
    }
}

// The words of a message that are neither quoted names, element names, file names nor the
// template language's own words: what a Russian reader would find left in English.
QStringList englishWordsOf(QString message)
{
    static const QRegularExpression named(QStringLiteral(R"("[^"]*"|<[^>]*>|'[^']*'|\S+\.xml|#a?a?rrggbb)"));
    message.remove(named);
    static const QStringList allowed = {QStringLiteral("IIF"), QStringLiteral("SUM")};
    QStringList words;
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    for (auto it = word.globalMatch(message); it.hasNext();) {
        const QString w = it.next().captured();
        if (!allowed.contains(w))
            words << w;
    }
    return words;
}

// In Russian the same refusals read in Russian, the place and the names kept. (A file that is
// not XML at all is told in the XML reader's words, which the toolkit's translation gives.)
TEST_P(ReportTemplateRefuses, InTheUsersLanguage)
{
    if (QByteArray(GetParam().name) == "Malformed" || QByteArray(GetParam().name) == "Empty")
        GTEST_SKIP() << "the XML reader's own words";
    Lang.fillRussian();
    struct English {
        ~English() { Lang.fillEnglish(); }
    } back;
    try {
        ReportTemplateFormat::read(GetParam().xml, QStringLiteral("bad.xml"));
        FAIL() << "read a bad template";
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().startsWith(QString::fromUtf8("bad.xml, строка "))) << e.message().toStdString();
        EXPECT_EQ(englishWordsOf(e.message()), QStringList()) << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportTemplateRefuses,
    testing::Values(
        BadTemplate{"Malformed", "<report version=\"1\">\n  <detail height=\"5\">\n  </title>\n</report>",
                    "line 3, column"},
        BadTemplate{"UnknownElement", "<report version=\"1\">\n<detail>\n<gauge x=\"1\"/></detail></report>",
                    "line 3, column 14: unknown element <gauge> in a band"},
        BadTemplate{"UnknownAttribute", "<report version=\"1\"><detail heigth=\"4\"/></report>",
                    "unknown attribute \"heigth\" on <detail>"},
        BadTemplate{"UnknownBand", "<report version=\"1\"><footer height=\"4\"/></report>", "unknown element <footer>"},
        BadTemplate{"NewerVersion", "<report version=\"3\"/>", "version 3, made by a newer program"},
        BadTemplate{"NoVersion", "<report/>", "no version"},
        BadTemplate{"NotANumber", "<report version=\"1\"><detail height=\"ten\"/></report>", "\"height\" must be a number"},
        BadTemplate{"BadColour", "<report version=\"1\"><detail><line color=\"purplish\"/></detail></report>",
                    "\"color\" must be a colour"},
        // Colours the writer could not give back: a name, twelve bits a channel, a frame in a name.
        BadTemplate{"NamedColour", "<report version=\"1\"><detail><line color=\"red\"/></detail></report>",
                    "\"color\" must be a colour"},
        BadTemplate{"TwelveBitColour",
                    "<report version=\"1\"><title><text color=\"#505123a70\">x</text></title></report>",
                    "\"color\" must be a colour"},
        BadTemplate{"NamedFrameColour",
                    "<report version=\"1\"><detail><text frame-left=\"0.2 black\">x</text></detail></report>",
                    "\"frame-left\" must be a width and a colour"},
        BadTemplate{"TwoDetails", "<report version=\"1\"><detail/><detail/></report>", "<detail> stands twice"},
        BadTemplate{"WrongRoot", "<form/>", "the root element must be <report>"},
        BadTemplate{"PictureWithoutSource", "<report version=\"1\"><detail><picture/></detail></report>",
                    "either a file or a value"},
        BadTemplate{"StrayText", "<report version=\"1\">hello</report>", "text is not allowed here"},
        BadTemplate{"Empty", "", "line 1"},
        BadTemplate{"TooManyGroups", tooManyGroups.c_str(), "line 2, column 726: more than 32 groups"}),
    [](const auto& info) { return std::string(info.param.name); });

// The example in the format's document reads, and fills from the query it names.
TEST(ReportTemplate, TheDocumentedExampleIsATemplate)
{
    QFile doc(QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../docs/report-format.md")));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    const qsizetype start = text.indexOf(QStringLiteral("```xml\n")) + 7;
    const QString xml = text.mid(start, text.indexOf(QStringLiteral("```"), start) - start);
    const ReportTemplate t = ReportTemplateFormat::read(xml.toUtf8(), QStringLiteral("example"));
    EXPECT_EQ(t.name, QStringLiteral("Invoice"));
    EXPECT_EQ(t.groups.size(), 1u);
    EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(t), QStringLiteral("again")), t);

    SqlFixture sql;
    sql.db.execute(QStringLiteral(
        "CREATE TABLE customer (id INTEGER PRIMARY KEY, name TEXT, country TEXT, photo BLOB);"
        "CREATE TABLE orders (id INTEGER PRIMARY KEY, number TEXT, date TEXT, id_customer INTEGER);"
        "CREATE TABLE item (id INTEGER PRIMARY KEY, id_orders INTEGER, product TEXT, qty INTEGER, price REAL, paid INTEGER);"
        "INSERT INTO customer VALUES (1, 'Анна', 'Россия', NULL);"
        "INSERT INTO orders VALUES (7, 'A-7', '2024-03-05 00:00:00.000', 1);"
        "INSERT INTO item VALUES (1, 7, 'Чай', 2, 1.5, 1), (2, 7, 'Coffee', 1, 4, 0);"));
    sql.run(QString(t.query).replace(QStringLiteral("$id"), QStringLiteral("7")));
    const auto pages = fillOf(xml, &sql.data);
    const QStringList texts = allTexts(*pages);
    EXPECT_TRUE(texts.contains(QStringLiteral("1|Invoice A-7")));
    EXPECT_TRUE(texts.contains(QStringLiteral("1|Date: 5 March 2024")));
    EXPECT_TRUE(texts.contains(QStringLiteral("1|Россия: 2 items")));
    EXPECT_TRUE(texts.contains(QStringLiteral("1|7.00")));
    EXPECT_TRUE(texts.contains(QStringLiteral("1|Total: 7.00")));
    EXPECT_TRUE(texts.contains(QStringLiteral("1|Page 1 of 1"))) << texts.join(u'\n').toStdString();
}

TEST(ReportTemplate, AHugeTemplateIsRefusedUnread)
{
    TempProject project;
    // 50 MB of objects: refused by its size before any parsing.
    QByteArray xml = "<report version=\"1\"><detail height=\"5\">";
    const QByteArray object = "<text x=\"0\" y=\"0\" width=\"10\" height=\"5\">x</text>";
    xml.reserve(50 * 1024 * 1024 + 100);
    while (xml.size() < 50 * 1024 * 1024)
        xml += object;
    xml += "</detail></report>";
    project.write(QStringLiteral("huge.xml"), xml);
    try {
        ReportTemplateFormat::readFile(project.file(QStringLiteral("huge.xml")));
        FAIL();
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("larger than 16 MB"))) << e.message().toStdString();
    }
}

TEST(ReportTemplate, TheReportLoadsAMissingFileAsAnEmptyReport)
{
    TempProject project;
    Report report;
    report.loadTemplateText(QStringLiteral("<report version=\"1\"><detail height=\"4\"/></report>"));
    EXPECT_FALSE(report.reportTemplate().isEmpty());
    EXPECT_NO_THROW(report.loadTemplate(project.file(QStringLiteral("Report/none.xml"))));
    EXPECT_TRUE(report.reportTemplate().isEmpty());

    project.write(QStringLiteral("broken.xml"), QByteArray("<report version=\"1\"><detail>"));
    EXPECT_THROW(report.loadTemplate(project.file(QStringLiteral("broken.xml"))), FormatError);
}

} // namespace

namespace {

void replayFuzzRegressions()
{
    const QDir folder(QStringLiteral(VARNEL_SOURCE_DIR "/fuzz/regressions/report_template"));
    const QStringList inputs = folder.entryList(QDir::Files);
    ASSERT_FALSE(inputs.isEmpty());
    for (const QString& name : inputs) {
        SCOPED_TRACE(name.toStdString());
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray xml = file.readAll();
        ReportTemplate first;
        try {
            first = ReportTemplateFormat::read(xml, name);
        } catch (const FormatError&) {
            continue;
        }
        EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(first), name), first);
        try {
            Report report;
            report.addDataset(&fuzzReportData());
            report.setSubreportSource([](const QString& sql) { return fuzzSubreportDatabase().prepareBound(sql); });
            report.loadTemplateText(QString::fromUtf8(xml), name);
            ASSERT_TRUE(report.prepare(true));
            EXPECT_NE(report.pages()->page(0), nullptr);
        } catch (const VarnelError&) {
        }
    }
}

// The fuzz target's starting inputs are read, written back the same and filled from its data
// without a fault: an input the reader refuses or the filler stops on only tries the reader.
void fillFuzzStartingInputs()
{
    const QDir folder(QStringLiteral(VARNEL_SOURCE_DIR "/fuzz/seeds/report_template"));
    const QStringList inputs = folder.entryList({QStringLiteral("*.xml")}, QDir::Files);
    ASSERT_GE(inputs.size(), 10);
    for (const QString& name : inputs) {
        SCOPED_TRACE(name.toStdString());
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray xml = file.readAll();
        try {
            const ReportTemplate first = ReportTemplateFormat::read(xml, name);
            EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(first), name), first);
            Report report;
            report.addDataset(&fuzzReportData());
            report.setSubreportSource([](const QString& sql) { return fuzzSubreportDatabase().prepareBound(sql); });
            report.loadTemplateText(QString::fromUtf8(xml), name);
            ASSERT_TRUE(report.prepare(true));
            EXPECT_GT(report.pages()->pageCount(), 0);
        } catch (const VarnelError& e) {
            ADD_FAILURE() << e.message().toStdString();
        }
    }
}

} // namespace

TEST(ReportTemplate, EveryFuzzStartingInputIsReadAndFilled)
{
    fillFuzzStartingInputs();
}

// Every input that once crashed the template fuzz target goes through its steps again: read, the
// written template read back the same, filled, a page read; refusing with a message is fine. On
// a thread with a 1 MB stack, what the main thread has on Windows.
TEST(ReportTemplate, EveryFuzzRegressionIsReadAndFilledWithoutHarm)
{
    onSmallStack(replayFuzzRegressions);
}

// What the filler and the expressions refuse reads in Russian too: the message the preview and
// the report button show is Russian from end to end.
TEST(ReportTemplate, FaultsFoundWhileFillingAreToldInTheUsersLanguage)
{
    SqlFixture sql;
    sql.run(QStringLiteral("SELECT 'Ann' AS name, 2 AS n"));
    struct Case {
        const char* xml;
        const char* russian; // the whole message, when given
    };
    const Case cases[] = {
        {R"(<report version="1"><detail height="6"><text x="0" y="0" width="50" height="6">[Report.missing]</text></detail></report>)",
         "Шаблон отчета \"test.xml\", полоса данных: поля \"missing\" нет в данных \"Report\""},
        {R"(<report version="1"><title height="6"><text name="t1" x="0" y="0" width="50" height="6">[FOO(1)]</text></title></report>)",
         nullptr},
        {R"(<report version="1"><summary height="6"><text x="0" y="0" width="50" height="6">[SUM(Report.n, nogroup)]</text></summary></report>)",
         nullptr},
        {R"(<report version="1"><page-footer height="6"><text x="0" y="0" width="50" height="6">[1 +]</text></page-footer></report>)",
         nullptr},
        {R"(<report version="1"><page-header height="6"><text x="0" y="0" width="50" height="6">[IIF(1)]</text></page-header></report>)",
         nullptr},
        {R"(<report version="1"><detail height="6"><text x="0" y="0" width="50" height="6" format="number:99">[Report.n]</text></detail></report>)",
         nullptr},
        {R"(<report version="1"><group expression="[Report.n"><header height="5"/></group><detail height="6"/></report>)",
         nullptr},
        {R"(<report version="1"><detail height="6"><text x="0" y="0" width="50" height="6">[Report.name</text></detail></report>)",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        QString english;
        try {
            fillOf(QString::fromUtf8(c.xml), &sql.data);
            ADD_FAILURE() << "filled a faulty template";
        } catch (const FormatError& e) {
            english = e.message();
        }
        Lang.fillRussian();
        try {
            fillOf(QString::fromUtf8(c.xml), &sql.data);
            ADD_FAILURE() << "filled a faulty template";
        } catch (const FormatError& e) {
            EXPECT_NE(e.message(), english);
            EXPECT_EQ(englishWordsOf(e.message()), QStringList()) << e.message().toStdString();
            if (c.russian) {
                EXPECT_EQ(e.message(), QString::fromUtf8(c.russian));
            }
        }
        Lang.fillEnglish();
    }
}

