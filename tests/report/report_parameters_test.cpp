// Parameters of a template: how they are written and read, how a query binds them (on both
// back ends) and how texts show them.
#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/report_parameters.h"
#include "report/report.h"
#include "report_fixture.h"
#include "support/backends.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const char* const withParameters = R"(<report version="2" name="Orders">
    <parameters>
        <parameter name="from" caption="From" kind="date" default="2024-01-01"/>
        <parameter name="who" caption="Customer" kind="text"/>
        <parameter name="limit" kind="integer" default="10"/>
        <parameter name="rate" kind="number" default="0.5"/>
        <parameter name="paid" kind="boolean" default="true"/>
        <parameter name="country" kind="choice">SELECT name FROM countries ORDER BY name</parameter>
    </parameters>
    <query>SELECT name FROM t WHERE name = :who</query>
    <title height="10"><text x="0" y="0" width="90" height="10" format="date:dd.MM.yyyy">[Param.from] [Param.who]</text></title>
</report>)";

TEST(ReportParameters, AreWrittenAsTheyAreReadAndAnOlderTemplateReadsUnchanged)
{
    const ReportTemplate t = templateOf(QString::fromUtf8(withParameters));
    ASSERT_EQ(t.parameters.size(), 6u);
    EXPECT_EQ(t.parameters[0].name, "from");
    EXPECT_EQ(t.parameters[0].caption, "From");
    EXPECT_EQ(t.parameters[0].kind, ParameterKind::Date);
    EXPECT_EQ(t.parameters[0].defaultValue, "2024-01-01");
    EXPECT_EQ(t.parameters[5].kind, ParameterKind::Choice);
    EXPECT_EQ(t.parameters[5].query, "SELECT name FROM countries ORDER BY name");
    const QByteArray written = ReportTemplateFormat::write(t);
    EXPECT_TRUE(written.contains("<report version=\"2\"")) << written.toStdString();
    EXPECT_EQ(ReportTemplateFormat::read(written, QStringLiteral("again.xml")), t);

    // A template of the first version, as earlier programs wrote it, reads as it always did.
    const ReportTemplate old = templateOf(QStringLiteral(R"(<report version="1" name="Old">
        <detail height="5"><text x="0" y="0" width="10" height="5">[Report.n]</text></detail></report>)"));
    EXPECT_TRUE(old.parameters.empty());
    EXPECT_EQ(old.detail->objects[0].text, "[Report.n]");
    EXPECT_TRUE(old.detail->objects[0].rules.empty());
    EXPECT_TRUE(old.detail->visible.isEmpty());
}

struct BadParameter {
    const char* name;
    const char* parameters;
    const char* message;
};

class ReportParametersRefuse : public testing::TestWithParam<BadParameter> {};

TEST_P(ReportParametersRefuse, WithLineAndColumn)
{
    const QString xml = QStringLiteral("<report version=\"2\">\n<parameters>\n%1\n</parameters></report>")
                            .arg(QString::fromUtf8(GetParam().parameters));
    try {
        templateOf(xml);
        FAIL() << "read a bad parameter";
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("test.xml, line 3, column "))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QString::fromUtf8(GetParam().message))) << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportParametersRefuse,
    testing::Values(
        BadParameter{"BadName", R"(<parameter name="1st" kind="text"/>)", "a parameter's name must be"},
        BadParameter{"Twice", R"(<parameter name="a" kind="text"/><parameter name="A" kind="date"/>)",
                     "the parameter \"A\" is declared twice"},
        BadParameter{"NoKind", R"(<parameter name="a"/>)", "the parameter \"a\" has no kind"},
        BadParameter{"UnknownKind", R"(<parameter name="a" kind="money"/>)", "\"kind\" must be one of text, integer"},
        BadParameter{"BadDate", R"(<parameter name="a" kind="date" default="31.12.2024"/>)",
                     "the default of the parameter \"a\" must be a date written yyyy-mm-dd"},
        BadParameter{"BadInteger", R"(<parameter name="a" kind="integer" default="1.5"/>)",
                     "must be a whole number"},
        BadParameter{"BadBoolean", R"(<parameter name="a" kind="boolean" default="maybe"/>)", "must be true or false"},
        BadParameter{"ChoiceWithoutQuery", R"(<parameter name="a" kind="choice"/>)", "needs the query of its values"},
        BadParameter{"QueryOfAText", R"(<parameter name="a" kind="text">SELECT 1</parameter>)",
                     "only a choice parameter holds a query"},
        BadParameter{"OtherElement", R"(<param name="a" kind="text"/>)", "unknown element <param> in <parameters>"},
        BadParameter{"UnknownAttribute", R"(<parameter name="a" kind="text" value="x"/>)",
                     "unknown attribute \"value\" on <parameter>"}),
    [](const testing::TestParamInfo<BadParameter>& info) { return std::string(info.param.name); });

