#pragma once

class QRect;
class QSize;
class QWidget;

// Anchoring of absolutely placed controls: an anchored side keeps its distance to the same
// side of the parent when the parent is resized. Left and right anchored: the control grows
// with the parent; right only: it moves with the right edge; neither: its centre keeps its
// place in proportion to the parent's size. The vertical sides work the same way.
//
// Distances are those of the moment the anchors (or, through place(), the geometry) are set.
// A control with the default anchors, left and top, is never adjusted.
namespace Anchors {

struct Sides {
    bool left = true;
    bool top = true;
    bool right = false;
    bool bottom = false;

    bool isDefault() const { return left && top && !right && !bottom; }
    friend bool operator==(const Sides&, const Sides&) = default;
};

void set(QWidget* control, bool left, bool top, bool right, bool bottom);
void set(QWidget* control, const Sides& sides);
Sides get(const QWidget* control);

// Moves the control and takes the new geometry as the one its anchors keep.
void place(QWidget* control, const QRect& geometry);

// The smallest size of window, measured from its present size and its controls' present
// places, down to which its anchors keep the controls inside it (at any depth) apart: no two
// controls that are apart now come to lie over each other, none leaves its parent at the left
// or top, and a stretched control keeps at least its minimum size. Never more than the
// present size.
QSize minimumSize(const QWidget* window);

} // namespace Anchors
