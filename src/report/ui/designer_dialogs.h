#pragma once

#include "report/engine/template.h"

#include <QDialog>
#include <vector>

class DesignerDocument;
class QTableWidget;

// The template's parameters as a table: name, caption, kind, default and, for a choice, the
// query of its values. OK takes them only when the template reader would; otherwise a
// message says what is wrong and the window stays.
class ReportParametersEditor : public QDialog {
public:
    explicit ReportParametersEditor(const std::vector<ReportParameter>& parameters, QWidget* parent = nullptr);
    std::vector<ReportParameter> parameters() const;
    void accept() override;

private:
    void addRow(const ReportParameter& p);
    QTableWidget* m_table = nullptr;
};

// A text's style rules as a table: the condition, then what it changes (colour, background,
// bold, italic; empty or "unchanged" leave the text's own).
class ReportRulesEditor : public QDialog {
public:
    explicit ReportRulesEditor(const std::vector<StyleRule>& rules, QWidget* parent = nullptr);
    std::vector<StyleRule> rules() const;
    void accept() override;

private:
    void addRow(const StyleRule& r);
    QTableWidget* m_table = nullptr;
};

// Edits a property that the panel shows as a summary ("parameters", "rules" of the selected
// texts) in its window, as one undoable change.
void EditDesignerPropertyInWindow(DesignerDocument& document, const QString& key, QWidget* parent);
