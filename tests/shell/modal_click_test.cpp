#include "app_fixture.h"

#include "controls/value_controls.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QTest>

namespace {
const QByteArray Tables = "[customers]\n-name=TEXT\n";

const QByteArray FormsXml = R"(<main>
<frmMain Width="400" Height="300">
  <TdbStringGrid Name="gridCustomers" Left="0" Top="0" Width="400" Height="200" dbGeneralTable="customers"
                 dbListFields="customers.name" dbListFieldsNames="Name" dbAutoExecute="True"/>
  <TdbButton Name="bNew" Left="0" Top="210" Width="80" Height="30" dbActionType="adbNewRecord" dbFormName="frmCustomer"/>
  <TdbButton Name="bEdit" Left="90" Top="210" Width="80" Height="30" dbActionType="adbShowRecord" dbFormName="frmCustomer" dbResultControl="gridCustomers"/>
</frmMain>
<frmCustomer Width="300" Height="100">
  <TdbEdit Name="edName" Left="8" Top="8" Width="200" Height="24" dbTable="customers" dbField="name"/>
  <TdbButton Name="bSave" Left="8" Top="40" Width="80" Height="30" dbActionType="adbSaveRecord" dbGeneralTable="customers" dbListControls="edName"/>
</frmCustomer>
</main>)";

// Restores the desktop's double-click time after a test changed it.
class DoubleClickTime {
public:
    explicit DoubleClickTime(int ms) : m_saved(QGuiApplication::styleHints()->mouseDoubleClickInterval())
    {
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(ms);
    }
    ~DoubleClickTime() { QGuiApplication::styleHints()->setMouseDoubleClickInterval(m_saved); }

private:
    int m_saved;
};
} // namespace

TEST(ModalForms, TheRestOfADoubleClickOnSaveDoesNotReachTheWindowBeneath)
{
    RunningApp app(Tables, FormsXml);
    app.db().execute("INSERT INTO customers (name) VALUES ('Kim')");
    app.main->show();
    auto* grid = app.control<TdbStringGridEx>("frmMain", "gridCustomers");
    grid->dbExecute();
    const QPoint firstRow = grid->visualRect(grid->model()->index(0, 0)).center();

    int customerFormShown = 0;
    app.onModal("frmCustomer", [&](TForm* form) {
        ++customerFormShown;
        if (customerFormShown > 1) {
            form->closeForm();
            return;
        }
        app.control<TdbEdit>("frmCustomer", "edName")->setText("Ann");
        // The first click of the double-click saves and closes the form.
        QTest::mouseClick(app.control<TdbButton>("frmCustomer", "bSave"), Qt::LeftButton);
    });

    {
        const DoubleClickTime generous(60000);
        app.click("frmMain", "bNew");
        ASSERT_EQ(customerFormShown, 1);
        ASSERT_FALSE(app.form("frmCustomer")->isVisible());
        // The second click lands on the grid the form was covering: it opens nothing.
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, firstRow);
        EXPECT_EQ(customerFormShown, 1);
    }
    EXPECT_EQ(app.rows("SELECT name FROM customers ORDER BY name"),
              (QList<QStringList>{{"Ann"}, {"Kim"}}));
    EXPECT_TRUE(app.desk.messages.empty()) << app.desk.texts().join("|").toStdString();

    // Once the double-click time has passed, a double-click on the grid opens the record again.
    const DoubleClickTime none(0);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, firstRow);
    EXPECT_EQ(customerFormShown, 2);
}
