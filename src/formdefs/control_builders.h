#pragma once

#include "formdefs/value_conversions.h"

#include <QString>

class QWidget;
class TForm;
struct FormBuildContext;

// The registry of control elements: one small builder per element name. A builder creates
// its control, registers it on the owning form and applies the element's own attributes;
// the walk then applies what all kinds share (tab sequence, font, anchors, tab stop).
namespace ControlBuilders {

struct Scope {
    const FormBuildContext& context;
    TForm* form;        // the owner of every control built here
    QWidget* parent;    // the parent given to BuildControls
    QWidget* container; // where the controls are placed inside the parent
};

using Build = QWidget* (*)(const Scope& scope, const FormValues::Reader& element);
// Work that must wait for the shared attributes, done before the control is anchored.
using Finish = void (*)(QWidget* control);

struct Kind {
    Build build;
    Finish finish = nullptr;
    bool font = false;     // takes FontName, FontSize, FontColor, FontStyle
    bool tab = false;      // takes TabStop and TabOrder
    bool windowed = false; // can hold child elements; part of the tab sequence
    bool anchors = true;   // takes dbAnchors
    bool label = false;    // starts from the application's font rather than its parent's
    bool panel = false;    // not focusable at all unless it is a tab stop
    // What one control costs in memory and time, in one-line edit boxes (about 12 KB): a
    // month calendar weighs as much as twenty of them.
    int weight = 1;
};

// The kind for an element name (letter case counts), or nullptr.
const Kind* find(const QString& elementName);

} // namespace ControlBuilders
