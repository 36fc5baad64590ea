#include "platform/errors.h"
#include "report/engine/compiled_text.h"
#include "report_fixture.h"

#include <gtest/gtest.h>

namespace {

// One row of every kind of value, as a real query returns it.
class Expressions : public testing::Test {
protected:
    void SetUp() override
    {
        fixture.run(QStringLiteral("SELECT 'Anna' AS Name, 12.5 AS Price, 3 AS Qty, NULL AS Void, "
                                   "'abc' AS Word, '1990-07-15 08:05:00.000' AS Born, 1 AS Active, "
                                   "1234567.891 AS Big, X'00FF' AS Raw"));
    }

    QString show(const QString& text, const QString& format = QString(),
                 const QLocale& locale = QLocale(QLocale::English, QLocale::UnitedStates))
    {
        ExpressionCompiler compiler(&fixture.data, {});
        const CompiledText compiled(text, DisplayFormat(format), compiler);
        EvalContext context;
        context.data = &fixture.data;
        context.row = 0;
        context.page = 4;
        context.totalPages = 9;
        context.line = 2;
        context.now = QDateTime(QDate(2024, 3, 5), QTime(14, 30));
        return compiled.evaluate(context, locale);
    }

    SqlFixture fixture;
};

TEST_F(Expressions, EvaluateToTheirTexts)
{
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"Name: [Report.\"Name\"]", "Name: Anna"},
        {"[report.\"NAME\"]/[Report.name]", "Anna/Anna"}, // field names in any case, quoted or bare
        {"[Report.\"Price\" * Report.\"Qty\"]", "37.5"},
        {"[Report.\"Qty\" * 2 + 1]", "7"},
        {"[(Report.\"Qty\" + 1) * 2]", "8"},
        {"[Report.\"Qty\" / 2]", "1.5"},
        {"[10 / 5]", "2"},
        {"[-Report.\"Qty\"]", "-3"},
        {"[Report.\"Qty\" / 0]", ""},          // division by zero: empty
        {"[Report.\"Word\" * 2]", ""},         // text in arithmetic: empty
        {"[Report.\"Void\" + 1]", ""},
        {"[Report.\"Word\" + 'def']", "abcdef"}, // two texts join
        {"[Report.\"Name\" & ' has ' & Report.\"Qty\"]", "Anna has 3"},
        {"[IIF(Report.\"Qty\" > 2, 'many', 'few')]", "many"},
        {"[IIF(Report.\"Qty\" <= 2, 'many', 'few')]", "few"},
        {"[IIF(Report.\"Void\", 'yes', 'no')]", "no"},
        // a missing value shows as nothing and so equals the empty text; it is below the rest
        {"[Report.\"Void\" = '']/[Report.\"Void\" <> '']/['' = Report.Void]", "true/false/true"},
        {"[Report.\"Void\" = 0]/[Report.\"Void\" < 0]/[Report.\"Void\" < '']", "false/true/false"},
        {"[IIF(Report.Void = '', 'none', '(' & Report.Void & ')')]", "none"},
        {"[Report.\"Name\" = 'Anna' AND NOT Report.\"Qty\" <> 3]", "true"},
        {"[Report.\"Price\" >= 13 OR Report.\"Word\" < 'b']", "true"},
        {"[Page] of [TotalPages], line [Line]", "4 of 9, line 2"},
        {"['[' & \"it's\" & ']']", "[it's]"},
        {"['it''s']", "it's"},
        {"[Date]", "3/5/24"},
        {"no brackets ] here", "no brackets ] here"},
        {"[Report.\"Raw\"]", ""},
        // text functions; DISPLAY shows a stored text as the forms do (Ü is below the wide
        // characters, so MÜNCHEN stays as it is, there as here)
        {"[DISPLAY('ИВАНОВА, АННА')]/[display('MÜNCHEN')]/[Display('SMITH')]", "Иванова, анна/MÜNCHEN/SMITH"},
        {"[UPPER(Report.name)]/[LOWER('ÄBC Жук')]/[TRIM('  a b  ')]!", "ANNA/äbc жук/a b!"},
        {"[DISPLAY(Report.Qty * 2)]/[UPPER(Report.Void)]/[TRIM(Report.Void) = '']", "6//true"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(show(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown)) << c.text;
}

TEST_F(Expressions, DisplayFormatsFollowTheLocale)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const struct {
        const char* text;
        const char* format;
        QLocale locale;
        const char* shown;
    } cases[] = {
        {"[Report.\"Big\"]", "n2", us, "1,234,567.89"},
        {"[Report.\"Big\"]", "n2", ru, "1\u00a0234\u00a0567,89"},
        {"[Report.\"Big\"]", "f1", us, "1234567.9"},
        {"[Report.\"Big\"]", "", ru, "1234567,891"},
        {"[Report.\"Qty\"]", "n2", us, "3.00"},
        {"[Report.\"Born\"]", "date:dd.MM.yyyy", us, "15.07.1990"},
        {"[Report.\"Born\"]", "date", us, "7/15/90"},
        {"[Report.\"Born\"]", "datetime:yyyy MMMM d, hh:mm", ru, "1990 июля 15, 08:05"},
        {"[Report.\"Born\"]", "time:HH:mm", us, "08:05"},
        {"[Report.\"Active\"]", "bool:Yes;No", us, "Yes"},
        {"[Report.\"Void\"]", "bool:Да;Нет", ru, ""}, // null shows nothing whatever the format
        {"[Report.\"Qty\" = 4]", "bool:Да;Нет", ru, "Нет"},
        {"[Report.\"Name\"]", "n2", us, "Anna"}, // a format for another kind leaves the value alone
    };
    for (const auto& c : cases)
        EXPECT_EQ(show(QString::fromUtf8(c.text), QString::fromUtf8(c.format), c.locale), QString::fromUtf8(c.shown))
            << c.text << " " << c.format;
}

