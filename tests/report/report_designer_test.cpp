// The report designer driven through its widgets as an author drives it: drops, drags, keys,
// property edits, undo and redo, files, the preview and the questions on closing.
#include "platform/desktop_services.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "platform/sql_connection.h"
#include "designer_test_support.h"
#include "report/engine/dataset.h"
#include "report/engine/template.h"
#include "report/engine/text_layout.h"
#include "report/report.h"
#include "report/report_windows.h"
#include "report/ui/designer_panels.h"
#include "report/ui/designer_ruler.h"
#include "report/ui/designer_view.h"
#include "report/ui/designer_window.h"
#include "report/ui/preview.h"
#include "support/scripted_desktop.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

const BandRef Detail{BandKind::Detail};
const BandRef PageHeader{BandKind::PageHeader};
const BandRef PageFooter{BandKind::PageFooter};
const BandRef Summary{BandKind::Summary};

// Two texts in the rows, A at (10, 2) 30 x 6 and B at (60, 4) 20 x 5.
const QByteArray TwoTexts = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
    <page-header height="8"/>
    <detail height="10">
        <text x="10" y="2" width="30" height="6">A</text>
        <text x="60" y="4" width="20" height="5">B</text>
    </detail>
</report>
)";

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class ReportDesignerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        desk = &ScriptedDesktop::install();
        Lang.fillEnglish();
        data.reset({"product", "qty", "price", "country"});
        addRow("Coffee", 2, 3.5, "Norway");
        addRow("Tea", 5, 1.25, "Norway");
        addRow("Milk", 1, 0.9, "Sweden");
        folder = dir.path() + QStringLiteral("/Report");
    }

    void TearDown() override { Lang.fillEnglish(); }

    void addRow(const QByteArray& product, qint64 qty, double price, const QByteArray& country)
    {
        data.appendRow();
        data.addText(product.constData(), product.size());
        data.addInteger(qty);
        data.addReal(price);
        data.addText(country.constData(), country.size());
    }

    ReportDesignerWindow& open(const QByteArray& xml = {})
    {
        if (!xml.isEmpty()) {
            report.loadTemplateText(QString::fromUtf8(xml));
            report.setTemplateFileName(QString());
        }
        window = std::make_unique<ReportDesignerWindow>(ReportWindows::designerSession(report, &data, folder, folder));
        window->resize(1300, 900);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->view()->setZoom(200);
        window->setSnap(true, 1);
        return *window;
    }

    QWidget* viewport() const { return window->view()->viewport(); }
    QPoint at(const BandRef& band, double x, double y) const { return window->view()->viewPoint(band, {x, y}); }
    const ReportObject& object(const BandRef& band, int index) const { return *findObject(window->model(), {band, index}); }
    const Band& band(const BandRef& ref) const { return *findBand(window->model(), ref); }

    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(viewport(), Qt::LeftButton, modifiers, from);
        QTest::mouseMove(viewport(), (from + to) / 2);
        QTest::mouseMove(viewport(), to);
        QTest::mouseRelease(viewport(), Qt::LeftButton, modifiers, to);
    }

    void dropField(const QString& field, QPoint pos) { dropDesignerField(*window, viewport(), field, pos); }

    template <class T>
    T* editor(const QString& key) const
    {
        return qobject_cast<T*>(window->properties()->editor(key));
    }

    void typeInto(QWidget* widget, const QString& text)
    {
        ASSERT_NE(widget, nullptr);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(widget, text);
        QTest::keyClick(widget, Qt::Key_Return);
    }

    // The template's query written in the SQL editor that the "..." beside the page's query opens.
    void writeQuery(const QString& query)
    {
        window->setSelection({});
        desk->windowAnswers.push_back([query](QWidget& shown) {
            auto* sql = shown.findChild<QPlainTextEdit*>("sql");
            if (!sql)
                return false;
            sql->setPlainText(query);
            if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
                shown.grab().save(qEnvironmentVariable("VARNEL_SCREENSHOTS") + QStringLiteral("/designer_query.png"));
            return true;
        });
        auto* button = window->properties()->findChild<QToolButton*>("query-button");
        ASSERT_NE(button, nullptr);
        button->click();
    }

    // Save as, answering the file dialog with the name given.
    QByteArray saveAs(const QString& name)
    {
        desk->fileAnswers.push_back(folder + u'/' + name);
        window->action(QStringLiteral("saveAs"))->trigger();
        return readAll(folder + u'/' + name + (QFileInfo(name).suffix().isEmpty() ? ".xml" : ""));
    }

    ScriptedDesktop* desk = nullptr;
    ReportDataset data;
    Report report;
    QTemporaryDir dir;
    QString folder;
    std::unique_ptr<ReportDesignerWindow> window;
};

