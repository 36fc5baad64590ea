#pragma once

#include "report/export/zip_writer.h"

#include <QByteArray>
#include <QHash>
#include <vector>

class ExportFile;
class PageDocument;

// An OpenDocument package: the mimetype first and stored, then the parts as they are written,
// each picture once, and the manifest that lists them all at the end.
class OdfPackage {
public:
    OdfPackage(ExportFile& file, const QByteArray& mediaType);
    ZipWriter& zip() { return m_zip; }
    // The package path of a document picture, written the first time it is asked for (never
    // while a part is being written).
    QByteArray picture(const PageDocument& doc, quint32 index);
    // The package path of a drawing given as PNG bytes (a barcode, a chart). Drawings are made
    // while the content part is written, so they join the package when it finishes; the same
    // drawing on many pages (a chart in the page header) is kept once.
    QByteArray drawing(const QByteArray& png);
    void finish();

    // The namespaces every part declares.
    static const char* const namespaces;

private:
    ZipWriter m_zip;
    QByteArray m_mediaType;
    QByteArray m_entries;
    std::vector<QByteArray> m_pictures; // the path of each picture written, by its index
    QHash<QByteArray, QByteArray> m_drawingPaths; // by the drawing's hash
    std::vector<std::pair<QByteArray, QByteArray>> m_drawings; // path and bytes, to be written
};
