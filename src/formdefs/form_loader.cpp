#include "formdefs/form_loader.h"

#include "formdefs/accessible_texts.h"
#include "formdefs/control_builders.h"
#include "formdefs/forms_document.h"
#include "formdefs/value_conversions.h"

#include "controls/action_button.h"
#include "platform/anchors.h"
#include "platform/colors.h"
#include "platform/convert.h"
#include "platform/errors.h"
#include "platform/form.h"
#include "platform/windowed.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>
#include <algorithm>

namespace {

using FormValues::Reader;

const QString NameAttribute = QStringLiteral("Name");
const QString TabOrderAttribute = QStringLiteral("TabOrder");

// ---- font and tab steps ----

// Size, colour and style are always set, so a control shows 8-point black regular text
// unless the file says otherwise, whatever its parent's font; only the typeface follows the
// parent (the label's follows the application's default font).
void applyFont(QWidget* control, const Reader& e, bool startFromApplicationFont)
{
    QFont font;
    QString family = e.text(QStringLiteral("FontName"));
    if (family.isEmpty() && startFromApplicationFont)
        family = QApplication::font().family();
    if (!family.isEmpty())
        font.setFamily(family);
    // Point sizes outside what a screen can show would only make the font engine suffer.
    font.setPointSize(std::clamp(e.integer(QStringLiteral("FontSize"), 8), 1, 1000));
    const qint32 style = e.integer(QStringLiteral("FontStyle"), 0);
    font.setBold(style & 1);
    font.setItalic(style & 2);
    font.setUnderline(style & 4);
    font.setStrikeOut(style & 8);
    // Most controls already show exactly this font and colour; setting them again would only
    // send change events through every child of the control.
    if (font.resolve(control->font()) != control->font())
        control->setFont(font);

    const QColor color = e.color(QStringLiteral("FontColor"), Colors::Black);
    QPalette palette = control->palette();
    const QPalette::ColorRole roles[] = {QPalette::WindowText, QPalette::Text, QPalette::ButtonText};
    bool changed = false;
    for (QPalette::ColorRole role : roles)
        if (palette.color(role) != color) {
            palette.setColor(role, color);
            changed = true;
        }
    if (changed)
        control->setPalette(palette);
}

void applyTabStop(QWidget* control, const Reader& e, bool panel)
{
    const bool tabStop = e.flag(QStringLiteral("TabStop"));
    if (tabStop)
        control->setFocusPolicy(Qt::StrongFocus);
    else
        control->setFocusPolicy(panel ? Qt::NoFocus : Qt::ClickFocus);
}

struct TabEntry {
    qint32 order;
    QWidget* control;
};

// Applied in ascending order, numbers given once each end up exactly in that sequence and the
// controls without a number (999) follow them.
void applyTabOrder(QList<TabEntry>& entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TabEntry& a, const TabEntry& b) { return a.order < b.order; });
    QList<QPair<QWidget*, int>> moves;
    moves.reserve(entries.size());
    for (const TabEntry& entry : entries)
        // An unnamed control cannot be found by name, so its number is not applied.
        if (!entry.control->objectName().isEmpty())
            moves.append({entry.control, static_cast<qint16>(entry.order)});
    Windowed::setTabOrders(moves);
}

// ---- the walk ----

TForm* owningForm(QWidget* parent)
{
    if (auto* form = qobject_cast<TForm*>(parent))
        return form;
    if (TForm* form = TForm::formOf(parent))
        return form;
    throw ComponentError(QStringLiteral("Controls can only be built inside a form"));
}

void buildLevel(const FormBuildContext& context, QWidget* parent, const FormsElement& element,
                int depth)
{
    if (depth > FormsDocument::MaxDepth)
        throw FormatError(QStringLiteral("Controls are nested more than %1 levels deep")
                              .arg(FormsDocument::MaxDepth));
    const ControlBuilders::Scope scope{context, owningForm(parent), parent,
                                       Windowed::container(parent)};
    QList<TabEntry> tabList;

    for (const FormsElement& node : element.children) {
        const Reader e(node);
        const ControlBuilders::Kind* kind = ControlBuilders::find(node.name);
        QWidget* control = kind ? kind->build(scope, e) : nullptr;
        if (control) {
            if (kind->windowed)
                Windowed::mark(control);
            if (kind->font)
                applyFont(control, e, kind->label);
            if (kind->finish)
                kind->finish(control);
            if (kind->anchors)
                if (const auto sides = e.anchors())
                    Anchors::set(control, *sides);
            if (kind->tab) {
                applyTabStop(control, e, kind->panel);
                tabList.append({StrToIntDef(e.text(TabOrderAttribute), 999), control});
            }
            // A child made after its window was shown stays hidden unless told otherwise, and
            // the main window is on screen while it is built. Shown only now that it has its
            // size, so that it is not first measured for a size of its own. Pages are shown by
            // their page control.
            if (scope.container->isVisible() && !qobject_cast<QTabWidget*>(scope.container))
                control->show();
        }

        // Child elements go into the parent's windowed child that bears the element's Name,
        // whatever the element is. Names are unique on a form, so a control just built under
        // that name is the one a search would find.
        if (node.children.empty())
            continue;
        const QString name = e.text(NameAttribute);
        QWidget* inner = nullptr;
        if (control && !name.isEmpty())
            inner = kind->windowed ? control : nullptr;
        else
            inner = Windowed::findChild(parent, name);
        if (inner)
            buildLevel(context, inner, node, depth + 1);
    }

    applyTabOrder(tabList);
}

