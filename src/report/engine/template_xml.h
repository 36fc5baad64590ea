#pragma once

// What the template reader and writer share: the names the file gives to the model's choices,
// how numbers are written, and the two halves themselves. Only template*.cpp include this.

#include "report/engine/template.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace template_xml {

struct Names {
    const char* name;
    int value;
};

inline const Names pageSizes[] = {{"A4", int(PageSizeName::A4)}, {"A5", int(PageSizeName::A5)},
                           {"Letter", int(PageSizeName::Letter)}, {"custom", int(PageSizeName::Custom)}};
inline const Names orientations[] = {{"portrait", int(Orientation::Portrait)}, {"landscape", int(Orientation::Landscape)}};
inline const Names hAligns[] = {{"left", int(HAlign::Left)}, {"center", int(HAlign::Center)},
                         {"right", int(HAlign::Right)}, {"justify", int(HAlign::Justify)}};
inline const Names columnOrders[] = {{"across", int(ColumnOrder::Across)}, {"down", int(ColumnOrder::Down)}};
inline const Names vAligns[] = {{"top", int(VAlign::Top)}, {"middle", int(VAlign::Middle)}, {"bottom", int(VAlign::Bottom)}};
inline const Names objectKinds[] = {{"text", int(ObjectKind::Text)}, {"line", int(ObjectKind::Line)},
                             {"rectangle", int(ObjectKind::Rectangle)}, {"picture", int(ObjectKind::Picture)},
                             {"checkbox", int(ObjectKind::CheckBox)}, {"subreport", int(ObjectKind::Subreport)},
                             {"barcode", int(ObjectKind::Barcode)}, {"chart", int(ObjectKind::Chart)}};
inline const Names barcodeKinds[] = {{"qr", int(BarcodeKind::Qr)}, {"code128", int(BarcodeKind::Code128)},
                              {"ean13", int(BarcodeKind::Ean13)}, {"datamatrix", int(BarcodeKind::DataMatrix)},
                              {"code39", int(BarcodeKind::Code39)}};
inline const Names chartKinds[] = {{"bar", int(ChartKind::Bar)}, {"line", int(ChartKind::Line)}, {"pie", int(ChartKind::Pie)}};
inline const Names topBands[] = {{"title", int(BandKind::ReportTitle)}, {"page-header", int(BandKind::PageHeader)},
                          {"detail", int(BandKind::Detail)}, {"page-footer", int(BandKind::PageFooter)},
                          {"summary", int(BandKind::Summary)}};

template <size_t N>
const char* nameOf(const Names (&table)[N], int value)
{
    for (const auto& n : table)
        if (n.value == value)
            return n.name;
    return "";
}

inline QString number(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// Reads one template; every refusal names where it happened (FormatError with line and column).
ReportTemplate readTemplate(const QByteArray& xml, const QString& source);
QByteArray writeTemplate(const ReportTemplate& report);

} // namespace template_xml
