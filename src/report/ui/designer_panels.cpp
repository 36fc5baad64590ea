#include "report/ui/designer_panels.h"

#include "platform/desktop_services.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "report/engine/compiled_text.h"
#include "report/engine/dataset.h"
#include "report/ui/designer_view.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using Editor = DesignerProperty::Editor;

// ---------------------------------------------------------------- property panel

DesignerPropertyPanel::DesignerPropertyPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    m_heading = new QLabel(this);
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);
    layout->addWidget(m_heading);
    m_form = new QFormLayout;
    m_form->setLabelAlignment(Qt::AlignLeft);
    m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    layout->addLayout(m_form);
    layout->addStretch(1);
}

QWidget* DesignerPropertyPanel::editor(const QString& key) const
{
    for (const auto& [property, editor] : m_editors)
        if (property->key == key)
            return editor;
    return nullptr;
}

QStringList DesignerPropertyPanel::keys() const
{
    return m_keys;
}

int DesignerPropertyPanel::preferredWidth() const
{
    const QFontMetrics metrics(font());
    int label = 0;
    for (const DesignerProperty& p : designerProperties())
        label = std::max(label, metrics.horizontalAdvance(Lang.caption(p.caption)));
    int spacing = m_form->horizontalSpacing();
    if (spacing < 0)
        spacing = style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
    // An editor shows about twenty characters; a "..." button stands beside some.
    QToolButton button;
    button.setText(QStringLiteral("..."));
    const int editor = metrics.horizontalAdvance(QLatin1Char('0')) * 20 + button.sizeHint().width() + 2;
    const QMargins margins = layout()->contentsMargins();
    return margins.left() + label + spacing + editor + margins.right();
}

void DesignerPropertyPanel::show(const DesignerDocument& document)
{
    const ReportTemplate& t = document.propertyModel();
    const DesignerSelection selection = document.propertySelection();
    const std::vector<const DesignerProperty*> properties = document.shownProperties();
    QStringList keys;
    for (const DesignerProperty* p : properties)
        keys << p->key + QString::number(int(p->scope));
    if (keys != m_keys)
        rebuild(properties);
    m_keys = keys;

    if (document.showsOpenSubreport()) {
        m_heading->setText(Lang.caption("Sub-report") + QStringLiteral(": ") + document.model().name);
    } else if (!selection.objects.empty()) {
        const ReportObject* o = findObject(t, selection.objects.front());
        m_heading->setText(selection.objects.size() > 1 ? Lang.caption("Objects: %1").arg(selection.objects.size())
                                                        : Lang.caption("Object") + QStringLiteral(": ") + objectKindName(o->kind));
    } else if (selection.band) {
        m_heading->setText(Lang.caption("Band") + QStringLiteral(": ")
                           + levelBandTitle(t, *selection.band, document.inSubreport()));
    } else {
        m_heading->setText(Lang.caption("Page"));
    }
    m_shown.clear();
    for (const auto& [property, editor] : m_editors) {
        const QVariant value = propertyValue(t, selection, *property);
        m_shown.insert(property->key, value);
        setValue(*property, editor, value);
    }
}

void DesignerPropertyPanel::rebuild(const std::vector<const DesignerProperty*>& properties)
{
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    m_editors.clear();
    for (const DesignerProperty* p : properties) {
        QWidget* editor = makeEditor(*p);
        m_editors.emplace_back(p, editor);
        m_form->addRow(Lang.caption(p->caption), editor->parentWidget() == this ? editor : editor->parentWidget());
    }
}

void DesignerPropertyPanel::emitEdit(const QString& key, const QVariant& value)
{
    if (m_shown.value(key) == value)
        return;
    m_shown.insert(key, value);
    emit edited(key, value);
}

