#include "app_fixture.h"

#include "controls/file_control.h"
#include "controls/picture_controls.h"
#include "controls/value_controls.h"
#include "support/pictures.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

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
    "<TdbFileToDatabase Name=\"fileDoc\" dbTable=\"customers\" dbField=\"doc\"/>"
    "<TdbButton Name=\"bSave\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"customers\" "
    "dbListControls=\"ecNo,edPhone,chkVip,cbCity\"/>"
    "<TdbButton Name=\"bSaveAll\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"customers\" "
    "dbListControls=\"edName,edPhone,dtBorn,imgPhoto,fileDoc\"/>"
    "<TdbButton Name=\"bSaveEmpty\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"customers\" "
    "dbListControls=\"edPhone,nosuch\"/>"
    "<TdbMonthCalendar Name=\"calDay\" dbTable=\"visits\" dbField=\"day\"/>"
    "<TdbDateTimePicker Name=\"dtAt\" Kind=\"dtkTime\" dbTable=\"visits\" dbField=\"day\" dbCalendarControl=\"calDay\"/>"
    "<TdbDateTimePicker Name=\"dtTime\" Kind=\"dtkTime\" dbTable=\"visits\" dbField=\"at\"/>"
    "<TdbButton Name=\"bSaveVisit\" dbActionType=\"adbSaveRecord\" dbGeneralTable=\"visits\" "
    "dbListControls=\"dtAt,dtTime\"/>"
    "</frmMain></main>";
} // namespace

// Runs on both back ends; the statements are asserted as each back end is given them.
class RecordSave : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        app = std::make_unique<RunningApp>(Tables, FormsXml, GetParam());
        app->load("INSERT INTO cities (id, name) VALUES (3, 'Oslo')");
        app->main->FillDictionaries(QString());
        button("bSave")->dbGeneralTableId = -1;
        button("bSaveAll")->dbGeneralTableId = -1;
        button("bSaveEmpty")->dbGeneralTableId = -1;
        button("bSaveVisit")->dbGeneralTableId = -1;
    }
    TdbButton* button(const char* name) { return app->control<TdbButton>("frmMain", name); }
    // The statement as SQLite is given it, or as the server is.
    QString sql(const QString& sqlite, const QString& server) const
    {
        return app->onServer() ? server : sqlite;
    }
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

TEST_P(RecordSave, InsertComesOutExactly)
{
    control<TdbCheckBox>("chkVip")->setCheckState(Qt::Checked);
    control<TdbComboBox>("cbCity")->setDbItemID(3);
    EXPECT_EQ(saveWith("bSave"),
              QStringList{sql("INSERT INTO [customers] (record_count,[vip],id_cities) VALUES (12,1,3);",
                              "INSERT INTO \"customers\" (\"record_count\",\"vip\",\"id_cities\") "
                              "VALUES (12,1,3);")});
    EXPECT_EQ(control<TdbEditCount>("ecNo")->text(), "12");
    EXPECT_EQ(app->form("frmMain")->hint(), "customers");
    EXPECT_EQ(app->rows("SELECT record_count, vip, id_cities FROM customers"),
              (QList<QStringList>{{"12", "1", "3"}}));
    // The next insert takes the next counter.
    EXPECT_EQ(saveWith("bSave"),
              QStringList{sql("INSERT INTO [customers] (record_count,[vip],id_cities) VALUES (13,1,3);",
                              "INSERT INTO \"customers\" (\"record_count\",\"vip\",\"id_cities\") "
                              "VALUES (13,1,3);")});
}

