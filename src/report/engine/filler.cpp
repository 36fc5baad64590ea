#include "report/engine/filler.h"
#include "report/engine/filler_impl.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "report/engine/text_layout.h"

#include <QDir>
#include <QFile>
#include <algorithm>

using namespace filling;

namespace {

QString bandName(const Band& band, int group)
{
    switch (band.kind) {
    case BandKind::ReportTitle: return Lang.caption("the title");
    case BandKind::PageHeader: return Lang.caption("the page header");
    case BandKind::GroupHeader: return Lang.caption("the header of group %1").arg(group + 1);
    case BandKind::Detail: return Lang.caption("the detail band");
    case BandKind::GroupFooter: return Lang.caption("the footer of group %1").arg(group + 1);
    case BandKind::PageFooter: return Lang.caption("the page footer");
    case BandKind::Summary: return Lang.caption("the summary");
    }
    return QString();
}

} // namespace

void ReportFiller::Impl::compile()
{
    doc = std::make_unique<PageDocument>();
    const int groups = int(report.groups.size());
    compileBand(report.title, title, -1, -1);
    compileBand(report.pageHeader, pageHeader, -1, -1);
    headers.resize(size_t(groups));
    footers.resize(size_t(groups));
    for (int g = 0; g < groups; ++g) {
        const ReportGroup& group = report.groups[size_t(g)];
        compiler.setDefaultScope(g);
        try {
            groupKeys.emplace_back(compiler.compile(group.expression));
        } catch (const FormatError& e) {
            fail(Lang.caption("the expression of group %1").arg(g + 1), e);
        }
        compileBand(group.header, headers[size_t(g)], g, g);
        compileBand(group.footer, footers[size_t(g)], g, g);
    }
    compileBand(report.detail, detail, groups - 1, -1);
    compileColumns();
    compileBand(report.pageFooter, pageFooter, -1, -1);
    compileBand(report.summary, summary, -1, -1);
    aggregateSlots = compiler.aggregates();
    for (size_t i = 0; i < aggregateSlots.size(); ++i) {
        slotArguments.emplace_back(aggregateSlots[i].argument);
        if (aggregateSlots[i].scope == AggregateSlot::pageScope || aggregateSlots[i].scope == AggregateSlot::carriedScope)
            placementSlots.push_back(i);
    }
}

void ReportFiller::Impl::compileBand(const std::optional<Band>& band, std::optional<CompiledBand>& into, int scope, int group)
{
    if (!band)
        return;
    into.emplace();
    into->band = &*band;
    compiling->setDefaultScope(scope);
    compilingScope = scope;
    if (!band->visible.isEmpty()) {
        try {
            into->visible = Expression(compiling->compile(band->visible));
        } catch (const FormatError& e) {
            fail(bandName(*band, group) + Lang.caption(", visibility"), e);
        }
    }
    for (const ReportObject& o : band->objects) {
        const QString object = o.name.isEmpty() ? QString() : Lang.caption(", object \"%1\"").arg(o.name);
        try {
            if (o.kind == ObjectKind::Subreport) {
                into->subreports.push_back(compileSubreport(*band, o));
            } else {
                into->objects.push_back(compileObject(*band, o));
                into->objects.back().where = bandName(*band, group) + object;
            }
            compiling->setDefaultScope(scope);
            compilingScope = scope;
        } catch (const FormatError& e) {
            if (o.kind == ObjectKind::Subreport && e.message().startsWith(Lang.caption("Report template \"%1\"").arg(templateName)))
                throw;
            fail(bandName(*band, group) + object, e);
        } catch (const DatabaseError& e) {
            fail(bandName(*band, group) + Lang.caption(", object \"%1\"").arg(o.name), e);
        }
    }
    std::sort(into->subreports.begin(), into->subreports.end(),
              [](const auto& a, const auto& b) { return a->source->rect.y() < b->source->rect.y(); });
}

void ReportFiller::Impl::compileColumns()
{
    const PageSetup& p = report.page;
    if (const LabelSheet* sheet = p.labels.isEmpty() ? nullptr : LabelSheet::find(p.labels)) {
        columnCount = sheet->columns;
        columnStep = sheet->labelWidth + sheet->columnGap;
        rowPitch = sheet->labelHeight;
    } else if (detail && detail->band->columns > 1) {
        const Band& band = *detail->band;
        columnCount = band.columns;
        const double width = p.pageWidth() - p.marginLeft - p.marginRight;
        columnStep = (width - (columnCount - 1) * band.columnSpacing) / columnCount + band.columnSpacing;
        columnsDown = band.columnOrder == ColumnOrder::Down;
    }
    if (columnCount > 1 && detail && !detail->subreports.empty())
        fail(bandName(*detail->band, -1), FormatError(Lang.caption("a detail band in columns holds no sub-report")));
}