// What a batch run and a default write is read as its kind; anything else is refused.
TEST(ReportParameters, ReadTheWrittenFormOfEachKind)
{
    const struct {
        ParameterKind kind;
        const char* text;
        const char* value; // written back; null: refused
    } cases[] = {
        {ParameterKind::Integer, "42", "42"},        {ParameterKind::Integer, "-7", "-7"},
        {ParameterKind::Integer, "4.2", nullptr},    {ParameterKind::Integer, "", nullptr},
        {ParameterKind::Number, "12.5", "12.5"},     {ParameterKind::Number, "12,5", nullptr},
        {ParameterKind::Number, "1e5", nullptr},     {ParameterKind::Number, "nan", nullptr},
        {ParameterKind::Date, "2024-02-29", "2024-02-29"}, {ParameterKind::Date, "2023-02-29", nullptr},
        {ParameterKind::Date, "2024-2-9", nullptr},  {ParameterKind::Boolean, "yes", "true"},
        {ParameterKind::Boolean, "0", "false"},      {ParameterKind::Boolean, "y", nullptr},
        {ParameterKind::Text, "O'Brien \"Ltd\"", "O'Brien \"Ltd\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<ReportValue> v = ReportParameters::read(c.kind, QString::fromUtf8(c.text));
        ASSERT_EQ(v.has_value(), c.value != nullptr);
        if (v) {
            EXPECT_EQ(ReportParameters::write(*v), QString::fromUtf8(c.value));
        }
    }
}

// Texts show the values given, else the defaults; a name the template does not declare is an
// error before any page.
TEST(ReportParameters, TextsShowTheGivenValueOrTheDefault)
{
    SqlFixture sql;
    sql.run(QStringLiteral("SELECT 1 AS n"));
    const ReportTemplate t = templateOf(QString::fromUtf8(withParameters));
    ReportFiller given(t, &sql.data, QStringLiteral("test.xml"), {},
                       {{QStringLiteral("WHO"), ReportValue::fromText(QStringLiteral("O'Brien"))}});
    EXPECT_EQ(textsOf(*given.fill(), 0), QStringList({"10.0:01.01.2024 O'Brien"}));
    ReportFiller defaults(t, &sql.data, QStringLiteral("test.xml"));
    EXPECT_EQ(textsOf(*defaults.fill(), 0), QStringList({"10.0:01.01.2024 "}));

    const ReportTemplate unknown = templateOf(QStringLiteral(R"(<report version="2">
        <detail height="5"><text x="0" y="0" width="10" height="5">[Param.nothing]</text></detail></report>)"));
    try {
        ReportFiller(unknown, &sql.data, QStringLiteral("test.xml")).fill();
        FAIL() << "filled a text naming no parameter";
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("the report has no parameter named \"nothing\"")))
            << e.message().toStdString();
    }
}

// A value holding quotes and SQL reaches the query as one bound value: it finds the row that
// holds exactly it, and a value written to break out of its literal finds nothing.
class ReportParametersBound : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        openTestDatabase(db, GetParam(), project.file(QStringLiteral("bound.db")), server);
        db.execute(QStringLiteral("CREATE TABLE t (id INTEGER, name TEXT, born TEXT)"));
        db.execute(QStringLiteral("INSERT INTO t VALUES (1, 'O''Brien \"Ltd\"', '2024-03-05 10:00:00.000')"));
        db.execute(QStringLiteral("INSERT INTO t VALUES (2, 'Smith', '2024-04-01 00:00:00.000')"));
    }

    QStringList namesFor(const QString& sql, const Report& report)
    {
        ReportDataset data;
        SqlStatement statement = db.prepare(sql, report.queryParameters());
        data.setResult(statement);
        QStringList names;
        for (qsizetype r = 0; r < data.rowCount(); ++r)
            names << data.value(r, 0).text();
        return names;
    }

    TempProject project;
    std::unique_ptr<PgTestDatabase> server;
    SqlConnection db;
};

