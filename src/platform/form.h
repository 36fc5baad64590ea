#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <functional>

#include <QAbstractButton>

// A window of the application: the engine's main window, the forms built from forms.xml and
// the engine's own dialogs. A form owns an ordered list of components (creation order is the
// "component order" that many algorithms walk); every control is owned by its form whatever
// container displays it, so controls are found by name through their form. Names are
// identifiers, unique on their form, and are looked up ignoring the case of ASCII letters.
class TForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    // The client area: built controls are placed here.
    QWidget* client() const { return m_client; }

    // ---- components ----
    // Registers c as owned by this form under name (may be empty). Throws ComponentError
    // when the name is not an identifier or is already used on this form.
    void addComponent(QObject* c, const QString& name);
    void renameComponent(QObject* c, const QString& name);
    QObject* findComponent(const QString& name) const;
    QList<QObject*> components() const;
    template <class T>
    QList<T*> componentsOf() const
    {
        QList<T*> result;
        for (QObject* c : components())
            if (auto* t = qobject_cast<T*>(c))
                result.append(t);
        return result;
    }
    // The form that owns (contains) the object, or nullptr.
    static TForm* formOf(const QObject* object);

    static bool isIdentifier(const QString& name);

    // ---- the form as a whole ----
    // Renames the form; the name must be an identifier unique among the application's forms.
    void setFormName(const QString& name);
    QString formName() const { return objectName(); }

    // The form's hint text: the return slot through which a modal form reports the table
    // saved from it.
    QString hint() const { return m_hint; }
    void setHint(const QString& hint) { m_hint = hint; }

    // The size of the client area, each side at most 8192 pixels.
    void setClientSize(int width, int height);
    QSize clientSize() const;
    // Resizable border with minimise and maximise, or a fixed border with minimise only.
    void setSizeable(bool sizeable);
    bool isSizeable() const { return m_sizeable; }
    void setBackground(const QColor& color);
    void centerOnScreen();

    // ---- showing ----
    // Shows the form modally: returns when the form is closed (hidden).
    void showModal();
    bool isShownModally() const { return m_modalLoop != nullptr; }
    // Closing a form hides it; it keeps its controls and their contents.
    void closeForm();

    // Called (guarded) every time the form is shown.
    void setShowHandler(std::function<void(TForm*)> handler) { m_showHandler = std::move(handler); }
    // Asked (guarded) when the user closes the form by its window's close button; false keeps
    // it open. closeForm() asks nothing.
    void setCloseRequestHandler(std::function<bool(TForm*)> handler)
    {
        m_closeRequestHandler = std::move(handler);
    }

    // The Enter key presses the default button, Escape the cancel button.
    void setDefaultButton(QAbstractButton* button) { m_defaultButton = button; }
    void setCancelButton(QAbstractButton* button) { m_cancelButton = button; }
    QAbstractButton* defaultButton() const { return m_defaultButton; }
    QAbstractButton* cancelButton() const { return m_cancelButton; }
    // Enter in field (or in a control inside it) presses button instead of the default button:
    // a search field runs its search. The first button given for a field is kept.
    void setEnterButton(QWidget* field, QAbstractButton* button);
    QAbstractButton* enterButton(const QWidget* field) const;

    // Tests drive modal forms: the hook runs (once per modal showing) as soon as the form's
    // modal loop is running.
    static void setModalHook(std::function<void(TForm*)> hook);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void applyWindowFlags();

private:
    QWidget* m_client;
    QList<QPointer<QObject>> m_components;
    // Component names, case-folded, to the component: lookups and the duplicate check stay
    // cheap on forms with thousands of controls. Renames reach it through objectNameChanged;
    // should a rename from outside ever give two components one name, lookups fall back to
    // walking the list in component order.
    void indexName(QObject* c, const QString& name);
    QHash<QString, QPointer<QObject>> m_byName;
    QHash<QObject*, QString> m_keyOf;
    bool m_indexExact = true;
    QString m_hint;
    bool m_sizeable = false;
    class QEventLoop* m_modalLoop = nullptr;
    std::function<void(TForm*)> m_showHandler;
    std::function<bool(TForm*)> m_closeRequestHandler;
    QPointer<QAbstractButton> m_defaultButton;
    QPointer<QAbstractButton> m_cancelButton;
    struct EnterButton {
        QPointer<QWidget> field;
        QPointer<QAbstractButton> button;
    };
    QHash<const QWidget*, EnterButton> m_enterButtons;
};

// The application's forms, in creation order; the main window comes first.
namespace Forms {
void registerForm(TForm* form);
QList<TForm*> all();
TForm* mainForm();
// The first form whose name equals name exactly (letter case counts).
TForm* find(const QString& name);
} // namespace Forms
