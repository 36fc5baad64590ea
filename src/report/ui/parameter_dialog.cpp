#include "report/ui/parameter_dialog.h"

#include "platform/desktop_services.h"
#include "platform/guard.h"
#include "platform/lang.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

// The values and captions of a choice: the query's first column, shown as its second if any.
void fillChoice(QComboBox& combo, const ReportParameter& p, const ReportValue& current,
                const ReportQueryRunner& runQuery)
{
    if (runQuery) {
        ReportDataset rows;
        runQuery(p.query, rows, false, {});
        for (qsizetype r = 0; r < rows.rowCount(); ++r) {
            const QString value = rows.value(r, 0).text();
            combo.addItem(rows.columnCount() > 1 ? rows.value(r, 1).text() : value, value);
        }
    }
    const QString wanted = ReportParameters::write(current);
    int index = combo.findData(wanted);
    if (index < 0 && !current.isNull()) {
        combo.addItem(wanted, wanted);
        index = combo.count() - 1;
    }
    combo.setCurrentIndex(std::max(index, 0));
}

} // namespace

ReportParameterDialog::ReportParameterDialog(const std::vector<ReportParameter>& parameters,
                                             const ParameterValues& current, const ReportQueryRunner& runQuery,
                                             QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportParameterDialog"));
    setWindowTitle(Lang.caption("Report parameters"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    const QLocale locale = desktop().userLocale();
    for (const ReportParameter& p : parameters) {
        const ReportValue* value = ReportParameters::find(current, p.name);
        const ReportValue shown = value ? *value : ReportValue();
        QWidget* widget = nullptr;
        switch (p.kind) {
        case ParameterKind::Text:
        case ParameterKind::Integer:
        case ParameterKind::Number: {
            auto* line = new QLineEdit(this);
            if (p.kind == ParameterKind::Number && shown.isNumber())
                line->setText(locale.toString(shown.toReal(), 'g', 15));
            else
                line->setText(plainText(shown));
            widget = line;
            break;
        }
        case ParameterKind::Date: {
            auto* date = new QDateEdit(this);
            date->setCalendarPopup(true);
            // The short date with the year in full: "yy" leaves a year of another century unclear.
            QString format = locale.dateFormat(QLocale::ShortFormat);
            if (!format.contains(QStringLiteral("yyyy")))
                format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
            date->setDisplayFormat(format);
            date->setDate(shown.type == ReportValue::Type::DateTime ? shown.dateTime.date() : QDate::currentDate());
            widget = date;
            break;
        }
        case ParameterKind::Boolean: {
            auto* check = new QCheckBox(this);
            check->setChecked(shown.isTrue());
            widget = check;
            break;
        }
        case ParameterKind::Choice: {
            auto* combo = new QComboBox(this);
            fillChoice(*combo, p, shown, runQuery);
            widget = combo;
            break;
        }
        }
        widget->setObjectName(p.name);
        form->addRow((p.caption.isEmpty() ? p.name : p.caption) + u':', widget);
        m_editors.push_back(Editor{&p, widget});
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Lang.caption("OK"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("ok"));
    buttons->addButton(Lang.caption("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { guarded([this] { accept(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { guarded([this] { reject(); }); });
    layout->addWidget(buttons);
}

std::optional<ReportValue> ReportParameterDialog::read(const Editor& editor)
{
    const ReportParameter& p = *editor.parameter;
    if (auto* check = qobject_cast<QCheckBox*>(editor.widget))
        return ReportValue::fromBool(check->isChecked());
    if (auto* date = qobject_cast<QDateEdit*>(editor.widget))
        return ReportValue::fromDateTime(QDateTime(date->date(), QTime(0, 0)));
    if (auto* combo = qobject_cast<QComboBox*>(editor.widget)) {
        if (combo->currentIndex() < 0)
            return ReportValue();
        return ReportValue::fromText(combo->currentData().toString());
    }
    const QString text = static_cast<QLineEdit*>(editor.widget)->text();
    if (p.kind == ParameterKind::Text)
        return ReportValue::fromText(text);
    // Numbers as the user writes them; the written form of templates is taken too.
    const QLocale locale = desktop().userLocale();
    bool ok = false;
    if (p.kind == ParameterKind::Integer) {
        const qint64 v = locale.toLongLong(text.trimmed(), &ok);
        if (ok)
            return ReportValue::fromInteger(v);
    } else {
        const double v = locale.toDouble(text.trimmed(), &ok);
        if (ok && std::isfinite(v))
            return ReportValue::fromReal(v);
    }
    if (std::optional<ReportValue> v = ReportParameters::read(p.kind, text))
        return v;
    const QString name = p.caption.isEmpty() ? p.name : p.caption;
    desktop().message(this, Lang.Error,
                      Lang.caption("\"%1\" must be %2.")
                          .arg(name, p.kind == ParameterKind::Integer ? Lang.caption("a whole number")
                                                                      : Lang.caption("a number")),
                      DesktopServices::Icon::Warning, DesktopServices::Ok);
    editor.widget->setFocus();
    return std::nullopt;
}

std::optional<ParameterValues> ReportParameterDialog::values()
{
    ParameterValues values;
    for (const Editor& e : m_editors) {
        std::optional<ReportValue> v = read(e);
        if (!v)
            return std::nullopt;
        values.push_back(ParameterValue{e.parameter->name, std::move(*v)});
    }
    return values;
}

void ReportParameterDialog::accept()
{
    if (values())
        QDialog::accept();
}

std::optional<ParameterValues> AskReportParameters(const std::vector<ReportParameter>& parameters,
                                                   const ParameterValues& current,
                                                   const ReportQueryRunner& runQuery, QWidget* parent)
{
    if (parameters.empty())
        return ParameterValues();
    ReportParameterDialog dialog(parameters, current, runQuery, parent);
    if (!desktop().runModal(dialog))
        return std::nullopt;
    return dialog.values();
}
