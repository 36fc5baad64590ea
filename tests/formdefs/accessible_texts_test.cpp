#include "forms_fixture.h"

#include "controls/record_grid.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QLabel>

namespace {

struct Announced {
    QString name;
    QString description;
    friend bool operator==(const Announced&, const Announced&) = default;
};

void PrintTo(const Announced& a, std::ostream* out)
{
    *out << '{' << a.name.toStdString() << " | " << a.description.toStdString() << '}';
}

Announced announced(QWidget* control)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    if (!accessible)
        return {QStringLiteral("<not accessible>"), QString()};
    return {accessible->text(QAccessible::Name), accessible->text(QAccessible::Description)};
}

} // namespace

TEST_F(FormsFixture, ScreenReadersHearCaptionsLabelsOrNamesAndHints)
{
    load(R"(<main><frmMain/>
<frmEdit Width="500" Height="400">
  <TdbLabel Name="lblName" Caption="Customer &amp;name" Left="8" Top="8"/>
  <TdbEdit Name="edName" Left="8" Top="24" Width="200" Height="24"/>
  <TdbEdit Name="edNoLabel" Left="8" Top="56" Width="200" Height="24"/>
  <TdbCheckBox Name="chkVip" Caption="&amp;VIP" Left="8" Top="88" Width="80" Height="20"/>
  <TdbLabel Name="lblCity" Caption="City" Left="8" Top="112"/>
  <TdbPanel Name="pnl" Left="8" Top="130" Width="300" Height="60">
    <TdbComboBox Name="cbCity" Left="4" Top="4" Width="200" Height="24"/>
  </TdbPanel>
  <TdbLabel Name="lblContract" Caption="Contract" Left="8" Top="196"/>
  <TdbFileToDatabase Name="fileContract" Left="8" Top="214" Width="300"/>
  <TdbButton Name="bSave" Caption="Save" Left="8" Top="250" Width="80" Height="30"/>
  <TdbStringGrid Name="gridOrders" Left="8" Top="290" Width="300" Height="100" dbListFieldsNames="Number,Ordered"/>
</frmEdit></main>)");
    TForm* f = form("frmEdit");
    ASSERT_TRUE(f);
    auto* grid = control<TdbStringGridEx>("frmEdit", "gridOrders");
    grid->dbFillColumnsName();
    f->show();
    settle();

    const std::pair<const char*, Announced> expected[] = {
        {"edName", {"Customer name", ""}},
        {"edNoLabel", {"edNoLabel", ""}},
        {"chkVip", {"VIP", ""}},
        // A panel passes the label on to the control inside it.
        {"pnl", {"pnl", ""}},
        {"cbCity", {"City", ""}},
        {"fileContract", {"Contract", "Choose a file to store in the database. "
                                      "Open or save the file stored in the database."}},
        {"bSave", {"Save", ""}},
        {"gridOrders", {"gridOrders", ""}},
    };
    for (const auto& [name, want] : expected)
        EXPECT_EQ(announced(control("frmEdit", name)), want) << name;
    EXPECT_EQ(control<QLabel>("frmEdit", "lblName")->buddy(), control("frmEdit", "edName"));

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_TRUE(table && table->tableInterface());
    ASSERT_EQ(table->tableInterface()->columnCount(), 2);
    EXPECT_EQ(table->tableInterface()->columnDescription(0), QStringLiteral("Number"));
    EXPECT_EQ(table->tableInterface()->columnDescription(1), QStringLiteral("Ordered"));
}
