#include "report/engine/barcode.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/page_document.h"

#include <QPainter>
#include <QPainterPath>
#include <memory>
#include <zint.h>

namespace {

int symbologyOf(BarcodeKind kind)
{
    switch (kind) {
    case BarcodeKind::Code128: return BARCODE_CODE128;
    case BarcodeKind::Ean13: return BARCODE_EANX;
    case BarcodeKind::DataMatrix: return BARCODE_DATAMATRIX;
    case BarcodeKind::Code39: return BARCODE_CODE39;
    case BarcodeKind::Qr: break;
    }
    return BARCODE_QRCODE;
}

bool moduleIsSet(const zint_symbol& symbol, int row, int column)
{
    return (symbol.encoded_data[row][column >> 3] >> (column & 7)) & 1;
}

} // namespace

BarcodeSymbol encodeBarcode(BarcodeKind kind, const QString& data)
{
    const std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    if (!symbol)
        throw FormatError(Lang.caption("the barcode cannot be made: out of memory"));
    symbol->symbology = symbologyOf(kind);
    symbol->input_mode = UNICODE_MODE;
    const QByteArray utf8 = data.toUtf8();
    const int result = ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(utf8.constData()),
                                       int(utf8.size()));
    if (result >= ZINT_ERROR)
        throw FormatError(Lang.caption("the barcode cannot hold \"%1\": %2")
                              .arg(data, QString::fromUtf8(symbol->errtxt)));
    BarcodeSymbol out;
    out.columns = symbol->width;
    out.rows = symbol->rows;
    out.linear = symbol->rows == 1;
    out.modules.reserve(qsizetype(out.rows) * (out.columns + 1));
    for (int row = 0; row < out.rows; ++row) {
        if (row > 0)
            out.modules += u'\n';
        for (int column = 0; column < out.columns; ++column)
            out.modules += moduleIsSet(*symbol, row, column) ? u'1' : u'0';
    }
    return out;
}

void paintBarcode(QPainter& painter, const QRectF& box, const BoxStyle& style, QStringView modules)
{
    if (style.fill.isValid())
        painter.fillRect(box, style.fill);
    const QList<QStringView> rows = modules.split(u'\n', Qt::SkipEmptyParts);
    if (rows.isEmpty() || rows.front().isEmpty())
        return;
    const int columns = int(rows.front().size());
    const bool linear = rows.size() == 1;
    double moduleWidth = box.width() / columns;
    double moduleHeight = box.height() / rows.size();
    QPointF origin = box.topLeft();
    if (!linear) {
        const double side = std::min(moduleWidth, moduleHeight);
        moduleWidth = moduleHeight = side;
        origin += QPointF((box.width() - side * columns) / 2, (box.height() - side * rows.size()) / 2);
    }
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (qsizetype row = 0; row < rows.size(); ++row) {
        const QStringView line = rows[row];
        for (int column = 0; column < line.size();) {
            if (line[column] != u'1') {
                ++column;
                continue;
            }
            int end = column;
            while (end < line.size() && line[end] == u'1')
                ++end;
            path.addRect(QRectF(origin.x() + column * moduleWidth, origin.y() + double(row) * moduleHeight,
                                (end - column) * moduleWidth, moduleHeight));
            column = end;
        }
    }
    painter.fillPath(path, style.lineColor);
}
