#include "formdefs/forms_document.h"

#include "platform/errors.h"

#include <QFile>
#include <QXmlStreamReader>

namespace FormsDocument {

namespace {

[[noreturn]] void fail(const QXmlStreamReader& reader, const QString& sourceName,
                       const QString& problem)
{
    throw FormatError(QStringLiteral("Error in %1 at line %2, column %3: %4")
                          .arg(sourceName)
                          .arg(reader.lineNumber())
                          .arg(reader.columnNumber())
                          .arg(problem));
}

} // namespace

QDomDocument parse(const QByteArray& bytes, const QString& sourceName)
{
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    // A document made with a type name is a real one; a default-constructed one stays null.
    QDomDocument document(QStringLiteral("main"));
    QDomNode current = document;
    int depth = 0;
    qsizetype elements = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (++depth > MaxDepth)
                fail(reader, sourceName,
                     QStringLiteral("elements are nested more than %1 levels deep").arg(MaxDepth));
            if (++elements > MaxElements)
                fail(reader, sourceName,
                     QStringLiteral("the file holds more than %1 elements").arg(MaxElements));
            QDomElement element = document.createElement(reader.qualifiedName().toString());
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute& a : attributes)
                element.setAttribute(a.qualifiedName().toString(), a.value().toString());
            current.appendChild(element);
            current = element;
            break;
        }
        case QXmlStreamReader::EndElement:
            current = current.parentNode();
            --depth;
            break;
        default:
            // The format is carried by elements and attributes only.
            break;
        }
    }
    if (reader.hasError())
        fail(reader, sourceName, reader.errorString());
    return document;
}

QDomDocument read(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Cannot open the form definitions file %1: %2")
                            .arg(fileName, file.errorString()));
    return parse(file.readAll(), fileName);
}

} // namespace FormsDocument
