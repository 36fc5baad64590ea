#include "controls/file_control.h"
#include "controls/main_form_fixture.h"
#include "platform/sql_connection.h"
#include "support/scripted_desktop.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Bytes no text conversion survives unchanged.
QByteArray binaryContent()
{
    QByteArray bytes("%PDF-1.4\n");
    for (int i = 0; i < 600; ++i)
        bytes.append(static_cast<char>(i * 7 % 256));
    return bytes;
}

} // namespace

class FileStorage : public ::testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        desk->temp = dir.filePath(QStringLiteral("temp"));
        QDir().mkpath(desk->temp);
        db.open(dir.filePath(QStringLiteral("data.db")));
        db.execute(QStringLiteral("CREATE TABLE customers (id INTEGER PRIMARY KEY, contract BLOB, "
                                  "contract_filename TEXT)"));
        db.execute(QStringLiteral("INSERT INTO customers (id, contract, contract_filename) VALUES "
                                  "(7, :contract, \"C:\\docs\\report.pdf\")"),
                   {{QStringLiteral("contract"), stored}});
        db.execute(QStringLiteral("INSERT INTO customers (id) VALUES (8)"));
        db.setObserver([this](const QString& sql) { statements.append(sql); });

        field = new TdbFileToDatabase(fixture.form.client());
        field->setObjectName(QStringLiteral("fileContract"));
        field->dbTable = QStringLiteral("customers");
        field->dbField = QStringLiteral("contract");
        field->dbSQLConnection = &db;
    }

    // A loaded record, as the record loader leaves the control.
    void loadRecord(int id, const QString& name)
    {
        field->ClearEx();
        field->dbFileName = name;
        field->setText(name.mid(name.lastIndexOf(u'\\') + 1));
        field->dbID = id;
        field->rightButton()->setEnabled(true);
    }

    QString chosenFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }

    MainFormFixture fixture;
    QTemporaryDir dir;
    ScriptedDesktop* desk = nullptr;
    SqlConnection db;
    QStringList statements;
    TdbFileToDatabase* field = nullptr;
    const QByteArray stored = binaryContent();
};

TEST_F(FileStorage, ChoosingAFileShowsItsNameAndKeepsTheRightButton)
{
    const QString path = chosenFile(QStringLiteral("offer.odt"), "offer");
    desk->fileAnswers = {path};
    field->leftButton()->click();
    ASSERT_EQ(desk->dialogs.size(), 1u);
    EXPECT_FALSE(desk->dialogs[0].save);
    EXPECT_TRUE(desk->dialogs[0].request.fileName.isEmpty());
    EXPECT_TRUE(desk->dialogs[0].request.filter.isEmpty());
    EXPECT_EQ(desk->dialogs[0].request.parent, &fixture.form);
    EXPECT_EQ(field->dbFileName, path);
    EXPECT_EQ(field->text(), QStringLiteral("offer.odt"));
    EXPECT_TRUE(field->dbFileIsChanged);
    EXPECT_EQ(field->dbID, -1);
    EXPECT_FALSE(field->rightButton()->isEnabled()); // a new record: still nothing stored

    // Cancel, or a name that is no file: nothing changes.
    for (const QString& answer : {QString(), dir.filePath(QStringLiteral("gone.odt")), dir.path()}) {
        desk->fileAnswers = {answer};
        field->leftButton()->click();
        EXPECT_EQ(field->dbFileName, path);
        EXPECT_EQ(field->text(), QStringLiteral("offer.odt"));
    }
    EXPECT_TRUE(desk->messages.empty());
    EXPECT_TRUE(statements.isEmpty());
}