TEST_F(Expressions, MistakesAreToldWhenCompiled)
{
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"[Report.\"Salary\"]", "the field \"Salary\" is not in the data \"Report\""},
        {"[Orders.\"Name\"]", "there is no data named \"Orders\""},
        {"[Report.\"Qty\" +]", "a value expected"},
        {"[Pages]", "unknown name \"Pages\""},
        {"[PROPER('A')]", "unknown function \"PROPER\""},
        {"[TRIM('a', 'b')]", "TRIM takes one value"},
        {"[DISPLAY()]", "DISPLAY takes one value"},
        {"[IIF(1, 2)]", "IIF takes a condition and two values"},
        {"[SUM(SUM(Report.\"Qty\"))]", "an aggregate cannot stand inside SUM"},
        {"[SUM(Report.\"Qty\", 'region')]", "\"region\" names no group"},
        {"total [SUM(1)", "a \"[\" is not closed"},
        {"['open]", "a \"[\" is not closed"}, // the quote hides the bracket
    };
    for (const auto& c : cases) {
        try {
            show(QString::fromUtf8(c.text));
            ADD_FAILURE() << "compiled: " << c.text;
        } catch (const FormatError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.message))) << e.message().toStdString();
        }
    }
    EXPECT_THROW(DisplayFormat(QStringLiteral("money")), FormatError);
    EXPECT_THROW(DisplayFormat(QStringLiteral("bool:yes")), FormatError);
}

// Templates may be 16 MB: nesting beyond any real need is refused where it goes too deep, and a
// long chain of one operator is no nesting at all.
TEST_F(Expressions, DeepNestingIsRefusedWithItsPlaceAndLongChainsEvaluate)
{
    const struct {
        QString text;
        const char* message; // empty: compiles
        const char* shown;
    } cases[] = {
        {u'[' + QString(4000, u'(') + u'1' + QString(4000, u')') + u']', "expression nested too deeply at line 1, column 102", ""},
        {QStringLiteral("Total:\n[") + QString(150, u'[') + u'1' + QString(150, u']') + u']',
         "expression nested too deeply at line 2, column 102", ""},
        {QStringLiteral("[") + QStringLiteral("- ").repeated(20000) + QStringLiteral("1]"), "expression nested too deeply at line 1, column 202", ""},
        {QStringLiteral("[") + QStringLiteral("NOT ").repeated(20000) + QStringLiteral("1]"), "expression nested too deeply at line 1, column 402", ""},
        {u'[' + QStringLiteral("IIF(1, 2, ").repeated(101) + u'3' + QString(101, u')') + u']',
         "expression nested too deeply at line 1, column 1005", ""},
        {QStringLiteral("[1") + QStringLiteral("+1").repeated(20000) + u']', "", "20001"},
        {QStringLiteral("[Report.Qty") + QStringLiteral(" * 1").repeated(20000) + QStringLiteral(" - 1]"), "", "2"},
        {QStringLiteral("[''") + QStringLiteral(" & 'a'").repeated(20000) + QStringLiteral(" = '") + QString(20000, u'a') + QStringLiteral("']"), "", "true"},
        {QStringLiteral("[1 = 1") + QStringLiteral(" AND 1").repeated(20000) + QStringLiteral(" OR 0") + u']', "", "true"},
        {QString(100, u'(').prepend(u'[') + u'1' + QString(100, u')') + u']', "", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.left(40).toStdString());
        QString shown, message;
        onSmallStack([&] {
            try {
                shown = show(c.text);
            } catch (const FormatError& e) {
                message = e.message();
            }
        });
        EXPECT_EQ(message, QString::fromUtf8(c.message));
        EXPECT_EQ(shown, QString::fromUtf8(c.shown));
    }
}

// REAL values reach the dataset with every digit, whether the rows are read row by row or come
// as a whole result.
TEST(ReportDataset, RealValuesKeepEveryDigit)
{
    SqlFixture sql;
    const QString select = QStringLiteral("SELECT 0.1 + 0.2 AS sum, 1.0 / 3 AS third, 123456789.123456789 AS big, -2.5e-300 AS tiny");
    const double want[] = {0.1 + 0.2, 1.0 / 3, 123456789.123456789, -2.5e-300};
    ReportDataset whole;
    whole.setResult(sql.db.query(select));
    sql.run(select);
    for (const ReportDataset* data : {&sql.data, &whole})
        for (int c = 0; c < 4; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(data->value(0, c).type, DatasetValue::Type::Real);
            EXPECT_EQ(data->value(0, c).real, want[c]);
        }
}

TEST(Accumulators, KeepTheirKindAndIgnoreNulls)
{
    Accumulator a;
    a.add(ReportValue::fromInteger(2), false);
    a.add(ReportValue(), false);
    a.add(ReportValue::fromInteger(5), false);
    EXPECT_EQ(a.count, 2);
    EXPECT_TRUE(a.allIntegers);
    EXPECT_EQ(a.intSum, 7);
    a.add(ReportValue::fromReal(0.5), false);
    EXPECT_FALSE(a.allIntegers);
    EXPECT_DOUBLE_EQ(a.realSum, 7.5);
    EXPECT_EQ(a.min.toReal(), 0.5);
    EXPECT_EQ(a.max.integer, 5);
}

} // namespace
