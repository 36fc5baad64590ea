#include "report_fixture.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

namespace {

// A page with every kind of box, texts in several scripts and a value, numbered by n so that
// pages read back can be told apart.
Page samplePage(int n)
{
    Page page;
    page.width = n % 2 ? 210.f : 297.f;
    page.height = n % 2 ? 297.f : 210.f;
    const QString texts[] = {QStringLiteral("Row %1").arg(n), QStringLiteral("Привет, мир ✓ %1").arg(n), QString(),
                             QString::number(n * 1.25, 'f', 2)};
    float y = 10;
    for (const QString& t : texts) {
        PageBox box;
        box.style = quint32(n % 3);
        box.x = 10.125f;
        box.y = y += 5.3f;
        box.width = 33.3f;
        box.height = 5;
        page.setText(box, t);
        page.boxes.push_back(box);
    }
    page.values.push_back(PageValue{3, 1, false, n * 1.25});
    PageBox line;
    line.kind = PageBox::Kind::Line;
    line.y = float(n);
    page.boxes.push_back(line);
    PageBox picture;
    picture.kind = PageBox::Kind::Picture;
    picture.offset = n % 2 ? PageDocument::noImage : 0;
    page.boxes.push_back(picture);
    PageBox check;
    check.kind = PageBox::Kind::CheckBox;
    check.checked = n % 2;
    page.boxes.push_back(check);
    return page;
}

void expectSame(const Page& got, const Page& want, int n)
{
    SCOPED_TRACE(n);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    ASSERT_EQ(got.boxes.size(), want.boxes.size());
    for (size_t i = 0; i < want.boxes.size(); ++i) {
        const PageBox &a = got.boxes[i], &b = want.boxes[i];
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.checked, b.checked);
        EXPECT_EQ(a.style, b.style);
        EXPECT_EQ(a.rect(), b.rect());
        if (a.kind == PageBox::Kind::Text) {
            EXPECT_EQ(got.text(a), want.text(b));
        } else if (a.kind == PageBox::Kind::Picture) {
            EXPECT_EQ(a.offset, b.offset);
        }
    }
    ASSERT_EQ(got.values.size(), want.values.size());
    EXPECT_EQ(got.values[0].number, want.values[0].number);
    EXPECT_EQ(got.values[0].format, want.values[0].format);
}

// Pages come back exactly as they went in, whether they stayed in memory or went to the
// temporary file, and in any reading order (the cache holds only a few).
TEST(PageDocument, PagesComeBackExactlyFromMemoryAndFromTheSpillFile)
{
    for (qsizetype threshold : {qsizetype(1) << 30, qsizetype(1)}) {
        SCOPED_TRACE(threshold);
        PageDocument doc;
        doc.setSpillThreshold(threshold);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(4, 4, QImage::Format_RGB32).save(&buffer, "PNG");
        ASSERT_EQ(doc.addImage(png, QSizeF(10, 10)), 0u);
        doc.addFormat(DisplayFormat(QStringLiteral("n2")));
        constexpr int count = 40;
        for (int n = 0; n < count; ++n)
            doc.addPage(samplePage(n));
        EXPECT_EQ(doc.hasSpilled(), threshold == 1);
        ASSERT_EQ(doc.pageCount(), count);
        for (int n : {count - 1, 0, 17, 3, 17, count - 1, 0})
            expectSame(*doc.page(n), samplePage(n), n);
        EXPECT_EQ(doc.pageSize(1), QSizeF(210, 297));
        EXPECT_EQ(doc.page(count), nullptr);
        EXPECT_EQ(doc.page(-1), nullptr);
        EXPECT_EQ(doc.find(5, QStringLiteral("привет")), std::vector<int>({1}));
    }
}

// Texts known after the last page land on pages long written away, replace what the box
// showed, and bring their value; a page read before the late text is read again after it.
TEST(PageDocument, LateTextsAreLaidOverSpilledPages)
{
    PageDocument doc;
    doc.setSpillThreshold(1);
    for (int n = 0; n < 30; ++n)
        doc.addPage(samplePage(n));
    EXPECT_EQ(doc.page(7)->text(doc.page(7)->boxes[2]), QString());
    for (int n = 29; n >= 0; --n)
        doc.setLateText(n, 2, QStringLiteral("Page %1 of 30").arg(n + 1));
    const PageValue total{0, 1, false, 99.5};
    doc.setLateText(7, 0, QStringLiteral("99.50"), &total);
    doc.setLateText(7, 3, QStringLiteral("no value now"));
    for (int n : {0, 7, 29}) {
        const PageRef page = doc.page(n);
        EXPECT_EQ(page->text(page->boxes[2]), QStringLiteral("Page %1 of 30").arg(n + 1));
    }
    const PageRef seven = doc.page(7);
    EXPECT_EQ(seven->text(seven->boxes[0]), QStringLiteral("99.50"));
    ASSERT_NE(seven->value(0), nullptr);
    EXPECT_EQ(seven->value(0)->number, 99.5);
    EXPECT_EQ(seven->value(3), nullptr);
    EXPECT_EQ(seven->text(seven->boxes[3]), QStringLiteral("no value now"));
    EXPECT_EQ(seven->text(seven->boxes[1]), QStringLiteral("Привет, мир ✓ 7"));
}

