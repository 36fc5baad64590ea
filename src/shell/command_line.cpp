#include "shell/command_line.h"

#include "platform/desktop_services.h"

#include <QDir>
#include <QTemporaryFile>
#include <cstdio>

namespace {

class CommandLineDesktop final : public DesktopServices {
public:
    Button message(QWidget*, const QString& caption, const QString& text, Icon,
                   Buttons buttons, Button = NoButton) override
    {
        tell(caption, text);
        for (const Button answer : {Ok, No, Cancel, Yes})
            if (buttons.testFlag(answer))
                return answer;
        return Ok;
    }
    int choose(QWidget*, const QString& caption, const QString& text, Icon, const QStringList&,
               int, int escapeIndex) override
    {
        tell(caption, text);
        return escapeIndex;
    }
    std::optional<QString> askPassword(QWidget*, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    QString openFileName(const FileDialog&) override { return QString(); }
    QString saveFileName(const FileDialog&) override { return QString(); }
    // No one is there to answer a window: it counts as cancelled.
    bool runModal(QWidget&) override { return false; }
    bool shellOpen(const QString&, const QString&, ShowMode) override { return false; }
    bool hasProgramFor(const QString&) override { return false; }
    QString tempFolder() override { return QDir::tempPath() + u'/'; }
    QString uniqueTempFile(const QString& prefix, const QString& suffix) override
    {
        QTemporaryFile file(tempFolder() + prefix + QStringLiteral("XXXXXX") + suffix);
        file.setAutoRemove(false);
        return file.open() ? file.fileName() : QString();
    }
    void setClipboardText(const QString&) override {}
    QString clipboardText() override { return QString(); }
    QLocale userLocale() override { return QLocale::system(); }

private:
    static void tell(const QString& caption, const QString& text)
    {
        const QString line = QStringLiteral("varnel: ") + caption + QStringLiteral(": ")
                             + text.simplified() + u'\n';
        std::fputs(line.toUtf8().constData(), stderr);
    }
};

} // namespace

std::unique_ptr<DesktopServices> makeCommandLineDesktop()
{
    return std::make_unique<CommandLineDesktop>();
}