QWidget* DesignerPropertyPanel::makeEditor(const DesignerProperty& property)
{
    const QString key = property.key;
    auto withButton = [&](QLineEdit* line, std::function<void()> pressed) -> QWidget* {
        auto* box = new QWidget(this);
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(2);
        line->setParent(box);
        row->addWidget(line, 1);
        auto* button = new QToolButton(box);
        button->setText(QStringLiteral("..."));
        button->setObjectName(key + QStringLiteral("-button"));
        row->addWidget(button);
        connect(button, &QToolButton::clicked, this, [pressed] { guarded(pressed); });
        return line;
    };
    switch (property.editor) {
    case Editor::Sql: {
        // Shown on one line; written in the SQL editor, so that its lines stay as they are.
        auto* line = new QLineEdit(this);
        line->setObjectName(key);
        line->setReadOnly(true);
        line->installEventFilter(this);
        return withButton(line, [this, key] { emit queryRequested(key); });
    }
    case Editor::Dialog: {
        auto* line = new QLineEdit(this);
        line->setObjectName(key);
        line->setReadOnly(true);
        return withButton(line, [this, key] { emit dialogRequested(key); });
    }
    case Editor::File: {
        auto* line = new QLineEdit(this);
        line->setObjectName(key);
        connect(line, &QLineEdit::editingFinished, this, [this, key, line] { guarded([&] { emitEdit(key, line->text()); }); });
        return withButton(line, [this, key] { emit fileRequested(key); });
    }
    case Editor::Text:
    case Editor::Expression:
    case Editor::TextExpression:
    case Editor::Color: {
        auto* line = new QLineEdit(this);
        line->setObjectName(key);
        connect(line, &QLineEdit::editingFinished, this, [this, key, line] { guarded([&] { emitEdit(key, line->text()); }); });
        if (property.editor == Editor::Text)
            return line;
        if (property.editor == Editor::Color)
            return withButton(line, [this, key, line] {
                const QColor initial = QColor::fromString(line->text());
                QColorDialog dialog(initial.isValid() ? initial : QColor(Qt::black), this);
                dialog.setOption(QColorDialog::ShowAlphaChannel);
                if (desktop().runModal(dialog) && dialog.selectedColor().isValid()) {
                    line->setText(colorValue(dialog.selectedColor()).toString());
                    emitEdit(key, line->text());
                }
            });
        return withButton(line, [this, key] { emit expressionRequested(key); });
    }
    case Editor::Mm:
    case Editor::Points: {
        auto* spin = new QDoubleSpinBox(this);
        spin->setObjectName(key);
        spin->setKeyboardTracking(false);
        if (property.editor == Editor::Mm) {
            spin->setRange(-1000, 5000);
            spin->setDecimals(2);
            spin->setSingleStep(0.5);
        } else {
            spin->setRange(1, 400);
            spin->setDecimals(1);
            spin->setSingleStep(1);
        }
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this, key](double v) { guarded([&] { emitEdit(key, v); }); });
        return spin;
    }
    case Editor::Bool: {
        auto* check = new QCheckBox(this);
        check->setObjectName(key);
        connect(check, &QCheckBox::toggled, this, [this, key](bool v) { guarded([&] { emitEdit(key, v); }); });
        return check;
    }
    case Editor::Choice: {
        auto* combo = new QComboBox(this);
        combo->setObjectName(key);
        for (const char* choice : property.choices)
            combo->addItem(Lang.caption(choice));
        connect(combo, &QComboBox::activated, this, [this, key](int v) { guarded([&] { emitEdit(key, v); }); });
        return combo;
    }
    case Editor::Font: {
        auto* combo = new QComboBox(this);
        combo->setObjectName(key);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(QFontDatabase::families());
        auto commit = [this, key, combo] { guarded([&] { emitEdit(key, combo->currentText()); }); };
        connect(combo, &QComboBox::activated, this, commit);
        connect(combo->lineEdit(), &QLineEdit::editingFinished, this, commit);
        return combo;
    }
    }
    return nullptr;
}