// A small list made from nothing: fields dropped on the rows bring their titles into the page
// header, a text placed with the palette is typed in place, its width and alignment set in
// the panel, keys move and size; the file is the documented format, and undo takes it all back.
TEST_F(ReportDesignerTest, AListIsBuiltWithMouseKeysAndPanelAndSavedAsTheDocumentedFile)
{
    open();
    const ReportTemplate start = window->model();
    dropField("product", at(Detail, 0, 0));
    dropField("qty", at(Detail, 40, 0));

    window->action(QStringLiteral("tool.text"))->trigger();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(PageFooter, 0, 0));
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, at(PageFooter, 5, 3));
    QPlainTextEdit* inPlace = window->view()->inPlaceEditor();
    ASSERT_NE(inPlace, nullptr);
    QTest::keyClicks(inPlace, "Page [Page] of [TotalPages]");
    QTest::keyClick(inPlace, Qt::Key_Return);
    typeInto(editor<QDoubleSpinBox>("width"), "180");
    QComboBox* align = editor<QComboBox>("align");
    ASSERT_NE(align, nullptr);
    QTest::keyClick(align, Qt::Key_Down);
    QTest::keyClick(align, Qt::Key_Down);

    window->action(QStringLiteral("band.summary"))->trigger();
    window->action(QStringLiteral("tool.text"))->trigger();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Summary, 100, 2));
    typeInto(editor<QLineEdit>("text"), "Rows: [COUNT()]");
    QCheckBox* bold = editor<QCheckBox>("bold");
    ASSERT_NE(bold, nullptr);
    bold->click();

    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 45, 3));
    QTest::keyClick(window->view(), Qt::Key_Right);
    QTest::keyClick(window->view(), Qt::Key_Right);
    QTest::keyClick(window->view(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(window->view(), Qt::Key_Down, Qt::ControlModifier);

    EXPECT_TRUE(window->isWindowModified());
    const QByteArray saved = saveAs("list");
    EXPECT_EQ(QString::fromUtf8(saved), QString::fromUtf8(R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
    <page size="A4"/>
    <page-header height="8">
        <text x="0" y="0" width="30" height="7" bold="true">Product</text>
        <text x="40" y="0" width="30" height="7" bold="true">Qty</text>
    </page-header>
    <detail height="6">
        <text x="0" y="0" width="30" height="6">[Report.product]</text>
        <text x="42" y="0.1" width="31" height="6">[Report.qty]</text>
    </detail>
    <page-footer height="6">
        <text x="0" y="0" width="180" height="6" align="right">Page [Page] of [TotalPages]</text>
    </page-footer>
    <summary height="10">
        <text x="100" y="2" width="30" height="6" bold="true">Rows: [COUNT()]</text>
    </summary>
</report>
)"));
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(window->fileName(), folder + "/list.xml");
    EXPECT_EQ(report.reportTemplate(), window->model());

    const ReportTemplate end = window->model();
    while (window->undoStack()->canUndo())
        window->action(QStringLiteral("undo"))->trigger();
    EXPECT_EQ(window->model(), start);
    EXPECT_TRUE(window->isWindowModified());
    while (window->undoStack()->canRedo())
        window->action(QStringLiteral("redo"))->trigger();
    EXPECT_EQ(window->model(), end);
    EXPECT_FALSE(window->isWindowModified());
}

// Each gesture on A (10, 2, 30 x 6 in a 10 mm detail band), starting from A selected.
TEST_F(ReportDesignerTest, MouseGesturesMoveResizeAndRestack)
{
    struct Case {
        const char* name;
        QPointF from, to; // in the detail band, millimetres
        BandRef band;     // where A ends up, first object of that band or last one
        QRectF rect;
        double detailHeight;
    };
    const Case cases[] = {
        {"body moves, snapped", {15, 4}, {25.2, 5.8}, Detail, {20.0, 4.0, 30.0, 6.0}, 10},
        {"right handle widens", {40, 5}, {50, 5}, Detail, {10.0, 2.0, 40.0, 6.0}, 10},
        {"bottom-left handle", {10, 8}, {5, 9}, Detail, {5.0, 2.0, 35.0, 7.0}, 10},
        {"top handle", {25, 2}, {25, 0}, Detail, {10.0, 0.0, 30.0, 8.0}, 10},
        {"band's lower edge", {100, 10}, {100, 15}, Detail, {10.0, 2.0, 30.0, 6.0}, 15},
        {"into the page header", {15, 4}, {15, -9.7}, PageHeader, {10.0, 1.0, 30.0, 6.0}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        report.clear();
        open(TwoTexts);
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 20, 4));
        ASSERT_EQ(window->selection().objects.size(), 1u);
        drag(at(Detail, c.from.x(), c.from.y()), at(Detail, c.to.x(), c.to.y()));
        const Band& b = band(c.band);
        ASSERT_FALSE(b.objects.empty());
        const ReportObject& a = c.band == Detail ? b.objects.front() : b.objects.back();
        EXPECT_EQ(a.text, "A");
        EXPECT_EQ(a.rect, c.rect);
        EXPECT_EQ(band(Detail).height, c.detailHeight);
        EXPECT_EQ(window->undoStack()->count(), 1);
        window->action(QStringLiteral("undo"))->trigger();
        EXPECT_EQ(window->model(), report.reportTemplate());
    }
}

TEST_F(ReportDesignerTest, RubberBandAndCtrlClickChooseTheSelection)
{
    open(TwoTexts);
    drag(at(Detail, 5, 1), at(Detail, 85, 9.5));
    EXPECT_EQ(window->selection().objects, (std::vector<ObjectRef>{{Detail, 0}, {Detail, 1}}));
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, at(Detail, 70, 6));
    EXPECT_EQ(window->selection().objects, (std::vector<ObjectRef>{{Detail, 0}}));
    QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, at(Detail, 70, 6));
    EXPECT_EQ(window->selection().objects, (std::vector<ObjectRef>{{Detail, 0}, {Detail, 1}}));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 50, 1));
    EXPECT_TRUE(window->selection().isEmpty());
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 50, -2));
    EXPECT_EQ(window->selection().band, Detail);
    EXPECT_EQ(window->properties()->editor("height")->property("value").toDouble(), 10);
}

