#include "report/export/odf_package.h"

#include "report/engine/page_document.h"
#include "report/export/export_file.h"

#include <QCryptographicHash>


const char* const OdfPackage::namespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
    " xmlns:xlink=\"http://www.w3.org/1999/xlink\""
    " xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\""
    " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
    " office:version=\"1.3\"";

OdfPackage::OdfPackage(ExportFile& file, const QByteArray& mediaType) : m_zip(file), m_mediaType(mediaType)
{
    m_zip.addStored(QStringLiteral("mimetype"), mediaType);
}

QByteArray OdfPackage::picture(const PageDocument& doc, quint32 index)
{
    if (index < m_pictures.size() && !m_pictures[index].isEmpty())
        return m_pictures[index];
    if (m_pictures.size() <= index)
        m_pictures.resize(index + 1);
    QByteArray format;
    const QByteArray bytes = doc.embeddableImage(index, &format);
    const QByteArray path = "Pictures/image" + QByteArray::number(index) + (format == "jpeg" ? ".jpg" : ".png");
    m_zip.addStored(QString::fromLatin1(path), bytes); // already compressed
    m_entries += "<manifest:file-entry manifest:full-path=\"" + path + "\" manifest:media-type=\"image/" + format + "\"/>\n";
    m_pictures[index] = path;
    return path;
}

QByteArray OdfPackage::drawing(const QByteArray& png)
{
    const QByteArray hash = QCryptographicHash::hash(png, QCryptographicHash::Sha1);
    if (const auto found = m_drawingPaths.constFind(hash); found != m_drawingPaths.constEnd())
        return *found;
    const QByteArray path = "Pictures/drawing" + QByteArray::number(m_drawings.size() + 1) + ".png";
    m_drawingPaths.insert(hash, path);
    m_drawings.emplace_back(path, png);
    return path;
}

void OdfPackage::finish()
{
    for (const auto& [path, png] : m_drawings) {
        m_zip.addStored(QString::fromLatin1(path), png); // already compressed
        m_entries += "<manifest:file-entry manifest:full-path=\"" + path + "\" manifest:media-type=\"image/png\"/>\n";
    }
    m_drawings.clear();
    m_zip.add(QStringLiteral("META-INF/manifest.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.3\">\n"
              "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" manifest:media-type=\""
                  + m_mediaType + "\"/>\n"
                  "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
                  "<manifest:file-entry manifest:full-path=\"styles.xml\" manifest:media-type=\"text/xml\"/>\n"
                  + m_entries + "</manifest:manifest>\n");
    m_zip.finish();
}
