#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <utility>

// The general error report: a message box with the error's text. The program runs on.
void ShowErrorReport(const QString& text);
void ShowErrorReport(const std::exception& error);

// Every place where the toolkit calls into our code goes through here: an exception ends
// the work at the point reached and becomes the general error report; Qt never sees it.
template <class F>
void guarded(F&& work) noexcept
{
    try {
        std::forward<F>(work)();
    } catch (const std::exception& error) {
        ShowErrorReport(error);
    } catch (...) {
        ShowErrorReport(QStringLiteral("Unknown error."));
    }
}

// The application object: a last line of defence for an exception that escaped a handler
// without a guard.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};