std::unique_ptr<CompiledSubreport> ReportFiller::Impl::compileSubreport(const Band& band, const ReportObject& o)
{
    if (band.kind == BandKind::PageHeader || band.kind == BandKind::PageFooter)
        throw FormatError(Lang.caption("a sub-report cannot stand in the page header or footer"));
    if (!o.subreport)
        throw FormatError(Lang.caption("the sub-report \"%1\" has no query").arg(o.name));
    if (subreportPath.size() >= ReportTemplateFormat::maxSubreportDepth)
        throw FormatError(Lang.caption("sub-reports nest more than %1 deep").arg(ReportTemplateFormat::maxSubreportDepth));
    if (!subreportSource)
        throw FormatError(Lang.caption("the sub-report \"%1\" needs the database, and there is none here").arg(o.name));
    auto sub = std::make_unique<CompiledSubreport>();
    sub->source = &o;
    sub->data = std::make_unique<SubreportData>(o, subreportSource);
    sub->data->compileParameters(*compiling);
    sub->compiler = std::make_unique<ExpressionCompiler>(&sub->data->rows(), QStringList());
    sub->compiler->setParameters(&parameters);
    ExpressionCompiler* outer = compiling;
    compiling = sub->compiler.get();
    subreportPath.append(o.name);
    const Subreport& s = *o.subreport;
    std::swap(charts, sub->charts);
    compileBand(s.header, sub->header, -1, -1);
    compileBand(s.detail, sub->detail, -1, -1);
    compileBand(s.footer, sub->footer, -1, -1);
    std::swap(charts, sub->charts);
    subreportPath.removeLast();
    compiling = outer;
    sub->aggregateSlots = sub->compiler->aggregates();
    for (const AggregateSlot& slot : sub->aggregateSlots)
        sub->slotArguments.emplace_back(slot.argument);
    return sub;
}

CompiledObject ReportFiller::Impl::compileObject(const Band& band, const ReportObject& o)
{
    CompiledObject c;
    c.source = &o;
    c.kind = boxKindOf(o.kind);
    c.style = doc->addStyle(boxStyleOf(o));
    c.stretches = qAbs(o.rect.bottom() - band.height) < 0.01;
    if (!o.visible.isEmpty())
        c.visible = Expression(compiling->compile(o.visible));
    for (const StyleRule& r : o.rules)
        c.rules.push_back(CompiledRule{Expression(compiling->compile(r.condition)), &r});
    switch (o.kind) {
    case ObjectKind::Text: {
        c.format = DisplayFormat(o.format);
        c.text = CompiledText(o.text, c.format, *compiling);
        c.sole = c.text.soleExpression() != nullptr;
        c.formatIndex = doc->addFormat(c.format);
        const bool headerOfScope = band.kind == BandKind::ReportTitle || band.kind == BandKind::GroupHeader;
        c.liveAggregates = headerOfScope && c.text.usesAggregates();
        c.deferred = c.liveAggregates || c.text.usesPageNumbers();
        c.grows = band.canGrow && !c.deferred;
        if (c.grows)
            c.font = reportFont(o.style.font);
        break;
    }
    case ObjectKind::Picture:
        if (!o.file.isEmpty())
            c.fileImage = loadPictureFile(o);
        else
            c.value = Expression(compiling->compile(o.text));
        break;
    case ObjectKind::CheckBox:
    case ObjectKind::Barcode:
        c.value = Expression(compiling->compile(o.text));
        break;
    case ObjectKind::Chart: {
        // A chart gathers the rows of the report or of a group; in a sub-report, the rows of its
        // run for one outer row.
        ChartSlot slot;
        slot.scope = compilingScope;
        slot.category = Expression(compiling->compile(o.category));
        slot.value = Expression(compiling->compile(o.text));
        slot.categoryFormat = DisplayFormat(o.format);
        c.chart = int(charts.size());
        charts.push_back(std::move(slot));
        // Above its rows a chart is drawn once they have all passed.
        c.deferred = band.kind == BandKind::ReportTitle || band.kind == BandKind::GroupHeader;
        break;
    }
    default:
        break;
    }
    return c;
}

