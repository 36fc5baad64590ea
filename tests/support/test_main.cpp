#include "platform/desktop_services.h"
#include "support/scripted_desktop.h"

#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

// Every test program runs with a real QApplication (offscreen) and a pinned locale, and
// starts with the scripted desktop so that no test can block on a real dialog.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    ScriptedDesktop::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
