#pragma once

#include <QList>
#include <QPixmap>

// The engine's own pictures, drawn with QPainter on transparent ground.

// Twelve 16x16 button icons in the order of the icon names: New, Edit, Delete, OK, Cancel,
// Search, Printer, Report, Save, Exit, Excel, Database.
QList<QPixmap> drawButtonIcons();

// Seven 16x16 pictures of the file field: 0-3 the right button (open/save the stored file)
// normal, hot, pressed, disabled; 4-6 the left button (choose a file) normal, hot, pressed.
QList<QPixmap> drawEditButtonImages();

// Three 24x24 pictures of the picture toolbar: select, save, delete.
QList<QPixmap> drawPictureToolbarImages();
