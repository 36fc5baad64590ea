#pragma once

// What the fuzz targets that read a project file share: a widgets application offscreen with
// a temporary project folder, and each input written where the program reads the file.

#include "platform/project_folder.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

// Starts the application and points the project folder at a temporary folder; returns it.
inline QString startOffscreenProject(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Kept to the end of the process: destroyed among the exit handlers, the application
    // would outlive parts of the toolkit it tears down.
    static QApplication* app = new QApplication(*argc, *argv);
    (void)app;
    static QTemporaryDir folder;
    setExeFolder(folder.path());
    return folder.path();
}

// Writes the input as the whole file; false when it cannot be written.
inline bool writeInput(const QString& fileName, const std::uint8_t* data, std::size_t size)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 length = static_cast<qint64>(size);
    return file.write(reinterpret_cast<const char*>(data), length) == length;
}
