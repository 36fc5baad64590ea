#pragma once

#include <QString>

class QWidget;

// The name under which the user knows a control's field: the label that names it (a label
// whose buddy it is, else the nearest label on its left, else the one just above it), a check
// box's own text, and only then the field name itself. Accelerator marks and a final colon
// are left out.
QString fieldCaption(const QWidget* control, const QString& field);
