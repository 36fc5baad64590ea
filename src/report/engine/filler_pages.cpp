// Bands on pages: page breaks, page headers and footers, columns, groups kept together, and the
// totals and group changes as the rows pass.

#include "report/engine/filler_impl.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/chart.h"

#include <algorithm>

using namespace filling;

void ReportFiller::Impl::startPage(bool first, int repeatBelow)
{
    page = Page();
    page.width = float(report.page.pageWidth());
    page.height = float(report.page.pageHeight());
    y = report.page.marginTop;
    contentBottom = report.page.pageHeight() - report.page.marginBottom
                    - (pageFooter ? pageFooter->band->height : 0);
    pageHasBody = false;
    pageHasRows = false;
    columnsOpen = false;
    resetScope(AggregateSlot::pageScope);
    if (first)
        return;
    placePageHeader();
    for (size_t g = 0; g < openHeaders.size() && int(g) < repeatBelow; ++g)
        if (openHeaders[g] && report.groups[g].repeatHeader)
            placeNow(*openHeaders[g]);
}

void ReportFiller::Impl::placePageHeader()
{
    if (!pageHeader)
        return;
    make(*pageHeader, pageScratch);
    placeNow(pageScratch);
}

void ReportFiller::Impl::endPage()
{
    if (pageFooter) {
        make(*pageFooter, pageScratch);
        y = report.page.pageHeight() - report.page.marginBottom - pageFooter->band->height;
        placeNow(pageScratch);
    }
    doc->addPage(std::move(page));
}

void ReportFiller::Impl::newPage(int repeatBelow)
{
    endPage();
    startPage(false, repeatBelow);
}

void ReportFiller::Impl::place(const BandImage& image, double keepWith)
{
    if (image.hidden && recording < 0) {
        addPlaced(image);
        return;
    }
    if (recording >= 0) {
        recorded.push_back(image);
        recordedHeight += image.totalHeight();
        if (recordedHeight > contentBottom - report.page.marginTop)
            flushRecorded(false);
        return;
    }
    if (image.inColumns)
        return placeInColumn(image);
    endColumns();
    if (image.following.empty())
        return placeOne(image, keepWith);
    // A band is not left alone at the foot of a page without the first row of its sub-report,
    // nor a sub-report's header without the band after it.
    const std::vector<BandImage>& following = image.following;
    placeOne(image, keepWith + following.front().height);
    for (size_t i = 0; i < following.size(); ++i)
        placeOne(following[i], following[i].keepWithNext && i + 1 < following.size() ? following[i + 1].height : 0);
}

void ReportFiller::Impl::placeOne(const BandImage& image, double keepWith)
{
    if (pageHasBody && y + image.height + keepWith > contentBottom) {
        newPage();
        if (image.continues)
            placeContinued(*image.continues);
    }
    if (restartPending) {
        restartPending = false;
        if (restarts.empty() || restarts.back() != doc->pageCount())
            restarts.push_back(doc->pageCount());
    }
    placeNow(image);
    pageHasBody = true;
    pageHasRows = pageHasRows || image.isRow;
}

void ReportFiller::Impl::placeInColumn(const BandImage& image)
{
    if (!columnsOpen || (!columnsDown && column == columnCount)) {
        if (columnsOpen)
            y = columnBottom;
        if (pageHasBody && y + image.height > contentBottom + 0.001)
            newPage();
        columnsOpen = true;
        column = 0;
        columnTop = y;
        columnBottom = y;
    } else if (columnsDown && y + image.height > contentBottom + 0.001 && y > columnTop) {
        if (column + 1 < columnCount) {
            ++column;
            y = columnTop;
        } else {
            newPage();
            columnsOpen = true;
            column = 0;
            columnTop = columnBottom = y;
        }
    }
    const double top = y;
    columnOffset = column * columnStep;
    placeNow(image);
    columnOffset = 0;
    pageHasBody = true;
    pageHasRows = true;
    columnBottom = std::max(columnBottom, y);
    if (!columnsDown) {
        y = top;
        ++column;
    }
}

void ReportFiller::Impl::endColumns()
{
    if (!columnsOpen)
        return;
    columnsOpen = false;
    y = columnBottom;
}

void ReportFiller::Impl::addPlaced(const BandImage& image)
{
    for (size_t k = 0; k < image.placed.size() && k < placementSlots.size(); ++k) {
        const size_t slot = placementSlots[k];
        current[slot]->add(image.placed[k], !slotArguments[slot].isValid());
    }
}

void ReportFiller::Impl::placeNow(const BandImage& image)
{
    addPlaced(image);
    if (image.hidden)
        return;
    const quint32 base = quint32(page.boxes.size());
    const quint32 textBase = quint32(page.texts.size());
    const float dx = float(marginLeft() + columnOffset), dy = float(y);
    for (PageBox box : image.boxes) {
        box.x += dx;
        box.y += dy;
        if (box.holdsText())
            box.offset += textBase;
        page.boxes.push_back(box);
    }
    page.texts += image.texts;
    for (PageValue value : image.values) {
        value.box += base;
        page.values.push_back(value);
    }
    const int pageIndex = doc->pageCount(); // this page joins the document when it ends
    for (const PendingText& p : image.pending)
        deferred.push_back(Deferred{pageIndex, base + p.box, p.object, p.state});
    y += image.height;
}

void ReportFiller::Impl::placeContinued(const BandImage& header)
{
    if (header.continues)
        placeContinued(*header.continues);
    placeNow(header);
}

