// pack_graphics: packs a folder of pictures into a picture archive (graphics.dll).
//
//   pack_graphics <picture folder> <archive file>
//
// Every file whose name has four parts separated by "." is packed under its own name, in the
// order of the names: pic.frmMain.Logo.png becomes the picture of the control Logo on the form
// frmMain. Other files are left out with a note.

#include "shell/picture_archive.h"

#include "platform/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usage()
{
    err() << "usage: pack_graphics <picture folder> <archive file>\n"
             "  packs every file named <any>.<form>.<control>.<bmp|png|gif|jpg|jpeg>\n";
    return 2;
}

bool isPictureName(const QString& name)
{
    static const QStringList extensions = {QStringLiteral("bmp"), QStringLiteral("png"), QStringLiteral("gif"),
                                           QStringLiteral("jpg"), QStringLiteral("jpeg")};
    const QStringList parts = name.split(u'.');
    return parts.size() == 4 && extensions.contains(parts[3].toLower());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return usage();
    const QDir folder(args[1]);
    if (!folder.exists()) {
        err() << "pack_graphics: no folder " << args[1] << "\n";
        return 1;
    }

    try {
        QList<GraphicsEntry> entries;
        const QStringList names = folder.entryList(QDir::Files, QDir::Name);
        for (const QString& name : names) {
            if (!isPictureName(name)) {
                err() << "pack_graphics: left out " << name
                      << " (not named <any>.<form>.<control>.<picture extension>)\n";
                continue;
            }
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                err() << "pack_graphics: cannot read " << file.fileName() << ": " << file.errorString() << "\n";
                return 1;
            }
            entries.append({name, file.readAll()});
        }

        const QByteArray archive = writeGraphicsArchive(entries);
        // Read back what was packed, so that a broken archive never leaves this tool.
        int checked = 0;
        readGraphicsArchive(archive, [&](const QByteArray& picture, const QString& name) {
            if (picture != entries[checked].data || name != entries[checked].name)
                throw FormatError(QStringLiteral("the packed entry %1 does not read back").arg(name));
            ++checked;
        });

        QSaveFile out(args[2]);
        if (!out.open(QIODevice::WriteOnly) || out.write(archive) != archive.size() || !out.commit()) {
            err() << "pack_graphics: cannot write " << args[2] << ": " << out.errorString() << "\n";
            return 1;
        }
        QTextStream(stdout) << "packed " << entries.size() << " picture(s), " << archive.size() << " bytes, into "
                            << args[2] << "\n";
    } catch (const VarnelError& error) {
        err() << "pack_graphics: " << error.message() << "\n";
        return 1;
    }
    return 0;
}
