#include "report/engine/template.h"
#include "report/engine/template_xml.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/report_parameters.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cctype>
#include <cmath>

double PageSetup::pageWidth() const
{
    return orientation == Orientation::Portrait ? width : height;
}

double PageSetup::pageHeight() const
{
    return orientation == Orientation::Portrait ? height : width;
}

void PageSetup::applySize(PageSizeName name)
{
    size = name;
    switch (name) {
    case PageSizeName::A4: width = 210; height = 297; break;
    case PageSizeName::A5: width = 148; height = 210; break;
    case PageSizeName::Letter: width = 215.9; height = 279.4; break;
    case PageSizeName::Custom: break;
    }
}

namespace {

const LabelSheet labelSheets[] = {
    {"L7160", PageSizeName::A4, 3, 7, 63.5, 38.1, 7.2, 15.15, 2.5},
    {"L7161", PageSizeName::A4, 3, 6, 63.5, 46.6, 7.2, 8.7, 2.5},
    {"L7163", PageSizeName::A4, 2, 7, 99.1, 38.1, 4.65, 15.15, 2.5},
    {"5160", PageSizeName::Letter, 3, 10, 66.675, 25.4, 4.7625, 12.7, 3.175},
    {"5163", PageSizeName::Letter, 2, 5, 101.6, 50.8, 3.96875, 12.7, 4.7625},
};

} // namespace

const LabelSheet* LabelSheet::find(const QString& code)
{
    for (const LabelSheet& sheet : labelSheets)
        if (code == QLatin1StringView(sheet.code))
            return &sheet;
    return nullptr;
}

QStringList LabelSheet::codes()
{
    QStringList out;
    for (const LabelSheet& sheet : labelSheets)
        out << QString::fromLatin1(sheet.code);
    return out;
}

bool ReportTemplate::isEmpty() const
{
    return !title && !pageHeader && groups.empty() && !detail && !pageFooter && !summary;
}

namespace {

// Sub-reports, barcodes, charts, style rules and visibility came with format version 2.
bool usesVersionTwoParts(const std::optional<Band>& band)
{
    return band && (!band->visible.isEmpty() || std::any_of(band->objects.begin(), band->objects.end(), [](const ReportObject& o) {
               return o.kind == ObjectKind::Subreport || o.kind == ObjectKind::Barcode || o.kind == ObjectKind::Chart
                      || !o.visible.isEmpty() || !o.rules.empty();
           }));
}

} // namespace

// A template that uses nothing of version 2 is written as version 1, so that older programs
// still read it.
int ReportTemplate::neededVersion() const
{
    bool two = !page.labels.isEmpty() || !parameters.empty() || usesVersionTwoParts(title) || usesVersionTwoParts(pageHeader)
               || usesVersionTwoParts(detail) || usesVersionTwoParts(pageFooter) || usesVersionTwoParts(summary);
    if (detail && (detail->columns != 1 || detail->columnSpacing != 0 || detail->columnOrder != ColumnOrder::Across))
        two = true;
    for (const ReportGroup& g : groups)
        two = two || g.resetPageNumbers || usesVersionTwoParts(g.header) || usesVersionTwoParts(g.footer);
    return two ? 2 : 1;
}

QStringList ReportTemplate::groupNames() const
{
    QStringList names;
    for (const ReportGroup& g : groups)
        names << g.name;
    return names;
}

void LabelSheet::applyTo(PageSetup& p) const
{
    const LabelSheet& sheet = *this;
    p.labels = QString::fromLatin1(sheet.code);
    p.applySize(sheet.paper);
    p.orientation = Orientation::Portrait;
    p.marginLeft = sheet.marginLeft;
    p.marginTop = sheet.marginTop;
    p.marginRight = p.width - sheet.marginLeft - sheet.columns * sheet.labelWidth - (sheet.columns - 1) * sheet.columnGap;
    p.marginBottom = p.height - sheet.marginTop - sheet.rows * sheet.labelHeight;
}

namespace {
[[noreturn]] void refuseLarge(const QString& source)
{
    throw FormatError(Lang.caption("%1: the template is larger than %2 MB; it is not read")
                          .arg(source)
                          .arg(ReportTemplateFormat::maxFileSize / (1024 * 1024)));
}
} // namespace

ReportTemplate ReportTemplateFormat::read(const QByteArray& xml, const QString& source)
{
    if (xml.size() > maxFileSize)
        refuseLarge(source);
    return template_xml::readTemplate(xml, source);
}

ReportTemplate ReportTemplateFormat::readFile(const QString& path)
{
    QFile file(path);
    if (file.size() > maxFileSize)
        refuseLarge(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(Lang.caption("Cannot read %1: %2").arg(path, file.errorString()));
    return read(file.readAll(), path);
}

QByteArray ReportTemplateFormat::write(const ReportTemplate& report)
{
    return template_xml::writeTemplate(report);
}

void ReportTemplateFormat::writeFile(const ReportTemplate& report, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(write(report)) < 0 || !file.commit())
        throw FileError(Lang.caption("Cannot write %1: %2").arg(path, file.errorString()));
}
