#include "report/ui/designer_dialogs.h"

#include "platform/desktop_services.h"
#include "platform/guard.h"
#include "platform/lang.h"
#include "report/engine/report_parameters.h"
#include "report/ui/designer_document.h"
#include "report/ui/designer_model.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A table with Add and Remove under it and OK and Cancel at the foot.
QTableWidget* makeTable(QDialog& dialog, const QStringList& headers, int widest, const std::function<void()>& add)
{
    auto* layout = new QVBoxLayout(&dialog);
    auto* table = new QTableWidget(0, int(headers.size()), &dialog);
    table->setObjectName(QStringLiteral("table"));
    table->setHorizontalHeaderLabels(headers);
    table->horizontalHeader()->setSectionResizeMode(widest, QHeaderView::Stretch);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(table, 1);
    auto* rowButtons = new QHBoxLayout;
    auto* addButton = new QPushButton(Lang.caption("Add"), &dialog);
    addButton->setObjectName(QStringLiteral("add"));
    auto* removeButton = new QPushButton(Lang.caption("Remove"), &dialog);
    removeButton->setObjectName(QStringLiteral("remove"));
    rowButtons->addWidget(addButton);
    rowButtons->addWidget(removeButton);
    rowButtons->addStretch(1);
    layout->addLayout(rowButtons);
    QObject::connect(addButton, &QPushButton::clicked, &dialog, [add] { guarded(add); });
    QObject::connect(removeButton, &QPushButton::clicked, &dialog, [table] {
        guarded([table] {
            if (table->currentRow() >= 0)
                table->removeRow(table->currentRow());
        });
    });
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(Lang.caption("OK"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("ok"));
    buttons->addButton(Lang.caption("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&dialog] { guarded([&dialog] { dialog.accept(); }); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, [&dialog] { guarded([&dialog] { dialog.reject(); }); });
    layout->addWidget(buttons);
    dialog.resize(760, 320);
    return table;
}

QString cellText(const QTableWidget& table, int row, int column)
{
    const QTableWidgetItem* item = table.item(row, column);
    return item ? item->text().trimmed() : QString();
}

QComboBox* combo(const QTableWidget& table, int row, int column)
{
    return qobject_cast<QComboBox*>(table.cellWidget(row, column));
}

void refuse(QWidget* parent, const QString& text)
{
    desktop().message(parent, Lang.Error, text, DesktopServices::Icon::Warning, DesktopServices::Ok);
}

constexpr ParameterKind kinds[] = {ParameterKind::Text, ParameterKind::Integer, ParameterKind::Number,
                                   ParameterKind::Date, ParameterKind::Boolean, ParameterKind::Choice};

// Columns of the rules: unchanged, on or off.
QComboBox* triState(QWidget* parent, const std::optional<bool>& value)
{
    auto* box = new QComboBox(parent);
    box->addItems({Lang.caption("unchanged"), Lang.caption("yes"), Lang.caption("no")});
    box->setCurrentIndex(!value ? 0 : *value ? 1 : 2);
    return box;
}

std::optional<bool> triStateOf(const QComboBox* box)
{
    if (!box || box->currentIndex() <= 0)
        return std::nullopt;
    return box->currentIndex() == 1;
}

} // namespace

// ---------------------------------------------------------------- parameters

ReportParametersEditor::ReportParametersEditor(const std::vector<ReportParameter>& parameters, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportParametersEditor"));
    setWindowTitle(Lang.caption("Parameters of the report"));
    m_table = makeTable(*this,
                        {Lang.caption("Name"), Lang.caption("Caption"), Lang.caption("Kind"), Lang.caption("Default"),
                         Lang.caption("Query of the choices")},
                        4, [this] { addRow(ReportParameter()); });
    for (const ReportParameter& p : parameters)
        addRow(p);
}

void ReportParametersEditor::addRow(const ReportParameter& p)
{
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, 0, new QTableWidgetItem(p.name));
    m_table->setItem(row, 1, new QTableWidgetItem(p.caption));
    auto* kind = new QComboBox(m_table);
    // The kind in the author's words; the file keeps its name (text, integer, ...).
    for (const char* caption : {"Text", "Whole number", "Number", "Date", "Yes or no", "Choice from a query"})
        kind->addItem(Lang.caption(caption));
    kind->setCurrentIndex(int(std::find(std::begin(kinds), std::end(kinds), p.kind) - std::begin(kinds)));
    m_table->setCellWidget(row, 2, kind);
    m_table->setItem(row, 3, new QTableWidgetItem(p.defaultValue));
    m_table->setItem(row, 4, new QTableWidgetItem(p.query));
}

std::vector<ReportParameter> ReportParametersEditor::parameters() const
{
    std::vector<ReportParameter> out;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        ReportParameter p;
        p.name = cellText(*m_table, row, 0);
        p.caption = cellText(*m_table, row, 1);
        const QComboBox* kind = combo(*m_table, row, 2);
        p.kind = kinds[kind ? std::clamp(kind->currentIndex(), 0, 5) : 0];
        p.defaultValue = cellText(*m_table, row, 3);
        p.query = p.kind == ParameterKind::Choice ? cellText(*m_table, row, 4) : QString();
        out.push_back(p);
    }
    return out;
}

