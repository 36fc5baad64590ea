#include "catalogue/catalogue.h"
#include "support/temp_project.h"

#include <QStringEncoder>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

const char* const ItemsIni = R"([items]
-name=TEXT
_photo=IMAGE
^id_orders=orders
*record_count=INTEGER
%total=price*qty
isdictionary=0
[orders]
+id_customers=
>id_colors=
_doc=FILE
%spaced=price\r\n+\r\nqty
%flag=price^equally^1
%eq=price=1
%>odd=whatever
;comment=not a key
~plain=TEXT
[colors]
_name=TEXT
isdictionary=1
)";

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { load(ItemsIni); }
    void TearDown() override { FreeCatalogue(); }

    void load(const QString& ini)
    {
        project.write(QStringLiteral("tables.ini"), ini);
        LoadTables(TablesFilePath());
    }

    TempProject project;
};

TEST_F(CatalogueTest, RecordsEveryKeyButTheDictionaryFlagInFileOrder)
{
    const QStringList expectedFields = {
        "items=name=TEXT",
        "items=photo=IMAGE",
        "items=id_orders=INTEGER",
        "items=record_count=INTEGER",
        "items=total=price*qty",
        "orders=id_customers=INTEGER",
        "orders=id_colors=INTEGER",
        "orders=doc=FILE",
        "orders=spaced=price\\r\\n+\\r\\nqty",
        "orders=flag=price^equally^1",
        "orders=eq=price=1",
        // A calculated key whose name starts with another prefix loses that one too.
        "orders=odd=INTEGER",
        "orders=~plain=TEXT",
        "colors=name=TEXT",
    };
    EXPECT_EQ(FieldCatalogue(), expectedFields);

    const QStringList expectedCalcs = {
        "items.total=price*qty",
        "orders.spaced=price\\r\\n+\\r\\nqty",
        "orders.flag=price^equally^1",
        "orders.eq=price=1",
        "orders.>odd=whatever",
    };
    EXPECT_EQ(CalcFieldCatalogue(), expectedCalcs);
}

TEST_F(CatalogueTest, FieldListAddsFileNameColumnsAfterPicturesAndFiles)
{
    EXPECT_EQ(GetFieldList("items"),
              "[items].[name],[items].[photo],[items].[photo_filename],[items].[id_orders],"
              "[items].[record_count],[items].[total]");
    EXPECT_EQ(GetFieldList("colors"), "[colors].[name]");
    EXPECT_EQ(GetFieldList("Colors"), "");
    EXPECT_EQ(GetFieldList("nothing"), "");
}

TEST_F(CatalogueTest, LookupsCompareNamesExactly)
{
    struct Case {
        const char* table;
        const char* field;
        bool exists;
        const char* type;
    };
    const Case cases[] = {
        {"items", "name", true, "TEXT"},
        {"items", "id_orders", true, "INTEGER"}, // the ini value is the parent table
        {"items", "total", true, "price*qty"},
        {"orders", "eq", true, "price=1"},      // the type runs past the second "="
        {"orders", "~plain", true, "TEXT"},
        {"items", "Name", false, ""},
        {"Items", "name", false, ""},
        {"items", "isdictionary", false, ""},
        {"items", "-name", false, ""},
        {"nothing", "name", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.field);
        EXPECT_EQ(FieldExists(c.table, c.field), c.exists);
        EXPECT_EQ(GetFieldType(c.table, c.field), c.type);
    }
    EXPECT_TRUE(IsCalcField("items.total"));
    EXPECT_TRUE(IsCalcField("orders.>odd"));
    EXPECT_FALSE(IsCalcField("items.name"));
    EXPECT_FALSE(IsCalcField("items.Total"));
    EXPECT_FALSE(IsCalcField("orders.odd"));
}

TEST_F(CatalogueTest, ExpandCalcFieldsReplacesOnlyCalculatedItems)
{
    EXPECT_EQ(ExpandCalcFields("[items].[name],[items].[total],[items].[photo]", false),
              "[items].[name],price*qty AS 'total',[items].[photo]");
    EXPECT_EQ(ExpandCalcFields("[items].[total]", true), "price*qty AS 'items.total'");
    EXPECT_EQ(ExpandCalcFields("[orders].[flag]", true), "price=1 AS 'orders.flag'");
    EXPECT_EQ(ExpandCalcFields("[orders].[spaced],[orders].[eq]", false),
              "price + qty AS 'spaced',price=1 AS 'eq'");
    // Only the exact bracketed form names a calculated field.
    EXPECT_EQ(ExpandCalcFields("items.total,[items].[Total], [items].[total]", true),
              "items.total,[items].[Total], [items].[total]");
    EXPECT_EQ(ExpandCalcFields("", true), "");
}

