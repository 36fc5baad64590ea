#include "forms_fixture.h"

#include "platform/errors.h"

#include <QLineEdit>

namespace {

// Runs the load and returns the error's message; fails the test when nothing or something of
// another kind is thrown.
template <class Error>
QString loadFails(FormsFixture* fixture, const std::function<void()>& load)
{
    try {
        load();
    } catch (const Error& error) {
        return error.message();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "unexpected error: " << other.what();
        return {};
    }
    ADD_FAILURE() << "no error";
    (void)fixture;
    return {};
}

} // namespace

#define EXPECT_LOAD_FAILS(ErrorType, xml) loadFails<ErrorType>(this, [&] { load(xml); })

TEST_F(FormsFixture, AMissingFileIsAFileError)
{
    const QString message = loadFails<FileError>(this, [&] {
        LoadForms(context, project.file(QStringLiteral("forms.xml")));
    });
    EXPECT_TRUE(message.contains(project.file(QStringLiteral("forms.xml")))) << message.toStdString();
    EXPECT_EQ(Forms::all(), QList<TForm*>{mainForm});
}

TEST_F(FormsFixture, TextThatIsNotAFormsDocumentIsAFormatErrorWithItsPlace)
{
    EXPECT_FALSE(EXPECT_LOAD_FAILS(FormatError, QString()).isEmpty());
    EXPECT_FALSE(EXPECT_LOAD_FAILS(FormatError, QStringLiteral("   \n  ")).isEmpty());

    const QString broken = EXPECT_LOAD_FAILS(FormatError, QStringLiteral("<main>\n"
                                                                         "  <frmA>\n"
                                                                         "    <TdbEdit Name=\"x\">\n"
                                                                         "  </frmA>\n"
                                                                         "</main>\n"));
    EXPECT_TRUE(broken.contains(QStringLiteral("line 4"))) << broken.toStdString();
    EXPECT_TRUE(broken.contains(QStringLiteral("column"))) << broken.toStdString();

    const QString noRoot = EXPECT_LOAD_FAILS(FormatError, QStringLiteral("<forms><frmA/></forms>"));
    EXPECT_TRUE(noRoot.contains(QStringLiteral("main"))) << noRoot.toStdString();
    EXPECT_EQ(mainForm->formName(), "frmMainVarnel"); // nothing was built
}

TEST_F(FormsFixture, UnknownElementsAndAttributesAndBadNumbersAreHarmless)
{
    load(R"(<main><frmMain Width="wide" Height="12 px" Bogus="1">
  <!-- a comment -->
  <TdbWidget Name="wdg" Left="1"/>
  <tdbedit Name="edLower"/>
  <TdbEdit Name="edOk" Left="10x" Top="-5" Width="0x20" Height="$" Colour="red"
           dbAnchors="2" FontSize="huge" TabOrder="first"/>
</frmMain></main>)");
    mainForm->show();
    QApplication::processEvents();
    EXPECT_EQ(mainForm->clientSize(), QSize(640, 480));
    EXPECT_EQ(control("frmMain", "wdg"), nullptr);
    EXPECT_EQ(control("frmMain", "edLower"), nullptr); // element names are case-sensitive
    QWidget* edit = control("frmMain", "edOk");
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->geometry(), QRect(0, -5, 32, 0));
    EXPECT_EQ(edit->font().pointSize(), 8);
}

TEST_F(FormsFixture, ARefusedControlNameEndsTheBuildAndKeepsWhatWasBuilt)
{
    const QString duplicate = EXPECT_LOAD_FAILS(ComponentError, R"(<main>
  <frmMain><TdbEdit Name="edFirst"/></frmMain>
  <frmA><TdbEdit Name="edName"/><TdbButton Name="btnOk"/></frmA>
  <frmB>
    <TdbPanel Name="pnl"><TdbEdit Name="edName"/></TdbPanel>
    <TdbEdit Name="EDNAME"/>
    <TdbEdit Name="edAfter"/>
  </frmB>
  <frmC/>
</main>)");
    EXPECT_TRUE(duplicate.contains(QStringLiteral("EDNAME"))) << duplicate.toStdString();
    // Names are unique per form: edName on frmA and inside frmB's panel are both fine.
    EXPECT_TRUE(control("frmA", "btnOk"));
    EXPECT_TRUE(control("frmB", "edName"));
    EXPECT_EQ(control("frmB", "edAfter"), nullptr);
    EXPECT_EQ(form("frmC"), nullptr);
    // The refused control is not left behind on the form.
    EXPECT_EQ(form("frmB")->client()->findChildren<QLineEdit*>().size(), 1);
}

