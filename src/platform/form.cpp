#include "platform/form.h"

#include "platform/errors.h"
#include "platform/guard.h"

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSet>
#include <QStyleHints>
#include <QKeyEvent>
#include <QPushButton>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

namespace {
std::function<void(TForm*)>& modalHook()
{
    static std::function<void(TForm*)> hook;
    return hook;
}

QList<QPointer<TForm>>& formList()
{
    static QList<QPointer<TForm>> forms;
    return forms;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

TForm::TForm(QWidget* parent) : QMainWindow(parent), m_client(new QWidget(this))
{
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
    setAttribute(Qt::WA_DeleteOnClose, false);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);
    setBackground(palette().color(QPalette::Button));
    applyWindowFlags();
}

TForm::~TForm()
{
    if (m_modalLoop)
        m_modalLoop->quit();
}

bool TForm::isIdentifier(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
        const bool digit = c >= u'0' && c <= u'9';
        if (!(letter || (i > 0 && digit)))
            return false;
    }
    return true;
}

void TForm::addComponent(QObject* c, const QString& name)
{
    if (!name.isEmpty()) {
        if (!isIdentifier(name))
            throw ComponentError(QStringLiteral("'%1' is not a valid component name").arg(name));
        if (findComponent(name))
            throw ComponentError(QStringLiteral("A component named %1 already exists").arg(name));
    }
    c->setObjectName(name);
    // Destroyed components turn into null pointers, which every walk skips.
    m_components.append(c);
    indexName(c, name);
    connect(c, &QObject::objectNameChanged, this, [this, c](const QString& newName) {
        indexName(c, newName);
    });
}

void TForm::indexName(QObject* c, const QString& name)
{
    const auto old = m_keyOf.constFind(c);
    if (old != m_keyOf.constEnd() && m_byName.value(*old) == c)
        m_byName.remove(*old);
    const QString key = name.toCaseFolded();
    m_keyOf.insert(c, key);
    if (name.isEmpty())
        return;
    const QPointer<QObject> holder = m_byName.value(key);
    if (holder && holder != c)
        m_indexExact = false;
    else
        m_byName.insert(key, c);
}

void TForm::renameComponent(QObject* c, const QString& name)
{
    if (!name.isEmpty()) {
        if (!isIdentifier(name))
            throw ComponentError(QStringLiteral("'%1' is not a valid component name").arg(name));
        QObject* other = findComponent(name);
        if (other && other != c)
            throw ComponentError(QStringLiteral("A component named %1 already exists").arg(name));
    }
    c->setObjectName(name);
}

QObject* TForm::findComponent(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    if (m_indexExact)
        return m_byName.value(name.toCaseFolded());
    for (const QPointer<QObject>& c : m_components)
        if (c && sameName(c->objectName(), name))
            return c;
    return nullptr;
}

QList<QObject*> TForm::components() const
{
    QList<QObject*> result;
    result.reserve(m_components.size());
    for (const QPointer<QObject>& c : m_components)
        if (c)
            result.append(c);
    return result;
}

TForm* TForm::formOf(const QObject* object)
{
    for (QObject* o = const_cast<QObject*>(object); o; o = o->parent())
        if (auto* form = qobject_cast<TForm*>(o))
            return form;
    return nullptr;
}

void TForm::setFormName(const QString& name)
{
    if (!isIdentifier(name))
        throw ComponentError(QStringLiteral("'%1' is not a valid component name").arg(name));
    for (TForm* other : Forms::all())
        if (other != this && sameName(other->objectName(), name))
            throw ComponentError(QStringLiteral("A component named %1 already exists").arg(name));
    setObjectName(name);
}

QSize TForm::clientSize() const
{
    return m_client->size();
}

void TForm::setClientSize(int width, int height)
{
    // Wider or taller than any screen (8K is 7680 pixels wide) is a slip in a form file or an
    // outsize picture; the window's backing store would otherwise take gigabytes.
    constexpr int MaxExtent = 8192;
    width = qBound(0, width, MaxExtent);
    height = qBound(0, height, MaxExtent);
    const int extra = menuWidget() && !menuWidget()->isHidden() ? menuWidget()->sizeHint().height() : 0;
    const QSize total(width, height + extra);
    if (m_sizeable) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(total);
    } else {
        setFixedSize(total);
    }
    // The layout places the client only when the window is first laid out; builders and
    // anchors need the size now.
    m_client->setGeometry(0, extra, width, height);
}

void TForm::setSizeable(bool sizeable)
{
    const QSize client = m_client->size();
    const int extra = menuWidget() && !menuWidget()->isHidden() ? menuWidget()->sizeHint().height() : 0;
    m_sizeable = sizeable;
    applyWindowFlags();
    if (sizeable) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(isVisible() || testAttribute(Qt::WA_Resized) ? size()
                                                                  : QSize(client.width(), client.height() + extra));
    }
}

void TForm::applyWindowFlags()
{
    const bool visible = isVisible();
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                            | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                            | Qt::WindowCloseButtonHint;
    if (m_sizeable)
        flags |= Qt::WindowMaximizeButtonHint;
    else
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    setWindowFlags(flags);
    if (visible)
        show();
}

