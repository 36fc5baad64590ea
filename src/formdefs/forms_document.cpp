#include "formdefs/forms_document.h"

#include "platform/errors.h"

#include <QFile>
#include <QXmlStreamReader>

bool FormsElement::hasAttribute(QStringView attribute) const
{
    for (const auto& [name, value] : attributes)
        if (name == attribute)
            return true;
    return false;
}

QString FormsElement::attribute(QStringView attribute) const
{
    for (const auto& [name, value] : attributes)
        if (name == attribute)
            return value;
    return QString();
}

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

FormsElement parse(const QByteArray& bytes, const QString& sourceName)
{
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    FormsElement document;
    // The open elements, innermost last. Only the innermost one gains children, so the
    // elements further out stay where they are.
    std::vector<FormsElement*> open{&document};
    qsizetype elements = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (static_cast<int>(open.size()) > MaxDepth)
                fail(reader, sourceName,
                     QStringLiteral("elements are nested more than %1 levels deep").arg(MaxDepth));
            if (++elements > MaxElements)
                fail(reader, sourceName,
                     QStringLiteral("the file holds more than %1 elements").arg(MaxElements));
            FormsElement& element = open.back()->children.emplace_back();
            element.name = reader.qualifiedName().toString();
            const QXmlStreamAttributes attributes = reader.attributes();
            element.attributes.reserve(attributes.size());
            for (const QXmlStreamAttribute& a : attributes)
                element.attributes.emplace_back(a.qualifiedName().toString(), a.value().toString());
            open.push_back(&element);
            break;
        }
        case QXmlStreamReader::EndElement:
            open.pop_back();
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

FormsElement read(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Cannot open the form definitions file %1: %2")
                            .arg(fileName, file.errorString()));
    return parse(file.readAll(), fileName);
}

} // namespace FormsDocument
