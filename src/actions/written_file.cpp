// Handing a written report or workbook to the user: the desktop's program for its kind opens
// it, or the user learns where it is and may keep a copy where he wants it.
#include "actions/record_actions.h"

#include "controls/stored_files.h"
#include "platform/desktop_services.h"
#include "platform/form.h"
#include "platform/lang.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

void TRecordActions::openWrittenFile(const QString& caption, const QString& file, const QString& notice,
                                     const QString& proposedName)
{
    // The desktop is asked first: where nothing opens the kind, starting the opener would fail
    // out of sight and the user would never learn where the file went.
    const QFileInfo written(file);
    if (desktop().hasProgramFor(file)
        && desktop().shellOpen(file, written.path(), DesktopServices::ShowMode::Normal))
        return;
    const auto answer =
        desktop().message(&m_main, caption, notice + QStringLiteral("\n\n") + Lang.Save_a_copy_where_you_choose,
                          DesktopServices::Icon::Question, DesktopServices::Yes | DesktopServices::No,
                          DesktopServices::Yes);
    if (answer != DesktopServices::Yes)
        return;

    DesktopServices::FileDialog dialog;
    dialog.parent = &m_main;
    dialog.title = Lang.Save_file;
    const QString extension = written.suffix();
    dialog.filter = fileKindName(file) + QStringLiteral("|*.") + extension;
    dialog.defaultExt = extension;
    dialog.fileName = proposedName;
    dialog.folder = m_copyFolder.isEmpty()
                        ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                        : m_copyFolder;
    const QString chosen = desktop().saveFileName(dialog);
    if (chosen.isEmpty())
        return;
    m_copyFolder = QFileInfo(chosen).path();
    if (QFileInfo(chosen) == written)
        return;
    StoredFiles::writeWholeFile(chosen, StoredFiles::readWholeFile(file));
}
