#include "platform/errors.h"
#include "platform/ini_file.h"
#include "support/temp_project.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {
const char* const Sample =
    "; designer output\r\n"
    "[Items]\r\n"
    "-name=TEXT\r\n"
    "_Photo = IMAGE \r\n"
    "garbage line without equals\r\n"
    "\r\n"
    "[customers]\r\n"
    "isdictionary=1\r\n"
    "%total=\"a=b\"\r\n";
}

TEST(IniFile, KeepsSectionAndKeyOrderAndFindsNamesIgnoringCase)
{
    const IniFile ini = IniFile::fromText(QString::fromUtf8(Sample));
    EXPECT_EQ(ini.sections(), (QStringList{"Items", "customers"}));
    EXPECT_EQ(ini.keys("ITEMS"), (QStringList{"-name", "_Photo"}));
    EXPECT_EQ(ini.value("items", "_PHOTO"), "IMAGE");
    EXPECT_EQ(ini.value("customers", "%total"), "a=b");
    EXPECT_TRUE(ini.contains("Customers", "ISDICTIONARY"));
    EXPECT_FALSE(ini.contains("customers", "name"));
    EXPECT_EQ(ini.value("nosuch", "x", "dflt"), "dflt");
}

TEST(IniFile, RepeatedSectionIsListedOnceWithTheKeysOfBothParts)
{
    const IniFile ini = IniFile::fromText("[a]\nx=1\n[b]\ny=2\n[A]\nx=9\nz=3\n");
    EXPECT_EQ(ini.sections(), (QStringList{"a", "b"}));
    EXPECT_EQ(ini.keys("a"), (QStringList{"x", "z"}));
    EXPECT_EQ(ini.value("a", "x"), "1");
    EXPECT_EQ(ini.value("a", "z"), "3");
}

TEST(IniFile, ValuesAreCutAt2047Characters)
{
    const QString longValue(10000, QChar(u'v'));
    const IniFile ini = IniFile::fromText("[t]\nk=" + longValue + "\n");
    EXPECT_EQ(ini.value("t", "k").size(), 2047);
}

TEST(IniFile, WritingAndDeletingKeepTheRestOfTheFile)
{
    IniFile ini = IniFile::fromText(QString::fromUtf8(Sample));
    ini.setValue("items", "_photo", "FILE");        // replaced in place
    ini.setValue("customers", "new", "1");          // appended to its section
    ini.setValue("Grids", "F.G.ColCount", "3");     // new section at the end
    ini.remove("ITEMS", "-NAME");
    EXPECT_EQ(ini.toText(),
              "; designer output\r\n"
              "[Items]\r\n"
              "_photo=FILE\r\n"
              "garbage line without equals\r\n"
              "\r\n"
              "[customers]\r\n"
              "isdictionary=1\r\n"
              "%total=\"a=b\"\r\n"
              "new=1\r\n"
              "[Grids]\r\n"
              "F.G.ColCount=3\r\n");
}

TEST(IniFile, InsertedKeyGoesAfterTheLastKeyBeforeBlankLines)
{
    IniFile ini = IniFile::fromText("[Options]\nserver=x\n\n[Grids]\na=1\n");
    ini.setValue("Options", "mniReport", "0");
    EXPECT_EQ(ini.toText(), "[Options]\nserver=x\nmniReport=0\n\n[Grids]\na=1\n");
}

TEST(IniFile, ReadsUtf8Utf16AndCp1251)
{
    const QString text = QString::fromUtf8("[Товары]\n-Название=TEXT\n");
    QByteArray utf8Bom = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    QStringEncoder toUtf16(QStringConverter::Utf16LE);
    QByteArray utf16 = QByteArray("\xFF\xFE") + QByteArray(toUtf16(text));
    // "[Товары]\n-Название=TEXT\n" in Windows-1251
    QByteArray cp1251("[\xD2\xEE\xE2\xE0\xF0\xFB]\n-\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5=TEXT\n");

    for (const QByteArray& bytes : {text.toUtf8(), utf8Bom, utf16, cp1251}) {
        const IniFile ini = IniFile::fromText(IniFile::decode(bytes));
        EXPECT_EQ(ini.sections(), QStringList{QString::fromUtf8("Товары")});
        EXPECT_EQ(ini.value(QString::fromUtf8("товары"), QString::fromUtf8("-название")), "TEXT");
    }
}

TEST(IniFile, SaveWritesUtf8AndMissingFileReadsEmpty)
{
    TempProject project;
    EXPECT_TRUE(IniFile::load(project.file("none.ini")).sections().isEmpty());
    IniFile ini;
    ini.setValue("Options", "server", QString::fromUtf8("/data/база.db"));
    ini.save(project.file("settings.ini"));
    EXPECT_EQ(project.read("settings.ini"), QString::fromUtf8("[Options]\r\nserver=/data/база.db\r\n").toUtf8());
    EXPECT_EQ(IniFile::load(project.file("settings.ini")).value("options", "SERVER"),
              QString::fromUtf8("/data/база.db"));
}

TEST(IniFile, SaveWhereNoFileCanBeWrittenRaisesAFileError)
{
    TempProject project;
    QDir(project.path()).mkdir("settings.ini");
    IniFile ini;
    ini.setValue("Options", "server", "a");
    EXPECT_THROW(ini.save(project.file("settings.ini")), FileError);
    EXPECT_THROW(ini.save(project.file("no/such/folder/settings.ini")), FileError);
}
