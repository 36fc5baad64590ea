#include "report/report_designer_window.h"

#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "report/report.h"
#include "report/report_dataset.h"
#include "report/report_designer_panels.h"
#include "report/report_designer_texts.h"
#include "report/report_designer_view.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

// Objects copied stay available to every designer window of the run.
std::vector<ReportObject>& clipboard()
{
    static std::vector<ReportObject> objects;
    return objects;
}

QStringList& recent()
{
    static QStringList files;
    return files;
}

constexpr int recentLimit = 8;
constexpr int moveMerge = 1, resizeMerge = 2, propertyMerge = 100;

template <class Draw>
QIcon drawnIcon(Draw draw)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    p.setPen(QPen(QColor(40, 60, 100), 1.2));
    draw(p);
    return QIcon(pixmap);
}

QIcon toolIcon(ReportDesignerWindow::Tool tool)
{
    using Tool = ReportDesignerWindow::Tool;
    return drawnIcon([tool](QPainter& p) {
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        switch (tool) {
        case Tool::Pointer: {
            const QPointF arrow[] = {{4, 2}, {4, 13}, {7, 10}, {9.5, 14.5}, {11, 13.8}, {8.7, 9.5}, {12, 9.5}};
            p.setBrush(Qt::white);
            p.drawPolygon(arrow, 7);
            break;
        }
        case Tool::Text: p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("A")); break;
        case Tool::Field:
            f.setPixelSize(9);
            p.setFont(f);
            p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("[ab]"));
            break;
        case Tool::Line: p.drawLine(QPointF(2, 13), QPointF(14, 3)); break;
        case Tool::Rectangle: p.drawRect(QRectF(2.5, 4.5, 11, 8)); break;
        case Tool::Picture: {
            p.drawRect(QRectF(2.5, 3.5, 11, 9));
            const QPointF hill[] = {{3, 12}, {7, 7}, {9.5, 10}, {11, 8.5}, {13, 12}};
            p.setBrush(QColor(120, 170, 120));
            p.drawPolygon(hill, 5);
            break;
        }
        case Tool::CheckBox:
            p.drawRect(QRectF(3.5, 3.5, 9, 9));
            p.drawPolyline(QPolygonF({{5.5, 8}, {7.5, 10.5}, {11, 5}}));
            break;
        }
    });
}

QIcon alignIcon(AlignEdge edge)
{
    return drawnIcon([edge](QPainter& p) {
        p.setBrush(QColor(170, 190, 230));
        switch (edge) {
        case AlignEdge::Left:
            p.drawLine(QPointF(2, 1), QPointF(2, 15));
            p.drawRect(QRectF(3, 3, 10, 4));
            p.drawRect(QRectF(3, 9, 6, 4));
            break;
        case AlignEdge::Right:
            p.drawLine(QPointF(14, 1), QPointF(14, 15));
            p.drawRect(QRectF(3, 3, 10, 4));
            p.drawRect(QRectF(7, 9, 6, 4));
            break;
        case AlignEdge::Top:
            p.drawLine(QPointF(1, 2), QPointF(15, 2));
            p.drawRect(QRectF(3, 3, 4, 10));
            p.drawRect(QRectF(9, 3, 4, 6));
            break;
        case AlignEdge::Bottom:
            p.drawLine(QPointF(1, 14), QPointF(15, 14));
            p.drawRect(QRectF(3, 3, 4, 10));
            p.drawRect(QRectF(9, 7, 4, 6));
            break;
        case AlignEdge::Width:
            p.drawRect(QRectF(3, 2, 10, 4));
            p.drawRect(QRectF(3, 10, 10, 4));
            break;
        case AlignEdge::Height:
            p.drawRect(QRectF(2, 3, 4, 10));
            p.drawRect(QRectF(10, 3, 4, 10));
            break;
        }
    });
}

QIcon stackIcon(bool front)
{
    return drawnIcon([front](QPainter& p) {
        const QRectF back(2, 2, 8, 8), top(6, 6, 8, 8);
        p.setBrush(front ? QColor(230, 230, 230) : QColor(170, 190, 230));
        p.drawRect(front ? back : top);
        p.setBrush(front ? QColor(170, 190, 230) : QColor(230, 230, 230));
        p.drawRect(front ? top : back);
    });
}

QString templateFilter()
{
    return designerText("Report templates") + QStringLiteral("|*.xml|") + designerText("All files") + QStringLiteral("|*");
}

} // namespace

// One change of the template: the whole template before and after (templates are small), and
// the selection on either side so that undo shows what it undid.
class ReportDesignerWindow::Command : public QUndoCommand {
public:
    Command(ReportDesignerWindow& window, ReportTemplate before, ReportTemplate after, DesignerSelection selBefore,
            DesignerSelection selAfter, const QString& text, int mergeKey, int epoch)
        : QUndoCommand(text), m_window(window), m_before(std::move(before)), m_after(std::move(after)),
          m_selBefore(std::move(selBefore)), m_selAfter(std::move(selAfter)), m_mergeKey(mergeKey), m_epoch(epoch)
    {
    }
    void undo() override { m_window.restore(m_before, m_selBefore); }
    void redo() override { m_window.restore(m_after, m_selAfter); }
    int id() const override { return m_mergeKey == 0 ? -1 : m_mergeKey; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const Command*>(other);
        if (next->m_epoch != m_epoch || !(next->m_selBefore == m_selAfter))
            return false;
        m_after = next->m_after;
        m_selAfter = next->m_selAfter;
        return true;
    }

private:
    ReportDesignerWindow& m_window;
    ReportTemplate m_before, m_after;
    DesignerSelection m_selBefore, m_selAfter;
    int m_mergeKey;
    int m_epoch;
};