// ---- forms ----

// The controls a file asks for, weighed before anything is built: a small file can describe
// thousands of month calendars, and each takes a quarter of a megabyte and milliseconds to
// make. About 500 MB and a few seconds at most; a large application weighs well under half.
constexpr qint64 MaxWeight = 40000;

void checkWeight(const FormsElement& root, const QString& fileName)
{
    qint64 weight = 0;
    // Depth first, without recursion.
    std::vector<const FormsElement*> pending{&root};
    while (!pending.empty()) {
        const FormsElement* e = pending.back();
        pending.pop_back();
        for (const FormsElement& child : e->children) {
            if (const ControlBuilders::Kind* kind = ControlBuilders::find(child.name))
                weight += kind->weight;
            if (!child.children.empty())
                pending.push_back(&child);
        }
    }
    if (weight > MaxWeight)
        throw FormatError(QStringLiteral("The form definitions file %1 describes more controls than "
                                         "can be built: they weigh as much as %2 edit boxes, at "
                                         "most %3 are supported")
                              .arg(fileName)
                              .arg(weight)
                              .arg(MaxWeight));
}

void configureMainForm(const FormBuildContext& context, const FormsElement& element)
{
    TForm* form = context.mainForm;
    const Reader e(element);
    form->setSizeable(e.flag(QStringLiteral("Sizeable")));
    form->setClientSize(e.integer(QStringLiteral("Width"), 640),
                        e.integer(QStringLiteral("Height"), 480));
    BuildControls(context, form, element);
    form->setWindowTitle(e.text(QStringLiteral("Caption")));
    form->setFormName(element.name);
    if (const auto color = e.colorIfGiven(QStringLiteral("Color")))
        form->setBackground(*color);
}

void createForm(const FormBuildContext& context, const FormsElement& element)
{
    auto* form = new TForm();
    try {
        form->setFormName(element.name);
    } catch (...) {
        delete form;
        throw;
    }
    Forms::registerForm(form);
    form->setShowHandler(context.onFormShow);
    const Reader e(element);
    if (const auto color = e.colorIfGiven(QStringLiteral("Color")))
        form->setBackground(*color);
    form->setWindowTitle(e.text(QStringLiteral("Caption")));
    form->setSizeable(e.flag(QStringLiteral("Sizeable")));
    form->setClientSize(e.integer(QStringLiteral("Width"), 640),
                        e.integer(QStringLiteral("Height"), 480));
    // Centred once its size is known, so that it opens in the middle of the screen.
    form->centerOnScreen();
    form->setFocusPolicy(Qt::NoFocus);
    BuildControls(context, form, element);
}

// Enter in a field that a search button reads runs that search, as a click on it would; the
// form's default button (its Save) stays Enter's target everywhere else.
void wireSearchFields(TForm* form)
{
    for (TdbButton* button : form->componentsOf<TdbButton>()) {
        if (button->dbActionType != adbSearch)
            continue;
        for (const QString& name : button->dbListControls.split(u','))
            if (auto* field = qobject_cast<QWidget*>(form->findComponent(name)))
                form->setEnterButton(field, button);
    }
}

// A sizeable form shrinks no further than its anchored controls stay apart, and never asks
// for more than the screen it opens on.
void keepAnchoredControlsApart(TForm* form)
{
    if (!form->isSizeable())
        return;
    QSize minimum = Anchors::minimumSize(form);
    if (const QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen())
        minimum = minimum.boundedTo(screen->availableGeometry().size());
    form->setMinimumSize(minimum);
}

} // namespace

void BuildControls(const FormBuildContext& context, QWidget* parent, const FormsElement& element)
{
    buildLevel(context, parent, element, 0);
    if (auto* form = qobject_cast<TForm*>(parent)) {
        Windowed::applyFocusChain(form);
        ApplyAccessibleTexts(form);
        wireSearchFields(form);
        keepAnchoredControlsApart(form);
    }
}

void LoadForms(const FormBuildContext& context, const QString& fileName)
{
    if (!context.mainForm)
        throw ComponentError(QStringLiteral("Forms can only be loaded into a main form"));
    const FormsElement document = FormsDocument::read(fileName);
    if (document.children.empty())
        throw FormatError(QStringLiteral("The form definitions file %1 holds no elements")
                              .arg(fileName));
    const FormsElement& root = document.children.front();
    if (root.name != QLatin1String("main"))
        throw FormatError(
            QStringLiteral("The root element of the form definitions file %1 is <%2>, not <main>")
                .arg(fileName, root.name));
    checkWeight(root, fileName);
    bool first = true;
    for (const FormsElement& element : root.children) {
        if (first)
            configureMainForm(context, element);
        else
            createForm(context, element);
        first = false;
        // Every new widget posts a polish request and every inner layout (a calendar's, a
        // date editor's) a layout request; Qt looks through the whole queue at each layout
        // request, so left for the event loop the requests of a hundred forms cost more to
        // queue than to carry out. The event loop would deliver them all the same; they are
        // delivered form by form instead, which keeps the queue short.
        QCoreApplication::sendPostedEvents();
    }
}
