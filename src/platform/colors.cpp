#include "platform/colors.h"

#include <QApplication>

namespace Colors {

namespace {
QColor systemColor(int number, const QPalette& p)
{
    switch (number) {
    case 0: // scroll bar
        return p.color(QPalette::Mid);
    case 1: // desktop
    case 12: // application workspace
        return p.color(QPalette::Dark);
    case 2: // active caption
    case 27: // gradient active caption
    case 13: // highlight
    case 29: // menu highlight
        return p.color(QPalette::Highlight);
    case 3: // inactive caption
    case 28:
        return p.color(QPalette::Inactive, QPalette::Highlight);
    case 4: // menu
    case 30: // menu bar
        return p.color(QPalette::Window);
    case 5: // window background
        return p.color(QPalette::Base);
    case 6: // window frame
    case 21: // 3D dark shadow
        return p.color(QPalette::Shadow);
    case 7: // menu text
    case 8: // window text
        return p.color(QPalette::Text);
    case 9: // caption text
    case 14: // highlight text
        return p.color(QPalette::HighlightedText);
    case 10: // active border
    case 11: // inactive border
    case 15: // button face
        return p.color(QPalette::Button);
    case 16: // button shadow
        return p.color(QPalette::Mid);
    case 17: // grey text
        return p.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return p.color(QPalette::ButtonText);
    case 19: // inactive caption text
        return p.color(QPalette::Inactive, QPalette::WindowText);
    case 20: // button highlight
        return p.color(QPalette::Light);
    case 22: // 3D light
        return p.color(QPalette::Midlight);
    case 23: // info text
        return p.color(QPalette::ToolTipText);
    case 24: // info background
        return p.color(QPalette::ToolTipBase);
    case 26: // hot-tracked item (links)
        return p.color(QPalette::Link);
    default:
        return p.color(QPalette::Window);
    }
}
} // namespace

QColor fromToolkit(qint32 value, const QPalette& palette)
{
    const auto bits = static_cast<quint32>(value);
    if ((bits >> 24) == 0xFF)
        return systemColor(static_cast<int>(bits & 0xFF), palette);
    return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                  static_cast<int>((bits >> 16) & 0xFF));
}

QColor fromToolkit(qint32 value)
{
    return fromToolkit(value, QApplication::palette());
}

} // namespace Colors
