#include "controls/layout_controls.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPicture>
#include <QStyle>
#include <QTabBar>

// ---- TdbLabel ----

TdbLabel::TdbLabel(QWidget* parent) : QLabel(parent)
{
    fitToText();
}

void TdbLabel::setAutoSize(bool on)
{
    m_autoSize = on;
    fitToText();
}

void TdbLabel::setCaption(const QString& caption)
{
    setText(caption);
    fitToText();
}

void TdbLabel::fitToText()
{
    if (m_autoSize)
        resize(captionSize());
}

QSize TdbLabel::captionSize() const
{
    const QString caption = text();
    const bool plain = textFormat() == Qt::PlainText
                       || (textFormat() == Qt::AutoText && !Qt::mightBeRichText(caption));
    // A mnemonic is drawn (and measured) only once the label has a buddy; a style sheet can
    // change the font when the label is polished; the rest changes the margins.
    const bool mnemonic = buddy() && caption.contains(u'&');
    const bool simple = !caption.isEmpty() && plain && !mnemonic && !wordWrap() && frameWidth() == 0 && indent() <= 0
                        && minimumWidth() <= 0 && pixmap().isNull() && picture().isNull() && !movie()
                        && styleSheet().isEmpty()
                        && qApp->styleSheet().isEmpty();
    if (!simple)
        return sizeHint();
    const Qt::LayoutDirection direction = caption.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    // QLabel always expands tabs; centring is left out of measuring, as QLabel does.
    const int flags = (int(QStyle::visualAlignment(direction, alignment()))
                       & ~int(Qt::AlignVCenter | Qt::AlignHCenter))
                      | Qt::TextExpandTabs;
    const QMargins margins = contentsMargins();
    const int extra = 2 * margin();
    const int width = 2000 - (extra + margins.left() + margins.right());
    const QRect bounds = fontMetrics().boundingRect(0, 0, width, 2000, flags, caption);
    return QSize(bounds.width() + extra + margins.left() + margins.right(),
                 bounds.height() + extra + margins.top() + margins.bottom())
        .expandedTo(minimumSize());
}

bool TdbLabel::event(QEvent* e)
{
    const bool result = QLabel::event(e);
    // A new font changes the size the caption needs.
    if (e->type() == QEvent::FontChange)
        fitToText();
    return result;
}

// ---- TdbPanel ----

TdbPanel::TdbPanel(QWidget* parent) : QFrame(parent)
{
    m_color = palette().color(QPalette::Button);
}

void TdbPanel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void TdbPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
    painter.end();
    QFrame::paintEvent(event);
}

// ---- TdbGroupBox ----

TdbGroupBox::TdbGroupBox(QWidget* parent) : QGroupBox(parent) {}

// ---- TdbPageControl ----

TdbPageControl::TdbPageControl(QWidget* parent) : QTabWidget(parent) {}

void TdbPageControl::addSheet(TdbTabSheet* sheet)
{
    if (indexOf(sheet) < 0)
        addTab(sheet, sheet->caption());
}

TdbTabSheet* TdbPageControl::sheet(int index) const
{
    return qobject_cast<TdbTabSheet*>(widget(index));
}

QList<TdbTabSheet*> TdbPageControl::sheets() const
{
    QList<TdbTabSheet*> result;
    for (int i = 0; i < count(); ++i)
        if (auto* s = sheet(i))
            result.append(s);
    return result;
}

void TdbPageControl::moveSheet(int from, int to)
{
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to)
        return;
    // The tab bar moves the page along with its tab.
    tabBar()->moveTab(from, to);
}

void TdbPageControl::arrangeByPageIndex()
{
    const int n = count();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            TdbTabSheet* s = sheet(j);
            if (s && s->pageIndex() == i)
                moveSheet(j, i);
        }
    }
    if (n > 0)
        setCurrentIndex(0);
}

// ---- TdbTabSheet ----

TdbTabSheet::TdbTabSheet(QWidget* parent) : QWidget(parent)
{
    if (auto* pages = qobject_cast<TdbPageControl*>(parent))
        pages->addSheet(this);
}

TdbPageControl* TdbTabSheet::pageControl() const
{
    // Inside a tab widget a page's parent is the widget's internal stack.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* pages = qobject_cast<TdbPageControl*>(w))
            return pages;
    return nullptr;
}

void TdbTabSheet::setCaption(const QString& caption)
{
    m_caption = caption;
    if (TdbPageControl* pages = pageControl()) {
        const int i = pages->indexOf(this);
        if (i >= 0)
            pages->setTabText(i, caption);
    }
}

void TdbTabSheet::setPageIndex(int index)
{
    m_pageIndex = index;
}