void DesignerPropertyPanel::setValue(const DesignerProperty& property, QWidget* editor, const QVariant& value)
{
    const QSignalBlocker block(editor);
    if (property.editor == Editor::Sql || property.editor == Editor::Dialog) {
        auto* line = qobject_cast<QLineEdit*>(editor);
        line->setText(value.toString().simplified());
        line->setToolTip(value.toString());
        line->setCursorPosition(0);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setText(value.toString());
    else if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor))
        spin->setValue(value.toDouble());
    else if (auto* check = qobject_cast<QCheckBox*>(editor))
        check->setChecked(value.toBool());
    else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (property.editor == Editor::Font) {
            const QSignalBlocker blockLine(combo->lineEdit());
            combo->setCurrentText(value.toString());
        } else {
            combo->setCurrentIndex(value.toInt());
        }
    }
}

bool DesignerPropertyPanel::eventFilter(QObject* watched, QEvent* event)
{
    // A double-click on the query's line opens its editor, as the button beside it does.
    const auto* line = qobject_cast<QLineEdit*>(watched);
    if (event->type() == QEvent::MouseButtonDblClick && line && line->isReadOnly()) {
        guarded([&] { emit queryRequested(watched->objectName()); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- field list

DesignerFieldList::DesignerFieldList(QWidget* parent) : QListWidget(parent)
{
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void DesignerFieldList::setData(const ReportDataset* data)
{
    clear();
    if (data)
        for (const QString& column : data->columns())
            addItem(column);
}

QStringList DesignerFieldList::mimeTypes() const
{
    return {DesignerView::fieldMimeType()};
}

QMimeData* DesignerFieldList::mimeData(const QList<QListWidgetItem*>& items) const
{
    if (items.isEmpty())
        return nullptr;
    auto* mime = new QMimeData;
    mime->setData(DesignerView::fieldMimeType(), items.front()->text().toUtf8());
    mime->setText(items.front()->text());
    return mime;
}

// ---------------------------------------------------------------- query editor

ReportQueryEditor::ReportQueryEditor(const QString& query, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportQueryEditor"));
    setWindowTitle(Lang.caption("Query of the report"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Lang.caption("The rows of the report: one SELECT statement. $id and {control} are "
                                              "filled in by the report button."),
                                 this));
    m_editor = new QPlainTextEdit(this);
    m_editor->setObjectName(QStringLiteral("sql"));
    m_editor->setPlainText(query);
    m_editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editor->setTabChangesFocus(true);
    layout->addWidget(m_editor, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Lang.caption("OK"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("ok"));
    buttons->addButton(Lang.caption("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(620, 360);
}

QString ReportQueryEditor::query() const
{
    return m_editor->toPlainText().trimmed();
}

// ---------------------------------------------------------------- expression editor

ReportExpressionEditor::ReportExpressionEditor(const QString& text, bool embedded, const ReportDataset* data,
                                               const QStringList& groups, QWidget* parent)
    : QDialog(parent), m_embedded(embedded), m_data(data), m_groups(groups)
{
    setWindowTitle(Lang.caption("Expression editor"));
    auto* layout = new QVBoxLayout(this);
    m_editor = new QPlainTextEdit(this);
    m_editor->setObjectName(QStringLiteral("expression"));
    m_editor->setPlainText(text);
    m_editor->setTabChangesFocus(true);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_editor->setFont(mono);
    m_editor->setMinimumHeight(70);
    layout->addWidget(m_editor);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(m_problem);
    auto* hint = new QLabel(Lang.caption("Double-click an item to insert it at the cursor."), this);
    layout->addWidget(hint);

    auto* row = new QHBoxLayout;
    layout->addLayout(row, 1);
    m_fields = makeList(Lang.caption("Fields"), row);
    const QString dataset = data ? data->userName() : QStringLiteral("Report");
    if (data)
        for (const QString& column : data->columns()) {
            auto* item = new QListWidgetItem(column, m_fields);
            item->setData(Qt::UserRole, fieldExpression(dataset, column));
        }
    m_system = makeList(Lang.caption("System values"), row);
    const struct {
        const char* name;
        const char* meaning;
    } systems[] = {{"Page", "Current page number"},
                   {"TotalPages", "Page count"},
                   {"Date", "Current date"},
                   {"Time", "Current time"},
                   {"Line", "Row number"}};
    for (const auto& s : systems) {
        auto* item = new QListWidgetItem(QString::fromLatin1(s.name) + QStringLiteral(" \u2014 ") + Lang.caption(s.meaning), m_system);
        item->setData(Qt::UserRole, QString::fromLatin1(s.name));
    }
    m_functions = makeList(Lang.caption("Functions"), row);
    const struct {
        const char* call;
        const char* meaning;
    } functions[] = {{"SUM()", "Sum"}, {"COUNT()", "Count of rows"}, {"AVG()", "Average"},
                     {"MIN()", "Minimum"}, {"MAX()", "Maximum"}, {"IIF(, , )", "If then else"},
                     {"DISPLAY()", "Text as the forms show it"}, {"UPPER()", "Upper case"},
                     {"LOWER()", "Lower case"}, {"TRIM()", "Without blanks at the ends"}};
    for (const auto& f : functions) {
        const QString call = QString::fromLatin1(f.call);
        auto* item = new QListWidgetItem(call + QStringLiteral(" \u2014 ") + Lang.caption(f.meaning), m_functions);
        item->setData(Qt::UserRole, call);
    }
    connect(m_fields, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { guarded([&] { insert(item->data(Qt::UserRole).toString()); }); });
    connect(m_system, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { guarded([&] { insert(item->data(Qt::UserRole).toString()); }); });
    connect(m_functions, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        guarded([&] {
            QString call = item->data(Qt::UserRole).toString();
            // A function of a value takes the field picked in the field list, when there is one.
            if (call.endsWith(QStringLiteral("()")) && call != QStringLiteral("COUNT()") && m_fields->currentItem()) {
                call.chop(1);
                call += m_fields->currentItem()->data(Qt::UserRole).toString() + u')';
                insert(call);
            } else {
                insert(call, call.startsWith(QStringLiteral("IIF")) ? 5 : 1);
            }
        });
    });

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Lang.caption("OK"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("ok"));
    buttons->addButton(Lang.caption("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { guarded([&] { accept(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 420);
}

void ReportExpressionEditor::setParameters(const ParameterValues& parameters)
{
    m_parameters = parameters;
    for (const ParameterValue& p : parameters) {
        const QString expression = QStringLiteral("Param.") + p.name;
        auto* item = new QListWidgetItem(expression, m_fields);
        item->setData(Qt::UserRole, expression);
    }
}

QListWidget* ReportExpressionEditor::makeList(const QString& title, QHBoxLayout* row)
{
    auto* column = new QVBoxLayout;
    column->addWidget(new QLabel(title, this));
    auto* list = new QListWidget(this);
    column->addWidget(list, 1);
    row->addLayout(column, 1);
    return list;
}

QString ReportExpressionEditor::text() const
{
    return m_editor->toPlainText();
}

void ReportExpressionEditor::insert(const QString& snippet, int cursorBack)
{
    QTextCursor cursor = m_editor->textCursor();
    QString piece = snippet;
    int back = cursorBack;
    if (m_embedded) {
        if (!insideExpression(text(), cursor.position())) {
            piece = u'[' + piece + u']';
            if (back > 0)
                ++back;
        }
    }
    cursor.insertText(piece);
    cursor.setPosition(cursor.position() - back);
    m_editor->setTextCursor(cursor);
    m_editor->setFocus();
}

bool ReportExpressionEditor::check()
{
    const auto problem = checkExpression(text(), m_embedded, m_data, m_groups, &m_parameters);
    if (!problem) {
        m_problem->clear();
        return true;
    }
    if (problem->position >= 0) {
        m_problem->setText(Lang.caption("Position %1: %2").arg(problem->position + 1).arg(problem->message));
        QTextCursor cursor = m_editor->textCursor();
        cursor.setPosition(std::min(problem->position, int(text().size())));
        m_editor->setTextCursor(cursor);
    } else {
        m_problem->setText(problem->message);
    }
    m_editor->setFocus();
    return false;
}

void ReportExpressionEditor::accept()
{
    if (check())
        QDialog::accept();
}
