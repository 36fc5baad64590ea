#include "controls/find_dialog.h"

#include "platform/lang.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TGridFindDialog::TGridFindDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Lang.Find);
    setModal(false);

    auto* label = new QLabel(Lang.Find_what, this);
    m_text = new QLineEdit(this);
    label->setBuddy(m_text);
    m_matchCase = new QCheckBox(Lang.Match_case, this);
    m_findNext = new QPushButton(Lang.Find_next, this);
    m_findNext->setDefault(true);
    m_findNext->setEnabled(false);
    auto* cancel = new QPushButton(Lang.Cancel, this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_text, 0, 1);
    layout->addWidget(m_findNext, 0, 2);
    layout->addWidget(m_matchCase, 1, 0, 1, 2);
    layout->addWidget(cancel, 1, 2);
    layout->setColumnStretch(1, 1);
    m_text->setMinimumWidth(200);

    connect(m_text, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_findNext->setEnabled(!text.isEmpty()); });
    connect(m_findNext, &QPushButton::clicked, this, [this] { emit findNext(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TGridFindDialog::findText() const
{
    return m_text->text();
}

void TGridFindDialog::setFindText(const QString& text)
{
    m_text->setText(text);
}

bool TGridFindDialog::matchCase() const
{
    return m_matchCase->isChecked();
}

void TGridFindDialog::setMatchCase(bool on)
{
    m_matchCase->setChecked(on);
}
