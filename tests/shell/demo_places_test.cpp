#include "app_fixture.h"

#include "controls/value_controls.h"

#include <QFile>

namespace {
QByteArray demoFile(const char* name)
{
    QFile f(QStringLiteral(VARNEL_SOURCE_DIR "/examples/demo/") + QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList items(TdbComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    return texts;
}
} // namespace

// The demo's Places window adds countries, regions and cities through forms of their own, and
// every list of them elsewhere shows a new one at once.
TEST(DemoPlaces, NewCountriesRegionsAndCitiesAreSavedOnceAndListedEverywhere)
{
    RunningApp app(demoFile("tables.ini"), demoFile("forms.xml"));
    ASSERT_TRUE(app.desk.messages.empty()) << app.desk.texts().join("|").toStdString();
    auto combo = [&](const char* form, const char* name) {
        return app.control<TdbComboBox>(form, name);
    };
    auto typeAndSave = [&](const char* form, const char* edit, const char* text, const char* save) {
        app.onModal(form, [=, &app](TForm* shown) {
            app.control<TdbEdit>(form, edit)->setText(QString::fromUtf8(text));
            app.click(form, save);
            // A refused save keeps the form open for corrections; the user then cancels.
            if (shown->isVisible())
                shown->closeForm();
        });
    };

    // An empty name is refused and nothing is written.
    typeAndSave("frmCountry", "edCountryName", "", "bSaveCountry");
    app.click("frmPlaces", "bNewCountry");
    EXPECT_EQ(app.desk.texts(), QStringList{"No data to add."});
    EXPECT_TRUE(app.rows("SELECT name FROM countries").isEmpty());

    typeAndSave("frmCountry", "edCountryName", "Finland", "bSaveCountry");
    app.click("frmPlaces", "bNewCountry");
    EXPECT_EQ(app.rows("SELECT name FROM countries"), (QList<QStringList>{{"Finland"}}));
    EXPECT_TRUE(items(combo("frmPlaces", "cbCountry")).contains("Finland"));
    EXPECT_TRUE(items(combo("frmCustomer", "cbCustCountry")).contains("Finland"));
    EXPECT_TRUE(items(combo("frmRegion", "cbRegionCountry")).contains("Finland"));

    app.onModal("frmRegion", [&](TForm* shown) {
        TdbComboBox* country = combo("frmRegion", "cbRegionCountry");
        country->setCurrentIndex(country->findText("Finland"));
        app.control<TdbEdit>("frmRegion", "edRegionName")->setText("Uusimaa");
        app.click("frmRegion", "bSaveRegion");
        if (shown->isVisible())
            shown->closeForm();
    });
    app.click("frmPlaces", "bNewRegion");
    EXPECT_EQ(app.rows("SELECT r.name, c.name FROM regions r JOIN countries c ON c.id = r.id_countries"),
              (QList<QStringList>{{"Uusimaa", "Finland"}}));

    app.onModal("frmCity", [&](TForm* shown) {
        // Picking the country, as the user does, lists its regions.
        TdbComboBox* country = combo("frmCity", "cbCityCountry");
        country->setCurrentIndex(country->findText("Finland"));
        emit country->activated(country->currentIndex());
        TdbComboBox* region = combo("frmCity", "cbCityRegion");
        EXPECT_EQ(items(region), QStringList{"Uusimaa"});
        region->setCurrentIndex(region->findText("Uusimaa"));
        emit region->activated(region->currentIndex());
        app.control<TdbEdit>("frmCity", "edCityName")->setText("Helsinki");
        app.click("frmCity", "bSaveCity");
        if (shown->isVisible())
            shown->closeForm();
    });
    app.click("frmPlaces", "bNewCity");
    EXPECT_EQ(app.rows("SELECT ci.name, r.name FROM cities ci JOIN regions r ON r.id = ci.id_regions"),
              (QList<QStringList>{{"Helsinki", "Uusimaa"}}));
    EXPECT_TRUE(items(combo("frmFindCustomers", "cbFcCity")).contains("Helsinki"));
    EXPECT_EQ(app.desk.texts(), QStringList{"No data to add."});
}