TEST_F(FileStorage, OpenFileWritesTheStoredBytesToTheTemporaryFolderAndOpensThem)
{
    loadRecord(7, QStringLiteral("C:\\docs\\report.pdf"));
    // An older copy of the same name is replaced.
    writeFile(desk->tempFolder() + QStringLiteral("report.pdf"), "old copy, longer than nothing");

    field->mniRunFile()->trigger();
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join("|").toStdString();
    EXPECT_EQ(statements, QStringList{"SELECT contract,contract_filename FROM customers WHERE id=7"});
    const QString copy = desk->tempFolder() + QStringLiteral("report.pdf");
    EXPECT_EQ(readFile(copy), stored);
    ASSERT_EQ(desk->shellRequests.size(), 1u);
    EXPECT_EQ(desk->shellRequests[0].target, copy);
    EXPECT_EQ(desk->shellRequests[0].workingFolder, desk->tempFolder());
    EXPECT_EQ(desk->shellRequests[0].mode, DesktopServices::ShowMode::Normal);
    EXPECT_FALSE(field->dbFileIsChanged);
}

TEST_F(FileStorage, OpenFileWithoutAProgramForTheKindOffersToSaveInstead)
{
    loadRecord(7, QStringLiteral("C:\\docs\\report.pdf"));
    const QString copy = desk->tempFolder() + QStringLiteral("report.pdf");
    const QString offer = QStringLiteral("No program on this computer opens files of the kind \"%1\" "
                                         "(report.pdf). Do you want to save the file to disk instead?")
                              .arg(fileKindName(copy));
    const QString target = dir.filePath(QStringLiteral("kept.pdf"));

    // Nothing to open it with: asked before any copy is written; Yes leads to the save dialog.
    desk->hasPrograms = false;
    desk->answers = {DesktopServices::Yes};
    desk->fileAnswers = {target};
    field->mniRunFile()->trigger();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].text, offer);
    EXPECT_EQ(desk->messages[0].buttons, DesktopServices::Yes | DesktopServices::No);
    EXPECT_EQ(desk->programQuestions, QStringList{copy});
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_TRUE(desk->shellRequests.empty());
    ASSERT_EQ(desk->dialogs.size(), 1u);
    EXPECT_EQ(desk->dialogs[0].request.fileName, QStringLiteral("report.pdf"));
    EXPECT_EQ(readFile(target), stored);

    // No: nothing is saved.
    QFile::remove(target);
    desk->answers = {DesktopServices::No};
    field->mniRunFile()->trigger();
    EXPECT_EQ(desk->messages.size(), 2u);
    EXPECT_EQ(desk->dialogs.size(), 1u);
    EXPECT_FALSE(QFile::exists(target));

    // A program said to be there that then fails to open the copy gets the same offer.
    desk->hasPrograms = true;
    desk->shellOpenSucceeds = false;
    desk->answers = {DesktopServices::No};
    field->mniRunFile()->trigger();
    ASSERT_EQ(desk->messages.size(), 3u);
    EXPECT_EQ(desk->messages[2].text, offer);
    EXPECT_EQ(desk->shellRequests.size(), 1u);
}

TEST_F(FileStorage, OpenFileAfterChoosingAnotherOpensTheStoredOne)
{
    loadRecord(7, QStringLiteral("C:\\docs\\report.pdf"));
    desk->fileAnswers = {chosenFile(QStringLiteral("new.txt"), "new")};
    field->leftButton()->click();
    ASSERT_TRUE(field->dbFileIsChanged);

    field->mniRunFile()->trigger();
    EXPECT_EQ(field->dbFileName, QStringLiteral("C:\\docs\\report.pdf"));
    EXPECT_TRUE(field->dbFileIsChanged);
    EXPECT_EQ(readFile(desk->tempFolder() + QStringLiteral("report.pdf")), stored);
    EXPECT_TRUE(field->rightButton()->isEnabled());
}

