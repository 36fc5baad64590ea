#pragma once

#include <QByteArray>
#include <vector>

// Pictures of an Excel 97-2003 workbook: the images kept once in the workbook's picture store,
// and on each sheet the shapes that show them, each anchored to the cells it covers.
namespace Xls {

// Where a shape lies on the sheet: its top left and bottom right corners as a cell and the
// offset within it (columns in 1/1024, rows in 1/256 of the cell).
struct CellAnchor {
    quint16 column1 = 0, dx1 = 0, row1 = 0, dy1 = 0;
    quint16 column2 = 0, dx2 = 0, row2 = 0, dy2 = 0;
};

class Drawings {
public:
    // Adds an image to the store (PNG or JPEG bytes, format "png" or "jpeg"); its number for
    // picture().
    int addImage(const QByteArray& bytes, const QByteArray& format);
    // A picture on a sheet (counted from 0).
    void picture(int sheet, int image, const CellAnchor& anchor);

    bool isEmpty() const { return m_images.empty(); }
    // The picture store, a record of the workbook's globals; empty without pictures.
    QByteArray groupRecords() const;
    // The drawing of a sheet and an object record per picture, for the end of its cells;
    // empty for a sheet without pictures.
    QByteArray sheetRecords(int sheet) const;

private:
    struct Image {
        QByteArray bytes;
        bool jpeg;
    };
    struct Shape {
        int sheet, image;
        CellAnchor anchor;
    };
    std::vector<Image> m_images;
    std::vector<Shape> m_shapes;
};

} // namespace Xls