void ReportParametersEditor::accept()
{
    const std::vector<ReportParameter> all = parameters();
    for (size_t i = 0; i < all.size(); ++i) {
        const ReportParameter& p = all[i];
        if (!ReportParameters::isValidName(p.name))
            return refuse(this, Lang.caption("a parameter's name must be a letter or \"_\" followed by letters, digits or \"_\", "
                                             "not \"%1\"")
                                    .arg(p.name));
        for (size_t j = 0; j < i; ++j)
            if (all[j].name.compare(p.name, Qt::CaseInsensitive) == 0)
                return refuse(this, Lang.caption("the parameter \"%1\" is declared twice").arg(p.name));
        if (!p.defaultValue.isEmpty() && !ReportParameters::read(p.kind, p.defaultValue))
            return refuse(this, Lang.caption("the default of the parameter \"%1\" must be %2")
                                    .arg(p.name, ReportParameters::expected(p.kind)));
        if (p.kind == ParameterKind::Choice && p.query.isEmpty())
            return refuse(this, Lang.caption("the choice parameter \"%1\" needs the query of its values").arg(p.name));
    }
    QDialog::accept();
}

// ---------------------------------------------------------------- style rules

ReportRulesEditor::ReportRulesEditor(const std::vector<StyleRule>& rules, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportRulesEditor"));
    setWindowTitle(Lang.caption("Style rules"));
    m_table = makeTable(*this,
                        {Lang.caption("When"), Lang.caption("Colour"), Lang.caption("Background"), Lang.caption("Bold"),
                         Lang.caption("Italic")},
                        0, [this] { addRow(StyleRule()); });
    for (const StyleRule& r : rules)
        addRow(r);
}

void ReportRulesEditor::addRow(const StyleRule& r)
{
    const auto colorText = [](const QColor& c) {
        return !c.isValid() ? QString() : c.alpha() == 255 ? c.name(QColor::HexRgb) : c.name(QColor::HexArgb);
    };
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, 0, new QTableWidgetItem(r.condition));
    m_table->setItem(row, 1, new QTableWidgetItem(colorText(r.color)));
    m_table->setItem(row, 2, new QTableWidgetItem(colorText(r.background)));
    m_table->setCellWidget(row, 3, triState(m_table, r.bold));
    m_table->setCellWidget(row, 4, triState(m_table, r.italic));
}

std::vector<StyleRule> ReportRulesEditor::rules() const
{
    std::vector<StyleRule> out;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        StyleRule r;
        r.condition = cellText(*m_table, row, 0);
        r.color = QColor::fromString(cellText(*m_table, row, 1));
        r.background = QColor::fromString(cellText(*m_table, row, 2));
        r.bold = triStateOf(combo(*m_table, row, 3));
        r.italic = triStateOf(combo(*m_table, row, 4));
        out.push_back(r);
    }
    return out;
}

void ReportRulesEditor::accept()
{
    if (m_table->rowCount() > 16)
        return refuse(this, Lang.caption("more than %1 rules on one text").arg(16));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (cellText(*m_table, row, 0).isEmpty())
            return refuse(this, Lang.caption("a <rule> needs a condition in \"when\""));
        for (int column : {1, 2}) {
            const QString c = cellText(*m_table, row, column);
            if (!c.isEmpty() && !QColor::fromString(c).isValid())
                return refuse(this, Lang.caption("\"%1\" must be a colour written #rrggbb or #aarrggbb").arg(c));
        }
    }
    for (const StyleRule& r : rules())
        if (!r.color.isValid() && !r.background.isValid() && !r.bold && !r.italic)
            return refuse(this, Lang.caption("a <rule> changes nothing: give it \"color\", \"background\", \"bold\" or \"italic\""));
    QDialog::accept();
}

void EditDesignerPropertyInWindow(DesignerDocument& document, const QString& key, QWidget* parent)
{
    ReportTemplate after = document.model();
    if (key == u"parameters") {
        ReportParametersEditor editor(after.parameters, parent);
        if (!desktop().runModal(editor))
            return;
        after.parameters = editor.parameters();
    } else if (key == u"rules") {
        const DesignerSelection& selection = document.selection();
        const ReportObject* first = selection.objects.empty() ? nullptr : findObject(after, selection.objects.front());
        if (!first)
            return;
        ReportRulesEditor editor(first->rules, parent);
        if (!desktop().runModal(editor))
            return;
        for (const ObjectRef& ref : selection.objects)
            if (ReportObject* o = findObject(after, ref); o && o->kind == ObjectKind::Text)
                o->rules = editor.rules();
    } else {
        return;
    }
    if (after != document.model())
        document.change(after, Lang.caption(key == u"parameters" ? "Parameters" : "Style rules"), document.selection());
}