// A then B selected (A leads): where B goes, or the order the band draws them in.
TEST_F(ReportDesignerTest, ArrangeCommandsLineUpWithTheFirstSelected)
{
    struct Case {
        const char* action;
        QRectF b;
        QStringList order;
    };
    const Case cases[] = {
        {"alignLeft", {10, 4, 20, 5}, {"A", "B"}},  {"alignRight", {20, 4, 20, 5}, {"A", "B"}},
        {"alignTop", {60, 2, 20, 5}, {"A", "B"}},   {"alignBottom", {60, 3, 20, 5}, {"A", "B"}},
        {"sameWidth", {60, 4, 30, 5}, {"A", "B"}},  {"sameHeight", {60, 4, 20, 6}, {"A", "B"}},
        {"front", {60, 4, 20, 5}, {"A", "B"}},      {"back", {60, 4, 20, 5}, {"A", "B"}},
    };
    open(TwoTexts);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 50, 1));
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 20, 4));
        QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, at(Detail, 70, 6));
        window->action(QString::fromLatin1(c.action))->trigger();
        const Band& d = band(Detail);
        QStringList order;
        for (const ReportObject& o : d.objects)
            order << o.text;
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(d.objects[size_t(order.indexOf("B"))].rect, c.b);
        window->action(QStringLiteral("undo"))->trigger();
    }
    // Restacking one object puts it over or under the other.
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 50, 1));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 20, 4));
    window->action(QStringLiteral("front"))->trigger();
    EXPECT_EQ(band(Detail).objects.back().text, "A");
    EXPECT_EQ(window->selection().objects, (std::vector<ObjectRef>{{Detail, 1}}));
    window->action(QStringLiteral("back"))->trigger();
    EXPECT_EQ(band(Detail).objects.front().text, "A");
}

TEST_F(ReportDesignerTest, CutCopyPasteAndDeleteKeepTheirPlacesAndBands)
{
    open(TwoTexts);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 20, 4));
    window->action(QStringLiteral("copy"))->trigger();
    window->action(QStringLiteral("paste"))->trigger();
    ASSERT_EQ(band(Detail).objects.size(), 3u);
    EXPECT_EQ(object(Detail, 2).text, "A");
    EXPECT_EQ(object(Detail, 2).rect, QRectF(11, 3, 30, 6)); // not over its original
    EXPECT_EQ(window->selection().objects, (std::vector<ObjectRef>{{Detail, 2}}));

    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 70, 6));
    window->action(QStringLiteral("cut"))->trigger();
    EXPECT_EQ(band(Detail).objects.size(), 2u);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(PageHeader, 50, -2));
    ASSERT_EQ(window->selection().band, PageHeader);
    window->action(QStringLiteral("paste"))->trigger();
    ASSERT_EQ(band(PageHeader).objects.size(), 1u);
    EXPECT_EQ(object(PageHeader, 0).text, "B");
    EXPECT_EQ(object(PageHeader, 0).rect, QRectF(60, 4, 20, 5));

    QTest::keyClick(window->view(), Qt::Key_Delete);
    EXPECT_TRUE(band(PageHeader).objects.empty());
    EXPECT_EQ(window->undoStack()->count(), 4);
}

// Bands come and go from the menu; a group gets its field, its name and its options in the
// panel; a group left without header and footer goes too.
TEST_F(ReportDesignerTest, BandsAndGroupsAreAddedSetUpAndRemoved)
{
    open(TwoTexts);
    window->fieldList()->setCurrentRow(3); // country
    window->action(QStringLiteral("band.title"))->trigger();
    window->action(QStringLiteral("band.group"))->trigger();
    ASSERT_EQ(window->model().groups.size(), 1u);
    EXPECT_EQ(window->selection().band, (BandRef{BandKind::GroupHeader, 0}));
    EXPECT_EQ(editor<QLineEdit>("expression")->text(), "[Report.country]");
    typeInto(editor<QLineEdit>("group-name"), "by_country");
    editor<QCheckBox>("repeat-header")->click();
    editor<QCheckBox>("new-page")->click();
    typeInto(editor<QDoubleSpinBox>("height"), "9");

    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at({BandKind::GroupFooter, 0}, 50, -2));
    window->action(QStringLiteral("band.remove"))->trigger();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(PageHeader, 50, -2));
    window->action(QStringLiteral("band.remove"))->trigger();

    const QByteArray saved = saveAs("groups.xml");
    EXPECT_EQ(QString::fromUtf8(saved), QString::fromUtf8(R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
    <page size="A4"/>
    <title height="15"/>
    <group name="by_country" expression="[Report.country]" new-page="true" repeat-header="true">
        <header height="9"/>
    </group>
    <detail height="10">
        <text x="10" y="2" width="30" height="6">A</text>
        <text x="60" y="4" width="20" height="5">B</text>
    </detail>
</report>
)"));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at({BandKind::GroupHeader, 0}, 50, -2));
    window->action(QStringLiteral("band.remove"))->trigger();
    EXPECT_TRUE(window->model().groups.empty());
}

