#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The grid's find dialog: search text, match case and Find next. It does not block its form;
// the search always runs downward and never for whole words only.
class TGridFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TGridFindDialog(QWidget* parent);

    QString findText() const;
    void setFindText(const QString& text);
    bool matchCase() const;
    void setMatchCase(bool on);

    QLineEdit* textEdit() const { return m_text; }
    QCheckBox* matchCaseBox() const { return m_matchCase; }
    QPushButton* findNextButton() const { return m_findNext; }

signals:
    void findNext();

private:
    QLineEdit* m_text;
    QCheckBox* m_matchCase;
    QPushButton* m_findNext;
};
