#include "report/ui/preview.h"

#include "platform/desktop_services.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "report/engine/page_document.h"
#include "report/engine/page_renderer.h"
#include "report/export/export_filter.h"
#include "report/ui/export_dialogs.h"
#include "report/ui/print.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {
constexpr int pageGap = 12; // pixels of grey around the page
const int zoomSteps[] = {50, 75, 100, 125, 150, 200, 300, 400};
} // namespace

// Paints the current page from the page document at the zoom in use.
class ReportPreview::PageView : public QWidget {
public:
    explicit PageView(ReportPreview& preview) : QWidget(nullptr), m_preview(preview)
    {
        setAutoFillBackground(false);
        setFocusPolicy(Qt::StrongFocus);
    }

    QSize pageSizePx() const
    {
        const QSizeF page = current();
        if (page.isEmpty())
            return QSize(0, 0);
        const double k = m_preview.pixelsPerMm();
        return QSize(qRound(page.width() * k), qRound(page.height() * k));
    }

    void resizeToPage()
    {
        const QSize s = pageSizePx();
        setFixedSize(s.width() + 2 * pageGap, s.height() + 2 * pageGap);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        guarded([&] {
            QPainter painter(this);
            painter.fillRect(rect(), palette().color(QPalette::Dark));
            if (current().isEmpty())
                return;
            const QSize s = pageSizePx();
            const QRect sheet(pageGap, pageGap, s.width(), s.height());
            painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
            painter.fillRect(sheet, Qt::white);
            painter.translate(sheet.topLeft());
            painter.setClipRect(QRect(QPoint(0, 0), s));
            painter.scale(m_preview.pixelsPerMm(), m_preview.pixelsPerMm());
            m_preview.m_renderer->paint(painter, m_preview.m_page, m_preview.m_hits);
        });
    }

    void wheelEvent(QWheelEvent* event) override
    {
        if (!(event->modifiers() & Qt::ControlModifier)) {
            event->ignore();
            return;
        }
        guarded([&] { m_preview.zoomBy(event->angleDelta().y() > 0 ? 1 : -1); });
        event->accept();
    }

private:
    QSizeF current() const { return m_preview.m_pages.pageSize(m_preview.m_page); }

    ReportPreview& m_preview;
};

ReportPreview::ReportPreview(const PageDocument& pages, ExportFilterSet& filters, QWidget* parent)
    : QDialog(parent), m_pages(pages), m_filters(filters)
{
    m_renderer = std::make_unique<PageRenderer>(pages);
    setWindowTitle(Lang.caption("Preview"));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar(layout);

    auto* splitter = new QSplitter(this);
    m_pageList = new QListWidget(splitter);
    m_pageList->setUniformItemSizes(true);
    for (int i = 0; i < pageCount(); ++i)
        m_pageList->addItem(Lang.caption("Page %1").arg(i + 1));
    m_scroll = new QScrollArea(splitter);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView(*this);
    m_scroll->setWidget(m_view);
    // The fitted zooms follow the room the page has; it is known only once the layout has
    // given the scroll area its size, after the window's own resize.
    m_scroll->viewport()->installEventFilter(this);
    splitter->addWidget(m_pageList);
    splitter->addWidget(m_scroll);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({130, 800});
    layout->addWidget(splitter, 1);
    connect(m_pageList, &QListWidget::currentRowChanged, this, [this](int row) { guarded([&] { showPage(row); }); });

    auto shortcut = [this](QKeySequence key, auto action) {
        auto* s = new QShortcut(key, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, [action] { guarded(action); });
    };
    shortcut(QKeySequence(Qt::Key_PageDown), [this] { showPage(m_page + 1); });
    shortcut(QKeySequence(Qt::Key_PageUp), [this] { showPage(m_page - 1); });
    shortcut(QKeySequence(Qt::Key_Home), [this] { showPage(0); });
    shortcut(QKeySequence(Qt::Key_End), [this] { showPage(pageCount() - 1); });
    // Ctrl+F goes to the search box; Ctrl+P prints, as in every program that shows pages.
    shortcut(QKeySequence::Find, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    shortcut(QKeySequence::Print, [this] { print(); });
    shortcut(QKeySequence::ZoomIn, [this] { zoomBy(1); });
    shortcut(QKeySequence::ZoomOut, [this] { zoomBy(-1); });

    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 1024);
    resize(std::min(1000, screen.width() * 9 / 10), screen.height() * 9 / 10);
    showPage(0);
}