// A database the program made keeps letters as typed; one made before keeps a text with a
// letter of another script than Latin in capitals.
TEST_P(RecordSave, TextsAreStoredAsTypedOrUnderTheCapitalsRuleOfAnOlderDatabase)
{
    struct Case {
        bool madeBefore;
        const char* stored;
    };
    for (const Case c : {Case{false, "звонить вечером"}, Case{true, "ЗВОНИТЬ ВЕЧЕРОМ"}}) {
        SCOPED_TRACE(c.madeBefore ? "made before" : "made by the program");
        if (c.madeBefore) {
            app->useDatabaseMadeBefore();
            app->db().execute("DELETE FROM customers");
            button("bSaveAll")->dbGeneralTableId = -1;
        }
        control<TdbEdit>("edName")->setText("He said \"hi\"");
        control<TdbEdit>("edPhone")->setText(QString::fromUtf8("звонить вечером"));
        const QString values = " VALUES ('He said \"hi\"','" + QString::fromUtf8(c.stored) + "',NULL);";
        EXPECT_EQ(saveWith("bSaveAll"),
                  QStringList{sql("INSERT INTO [customers] ([name],[phone],[born])" + values,
                                  "INSERT INTO \"customers\" (\"name\",\"phone\",\"born\")" + values)});
        EXPECT_EQ(app->rows("SELECT name, phone FROM customers"),
                  (QList<QStringList>{{"He said \"hi\"", QString::fromUtf8(c.stored)}}));
    }
}

TEST_P(RecordSave, NothingToAddShowsTheMessageAndWritesNothing)
{
    button("bSaveEmpty")->dbParentTable = "cities";
    button("bSaveEmpty")->dbParentTableId = 3;
    EXPECT_TRUE(saveWith("bSaveEmpty").isEmpty());
    ASSERT_EQ(app->desk.messages.size(), 1u);
    EXPECT_EQ(app->desk.messages[0].caption, "Error");
    EXPECT_EQ(app->desk.messages[0].text, "No data to add.");
    EXPECT_TRUE(app->rows("SELECT * FROM customers").isEmpty());
}

TEST_P(RecordSave, UpdateWritesEmptyTextsAsNullAndLeavesAnUntouchedPictureAlone)
{
    app->db().execute("INSERT INTO customers (id, name, phone, photo, photo_filename) "
                      "VALUES (5, 'Ann', '555', :photo, 'a.png')",
                      {{"photo", QByteArray::fromHex("0102")}});
    button("bSaveAll")->dbGeneralTableId = 5;
    control<TdbEdit>("edName")->setText("Anna");
    auto* born = control<TdbDateTimePicker>("dtBorn");
    born->setDbStringDateTime("2014-03-05 14:05:09.000");
    born->setChecked(true);
    EXPECT_EQ(saveWith("bSaveAll"),
              QStringList{sql("UPDATE [customers] SET [name]='Anna',[phone]=NULL,"
                              "[born]='2014-03-05 00:00:00.000' WHERE id = 5",
                              "UPDATE \"customers\" SET \"name\"='Anna',\"phone\"=NULL,"
                              "\"born\"='2014-03-05 00:00:00.000' WHERE id = 5")});
    // A DATE column keeps the day; the picker shows what was stored.
    EXPECT_EQ(born->dbStringDateTime(), "2014-03-05 00:00:00.000");
    EXPECT_EQ(app->rows("SELECT name, phone, photo_filename FROM customers"),
              (QList<QStringList>{{"Anna", "<null>", "a.png"}}));
    EXPECT_EQ(app->db().query("SELECT photo FROM customers").rows.at(0).at(0).toBytes(),
              QByteArray::fromHex("0102"));
}