// Every demo template and the documented example open and save in the writer's own form: the
// same elements and values, attributes in the writer's order and defaults left out.
TEST_F(ReportDesignerTest, TemplatesOpenAndSaveUnchangedUpToTheWritersForm)
{
    QStringList files;
    for (const QFileInfo& f : QDir(VARNEL_SOURCE_DIR "/examples/demo/Report").entryInfoList({"*.xml"}, QDir::Files))
        files << f.absoluteFilePath();
    ASSERT_GE(files.size(), 3);
    const QString doc = QString::fromUtf8(readAll(VARNEL_SOURCE_DIR "/docs/report-format.md"));
    const qsizetype from = doc.indexOf("```xml\n") + 7;
    QDir().mkpath(folder);
    QFile example(folder + "/example.xml");
    ASSERT_TRUE(example.open(QIODevice::WriteOnly));
    example.write(doc.mid(from, doc.indexOf("```", from) - from).toUtf8());
    example.close();
    files << example.fileName();

    open();
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        desk->fileAnswers.push_back(path);
        window->action(QStringLiteral("open"))->trigger();
        ASSERT_TRUE(desk->messages.empty()) << desk->texts().join('\n').toStdString();
        EXPECT_EQ(window->fileName(), path);
        EXPECT_EQ(report.templateFileName(), path);
        const QByteArray saved = saveAs("copy.xml");
        EXPECT_EQ(saved, ReportTemplateFormat::write(ReportTemplateFormat::readFile(path)));
        EXPECT_EQ(ReportTemplateFormat::read(saved, "copy.xml"), ReportTemplateFormat::readFile(path));
        EXPECT_EQ(ReportDesignerWindow::recentFiles().front(), QFileInfo(folder + "/copy.xml").absoluteFilePath());
    }
    ASSERT_EQ(desk->dialogs.size(), size_t(2 * files.size()));
    for (const ScriptedDesktop::Dialog& d : desk->dialogs)
        EXPECT_EQ(d.request.folder, folder);
}

TEST_F(ReportDesignerTest, ATemplateThatFailsToLoadIsToldAndTheDesignerGoesOn)
{
    QDir().mkpath(folder);
    QFile bad(folder + "/bad.xml");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<?xml version=\"1.0\"?>\n<report version=\"1\">\n  <detail height=\"6\" colour=\"red\"/>\n</report>\n");
    bad.close();
    open(TwoTexts);
    const ReportTemplate before = window->model();
    desk->fileAnswers.push_back(bad.fileName());
    window->action(QStringLiteral("open"))->trigger();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].caption, "Error");
    EXPECT_EQ(desk->messages[0].icon, DesktopServices::Icon::Error);
    EXPECT_TRUE(desk->messages[0].text.contains("bad.xml, line 3")) << desk->messages[0].text.toStdString();
    EXPECT_TRUE(desk->messages[0].text.contains("colour")) << desk->messages[0].text.toStdString();
    EXPECT_EQ(window->model(), before);
    EXPECT_TRUE(window->fileName().isEmpty());

    dropField("price", at(Detail, 100, 0));
    EXPECT_EQ(band(Detail).objects.back().text, "[Report.price]");
    EXPECT_FALSE(saveAs("good.xml").isEmpty());
    EXPECT_EQ(desk->messages.size(), 1u);
}

// What the engine would refuse to read is not written, and the author is told why.
TEST_F(ReportDesignerTest, AGroupWithoutExpressionIsNotSaved)
{
    data.reset({});
    open(TwoTexts);
    window->action(QStringLiteral("band.group"))->trigger();
    EXPECT_TRUE(saveAs("nogroup.xml").isEmpty());
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_TRUE(desk->messages[0].text.contains("needs an expression")) << desk->messages[0].text.toStdString();
    EXPECT_TRUE(window->isWindowModified());
}

TEST_F(ReportDesignerTest, ClosingWithUnsavedChangesAsksToSaveDiscardOrStay)
{
    struct Case {
        DesktopServices::Button answer;
        bool closes;
        bool written;
    };
    const Case cases[] = {{DesktopServices::Cancel, false, false},
                          {DesktopServices::No, true, false},
                          {DesktopServices::Yes, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.answer));
        report.clear();
        open(TwoTexts);
        const ReportTemplate original = report.reportTemplate();
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 20, 4));
        QTest::keyClick(window->view(), Qt::Key_Delete);
        desk->messages.clear();
        desk->answers = {c.answer};
        desk->fileAnswers = {folder + "/closed.xml"};
        QFile::remove(folder + "/closed.xml");
        EXPECT_EQ(window->close(), c.closes);
        ASSERT_EQ(desk->messages.size(), 1u);
        EXPECT_EQ(desk->messages[0].text, "Save the changes to \"Untitled\"?");
        EXPECT_EQ(desk->messages[0].buttons, DesktopServices::Yes | DesktopServices::No | DesktopServices::Cancel);
        EXPECT_EQ(QFile::exists(folder + "/closed.xml"), c.written);
        EXPECT_EQ(window->isVisible(), !c.closes);
        if (c.written) {
            EXPECT_EQ(report.reportTemplate(), ReportTemplateFormat::readFile(folder + "/closed.xml"));
            EXPECT_EQ(report.templateFileName(), folder + "/closed.xml");
        } else {
            EXPECT_EQ(report.reportTemplate(), original);
        }
    }
}

