#include "app_fixture.h"

#include "controls/file_control.h"
#include "controls/picture_controls.h"
#include "controls/value_controls.h"

#include <QBuffer>
#include <QImage>

namespace {
const QByteArray Tables =
    "[cities]\nisdictionary=1\n-name=TEXT\n"
    "[customers]\n*record_count=INTEGER\n_name=TEXT\n_phone=TEXT\n_vip=BOOLEAN\n>id_cities=\n"
    "_born=DATE\n_photo=IMAGE\n_doc=FILE\n"
    "[visits]\n_day=DATETIME\n_at=TIME\n^id_customers=customers\n";

const QByteArray FormsXml =
    "<main><frmMain>"
    "<TdbEditCount Name=\"ecNo\" dbTable=\"customers\" dbBeginValue=\"12\"/>"
    "<TdbEdit Name=\"edName\" dbTable=\"customers\" dbField=\"name\"/>"
    "<TdbEdit Name=\"edPhone\" dbTable=\"customers\" dbField=\"phone\"/>"
    "<TdbCheckBox Name=\"chkVip\" dbTable=\"customers\" dbField=\"vip\"/>"
    "<TdbComboBox Name=\"cbCity\" dbForeignKey=\"customers.id_cities\" dbField=\"name\"/>"
    "<TdbDateTimePicker Name=\"dtBorn\" dbTable=\"customers\" dbField=\"born\"/>"
    "<TdbImageDataBase Name=\"imgPhoto\" dbTable=\"customers\" dbField=\"photo\" Width=\"50\" Height=\"50\"/>"
    "<TdbButton Name=\"bSave\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"customers\" "
    "dbListControls=\"ecNo,edPhone,chkVip,cbCity\"/>"
    "<TdbButton Name=\"bSaveAll\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"customers\" "
    "dbListControls=\"edName,edPhone,dtBorn,imgPhoto\"/>"
    "<TdbButton Name=\"bSaveEmpty\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"customers\" "
    "dbListControls=\"edPhone,nosuch\"/>"
    "<TdbMonthCalendar Name=\"calDay\" dbTable=\"visits\" dbField=\"day\"/>"
    "<TdbDateTimePicker Name=\"dtAt\" Kind=\"dtkTime\" dbTable=\"visits\" dbField=\"day\" dbCalendarControl=\"calDay\"/>"
    "<TdbDateTimePicker Name=\"dtTime\" Kind=\"dtkTime\" dbTable=\"visits\" dbField=\"at\"/>"
    "<TdbButton Name=\"bSaveVisit\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"visits\" "
    "dbListControls=\"dtAt,dtTime\"/>"
    "</frmMain></main>";

QByteArray pngBytes()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
} // namespace

class RecordSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(Tables, FormsXml);
        app->db().execute("INSERT INTO cities (id, name) VALUES (3, 'Oslo')");
        app->main->FillDictionaries(QString());
        button("bSave")->dbGeneralTableId = -1;
        button("bSaveAll")->dbGeneralTableId = -1;
        button("bSaveEmpty")->dbGeneralTableId = -1;
        button("bSaveVisit")->dbGeneralTableId = -1;
    }
    TdbButton* button(const char* name) { return app->control<TdbButton>("frmMain", name); }
    template <class T>
    T* control(const char* name) { return app->control<T>("frmMain", name); }
    QStringList saveWith(const char* name)
    {
        const qsizetype first = app->statements.size();
        app->click("frmMain", name);
        QStringList written;
        for (const QString& sql : app->statementsFrom(first))
            if (sql.startsWith("INSERT") || sql.startsWith("UPDATE"))
                written.append(sql);
        return written;
    }
    std::unique_ptr<RunningApp> app;
};

TEST_F(RecordSave, InsertComesOutExactly)
{
    control<TdbCheckBox>("chkVip")->setCheckState(Qt::Checked);
    control<TdbComboBox>("cbCity")->setDbItemID(3);
    EXPECT_EQ(saveWith("bSave"),
              QStringList{"INSERT INTO [customers] (record_count,[vip],id_cities) VALUES (12,1,3);"});
    EXPECT_EQ(control<TdbEditCount>("ecNo")->text(), "12");
    EXPECT_EQ(app->form("frmMain")->hint(), "customers");
    EXPECT_EQ(app->rows("SELECT record_count, vip, id_cities FROM customers"),
              (QList<QStringList>{{"12", "1", "3"}}));
    // The next insert takes the next counter.
    EXPECT_EQ(saveWith("bSave"),
              QStringList{"INSERT INTO [customers] (record_count,[vip],id_cities) VALUES (13,1,3);"});
}

