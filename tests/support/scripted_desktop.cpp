#include "support/scripted_desktop.h"

#include "platform/errors.h"

#include <QDir>
#include <QTemporaryFile>
#include <QWidget>

ScriptedDesktop& ScriptedDesktop::install()
{
    auto services = std::make_unique<ScriptedDesktop>();
    ScriptedDesktop& ref = *services;
    setDesktop(std::move(services));
    return ref;
}

DesktopServices::Button ScriptedDesktop::message(QWidget*, const QString& caption,
                                                 const QString& text, Icon icon, Buttons buttons,
                                                 Button defaultButton)
{
    messages.push_back({caption, text, icon, buttons, defaultButton});
    if (!answers.empty() && (buttons & ~Buttons(Ok))) {
        const Button answer = answers.front();
        answers.pop_front();
        return answer;
    }
    if (buttons & Yes)
        return Yes;
    return Ok;
}

int ScriptedDesktop::choose(QWidget*, const QString& caption, const QString& text, Icon icon,
                            const QStringList& buttons, int defaultIndex, int)
{
    messages.push_back({caption, text, icon, Buttons()});
    choiceButtons.push_back(buttons);
    if (choices.empty())
        return defaultIndex;
    const QString answer = choices.front();
    choices.pop_front();
    const qsizetype at = buttons.indexOf(answer);
    if (at < 0)
        throw VarnelError(QStringLiteral("The script chose \"%1\", which the question does not offer.")
                              .arg(answer));
    return static_cast<int>(at);
}

std::optional<QString> ScriptedDesktop::askPassword(QWidget*, const QString&, const QString& prompt)
{
    passwordPrompts.append(prompt);
    if (passwords.empty())
        return std::nullopt;
    const std::optional<QString> answer = passwords.front();
    passwords.pop_front();
    return answer;
}

QString ScriptedDesktop::openFileName(const FileDialog& dialog)
{
    dialogs.push_back({false, dialog});
    if (fileAnswers.empty())
        return QString();
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

QString ScriptedDesktop::saveFileName(const FileDialog& dialog)
{
    dialogs.push_back({true, dialog});
    if (fileAnswers.empty())
        return QString();
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

bool ScriptedDesktop::runModal(QWidget& window)
{
    windows.append(QString::fromLatin1(window.metaObject()->className()));
    if (windowAnswers.empty())
        return false;
    const auto answer = std::move(windowAnswers.front());
    windowAnswers.pop_front();
    return answer(window);
}

bool ScriptedDesktop::shellOpen(const QString& target, const QString& workingFolder, ShowMode mode)
{
    shellRequests.push_back({target, workingFolder, mode});
    return shellOpenSucceeds;
}

bool ScriptedDesktop::hasProgramFor(const QString& fileName)
{
    programQuestions.append(fileName);
    return hasPrograms;
}

QString ScriptedDesktop::tempFolder()
{
    QString path = temp.isEmpty() ? QDir::tempPath() : temp;
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

QString ScriptedDesktop::uniqueTempFile(const QString& prefix, const QString& suffix)
{
    QTemporaryFile file(tempFolder() + prefix + QStringLiteral("XXXXXX") + suffix);
    file.setAutoRemove(false);
    if (!file.open())
        throw FileError(QStringLiteral("Cannot create a temporary file: ") + file.errorString());
    return file.fileName();
}

QStringList ScriptedDesktop::texts() const
{
    QStringList result;
    for (const Message& m : messages)
        result.append(m.text);
    return result;
}
