#include "report/ui/designer_subreport.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/dataset.h"

#include <algorithm>

namespace {

std::optional<Band> asKind(const std::optional<Band>& band, BandKind kind)
{
    std::optional<Band> out = band;
    if (out)
        out->kind = kind;
    return out;
}

ReportTemplate levelOf(const ReportTemplate& outer, const ReportObject& o)
{
    ReportTemplate level;
    level.name = o.name;
    level.page = outer.page;
    level.page.labels.clear();
    // The sub-report's bands stand from its box's left edge, as wide as the box.
    level.page.marginLeft = outer.page.marginLeft + o.rect.x();
    level.page.marginRight =
        std::max(0.0, outer.page.pageWidth() - level.page.marginLeft - std::max(10.0, o.rect.width()));
    level.query = o.subreport->query;
    level.title = asKind(o.subreport->header, BandKind::ReportTitle);
    level.detail = asKind(o.subreport->detail, BandKind::Detail);
    level.summary = asKind(o.subreport->footer, BandKind::Summary);
    return level;
}

} // namespace

std::optional<ReportTemplate> subreportLevel(const ReportTemplate& report, const DesignerLevelPath& path)
{
    ReportTemplate level = report;
    for (const ObjectRef& ref : path) {
        const ReportObject* o = findObject(level, ref);
        if (!o || o->kind != ObjectKind::Subreport || !o->subreport)
            return std::nullopt;
        level = levelOf(level, *o);
    }
    return level;
}

void storeSubreportLevel(ReportTemplate& report, const DesignerLevelPath& path, const ReportTemplate& level)
{
    if (path.empty()) {
        report = level;
        return;
    }
    const DesignerLevelPath outerPath(path.begin(), path.end() - 1);
    std::optional<ReportTemplate> outer = subreportLevel(report, outerPath);
    if (!outer)
        return;
    ReportObject* o = findObject(*outer, path.back());
    if (!o || !o->subreport)
        return;
    Subreport& sub = *o->subreport;
    sub.query = level.query;
    // Inside a sub-report its header and footer are written as a group's are.
    sub.header = asKind(level.title, BandKind::GroupHeader);
    sub.detail = asKind(level.detail, BandKind::Detail);
    sub.footer = asKind(level.summary, BandKind::GroupFooter);
    storeSubreportLevel(report, outerPath, *outer);
}

QStringList subreportNames(const ReportTemplate& report, const DesignerLevelPath& path)
{
    QStringList names;
    ReportTemplate level = report;
    for (const ObjectRef& ref : path) {
        const ReportObject* o = findObject(level, ref);
        if (!o || !o->subreport)
            break;
        names << o->name;
        level = levelOf(level, *o);
    }
    return names;
}

QString levelBandTitle(const ReportTemplate& level, const BandRef& ref, bool inSubreport)
{
    if (!inSubreport)
        return bandTitle(level, ref);
    switch (ref.kind) {
    case BandKind::ReportTitle: return Lang.caption("Sub-report header");
    case BandKind::Detail: return Lang.caption("Sub-report detail");
    case BandKind::Summary: return Lang.caption("Sub-report footer");
    default: return bandTitle(level, ref);
    }
}

std::unique_ptr<ReportDataset> subreportFields(const ReportObject& subreport, const SubreportStatementSource& source,
                                               QString& note)
{
    auto fields = std::make_unique<ReportDataset>();
    fields->setUserName(subreport.name);
    note.clear();
    if (!subreport.subreport)
        return fields;
    if (!source) {
        note = Lang.caption("No fields: the sub-report's query needs the database, and there is none here.");
        return fields;
    }
    try {
        // Prepared to learn its columns; nothing is run.
        const SubreportData prepared(subreport, source);
        fields->reset(prepared.rows().columns());
    } catch (const VarnelError& e) {
        note = Lang.caption("The query of the sub-report fails: %1").arg(e.message());
    }
    return fields;
}
