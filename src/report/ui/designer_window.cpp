#include "report/ui/designer_window.h"
#include "report/ui/designer_dialogs.h"
#include "report/ui/designer_icons.h"
#include "report/ui/designer_level_bar.h"
#include "report/ui/parameter_dialog.h"

#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "report/engine/dataset.h"
#include "report/engine/filler.h"
#include "report/engine/page_document.h"
#include "report/ui/designer_panels.h"
#include "report/ui/preview.h"

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
#include <QMenu>
#include <QMenuBar>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

QStringList& recent()
{
    static QStringList files;
    return files;
}

constexpr int recentLimit = 8;

QString templateFilter()
{
    return Lang.caption("Report templates") + QStringLiteral("|*.xml|") + Lang.caption("All files") + QStringLiteral("|*");
}

} // namespace

ReportDesignerWindow::ReportDesignerWindow(DesignerSession session) : QMainWindow(nullptr), m_session(std::move(session))
{
    setObjectName(QStringLiteral("ReportDesigner"));
    // An empty report gets the bands nearly every report has, so that fields have somewhere
    // to go; that is where the author starts, not a change.
    ReportTemplate start = m_session.reportTemplate;
    if (start.isEmpty()) {
        addBand(start, BandKind::PageHeader);
        addBand(start, BandKind::Detail);
        addBand(start, BandKind::PageFooter);
    }
    m_queryData = std::make_unique<ReportDataset>();
    if (m_session.data)
        m_queryData->setUserName(m_session.data->userName());
    m_document = new DesignerDocument(start, m_session.fileName, m_session.data, this);
    m_scene = new DesignerScene(this);
    m_view = new DesignerView(*m_document, m_scene, this);
    // The level line above the sheet: the report, or the sub-report whose bands are shown.
    auto* centre = new QWidget(this);
    auto* centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(0);
    m_levelBar = new DesignerLevelBar(centre);
    centreLayout->addWidget(m_levelBar);
    m_view->setParent(centre);
    centreLayout->addWidget(m_view, 1);
    setCentralWidget(centre);
    buildActions();
    buildMenus();
    buildToolBars();
    buildDocks();
    m_status = new QLabel(this);
    statusBar()->addWidget(m_status, 1);
    connect(m_document, &DesignerDocument::changed, this, [this] { guarded([&] { refresh(); }); });
    connect(undoStack(), &QUndoStack::cleanChanged, this, [this] { guarded([&] { updateTitle(); }); });
    connect(m_view, &DesignerView::objectDrawn, this,
            [this](DesignerTool tool, const BandRef& band, const QRectF& rect) { guarded([&] { placeObject(tool, band, rect); }); });
    connect(m_view, &DesignerView::valueRequested, this, [this] { guarded([&] { editExpression(QStringLiteral("value")); }); });
    connect(m_view, &DesignerView::subreportRequested, this, [this](const ObjectRef& ref) { guarded([&] { openSubreport(ref); }); });
    connect(m_levelBar, &DesignerLevelBar::levelChosen, this, [this](int depth) { guarded([&] { leaveSubreport(depth); }); });
    connect(m_view, &DesignerView::toolChanged, this, [this](DesignerTool tool) { guarded([&] { setTool(tool); }); });
    connect(m_view, &DesignerView::zoomChanged, this,
            [this](int percent) { m_zoomBox->setCurrentText(QString::number(percent) + u'%'); });
    connect(m_view, &DesignerView::contextMenuRequested, this, [this](const QPoint& at) { guarded([&] { showContextMenu(at); }); });

    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 1024);
    resize(std::min(1280, screen.width() * 9 / 10), std::min(900, screen.height() * 9 / 10));
    setSnap(true, 1);
    refresh();
}

