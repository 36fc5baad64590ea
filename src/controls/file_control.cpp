#include "controls/file_control.h"

#include "platform/image_list.h"

#include <QAction>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

namespace {

const int ButtonWidth = 20;

QToolButton* makeEditButton(QWidget* parent, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setCursor(Qt::ArrowCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; }"
                                         "QToolButton::menu-indicator { image: none; }"));
    return button;
}

// Normal, hot (mouse over) and disabled looks of an edit button from list pictures.
QIcon buttonIcon(const TImageList* images, int normal, int hot, int disabled)
{
    QIcon icon;
    if (!images)
        return icon;
    icon.addPixmap(images->pixmap(normal), QIcon::Normal);
    icon.addPixmap(images->pixmap(hot), QIcon::Active);
    if (disabled >= 0)
        icon.addPixmap(images->pixmap(disabled), QIcon::Disabled);
    return icon;
}

} // namespace

TdbFileToDatabase::TdbFileToDatabase(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);

    m_left = makeEditButton(this, QStringLiteral("Выбрать файл для сохранения в базу данных."));
    m_right = makeEditButton(this, QStringLiteral("Сохранение или открытие файла из базы данных."));

    m_menu = new QMenu(this);
    m_run = m_menu->addAction(QStringLiteral("Open file"));
    m_run->setObjectName(QStringLiteral("mniRunFile"));
    m_save = m_menu->addAction(QStringLiteral("Save file"));
    m_save->setObjectName(QStringLiteral("mniSaveFile"));
    m_menu->addSeparator();
    m_delete = m_menu->addAction(QStringLiteral("Delete file"));
    m_delete->setObjectName(QStringLiteral("mniDeleteFile"));
    m_right->setMenu(m_menu);
    m_right->setPopupMode(QToolButton::InstantPopup);

    // The toolkit's tool button has no pressed look of its own: the picture is swapped while
    // the button is held down (or its menu is open).
    connect(m_left, &QToolButton::pressed, this, [this] { m_left->setIcon(m_leftDown); });
    connect(m_left, &QToolButton::released, this, [this] { m_left->setIcon(m_leftIcon); });
    connect(m_right, &QToolButton::pressed, this, [this] { m_right->setIcon(m_rightDown); });
    connect(m_right, &QToolButton::released, this, [this] { m_right->setIcon(m_rightIcon); });
    connect(m_menu, &QMenu::aboutToShow, this, [this] { m_right->setIcon(m_rightDown); });
    connect(m_menu, &QMenu::aboutToHide, this, [this] { m_right->setIcon(m_rightIcon); });

    ClearEx();
    placeButtons();
}

void TdbFileToDatabase::ClearEx()
{
    clear();
    dbFileName.clear();
    dbID = -1;
    dbFileIsChanged = false;
    m_right->setEnabled(false);
}

void TdbFileToDatabase::setImages(TImageList* images)
{
    m_images = images;
    m_leftIcon = buttonIcon(images, 4, 5, -1);
    m_rightIcon = buttonIcon(images, 0, 1, 3);
    m_leftDown = images ? QIcon(images->pixmap(6)) : QIcon();
    m_rightDown = images ? QIcon(images->pixmap(2)) : QIcon();
    m_left->setIcon(m_leftIcon);
    m_right->setIcon(m_rightIcon);
}

void TdbFileToDatabase::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    placeButtons();
}

// The buttons sit inside the frame at both ends; the text keeps clear of them.
void TdbFileToDatabase::placeButtons()
{
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int h = qMax(0, height() - 2 * frame);
    m_left->setGeometry(frame, frame, ButtonWidth, h);
    m_right->setGeometry(width() - frame - ButtonWidth, frame, ButtonWidth, h);
    setTextMargins(ButtonWidth, 0, ButtonWidth, 0);
}