// A picture goes in as the bytes of its own format, a file byte for byte (no text conversion
// survives the bytes below); removing the file writes NULL into both of its columns.
TEST_P(RecordSave, AChosenPictureAndFileGoInAsTheirOwnBytes)
{
    QByteArray document("%PDF-1.4\n");
    for (int i = 0; i < 600; ++i)
        document.append(static_cast<char>(i * 7 % 256));
    QTemporaryDir folder;
    const QString path = folder.filePath("offer.pdf");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(document);
    out.close();

    const QByteArray png = pngBytes();
    auto* photo = control<TdbImageDataBase>("imgPhoto");
    photo->LoadPictureFromStream(png, "face.png");
    photo->dbFileName = "/home/u/face.png";
    photo->dbImageIsChanged = true;
    auto* doc = control<TdbFileToDatabase>("fileDoc");
    doc->dbFileName = path;
    doc->dbFileIsChanged = true;
    control<TdbEdit>("edName")->setText("Bo");
    const QString values = " VALUES ('Bo',NULL,:photo,'/home/u/face.png',:doc,'" + path + "');";
    EXPECT_EQ(saveWith("bSaveAll"),
              QStringList{sql("INSERT INTO [customers] ([name],[born],[photo],[photo_filename],[doc],"
                              "[doc_filename])" + values,
                              "INSERT INTO \"customers\" (\"name\",\"born\",\"photo\",\"photo_filename\","
                              "\"doc\",\"doc_filename\")" + values)});
    QueryResult r = app->db().query("SELECT id, photo, doc, doc_filename FROM customers");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0][1].toBytes(), png);
    EXPECT_EQ(r.rows[0][2].toBytes(), document);
    EXPECT_EQ(r.rows[0][3].toText(), path);

    // The record opened again: the loader leaves the picture unchanged.
    button("bSaveAll")->dbGeneralTableId = static_cast<qint32>(r.rows[0][0].toInt());
    photo->dbImageIsChanged = false;
    control<TdbEdit>("edName")->setText("Bo");
    doc->ClearEx();
    doc->dbFileIsChanged = true;
    saveWith("bSaveAll");
    EXPECT_TRUE(app->desk.messages.empty()) << app->desk.texts().join('\n').toStdString();
    r = app->db().query("SELECT photo, doc, doc_filename FROM customers");
    EXPECT_EQ(r.rows[0][0].toBytes(), png);
    EXPECT_TRUE(r.rows[0][1].isNull());
    EXPECT_TRUE(r.rows[0][2].isNull());

    // Another picture chosen for the saved record replaces the stored bytes.
    QImage other(2, 2, QImage::Format_RGB32);
    other.fill(Qt::green);
    photo->setPicture(other);
    photo->dbFileName = "/home/u/other.png";
    photo->dbImageIsChanged = true;
    control<TdbEdit>("edName")->setText("Bo");
    doc->dbFileIsChanged = false;
    const QByteArray otherBytes = photo->pictureBytes();
    saveWith("bSaveAll");
    r = app->db().query("SELECT photo, photo_filename FROM customers");
    EXPECT_EQ(r.rows[0][0].toBytes(), otherBytes);
    EXPECT_EQ(r.rows[0][1].toText(), "/home/u/other.png");
}

TEST_P(RecordSave, ATimePickerTakesTheDateOfItsCalendarAndATimeColumnDayZero)
{
    app->load("INSERT INTO customers (id) VALUES (1)");
    button("bSaveVisit")->dbParentTable = "customers";
    button("bSaveVisit")->dbParentTableId = 1;
    control<TdbMonthCalendar>("calDay")->setDbStringDateTime("2020-01-02");
    auto* at = control<TdbDateTimePicker>("dtAt");
    at->setDbStringDateTime("2011-11-11 09:30:00");
    at->setChecked(true);
    auto* time = control<TdbDateTimePicker>("dtTime");
    time->setDbStringDateTime("2011-11-11 18:00:00");
    time->setChecked(true);
    const QString values = " VALUES ('2020-01-02 09:30:00.000','1899-12-30 18:00:00.000',1);";
    EXPECT_EQ(saveWith("bSaveVisit"),
              QStringList{sql("INSERT INTO [visits] ([day],[at],id_customers)" + values,
                              "INSERT INTO \"visits\" (\"day\",\"at\",\"id_customers\")" + values)});
    EXPECT_EQ(app->rows("SELECT day, at, id_customers FROM visits"),
              (QList<QStringList>{{"2020-01-02 09:30:00.000", "1899-12-30 18:00:00.000", "1"}}));
}

TEST_P(RecordSave, AConstraintFailureKeepsTheFormAndItsPicture)
{
    // A rule of the author's schema, in each database's own terms.
    app->db().execute(app->onServer()
                          ? "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                            "$$BEGIN RAISE EXCEPTION 'refused by rule'; END$$; "
                            "CREATE TRIGGER refuse BEFORE INSERT ON customers "
                            "FOR EACH ROW EXECUTE FUNCTION refuse();"
                          : "CREATE TRIGGER refuse BEFORE INSERT ON customers BEGIN "
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

VARNEL_ON_BOTH_BACKENDS(RecordSave);
