#include "report/engine/filler.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "report/engine/compiled_text.h"
#include "report/engine/dataset.h"
#include "report/engine/page_document.h"
#include "report/engine/template.h"
#include "report/engine/text_layout.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <limits>
#include <optional>

namespace {

// A style rule ready to test, and the styles its combinations with the others made.
struct CompiledRule {
    Expression condition;
    const StyleRule* rule = nullptr;
};

struct RuledStyle {
    quint32 matched; // one bit per rule that holds
    quint32 style;
    QFont font;
};

struct CompiledObject {
    const ReportObject* source = nullptr;
    PageBox::Kind kind = PageBox::Kind::Text;
    quint32 style = 0;
    QFont font;
    CompiledText text;
    // A text that is one value alone: the value is kept beside its text for spreadsheets.
    bool sole = false;
    DisplayFormat format;
    quint32 formatIndex = 0;
    Expression value;
    quint32 fileImage = PageDocument::noImage;
    bool deferred = false;         // shown once the pages are known
    bool liveAggregates = false;   // deferred for totals of a group still running
    bool grows = false;
    bool stretches = false;        // its bottom follows the band's when the band grows
    Expression visible;            // none: always shown
    std::vector<CompiledRule> rules;
    mutable std::vector<RuledStyle> ruledStyles; // made as the rows ask for them
};

struct CompiledBand {
    const Band* band = nullptr;
    Expression visible;
    std::vector<CompiledObject> objects;
};

struct DeferredState {
    CapturedRow row;
    Accumulators aggregates;
    qint64 line = 0;
};

// Days since 1899-12-30 with the time of day as the fraction: the day count spreadsheets use.
double dayCount(const QDateTime& dt)
{
    return double(QDate(1899, 12, 30).daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

// The number or date behind a shown value, when a spreadsheet should hold it as one.
bool typedValue(const ReportValue& v, const DisplayFormat& format, PageValue& out)
{
    if (v.isNull() || v.type == ReportValue::Type::Bool || format.kind() == DisplayFormat::Kind::Bool)
        return false;
    if (format.isDate() || v.type == ReportValue::Type::DateTime) {
        const QDateTime dt = asDateTime(v);
        if (!dt.isValid())
            return false;
        out.isDate = true;
        out.number = dayCount(dt);
        return true;
    }
    if (v.isNumber()) {
        out.number = v.toReal();
        return true;
    }
    // A text that reads as a number is one where the format shows it as one.
    const std::optional<double> number = format.isNumber() ? numberOf(v) : std::nullopt;
    if (number)
        out.number = *number;
    return number.has_value();
}

struct PendingText {
    quint32 box;
    const CompiledObject* object;
    std::shared_ptr<const DeferredState> state;
};

// A band made for one place in the data, not yet on a page.
struct BandImage {
    double height = 0;
    bool isRow = false; // a detail row or a group's footer: what a group on a new page breaks after
    bool hidden = false; // its visibility said no: it takes no room
    std::vector<PageBox> boxes;
    QString texts;
    std::vector<PendingText> pending;
    std::vector<PageValue> values;
    // A detail row: what the totals of the page it lands on add (one per such total).
    std::vector<ReportValue> placed;

    void clear()
    {
        height = 0;
        isRow = false;
        hidden = false;
        boxes.clear();
        texts.clear();
        pending.clear();
        values.clear();
        placed.clear();
    }
};

struct Deferred {
    int page;
    quint32 box;
    const CompiledObject* object;
    std::shared_ptr<const DeferredState> state;
};

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

struct ReportFiller::Impl {
    const ReportTemplate& report;
    const ReportDataset* data;
    QString templateName;
    QLocale locale;
    QDateTime now = QDateTime::currentDateTime();
    QString pictureFolder = ExeFolder();
    ParameterValues parameters;
    ExpressionCompiler compiler;

    std::optional<CompiledBand> title, pageHeader, detail, pageFooter, summary;
    std::vector<std::optional<CompiledBand>> headers, footers;
    std::vector<Expression> groupKeys;
    std::vector<AggregateSlot> aggregateSlots;
    std::vector<Expression> slotArguments;
    std::vector<size_t> placementSlots; // totals of a page or carried over pages: counted where rows land
    std::vector<int> boxObjects;         // while making a band: the object of each box

    // While filling.
    std::unique_ptr<PageDocument> doc;
    Page page; // the page being made; it joins the document when it is full
    double y = 0;
    double contentBottom = 0;
    bool pageHasBody = false;
    bool pageHasRows = false;
    EvalContext ctx;
    Accumulators current;
    std::vector<ReportValue> keys, nextKeys;
    std::vector<qint64> groupLines;
    qint64 detailLine = 0;
    std::vector<std::optional<BandImage>> openHeaders;
    std::vector<Deferred> deferred;
    int recording = -1;
    int recordedFrom = -1; // the outermost group whose header is in the recording
    std::vector<BandImage> recorded;
    double recordedHeight = 0;
    BandImage scratch;
    BandImage pageScratch; // page headers and footers are made while a body band waits in scratch
    std::vector<int> restarts; // pages where the page numbers start again at 1, in order
    bool restartPending = false; // at the page the next body band lands on

    Impl(const ReportTemplate& t, const ReportDataset* d, const QString& name, const ParameterValues& given)
        : report(t), data(d), templateName(name), parameters(ReportParameters::complete(t, given)),
          compiler(d, t.groupNames())
    {
        compiler.setParameters(&parameters);
    }

    [[noreturn]] void fail(const QString& where, const FormatError& error) const
    {
        throw FormatError(Lang.caption("Report template \"%1\", %2: %3").arg(templateName, where, error.message()));
    }

    // ------------------------------------------------------------ compiling

    void compile()
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
        compileBand(report.pageFooter, pageFooter, -1, -1);
        compileBand(report.summary, summary, -1, -1);
        aggregateSlots = compiler.aggregates();
        for (size_t i = 0; i < aggregateSlots.size(); ++i) {
            slotArguments.emplace_back(aggregateSlots[i].argument);
            if (aggregateSlots[i].scope == AggregateSlot::pageScope || aggregateSlots[i].scope == AggregateSlot::carriedScope)
                placementSlots.push_back(i);
        }
    }

    void compileBand(const std::optional<Band>& band, std::optional<CompiledBand>& into, int scope, int group)
    {
        if (!band)
            return;
        into.emplace();
        into->band = &*band;
        compiler.setDefaultScope(scope);
        if (!band->visible.isEmpty()) {
            try {
                into->visible = Expression(compiler.compile(band->visible));
            } catch (const FormatError& e) {
                fail(bandName(*band, group) + Lang.caption(", visibility"), e);
            }
        }
        for (const ReportObject& o : band->objects) {
            try {
                into->objects.push_back(compileObject(*band, o));
            } catch (const FormatError& e) {
                const QString object = o.name.isEmpty() ? QString() : Lang.caption(", object \"%1\"").arg(o.name);
                fail(bandName(*band, group) + object, e);
            }
        }
    }

    CompiledObject compileObject(const Band& band, const ReportObject& o)
    {
        CompiledObject c;
        c.source = &o;
        c.kind = boxKindOf(o.kind);
        c.style = doc->addStyle(boxStyleOf(o));
        c.stretches = qAbs(o.rect.bottom() - band.height) < 0.01;
        if (!o.visible.isEmpty())
            c.visible = Expression(compiler.compile(o.visible));
        for (const StyleRule& r : o.rules)
            c.rules.push_back(CompiledRule{Expression(compiler.compile(r.condition)), &r});
        switch (o.kind) {
        case ObjectKind::Text: {
            c.format = DisplayFormat(o.format);
            c.text = CompiledText(o.text, c.format, compiler);
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
                c.value = Expression(compiler.compile(o.text));
            break;
        case ObjectKind::CheckBox:
            c.value = Expression(compiler.compile(o.text));
            break;
        default:
            break;
        }
        return c;
    }

    // A missing or broken picture file leaves its box empty; the report still comes out.
    quint32 loadPictureFile(const ReportObject& o)
    {
        QFile file(QDir(pictureFolder).filePath(o.file));
        if (!file.open(QIODevice::ReadOnly))
            return PageDocument::noImage;
        return doc->addImage(file.readAll(), o.rect.size(), true);
    }

    // ------------------------------------------------------------ bands

    void make(const CompiledBand& band, BandImage& out)
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
            default: break;
            }
            out.height = std::max(out.height, double(box.y + box.height));
            out.boxes.push_back(box);
            boxObjects.push_back(int(&o - band.objects.data()));
        }
        if (out.height > band.band->height + 0.001)
            stretch(band, out);
    }