TEST_F(FileStorage, SaveFileProposesTheStoredNameAndWritesItsBytes)
{
    loadRecord(7, QStringLiteral("C:\\docs\\report.pdf"));
    const QString target = dir.filePath(QStringLiteral("copy.bin"));
    desk->fileAnswers = {target};
    field->mniSaveFile()->trigger();
    EXPECT_TRUE(desk->messages.empty()) << desk->texts().join("|").toStdString();
    ASSERT_EQ(desk->dialogs.size(), 1u);
    EXPECT_TRUE(desk->dialogs[0].save);
    EXPECT_EQ(desk->dialogs[0].request.fileName, QStringLiteral("report.pdf"));
    EXPECT_EQ(readFile(target), stored);

    QFile::remove(target);
    desk->fileAnswers = {QString()};
    field->mniSaveFile()->trigger();
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(desk->shellRequests.empty());
}

TEST_F(FileStorage, WithoutAStoredFileOpenAndSaveSayThereIsNoFile)
{
    struct Case {
        int id;
        const char* why;
    };
    const Case cases[] = {{-1, "no record"}, {99, "no row"}, {8, "a row without a file"}};
    for (const Case& c : cases) {
        loadRecord(c.id, QStringLiteral("kept.pdf"));
        for (QAction* item : {field->mniRunFile(), field->mniSaveFile()}) {
            desk->messages.clear();
            item->trigger();
            ASSERT_EQ(desk->messages.size(), 1u) << c.why;
            EXPECT_EQ(desk->messages[0].caption, QStringLiteral("Error"));
            EXPECT_EQ(desk->messages[0].text, QStringLiteral("There is no file to save."));
            EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Information);
            EXPECT_EQ(desk->messages[0].buttons, DesktopServices::Buttons(DesktopServices::Ok));
            EXPECT_EQ(field->dbFileName, QStringLiteral("kept.pdf")) << c.why;
        }
    }
    EXPECT_TRUE(desk->dialogs.empty());
    EXPECT_TRUE(desk->shellRequests.empty());
    EXPECT_EQ(statements.size(), 4); // no SELECT for dbID -1
}

TEST_F(FileStorage, DeleteFileAsksAndEmptiesOnYesOnly)
{
    loadRecord(7, QStringLiteral("C:\\docs\\report.pdf"));
    desk->answers = {DesktopServices::No};
    field->mniDeleteFile()->trigger();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].caption, QStringLiteral("Confirm"));
    EXPECT_EQ(desk->messages[0].text, QStringLiteral("Do you really want to delete the file from the database?"));
    EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Question);
    EXPECT_EQ(desk->messages[0].buttons, DesktopServices::Yes | DesktopServices::No);
    EXPECT_EQ(field->dbID, 7);
    EXPECT_EQ(field->text(), QStringLiteral("report.pdf"));
    EXPECT_FALSE(field->dbFileIsChanged);

    desk->answers = {DesktopServices::Yes};
    field->mniDeleteFile()->trigger();
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(field->dbFileName.isEmpty());
    EXPECT_EQ(field->dbID, -1);
    EXPECT_TRUE(field->dbFileIsChanged);
    EXPECT_FALSE(field->rightButton()->isEnabled());
    EXPECT_TRUE(statements.isEmpty()); // the record itself is changed by its save
}

TEST_F(FileStorage, ATemporaryFolderThatCannotBeWrittenIsReportedAndNothingOpened)
{
    loadRecord(7, QStringLiteral("report.pdf"));
    // A file where the folder should be: nothing can be written below it.
    const QString blocked = chosenFile(QStringLiteral("blocked"), "a file");
    desk->temp = blocked;
    field->mniRunFile()->trigger();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Error);
    EXPECT_TRUE(desk->messages[0].text.contains(QStringLiteral("report.pdf")));
    EXPECT_TRUE(desk->shellRequests.empty());
    EXPECT_EQ(readFile(blocked), QByteArray("a file"));
    EXPECT_EQ(field->dbID, 7);

    // Saving over a file that cannot be replaced keeps that file.
    desk->messages.clear();
    desk->fileAnswers = {blocked + QStringLiteral("/inside.pdf")};
    field->mniSaveFile()->trigger();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(readFile(blocked), QByteArray("a file"));
}