quint32 ReportFiller::Impl::loadPictureFile(const ReportObject& o)
{
    QFile file(QDir(pictureFolder).filePath(o.file));
    if (!file.open(QIODevice::ReadOnly))
        return PageDocument::noImage;
    return doc->addImage(file.readAll(), o.rect.size(), true);
}

void ReportFiller::Impl::resolveDeferred()
{
    const int total = doc->pageCount();
    // Page numbers count from the last restart at or before the page to the next one.
    std::vector<int> sectionStart(size_t(std::max(total, 0)), 0), sectionEnd(size_t(std::max(total, 0)), total);
    for (int p = 0, r = 0, start = 0; p < total; ++p) {
        while (r < int(restarts.size()) && restarts[size_t(r)] <= p)
            start = restarts[size_t(r++)];
        sectionStart[size_t(p)] = start;
        sectionEnd[size_t(p)] = r < int(restarts.size()) ? restarts[size_t(r)] : total;
    }
    EvalContext late;
    late.data = data;
    late.now = now;
    late.locale = &locale;
    for (const Deferred& d : deferred) {
        late.page = d.page - sectionStart[size_t(d.page)] + 1;
        late.totalPages = sectionEnd[size_t(d.page)] - sectionStart[size_t(d.page)];
        late.captured = &d.state->row;
        late.aggregates = &d.state->aggregates;
        late.line = d.state->line;
        if (d.state->chart) {
            doc->setLateText(d.page, d.box, d.state->chart->payload());
            continue;
        }
        PageValue value;
        const QString text = textOf(*d.object, late, value);
        doc->setLateText(d.page, d.box, text, value.format != noValue ? &value : nullptr);
    }
    deferred.clear();
}

std::unique_ptr<PageDocument> ReportFiller::Impl::fill(const ReportProgress& progress)
{
    doc->setLocale(locale);
    const size_t groups = groupKeys.size();
    keys.assign(groups, {});
    nextKeys.assign(groups, {});
    groupLines.assign(groups, 0);
    openHeaders.assign(groups, std::nullopt);
    current.assign(aggregateSlots.size(), nullptr);
    for (int g = -1; g < int(groups); ++g)
        resetScope(g);
    resetScope(AggregateSlot::carriedScope);
    ctx = EvalContext();
    ctx.data = data;
    ctx.now = now;
    ctx.aggregates = &current;
    ctx.locale = &locale;
    detailLine = 0;

    const bool anyRow = data && data->hasRow(0);
    // A stream does not know its length before its end: its progress has no total.
    const qsizetype rows = data && !data->isStreaming() ? data->rowCount() : 0;
    // The title and the first page header show the first row's fields (an invoice's
    // number, a customer's name): the cursor's look-ahead, not a second pass.
    ctx.row = anyRow ? 0 : -1;
    startPage(true);
    ctx.line = 1;
    placeBand(title);
    placePageHeader();
    if (anyRow) {
        ReportDataset::Cursor cursor = data->cursor();
        cursor.next();
        ctx.row = cursor.row();
        openGroups(0, false);
        for (;;) {
            accumulate();
            ctx.line = ++detailLine;
            placeBand(detail, true);
            const int changed = cursor.hasNext() ? firstChangedGroup(cursor.nextRow()) : 0;
            closeGroups(changed);
            if (!cursor.next())
                break;
            ctx.row = cursor.row();
            if (progress && (ctx.row & 1023) == 0 && !progress(int(ctx.row), int(rows)))
                return nullptr;
            openGroups(changed, true);
        }
    }
    ctx.line = 1;
    endColumns();
    placeBand(summary);
    endPage();
    resolveDeferred();
    return std::move(doc);
}

ReportFiller::ReportFiller(const ReportTemplate& report, const ReportDataset* data, const QString& templateName,
                           SubreportStatementSource subreports, const ParameterValues& parameters)
    : d(std::make_unique<Impl>(report, data, templateName, parameters))
{
    d->subreportSource = std::move(subreports);
    d->compile();
}

ReportFiller::~ReportFiller() = default;

void ReportFiller::setLocale(const QLocale& locale)
{
    d->locale = locale;
}

void ReportFiller::setNow(const QDateTime& now)
{
    d->now = now;
}

void ReportFiller::setPictureFolder(const QString& folder)
{
    d->pictureFolder = folder;
}

std::unique_ptr<PageDocument> ReportFiller::fill(const ReportProgress& progress)
{
    if (!d->doc)
        d->compile();
    return d->fill(progress);
}
