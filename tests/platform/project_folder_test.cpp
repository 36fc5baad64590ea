// The project folder named on the command line or picked in a dialog: accepted only when it
// holds forms.xml, with the reason told through the desktop services otherwise.
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "support/scripted_desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ProjectFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lang.fillEnglish();
        setExeFolder(QString());
        QDir(root.path()).mkpath("shop/Report");
        QDir(root.path()).mkpath("empty");
        QFile forms(root.filePath("shop/forms.xml"));
        ASSERT_TRUE(forms.open(QIODevice::WriteOnly));
        forms.write("<forms/>");
    }
    void TearDown() override
    {
        setExeFolder(QString());
        QDir::setCurrent(startFolder);
        Lang.fillEnglish();
    }
    QString in(const QString& name) const { return QDir::cleanPath(root.filePath(name)); }

    QTemporaryDir root;
    ScriptedDesktop& desk = ScriptedDesktop::install();
    const QString startFolder = QDir::currentPath();
    const QString executableFolder = QCoreApplication::applicationDirPath() + '/';
};

} // namespace

TEST_F(ProjectFolder, AFolderWithFormsXmlBecomesTheProjectFolderWhetherNamedAbsoluteOrRelative)
{
    ASSERT_EQ(ExeFolder(), executableFolder);
    EXPECT_TRUE(UseProjectFolder(in("shop")));
    EXPECT_EQ(ExeFolder(), in("shop") + '/');

    setExeFolder(QString());
    QDir::setCurrent(in("empty"));
    EXPECT_TRUE(UseProjectFolder("../shop/"));
    EXPECT_EQ(ExeFolder(), in("shop") + '/');
    EXPECT_TRUE(desk.messages.empty());
}

TEST_F(ProjectFolder, AFolderThatIsNoProjectIsRefusedWithItsReasonAndNothingChanges)
{
    struct Case {
        QString folder;
        QString says;
    };
    const Case cases[] = {
        {in("empty"), "This folder is not a project folder: it holds no forms.xml.\r" + in("empty")},
        {in("nowhere"), "The project folder is not found.\r" + in("nowhere")},
        {in("shop/forms.xml"), "The project folder is not found.\r" + in("shop/forms.xml")},
        {in("shop/Report"), "This folder is not a project folder: it holds no forms.xml.\r" + in("shop/Report")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        desk.messages.clear();
        EXPECT_FALSE(UseProjectFolder(c.folder));
        EXPECT_EQ(ExeFolder(), executableFolder);
        ASSERT_EQ(desk.messages.size(), 1u);
        EXPECT_EQ(desk.messages[0].caption, "Error");
        EXPECT_EQ(desk.messages[0].text, c.says);
        EXPECT_EQ(desk.messages[0].icon, DesktopServices::Icon::Information);
    }
}

TEST_F(ProjectFolder, TheRefusalSpeaksTheUsersLanguage)
{
    Lang.fillRussian();
    EXPECT_FALSE(UseProjectFolder(in("empty")));
    ASSERT_EQ(desk.messages.size(), 1u);
    EXPECT_EQ(desk.messages[0].caption, QString::fromUtf8("Ошибка"));
    EXPECT_TRUE(desk.messages[0].text.startsWith(QString::fromUtf8("Эта папка не папка проекта")));
}

TEST_F(ProjectFolder, ThePickedFormsXmlNamesTheFolderAndAWrongPickIsAskedAgain)
{
    desk.fileAnswers = {in("empty/forms.xml"), in("shop/forms.xml")};
    EXPECT_TRUE(ChooseProjectFolder());
    EXPECT_EQ(ExeFolder(), in("shop") + '/');
    ASSERT_EQ(desk.dialogs.size(), 2u);
    EXPECT_FALSE(desk.dialogs[0].save);
    EXPECT_EQ(desk.dialogs[0].request.title, "Open a project: choose its forms.xml");
    EXPECT_EQ(desk.dialogs[0].request.filter, "forms.xml|forms.xml");
    EXPECT_EQ(desk.dialogs[0].request.folder, QDir::homePath());
    // The second question starts where the refused pick was.
    EXPECT_EQ(desk.dialogs[1].request.folder, in("empty"));
    EXPECT_EQ(desk.texts(), QStringList{"This folder is not a project folder: it holds no forms.xml.\r" + in("empty")});
}

TEST_F(ProjectFolder, CancellingThePickLeavesTheProjectFolderAlone)
{
    desk.fileAnswers = {QString()};
    EXPECT_FALSE(ChooseProjectFolder());
    EXPECT_EQ(ExeFolder(), executableFolder);
    EXPECT_TRUE(desk.messages.empty());
}