ReportPreview::~ReportPreview() = default;

int ReportPreview::pageCount() const
{
    return m_pages.pageCount();
}

void ReportPreview::buildToolBar(QVBoxLayout* layout)
{
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto add = [&](QStyle::StandardPixmap icon, const QString& text, auto action) {
        QAction* a = bar->addAction(style()->standardIcon(icon), text);
        a->setToolTip(text);
        connect(a, &QAction::triggered, this, [action] { guarded(action); });
        return a;
    };
    add(QStyle::SP_MediaSkipBackward, Lang.caption("First page"), [this] { showPage(0); });
    add(QStyle::SP_MediaSeekBackward, Lang.caption("Previous page"), [this] { showPage(m_page - 1); });
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setRange(1, std::max(1, pageCount()));
    m_pageBox->setKeyboardTracking(false);
    bar->addWidget(m_pageBox);
    m_ofPages = new QLabel(u' ' + Lang.caption("of %1").arg(pageCount()) + u' ', bar);
    bar->addWidget(m_ofPages);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int v) { guarded([&] { showPage(v - 1); }); });
    add(QStyle::SP_MediaSeekForward, Lang.caption("Next page"), [this] { showPage(m_page + 1); });
    add(QStyle::SP_MediaSkipForward, Lang.caption("Last page"), [this] { showPage(pageCount() - 1); });
    bar->addSeparator();

    m_zoom = new QComboBox(bar);
    m_zoom->addItem(Lang.caption("Whole page"));
    m_zoom->addItem(Lang.caption("Page width"));
    for (int percent : zoomSteps)
        m_zoom->addItem(QStringLiteral("%1 %").arg(percent), percent);
    bar->addWidget(m_zoom);
    connect(m_zoom, &QComboBox::activated, this, [this](int index) {
        guarded([&] {
            if (index == 0)
                setZoom(ZoomMode::WholePage);
            else if (index == 1)
                setZoom(ZoomMode::PageWidth);
            else
                setZoom(ZoomMode::Percent, m_zoom->itemData(index).toInt());
        });
    });
    bar->addSeparator();

    m_search = new QLineEdit(bar);
    m_search->setPlaceholderText(Lang.caption("Text to find"));
    m_search->setClearButtonEnabled(true);
    m_search->setMaximumWidth(220);
    bar->addWidget(m_search);
    auto find = [this] {
        const QString text = m_search->text();
        if (!text.isEmpty() && !findNext(text))
            desktop().message(this, Lang.Info, Lang.caption("\"%1\" is not found.").arg(text),
                              DesktopServices::Icon::Information, DesktopServices::Ok);
    };
    connect(m_search, &QLineEdit::returnPressed, this, [find] { guarded(find); });
    add(QStyle::SP_FileDialogContentsView, Lang.caption("Find"), find);
    bar->addSeparator();

    QAction* print = bar->addAction(Lang.caption("Print..."));
    print->setToolTip(Lang.caption("Print...") + QStringLiteral(" (") + QKeySequence(QKeySequence::Print).toString(QKeySequence::NativeText) + u')');
    connect(print, &QAction::triggered, this, [this] { guarded([&] { this->print(); }); });
    m_export = new QToolButton(bar);
    m_export->setText(Lang.caption("Export"));
    m_export->setPopupMode(QToolButton::InstantPopup);
    bar->addWidget(m_export);
    buildExportMenu();
    bar->addSeparator();
    QAction* close = bar->addAction(Lang.caption("Close"));
    connect(close, &QAction::triggered, this, &QDialog::accept);
    layout->addWidget(bar);
}

void ReportPreview::buildExportMenu()
{
    auto* menu = new QMenu(m_export);
    for (const QString& key : ExportFilters::keys()) {
        const ExportFilter* filter = m_filters.filter(key);
        QAction* a = menu->addAction(filter->caption() + QStringLiteral("..."));
        a->setData(key);
        connect(a, &QAction::triggered, this, [this, key] { guarded([&] { runExport(key); }); });
    }
    m_export->setMenu(menu);
}

