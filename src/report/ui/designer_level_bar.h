#pragma once

#include <QStringList>
#include <QWidget>

class QHBoxLayout;
class QLabel;

// The line above the sheet that says which level the author edits: "Report > Sub1 > Sub2".
// Each name but the last goes back to its level; at the report itself the line says how a
// sub-report is opened.
class DesignerLevelBar : public QWidget {
    Q_OBJECT
public:
    explicit DesignerLevelBar(QWidget* parent = nullptr);
    // The report's name (or "Report") and the sub-reports open inside it, outermost first.
    void showLevels(const QString& report, const QStringList& subreports);

signals:
    // 0: the report; 1: the first sub-report; ...
    void levelChosen(int depth);

private:
    QHBoxLayout* m_row = nullptr;
    QLabel* m_hint = nullptr;
    QStringList m_shown;
};