TEST_F(FormsFixture, NamesThatAreNotIdentifiersOrClashAreRefused)
{
    EXPECT_LOAD_FAILS(ComponentError, "<main><frmMain><TdbEdit Name=\"1st\"/></frmMain></main>");
    EXPECT_LOAD_FAILS(ComponentError, "<main><frmMain><TdbEdit Name=\"a b\"/></frmMain></main>");
    // The main form's own components are taken.
    EXPECT_LOAD_FAILS(ComponentError,
                      "<main><frmMain><TdbButton Name=\"ImageListButtonIcons\"/></frmMain></main>");
    // Two forms of one name: the second cannot be named.
    EXPECT_LOAD_FAILS(ComponentError, "<main><frmMain/><frmX/><frmx/></main>");
    EXPECT_EQ(Forms::all().size(), 2);
}

TEST_F(FormsFixture, DeepNestingIsRefusedBeforeAnythingIsBuilt)
{
    QString xml = QStringLiteral("<main><frmMain>\n");
    for (int i = 0; i < 10000; ++i)
        xml += QStringLiteral("<TdbPanel Name=\"p%1\">\n").arg(i);
    for (int i = 0; i < 10000; ++i)
        xml += QStringLiteral("</TdbPanel>");
    xml += QStringLiteral("</frmMain></main>");
    const QString message = EXPECT_LOAD_FAILS(FormatError, xml);
    EXPECT_TRUE(message.contains(QStringLiteral("nested"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("line 64"))) << message.toStdString();
    EXPECT_EQ(control("frmMain", "p0"), nullptr);
}

TEST_F(FormsFixture, NestingWithinTheLimitIsBuilt)
{
    QString xml = QStringLiteral("<main><frmMain>");
    for (int i = 0; i < 60; ++i)
        xml += QStringLiteral("<TdbPanel Name=\"p%1\" Width=\"100\" Height=\"100\">").arg(i);
    for (int i = 0; i < 60; ++i)
        xml += QStringLiteral("</TdbPanel>");
    xml += QStringLiteral("</frmMain></main>");
    load(xml);
    EXPECT_EQ(control("frmMain", "p59")->parentWidget(), control("frmMain", "p58"));
}

TEST_F(FormsFixture, HugeFilesEndInABuildOrAClearError)
{
    // One enormous value is just text.
    const QString sql(20 * 1024 * 1024, u'x');
    load(QStringLiteral("<main><frmMain><TdbButton Name=\"btnBig\" dbSQL=\"%1\"/></frmMain></main>")
             .arg(sql));
    EXPECT_EQ(control<TdbButton>("frmMain", "btnBig")->dbSQL.size(), sql.size());

    // Hundreds of thousands of controls are more than any application has.
    QString many = QStringLiteral("<main><frmMain/><frmMany>");
    many.reserve(21 * 1024 * 1024);
    for (int i = 0; many.size() < 20 * 1024 * 1024; ++i)
        many += QStringLiteral("<TdbEdit Name=\"ed%1\" Left=\"1\" Top=\"2\"/>\n").arg(i);
    many += QStringLiteral("</frmMany></main>");
    const QString message = EXPECT_LOAD_FAILS(FormatError, many);
    EXPECT_TRUE(message.contains(QStringLiteral("elements"))) << message.toStdString();
    EXPECT_EQ(form("frmMany"), nullptr);
}

TEST_F(FormsFixture, ASmallFileAskingForThousandsOfHeavyControlsIsRefused)
{
    // Each month calendar takes about a quarter of a megabyte: 2,100 of them in under 100 KB
    // of text would take half a gigabyte, so nothing is built.
    QString xml = QStringLiteral("<main><frmMain/>");
    for (int f = 0; f < 42; ++f) {
        xml += QStringLiteral("<frmCal%1>").arg(f);
        for (int i = 0; i < 50; ++i)
            xml += QStringLiteral("<TdbMonthCalendar Name=\"mc%1\"/>").arg(i);
        xml += QStringLiteral("</frmCal%1>").arg(f);
    }
    xml += QStringLiteral("</main>");
    const QString message = EXPECT_LOAD_FAILS(FormatError, xml);
    EXPECT_TRUE(message.contains(QStringLiteral("more controls"))) << message.toStdString();
    EXPECT_EQ(mainForm->formName(), "frmMainVarnel");
    EXPECT_EQ(Forms::all().size(), 1);
}