TEST_F(ReportDesignerTest, TheExpressionEditorShowsTheFaultAtItsPlaceBeforeClosing)
{
    // The 101st bracket is one too deep; the cursor goes before it.
    const std::string deepText = "[" + std::string(101, '(') + "1" + std::string(101, ')') + "]";
    struct Case {
        const char* text;
        bool embedded;
        bool withData;
        const char* fault; // empty: accepted
        int position;      // where the cursor is put, 0-based
    };
    const Case cases[] = {
        {"Total: [SUM(Report.qty)] of [COUNT()]", true, true, "", 0},
        {"[Report.qty * Report.price]", true, true, "", 0},
        {"[FOO(1)]", true, true, "unknown function \"FOO\"", 1},
        {"Total [Report.nosuch]", true, true, "nosuch", 14},
        {"Sum [Report.qty", true, true, "not closed", 4},
        {"Report.qty > 1", false, true, "", 0},
        {"[Report.anything] [Page]", true, false, "", 0},
        {"", false, false, "expression", 0},
        {deepText.c_str(), true, true, "expression nested too deeply", 101},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ReportDataset none;
        ReportExpressionEditor editor(QString::fromUtf8(c.text), c.embedded, c.withData ? &data : &none, {});
        editor.show();
        QPushButton* ok = editor.findChild<QPushButton*>("ok");
        ASSERT_NE(ok, nullptr);
        ok->click();
        if (!*c.fault) {
            EXPECT_EQ(editor.result(), QDialog::Accepted);
            EXPECT_TRUE(editor.problemLabel()->text().isEmpty());
            continue;
        }
        EXPECT_TRUE(editor.isVisible());
        EXPECT_NE(editor.result(), QDialog::Accepted);
        EXPECT_TRUE(editor.problemLabel()->text().contains(QString::fromUtf8(c.fault)))
            << editor.problemLabel()->text().toStdString();
        EXPECT_EQ(editor.editor()->textCursor().position(), c.position);
    }
}

TEST_F(ReportDesignerTest, PickedItemsGoIntoTheTextBetweenBracketsWhenOutsideAnExpression)
{
    ReportExpressionEditor editor("Sum: ", true, &data, {});
    editor.editor()->moveCursor(QTextCursor::End);
    editor.fields()->setCurrentRow(1);
    emit editor.functions()->itemDoubleClicked(editor.functions()->item(0));
    EXPECT_EQ(editor.text(), "Sum: [SUM(Report.qty)]");
    editor.editor()->moveCursor(QTextCursor::End);
    editor.editor()->moveCursor(QTextCursor::Left);
    emit editor.systemValues()->itemDoubleClicked(editor.systemValues()->item(0));
    EXPECT_EQ(editor.text(), "Sum: [SUM(Report.qty)Page]");

    // A text function takes the picked field as the aggregates do.
    ReportExpressionEditor shown("", true, &data, {});
    shown.fields()->setCurrentRow(1);
    const auto display = shown.functions()->findItems("DISPLAY()", Qt::MatchStartsWith);
    ASSERT_EQ(display.size(), 1);
    emit shown.functions()->itemDoubleClicked(display.front());
    EXPECT_EQ(shown.text(), "[DISPLAY(Report.qty)]");
    EXPECT_TRUE(shown.problemLabel()->text().isEmpty()) << shown.problemLabel()->text().toStdString();
}

TEST_F(ReportDesignerTest, F5ShowsTheAdaptersRowsInThePreviewOrSaysWhyNot)
{
    open(R"(<report version="1"><detail height="6"><text x="0" y="0" width="50" height="6">[Report.product]</text></detail></report>)");
    EXPECT_EQ(designerPreviewPages(*window, *desk), 1);
    EXPECT_TRUE(desk->messages.empty());

    window->setSelection(DesignerSelection::ofObjects({{Detail, 0}}));
    typeInto(editor<QLineEdit>("text"), "[Report.missing]");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F5);
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_TRUE(desk->messages[0].text.contains("missing")) << desk->messages[0].text.toStdString();
    EXPECT_EQ(desk->windows, QStringList{"ReportPreview"}); // no preview of a template that does not compile
}

// The designer comes up through the desktop services: a modal top-level window on the report's
// template, with the adapter's fields, that hands the report what the author saved.
TEST_F(ReportDesignerTest, OpenRunsTheDesignerAsAModalWindowThatKeepsWhatIsSaved)
{
    report.loadTemplateText(QString::fromUtf8(TwoTexts));
    report.setTemplateFileName(QString());
    QWidget caller;
    desk->windowAnswers.push_back([&](QWidget& shown) {
        auto* w = qobject_cast<ReportDesignerWindow*>(&shown);
        EXPECT_NE(w, nullptr);
        if (!w)
            return false;
        EXPECT_EQ(w->parentWidget(), nullptr);
        EXPECT_EQ(w->model(), report.reportTemplate());
        EXPECT_EQ(w->fieldList()->count(), 4);
        EXPECT_EQ(w->session().openFolder, "in");
        EXPECT_EQ(w->session().saveFolder, "out");
        w->setSelection(DesignerSelection::ofObjects({{Detail, 0}}));
        QTest::keyClick(w->view(), Qt::Key_Delete);
        EXPECT_TRUE(w->saveTo(folder + "/one.xml"));
        return true;
    });
    ReportWindows::openDesigner(report, &data, "in", "out", &caller);
    EXPECT_EQ(desk->windows, QStringList{"ReportDesignerWindow"});
    EXPECT_EQ(report.templateFileName(), folder + "/one.xml");
    ASSERT_TRUE(report.reportTemplate().detail);
    EXPECT_EQ(report.reportTemplate().detail->objects.size(), 1u);

    // The window the program runs: modal over the whole application, back once it is closed.
    report.setTemplateFileName(QString());
    ReportDesignerWindow real(ReportWindows::designerSession(report, &data, folder, folder));
    bool seen = false;
    QTimer::singleShot(0, &real, [&] {
        seen = real.isVisible() && QApplication::activeModalWidget() == &real;
        real.close();
    });
    EXPECT_TRUE(makeQtDesktopServices()->runModal(real));
    EXPECT_TRUE(seen);
    EXPECT_FALSE(real.isVisible());
}