void ReportFiller::Impl::flushRecorded(bool keep)
{
    recording = -1;
    std::vector<BandImage> bands;
    bands.swap(recorded);
    if (keep && pageHasBody && y + recordedHeight > contentBottom)
        newPage(recordedFrom);
    recordedHeight = 0;
    for (const BandImage& b : bands)
        place(b);
}

void ReportFiller::Impl::resetScope(int scope)
{
    for (size_t i = 0; i < aggregateSlots.size(); ++i)
        if (aggregateSlots[i].scope == scope) {
            current[i] = std::make_shared<Accumulator>();
            current[i]->distinct = aggregateSlots[i].function == AggregateSlot::Function::CountDistinct;
        }
    // A chart above its rows keeps the points it was made with; the next group starts anew.
    for (ChartSlot& chart : charts)
        if (chart.scope == scope)
            chart.data = std::make_shared<ChartData>();
}

void ReportFiller::Impl::accumulate()
{
    for (size_t i = 0; i < aggregateSlots.size(); ++i)
        if (aggregateSlots[i].scope != AggregateSlot::pageScope && aggregateSlots[i].scope != AggregateSlot::carriedScope)
            current[i]->add(slotArguments[i].evaluate(ctx), !slotArguments[i].isValid());
    for (ChartSlot& chart : charts) {
        const ReportValue category = chart.category.evaluate(ctx);
        chart.data->add(chart.categoryFormat.show(category, locale), numberOf(chart.value.evaluate(ctx)).value_or(0));
    }
}

int ReportFiller::Impl::firstChangedGroup(qsizetype nextRow)
{
    const qsizetype row = ctx.row;
    ctx.row = nextRow;
    int changed = int(groupKeys.size());
    for (size_t g = 0; g < groupKeys.size(); ++g) {
        nextKeys[g] = groupKeys[g].evaluate(ctx);
        if (changed == int(groupKeys.size()) && !nextKeys[g].sameAs(keys[g]))
            changed = int(g);
    }
    ctx.row = row;
    return changed;
}

void ReportFiller::Impl::openGroups(int from, bool keysKnown)
{
    const int count = int(groupKeys.size());
    if (from >= count)
        return;
    // The state of every group that opens, and its header, first: where the headers go
    // depends on all of them.
    std::vector<std::optional<BandImage>> made(groupKeys.size());
    for (int g = from; g < count; ++g) {
        keys[size_t(g)] = keysKnown ? nextKeys[size_t(g)] : groupKeys[size_t(g)].evaluate(ctx);
        resetScope(g);
        ++groupLines[size_t(g)];
        for (size_t inner = size_t(g) + 1; inner < groupLines.size(); ++inner)
            groupLines[inner] = 0;
        if (!headers[size_t(g)])
            continue;
        ctx.line = groupLines[size_t(g)];
        made[size_t(g)].emplace();
        make(*headers[size_t(g)], *made[size_t(g)]);
    }
    detailLine = 0;
    if (std::any_of(report.groups.begin() + from, report.groups.end(),
                    [](const ReportGroup& g) { return g.resetPageNumbers; }))
        restartPending = true;

    // A group on a new page breaks after rows, never under the title and the column titles;
    // the headers of its outer groups that open with it go over with it.
    const auto opening = report.groups.begin() + from;
    if (std::any_of(opening, report.groups.end(), [](const ReportGroup& g) { return g.newPage; })
        && (pageHasRows || recording >= 0)) {
        if (recording >= 0)
            flushRecorded(false);
        newPage();
    }
    // A group kept together takes the headers of the outer groups that open with it along.
    if (recording < 0) {
        const auto kept = std::find_if(opening, report.groups.end(), [](const ReportGroup& g) { return g.keepTogether; });
        if (kept != report.groups.end()) {
            recording = int(kept - report.groups.begin());
            recordedFrom = from;
        }
    }
    // A header keeps with the headers of its inner groups and the first row.
    std::vector<double> below(groupKeys.size());
    double rest = detail ? detail->band->height : 0;
    for (int g = count - 1; g >= from; --g) {
        below[size_t(g)] = rest;
        if (made[size_t(g)])
            rest += made[size_t(g)]->height;
    }
    for (int g = from; g < count; ++g) {
        if (!made[size_t(g)])
            continue;
        place(*made[size_t(g)], below[size_t(g)]);
        openHeaders[size_t(g)] = std::move(made[size_t(g)]);
    }
}

void ReportFiller::Impl::closeGroups(int to)
{
    for (int g = int(groupKeys.size()) - 1; g >= to; --g) {
        if (footers[size_t(g)]) {
            ctx.line = groupLines[size_t(g)];
            make(*footers[size_t(g)], scratch);
            scratch.isRow = true;
            place(scratch);
        }
        openHeaders[size_t(g)].reset();
        if (recording == g)
            flushRecorded(true);
    }
}

void ReportFiller::Impl::placeBand(const std::optional<CompiledBand>& band, bool row)
{
    if (!band)
        return;
    make(*band, scratch);
    scratch.isRow = row;
    if (row && columnCount > 1 && !scratch.hidden) {
        scratch.inColumns = true;
        if (rowPitch > 0)
            scratch.height = rowPitch;
    }
    if (row)
        for (size_t slot : placementSlots)
            scratch.placed.push_back(slotArguments[slot].evaluate(ctx));
    place(scratch);
}
