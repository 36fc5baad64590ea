#pragma once

#include "report/engine/template.h"

#include <QString>
#include <QStringView>

class QPainter;
struct BoxStyle;

// A barcode symbol as its modules: rows of '1' (dark) and '0' (light), one text line per row.
// The pages keep it in this form, so that every renderer draws the same bars as vectors.
struct BarcodeSymbol {
    QString modules;
    int columns = 0;
    int rows = 0;
    // A linear code's bars run the whole height of the box; a matrix code keeps square modules.
    bool linear = false;
};

// Encodes data with the symbology. Throws FormatError with the encoder's own reason for data
// the symbology cannot hold (letters in an EAN-13, a wrong check digit, nothing at all).
BarcodeSymbol encodeBarcode(BarcodeKind kind, const QString& data);

// Draws the modules kept on a page into a box (layout units): background in the style's fill,
// bars in its line colour. Neighbouring dark modules are one rectangle of one path, so no seam
// shows between them at any zoom.
void paintBarcode(QPainter& painter, const QRectF& box, const BoxStyle& style, QStringView modules);