TEST_F(ReportDesignerTest, CaptionsFollowTheProgramsLanguage)
{
    Lang.fillFor(QLocale(QLocale::Russian, QLocale::Russia));
    open(TwoTexts);
    EXPECT_TRUE(window->windowTitle().contains(QString::fromUtf8("Дизайнер отчетов"))) << window->windowTitle().toStdString();
    EXPECT_EQ(window->action("save")->text(), QString::fromUtf8("Сохранить"));
    EXPECT_EQ(window->action("band.group")->text(), QString::fromUtf8("Группа"));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(Detail, 20, 4));
    QTest::keyClick(window->view(), Qt::Key_Delete);
    desk->answers = {DesktopServices::No};
    window->close();
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_EQ(desk->messages[0].text, QString::fromUtf8("Сохранить изменения в \"Без имени\"?"));
}

// A template with its own query: the Data panel lists what that query returns (again when the
// query changes, on New and on Open), a new group groups by a field of that list, and F5 shows
// the query's rows as the database holds them then, not the rows the designer was opened with.
TEST_F(ReportDesignerTest, ATemplatesOwnQueryGivesTheFieldsAndThePreviewItsRows)
{
    SqlConnection db;
    db.open(dir.path() + "/shop.db");
    db.execute("CREATE TABLE orders (customer TEXT, city TEXT, total REAL);"
               "INSERT INTO orders VALUES ('Ann', 'Oslo', 10), ('Bo', 'Rome', 20);");
    QStringList ran;
    ReportQueryRunner runQuery = [&](const QString& query, ReportDataset& into, bool columnsOnly, const SqlParams&) {
        ran << (columnsOnly ? "columns: " : "rows: ") + query;
        SqlStatement statement = db.prepare(query);
        if (!columnsOnly) {
            into.setResult(statement);
            return;
        }
        QStringList columns;
        for (int i = 0; i < statement.columnCount(); ++i)
            columns << statement.columnName(i);
        into.reset(columns);
    };
    auto fields = [this] {
        QStringList names;
        for (int i = 0; i < window->fieldList()->count(); ++i)
            names << window->fieldList()->item(i)->text();
        return names;
    };
    const QString query = "SELECT customer, city FROM orders ORDER BY customer";
    QDir().mkpath(folder);
    QFile withQuery(folder + "/orders.xml");
    ASSERT_TRUE(withQuery.open(QIODevice::WriteOnly));
    withQuery.write(("<report version=\"1\"><query>" + query + "</query><detail height=\"6\">"
                     "<text x=\"0\" y=\"0\" width=\"50\" height=\"6\">[Report.customer] of [Report.city]</text>"
                     "</detail></report>").toUtf8());
    withQuery.close();

    report.clear();
    window = std::make_unique<ReportDesignerWindow>(ReportWindows::designerSession(report, &data, folder, folder, runQuery));
    window->resize(1300, 900);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(fields(), QStringList({"product", "qty", "price", "country"}));
    EXPECT_TRUE(ran.isEmpty());

    // The query typed into the page's properties brings its fields; a group takes the picked one.
    writeQuery("SELECT customer, total FROM orders");
    EXPECT_EQ(fields(), QStringList({"customer", "total"}));
    EXPECT_EQ(ran, QStringList{"columns: SELECT customer, total FROM orders"});
    window->fieldList()->setCurrentRow(1);
    window->action(QStringLiteral("band.group"))->trigger();
    ASSERT_EQ(window->model().groups.size(), 1u);
    EXPECT_EQ(window->model().groups[0].expression, "[Report.total]");

    // Undone, the query is gone and the fields are the session's again.
    window->undoStack()->undo();
    window->undoStack()->undo();
    EXPECT_TRUE(window->model().query.isEmpty());
    EXPECT_EQ(fields(), QStringList({"product", "qty", "price", "country"}));

    // Open: the template's own query; F5 runs it anew and shows a row added since.
    desk->fileAnswers.push_back(withQuery.fileName());
    window->action(QStringLiteral("open"))->trigger();
    ASSERT_TRUE(desk->messages.empty()) << desk->texts().join('\n').toStdString();
    EXPECT_EQ(fields(), QStringList({"customer", "city"}));
    db.execute("INSERT INTO orders VALUES ('Cy', 'Bergen', 5)");
    bool seen[3] = {};
    int rows = -1;
    desk->windowAnswers.push_back([&](QWidget& shown) {
        auto* preview = qobject_cast<ReportPreview*>(&shown);
        if (!preview)
            return false;
        seen[0] = preview->findNext("Ann of Oslo");
        seen[1] = preview->findNext("Cy of Bergen");
        seen[2] = preview->findNext("Coffee");
        rows = int(window->data()->rowCount());
        return true;
    });
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F5);
    ASSERT_TRUE(desk->messages.empty()) << desk->texts().join('\n').toStdString();
    EXPECT_TRUE(seen[0]);
    EXPECT_TRUE(seen[1]);
    EXPECT_FALSE(seen[2]);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(ran.last(), "rows: " + query);

    // A query that fails says so under the fields and at F5; New goes back to the session's rows.
    writeQuery("SELECT nosuch FROM orders");
    EXPECT_TRUE(fields().isEmpty());
    auto* note = window->findChild<QLabel*>("fieldsNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().contains("nosuch")) << note->text().toStdString();
    QApplication::processEvents(); // the panel's new editors are shown by the event loop
    if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
        window->grab().save(qEnvironmentVariable("VARNEL_SCREENSHOTS") + QStringLiteral("/designer_query_fails.png"));
    QTest::keyClick(window.get(), Qt::Key_F5);
    ASSERT_EQ(desk->messages.size(), 1u);
    EXPECT_TRUE(desk->messages[0].text.contains("nosuch")) << desk->messages[0].text.toStdString();
    desk->answers = {DesktopServices::No};
    window->action(QStringLiteral("new"))->trigger();
    EXPECT_EQ(fields(), QStringList({"product", "qty", "price", "country"}));
}