ReportDesignerWindow::~ReportDesignerWindow() = default;

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
    addAction(QStringLiteral("new"), Lang.caption("New"), QKeySequence::New, [this] { newTemplate(); })
        ->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    addAction(QStringLiteral("open"), Lang.caption("Open..."), QKeySequence::Open, [this] { openTemplate(); })
        ->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    addAction(QStringLiteral("save"), Lang.caption("Save"), QKeySequence::Save, [this] { save(); })
        ->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
    addAction(QStringLiteral("saveAs"), Lang.caption("Save as..."), QKeySequence::SaveAs, [this] { saveAs(); });
    addAction(QStringLiteral("preview"), Lang.caption("Preview"), QKeySequence(Qt::Key_F5), [this] { preview(); })
        ->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
    addAction(QStringLiteral("close"), Lang.caption("Close"), QKeySequence(), [this] { close(); });

    QAction* undo = undoStack()->createUndoAction(this, Lang.caption("Undo"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setIcon(s->standardIcon(QStyle::SP_ArrowBack));
    m_actions.insert(QStringLiteral("undo"), undo);
    QMainWindow::addAction(undo);
    QAction* redo = undoStack()->createRedoAction(this, Lang.caption("Redo"));
    redo->setShortcuts({QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redo->setIcon(s->standardIcon(QStyle::SP_ArrowForward));
    m_actions.insert(QStringLiteral("redo"), redo);
    QMainWindow::addAction(redo);

    addAction(QStringLiteral("cut"), Lang.caption("Cut"), QKeySequence::Cut, [this] { m_document->cutSelection(); });
    addAction(QStringLiteral("copy"), Lang.caption("Copy"), QKeySequence::Copy, [this] { m_document->copySelection(); });
    addAction(QStringLiteral("paste"), Lang.caption("Paste"), QKeySequence::Paste, [this] { m_document->paste(m_view->step()); });
    addAction(QStringLiteral("delete"), Lang.caption("Delete"), QKeySequence::Delete, [this] { m_document->deleteSelection(); })
        ->setIcon(s->standardIcon(QStyle::SP_TrashIcon));
    addAction(QStringLiteral("selectAll"), Lang.caption("Select all"), QKeySequence::SelectAll, [this] { m_document->selectAll(); });

    m_tools = new QActionGroup(this);
    const struct {
        const char* key;
        const char* text;
        Tool tool;
    } tools[] = {{"tool.pointer", "Pointer", Tool::Pointer}, {"tool.text", "Text", Tool::Text},
                 {"tool.field", "Field", Tool::Field},       {"tool.line", "Line", Tool::Line},
                 {"tool.rectangle", "Rectangle", Tool::Rectangle}, {"tool.picture", "Picture", Tool::Picture},
                 {"tool.checkbox", "Check box", Tool::CheckBox}, {"tool.subreport", "Sub-report", Tool::Subreport},
                 {"tool.barcode", "Barcode", Tool::Barcode}, {"tool.chart", "Chart", Tool::Chart}};
    for (const auto& t : tools) {
        const Tool tool = t.tool;
        QAction* a = addAction(QString::fromLatin1(t.key), Lang.caption(t.text), QKeySequence(), [this, tool] { setTool(tool); });
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
        addAction(QString::fromLatin1(a.key), Lang.caption(a.text), QKeySequence(), [this, edge] { m_document->align(edge); })
            ->setIcon(alignIcon(edge));
    }
    addAction(QStringLiteral("front"), Lang.caption("Bring to front"), QKeySequence(Qt::CTRL | Qt::Key_BracketRight),
              [this] { m_document->restackSelection(true); })
        ->setIcon(stackIcon(true));
    addAction(QStringLiteral("back"), Lang.caption("Send to back"), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
              [this] { m_document->restackSelection(false); })
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
        addAction(QString::fromLatin1(b.key), Lang.caption(b.text), QKeySequence(), [this, kind] { m_document->addBandOfKind(kind); });
    }
    addAction(QStringLiteral("fitToContent"), Lang.caption("Size to content"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
              [this] { m_document->fitSelectionToContent(); });
    addAction(QStringLiteral("band.group"), Lang.caption("Group"), QKeySequence(), [this] { m_document->addGroup(pickedField()); });
    addAction(QStringLiteral("band.groupHeader"), Lang.caption("Group header"), QKeySequence(),
              [this] { m_document->addBandOfKind(BandKind::GroupHeader); });
    addAction(QStringLiteral("band.groupFooter"), Lang.caption("Group footer"), QKeySequence(),
              [this] { m_document->addBandOfKind(BandKind::GroupFooter); });
    addAction(QStringLiteral("band.remove"), Lang.caption("Remove band"), QKeySequence(), [this] { m_document->removeSelectedBand(); });
    addAction(QStringLiteral("subreport.open"), Lang.caption("Edit sub-report"), QKeySequence(Qt::ALT | Qt::Key_Down), [this] {
        if (selection().objects.size() == 1)
            openSubreport(selection().objects.front());
    });
    addAction(QStringLiteral("subreport.leave"), Lang.caption("Back to the enclosing report"), QKeySequence(Qt::ALT | Qt::Key_Up),
              [this] { leaveSubreport(int(m_document->path().size()) - 1); });

    addAction(QStringLiteral("zoomIn"), Lang.caption("Zoom") + QStringLiteral(" +"), QKeySequence::ZoomIn,
              [this] { m_zoomBox->setCurrentText(QString::number(m_view->zoom() + 25) + u'%'); m_view->setZoom(m_view->zoom() + 25); });
    addAction(QStringLiteral("zoomOut"), Lang.caption("Zoom") + QStringLiteral(" -"), QKeySequence::ZoomOut,
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
    QMenu* file = menuBar()->addMenu(Lang.caption("&File"));
    add(file, {"new", "open"});
    m_recentMenu = file->addMenu(Lang.caption("Recent files"));
    m_recentMenu->setObjectName(QStringLiteral("recent"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, [this] { guarded([&] { fillRecentMenu(); }); });
    add(file, {"save", "saveAs", "", "preview", "", "close"});
    add(menuBar()->addMenu(Lang.caption("&Edit")),
        {"undo", "redo", "", "cut", "copy", "paste", "delete", "", "selectAll"});
    add(menuBar()->addMenu(Lang.caption("&Insert")),
        {"tool.pointer", "tool.text", "tool.field", "tool.line", "tool.rectangle", "tool.picture", "tool.checkbox",
         "tool.subreport", "tool.barcode", "tool.chart"});
    add(menuBar()->addMenu(Lang.caption("&Bands")),
        {"band.title", "band.pageHeader", "band.group", "band.groupHeader", "band.groupFooter", "band.detail",
         "band.pageFooter", "band.summary", "", "band.remove", "", "subreport.open", "subreport.leave"});
    add(menuBar()->addMenu(Lang.caption("F&ormat")),
        {"alignLeft", "alignRight", "alignTop", "alignBottom", "", "sameWidth", "sameHeight", "fitToContent", "", "front",
         "back"});
    add(menuBar()->addMenu(Lang.caption("&View")), {"zoomIn", "zoomOut"});
}

void ReportDesignerWindow::buildToolBars()
{
    QToolBar* main = addToolBar(Lang.caption("&File"));
    main->setObjectName(QStringLiteral("fileBar"));
    for (const char* key : {"new", "open", "save", "", "undo", "redo", "", "delete", "", "preview"}) {
        if (!*key)
            main->addSeparator();
        else
            main->addAction(m_actions.value(QString::fromLatin1(key)));
    }
    main->addSeparator();
    main->addWidget(new QLabel(Lang.caption("Zoom") + QStringLiteral(" "), main));
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
    m_snapBox = new QCheckBox(Lang.caption("Snap to grid"), main);
    m_snapBox->setObjectName(QStringLiteral("snap"));
    main->addWidget(m_snapBox);
    main->addWidget(new QLabel(QStringLiteral(" ") + Lang.caption("Grid, mm") + QStringLiteral(" "), main));
    m_gridBox = new QDoubleSpinBox(main);
    m_gridBox->setObjectName(QStringLiteral("grid"));
    m_gridBox->setRange(0.5, 20);
    m_gridBox->setSingleStep(0.5);
    m_gridBox->setDecimals(1);
    main->addWidget(m_gridBox);
    auto applyGrid = [this] { guarded([&] { m_view->setSnap(m_snapBox->isChecked(), m_gridBox->value()); }); };
    connect(m_snapBox, &QCheckBox::toggled, this, applyGrid);
    connect(m_gridBox, &QDoubleSpinBox::valueChanged, this, applyGrid);

    addToolBarBreak();
    QToolBar* objects = addToolBar(Lang.caption("&Insert"));
    objects->setObjectName(QStringLiteral("objectBar"));
    objects->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction* a : m_tools->actions())
        objects->addAction(a);
    QToolBar* format = addToolBar(Lang.caption("F&ormat"));
    format->setObjectName(QStringLiteral("formatBar"));
    for (const char* key : {"alignLeft", "alignRight", "alignTop", "alignBottom", "sameWidth", "sameHeight", "front", "back"})
        format->addAction(m_actions.value(QString::fromLatin1(key)));
}

void ReportDesignerWindow::buildDocks()
{
    auto* data = new QDockWidget(Lang.caption("Data"), this);
    data->setObjectName(QStringLiteral("dataDock"));
    data->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto* dataBox = new QWidget(data);
    auto* dataLayout = new QVBoxLayout(dataBox);
    dataLayout->setContentsMargins(4, 4, 4, 4);
    m_fieldsCaption = new QLabel(Lang.caption("Fields of \"%1\"").arg(m_document->datasetName()), dataBox);
    dataLayout->addWidget(m_fieldsCaption);
    m_fields = new DesignerFieldList(dataBox);
    m_fields->setObjectName(QStringLiteral("fields"));
    dataLayout->addWidget(m_fields, 1);
    m_fieldsNote = new QLabel(dataBox);
    m_fieldsNote->setObjectName(QStringLiteral("fieldsNote"));
    m_fieldsNote->setWordWrap(true);
    dataLayout->addWidget(m_fieldsNote);
    data->setWidget(dataBox);
    addDockWidget(Qt::LeftDockWidgetArea, data);

    auto* properties = new QDockWidget(Lang.caption("Properties"), this);
    properties->setObjectName(QStringLiteral("propertiesDock"));
    properties->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto* scroll = new QScrollArea(properties);
    scroll->setWidgetResizable(true);
    m_properties = new DesignerPropertyPanel(scroll);
    scroll->setWidget(m_properties);
    properties->setWidget(scroll);
    addDockWidget(Qt::RightDockWidgetArea, properties);
    // The panel as wide as its longest caption in this language needs, the "..." buttons in
    // view; the sheet keeps the rest.
    const int panel = m_properties->preferredWidth() + scroll->verticalScrollBar()->sizeHint().width() + 2 * scroll->frameWidth();
    resizeDocks({data, properties}, {170, panel}, Qt::Horizontal);
    connect(m_properties, &DesignerPropertyPanel::edited, this,
            [this](const QString& key, const QVariant& value) { guarded([&] { setProperty(key, value); }); });
    connect(m_properties, &DesignerPropertyPanel::expressionRequested, this,
            [this](const QString& key) { guarded([&] { editExpression(key); }); });
    connect(m_properties, &DesignerPropertyPanel::queryRequested, this,
            [this](const QString& key) { guarded([&] { editQuery(key); }); });
    connect(m_properties, &DesignerPropertyPanel::fileRequested, this,
            [this](const QString& key) { guarded([&] { choosePictureFile(key); }); });
    connect(m_properties, &DesignerPropertyPanel::dialogRequested, this, [this](const QString& key) {
        guarded([&] {
            EditDesignerPropertyInWindow(*m_document, key, this);
            m_properties->show(*m_document);
        });
    });
}

void ReportDesignerWindow::refresh()
{
    const ReportTemplate& t = model();
    const DesignerSelection& s = selection();
    const bool otherLevel = !m_shownPath || *m_shownPath != m_document->path();
    if (otherLevel)
        showLevel();
    m_levelBar->showLevels(report().name.isEmpty() ? Lang.caption("Report") : report().name,
                           subreportNames(report(), m_document->path()));
    // A sub-report renamed gives its fields another name.
    if (otherLevel || !m_fieldsQuery || *m_fieldsQuery != t.query || m_fieldsName != t.name)
        refreshFields();
    m_scene->show(t, s);
    m_view->refreshRulers();
    m_properties->show(*m_document);
    refreshActions();
    updateTitle();
    if (s.objects.size() == 1) {
        const QRectF r = findObject(t, s.objects.front())->rect;
        m_status->setText(QStringLiteral("%1: x %2, y %3, %4 \u00d7 %5 mm")
                              .arg(levelBandTitle(t, s.objects.front().band, m_document->inSubreport()))
                              .arg(r.x(), 0, 'f', 1).arg(r.y(), 0, 'f', 1).arg(r.width(), 0, 'f', 1).arg(r.height(), 0, 'f', 1));
    } else if (!s.objects.empty()) {
        m_status->setText(Lang.caption("Objects: %1").arg(s.objects.size()));
    } else {
        m_status->clear();
    }
}

void ReportDesignerWindow::refreshActions()
{
    const ReportTemplate& t = model();
    const size_t objects = selection().objects.size();
    for (const char* key : {"cut", "copy", "delete", "front", "back"})
        m_actions.value(QString::fromLatin1(key))->setEnabled(objects > 0);
    for (const char* key : {"alignLeft", "alignRight", "alignTop", "alignBottom", "sameWidth", "sameHeight"})
        m_actions.value(QString::fromLatin1(key))->setEnabled(objects > 1);
    const auto& chosen = selection().objects;
    m_actions.value(QStringLiteral("fitToContent"))->setEnabled(std::any_of(chosen.begin(), chosen.end(), [&](const ObjectRef& r) {
        const ReportObject* o = findObject(t, r);
        return o && o->kind == ObjectKind::Text;
    }));
    m_actions.value(QStringLiteral("paste"))->setEnabled(DesignerDocument::canPaste());
    m_actions.value(QStringLiteral("band.remove"))->setEnabled(selection().band.has_value());
    const bool report = !m_document->inSubreport();
    m_actions.value(QStringLiteral("band.title"))->setEnabled(!t.title);
    m_actions.value(QStringLiteral("band.pageHeader"))->setEnabled(report && !t.pageHeader);
    m_actions.value(QStringLiteral("band.detail"))->setEnabled(!t.detail);
    m_actions.value(QStringLiteral("band.pageFooter"))->setEnabled(report && !t.pageFooter);
    m_actions.value(QStringLiteral("band.summary"))->setEnabled(!t.summary);
    m_actions.value(QStringLiteral("band.group"))->setEnabled(report);
    const std::optional<BandRef> band = m_document->targetBand();
    const ReportGroup* group = band && band->group >= 0 && band->group < int(t.groups.size()) ? &t.groups[size_t(band->group)]
                                                                                              : nullptr;
    m_actions.value(QStringLiteral("band.groupHeader"))->setEnabled(group && !group->header);
    m_actions.value(QStringLiteral("band.groupFooter"))->setEnabled(group && !group->footer);
    const ReportObject* first = objects == 1 ? findObject(t, chosen.front()) : nullptr;
    m_actions.value(QStringLiteral("subreport.open"))->setEnabled(first && first->kind == ObjectKind::Subreport);
    m_actions.value(QStringLiteral("subreport.leave"))->setEnabled(!report);
}

void ReportDesignerWindow::updateTitle()
{
    const QString name = fileName().isEmpty() ? Lang.caption("Untitled") : QFileInfo(fileName()).fileName();
    setWindowTitle(name + QStringLiteral("[*] - ") + Lang.caption("Report designer"));
    setWindowModified(isModified());
}

void ReportDesignerWindow::error(const QString& text)
{
    desktop().message(this, Lang.Error, text, DesktopServices::Icon::Error, DesktopServices::Ok);
}

void ReportDesignerWindow::showContextMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    // The sub-report commands only where they apply: on a sub-report, or inside one.
    for (const char* key : {"subreport.open", "subreport.leave"})
        if (QAction* a = action(QString::fromLatin1(key)); a->isEnabled())
            menu.addAction(a);
    if (!menu.isEmpty())
        menu.addSeparator();
    for (const char* key : {"cut", "copy", "paste", "delete", "", "alignLeft", "alignRight", "alignTop", "alignBottom",
                            "sameWidth", "sameHeight", "fitToContent", "", "front", "back"}) {
        if (!*key)
            menu.addSeparator();
        else if (QAction* a = action(QString::fromLatin1(key)))
            menu.addAction(a);
    }
    menu.exec(globalPos);
}

QString ReportDesignerWindow::pickedField() const
{
    if (m_fields->currentItem())
        return m_fields->currentItem()->text();
    return m_fields->count() > 0 ? m_fields->item(0)->text() : QString();
}

const ReportDataset* ReportDesignerWindow::data() const
{
    if (m_document->inSubreport())
        return m_subreportData.get();
    if (m_session.runQuery && !model().query.trimmed().isEmpty())
        return m_queryData.get();
    return m_session.data;
}

void ReportDesignerWindow::refreshFields()
{
    m_fieldsQuery = model().query;
    m_fieldsName = model().name;
    const QString query = model().query.trimmed();
    QString note;
    if (m_document->inSubreport()) {
        const ReportObject* sub = findObject(m_document->outerLevel(), m_document->path().back());
        m_subreportData = sub ? subreportFields(*sub, m_session.subreports, note) : std::make_unique<ReportDataset>();
    } else if (m_session.runQuery && !query.isEmpty()) {
        // Only the columns: the rows are read when the preview needs them.
        try {
            m_session.runQuery(query, *m_queryData, true, ReportParameters::bound(ReportParameters::complete(report(), {})));
        } catch (const VarnelError& e) {
            m_queryData->reset({});
            note = Lang.caption("The query of the template fails: %1").arg(e.message());
        }
    } else if (!m_session.data || m_session.data->columnCount() == 0) {
        note = Lang.caption("No fields: give the template a query (page properties) or run a report with a query first.");
    }
    m_document->setData(data());
    m_fields->setData(data());
    m_fieldsCaption->setText(Lang.caption("Fields of \"%1\"").arg(m_document->datasetName()));
    m_fieldsNote->setText(note);
    m_fieldsNote->setVisible(!note.isEmpty());
}

void ReportDesignerWindow::startDocument(const ReportTemplate& t, const QString& fileName)
{
    // Another template: its own query (or none) decides the fields, even when its text is the same.
    m_fieldsQuery.reset();
    m_document->start(t, fileName);
    m_view->scrollToStart();
}

bool ReportDesignerWindow::maybeSave()
{
    if (!isModified())
        return true;
    const QString name = fileName().isEmpty() ? Lang.caption("Untitled") : QFileInfo(fileName()).fileName();
    const DesktopServices::Button answer =
        desktop().message(this, Lang.caption("Report designer"), Lang.caption("Save the changes to \"%1\"?").arg(name),
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
    if (m_session.keep)
        m_session.keep(ReportTemplate(), QString());
    startDocument(t, QString());
}

void ReportDesignerWindow::openTemplate()
{
    if (!maybeSave())
        return;
    DesktopServices::FileDialog dialog;
    dialog.parent = this;
    dialog.title = Lang.caption("Open a report template");
    dialog.filter = templateFilter();
    dialog.defaultExt = QStringLiteral("xml");
    dialog.folder = m_session.openFolder;
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
        error(Lang.caption("The template is not opened: %1").arg(e.message()));
        return false;
    }
    if (m_session.keep)
        m_session.keep(t, path);
    rememberRecent(path);
    startDocument(t, path);
    return true;
}

bool ReportDesignerWindow::save()
{
    return fileName().isEmpty() ? saveAs() : saveTo(fileName());
}

bool ReportDesignerWindow::saveAs()
{
    DesktopServices::FileDialog dialog;
    dialog.parent = this;
    dialog.title = Lang.caption("Save the report template");
    dialog.filter = templateFilter();
    dialog.defaultExt = QStringLiteral("xml");
    dialog.folder = m_session.saveFolder;
    dialog.fileName = fileName().isEmpty() ? (report().name.isEmpty() ? QStringLiteral("report") : report().name)
                                                 + QStringLiteral(".xml")
                                           : QFileInfo(fileName()).fileName();
    QString path = desktop().saveFileName(dialog);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xml");
    return saveTo(path);
}

bool ReportDesignerWindow::saveTo(const QString& path)
{
    const QByteArray bytes = ReportTemplateFormat::write(report());
    // What the engine would refuse to read is not written: the author hears why now.
    try {
        ReportTemplateFormat::read(bytes, QFileInfo(path).fileName());
    } catch (const VarnelError& e) {
        error(Lang.caption("The template is not saved: %1").arg(e.message()));
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error(Lang.caption("The template is not saved: %1").arg(path + QStringLiteral(": ") + file.errorString()));
        return false;
    }
    m_document->markSaved(path);
    if (m_session.keep)
        m_session.keep(report(), path);
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
    std::unique_ptr<PageDocument> pages;
    try {
        // The parameters are asked for as the report button asks, the last answers shown first.
        const std::optional<ParameterValues> values = AskReportParameters(
            report().parameters, ReportParameters::complete(report(), m_parameterValues), m_session.runQuery, this);
        if (!values)
            return;
        m_parameterValues = *values;
        // The whole report, from wherever the author stands in it.
        const ReportDataset* rows = m_session.runQuery && !report().query.trimmed().isEmpty() ? m_queryData.get() : m_session.data;
        // The template's own query is run anew: the rows are as the database holds them now.
        if (rows == m_queryData.get()) {
            const QStringList before = m_queryData->columns();
            try {
                m_session.runQuery(report().query.trimmed(), *m_queryData, false,
                                   ReportParameters::bound(ReportParameters::complete(report(), *values)));
            } catch (const VarnelError&) {
                m_queryData->reset({});
                if (!m_document->inSubreport())
                    m_fields->setData(m_queryData.get());
                throw;
            }
            if (m_queryData->columns() != before && !m_document->inSubreport())
                m_fields->setData(m_queryData.get());
        }
        const QString name = fileName().isEmpty() ? report().name : QFileInfo(fileName()).fileName();
        pages = ReportFiller(report(), rows, name, m_session.subreports, *values).fill();
    } catch (const VarnelError& e) {
        error(Lang.caption("The report cannot be shown: %1").arg(e.message()));
        return;
    }
    ReportPreview preview(*pages, m_session.filters ? *m_session.filters : m_ownFilters, this);
    preview.setReportName(!report().name.isEmpty() ? report().name : QFileInfo(fileName()).completeBaseName());
    desktop().runModal(preview);
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
    });
}

void ReportDesignerWindow::setTool(Tool tool)
{
    const char* keys[] = {"tool.pointer",   "tool.text",     "tool.field",     "tool.line",
                          "tool.rectangle", "tool.picture",  "tool.checkbox",  "tool.subreport",
                          "tool.barcode",   "tool.chart"};
    m_actions.value(QString::fromLatin1(keys[int(tool)]))->setChecked(true);
    m_view->setTool(tool);
}

void ReportDesignerWindow::placeObject(Tool tool, const BandRef& band, QRectF rect)
{
    setTool(Tool::Pointer);
    if (tool == Tool::Pointer || !findBand(model(), band))
        return;
    if (tool == Tool::Subreport && int(m_document->path().size()) >= ReportTemplateFormat::maxSubreportDepth) {
        error(Lang.caption("sub-reports nest more than %1 deep").arg(ReportTemplateFormat::maxSubreportDepth));
        return;
    }
    static const ObjectKind kinds[] = {ObjectKind::Text,      ObjectKind::Text,      ObjectKind::Text,
                                       ObjectKind::Line,      ObjectKind::Rectangle, ObjectKind::Picture,
                                       ObjectKind::CheckBox,  ObjectKind::Subreport, ObjectKind::Barcode,
                                       ObjectKind::Chart};
    static const QSizeF sizes[] = {{30, 6}, {30, 6}, {30, 6}, {40, 0}, {30, 15}, {30, 30}, {4, 4}, {120, 10}, {25, 25}, {90, 50}};
    if (rect.width() < 0.5 && rect.height() < 0.5)
        rect.setSize(sizes[int(tool)]);
    QString text;
    if (tool == Tool::Text) {
        text = Lang.caption("Text");
    } else if (tool == Tool::Field) {
        const QString field = pickedField();
        if (!field.isEmpty()) {
            text = u'[' + fieldExpression(m_document->datasetName(), field) + u']';
        } else {
            ReportExpressionEditor editor(QString(), true, data(), model().groupNames(), this);
            editor.setParameters(ReportParameters::complete(report(), m_parameterValues));
            if (!desktop().runModal(editor))
                return;
            text = editor.text();
        }
    } else if (tool == Tool::Barcode || tool == Tool::Chart) {
        if (const QString field = pickedField(); !field.isEmpty())
            text = fieldExpression(m_document->datasetName(), field);
    }
    m_document->addObject(kinds[int(tool)], band, rect, text);
}

void ReportDesignerWindow::setProperty(const QString& key, const QVariant& value)
{
    m_document->setProperty(key, value);
    // An edit the template did not take (a colour that is none) shows the value it has.
    m_properties->show(*m_document);
}

void ReportDesignerWindow::editExpression(const QString& key)
{
    const DesignerProperty* property = m_document->shownProperty(key);
    if (!property)
        return;
    const QString current = propertyValue(m_document->propertyModel(), m_document->propertySelection(), *property).toString();
    ReportExpressionEditor editor(current, key == QStringLiteral("text"), data(), model().groupNames(), this);
    editor.setParameters(ReportParameters::complete(report(), m_parameterValues));
    if (desktop().runModal(editor))
        setProperty(key, editor.text());
}

void ReportDesignerWindow::editQuery(const QString& key)
{
    const DesignerProperty* property = m_document->shownProperty(key);
    if (!property)
        return;
    const QString current = propertyValue(m_document->propertyModel(), m_document->propertySelection(), *property).toString();
    ReportQueryEditor editor(current, this);
    if (desktop().runModal(editor) && editor.query() != current)
        setProperty(key, editor.query());
}

void ReportDesignerWindow::choosePictureFile(const QString& key)
{
    const DesignerProperty* property = m_document->shownProperty(key);
    if (!property)
        return;
    // Pictures are looked for from the project folder: a file inside it is kept by that path,
    // so that the project can move.
    const QDir project(ExeFolder());
    const QString current = propertyValue(m_document->propertyModel(), m_document->propertySelection(), *property).toString();
    DesktopServices::FileDialog dialog;
    dialog.parent = this;
    dialog.title = Lang.caption("Choose the picture");
    dialog.filter = Lang.caption("Pictures") + QStringLiteral("|*.png;*.jpg;*.jpeg;*.bmp;*.gif|")
                    + Lang.caption("All files") + QStringLiteral("|*");
    dialog.folder = current.isEmpty() ? project.path() : QFileInfo(project.filePath(current)).absolutePath();
    dialog.fileName = current.isEmpty() ? QString() : QFileInfo(current).fileName();
    const QString path = desktop().openFileName(dialog);
    if (path.isEmpty())
        return;
    const QString relative = project.relativeFilePath(QFileInfo(path).absoluteFilePath());
    setProperty(key, relative.startsWith(QStringLiteral("..")) || QDir::isAbsolutePath(relative) ? path : relative);
}

void ReportDesignerWindow::setSnap(bool on, double size)
{
    m_snapBox->setChecked(on);
    m_gridBox->setValue(size);
    m_view->setSnap(on, size);
}
