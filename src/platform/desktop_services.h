#pragma once

#include <QFlags>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QWidget;

// Every message box, file dialog, shell request, temporary file, clipboard access and the
// question of the user's language go through this interface. The program installs the Qt
// implementation; tests install a scripted double that records messages and answers dialogs.
class DesktopServices {
public:
    enum class Icon { None, Information, Question, Warning, Error };
    enum Button { NoButton = 0, Ok = 0x1, Yes = 0x2, No = 0x4, Cancel = 0x8 };
    Q_DECLARE_FLAGS(Buttons, Button)

    enum class ShowMode { Normal, Maximized };

    // filter uses the designer's notation: "Description|*.a;*.b|Other|*.c".
    struct FileDialog {
        QWidget* parent = nullptr;
        QString title;
        QString filter;
        QString fileName;     // proposed name (save) or initial name (open)
        QString defaultExt;   // without the dot
        QString folder;
    };

    virtual ~DesktopServices() = default;

    // A modal message box; returns the button the user pressed. defaultButton, when it is one
    // of buttons, is the one Enter presses (otherwise the toolkit's choice).
    virtual Button message(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                           Buttons buttons, Button defaultButton = NoButton) = 0;
    // A question answered with buttons in the caller's words; returns the index of the chosen
    // button. defaultIndex is the button that Enter presses, escapeIndex the answer when the
    // box is closed by Escape or its title bar.
    virtual int choose(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                       const QStringList& buttons, int defaultIndex, int escapeIndex) = 0;
    // Asks for a password (shown as dots); nothing when the user cancelled.
    virtual std::optional<QString> askPassword(QWidget* parent, const QString& caption,
                                               const QString& prompt) = 0;
    // The chosen file, or empty text when the user cancelled.
    virtual QString openFileName(const FileDialog& dialog) = 0;
    virtual QString saveFileName(const FileDialog& dialog) = 0;
    // Runs one of the program's own windows modally (a dialog, or a main window such as the
    // report designer) and returns when it is closed: true when a dialog was accepted, and for
    // any other window once it has been closed.
    virtual bool runModal(QWidget& window) = 0;
    // Opens a file or web address with the program the desktop associates with it.
    virtual bool shellOpen(const QString& target, const QString& workingFolder, ShowMode mode) = 0;
    // Whether the desktop has a program that opens files of the kind of fileName (only its
    // name is looked at; the file need not exist). Asked before anything is written, so that
    // the user is not left with a file nothing can show.
    virtual bool hasProgramFor(const QString& fileName) = 0;
    // The user's temporary folder, ending with a separator.
    virtual QString tempFolder() = 0;
    // Creates a new empty file with a unique name in the temporary folder and returns its path:
    // prefix, a few random characters, then suffix (with its dot). The file itself is the
    // reservation, so nothing else is left behind when it is written in place.
    virtual QString uniqueTempFile(const QString& prefix, const QString& suffix = QStringLiteral(".tmp")) = 0;
    virtual void setClipboardText(const QString& text) = 0;
    virtual QString clipboardText() = 0;
    virtual QLocale userLocale() = 0;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(DesktopServices::Buttons)

// The services in use. Installs the Qt implementation on first use when none was set.
DesktopServices& desktop();
// Replaces the services in use (the previous ones are destroyed).
void setDesktop(std::unique_ptr<DesktopServices> services);

// The Qt implementation: QMessageBox, QFileDialog, QDesktopServices, QClipboard.
std::unique_ptr<DesktopServices> makeQtDesktopServices();

// What kind of file fileName is, in words the user knows ("PDF document"), from its
// extension; the extension itself in capitals when the desktop has no name for it.
QString fileKindName(const QString& fileName);

// Turns "Description|*.a;*.b;|Other|*.c" into Qt's "Description (*.a *.b);;Other (*.c)".
QString qtFileFilter(const QString& filter);

// A simple message: the application's title as caption, no icon, an OK button.
void ShowMessage(const QString& text);