namespace {

// A text, a line and a picture in the rows.
const QByteArray ThreeKinds = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
    <detail height="30">
        <text x="10" y="2" width="60" height="20">Hello</text>
        <line x="80" y="2" width="40" height="0"/>
        <picture x="130" y="2" width="30" height="20" file="logo.png"/>
    </detail>
</report>
)";

// Counts the times a widget is painted.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

// The rulers are drawn anew for the bands of the template begun or opened, and the top one
// counts from the sheet's left edge: its first long mark is where the sheet begins on screen.
TEST_F(ReportDesignerTest, TheRulersFollowTheTemplateAndCountFromTheSheetsEdge)
{
    open(TwoTexts);
    QApplication::processEvents();
    DesignerRuler* top = window->view()->topRuler();
    const QImage shot = top->grab().toImage();
    const int row = rulerPixels / 2 + 1; // only the long marks, every 10 mm, reach this row
    int firstMark = -1;
    for (int x = 0; x < shot.width() && firstMark < 0; ++x)
        if (qGray(shot.pixel(x, row)) < 100)
            firstMark = x;
    const QPoint sheetLeft =
        top->mapFromGlobal(viewport()->mapToGlobal(window->view()->viewPointOfScene(QPointF(0, 0))));
    EXPECT_NEAR(firstMark, sheetLeft.x(), 1);
    // The next mark is 10 mm on.
    int secondMark = -1;
    for (int x = firstMark + 3; x < shot.width() && secondMark < 0; ++x)
        if (qGray(shot.pixel(x, row)) < 100)
            secondMark = x;
    EXPECT_NEAR(secondMark - firstMark, 10 * window->view()->pixelsPerMm(), 1.5);

    PaintCounter left, across;
    window->view()->leftRuler()->installEventFilter(&left);
    top->installEventFilter(&across);
    QApplication::processEvents();
    left.paints = across.paints = 0;
    window->action(QStringLiteral("new"))->trigger();
    QApplication::processEvents();
    EXPECT_GT(left.paints, 0);
    EXPECT_GT(across.paints, 0);

    QDir().mkpath(folder);
    QFile other(folder + "/other.xml");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write(ThreeKinds);
    other.close();
    left.paints = 0;
    desk->fileAnswers.push_back(other.fileName());
    window->action(QStringLiteral("open"))->trigger();
    QApplication::processEvents();
    EXPECT_GT(left.paints, 0);
}

// At the size it opens with, the property panel shows every caption whole and every "..."
// button inside its view, in English and in Russian.
TEST_F(ReportDesignerTest, AtItsDefaultSizeThePanelShowsEveryCaptionAndButtonInBothLanguages)
{
    for (const bool russian : {false, true}) {
        SCOPED_TRACE(russian ? "Russian" : "English");
        if (russian)
            Lang.fillRussian();
        else
            Lang.fillEnglish();
        report.loadTemplateText(QString::fromUtf8(ThreeKinds));
        report.setTemplateFileName(QString());
        window = std::make_unique<ReportDesignerWindow>(ReportWindows::designerSession(report, &data, folder, folder));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        auto* scroll = qobject_cast<QScrollArea*>(window->findChild<QDockWidget*>("propertiesDock")->widget());
        ASSERT_NE(scroll, nullptr);
        const std::vector<DesignerSelection> selections = {
            DesignerSelection(), DesignerSelection::ofObjects({{Detail, 0}}), DesignerSelection::ofObjects({{Detail, 2}})};
        for (const DesignerSelection& selection : selections) {
            window->setSelection(selection);
            QApplication::processEvents();
            const QRect room = scroll->viewport()->rect();
            int buttons = 0;
            for (QToolButton* button : window->properties()->findChildren<QToolButton*>()) {
                if (!button->isVisibleTo(window.get()))
                    continue;
                ++buttons;
                const QRect at(button->mapTo(scroll->viewport(), QPoint(0, 0)), button->size());
                EXPECT_LE(at.right(), room.right()) << button->objectName().toStdString();
            }
            EXPECT_GT(buttons, 0);
            for (QLabel* label : window->properties()->findChildren<QLabel*>()) {
                if (!label->isVisibleTo(window.get()) || label->text().isEmpty())
                    continue;
                EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
                const QRect at(label->mapTo(scroll->viewport(), QPoint(0, 0)), label->size());
                EXPECT_LE(at.right(), room.right()) << label->text().toStdString();
            }
        }
        window->setSelection(DesignerSelection::ofObjects({{Detail, 0}}));
        QApplication::processEvents();
        if (qEnvironmentVariableIsSet("VARNEL_SCREENSHOTS"))
            window->grab().save(qEnvironmentVariable("VARNEL_SCREENSHOTS")
                                + (russian ? QStringLiteral("/designer_ru.png") : QStringLiteral("/designer_en.png")));
    }
}