TEST_F(CatalogueTest, DictionaryFlagIsANonZeroInteger)
{
    struct Case {
        const char* value;
        bool dictionary;
    };
    const Case cases[] = {
        {"1", true}, {"-1", true}, {"0x10", true}, {"$1", true}, {"0", false},
        {"True", false}, {"yes", false}, {"", false}, {"1.0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        project.write(QStringLiteral("tables.ini"),
                      QStringLiteral("[t]\n_a=TEXT\nisdictionary=%1\n").arg(c.value));
        EXPECT_EQ(IsDictionary("t"), c.dictionary);
    }
    project.write(QStringLiteral("tables.ini"), QStringLiteral("[t]\n_a=TEXT\n"));
    EXPECT_FALSE(IsDictionary("t"));
    EXPECT_FALSE(IsDictionary("missing"));
}

TEST_F(CatalogueTest, DictionaryFlagIsReadFromTheFileAtEveryCall)
{
    EXPECT_TRUE(IsDictionary("colors"));
    EXPECT_FALSE(IsDictionary("items"));
    project.write(QStringLiteral("tables.ini"),
                  QStringLiteral("[items]\nisdictionary=1\n[colors]\nisdictionary=0\n"));
    EXPECT_FALSE(IsDictionary("colors"));
    EXPECT_TRUE(IsDictionary("items"));
    // The catalogue itself is not reloaded.
    EXPECT_TRUE(FieldExists("colors", "name"));
}

TEST_F(CatalogueTest, JoinTablesMoveDictionariesTowardsTheEnd)
{
    struct Case {
        const char* dictionaries;
        QStringList expected;
    };
    const Case cases[] = {
        {"", {"a", "b", "c"}},
        {"a", {"c", "b", "a"}},
        {"a b", {"c", "a", "b"}},
        {"c", {"a", "b", "c"}},
        {"a b c", {"c", "a", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dictionaries);
        QString ini = QStringLiteral("[main]\n_x=TEXT\n");
        for (const char* name : {"a", "b", "c"}) {
            const bool dictionary = QString(c.dictionaries).split(u' ').contains(name);
            ini += QStringLiteral("[%1]\n_x=TEXT\nisdictionary=%2\n").arg(name).arg(dictionary ? 1 : 0);
        }
        project.write(QStringLiteral("tables.ini"), ini);
        EXPECT_EQ(GetJoinTables("main", "c.x,main.x,a.x,b.x,a.y"), c.expected);
    }
}

TEST_F(CatalogueTest, JoinTablesAreDistinctIgnoringCase)
{
    EXPECT_EQ(GetJoinTables("items", "Orders.x,items.name,customers.name,orders.y,Items.z"),
              QStringList({"customers", "Items", "Orders"}));
    EXPECT_EQ(GetJoinTables("items", "items.name"), QStringList());
    EXPECT_EQ(GetJoinTables("items", "orders.x,"), QStringList({"orders"}));
}

TEST_F(CatalogueTest, MissingFileGivesAnEmptyCatalogue)
{
    LoadTables(project.file(QStringLiteral("absent.ini")));
    EXPECT_TRUE(FieldCatalogue().isEmpty());
    EXPECT_TRUE(CalcFieldCatalogue().isEmpty());
    EXPECT_FALSE(FieldExists("items", "name"));
    EXPECT_EQ(GetFieldList("items"), "");
    EXPECT_EQ(ExpandCalcFields("[items].[total]", true), "[items].[total]");
}

TEST_F(CatalogueTest, FreeCatalogueEmptiesBothLists)
{
    FreeCatalogue();
    EXPECT_TRUE(FieldCatalogue().isEmpty());
    EXPECT_TRUE(CalcFieldCatalogue().isEmpty());
    EXPECT_FALSE(IsCalcField("items.total"));
}

TEST_F(CatalogueTest, ReadsCyrillicNamesInCp1251)
{
    // [Товары] -Название=TEXT %Цена=1
    project.write(QStringLiteral("tables.ini"),
                  QByteArray("[\xD2\xEE\xE2\xE0\xF0\xFB]\r\n-\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5=TEXT\r\n"
                             "%\xD6\xE5\xED\xE0=1\r\n"));
    LoadTables(TablesFilePath());
    EXPECT_EQ(FieldCatalogue(), QStringList({QStringLiteral("Товары=Название=TEXT"), QStringLiteral("Товары=Цена=1")}));
    EXPECT_EQ(GetFieldList(QStringLiteral("Товары")), QStringLiteral("[Товары].[Название],[Товары].[Цена]"));
    EXPECT_TRUE(IsCalcField(QStringLiteral("Товары.Цена")));
}

TEST_F(CatalogueTest, ReadsCyrillicNamesInUtf16WithByteOrderMark)
{
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const QByteArray bytes = encoder(QStringLiteral("[Товары]\r\n_Фото=IMAGE\r\nisdictionary=1\r\n"));
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    project.write(QStringLiteral("tables.ini"), bytes);
    LoadTables(TablesFilePath());
    EXPECT_EQ(FieldCatalogue(), QStringList({QStringLiteral("Товары=Фото=IMAGE")}));
    EXPECT_EQ(GetFieldList(QStringLiteral("Товары")), QStringLiteral("[Товары].[Фото],[Товары].[Фото_filename]"));
    EXPECT_TRUE(IsDictionary(QStringLiteral("Товары")));
}

} // namespace
