#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QString>

// Reading forms.xml into a document tree. The tree is built in one pass over the text without
// recursion, and documents the builder could not take safely (nested too deeply, too many
// elements) are refused before they are built.
namespace FormsDocument {

// main, a form and 62 levels of containers, and ten times the controls of a large
// application: far beyond anything a person designs.
constexpr int MaxDepth = 64;
constexpr qsizetype MaxElements = 50000;

// Throws FileError when the file cannot be read and FormatError (with line and column) when
// it is not a well-formed XML document within the limits.
QDomDocument read(const QString& fileName);
// The same for text already in memory; sourceName names it in messages.
QDomDocument parse(const QByteArray& bytes, const QString& sourceName);

} // namespace FormsDocument
