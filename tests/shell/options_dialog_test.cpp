#include "platform/guard.h"
#include "platform/ini_file.h"
#include "shell/options_dialog.h"
#include "shell/settings.h"
#include "support/scripted_desktop.h"
#include "support/temp_project.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QCheckBox>
#include <gtest/gtest.h>

class OptionsDialog : public ::testing::Test {
protected:
    void SetUp() override { desk = &ScriptedDesktop::install(); }
    QString server() const
    {
        return IniFile::load(project.file("settings.ini")).value("Options", "server");
    }
    ScriptedDesktop* desk = nullptr;
    TempProject project;
    QAction reportItem{nullptr};
    TfrmOptionsVarnel dialog{&reportItem};
};

TEST_F(OptionsDialog, WithoutSettingsTheApplicationFolderIsChosen)
{
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Options");
    // Taller than the two choices need: the third is a database server, and under them the
    // way the database keeps letters.
    EXPECT_EQ(dialog.clientSize(), QSize(447, 320));
    EXPECT_FALSE(dialog.cbLettersAsTyped->isEnabled()) << "no database is open";
    EXPECT_FALSE(dialog.edServer->isEnabled());
    EXPECT_TRUE(dialog.rbAppFolder->isChecked());
    EXPECT_FALSE(dialog.edFileName->isEnabled());
    EXPECT_FALSE(dialog.bOpenFile->isEnabled());
    EXPECT_EQ(dialog.lbPath->text(),
              "You can also use a network folder (e.g. \\\\PCNAME\\Folder\\sqlite.db)");
}

TEST_F(OptionsDialog, ChoosingTheApplicationFolderRemovesTheServerKey)
{
    project.write("settings.ini", QByteArray("[Options]\nserver=/x/y.db\nmniReport=1\n[Grids]\nF.G.0=10\n"));
    dialog.show();
    EXPECT_TRUE(dialog.rbDBFilename->isChecked());
    EXPECT_TRUE(dialog.edFileName->isEnabled());
    EXPECT_EQ(dialog.edFileName->text(), "/x/y.db");
    dialog.rbAppFolder->click();
    EXPECT_FALSE(dialog.edFileName->isEnabled());
    dialog.bOK->click();
    EXPECT_EQ(project.read("settings.ini"), QByteArray("[Options]\nmniReport=1\n[Grids]\nF.G.0=10\n"));
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].caption, "Information");
    EXPECT_EQ(desk->messages[0].text, "Restart the program to apply the settings.");
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(OptionsDialog, ABrowsedFileIsWrittenAsServer)
{
    project.write("other.db", QByteArray());
    desk->fileAnswers = {project.file("other.db")};
    dialog.show();
    dialog.rbDBFilename->click();
    dialog.bOpenFile->click();
    EXPECT_EQ(dialog.edFileName->text(), project.file("other.db"));
    dialog.bOK->click();
    EXPECT_EQ(server(), project.file("other.db"));
}

TEST_F(OptionsDialog, AnEmptyFileNameWritesNothingButStillAsksForARestart)
{
    project.write("settings.ini", QByteArray("[Options]\nserver=/keep.db\n"));
    dialog.show();
    dialog.edFileName->clear();
    dialog.bOK->click();
    EXPECT_EQ(server(), "/keep.db");
    EXPECT_EQ(desk->texts(), QStringList{"Restart the program to apply the settings."});
}

TEST_F(OptionsDialog, CancelWritesNothing)
{
    dialog.show();
    dialog.rbDBFilename->click();
    dialog.edFileName->setText("/a.db");
    dialog.bCancel->click();
    EXPECT_FALSE(project.exists("settings.ini"));
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(OptionsDialog, ASettingsFileThatCannotBeWrittenShowsTheErrorAndKeepsTheDialog)
{
    // A folder in the place of the file: no user, not even root, can write it.
    QDir(project.path()).mkdir("settings.ini");
    dialog.show();
    dialog.rbDBFilename->click();
    dialog.edFileName->setText("/a.db");
    dialog.bOK->click();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_TRUE(desk->messages[0].text.contains("settings.ini"));
    EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Error);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(OptionsDialog, AServerIsShownAndChosenByItsConnectionText)
{
    project.write("settings.ini", QByteArray("[Options]\nserver=postgresql://db.example/shop\n"));
    dialog.show();
    EXPECT_TRUE(dialog.rbServer->isChecked());
    EXPECT_TRUE(dialog.edServer->isEnabled());
    EXPECT_FALSE(dialog.edFileName->isEnabled());
    EXPECT_EQ(dialog.edServer->text(), "postgresql://db.example/shop");
    EXPECT_TRUE(dialog.edFileName->text().isEmpty());

    // A text that names no server is refused before anything is written.
    dialog.edServer->setText("shop");
    dialog.bOK->click();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].text,
              "\"shop\" does not name a database server. Write it as postgresql://server/database, "
              "as host=server dbname=database, or as service=name.");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(server(), "postgresql://db.example/shop");

    dialog.edServer->setText("  service=shop ");
    dialog.bOK->click();
    EXPECT_EQ(server(), "service=shop");
    EXPECT_FALSE(dialog.isVisible());

    // From a file to the server and back to a file.
    dialog.show();
    dialog.rbDBFilename->click();
    EXPECT_FALSE(dialog.edServer->isEnabled());
    dialog.edFileName->setText("/data/shop.db");
    dialog.bOK->click();
    EXPECT_EQ(server(), "/data/shop.db");
}
