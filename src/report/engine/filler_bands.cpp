// Bands made for one place in the data: their texts, pictures, check boxes, barcodes and charts,
// and the rows of the sub-reports standing in them.

#include "report/engine/filler_impl.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "report/engine/barcode.h"
#include "report/engine/chart.h"
#include "report/engine/text_layout.h"

#include <algorithm>
#include <cmath>

using namespace filling;

namespace {

// What a sub-report swaps in for the outer report's while its rows are made.
struct LevelState {
    EvalContext ctx;
    qint64 detailLine = 0;
    std::shared_ptr<const BandImage> continuing;
    float left = 0;
};

} // namespace

void ReportFiller::Impl::make(const CompiledBand& band, BandImage& out)
{
    out.clear();
    if (band.visible.isValid() && !band.visible.evaluate(ctx).isTrue()) {
        out.hidden = true;
        return;
    }
    out.height = band.band->height;
    boxObjects.clear();
    for (const CompiledObject& o : band.objects) {
        if (o.visible.isValid() && !o.visible.evaluate(ctx).isTrue())
            continue;
        PageBox box;
        box.kind = o.kind;
        box.style = o.style;
        box.x = float(o.source->rect.x());
        box.y = float(o.source->rect.y());
        box.width = float(o.source->rect.width());
        box.height = float(o.source->rect.height());
        switch (o.kind) {
        case PageBox::Kind::Text: makeText(o, box, out); break;
        case PageBox::Kind::Picture: box.offset = o.fileImage != PageDocument::noImage ? o.fileImage : picture(o); break;
        case PageBox::Kind::CheckBox: box.checked = o.value.evaluate(ctx).isTrue(); break;
        case PageBox::Kind::Barcode: makeBarcode(o, box, out); break;
        case PageBox::Kind::Chart: makeChart(o, box, out); break;
        default: break;
        }
        out.height = std::max(out.height, double(box.y + box.height));
        out.boxes.push_back(box);
        boxObjects.push_back(int(&o - band.objects.data()));
    }
    if (out.height > band.band->height + 0.001)
        stretch(band, out);
    if (!band.subreports.empty())
        splitAtSubreports(band, out);
}

void ReportFiller::Impl::splitAtSubreports(const CompiledBand& band, BandImage& out)
{
    const auto& subs = band.subreports;
    std::vector<BandImage> following;
    for (size_t k = 0; k < subs.size(); ++k) {
        const QRectF rect = subs[k]->source->rect;
        const double produced = runSubreport(*subs[k], float(rect.x()), following);
        if (produced < rect.height())
            following.emplace_back().height = rect.height() - produced;
        const double from = rect.bottom();
        const double to = k + 1 < subs.size() ? subs[k + 1]->source->rect.y() : out.height;
        const double next = k + 1 < subs.size() ? subs[k + 1]->source->rect.bottom() : HUGE_VAL;
        following.push_back(out.part([&](const PageBox& b) { return b.y >= from && b.y < next; },
                                     float(from), to - from));
    }
    const double first = subs.front()->source->rect.bottom();
    BandImage head = out.part([&](const PageBox& b) { return b.y < first; }, 0, subs.front()->source->rect.y());
    head.isRow = false;
    head.following = std::move(following);
    out = std::move(head);
}

double ReportFiller::Impl::runSubreport(CompiledSubreport& sub, float dx, std::vector<BandImage>& into)
{
    sub.data->run(ctx);
    const ReportDataset& rows = sub.data->rows();
    const std::shared_ptr<const BandImage> outer = continuing;
    const float outerLeft = subreportLeft;
    LevelState level;
    level.ctx.data = &rows;
    level.ctx.now = now;
    level.ctx.aggregates = &current;
    level.continuing = outer;
    level.left = outerLeft + dx;
    // The sub-report's level for the bands it makes; the outer one back whatever happens.
    auto swapLevel = [&] {
        std::swap(ctx, level.ctx);
        std::swap(detailLine, level.detailLine);
        std::swap(current, sub.current);
        std::swap(aggregateSlots, sub.aggregateSlots);
        std::swap(slotArguments, sub.slotArguments);
        std::swap(charts, sub.charts);
        std::swap(continuing, level.continuing);
        std::swap(subreportLeft, level.left);
    };
    swapLevel();
    struct Restore {
        decltype(swapLevel)& back;
        ~Restore() { back(); }
    } restore{swapLevel};

    current.assign(aggregateSlots.size(), nullptr);
    resetScope(-1);
    double height = 0;
    auto add = [&](const std::optional<CompiledBand>& b, bool row) {
        if (!b)
            return;
        BandImage image;
        make(*b, image);
        image.isRow = row;
        std::vector<BandImage> nested = std::move(image.following);
        image.following.clear();
        image.moveRight(dx);
        image.continues = continuing;
        if (&b == &sub.header) {
            image.keepWithNext = true;
            image.continues = outer;
            if (sub.source->subreport->repeatHeader && !image.hidden) {
                // Placed by itself at the top of a page: where it stands within the outermost band.
                auto again = std::make_shared<BandImage>(image);
                again->moveRight(outerLeft);
                again->keepWithNext = false;
                continuing = std::move(again);
            }
        }
        height += image.height;
        const std::shared_ptr<const BandImage> under = image.continues;
        into.push_back(std::move(image));
        for (BandImage& n : nested) {
            n.moveRight(dx);
            if (!n.continues)
                n.continues = under;
            height += n.height;
            into.push_back(std::move(n));
        }
    };
    const qsizetype count = rows.rowCount();
    ctx.row = count > 0 ? 0 : -1;
    ctx.line = 1;
    add(sub.header, false);
    for (qsizetype r = 0; r < count; ++r) {
        ctx.row = r;
        accumulate();
        ctx.line = r + 1;
        add(sub.detail, true);
    }
    ctx.row = count > 0 ? count - 1 : -1;
    ctx.line = 1;
    add(sub.footer, true);
    return height;
}

