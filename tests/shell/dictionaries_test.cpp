#include "app_fixture.h"

namespace {
const QByteArray Tables =
    "[countries]\nisdictionary=1\n-name=TEXT\n"
    "[regions]\nisdictionary=1\n-name=TEXT\n^id_countries=countries\n"
    "[cities]\nisdictionary=1\n-name=TEXT\n^id_regions=regions\n"
    "[people]\nisdictionary=1\n_last=TEXT\n_first=TEXT\n%full=last || first\n%up=upper(last)\n"
    "[customers]\n-name=TEXT\n>id_cities=\n>id_people=\n>id_people2=\n";

const QByteArray FormsXml =
    "<main><frmMain>"
    "<TdbComboBox Name=\"cbCountry\" dbForeignKey=\"regions.id_countries\" dbField=\"name\" dbSort=\"True\"/>"
    "<TdbComboBox Name=\"cbRegion\" dbForeignKey=\"cities.id_regions\" dbField=\"name\" dbParentCombo=\"cbCountry\" dbSort=\"True\"/>"
    "<TdbComboBox Name=\"cbCity\" dbForeignKey=\"customers.id_cities\" dbField=\"name\" dbParentCombo=\"cbRegion\"/>"
    "<TdbComboBox Name=\"cbPerson\" dbForeignKey=\"customers.id_people\" dbField=\"{last} {first}\" dbSort=\"True\" dbDefaultID=\"1\"/>"
    "<TdbComboBox Name=\"cbCalc\" dbForeignKey=\"customers.id_people2\" dbField=\"{full}\" dbSort=\"True\"/>"
    "</frmMain></main>";

QStringList items(TdbComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out.append(QString::number(box->idAt(i)) + u':' + box->itemText(i));
    return out;
}
} // namespace

// Runs on both back ends; each is given the statements in its own terms.
class Dictionaries : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(Tables, FormsXml, GetParam());
        app->load("INSERT INTO countries (id, name) VALUES (3, 'Norway'), (4, 'Austria');"
                  "INSERT INTO regions (id, name, id_countries) VALUES (7, 'Vestland', 3), (8, 'Oslo', 3), (9, 'Tirol', 4);"
                  "INSERT INTO cities (id, name, id_regions) VALUES (70, 'Bergen', 7), (71, 'Voss', 7), (90, 'Innsbruck', 9);"
                  "INSERT INTO people (id, last, first) VALUES (1, 'Smith', 'Ann'), (2, 'ИВАНОВ', 'ПЁТР');");
        app->statements.clear();
        app->main->FillDictionaries(QString());
    }
    TdbComboBox* box(const char* name) { return app->control<TdbComboBox>("frmMain", name); }
    QStringList sql(const QStringList& sqlite, const QStringList& server) const
    {
        return app->onServer() ? server : sqlite;
    }
    std::unique_ptr<RunningApp> app;
};

// On a database made before letters could be kept as typed, the capitals the rule stored are
// shown in sentence case, as the record forms show them.
TEST_P(Dictionaries, ADatabaseMadeBeforeShowsItsCapitalsInSentenceCase)
{
    app->useDatabaseMadeBefore();
    app->main->FillDictionaries(QString());
    EXPECT_EQ(items(box("cbPerson")), (QStringList{"-1:", "1:Smith Ann", "2:Иванов пётр"}));
    EXPECT_EQ(items(box("cbCalc")), (QStringList{"-1:", "1:SmithAnn", "2:Ивановпётр"}));
}

TEST_P(Dictionaries, TopLevelBoxesAreFilledWithTheirExactQueries)
{
    EXPECT_EQ(app->statements,
              sql({"SELECT id, [countries].[name] FROM [countries] ORDER BY [countries].[name]",
                   "SELECT id, [people].[last],[people].[first] FROM [people] ORDER BY "
                   "[people].[last],[people].[first]",
                   "SELECT id, last || first AS 'full' FROM [people]"},
                  {"SELECT id, \"countries\".\"name\" FROM \"countries\" ORDER BY \"countries\".\"name\" "
                   "ASC NULLS FIRST",
                   "SELECT id, \"people\".\"last\",\"people\".\"first\" FROM \"people\" ORDER BY "
                   "\"people\".\"last\" ASC NULLS FIRST,\"people\".\"first\" ASC NULLS FIRST",
                   "SELECT id, last || first AS \"full\" FROM \"people\""}));
    EXPECT_EQ(items(box("cbCountry")), (QStringList{"-1:", "4:Austria", "3:Norway"}));
    EXPECT_EQ(box("cbCountry")->dbItemID(), -1);
    // A template; texts shown as stored; dbDefaultID 1 selects the first row.
    EXPECT_EQ(items(box("cbPerson")), (QStringList{"-1:", "1:Smith Ann", "2:ИВАНОВ ПЁТР"}));
    EXPECT_EQ(box("cbPerson")->dbItemID(), 1);
    EXPECT_EQ(items(box("cbCalc")), (QStringList{"-1:", "1:SmithAnn", "2:ИВАНОВПЁТР"}));
    // Child boxes are not filled until their parent changes.
    EXPECT_EQ(box("cbRegion")->count(), 0);
}

TEST_P(Dictionaries, FillingByTableTouchesOnlyThatTablesBoxes)
{
    app->statements.clear();
    app->main->FillDictionaries("people");
    EXPECT_EQ(app->statements.size(), 2);
    app->statements.clear();
    app->main->FillDictionaries("nothing_uses_this");
    EXPECT_TRUE(app->statements.isEmpty());
}

TEST_P(Dictionaries, ChoosingAParentFillsItsChildAndEmptiesTheGrandchild)
{
    box("cbRegion")->AddRecord(1, "stale");
    box("cbCity")->AddRecord(1, "stale");
    box("cbCountry")->setDbItemID(3);
    app->statements.clear();
    app->main->OnComboChange(box("cbCountry"));
    EXPECT_EQ(app->statements,
              sql({"SELECT id,[name] FROM [regions] WHERE id_countries=3 ORDER BY [name]",
                   "SELECT id,[name] FROM [cities] WHERE id_regions=-1"},
                  {"SELECT id,\"name\" FROM \"regions\" WHERE \"id_countries\"=3 ORDER BY \"name\" "
                   "ASC NULLS FIRST",
                   "SELECT id,\"name\" FROM \"cities\" WHERE \"id_regions\"=-1"}));
    EXPECT_EQ(items(box("cbRegion")), (QStringList{"8:Oslo", "7:Vestland"}));
    EXPECT_EQ(box("cbRegion")->dbItemID(), -1);
    EXPECT_EQ(box("cbCity")->count(), 0);
}

TEST_P(Dictionaries, ARecordsCityShowsTheWholeChain)
{
    app->main->SetLinkedComboBoxValue(box("cbCity"), 71);
    EXPECT_EQ(box("cbCity")->dbItemID(), 71);
    EXPECT_EQ(items(box("cbCity")), (QStringList{"70:Bergen", "71:Voss"}));
    EXPECT_EQ(box("cbRegion")->dbItemID(), 7);
    EXPECT_EQ(items(box("cbRegion")), (QStringList{"8:Oslo", "7:Vestland"}));
    EXPECT_EQ(box("cbCountry")->dbItemID(), 3);
}

TEST_P(Dictionaries, AUserChoiceReachesTheChangeHandler)
{
    TdbComboBox* country = box("cbCountry");
    country->setCurrentIndex(1); // Austria
    emit country->activated(1);
    EXPECT_EQ(items(box("cbRegion")), QStringList{"9:Tirol"});
}

VARNEL_ON_BOTH_BACKENDS(Dictionaries);
