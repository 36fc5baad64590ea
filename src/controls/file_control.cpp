#include "controls/file_control.h"

#include "controls/stored_files.h"
#include "platform/desktop_services.h"
#include "platform/errors.h"
#include "platform/file_dialog.h"
#include "platform/guard.h"
#include "platform/image_list.h"
#include "platform/lang.h"
#include "platform/sql_connection.h"
#include "platform/sql_dialect.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QStyle>

namespace {

const int ButtonWidth = 20;

// Normal, hot (mouse over) and disabled looks of an edit button from list pictures.
QIcon buttonIcon(const TImageList* images, int normal, int hot, int disabled)
{
    QIcon icon;
    if (!images)
        return icon;
    icon.addPixmap(images->pixmap(normal), QIcon::Normal);
    icon.addPixmap(images->pixmap(hot), QIcon::Active);
    if (disabled >= 0)
        icon.addPixmap(images->pixmap(disabled), QIcon::Disabled);
    return icon;
}

} // namespace

// A flat button inside the edit box that shows only its picture: the normal one, the hot one
// under the pointer, the pressed one while held down (or while its menu is open) and the
// disabled one.
class TdbFileToDatabase::EditButton : public QAbstractButton {
public:
    EditButton(QWidget* parent, const QString& hint) : QAbstractButton(parent)
    {
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::ArrowCursor);
        setFocusPolicy(Qt::NoFocus);
        setIconSize(QSize(16, 16));
        setToolTip(hint);
        setAccessibleName(hint);
    }

    QPixmap pressed;
    bool held = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPixmap picture;
        if (!isEnabled())
            picture = icon().pixmap(iconSize(), QIcon::Disabled);
        else if ((isDown() || held) && !pressed.isNull())
            picture = pressed;
        else
            picture = icon().pixmap(iconSize(), underMouse() ? QIcon::Active : QIcon::Normal);
        if (picture.isNull())
            return;
        QPainter painter(this);
        const QSize size = picture.deviceIndependentSize().toSize();
        painter.drawPixmap(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size),
                           picture);
    }
};

TdbFileToDatabase::TdbFileToDatabase(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);

    m_left = new EditButton(this, Lang.Choose_file_to_store);
    m_right = new EditButton(this, Lang.Open_or_save_stored_file);

    connect(m_left, &QAbstractButton::clicked, this, [this] { guarded([this] { chooseFile(); }); });
    // The menu opens as the button goes down, as a drop-down button's does.
    connect(m_right, &QAbstractButton::pressed, this, [this] { guarded([this] { popupFileMenu(); }); });

    ClearEx();
    placeButtons();
}

TdbFileToDatabase::~TdbFileToDatabase() = default;

QAbstractButton* TdbFileToDatabase::leftButton() const
{
    return m_left;
}

QAbstractButton* TdbFileToDatabase::rightButton() const
{
    return m_right;
}

QMenu* TdbFileToDatabase::fileMenu()
{
    if (m_menu)
        return m_menu;
    m_menu = new QMenu(this);
    QAction* run = m_menu->addAction(Lang.Open_file);
    run->setObjectName(QStringLiteral("mniRunFile"));
    QAction* save = m_menu->addAction(Lang.Save_file);
    save->setObjectName(QStringLiteral("mniSaveFile"));
    m_menu->addSeparator();
    QAction* remove = m_menu->addAction(Lang.Delete_file);
    remove->setObjectName(QStringLiteral("mniDeleteFile"));

    connect(run, &QAction::triggered, this, [this] { guarded([this] { openStoredFile(); }); });
    connect(save, &QAction::triggered, this, [this] { guarded([this] { saveStoredFile(); }); });
    connect(remove, &QAction::triggered, this, [this] { guarded([this] { deleteFile(); }); });
    connect(m_menu, &QMenu::aboutToHide, this, [this] {
        m_right->held = false;
        m_right->setDown(false);
        m_right->update();
    });
    return m_menu;
}

QAction* TdbFileToDatabase::mniRunFile()
{
    return fileMenu()->findChild<QAction*>(QStringLiteral("mniRunFile"));
}

QAction* TdbFileToDatabase::mniSaveFile()
{
    return fileMenu()->findChild<QAction*>(QStringLiteral("mniSaveFile"));
}

QAction* TdbFileToDatabase::mniDeleteFile()
{
    return fileMenu()->findChild<QAction*>(QStringLiteral("mniDeleteFile"));
}

void TdbFileToDatabase::popupFileMenu()
{
    QMenu* menu = fileMenu();
    m_right->held = true;
    m_right->update();
    menu->popup(m_right->mapToGlobal(QPoint(0, m_right->height())));
}

void TdbFileToDatabase::ClearEx()
{
    clear();
    dbFileName.clear();
    dbID = -1;
    dbFileIsChanged = false;
    m_right->setEnabled(false);
}

void TdbFileToDatabase::setImages(TImageList* images)
{
    m_images = images;
    m_left->setIcon(buttonIcon(images, 4, 5, -1));
    m_right->setIcon(buttonIcon(images, 0, 1, 3));
    m_left->pressed = images ? images->pixmap(6) : QPixmap();
    m_right->pressed = images ? images->pixmap(2) : QPixmap();
}