// The query is written in a multi-line editor (the "..." or a double-click on the line) and
// kept with its lines; the line in the panel shows it on one line.
TEST_F(ReportDesignerTest, TheQueryIsWrittenInAMultiLineSqlEditor)
{
    open(TwoTexts);
    const QString query = "SELECT name,\n       city\nFROM customers -- all of them\nORDER BY name";
    writeQuery(query);
    EXPECT_EQ(window->model().query, query);
    ASSERT_EQ(desk->windows, QStringList{"ReportQueryEditor"});
    auto* line = editor<QLineEdit>("query");
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isReadOnly());
    EXPECT_EQ(line->text(), "SELECT name, city FROM customers -- all of them ORDER BY name");

    // A double-click on the line opens the editor on the query as it is; Cancel keeps it.
    QString shown;
    desk->windowAnswers.push_back([&shown](QWidget& editorWindow) {
        shown = editorWindow.findChild<QPlainTextEdit*>("sql")->toPlainText();
        editorWindow.findChild<QPlainTextEdit*>("sql")->setPlainText("SELECT 1");
        return false;
    });
    QTest::mouseDClick(line, Qt::LeftButton);
    EXPECT_EQ(shown, query);
    EXPECT_EQ(window->model().query, query);
    window->undoStack()->undo();
    EXPECT_TRUE(window->model().query.isEmpty());
}

// A picture's file is chosen in the file dialog, which starts in the project folder; a file
// inside the project is kept by its path from there, one elsewhere by its whole path.
TEST_F(ReportDesignerTest, APicturesFileIsChosenWithTheFileDialog)
{
    const QString project = dir.path() + "/project/";
    QDir().mkpath(project + "pics");
    setExeFolder(project);
    struct Back {
        ~Back() { setExeFolder(QString()); }
    } back;
    open(ThreeKinds);
    window->setSelection(DesignerSelection::ofObjects({{Detail, 2}}));
    auto* browse = window->properties()->findChild<QToolButton*>("file-button");
    ASSERT_NE(browse, nullptr);
    desk->fileAnswers = {project + "pics/logo 2.png", dir.path() + "/elsewhere.png", QString()};
    browse->click();
    ASSERT_EQ(desk->dialogs.size(), 1u);
    EXPECT_FALSE(desk->dialogs[0].save);
    EXPECT_EQ(QDir(desk->dialogs[0].request.folder).absolutePath(), QDir(project).absolutePath());
    EXPECT_TRUE(desk->dialogs[0].request.filter.contains("*.png"));
    EXPECT_EQ(object(Detail, 2).file, "pics/logo 2.png");
    browse->click();
    EXPECT_EQ(QDir(desk->dialogs[1].request.folder).absolutePath(), QDir(project + "pics").absolutePath());
    EXPECT_EQ(object(Detail, 2).file, dir.path() + "/elsewhere.png");
    browse->click(); // cancelled
    EXPECT_EQ(object(Detail, 2).file, dir.path() + "/elsewhere.png");
}

// A text takes the size its text needs, one undoable step; other kinds are left alone, and
// the command is there only when a text is chosen.
TEST_F(ReportDesignerTest, ATextIsSizedToItsContent)
{
    open(ThreeKinds);
    QAction* fit = window->action(QStringLiteral("fitToContent"));
    ASSERT_NE(fit, nullptr);
    window->setSelection(DesignerSelection::ofObjects({{Detail, 1}}));
    EXPECT_FALSE(fit->isEnabled());
    window->setSelection(DesignerSelection::ofObjects({{Detail, 0}, {Detail, 1}}));
    ASSERT_TRUE(fit->isEnabled());
    const QRectF line = object(Detail, 1).rect;
    fit->trigger();
    const QRectF one = object(Detail, 0).rect;
    EXPECT_EQ(one.topLeft(), QPointF(10, 2));
    EXPECT_GT(one.width(), 5);
    EXPECT_LT(one.width(), 15);
    EXPECT_GT(one.height(), 3.5);
    EXPECT_LT(one.height(), 6);
    EXPECT_EQ(object(Detail, 1).rect, line);
    // The text fits: the filler needs no more height than the box has.
    const ReportObject& text = object(Detail, 0);
    EXPECT_LE(textHeight(text.text, text.style, reportFont(text.style.font), one.width()), one.height() + 1e-6);

    // Two lines, the longer one wider: twice the height, the longer line's width.
    window->setSelection(DesignerSelection::ofObjects({{Detail, 0}}));
    window->document().setObjectText({Detail, 0}, "Hi\nHello, world");
    fit->trigger();
    const QRectF two = object(Detail, 0).rect;
    EXPECT_NEAR(two.height() / one.height(), 2, 0.25);
    EXPECT_GT(two.width(), one.width() * 1.8);
    window->undoStack()->undo();
    EXPECT_EQ(object(Detail, 0).rect, one);
}

// The expression editor names each system value once, in the program's language.
TEST_F(ReportDesignerTest, TheExpressionEditorNamesTheSystemValuesOnce)
{
    const struct {
        bool russian;
        QStringList texts;
    } cases[] = {
        {false, {"Page \u2014 Current page number", "TotalPages \u2014 Page count", "Date \u2014 Current date",
                 "Time \u2014 Current time", "Line \u2014 Row number"}},
        {true, {QString::fromUtf8("Page \u2014 Номер текущей страницы"), QString::fromUtf8("TotalPages \u2014 Число страниц"),
                QString::fromUtf8("Date \u2014 Текущая дата"), QString::fromUtf8("Time \u2014 Текущее время"),
                QString::fromUtf8("Line \u2014 Номер строки")}},
    };
    for (const auto& c : cases) {
        if (c.russian)
            Lang.fillRussian();
        ReportExpressionEditor editorWindow("", true, &data, {});
        QStringList texts;
        for (int i = 0; i < editorWindow.systemValues()->count(); ++i)
            texts << editorWindow.systemValues()->item(i)->text();
        EXPECT_EQ(texts, c.texts);
        Lang.fillEnglish();
    }
}

