#include "report/ui/designer_window.h"
#include "report/ui/designer_dialogs.h"
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
#include <QPainter>
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
        case Tool::Subreport:
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            for (double y : {5.5, 8.0, 10.5})
                p.drawLine(QPointF(4, y), QPointF(12, y));
            break;
        case Tool::Barcode:
            for (const double x : {2.5, 4.0, 6.5, 8.0, 10.5, 13.0})
                p.fillRect(QRectF(x, 3, x == 6.5 || x == 10.5 ? 1.5 : 0.8, 10), QColor(40, 60, 100));
            break;
        case Tool::Chart:
            p.drawLine(QPointF(2.5, 2), QPointF(2.5, 13.5));
            p.drawLine(QPointF(2.5, 13.5), QPointF(14, 13.5));
            p.fillRect(QRectF(4.5, 8, 2.5, 5), QColor(78, 121, 167));
            p.fillRect(QRectF(8, 4, 2.5, 9), QColor(242, 142, 43));
            p.fillRect(QRectF(11.5, 10, 2, 3), QColor(225, 87, 89));
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
    setCentralWidget(m_view);
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
         "band.pageFooter", "band.summary", "", "band.remove"});
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
            m_properties->show(model(), selection());
        });
    });
}

void ReportDesignerWindow::refresh()
{
    const ReportTemplate& t = model();
    const DesignerSelection& s = selection();
    if (!m_fieldsQuery || *m_fieldsQuery != t.query)
        refreshFields();
    m_scene->show(t, s);
    m_view->refreshRulers();
    m_properties->show(t, s);
    refreshActions();
    updateTitle();
    if (s.objects.size() == 1) {
        const QRectF r = findObject(t, s.objects.front())->rect;
        m_status->setText(QStringLiteral("%1: x %2, y %3, %4 \u00d7 %5 mm")
                              .arg(bandTitle(t, s.objects.front().band))
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
    m_actions.value(QStringLiteral("band.title"))->setEnabled(!t.title);
    m_actions.value(QStringLiteral("band.pageHeader"))->setEnabled(!t.pageHeader);
    m_actions.value(QStringLiteral("band.detail"))->setEnabled(!t.detail);
    m_actions.value(QStringLiteral("band.pageFooter"))->setEnabled(!t.pageFooter);
    m_actions.value(QStringLiteral("band.summary"))->setEnabled(!t.summary);
    const std::optional<BandRef> band = m_document->targetBand();
    const ReportGroup* group = band && band->group >= 0 && band->group < int(t.groups.size()) ? &t.groups[size_t(band->group)]
                                                                                              : nullptr;
    m_actions.value(QStringLiteral("band.groupHeader"))->setEnabled(group && !group->header);
    m_actions.value(QStringLiteral("band.groupFooter"))->setEnabled(group && !group->footer);
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
    if (m_session.runQuery && !model().query.trimmed().isEmpty())
        return m_queryData.get();
    return m_session.data;
}

void ReportDesignerWindow::refreshFields()
{
    m_fieldsQuery = model().query;
    const QString query = model().query.trimmed();
    QString note;
    if (m_session.runQuery && !query.isEmpty()) {
        // Only the columns: the rows are read when the preview needs them.
        try {
            m_session.runQuery(query, *m_queryData, true, ReportParameters::bound(ReportParameters::complete(model(), {})));
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
    dialog.fileName = fileName().isEmpty() ? (model().name.isEmpty() ? QStringLiteral("report") : model().name)
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
    const QByteArray bytes = ReportTemplateFormat::write(model());
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
        m_session.keep(model(), path);
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
            model().parameters, ReportParameters::complete(model(), m_parameterValues), m_session.runQuery, this);
        if (!values)
            return;
        m_parameterValues = *values;
        const ReportDataset* rows = data();
        // The template's own query is run anew: the rows are as the database holds them now.
        if (rows == m_queryData.get()) {
            const QStringList before = m_queryData->columns();
            try {
                m_session.runQuery(model().query.trimmed(), *m_queryData, false,
                                   ReportParameters::bound(ReportParameters::complete(model(), *values)));
            } catch (const VarnelError&) {
                m_queryData->reset({});
                m_fields->setData(m_queryData.get());
                throw;
            }
            if (m_queryData->columns() != before)
                m_fields->setData(m_queryData.get());
        }
        const QString name = fileName().isEmpty() ? model().name : QFileInfo(fileName()).fileName();
        pages = ReportFiller(model(), rows, name, m_session.subreports, *values).fill();
    } catch (const VarnelError& e) {
        error(Lang.caption("The report cannot be shown: %1").arg(e.message()));
        return;
    }
    ReportPreview preview(*pages, m_session.filters ? *m_session.filters : m_ownFilters, this);
    preview.setReportName(!model().name.isEmpty() ? model().name : QFileInfo(fileName()).completeBaseName());
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
    m_properties->show(model(), selection());
}

void ReportDesignerWindow::editExpression(const QString& key)
{
    const std::vector<const DesignerProperty*> properties = propertiesFor(model(), selection());
    const auto it = std::find_if(properties.begin(), properties.end(), [&](const DesignerProperty* p) { return p->key == key; });
    if (it == properties.end())
        return;
    const QString current = propertyValue(model(), selection(), **it).toString();
    ReportExpressionEditor editor(current, key == QStringLiteral("text"), data(), model().groupNames(), this);
    if (desktop().runModal(editor))
        setProperty(key, editor.text());
}

void ReportDesignerWindow::editQuery(const QString& key)
{
    const std::vector<const DesignerProperty*> properties = propertiesFor(model(), selection());
    const auto it = std::find_if(properties.begin(), properties.end(), [&](const DesignerProperty* p) { return p->key == key; });
    if (it == properties.end())
        return;
    const QString current = propertyValue(model(), selection(), **it).toString();
    ReportQueryEditor editor(current, this);
    if (desktop().runModal(editor) && editor.query() != current)
        setProperty(key, editor.query());
}

void ReportDesignerWindow::choosePictureFile(const QString& key)
{
    const std::vector<const DesignerProperty*> properties = propertiesFor(model(), selection());
    const auto it = std::find_if(properties.begin(), properties.end(), [&](const DesignerProperty* p) { return p->key == key; });
    if (it == properties.end())
        return;
    // Pictures are looked for from the project folder: a file inside it is kept by that path,
    // so that the project can move.
    const QDir project(ExeFolder());
    const QString current = propertyValue(model(), selection(), **it).toString();
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
