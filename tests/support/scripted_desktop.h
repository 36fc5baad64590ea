#pragma once

#include "platform/desktop_services.h"
#include "support/qt_printers.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

// The test double of the desktop services: records every message, answers questions and
// file dialogs from a script, keeps the clipboard in memory and never blocks.
class ScriptedDesktop final : public DesktopServices {
public:
    struct Message {
        QString caption;
        QString text;
        Icon icon;
        Buttons buttons;
        Button defaultButton = NoButton;
    };
    struct Dialog {
        bool save;
        FileDialog request;
    };
    struct ShellRequest {
        QString target;
        QString workingFolder;
        ShowMode mode;
    };

    // Installs a fresh double as the desktop services and returns it (owned by the services).
    static ScriptedDesktop& install();

    Button message(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                   Buttons buttons, Button defaultButton = NoButton) override;
    int choose(QWidget* parent, const QString& caption, const QString& text, Icon icon,
               const QStringList& buttons, int defaultIndex, int escapeIndex) override;
    std::optional<QString> askPassword(QWidget* parent, const QString& caption,
                                       const QString& prompt) override;
    QString openFileName(const FileDialog& dialog) override;
    QString saveFileName(const FileDialog& dialog) override;
    bool runModal(QWidget& window) override;
    bool shellOpen(const QString& target, const QString& workingFolder, ShowMode mode) override;
    bool hasProgramFor(const QString& fileName) override;
    QString tempFolder() override;
    QString uniqueTempFile(const QString& prefix, const QString& suffix) override;
    void setClipboardText(const QString& text) override { clipboard = text; }
    QString clipboardText() override { return clipboard; }
    QLocale userLocale() override { return locale; }

    // Script: answers to questions (message boxes with more than one button) in order;
    // an unscripted question is answered with the first of Yes, Ok.
    std::deque<Button> answers;
    // Script: chosen file names for the file dialogs in order; empty text = cancel.
    std::deque<QString> fileAnswers;
    // Script: what the person does in each window run modally, in order (the window is there
    // to read and fill in); the answer is whether it was accepted. An unscripted window is
    // closed, not accepted.
    std::deque<std::function<bool(QWidget& window)>> windowAnswers;

    // Script: the buttons chosen (by their text) in questions with the caller's own buttons,
    // in order; an unscripted one takes the default button.
    std::deque<QString> choices;
    // Script: passwords typed, in order; nothing = the user cancels.
    std::deque<std::optional<QString>> passwords;
    // Every such question's buttons, in order.
    std::vector<QStringList> choiceButtons;
    QStringList passwordPrompts;

    std::vector<Message> messages;
    std::vector<Dialog> dialogs;
    std::vector<ShellRequest> shellRequests;
    // The class names of the windows run modally, in order.
    QStringList windows;
    QString clipboard;
    QLocale locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QString temp; // empty: the system's temporary folder
    bool shellOpenSucceeds = true;
    // Whether the desktop has programs for files; every question is recorded by file name.
    bool hasPrograms = true;
    QStringList programQuestions;

    // The texts of all recorded messages, for compact assertions.
    QStringList texts() const;
};
