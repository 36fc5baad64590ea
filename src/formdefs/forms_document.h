#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <utility>
#include <vector>

// One element of forms.xml: its name, its attributes in file order and its child elements.
struct FormsElement {
    QString name;
    QList<std::pair<QString, QString>> attributes;
    std::vector<FormsElement> children;

    bool hasAttribute(QStringView attribute) const;
    // The attribute's text; empty when it is absent.
    QString attribute(QStringView attribute) const;
};

// Reading forms.xml into a tree of elements. The tree is built in one pass over the text
// without recursion, and documents the builder could not take safely (nested too deeply, too
// many elements) are refused before they are built. The document is the tree's root: its one
// child is the file's root element (none for a file without elements).
namespace FormsDocument {

// main, a form and 62 levels of containers, and ten times the controls of a large
// application: far beyond anything a person designs.
constexpr int MaxDepth = 64;
constexpr qsizetype MaxElements = 50000;

// Throws FileError when the file cannot be read and FormatError (with line and column) when
// it is not a well-formed XML document within the limits.
FormsElement read(const QString& fileName);
// The same for text already in memory; sourceName names it in messages.
FormsElement parse(const QByteArray& bytes, const QString& sourceName);

} // namespace FormsDocument
