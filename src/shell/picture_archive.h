#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// The picture archive "graphics.dll": the static pictures of the forms, packed with zlib.
// Layout, all integers 32-bit signed little-endian: the entry count, then per entry the
// name's length, the name, the unpacked size and one zlib stream holding the picture file.
// The compressed length is not stored: the next entry starts where the stream ends.

// Receives one unpacked picture file and its entry name, e.g. "pic.frmMain.Logo.png".
using PictureLoader = std::function<void(const QByteArray& picture, const QString& name)>;

// Unpacks every entry of the archive held in memory and hands it to loader, in file order.
// A truncated or damaged archive throws FormatError once the entries before the damage have
// been handed over; nothing is allocated beyond what the archive's own size can justify.
// archiveName only names the archive in error messages. An entry of unpacked size 0 holds
// no picture: its (empty) stream is checked and skipped.
void readGraphicsArchive(const QByteArray& archive, const PictureLoader& loader,
                         const QString& archiveName = QStringLiteral("graphics.dll"));

// Reads the archive file; a file that cannot be read throws FileError.
void LoadGraphics(const QString& fileName, const PictureLoader& loader);

struct GraphicsEntry {
    QString name;
    QByteArray data;
};

// The archive bytes for the entries, in the given order.
QByteArray writeGraphicsArchive(const QList<GraphicsEntry>& entries);
