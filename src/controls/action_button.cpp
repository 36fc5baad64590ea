#include "controls/action_button.h"

#include "platform/image_list.h"

#include <QStyleOptionButton>
#include <QStylePainter>

TdbButton::TdbButton(QWidget* parent) : QPushButton(parent)
{
    setDbIconName(QStringLiteral("none"));
    setImageIndex(-1);
}

const QStringList& TdbButton::iconNames()
{
    // Index i + 1 of this list is icon i; "none" shows no icon.
    static const QStringList names = {
        QStringLiteral("none"),   QStringLiteral("New"),     QStringLiteral("Edit"),
        QStringLiteral("Delete"), QStringLiteral("OK"),      QStringLiteral("Cancel"),
        QStringLiteral("Search"), QStringLiteral("Printer"), QStringLiteral("Report"),
        QStringLiteral("Save"),   QStringLiteral("Exit"),    QStringLiteral("Excel"),
        QStringLiteral("Database")};
    return names;
}

int TdbButton::iconIndexOf(const QString& name, bool* known)
{
    const qsizetype i = iconNames().indexOf(name); // exact, case-sensitive
    if (known)
        *known = i >= 0;
    return i >= 0 ? static_cast<int>(i) - 1 : -1;
}

void TdbButton::setDbIconName(const QString& name)
{
    m_iconName = name;
    bool known = false;
    const int index = iconIndexOf(name, &known);
    if (known)
        setImageIndex(index);
}

void TdbButton::setImageIndex(int index)
{
    m_imageIndex = index;
    showImage();
}

TImageList* TdbButton::images() const
{
    return m_images;
}

void TdbButton::setImages(TImageList* images)
{
    m_images = images;
    showImage();
}

QPixmap TdbButton::currentImage() const
{
    if (!m_images || m_imageIndex < 0)
        return QPixmap();
    return m_images->pixmap(m_imageIndex);
}

void TdbButton::showImage()
{
    setIconSize(QSize(16, 16));
    update();
}

// The icon sits 1 pixel inside the left edge of the button's contents, the caption is
// centred in the room to its right.
void TdbButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    QRect textRect = contents;
    const QPixmap image = currentImage();
    if (!image.isNull()) {
        const QSize size = image.size().scaled(16, 16, Qt::KeepAspectRatio);
        const QRect imageRect(contents.left() + 1, contents.top() + (contents.height() - size.height()) / 2,
                              size.width(), size.height());
        if (isEnabled())
            painter.drawPixmap(imageRect, image);
        else
            painter.drawPixmap(imageRect, QIcon(image).pixmap(size, QIcon::Disabled));
        textRect.setLeft(imageRect.right() + 1);
    }
    option.rect = textRect;
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
}
