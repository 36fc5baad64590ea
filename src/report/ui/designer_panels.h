#pragma once

#include "report/ui/designer_document.h"
#include "report/ui/designer_properties.h"

#include <QDialog>
#include <QListWidget>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <vector>

class QFormLayout;
class QLabel;
class QPlainTextEdit;
class ReportDataset;

// The property panel. Each editor is named by the property's key.
class DesignerPropertyPanel : public QWidget {
    Q_OBJECT
public:
    explicit DesignerPropertyPanel(QWidget* parent = nullptr);
    // The properties the document shows now: of its selection, or of the sub-report open.
    void show(const DesignerDocument& document);
    QWidget* editor(const QString& key) const;
    QStringList keys() const;
    // Room for the longest caption of any property in the program's language beside an editor
    // with its "..." button.
    int preferredWidth() const;

signals:
    void edited(const QString& key, const QVariant& value);
    void expressionRequested(const QString& key);
    // The SQL editor for the template's query; the file dialog for a picture's file.
    // The SQL editor for the property of that key: the page's query, a sub-report's query or
    // its parameters.
    void queryRequested(const QString& key);
    void fileRequested(const QString& key);
    // The window that edits a property shown as a summary (the parameters, a text's rules).
    void dialogRequested(const QString& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild(const std::vector<const DesignerProperty*>& properties);
    QWidget* makeEditor(const DesignerProperty& property);
    void setValue(const DesignerProperty& property, QWidget* editor, const QVariant& value);
    void emitEdit(const QString& key, const QVariant& value);

    QLabel* m_heading = nullptr;
    QFormLayout* m_form = nullptr;
    QStringList m_keys;
    std::vector<std::pair<const DesignerProperty*, QWidget*>> m_editors;
    QHash<QString, QVariant> m_shown;
};

// The fields of the dataset "Report", dragged onto the bands.
class DesignerFieldList : public QListWidget {
public:
    explicit DesignerFieldList(QWidget* parent = nullptr);
    void setData(const ReportDataset* data);
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;
};

// The template's query in a multi-line editor with a fixed-width font.
class ReportQueryEditor : public QDialog {
    Q_OBJECT
public:
    explicit ReportQueryEditor(const QString& query, QWidget* parent = nullptr);
    QString query() const;
    QPlainTextEdit* editor() const { return m_editor; }

private:
    QPlainTextEdit* m_editor = nullptr;
};

// Writes an expression or a text with embedded [expressions], with the fields, system values
// and aggregates to pick; a faulty expression keeps the dialog open with the fault shown at
// its place.
class ReportExpressionEditor : public QDialog {
public:
    ReportExpressionEditor(const QString& text, bool embedded, const ReportDataset* data, const QStringList& groups,
                           QWidget* parent = nullptr);

    QString text() const;
    QPlainTextEdit* editor() const { return m_editor; }
    QLabel* problemLabel() const { return m_problem; }
    QListWidget* fields() const { return m_fields; }
    QListWidget* systemValues() const { return m_system; }
    QListWidget* functions() const { return m_functions; }
    // The report's parameters: offered as Param.name after the fields, and known to the check.
    void setParameters(const ParameterValues& parameters);
    // Puts a picked item at the cursor; in a text it goes between brackets unless the cursor
    // already stands inside an expression.
    void insert(const QString& snippet, int cursorBack = 0);
    // Shows the first fault; true when there is none.
    bool check();
    void accept() override;

private:
    QListWidget* makeList(const QString& title, class QHBoxLayout* row);

    bool m_embedded;
    const ReportDataset* m_data;
    QStringList m_groups;
    ParameterValues m_parameters;
    QPlainTextEdit* m_editor = nullptr;
    QLabel* m_problem = nullptr;
    QListWidget* m_fields = nullptr;
    QListWidget* m_system = nullptr;
    QListWidget* m_functions = nullptr;
};