    // The style of a text whose rules hold in this row, each mix made once.
    const RuledStyle* ruledStyle(const CompiledObject& o)
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

    void makeText(const CompiledObject& o, PageBox& box, BandImage& out)
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

    static constexpr quint32 noValue = ~0u;

    // The text an object shows; for a value shown alone, also that value (format noValue when
    // there is none to keep).
    QString textOf(const CompiledObject& o, const EvalContext& c, PageValue& value) const
    {
        value.format = noValue;
        if (!o.sole)
            return o.text.evaluate(c, locale);
        const ReportValue v = o.text.soleExpression()->evaluate(c);
        if (typedValue(v, o.format, value))
            value.format = o.formatIndex;
        return o.text.aroundSole(o.format.show(v, locale));
    }

    // The running totals as they are now, for a text shown later.
    Accumulators snapshot() const
    {
        Accumulators copy;
        copy.reserve(current.size());
        for (const auto& a : current)
            copy.push_back(a ? std::make_shared<Accumulator>(*a) : nullptr);
        return copy;
    }

    // A BLOB that does not decode leaves the box empty.
    quint32 picture(const CompiledObject& o)
    {
        const ReportValue v = o.value.evaluate(ctx);
        if (v.type != ReportValue::Type::Blob || v.blob.isEmpty())
            return PageDocument::noImage;
        return doc->addImage(v.blob, o.source->rect.size());
    }

