#include "platform/desktop_services.h"

#include "platform/errors.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QWidget>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>

namespace {

std::unique_ptr<DesktopServices>& current()
{
    static std::unique_ptr<DesktopServices> services;
    return services;
}

QMessageBox::Icon toQtIcon(DesktopServices::Icon icon)
{
    switch (icon) {
    case DesktopServices::Icon::Information:
        return QMessageBox::Information;
    case DesktopServices::Icon::Question:
        return QMessageBox::Question;
    case DesktopServices::Icon::Warning:
        return QMessageBox::Warning;
    case DesktopServices::Icon::Error:
        return QMessageBox::Critical;
    case DesktopServices::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

class HideWatch : public QObject {
public:
    QEventLoop loop;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A minimised window is hidden too, but not closed.
        if (event->type() == QEvent::Hide && static_cast<QWidget*>(watched)->isHidden())
            loop.quit();
        return QObject::eventFilter(watched, event);
    }
};

class QtDesktopServices final : public DesktopServices {
public:
    Button message(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                   Buttons buttons, Button defaultButton = NoButton) override
    {
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        shown.replace(u'\r', u'\n');
        QMessageBox box(toQtIcon(icon), caption, shown, QMessageBox::NoButton, parent);
        box.setTextFormat(Qt::PlainText);
        if (buttons & Yes)
            box.addButton(QMessageBox::Yes);
        if (buttons & No)
            box.addButton(QMessageBox::No);
        if (buttons & Ok)
            box.addButton(QMessageBox::Ok);
        if (buttons & Cancel)
            box.addButton(QMessageBox::Cancel);
        if (buttons == Buttons())
            box.addButton(QMessageBox::Ok);
        switch (static_cast<int>(buttons & defaultButton)) {
        case Yes:
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case No:
            box.setDefaultButton(QMessageBox::No);
            break;
        case Ok:
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case Cancel:
            box.setDefaultButton(QMessageBox::Cancel);
            break;
        default:
            break;
        }
        box.exec();
        switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return Yes;
        case QMessageBox::No:
            return No;
        case QMessageBox::Cancel:
            return Cancel;
        default:
            break;
        }
        // Closing a Yes/No box by its title bar counts as No.
        return (buttons & No) ? No : Ok;
    }

    int choose(QWidget* parent, const QString& caption, const QString& text, Icon icon,
               const QStringList& buttons, int defaultIndex, int escapeIndex) override
    {
        QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::NoButton, parent);
        box.setTextFormat(Qt::PlainText);
        QList<QAbstractButton*> made;
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            const QMessageBox::ButtonRole role = i == escapeIndex ? QMessageBox::RejectRole
                                                                  : QMessageBox::AcceptRole;
            made.append(box.addButton(buttons.at(i), role));
        }
        if (defaultIndex >= 0 && defaultIndex < made.size())
            box.setDefaultButton(qobject_cast<QPushButton*>(made.at(defaultIndex)));
        if (escapeIndex >= 0 && escapeIndex < made.size())
            box.setEscapeButton(made.at(escapeIndex));
        box.exec();
        const qsizetype chosen = made.indexOf(box.clickedButton());
        return chosen >= 0 ? static_cast<int>(chosen) : escapeIndex;
    }

    std::optional<QString> askPassword(QWidget* parent, const QString& caption,
                                       const QString& prompt) override
    {
        bool ok = false;
        const QString password =
            QInputDialog::getText(parent, caption, prompt, QLineEdit::Password, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return password;
    }

    QString openFileName(const FileDialog& d) override
    {
        QString start = d.fileName;
        if (!d.folder.isEmpty())
            start = QDir(d.folder).filePath(d.fileName);
        return QFileDialog::getOpenFileName(d.parent, d.title, start, qtFileFilter(d.filter));
    }

    QString saveFileName(const FileDialog& d) override
    {
        QFileDialog dialog(d.parent, d.title, d.folder, qtFileFilter(d.filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(d.defaultExt);
        dialog.selectFile(d.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }

    bool runModal(QWidget& window) override
    {
        if (auto* dialog = qobject_cast<QDialog*>(&window))
            return dialog->exec() == QDialog::Accepted;
        // A main window has no loop of its own: one runs here until the window is hidden (a
        // close that the window refuses, to ask about unsaved changes, keeps it running).
        HideWatch watch;
        window.installEventFilter(&watch);
        window.setWindowModality(Qt::ApplicationModal);
        window.show();
        window.raise();
        window.activateWindow();
        watch.loop.exec();
        window.removeEventFilter(&watch);
        return true;
    }

    bool shellOpen(const QString& target, const QString&, ShowMode) override
    {
        const QUrl url = target.contains(QStringLiteral("://")) ? QUrl(target)
                                                                : QUrl::fromLocalFile(target);
        return QDesktopServices::openUrl(url);
    }

    bool hasProgramFor(const QString& fileName) override
    {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
        // Files are opened through xdg-open, which asks xdg-mime for the default program of
        // the file's type; the same question tells beforehand whether the open can succeed.
        const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (xdgMime.isEmpty())
            return false;
        const QMimeType type =
            QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        QProcess query;
        query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type.name()});
        if (!query.waitForFinished(5000)) {
            query.kill();
            query.waitForFinished(1000);
            return false;
        }
        return !query.readAllStandardOutput().trimmed().isEmpty();
#else
        Q_UNUSED(fileName);
        return true;
#endif
    }

    QString tempFolder() override
    {
        QString path = QDir::tempPath();
        if (!path.endsWith(u'/'))
            path += u'/';
        return path;
    }

    QString uniqueTempFile(const QString& prefix, const QString& suffix) override
    {
        QTemporaryFile file(tempFolder() + prefix + QStringLiteral("XXXXXX") + suffix);
        file.setAutoRemove(false);
        if (!file.open())
            throw FileError(QStringLiteral("Cannot create a temporary file in \"%1\": %2")
                                .arg(tempFolder(), file.errorString()));
        return file.fileName();
    }

    void setClipboardText(const QString& text) override { QApplication::clipboard()->setText(text); }
    QString clipboardText() override { return QApplication::clipboard()->text(); }
    QLocale userLocale() override { return QLocale::system(); }
};

} // namespace

DesktopServices& desktop()
{
    if (!current())
        current() = makeQtDesktopServices();
    return *current();
}

void setDesktop(std::unique_ptr<DesktopServices> services)
{
    current() = std::move(services);
}

std::unique_ptr<DesktopServices> makeQtDesktopServices()
{
    return std::make_unique<QtDesktopServices>();
}

QString fileKindName(const QString& fileName)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (type.isValid() && !type.isDefault() && !type.comment().isEmpty())
        return type.comment();
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.isEmpty() ? QFileInfo(fileName).fileName() : suffix.toUpper();
}

QString qtFileFilter(const QString& filter)
{
    if (filter.isEmpty())
        return QString();
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        QString description = parts[i];
        // The description usually repeats its patterns in brackets; Qt reads the last brackets.
        const qsizetype bracket = description.lastIndexOf(u'(');
        if (bracket > 0)
            description = description.left(bracket).trimmed();
        result.append(description + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return result.join(QStringLiteral(";;"));
}

void ShowMessage(const QString& text)
{
    QString caption = QGuiApplication::applicationDisplayName();
    if (caption.isEmpty())
        caption = QStringLiteral("Varnel");
    desktop().message(QApplication::activeWindow(), caption, text, DesktopServices::Icon::None,
                      DesktopServices::Ok);
}