const RuledStyle* ReportFiller::Impl::ruledStyle(const CompiledObject& o)
{
    quint32 matched = 0;
    for (size_t i = 0; i < o.rules.size(); ++i)
        if (o.rules[i].condition.evaluate(ctx).isTrue())
            matched |= 1u << i;
    if (!matched)
        return nullptr;
    for (const RuledStyle& r : o.ruledStyles)
        if (r.matched == matched)
            return &r;
    BoxStyle style = boxStyleOf(*o.source);
    for (size_t i = 0; i < o.rules.size(); ++i) {
        if (!(matched & (1u << i)))
            continue;
        const StyleRule& rule = *o.rules[i].rule;
        if (rule.color.isValid())
            style.text.color = rule.color;
        if (rule.background.isValid())
            style.text.background = rule.background;
        if (rule.bold)
            style.text.font.bold = *rule.bold;
        if (rule.italic)
            style.text.font.italic = *rule.italic;
    }
    o.ruledStyles.push_back(RuledStyle{matched, doc->addStyle(style), o.grows ? reportFont(style.text.font) : QFont()});
    return &o.ruledStyles.back();
}

void ReportFiller::Impl::makeText(const CompiledObject& o, PageBox& box, BandImage& out)
{
    const RuledStyle* ruled = o.rules.empty() ? nullptr : ruledStyle(o);
    if (ruled)
        box.style = ruled->style;
    box.offset = quint32(out.texts.size());
    if (o.deferred) {
        auto state = std::make_shared<DeferredState>();
        o.text.capture(ctx, state->row);
        state->line = ctx.line;
        // "Page N of M" needs no totals: a copy of them per page would grow with the page count.
        if (o.text.usesAggregates())
            state->aggregates = o.liveAggregates ? current : snapshot();
        out.pending.push_back(PendingText{quint32(out.boxes.size()), &o, std::move(state)});
        return;
    }
    PageValue value;
    const QString text = textOf(o, ctx, value);
    if (value.format != noValue) {
        value.box = quint32(out.boxes.size());
        out.values.push_back(value);
    }
    box.length = quint32(text.size());
    out.texts += text;
    if (o.grows)
        box.height = float(std::max<double>(
            box.height, textHeight(text, ruled ? doc->style(ruled->style).text : o.source->style,
                                   ruled ? ruled->font : o.font, box.width)));
}

void ReportFiller::Impl::makeBarcode(const CompiledObject& o, PageBox& box, BandImage& out)
{
    const ReportValue v = o.value.evaluate(ctx);
    BarcodeSymbol symbol;
    try {
        symbol = encodeBarcode(o.source->barcode, plainText(v));
    } catch (const FormatError& e) {
        fail(o.where, e);
    }
    box.offset = quint32(out.texts.size());
    box.length = quint32(symbol.modules.size());
    out.texts += symbol.modules;
}

void ReportFiller::Impl::makeChart(const CompiledObject& o, PageBox& box, BandImage& out)
{
    box.offset = quint32(out.texts.size());
    const std::shared_ptr<ChartData>& points = charts[size_t(o.chart)].data;
    if (o.deferred) {
        auto state = std::make_shared<DeferredState>();
        state->chart = points;
        out.pending.push_back(PendingText{quint32(out.boxes.size()), &o, std::move(state)});
        return;
    }
    const QString payload = points->payload();
    box.length = quint32(payload.size());
    out.texts += payload;
}

QString ReportFiller::Impl::textOf(const CompiledObject& o, const EvalContext& c, PageValue& value) const
{
    value.format = noValue;
    if (!o.sole)
        return o.text.evaluate(c, locale);
    const ReportValue v = o.text.soleExpression()->evaluate(c);
    if (typedValue(v, o.format, value))
        value.format = o.formatIndex;
    return o.text.aroundSole(o.format.show(v, locale));
}

Accumulators ReportFiller::Impl::snapshot() const
{
    Accumulators copy;
    copy.reserve(current.size());
    for (const auto& a : current)
        copy.push_back(a ? std::make_shared<Accumulator>(*a) : nullptr);
    return copy;
}

quint32 ReportFiller::Impl::picture(const CompiledObject& o)
{
    const ReportValue v = o.value.evaluate(ctx);
    if (v.type != ReportValue::Type::Blob || v.blob.isEmpty())
        return PageDocument::noImage;
    return doc->addImage(v.blob, o.source->rect.size());
}

void ReportFiller::Impl::stretch(const CompiledBand& band, BandImage& out)
{
    for (size_t i = 0; i < out.boxes.size(); ++i)
        if (band.objects[size_t(boxObjects[i])].stretches)
            out.boxes[i].height = float(out.height) - out.boxes[i].y;
}
