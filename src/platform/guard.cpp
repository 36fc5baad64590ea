#include "platform/guard.h"

#include "platform/desktop_services.h"
#include "platform/errors.h"

void ShowErrorReport(const QString& text)
{
    QString caption = QGuiApplication::applicationDisplayName();
    if (caption.isEmpty())
        caption = QStringLiteral("Varnel");
    desktop().message(QApplication::activeWindow(), caption, text,
                      DesktopServices::Icon::Error, DesktopServices::Ok);
}

void ShowErrorReport(const std::exception& error)
{
    if (const auto* ours = dynamic_cast<const VarnelError*>(&error))
        ShowErrorReport(ours->message());
    else
        ShowErrorReport(QString::fromLocal8Bit(error.what()));
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
