#pragma once

class QRect;
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

} // namespace Anchors
