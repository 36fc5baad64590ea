#include "report/ui/designer_level_bar.h"

#include "platform/guard.h"
#include "platform/lang.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

DesignerLevelBar::DesignerLevelBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("levels"));
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(6, 2, 6, 2);
    m_row->setSpacing(2);
}

void DesignerLevelBar::showLevels(const QString& report, const QStringList& subreports)
{
    QStringList names{report};
    names << subreports;
    if (names == m_shown)
        return;
    m_shown = names;
    while (QLayoutItem* item = m_row->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int depth = 0; depth < names.size(); ++depth) {
        if (depth > 0) {
            auto* arrow = new QLabel(QStringLiteral("\u203a"), this);
            m_row->addWidget(arrow);
        }
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("level%1").arg(depth));
        button->setAutoRaise(true);
        button->setText(depth == 0 ? report : Lang.caption("Sub-report") + QStringLiteral(" ") + names[depth]);
        const bool current = depth == names.size() - 1;
        QFont font = button->font();
        font.setBold(current);
        button->setFont(font);
        if (!current)
            button->setToolTip(Lang.caption("Back to this level"));
        connect(button, &QToolButton::clicked, this, [this, depth] { guarded([&] { emit levelChosen(depth); }); });
        m_row->addWidget(button);
    }
    m_hint = new QLabel(subreports.isEmpty() ? Lang.caption("Double-click a sub-report to edit its bands.")
                                             : Lang.caption("The bands of the sub-report; Alt+Up goes back."),
                        this);
    m_hint->setObjectName(QStringLiteral("levelHint"));
    m_hint->setEnabled(false);
    // A hint gives way to the sheet when the window is narrow.
    m_hint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_row->addSpacing(12);
    m_row->addWidget(m_hint, 1);
}