ReportDesignerWindow::ReportDesignerWindow(Report& report, ReportDataset* adapter, QString openFolder,
                                           QString saveFolder)
    : QMainWindow(nullptr), m_report(report),
      m_adapter(adapter ? adapter : (report.datasets().empty() ? nullptr : report.datasets().back())),
      m_openFolder(std::move(openFolder)), m_saveFolder(std::move(saveFolder)), m_template(report.reportTemplate()),
      m_fileName(report.templateFileName())
{
    setObjectName(QStringLiteral("ReportDesigner"));
    // An empty report gets the bands nearly every report has, so that fields have somewhere
    // to go; that is where the author starts, not a change.
    if (m_template.isEmpty()) {
        addBand(m_template, BandKind::PageHeader);
        addBand(m_template, BandKind::Detail);
        addBand(m_template, BandKind::PageFooter);
    }
    m_undo = new QUndoStack(this);
    m_scene = new DesignerScene(this);
    m_view = new DesignerView(*this, m_scene);
    setCentralWidget(m_view);
    buildActions();
    buildMenus();
    buildToolBars();
    buildDocks();
    m_status = new QLabel(this);
    statusBar()->addWidget(m_status, 1);
    connect(m_undo, &QUndoStack::cleanChanged, this, [this] { guarded([&] { updateTitle(); }); });

    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 1024);
    resize(std::min(1280, screen.width() * 9 / 10), std::min(900, screen.height() * 9 / 10));
    setSnap(true, 1);
    refresh();
}

ReportDesignerWindow::~ReportDesignerWindow()
{
    // The stack's commands refer to this window; they go first.
    m_undo->clear();
}

QAction* ReportDesignerWindow::addAction(const QString& key, const QString& text, const QKeySequence& shortcut,
                                         std::function<void()> work)
{
    auto* action = new QAction(text, this);
    action->setObjectName(key);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [work] { guarded(work); });
    QMainWindow::addAction(action);
    m_actions.insert(key, action);
    return action;
}

