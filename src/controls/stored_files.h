#pragma once

#include <QByteArray>
#include <QString>

class QObject;
class QWidget;
class TFileDialog;
class TImageList;

// Small file services shared by the picture and file controls.
namespace StoredFiles {

// The name without its folders. Stored names may come from any system, so both "/" and "\"
// separate folders.
QString fileNamePart(const QString& path);
// The extension of the file-name part, without the dot; empty when there is none.
QString extensionOf(const QString& path);

// The whole file. Throws FileError when it cannot be read.
QByteArray readWholeFile(const QString& path);
// Throws FileError when the file cannot be opened for reading.
void requireReadable(const QString& path);
// Writes the bytes to path, replacing a file of that name only once the new content is
// complete, so that a failed write keeps what was there. Throws FileError.
void writeWholeFile(const QString& path, const QByteArray& bytes);

// The window a control's dialogs and questions sit on: its form, or its top-level window.
QWidget* ownerWindow(QWidget* control);

// The main form's shared dialogs and image lists, found by their component names. A missing
// dialog throws ComponentError; a missing image list yields nullptr (the buttons stay blank).
TFileDialog* mainFormDialog(const QString& name);
TImageList* mainFormImageList(const QString& name);

} // namespace StoredFiles