TEST_F(RecordSave, TextsAreStoredAsTypedAndCyrillicInCapitals)
{
    control<TdbEdit>("edName")->setText("He said \"hi\"");
    control<TdbEdit>("edPhone")->setText(QString::fromUtf8("звонить вечером"));
    EXPECT_EQ(saveWith("bSaveAll"),
              QStringList{QString::fromUtf8("INSERT INTO [customers] ([name],[phone],[born]) VALUES "
                                            "('He said \"hi\"','ЗВОНИТЬ ВЕЧЕРОМ',NULL);")});
    EXPECT_EQ(app->rows("SELECT name, phone FROM customers"),
              (QList<QStringList>{{"He said \"hi\"", QString::fromUtf8("ЗВОНИТЬ ВЕЧЕРОМ")}}));
}

TEST_F(RecordSave, NothingToAddShowsTheMessageAndWritesNothing)
{
    button("bSaveEmpty")->dbParentTable = "cities";
    button("bSaveEmpty")->dbParentTableId = 3;
    EXPECT_TRUE(saveWith("bSaveEmpty").isEmpty());
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].caption, "Error");
    EXPECT_EQ(app->desk.messages[0].text, "No data to add.");
    EXPECT_TRUE(app->rows("SELECT * FROM customers").isEmpty());
}

TEST_F(RecordSave, UpdateWritesEmptyTextsAsNullAndLeavesAnUntouchedPictureAlone)
{
    app->db().execute("INSERT INTO customers (id, name, phone, photo, photo_filename) "
                      "VALUES (5, 'Ann', '555', X'0102', 'a.png')");
    button("bSaveAll")->dbGeneralTableId = 5;
    control<TdbEdit>("edName")->setText("Anna");
    auto* born = control<TdbDateTimePicker>("dtBorn");
    born->setDbStringDateTime("2014-03-05 14:05:09.000");
    born->setChecked(true);
    EXPECT_EQ(saveWith("bSaveAll"),
              QStringList{"UPDATE [customers] SET [name]='Anna',[phone]=NULL,"
                          "[born]='2014-03-05 00:00:00.000' WHERE id = 5"});
    // A DATE column keeps the day; the picker shows what was stored.
    EXPECT_EQ(born->dbStringDateTime(), "2014-03-05 00:00:00.000");
    EXPECT_EQ(app->rows("SELECT name, phone, hex(photo), photo_filename FROM customers"),
              (QList<QStringList>{{"Anna", "<null>", "0102", "a.png"}}));
}

TEST_F(RecordSave, AChosenPictureGoesInAsItsOwnBytes)
{
    const QByteArray png = pngBytes();
    auto* photo = control<TdbImageDataBase>("imgPhoto");
    photo->LoadPictureFromStream(png, "face.png");
    photo->dbFileName = "/home/u/face.png";
    photo->dbImageIsChanged = true;
    control<TdbEdit>("edName")->setText("Bo");
    EXPECT_EQ(saveWith("bSaveAll"),
              QStringList{"INSERT INTO [customers] ([name],[born],[photo],[photo_filename]) VALUES "
                          "('Bo',NULL,:photo,'/home/u/face.png');"});
    const QueryResult r = app->db().query("SELECT photo FROM customers");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0][0].toBytes(), png);
}

TEST_F(RecordSave, ATimePickerTakesTheDateOfItsCalendarAndATimeColumnDayZero)
{
    app->db().execute("INSERT INTO customers (id) VALUES (1)");
    button("bSaveVisit")->dbParentTable = "customers";
    button("bSaveVisit")->dbParentTableId = 1;
    control<TdbMonthCalendar>("calDay")->setDbStringDateTime("2020-01-02");
    auto* at = control<TdbDateTimePicker>("dtAt");
    at->setDbStringDateTime("2011-11-11 09:30:00");
    at->setChecked(true);
    auto* time = control<TdbDateTimePicker>("dtTime");
    time->setDbStringDateTime("2011-11-11 18:00:00");
    time->setChecked(true);
    EXPECT_EQ(saveWith("bSaveVisit"),
              QStringList{"INSERT INTO [visits] ([day],[at],id_customers) VALUES "
                          "('2020-01-02 09:30:00.000','1899-12-30 18:00:00.000',1);"});
}

TEST_F(RecordSave, AConstraintFailureKeepsTheFormAndItsPicture)
{
    app->db().execute("CREATE TRIGGER refuse BEFORE INSERT ON customers BEGIN "
                      "SELECT RAISE(ABORT, 'refused by rule'); END;");
    auto* photo = control<TdbImageDataBase>("imgPhoto");
    photo->LoadPictureFromStream(pngBytes(), "face.png");
    photo->dbFileName = "/home/u/face.png";
    photo->dbImageIsChanged = true;
    control<TdbEdit>("edName")->setText("Bo");
    saveWith("bSaveAll");
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].text, "refused by rule");
    EXPECT_EQ(photo->dbFileName, "/home/u/face.png");
    EXPECT_TRUE(photo->hasPicture());
    EXPECT_EQ(control<TdbEdit>("edName")->text(), "Bo");
    EXPECT_TRUE(app->rows("SELECT * FROM customers").isEmpty());
}
