#pragma once

#include "report/engine/dataset.h"
#include "report/engine/report_parameters.h"

#include <QDialog>
#include <vector>

// Asks for the values of a report's parameters in one window, before its query runs. Each
// editor is named after its parameter. OK takes the values only when every one reads as its
// kind; otherwise a message says which does not and the window stays.
class ReportParameterDialog : public QDialog {
public:
    // current: the values shown first (each parameter's default where it has none). A choice
    // parameter's list comes from its query through runQuery (without one, the list holds the
    // current value alone).
    ReportParameterDialog(const std::vector<ReportParameter>& parameters, const ParameterValues& current,
                          const ReportQueryRunner& runQuery, QWidget* parent = nullptr);

    // The values the editors hold; nothing when one is not of its kind (the message is shown).
    std::optional<ParameterValues> values();
    void accept() override;

private:
    struct Editor {
        const ReportParameter* parameter;
        QWidget* widget;
    };
    // The value an editor holds; nothing (and a message) when it is not one of its kind.
    std::optional<ReportValue> read(const Editor& editor);

    std::vector<Editor> m_editors;
};

// Asks through the desktop services; the values when the user pressed OK, nothing on Cancel.
// A template without parameters asks nothing and gives its (empty) values.
std::optional<ParameterValues> AskReportParameters(const std::vector<ReportParameter>& parameters,
                                                   const ParameterValues& current,
                                                   const ReportQueryRunner& runQuery, QWidget* parent);