TEST_P(ReportParametersBound, AValueHoldingQuotesIsOneValue)
{
    Report report;
    report.loadTemplateText(QString::fromUtf8(withParameters));
    const QString query = report.reportTemplate().query;
    report.setParameterValues({{QStringLiteral("who"), ReportValue::fromText(QStringLiteral("O'Brien \"Ltd\""))}});
    EXPECT_EQ(namesFor(query, report), QStringList({"O'Brien \"Ltd\""}));
    report.setParameterValues({{QStringLiteral("who"), ReportValue::fromText(QStringLiteral("x' OR '1'='1"))}});
    EXPECT_EQ(namesFor(query, report), QStringList());
}

// Dates bind as yyyy-mm-dd and compare with the stored dates; numbers and yes/no as numbers.
TEST_P(ReportParametersBound, DatesNumbersAndYesNoCompareWithTheStoredValues)
{
    Report report;
    report.loadTemplateText(QString::fromUtf8(withParameters));
    report.setParameterValues({{QStringLiteral("from"), ReportParameters::read(ParameterKind::Date, "2024-03-05").value()},
                               {QStringLiteral("limit"), ReportValue::fromInteger(1)}});
    EXPECT_EQ(namesFor(QStringLiteral("SELECT name FROM t WHERE substr(born, 1, 10) = :from"), report),
              QStringList({"O'Brien \"Ltd\""}));
    EXPECT_EQ(namesFor(QStringLiteral("SELECT name FROM t WHERE born >= :from ORDER BY id"), report),
              QStringList({"O'Brien \"Ltd\"", "Smith"}));
    EXPECT_EQ(namesFor(QStringLiteral("SELECT name FROM t WHERE id > :limit AND :paid = 1"), report),
              QStringList({"Smith"}));
    // A ":name" inside a literal is text, not a parameter.
    EXPECT_EQ(namesFor(QStringLiteral("SELECT ':who' FROM t WHERE id = :limit"), report), QStringList({":who"}));
}

VARNEL_ON_BOTH_BACKENDS(ReportParametersBound);

// The fuzz target's starting inputs, the additions among them, read, write back the same and
// fill from rows of the fields they use.
TEST(ReportParameters, TheFuzzInputsReadWriteBackAndFill)
{
    SqlFixture sql;
    sql.run(QStringLiteral("SELECT 'Ann' AS name, 'Norway' AS country, 3 AS qty, 1.25 AS price, NULL AS photo, "
                           "'1984-02-12 00:00:00.000' AS born UNION ALL SELECT 'Bo', 'Norway', -4, 2.5, NULL, NULL"));
    const QDir folder(QStringLiteral(VARNEL_SOURCE_DIR "/fuzz/seeds/report_template"));
    ASSERT_TRUE(folder.entryList(QDir::Files).contains("parameters.xml"));
    QFile file(folder.filePath("parameters.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const ReportTemplate t = ReportTemplateFormat::read(file.readAll(), QStringLiteral("parameters.xml"));
    EXPECT_EQ(ReportTemplateFormat::read(ReportTemplateFormat::write(t), QStringLiteral("again.xml")), t);
    ReportFiller filler(t, &sql.data, QStringLiteral("parameters.xml"));
    filler.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto doc = filler.fill();
    ASSERT_EQ(doc->pageCount(), 1);
    // The header shows the distinct names and the parameter's default; the row of qty -4 is
    // red and bold.
    // The carried total in the page header is hidden on the first page (nothing carried yet).
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"10.0:NOR 2 Ann", "15.0:2.50", "15.0:12.02.1984 1984-2-12 1/1/24 true",
                                             "25.0:5.00", "25.0: -- 1/1/24 true", "50.0:-1 / 1 of 1"}));
    const PageRef page = doc->page(0);
    const auto styleOf = [&](const QString& text) {
        for (const PageBox& b : page->boxes)
            if (b.kind == PageBox::Kind::Text && page->text(b) == text)
                return doc->style(b.style).text;
        return TextStyle();
    };
    EXPECT_EQ(styleOf("5.00").color, QColor(Qt::red));
    EXPECT_TRUE(styleOf("5.00").font.bold);
    EXPECT_EQ(styleOf("5.00").background.alpha(), 0x80); // 2.5 > the rate 0.5
    EXPECT_FALSE(styleOf("2.50").font.bold);
}

} // namespace
