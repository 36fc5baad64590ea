#include "controls/record_grid.h"
#include "platform/form.h"
#include "platform/guard.h"
#include "platform/ini_file.h"
#include "shell/main_window.h"
#include "shell/settings.h"
#include "support/scripted_desktop.h"
#include "support/temp_project.h"

#include <QHeaderView>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct GridForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>();
    explicit GridForm(const char* name)
    {
        form->setFormName(QString::fromLatin1(name));
        Forms::registerForm(form.get());
    }
    TdbStringGridEx* grid(const char* name, int columns, bool used)
    {
        auto* g = new TdbStringGridEx(form->client());
        form->addComponent(g, QString::fromLatin1(name));
        g->setDefaultColumnWidth(64);
        g->setColCount(columns);
        g->dbIfUsed = used;
        return g;
    }
};

QStringList gridEntries(const TempProject& project)
{
    const IniFile ini = IniFile::load(project.file("settings.ini"));
    QStringList entries;
    for (const QString& key : ini.keys("Grids"))
        entries.append(key + u'=' + ini.value("Grids", key));
    return entries;
}

} // namespace

TEST(GridSettings, OnlyGridsThatWereFilledAreWritten)
{
    ScriptedDesktop::install();
    TempProject project;
    project.write("settings.ini", QByteArray("[Options]\r\nserver=x.db\r\n[Grids]\r\n"
                                             "frmA.gridOld.ColCount=2\r\nfrmA.gridOld.0=55\r\n"));
    GridForm a("frmA");
    TdbStringGridEx* used = a.grid("gridUsed", 3, true);
    used->setColumnWidth(0, 10);
    used->setColumnWidth(2, 30);
    a.grid("gridOld", 5, false);
    GridForm b("frmB");
    b.grid("gridB", 1, true)->setColumnWidth(0, 77);

    SaveGridSettings();
    EXPECT_EQ(gridEntries(project),
              QStringList({"frmA.gridOld.ColCount=2", "frmA.gridOld.0=55", "frmA.gridUsed.ColCount=3",
                           "frmA.gridUsed.0=10", "frmA.gridUsed.1=64", "frmA.gridUsed.2=30",
                           "frmB.gridB.ColCount=1", "frmB.gridB.0=77"}));
    EXPECT_EQ(IniFile::load(project.file("settings.ini")).value("Options", "server"), "x.db");
}

TEST(GridSettings, LayoutsAreRestoredForEveryGrid)
{
    ScriptedDesktop::install();
    TempProject project;
    project.write("settings.ini", QByteArray("[Grids]\r\n"
                                             "frmA.gridWide.ColCount=7\r\n"
                                             "frmA.gridWide.0=111\r\nfrmA.gridWide.2=abc\r\n"
                                             "frmA.gridWide.6=66\r\nfrmA.gridWide.9=99\r\n"
                                             "frmA.gridWide.3=2000000000\r\n"
                                             "frmA.gridOdd.ColCount=many\r\n"
                                             "frmA.gridHuge.ColCount=100000000\r\n"));
    GridForm a("frmA");
    TdbStringGridEx* wide = a.grid("gridWide", 3, false);
    wide->setCell(1, 1, QStringLiteral("kept"));
    TdbStringGridEx* odd = a.grid("gridOdd", 2, false);
    TdbStringGridEx* huge = a.grid("gridHuge", 2, false);
    TdbStringGridEx* untouched = a.grid("gridNone", 4, false);
    untouched->setColumnWidth(1, 12);

    LoadGridSettings();
    ASSERT_EQ(wide->colCount(), 7);
    EXPECT_EQ(wide->cell(1, 1), QStringLiteral("kept"));
    // Numbers no grid can have (a damaged file) count as no number.
    const int widths[] = {111, 64, 100, 100, 64, 64, 66};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(wide->columnWidth(c), widths[c]) << c;
    EXPECT_EQ(odd->colCount(), 5);
    EXPECT_EQ(huge->colCount(), 5);
    EXPECT_EQ(untouched->colCount(), 4);
    EXPECT_EQ(untouched->columnWidth(1), 12);
}