    void stretch(const CompiledBand& band, BandImage& out)
    {
        for (size_t i = 0; i < out.boxes.size(); ++i)
            if (band.objects[size_t(boxObjects[i])].stretches)
                out.boxes[i].height = float(out.height) - out.boxes[i].y;
    }

    // ------------------------------------------------------------ pages

    double marginLeft() const { return report.page.marginLeft; }

    // Headers of groups from repeatBelow inwards are not repeated: they come with the bands
    // that broke the page.
    void startPage(bool first, int repeatBelow = std::numeric_limits<int>::max())
    {
        page = Page();
        page.width = float(report.page.pageWidth());
        page.height = float(report.page.pageHeight());
        y = report.page.marginTop;
        contentBottom = report.page.pageHeight() - report.page.marginBottom
                        - (pageFooter ? pageFooter->band->height : 0);
        pageHasBody = false;
        pageHasRows = false;
        resetScope(AggregateSlot::pageScope);
        if (first)
            return;
        placePageHeader();
        for (size_t g = 0; g < openHeaders.size() && int(g) < repeatBelow; ++g)
            if (openHeaders[g] && report.groups[g].repeatHeader)
                placeNow(*openHeaders[g]);
    }

    void placePageHeader()
    {
        if (!pageHeader)
            return;
        make(*pageHeader, pageScratch);
        placeNow(pageScratch);
    }