// Spreadsheets need the numbers and dates behind the texts: a text that is one value alone
// keeps it with its display format, also when it is known only after its rows (a group total
// in the header); a value among other words stays a text.
TEST(PageDocument, TheFillerKeepsTheValueOfATextThatIsOneValue)
{
    SqlFixture sql;
    sql.run(rowsSql({"SELECT 'A' AS g, 1234.5 AS price, '2024-03-05 00:00:00.000' AS day, 'x' AS name",
                     "SELECT 'A', 10, '2024-03-06 12:00:00.000', '12'"}));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">
        <group expression="Report.g"><header height="5">
            <text x="0" y="0" width="30" height="5" format="n2">[SUM(Report.price)]</text>
        </header></group>
        <detail height="5">
            <text x="0" y="0" width="30" height="5" format="n2">[Report.price]</text>
            <text x="30" y="0" width="30" height="5" format="date:dd.MM.yyyy">[Report.day]</text>
            <text x="60" y="0" width="30" height="5">Price [Report.price]</text>
            <text x="90" y="0" width="30" height="5">[Report.name]</text>
            <text x="120" y="0" width="30" height="5" format="n2">  [Report.price] </text>
        </detail>
        </report>)"), &sql.data);
    const PageRef page = doc->page(0);
    EXPECT_EQ(textsOf(*doc, 0), QStringList({"10.0:1,244.50", "15.0:1,234.50", "15.0:05.03.2024", "15.0:Price 1234.5", "15.0:x",
                                             "15.0:  1,234.50 ", "20.0:10.00", "20.0:06.03.2024", "20.0:Price 10",
                                             "20.0:12", "20.0:  10.00 "}));
    struct Want {
        quint32 box;
        bool isDate;
        double number;
        QString format;
    };
    // A value padded with spaces to line up is still that value.
    const Want wants[] = {{0, false, 1244.5, "n2"},   {1, false, 1234.5, "n2"}, {2, true, 45356, "date:dd.MM.yyyy"},
                          {5, false, 1234.5, "n2"},   {6, false, 10, "n2"},     {7, true, 45357.5, "date:dd.MM.yyyy"},
                          {10, false, 10, "n2"}};
    for (const Want& w : wants) {
        SCOPED_TRACE(w.box);
        const PageValue* v = page->value(w.box);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->isDate, w.isDate);
        EXPECT_DOUBLE_EQ(v->number, w.number);
        EXPECT_EQ(doc->format(v->format).text(), w.format);
    }
    for (quint32 box : {3u, 4u, 8u, 9u})
        EXPECT_EQ(page->value(box), nullptr) << box; // words around a value, or a text with no format
}

// A photo on every row: each picture is kept once whatever shows it, encoded beside the pages,
// and only a few are held decoded, so what the document holds does not grow with the rows.
TEST(PageDocument, PicturesAreKeptOnceAndFewAreHeldDecoded)
{
    SqlFixture sql;
    sql.db.execute(QStringLiteral("CREATE TABLE person (id INTEGER PRIMARY KEY, photo BLOB)"));
    constexpr int photos = 150;
    auto colour = [](int n) { return QColor::fromHsv(n * 360 / photos, 200, 220); };
    QByteArray first;
    for (int n = 0; n < photos; ++n) {
        QImage photo(600, 800, QImage::Format_RGB32);
        photo.fill(colour(n));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "JPEG", 90);
        if (n == 0)
            first = jpeg;
        sql.db.execute(QStringLiteral("INSERT INTO person (photo) VALUES (:p)"), {{QStringLiteral("p"), jpeg}});
    }
    sql.db.execute(QStringLiteral("INSERT INTO person (photo) VALUES (:p)"), {{QStringLiteral("p"), first}});
    sql.run(QStringLiteral("SELECT photo FROM person ORDER BY id"));
    const auto doc = fillOf(QStringLiteral(R"(<report version="1">
        <detail height="45"><picture x="0" y="0" width="30" height="40" value="Report.photo"/></detail>
        </report>)"), &sql.data);
    EXPECT_EQ(doc->imageCount(), quint32(photos)); // the last row shows the first photo again
    EXPECT_LT(doc->memoryUse(), 64 * 1024 * 1024);

    std::vector<quint32> shown;
    for (int p = 0; p < doc->pageCount(); ++p)
        for (const PageBox& b : doc->page(p)->boxes)
            shown.push_back(b.offset);
    ASSERT_EQ(shown.size(), size_t(photos + 1));
    EXPECT_EQ(shown.back(), shown.front());
    for (int n : {0, 77, photos - 1}) {
        SCOPED_TRACE(n);
        const QImage image = doc->image(shown[size_t(n)]);
        EXPECT_EQ(image.size(), QSize(354, 472)); // 30 x 40 mm at 300 dpi
        const QColor centre = image.pixelColor(177, 236);
        EXPECT_NEAR(centre.hue(), colour(n).hue(), 3);
    }
}

} // namespace