namespace {

const char* const Tables = "[customers]\n-name=TEXT\n_city=TEXT\n";
const char* const FormsXml =
    "<main>"
    "<frmMain Caption=\"Shop\" Width=\"600\" Height=\"400\">"
    "<TdbStringGrid Name=\"gridAll\" Left=\"0\" Top=\"0\" Width=\"400\" Height=\"200\""
    " dbGeneralTable=\"customers\" dbListFields=\"customers.name,customers.city\""
    " dbListFieldsNames=\"Name,City\" dbAutoExecute=\"True\" dbSortField=\"customers.name\" dbSortAsc=\"True\"/>"
    "<TdbStringGrid Name=\"gridIdle\" Left=\"0\" Top=\"200\" Width=\"400\" Height=\"100\""
    " dbGeneralTable=\"customers\" dbListFields=\"customers.name\"/>"
    "</frmMain>"
    "<frmOther Caption=\"Other\">"
    "<TdbStringGrid Name=\"gridOther\" dbGeneralTable=\"customers\" dbListFields=\"customers.name\""
    " dbAutoExecute=\"True\"/>"
    "</frmOther>"
    "</main>";

struct Started {
    TfrmMainVarnel main;
    QStringList statements;
    Started()
    {
        main.connection().setObserver([this](const QString& sql) { statements.append(sql); });
        guarded([this] { main.FormShow(); });
    }
    TdbStringGridEx* grid(const char* form, const char* name)
    {
        TForm* f = Forms::find(QString::fromLatin1(form));
        return f ? qobject_cast<TdbStringGridEx*>(f->findComponent(QString::fromLatin1(name)))
                 : nullptr;
    }
};

} // namespace

TEST(GridSettings, StartUpSearchesTheMainWindowsGridsAndClosingKeepsTheirLayout)
{
    ScriptedDesktop& desk = ScriptedDesktop::install();
    TempProject project;
    project.write("tables.ini", QByteArray(Tables));
    project.write("forms.xml", QByteArray(FormsXml));
    {
        Started first;
        first.main.connection().execute("INSERT INTO customers (name, city) VALUES ('b', 'Oslo'), ('a', 'Rome')");
        ASSERT_TRUE(desk.messages.empty()) << desk.texts().join("|").toStdString();
        TForm* mainForm = Forms::mainForm();
        ASSERT_NE(mainForm, nullptr);
        TdbStringGridEx* all = first.grid(qPrintable(mainForm->formName()), "gridAll");
        ASSERT_NE(all, nullptr);
        EXPECT_TRUE(first.statements.contains(
            "SELECT DISTINCT [customers].[name],[customers].[city],[customers].id FROM [customers]"
            " ORDER BY customers.name ASC"));
        EXPECT_TRUE(all->dbIfUsed);
        EXPECT_FALSE(first.grid("frmOther", "gridOther")->dbIfUsed);
        EXPECT_FALSE(first.grid(qPrintable(mainForm->formName()), "gridIdle")->dbIfUsed);
        all->dbExecute();
        EXPECT_EQ(all->cell(0, 1), QStringLiteral("a"));
        all->setColumnWidth(1, 150);
        first.main.close();
    }
    const QStringList saved = gridEntries(project);
    ASSERT_EQ(saved.size(), 3) << saved.join(' ').toStdString();
    EXPECT_TRUE(saved.at(0).endsWith(QStringLiteral(".gridAll.ColCount=2")));
    EXPECT_TRUE(saved.at(2).endsWith(QStringLiteral(".gridAll.1=150")));

    Started second;
    EXPECT_EQ(second.grid(qPrintable(Forms::mainForm()->formName()), "gridAll")->columnWidth(1), 150);
}