void TdbFileToDatabase::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    placeButtons();
}

// The buttons sit inside the frame at both ends; the text keeps clear of them.
void TdbFileToDatabase::placeButtons()
{
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int h = qMax(0, height() - 2 * frame);
    m_left->setGeometry(frame, frame, ButtonWidth, h);
    m_right->setGeometry(width() - frame - ButtonWidth, frame, ButtonWidth, h);
    setTextMargins(ButtonWidth, 0, ButtonWidth, 0);
}

void TdbFileToDatabase::chooseFile()
{
    TFileDialog* dialog = StoredFiles::mainFormDialog(QStringLiteral("OpenDialog"));
    const QString path = dialog->execute(StoredFiles::ownerWindow(this), QString());
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    // The record's save reads the file later; one that cannot be read is refused now, while
    // the user still knows which file it was.
    StoredFiles::requireReadable(path);
    dbFileName = path;
    setText(StoredFiles::fileNamePart(path));
    dbFileIsChanged = true;
}

std::optional<QByteArray> TdbFileToDatabase::LoadStoredFile()
{
    if (dbID == -1)
        return std::nullopt;
    if (!dbSQLConnection)
        throw DatabaseError(QStringLiteral("The file control %1 has no database connection").arg(objectName()));
    const SqlDialect& d = dbSQLConnection->dialect();
    const QueryResult result = dbSQLConnection->query(
        QStringLiteral("SELECT ") + d.plainName(dbField) + u','
        + d.plainName(dbField + QStringLiteral("_filename")) + QStringLiteral(" FROM ")
        + d.plainName(dbTable) + QStringLiteral(" WHERE id=") + QString::number(dbID));
    if (result.rows.size() != 1)
        return std::nullopt;
    const int data = result.columnIndex(dbField);
    const int name = result.columnIndex(dbField + QStringLiteral("_filename"));
    // A row without stored bytes has no file to hand out: an empty stand-in would be opened
    // or saved under a name that is not the stored one.
    if (data < 0 || !result.rows[0][data].isBlob())
        return std::nullopt;
    if (name >= 0)
        dbFileName = result.rows[0][name].toText();
    return result.rows[0][data].toBytes();
}

namespace {
void noFileToSave(QWidget* owner)
{
    desktop().message(owner, Lang.Error, Lang.There_is_no_file_to_save, DesktopServices::Icon::Information,
                      DesktopServices::Ok);
}

// The file-name part of a stored name, refused when it names no file.
QString storedFileName(const QString& stored)
{
    const QString name = StoredFiles::fileNamePart(stored);
    if (name.isEmpty() || name == u"." || name == u"..")
        throw FileError(QStringLiteral("The stored file name \"%1\" names no file").arg(stored));
    return name;
}
} // namespace

void TdbFileToDatabase::openStoredFile()
{
    const QString folder = desktop().tempFolder();
    const std::optional<QByteArray> stored = LoadStoredFile();
    if (!stored) {
        noFileToSave(StoredFiles::ownerWindow(this));
        return;
    }
    const QString path = folder + storedFileName(dbFileName);
    // Asked before the copy is written: with no program for the kind the user gets the
    // choice of keeping the file somewhere of their own instead of a silent nothing.
    if (desktop().hasProgramFor(path)) {
        StoredFiles::writeWholeFile(path, *stored);
        if (desktop().shellOpen(path, folder, DesktopServices::ShowMode::Normal))
            return;
    }
    const auto answer = desktop().message(
        StoredFiles::ownerWindow(this), Lang.Info,
        Lang.No_program_opens_file.arg(fileKindName(path), StoredFiles::fileNamePart(dbFileName)),
        DesktopServices::Icon::Question, DesktopServices::Yes | DesktopServices::No);
    if (answer == DesktopServices::Yes)
        saveBytesAs(*stored);
}

void TdbFileToDatabase::saveStoredFile()
{
    const std::optional<QByteArray> stored = LoadStoredFile();
    if (!stored) {
        noFileToSave(StoredFiles::ownerWindow(this));
        return;
    }
    saveBytesAs(*stored);
}

void TdbFileToDatabase::saveBytesAs(const QByteArray& bytes)
{
    TFileDialog* dialog = StoredFiles::mainFormDialog(QStringLiteral("SaveDialog"));
    const QString path = dialog->execute(StoredFiles::ownerWindow(this), StoredFiles::fileNamePart(dbFileName));
    if (path.isEmpty())
        return;
    StoredFiles::writeWholeFile(path, bytes);
}

void TdbFileToDatabase::deleteFile()
{
    const auto answer = desktop().message(StoredFiles::ownerWindow(this), Lang.Confirm,
                                          Lang.Do_you_really_want_to_delete_the_file_from_the_database,
                                          DesktopServices::Icon::Question,
                                          DesktopServices::Yes | DesktopServices::No);
    if (answer != DesktopServices::Yes)
        return;
    ClearEx();
    dbFileIsChanged = true;
}