    void endPage()
    {
        if (pageFooter) {
            make(*pageFooter, pageScratch);
            y = report.page.pageHeight() - report.page.marginBottom - pageFooter->band->height;
            placeNow(pageScratch);
        }
        doc->addPage(std::move(page));
    }

    void newPage(int repeatBelow = std::numeric_limits<int>::max())
    {
        endPage();
        startPage(false, repeatBelow);
    }

    // Puts a body band on the page, breaking the page first when it does not fit.
    void place(const BandImage& image, double keepWith = 0)
    {
        if (image.hidden && recording < 0) {
            addPlaced(image);
            return;
        }
        if (recording >= 0) {
            recorded.push_back(image);
            recordedHeight += image.height;
            if (recordedHeight > contentBottom - report.page.marginTop)
                flushRecorded(false);
            return;
        }
        if (pageHasBody && y + image.height + keepWith > contentBottom)
            newPage();
        if (restartPending) {
            restartPending = false;
            if (restarts.empty() || restarts.back() != doc->pageCount())
                restarts.push_back(doc->pageCount());
        }
        placeNow(image);
        pageHasBody = true;
        pageHasRows = pageHasRows || image.isRow;
    }

    // A row's share of the totals of the page it lands on.
    void addPlaced(const BandImage& image)
    {
        for (size_t k = 0; k < image.placed.size() && k < placementSlots.size(); ++k) {
            const size_t slot = placementSlots[k];
            current[slot]->add(image.placed[k], !slotArguments[slot].isValid());
        }
    }

    void placeNow(const BandImage& image)
    {
        addPlaced(image);
        if (image.hidden)
            return;
        const quint32 base = quint32(page.boxes.size());
        const quint32 textBase = quint32(page.texts.size());
        const float dx = float(marginLeft()), dy = float(y);
        for (PageBox box : image.boxes) {
            box.x += dx;
            box.y += dy;
            if (box.kind == PageBox::Kind::Text)
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

    // A group kept together goes to a new page when it does not fit on this one, with the outer
    // headers recorded before it.
    void flushRecorded(bool keep)
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

    // ------------------------------------------------------------ data

    void resetScope(int scope)
    {
        for (size_t i = 0; i < aggregateSlots.size(); ++i)
            if (aggregateSlots[i].scope == scope) {
                current[i] = std::make_shared<Accumulator>();
                current[i]->distinct = aggregateSlots[i].function == AggregateSlot::Function::CountDistinct;
            }
    }

    void accumulate()
    {
        for (size_t i = 0; i < aggregateSlots.size(); ++i)
            if (aggregateSlots[i].scope != AggregateSlot::pageScope && aggregateSlots[i].scope != AggregateSlot::carriedScope)
                current[i]->add(slotArguments[i].evaluate(ctx), !slotArguments[i].isValid());
    }

    // The outermost group whose value changes at the next row; the group count when none does.
    int firstChangedGroup(qsizetype nextRow)
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

    void openGroups(int from, bool keysKnown)
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

    void closeGroups(int to)
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

    void placeBand(const std::optional<CompiledBand>& band, bool row = false)
    {
        if (!band)
            return;
        make(*band, scratch);
        scratch.isRow = row;
        if (row)
            for (size_t slot : placementSlots)
                scratch.placed.push_back(slotArguments[slot].evaluate(ctx));
        place(scratch);
    }

    void resolveDeferred()
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
            PageValue value;
            const QString text = textOf(*d.object, late, value);
            doc->setLateText(d.page, d.box, text, value.format != noValue ? &value : nullptr);
        }
        deferred.clear();
    }

    std::unique_ptr<PageDocument> fill(const ReportProgress& progress)
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
        placeBand(summary);
        endPage();
        resolveDeferred();
        return std::move(doc);
    }
};

ReportFiller::ReportFiller(const ReportTemplate& report, const ReportDataset* data, const QString& templateName,
                           const ParameterValues& parameters)
    : d(std::make_unique<Impl>(report, data, templateName, parameters))
{
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