void TForm::setBackground(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    setAutoFillBackground(true);
    m_client->setAutoFillBackground(true);
}

void TForm::centerOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size();
    move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

void TForm::showModal()
{
    QEventLoop loop;
    QEventLoop* outer = m_modalLoop;
    m_modalLoop = &loop;
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    if (modalHook()) {
        QPointer<TForm> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && modalHook())
                modalHook()(self);
        });
    }
    if (isVisible())
        loop.exec();
    m_modalLoop = outer;
    setWindowModality(Qt::NonModal);
}

void TForm::closeForm()
{
    hide();
}

void TForm::setModalHook(std::function<void(TForm*)> hook)
{
    modalHook() = std::move(hook);
}

void TForm::closeEvent(QCloseEvent* event)
{
    // A failing question keeps the form open: what it holds is not thrown away unasked.
    bool mayClose = true;
    if (m_closeRequestHandler) {
        mayClose = false;
        guarded([&] { mayClose = m_closeRequestHandler(this); });
    }
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

void TForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_showHandler && !event->spontaneous())
        guarded([&] { m_showHandler(this); });
}

namespace {

// After a modal form closes, the rest of a double-click that began on it lands on whatever
// window was beneath: the second press of a double-click on Save would open the grid's record
// under the pointer. Mouse presses that follow the closing within the double-click time, and
// their releases and double-clicks, are dropped for every other window.
class ClickAfterModalGuard : public QObject {
public:
    static ClickAfterModalGuard& instance()
    {
        static auto* guard = new ClickAfterModalGuard(qApp);
        return *guard;
    }

    void formClosed(const QWidget* form)
    {
        m_closed = form;
        m_closedAt.start();
        m_swallowing.clear();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick
            && type != QEvent::MouseButtonRelease)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget)
            return false;
        QWidget* window = widget->window();
        if (type == QEvent::MouseButtonRelease)
            return m_swallowing.remove(window) > 0;
        if (!m_closedAt.isValid() || window == m_closed)
            return false;
        if (m_closedAt.elapsed() >= QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
            m_closedAt.invalidate();
            return false;
        }
        m_swallowing.insert(window);
        return true;
    }

private:
    explicit ClickAfterModalGuard(QObject* parent) : QObject(parent)
    {
        qApp->installEventFilter(this);
    }

    QPointer<const QWidget> m_closed;
    QElapsedTimer m_closedAt;
    QSet<QWidget*> m_swallowing;
};

} // namespace

void TForm::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    if (m_modalLoop && !event->spontaneous()) {
        guarded([this] { ClickAfterModalGuard::instance().formClosed(this); });
        m_modalLoop->quit();
    }
}

namespace {

bool insideCalendar(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget())
        if (qobject_cast<const QCalendarWidget*>(widget))
            return true;
    return false;
}

} // namespace

void TForm::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    // The keypad's Enter comes with the keypad modifier.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        // A focused push button is pressed by Enter; on any other control (a check box too,
        // which a click would toggle) Enter means the form's default button. A calendar's
        // year editor takes Enter for itself: it commits the year, not the form.
        QWidget* focus = focusWidget();
        if (insideCalendar(focus)) {
            event->accept();
            return;
        }
        auto* focused = qobject_cast<QPushButton*>(focus);
        QAbstractButton* target = focused;
        for (QWidget* w = focus; !target && w && w != this; w = w->parentWidget())
            target = enterButton(w);
        if (!target)
            target = m_defaultButton.data();
        if (target && target->isEnabled() && target->isVisible()) {
            target->click();
            return;
        }
    } else if (key == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (m_cancelButton && m_cancelButton->isEnabled() && m_cancelButton->isVisible()) {
            m_cancelButton->click();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void TForm::setEnterButton(QWidget* field, QAbstractButton* button)
{
    if (!field || !button || enterButton(field))
        return;
    m_enterButtons.insert(field, {field, button});
}

QAbstractButton* TForm::enterButton(const QWidget* field) const
{
    // A field that went away leaves its entry behind; a new widget at the same address is not
    // that field.
    const auto it = m_enterButtons.constFind(field);
    return it != m_enterButtons.constEnd() && it->field == field ? it->button.data() : nullptr;
}

namespace Forms {

void registerForm(TForm* form)
{
    // Forms made and deleted while the program runs (reports, designers) leave no trace.
    formList().removeIf([](const QPointer<TForm>& f) { return f.isNull(); });
    formList().append(form);
}

QList<TForm*> all()
{
    QList<TForm*> result;
    for (const QPointer<TForm>& f : formList())
        if (f)
            result.append(f);
    return result;
}

TForm* mainForm()
{
    const QList<TForm*> forms = all();
    return forms.isEmpty() ? nullptr : forms.first();
}

TForm* find(const QString& name)
{
    for (TForm* f : all())
        if (f->objectName() == name)
            return f;
    return nullptr;
}

} // namespace Forms