void ReportDesignerWindow::buildActions()
{
    QStyle* s = style();
    addAction(QStringLiteral("new"), designerText("New"), QKeySequence::New, [this] { newTemplate(); })
        ->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    addAction(QStringLiteral("open"), designerText("Open..."), QKeySequence::Open, [this] { openTemplate(); })
        ->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    addAction(QStringLiteral("save"), designerText("Save"), QKeySequence::Save, [this] { save(); })
        ->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
    addAction(QStringLiteral("saveAs"), designerText("Save as..."), QKeySequence::SaveAs, [this] { saveAs(); });
    addAction(QStringLiteral("preview"), designerText("Preview"), QKeySequence(Qt::Key_F5), [this] { preview(); })
        ->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
    addAction(QStringLiteral("close"), designerText("Close"), QKeySequence(), [this] { close(); });

    QAction* undo = m_undo->createUndoAction(this, designerText("Undo"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setIcon(s->standardIcon(QStyle::SP_ArrowBack));
    m_actions.insert(QStringLiteral("undo"), undo);
    QMainWindow::addAction(undo);
    QAction* redo = m_undo->createRedoAction(this, designerText("Redo"));
    redo->setShortcuts({QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redo->setIcon(s->standardIcon(QStyle::SP_ArrowForward));
    m_actions.insert(QStringLiteral("redo"), redo);
    QMainWindow::addAction(redo);

    addAction(QStringLiteral("cut"), designerText("Cut"), QKeySequence::Cut, [this] { cutSelection(); });
    addAction(QStringLiteral("copy"), designerText("Copy"), QKeySequence::Copy, [this] { copySelection(); });
    addAction(QStringLiteral("paste"), designerText("Paste"), QKeySequence::Paste, [this] { paste(); });
    addAction(QStringLiteral("delete"), designerText("Delete"), QKeySequence::Delete, [this] { deleteSelection(); })
        ->setIcon(s->standardIcon(QStyle::SP_TrashIcon));
    addAction(QStringLiteral("selectAll"), designerText("Select all"), QKeySequence::SelectAll, [this] { selectAll(); });

    m_tools = new QActionGroup(this);
    const struct {
        const char* key;
        const char* text;
        Tool tool;
    } tools[] = {{"tool.pointer", "Pointer", Tool::Pointer}, {"tool.text", "Text", Tool::Text},
                 {"tool.field", "Field", Tool::Field},       {"tool.line", "Line", Tool::Line},
                 {"tool.rectangle", "Rectangle", Tool::Rectangle}, {"tool.picture", "Picture", Tool::Picture},
                 {"tool.checkbox", "Check box", Tool::CheckBox}};
    for (const auto& t : tools) {
        const Tool tool = t.tool;
        QAction* a = addAction(QString::fromLatin1(t.key), designerText(t.text), QKeySequence(), [this, tool] { setTool(tool); });
        a->setCheckable(true);
        a->setIcon(toolIcon(tool));
        m_tools->addAction(a);
    }
    m_actions.value(QStringLiteral("tool.pointer"))->setChecked(true);

    const struct {
        const char* key;
        const char* text;
        AlignEdge edge;
    } aligns[] = {{"alignLeft", "Align left", AlignEdge::Left},       {"alignRight", "Align right", AlignEdge::Right},
                  {"alignTop", "Align top", AlignEdge::Top},          {"alignBottom", "Align bottom", AlignEdge::Bottom},
                  {"sameWidth", "Same width", AlignEdge::Width},      {"sameHeight", "Same height", AlignEdge::Height}};
    for (const auto& a : aligns) {
        const AlignEdge edge = a.edge;
        addAction(QString::fromLatin1(a.key), designerText(a.text), QKeySequence(), [this, edge] { align(edge); })
            ->setIcon(alignIcon(edge));
    }
    addAction(QStringLiteral("front"), designerText("Bring to front"), QKeySequence(Qt::CTRL | Qt::Key_BracketRight),
              [this] { restackSelection(true); })
        ->setIcon(stackIcon(true));
    addAction(QStringLiteral("back"), designerText("Send to back"), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
              [this] { restackSelection(false); })
        ->setIcon(stackIcon(false));

    const struct {
        const char* key;
        const char* text;
        BandKind kind;
    } bands[] = {{"band.title", "Report title", BandKind::ReportTitle}, {"band.pageHeader", "Page header", BandKind::PageHeader},
                 {"band.detail", "Detail", BandKind::Detail},           {"band.pageFooter", "Page footer", BandKind::PageFooter},
                 {"band.summary", "Summary", BandKind::Summary}};
    for (const auto& b : bands) {
        const BandKind kind = b.kind;
        addAction(QString::fromLatin1(b.key), designerText(b.text), QKeySequence(), [this, kind] { addBandOfKind(kind); });
    }
    addAction(QStringLiteral("band.group"), designerText("Group"), QKeySequence(), [this] { addGroup(); });
    addAction(QStringLiteral("band.groupHeader"), designerText("Group header"), QKeySequence(),
              [this] { addBandOfKind(BandKind::GroupHeader); });
    addAction(QStringLiteral("band.groupFooter"), designerText("Group footer"), QKeySequence(),
              [this] { addBandOfKind(BandKind::GroupFooter); });
    addAction(QStringLiteral("band.remove"), designerText("Remove band"), QKeySequence(), [this] { removeSelectedBand(); });

    addAction(QStringLiteral("zoomIn"), designerText("Zoom") + QStringLiteral(" +"), QKeySequence::ZoomIn,
              [this] { m_zoomBox->setCurrentText(QString::number(m_view->zoom() + 25) + u'%'); m_view->setZoom(m_view->zoom() + 25); });
    addAction(QStringLiteral("zoomOut"), designerText("Zoom") + QStringLiteral(" -"), QKeySequence::ZoomOut,
              [this] { m_zoomBox->setCurrentText(QString::number(m_view->zoom() - 25) + u'%'); m_view->setZoom(m_view->zoom() - 25); });
}

void ReportDesignerWindow::buildMenus()
{
    auto add = [this](QMenu* menu, std::initializer_list<const char*> keys) {
        for (const char* key : keys) {
            if (!*key)
                menu->addSeparator();
            else
                menu->addAction(m_actions.value(QString::fromLatin1(key)));
        }
    };
    QMenu* file = menuBar()->addMenu(designerText("&File"));
    add(file, {"new", "open"});
    m_recentMenu = file->addMenu(designerText("Recent files"));
    m_recentMenu->setObjectName(QStringLiteral("recent"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, [this] { guarded([&] { fillRecentMenu(); }); });
    add(file, {"save", "saveAs", "", "preview", "", "close"});
    add(menuBar()->addMenu(designerText("&Edit")),
        {"undo", "redo", "", "cut", "copy", "paste", "delete", "", "selectAll"});
    add(menuBar()->addMenu(designerText("&Insert")),
        {"tool.pointer", "tool.text", "tool.field", "tool.line", "tool.rectangle", "tool.picture", "tool.checkbox"});
    add(menuBar()->addMenu(designerText("&Bands")),
        {"band.title", "band.pageHeader", "band.group", "band.groupHeader", "band.groupFooter", "band.detail",
         "band.pageFooter", "band.summary", "", "band.remove"});
    add(menuBar()->addMenu(designerText("F&ormat")),
        {"alignLeft", "alignRight", "alignTop", "alignBottom", "", "sameWidth", "sameHeight", "", "front", "back"});
    add(menuBar()->addMenu(designerText("&View")), {"zoomIn", "zoomOut"});
}

void ReportDesignerWindow::buildToolBars()
{
    QToolBar* main = addToolBar(designerText("&File"));
    main->setObjectName(QStringLiteral("fileBar"));
    for (const char* key : {"new", "open", "save", "", "undo", "redo", "", "delete", "", "preview"}) {
        if (!*key)
            main->addSeparator();
        else
            main->addAction(m_actions.value(QString::fromLatin1(key)));
    }
    main->addSeparator();
    main->addWidget(new QLabel(designerText("Zoom") + QStringLiteral(" "), main));
    m_zoomBox = new QComboBox(main);
    m_zoomBox->setObjectName(QStringLiteral("zoom"));
    m_zoomBox->setEditable(true);
    for (int z : {50, 75, 100, 125, 150, 200, 300, 400})
        m_zoomBox->addItem(QString::number(z) + u'%');
    m_zoomBox->setCurrentText(QStringLiteral("100%"));
    main->addWidget(m_zoomBox);
    auto applyZoom = [this] {
        guarded([&] {
            const int percent = m_zoomBox->currentText().remove(u'%').trimmed().toInt();
            if (percent > 0)
                m_view->setZoom(percent);
        });
    };
    connect(m_zoomBox, &QComboBox::activated, this, applyZoom);
    connect(m_zoomBox->lineEdit(), &QLineEdit::editingFinished, this, applyZoom);
    main->addSeparator();
    m_snapBox = new QCheckBox(designerText("Snap to grid"), main);
    m_snapBox->setObjectName(QStringLiteral("snap"));
    main->addWidget(m_snapBox);
    main->addWidget(new QLabel(QStringLiteral(" ") + designerText("Grid, mm") + QStringLiteral(" "), main));
    m_gridBox = new QDoubleSpinBox(main);
    m_gridBox->setObjectName(QStringLiteral("grid"));
    m_gridBox->setRange(0.5, 20);
    m_gridBox->setSingleStep(0.5);
    m_gridBox->setDecimals(1);
    main->addWidget(m_gridBox);
    auto applyGrid = [this] { guarded([&] { m_scene->setGrid(m_snapBox->isChecked(), m_gridBox->value()); }); };
    connect(m_snapBox, &QCheckBox::toggled, this, applyGrid);
    connect(m_gridBox, &QDoubleSpinBox::valueChanged, this, applyGrid);

    addToolBarBreak();
    QToolBar* objects = addToolBar(designerText("&Insert"));
    objects->setObjectName(QStringLiteral("objectBar"));
    objects->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction* a : m_tools->actions())
        objects->addAction(a);
    QToolBar* format = addToolBar(designerText("F&ormat"));
    format->setObjectName(QStringLiteral("formatBar"));
    for (const char* key : {"alignLeft", "alignRight", "alignTop", "alignBottom", "sameWidth", "sameHeight", "front", "back"})
        format->addAction(m_actions.value(QString::fromLatin1(key)));
}

void ReportDesignerWindow::buildDocks()
{
    auto* data = new QDockWidget(designerText("Data"), this);
    data->setObjectName(QStringLiteral("dataDock"));
    data->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto* dataBox = new QWidget(data);
    auto* dataLayout = new QVBoxLayout(dataBox);
    dataLayout->setContentsMargins(4, 4, 4, 4);
    const QString dataset = m_adapter ? m_adapter->userName() : QStringLiteral("Report");
    auto* caption = new QLabel(designerText("Fields of \"%1\"").arg(dataset), dataBox);
    dataLayout->addWidget(caption);
    m_fields = new DesignerFieldList(dataBox);
    m_fields->setObjectName(QStringLiteral("fields"));
    m_fields->setData(m_adapter);
    dataLayout->addWidget(m_fields, 1);
    if (!m_adapter || m_adapter->columnCount() == 0) {
        auto* none = new QLabel(designerText("No rows: run a report with a query first."), dataBox);
        none->setWordWrap(true);
        dataLayout->addWidget(none);
    }
    data->setWidget(dataBox);
    addDockWidget(Qt::LeftDockWidgetArea, data);

    auto* properties = new QDockWidget(designerText("Properties"), this);
    properties->setObjectName(QStringLiteral("propertiesDock"));
    properties->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto* scroll = new QScrollArea(properties);
    scroll->setWidgetResizable(true);
    m_properties = new DesignerPropertyPanel(scroll);
    scroll->setWidget(m_properties);
    properties->setWidget(scroll);
    addDockWidget(Qt::RightDockWidgetArea, properties);
    resizeDocks({data, properties}, {170, 290}, Qt::Horizontal);
    connect(m_properties, &DesignerPropertyPanel::edited, this,
            [this](const QString& key, const QVariant& value) { guarded([&] { setProperty(key, value); }); });
    connect(m_properties, &DesignerPropertyPanel::expressionRequested, this,
            [this](const QString& key) { guarded([&] { editExpression(key); }); });
}

// ---------------------------------------------------------------- state

void ReportDesignerWindow::setSelection(const DesignerSelection& selection)
{
    const DesignerSelection valid = validSelection(m_template, selection);
    if (valid == m_selection)
        return;
    m_selection = valid;
    ++m_selectionEpoch;
    refresh();
}

void ReportDesignerWindow::change(const ReportTemplate& after, const QString& what,
                                  const DesignerSelection& selectionAfter, int mergeKey)
{
    if (after == m_template) {
        setSelection(selectionAfter);
        return;
    }
    m_undo->push(new Command(*this, m_template, after, m_selection, validSelection(after, selectionAfter), what,
                             mergeKey, m_selectionEpoch));
}

void ReportDesignerWindow::restore(const ReportTemplate& t, const DesignerSelection& selection)
{
    m_template = t;
    m_selection = validSelection(t, selection);
    refresh();
}

void ReportDesignerWindow::showDraft(const ReportTemplate& draft, const DesignerSelection& selection)
{
    m_scene->show(draft, validSelection(draft, selection));
}

bool ReportDesignerWindow::isModified() const
{
    return !m_undo->isClean();
}

void ReportDesignerWindow::refresh()
{
    m_scene->show(m_template, m_selection);
    m_properties->show(m_template, m_selection);
    refreshActions();
    updateTitle();
    if (m_selection.objects.size() == 1) {
        const QRectF r = findObject(m_template, m_selection.objects.front())->rect;
        m_status->setText(QStringLiteral("%1: x %2, y %3, %4 \u00d7 %5 mm")
                              .arg(bandTitle(m_template, m_selection.objects.front().band))
                              .arg(r.x(), 0, 'f', 1).arg(r.y(), 0, 'f', 1).arg(r.width(), 0, 'f', 1).arg(r.height(), 0, 'f', 1));
    } else if (!m_selection.objects.empty()) {
        m_status->setText(designerText("Objects: %1").arg(m_selection.objects.size()));
    } else {
        m_status->clear();
    }
}

void ReportDesignerWindow::refreshActions()
{
    const size_t objects = m_selection.objects.size();
    for (const char* key : {"cut", "copy", "delete", "front", "back"})
        m_actions.value(QString::fromLatin1(key))->setEnabled(objects > 0);
    for (const char* key : {"alignLeft", "alignRight", "alignTop", "alignBottom", "sameWidth", "sameHeight"})
        m_actions.value(QString::fromLatin1(key))->setEnabled(objects > 1);
    m_actions.value(QStringLiteral("paste"))->setEnabled(!clipboard().empty());
    m_actions.value(QStringLiteral("band.remove"))->setEnabled(m_selection.band.has_value());
    m_actions.value(QStringLiteral("band.title"))->setEnabled(!m_template.title);
    m_actions.value(QStringLiteral("band.pageHeader"))->setEnabled(!m_template.pageHeader);
    m_actions.value(QStringLiteral("band.detail"))->setEnabled(!m_template.detail);
    m_actions.value(QStringLiteral("band.pageFooter"))->setEnabled(!m_template.pageFooter);
    m_actions.value(QStringLiteral("band.summary"))->setEnabled(!m_template.summary);
    const std::optional<BandRef> band = targetBand();
    const ReportGroup* group = band && band->group >= 0 && band->group < int(m_template.groups.size())
                                   ? &m_template.groups[size_t(band->group)]
                                   : nullptr;
    m_actions.value(QStringLiteral("band.groupHeader"))->setEnabled(group && !group->header);
    m_actions.value(QStringLiteral("band.groupFooter"))->setEnabled(group && !group->footer);
}

void ReportDesignerWindow::updateTitle()
{
    const QString name = m_fileName.isEmpty() ? designerText("Untitled") : QFileInfo(m_fileName).fileName();
    setWindowTitle(name + QStringLiteral("[*] - ") + designerText("Report designer"));
    setWindowModified(isModified());
}

void ReportDesignerWindow::error(const QString& text)
{
    desktop().message(this, designerText("Error"), text, DesktopServices::Icon::Information, DesktopServices::Ok);
}

std::optional<BandRef> ReportDesignerWindow::targetBand() const
{
    if (m_selection.band)
        return m_selection.band;
    if (!m_selection.objects.empty())
        return m_selection.objects.front().band;
    return std::nullopt;
}

// ---------------------------------------------------------------- files

void ReportDesignerWindow::startDocument(const ReportTemplate& t, const QString& fileName)
{
    m_template = t;
    m_fileName = fileName;
    m_selection = {};
    ++m_selectionEpoch;
    m_undo->clear();
    refresh();
    m_view->scrollToStart();
}

bool ReportDesignerWindow::maybeSave()
{
    if (!isModified())
        return true;
    const QString name = m_fileName.isEmpty() ? designerText("Untitled") : QFileInfo(m_fileName).fileName();
    const DesktopServices::Button answer =
        desktop().message(this, designerText("Report designer"), designerText("Save the changes to \"%1\"?").arg(name),
                          DesktopServices::Icon::Question, DesktopServices::Yes | DesktopServices::No | DesktopServices::Cancel);
    if (answer == DesktopServices::Yes)
        return save();
    return answer == DesktopServices::No;
}

void ReportDesignerWindow::newTemplate()
{
    if (!maybeSave())
        return;
    ReportTemplate t;
    addBand(t, BandKind::PageHeader);
    addBand(t, BandKind::Detail);
    addBand(t, BandKind::PageFooter);
    m_report.clear();
    m_report.setTemplateFileName(QString());
    startDocument(t, QString());
}

void ReportDesignerWindow::openTemplate()
{
    if (!maybeSave())
        return;
    DesktopServices::FileDialog dialog;
    dialog.parent = this;
    dialog.title = designerText("Open a report template");
    dialog.filter = templateFilter();
    dialog.defaultExt = QStringLiteral("xml");
    dialog.folder = m_openFolder;
    const QString path = desktop().openFileName(dialog);
    if (!path.isEmpty())
        openFile(path);
}

bool ReportDesignerWindow::openFile(const QString& path)
{
    ReportTemplate t;
    try {
        t = ReportTemplateFormat::readFile(path);
    } catch (const VarnelError& e) {
        error(designerText("The template is not opened: %1").arg(e.message()));
        return false;
    }
    m_report.reportTemplate() = t;
    m_report.setTemplateFileName(path);
    rememberRecent(path);
    startDocument(t, path);
    return true;
}

bool ReportDesignerWindow::save()
{
    return m_fileName.isEmpty() ? saveAs() : saveTo(m_fileName);
}

bool ReportDesignerWindow::saveAs()
{
    DesktopServices::FileDialog dialog;
    dialog.parent = this;
    dialog.title = designerText("Save the report template");
    dialog.filter = templateFilter();
    dialog.defaultExt = QStringLiteral("xml");
    dialog.folder = m_saveFolder;
    dialog.fileName = m_fileName.isEmpty() ? (m_template.name.isEmpty() ? QStringLiteral("report") : m_template.name)
                                                 + QStringLiteral(".xml")
                                           : QFileInfo(m_fileName).fileName();
    QString path = desktop().saveFileName(dialog);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xml");
    return saveTo(path);
}

bool ReportDesignerWindow::saveTo(const QString& path)
{
    const QByteArray bytes = ReportTemplateFormat::write(m_template);
    // What the engine would refuse to read is not written: the author hears why now.
    try {
        ReportTemplateFormat::read(bytes, QFileInfo(path).fileName());
    } catch (const VarnelError& e) {
        error(designerText("The template is not saved: %1").arg(e.message()));
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error(designerText("The template is not saved: %1").arg(path + QStringLiteral(": ") + file.errorString()));
        return false;
    }
    m_fileName = path;
    m_report.reportTemplate() = m_template;
    m_report.setTemplateFileName(path);
    m_undo->setClean();
    rememberRecent(path);
    updateTitle();
    return true;
}

QStringList ReportDesignerWindow::recentFiles()
{
    return recent();
}

void ReportDesignerWindow::rememberRecent(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recent().removeAll(absolute);
    recent().prepend(absolute);
    while (recent().size() > recentLimit)
        recent().removeLast();
    fillRecentMenu();
}

void ReportDesignerWindow::fillRecentMenu()
{
    m_recentMenu->clear();
    for (const QString& path : recent()) {
        QAction* a = m_recentMenu->addAction(QDir::toNativeSeparators(path));
        connect(a, &QAction::triggered, this, [this, path] {
            guarded([&] {
                if (maybeSave())
                    openFile(path);
            });
        });
    }
    m_recentMenu->setEnabled(!recent().isEmpty());
}

void ReportDesignerWindow::preview()
{
    Report report;
    report.reportTemplate() = m_template;
    report.setTemplateFileName(m_fileName);
    if (m_adapter)
        report.addDataset(m_adapter);
    try {
        report.show(true, this);
    } catch (const VarnelError& e) {
        error(designerText("The report cannot be shown: %1").arg(e.message()));
    }
}

void ReportDesignerWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    guarded([&] {
        if (m_view->inPlaceEditor())
            m_view->finishInPlaceEdit(true);
        if (!maybeSave())
            return;
        event->accept();
        emit closed();
    });
}

// ---------------------------------------------------------------- editing

void ReportDesignerWindow::setTool(Tool tool)
{
    m_tool = tool;
    const char* keys[] = {"tool.pointer", "tool.text", "tool.field", "tool.line", "tool.rectangle", "tool.picture", "tool.checkbox"};
    m_actions.value(QString::fromLatin1(keys[int(tool)]))->setChecked(true);
    m_view->viewport()->setCursor(tool == Tool::Pointer ? Qt::ArrowCursor : Qt::CrossCursor);
}

void ReportDesignerWindow::placeObject(Tool tool, const BandRef& bandRef, QRectF rect)
{
    setTool(Tool::Pointer);
    if (tool == Tool::Pointer || !findBand(m_template, bandRef))
        return;
    static const ObjectKind kinds[] = {ObjectKind::Text, ObjectKind::Text, ObjectKind::Text, ObjectKind::Line,
                                       ObjectKind::Rectangle, ObjectKind::Picture, ObjectKind::CheckBox};
    static const QSizeF sizes[] = {{30, 6}, {30, 6}, {30, 6}, {40, 0}, {30, 15}, {30, 30}, {4, 4}};
    const ObjectKind kind = kinds[int(tool)];
    if (rect.width() < 0.5 && rect.height() < 0.5)
        rect.setSize(sizes[int(tool)]);
    QString text;
    if (tool == Tool::Text) {
        text = designerText("Text");
    } else if (tool == Tool::Field) {
        const QString dataset = m_adapter ? m_adapter->userName() : QStringLiteral("Report");
        if (m_fields->currentItem()) {
            text = u'[' + fieldExpression(dataset, m_fields->currentItem()->text()) + u']';
        } else if (m_fields->count() > 0) {
            text = u'[' + fieldExpression(dataset, m_fields->item(0)->text()) + u']';
        } else {
            ReportExpressionEditor editor(QString(), true, m_adapter, groupNames(m_template), this);
            if (editor.exec() != QDialog::Accepted)
                return;
            text = editor.text();
        }
    }
    ReportTemplate t = m_template;
    ReportObject o = newObject(kind, rect);
    o.text = text;
    Band* band = findBand(t, bandRef);
    band->height = std::max(band->height, o.rect.bottom());
    const std::vector<ObjectRef> refs = pasteObjects(t, bandRef, {o});
    change(t, designerText("Add %1").arg(objectKindName(kind)), DesignerSelection::ofObjects(refs));
}

void ReportDesignerWindow::dropField(const QString& field, const BandRef& bandRef, QPointF at)
{
    if (!findBand(m_template, bandRef))
        return;
    const QString dataset = m_adapter ? m_adapter->userName() : QStringLiteral("Report");
    ReportTemplate t = m_template;
    Band* band = findBand(t, bandRef);
    const double height = 6;
    ReportObject value = newObject(ObjectKind::Text, QRectF(at, QSizeF(30, height)));
    value.text = u'[' + fieldExpression(dataset, field) + u']';
    band->height = std::max(band->height, value.rect.bottom());
    const std::vector<ObjectRef> refs = pasteObjects(t, bandRef, {value});
    // A field in the rows gets its title in the page header, above it.
    if (bandRef.kind == BandKind::Detail) {
        addBand(t, BandKind::PageHeader);
        QString title = field;
        title.replace(u'_', u' ');
        if (!title.isEmpty())
            title[0] = title[0].toUpper();
        ReportObject caption = newObject(ObjectKind::Text, QRectF(at.x(), 0, 30, std::min(7.0, t.pageHeader->height)));
        caption.text = title;
        caption.style.font.bold = true;
        pasteObjects(t, {BandKind::PageHeader}, {caption});
    }
    change(t, designerText("Add %1").arg(designerText("Field")), DesignerSelection::ofObjects(refs));
}

void ReportDesignerWindow::moveSelection(double dx, double dy, bool resize)
{
    ReportTemplate t = m_template;
    if (m_selection.objects.empty()) {
        if (m_selection.band && resize) {
            Band* band = findBand(t, *m_selection.band);
            band->height = hundredths(std::max(0.0, band->height + dy));
            change(t, designerText("Band height"), m_selection, resizeMerge);
        }
        return;
    }
    for (const ObjectRef& ref : m_selection.objects) {
        QRectF& r = findObject(t, ref)->rect;
        if (resize) {
            r.setWidth(std::max(0.0, r.width() + dx));
            r.setHeight(std::max(0.0, r.height() + dy));
        } else {
            r.translate(dx, dy);
        }
        r = hundredths(r);
    }
    change(t, designerText(resize ? "Resize" : "Move"), m_selection, resize ? resizeMerge : moveMerge);
}

void ReportDesignerWindow::deleteSelection()
{
    if (m_selection.objects.empty())
        return;
    ReportTemplate t = m_template;
    deleteObjects(t, m_selection.objects);
    change(t, designerText("Delete"), {});
}

void ReportDesignerWindow::copySelection()
{
    if (m_selection.objects.empty())
        return;
    clipboard().clear();
    for (const ObjectRef& ref : m_selection.objects)
        clipboard().push_back(*findObject(m_template, ref));
    m_clipboardBand = m_selection.objects.front().band;
    refreshActions();
}

void ReportDesignerWindow::cutSelection()
{
    copySelection();
    deleteSelection();
}

void ReportDesignerWindow::paste()
{
    if (clipboard().empty())
        return;
    std::optional<BandRef> band = targetBand();
    if (!band && findBand(m_template, m_clipboardBand))
        band = m_clipboardBand;
    if (!band && !bandsInOrder(m_template).empty())
        band = bandsInOrder(m_template).front();
    if (!band)
        return;
    std::vector<ReportObject> objects = clipboard();
    // A copy over its original would hide it: it lands one grid step lower and to the right.
    const Band* target = findBand(m_template, *band);
    const bool overlaps = std::any_of(objects.begin(), objects.end(), [&](const ReportObject& o) {
        return std::any_of(target->objects.begin(), target->objects.end(),
                           [&](const ReportObject& existing) { return existing.rect == o.rect; });
    });
    if (overlaps) {
        const double step = snapToGrid() ? gridSize() : 1.0;
        for (ReportObject& o : objects)
            o.rect.translate(step, step);
    }
    ReportTemplate t = m_template;
    const std::vector<ObjectRef> refs = pasteObjects(t, *band, objects);
    change(t, designerText("Paste"), DesignerSelection::ofObjects(refs));
}

void ReportDesignerWindow::selectAll()
{
    DesignerSelection all;
    for (const BandRef& band : bandsInOrder(m_template))
        for (int i = 0; i < int(findBand(m_template, band)->objects.size()); ++i)
            all.objects.push_back({band, i});
    setSelection(all);
}

void ReportDesignerWindow::align(AlignEdge edge)
{
    if (m_selection.objects.size() < 2)
        return;
    ReportTemplate t = m_template;
    alignObjects(t, m_selection.objects, edge);
    change(t, designerText("Align"), m_selection);
}

void ReportDesignerWindow::restackSelection(bool front)
{
    if (m_selection.objects.empty())
        return;
    ReportTemplate t = m_template;
    const std::vector<ObjectRef> refs = restack(t, m_selection.objects, front);
    change(t, designerText("Order"), DesignerSelection::ofObjects(refs));
}

void ReportDesignerWindow::addBandOfKind(BandKind kind)
{
    ReportTemplate t = m_template;
    BandRef ref{kind};
    if (kind == BandKind::GroupHeader || kind == BandKind::GroupFooter) {
        const std::optional<BandRef> band = targetBand();
        if (!band || band->group < 0)
            return;
        ref.group = band->group;
        addGroupBand(t, band->group, kind);
    } else {
        addBand(t, kind);
    }
    change(t, designerText("Add %1").arg(bandTitle(t, ref)), DesignerSelection::ofBand(ref));
}

void ReportDesignerWindow::addGroup()
{
    ReportTemplate t = m_template;
    const QString dataset = m_adapter ? m_adapter->userName() : QStringLiteral("Report");
    QString field;
    if (m_fields->currentItem())
        field = m_fields->currentItem()->text();
    else if (m_fields->count() > 0)
        field = m_fields->item(0)->text();
    const int group = ::addGroup(t, field.isEmpty() ? QString() : u'[' + fieldExpression(dataset, field) + u']');
    QString name = field.isEmpty() ? QStringLiteral("group%1").arg(group + 1) : field;
    const QStringList names = groupNames(m_template);
    for (int n = 2; names.contains(name, Qt::CaseInsensitive); ++n)
        name = (field.isEmpty() ? QStringLiteral("group") : field) + QString::number(n);
    t.groups[size_t(group)].name = name;
    if (!t.detail)
        addBand(t, BandKind::Detail);
    change(t, designerText("Add %1").arg(designerText("Group")), DesignerSelection::ofBand({BandKind::GroupHeader, group}));
}

void ReportDesignerWindow::removeSelectedBand()
{
    if (!m_selection.band)
        return;
    ReportTemplate t = m_template;
    removeBand(t, *m_selection.band);
    change(t, designerText("Remove band"), {});
}

void ReportDesignerWindow::setObjectText(const ObjectRef& ref, const QString& text)
{
    ReportTemplate t = m_template;
    ReportObject* o = findObject(t, ref);
    if (!o || o->text == text)
        return;
    o->text = text;
    change(t, designerText("Edit text"), DesignerSelection::ofObjects({ref}));
}

void ReportDesignerWindow::setProperty(const QString& key, const QVariant& value)
{
    const std::vector<const DesignerProperty*> properties = propertiesFor(m_template, m_selection);
    const auto it = std::find_if(properties.begin(), properties.end(), [&](const DesignerProperty* p) { return p->key == key; });
    if (it == properties.end())
        return;
    ReportTemplate t = m_template;
    applyProperty(t, m_selection, **it, value);
    const int index = int(*it - designerProperties().data());
    change(t, designerText("Change %1").arg(designerText((*it)->caption)), m_selection, propertyMerge + index);
    // An edit the template did not take (a colour that is none) shows the value it has.
    m_properties->show(m_template, m_selection);
}

void ReportDesignerWindow::editExpression(const QString& key)
{
    const std::vector<const DesignerProperty*> properties = propertiesFor(m_template, m_selection);
    const auto it = std::find_if(properties.begin(), properties.end(), [&](const DesignerProperty* p) { return p->key == key; });
    if (it == properties.end())
        return;
    const QString current = propertyValue(m_template, m_selection, **it).toString();
    ReportExpressionEditor editor(current, key == QStringLiteral("text"), m_adapter, groupNames(m_template), this);
    if (editor.exec() == QDialog::Accepted)
        setProperty(key, editor.text());
}

bool ReportDesignerWindow::snapToGrid() const
{
    return m_snapBox->isChecked();
}

double ReportDesignerWindow::gridSize() const
{
    return m_gridBox->value();
}

void ReportDesignerWindow::setSnap(bool on, double size)
{
    m_snapBox->setChecked(on);
    m_gridBox->setValue(size);
    m_scene->setGrid(on, size);
}