void ReportPreview::runExport(const QString& key)
{
    ExportFilter* filter = m_filters.filter(key);
    if (filter && askExportTarget(*filter, this, m_reportName.isEmpty() ? Lang.caption("Report") : m_reportName))
        filter->run(m_pages, {});
}

bool ReportPreview::print()
{
    return printWithDialog(m_pages, this);
}

void ReportPreview::setReportName(const QString& name)
{
    m_reportName = name;
}

void ReportPreview::showPage(int page)
{
    const int count = pageCount();
    if (count == 0)
        return;
    page = std::clamp(page, 0, count - 1);
    const bool changed = page != m_page;
    m_page = page;
    if (changed || m_hitText.isEmpty())
        m_hits = m_hitText.isEmpty() ? std::vector<int>() : m_pages.find(m_page, m_hitText);
    const QSignalBlocker blockBox(m_pageBox);
    const QSignalBlocker blockList(m_pageList);
    m_pageBox->setValue(page + 1);
    m_pageList->setCurrentRow(page);
    updateView();
    if (changed)
        m_scroll->verticalScrollBar()->setValue(0);
}

void ReportPreview::setZoom(ZoomMode mode, int percent)
{
    m_zoomMode = mode;
    m_percent = std::clamp(percent, 10, 400);
    const QSignalBlocker block(m_zoom);
    if (mode == ZoomMode::WholePage)
        m_zoom->setCurrentIndex(0);
    else if (mode == ZoomMode::PageWidth)
        m_zoom->setCurrentIndex(1);
    else {
        const int index = m_zoom->findData(m_percent);
        if (index >= 0)
            m_zoom->setCurrentIndex(index);
        else
            m_zoom->setEditText(QStringLiteral("%1 %").arg(m_percent));
    }
    updateView();
}

void ReportPreview::zoomBy(int steps)
{
    const int now = std::clamp(qRound(pixelsPerMm() / (logicalDpiX() / 25.4) * 100), 50, 400);
    int next = now;
    if (steps > 0) {
        for (int z : zoomSteps)
            if (z > now) {
                next = z;
                break;
            }
    } else {
        for (int z : zoomSteps)
            if (z < now)
                next = z;
    }
    setZoom(ZoomMode::Percent, next);
}

double ReportPreview::pixelsPerMm() const
{
    const double actual = logicalDpiX() / 25.4;
    if (m_zoomMode == ZoomMode::Percent || m_pages.pageCount() == 0 || !m_scroll)
        return actual * m_percent / 100.0;
    const QSizeF page = m_pages.pageSize(std::min(m_page, m_pages.pageCount() - 1));
    const QSize room = m_scroll->viewport()->size() - QSize(2 * pageGap, 2 * pageGap);
    const double byWidth = std::max(1, room.width()) / page.width();
    if (m_zoomMode == ZoomMode::PageWidth)
        return byWidth;
    return std::min(byWidth, std::max(1, room.height()) / page.height());
}

bool ReportPreview::findNext(const QString& text)
{
    const PageDocument* doc = &m_pages;
    if (doc->pageCount() == 0)
        return false;
    // Pressing again on the page of the last hit goes on to the next page with one.
    const bool again = text.compare(m_hitText, Qt::CaseInsensitive) == 0 && !m_hits.empty();
    m_hitText = text;
    const int count = doc->pageCount();
    for (int step = again ? 1 : 0; step <= count; ++step) {
        const int page = (m_page + step) % count;
        std::vector<int> hits = doc->find(page, text);
        if (!hits.empty()) {
            m_hits = std::move(hits);
            if (page != m_page)
                showPage(page);
            else
                updateView();
            return true;
        }
    }
    m_hits.clear();
    m_hitText.clear();
    updateView();
    return false;
}

void ReportPreview::updateView()
{
    if (m_view)
        m_view->resizeToPage();
}

void ReportPreview::keyPressEvent(QKeyEvent* event)
{
    // Enter belongs to the search box; it must not close the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ReportPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (m_scroll && watched == m_scroll->viewport() && event->type() == QEvent::Resize
        && m_zoomMode != ZoomMode::Percent)
        guarded([&] { updateView(); });
    return QDialog::eventFilter(watched, event);
}

void ReportPreview::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    guarded([&] { updateView(); });
}
