#include "report/engine/filler.h"
#include "report/engine/filler_parts.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "report/engine/barcode.h"
#include "report/engine/chart.h"
#include "report/engine/compiled_text.h"
#include "report/engine/dataset.h"
#include "report/engine/page_document.h"
#include "report/engine/subreport.h"
#include "report/engine/template.h"
#include "report/engine/text_layout.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

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

// What a sub-report swaps in for the outer report's while its rows are made.
struct LevelState {
    EvalContext ctx;
    qint64 detailLine = 0;
};

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
    ExpressionCompiler* compiling = &compiler; // the sub-report's while its bands are compiled
    SubreportStatementSource subreportSource;
    QStringList subreportPath; // the sub-reports being compiled, outermost first

    std::optional<CompiledBand> title, pageHeader, detail, pageFooter, summary;
    std::vector<std::optional<CompiledBand>> headers, footers;
    std::vector<Expression> groupKeys;
    std::vector<AggregateSlot> aggregateSlots;
    std::vector<Expression> slotArguments;
    std::vector<ChartSlot> charts;
    int compilingScope = -1;
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
    // Detail rows in columns: how many, the distance from one column's left to the next, the
    // height every row takes on a sheet of labels (0: its own), and where the open run is.
    int columnCount = 1;
    double columnStep = 0;
    double rowPitch = 0;
    bool columnsDown = false;
    bool columnsOpen = false;
    int column = 0;
    double columnTop = 0, columnBottom = 0;
    double columnOffset = 0;
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

    [[noreturn]] void fail(const QString& where, const VarnelError& error) const
    {
        QString place = where;
        for (auto sub = subreportPath.crbegin(); sub != subreportPath.crend(); ++sub)
            place += Lang.caption(" of the sub-report \"%1\"").arg(*sub);
        throw FormatError(Lang.caption("Report template \"%1\", %2: %3").arg(templateName, place, error.message()));
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

    void compileBand(const std::optional<Band>& band, std::optional<CompiledBand>& into, int scope, int group)
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

    void compileColumns()
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

    // Sub-reports stand where rows are laid out; each level runs a statement per outer row.
    std::unique_ptr<CompiledSubreport> compileSubreport(const Band& band, const ReportObject& o)
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
        compileBand(s.header, sub->header, -1, -1);
        compileBand(s.detail, sub->detail, -1, -1);
        compileBand(s.footer, sub->footer, -1, -1);
        subreportPath.removeLast();
        compiling = outer;
        sub->aggregateSlots = sub->compiler->aggregates();
        for (const AggregateSlot& slot : sub->aggregateSlots)
            sub->slotArguments.emplace_back(slot.argument);
        return sub;
    }

    CompiledObject compileObject(const Band& band, const ReportObject& o)
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
            // A chart gathers the rows of the report or of a group; a sub-report's rows are its own.
            if (!subreportPath.isEmpty())
                throw FormatError(Lang.caption("a chart cannot stand in a sub-report"));
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

    // ------------------------------------------------------------ sub-reports

    // The band down to its first sub-report stays in out; the rows of each sub-report and the
    // part of the band below it follow, so that they break pages like any rows.
    void splitAtSubreports(const CompiledBand& band, BandImage& out)
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

    // Makes the bands of a sub-report for the outer row of ctx; their total height.
    double runSubreport(CompiledSubreport& sub, float dx, std::vector<BandImage>& into)
    {
        sub.data->run(ctx);
        const ReportDataset& rows = sub.data->rows();
        LevelState level;
        level.ctx.data = &rows;
        level.ctx.now = now;
        level.ctx.aggregates = &current;
        // The sub-report's level for the bands it makes; the outer one back whatever happens.
        auto swapLevel = [&] {
            std::swap(ctx, level.ctx);
            std::swap(detailLine, level.detailLine);
            std::swap(current, sub.current);
            std::swap(aggregateSlots, sub.aggregateSlots);
            std::swap(slotArguments, sub.slotArguments);
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
            height += image.height;
            into.push_back(std::move(image));
            for (BandImage& n : nested) {
                n.moveRight(dx);
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

    // Data the symbology cannot hold stops the report with the encoder's reason and the object.
    void makeBarcode(const CompiledObject& o, PageBox& box, BandImage& out)
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

    void makeChart(const CompiledObject& o, PageBox& box, BandImage& out)
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
        columnsOpen = false;
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
        // A band is not left alone at the foot of a page without the first row of its sub-report.
        placeOne(image, keepWith + image.following.front().height);
        for (const BandImage& f : image.following)
            placeOne(f);
    }

    void placeOne(const BandImage& image, double keepWith = 0)
    {
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

    // A detail row in the next cell: across fills a row of cells, then starts the next row below
    // the tallest; down fills a column to the page's foot, then the next column from the top.
    void placeInColumn(const BandImage& image)
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

    // The bands after rows in columns start below the tallest column.
    void endColumns()
    {
        if (!columnsOpen)
            return;
        columnsOpen = false;
        y = columnBottom;
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
        // A chart above its rows keeps the points it was made with; the next group starts anew.
        for (ChartSlot& chart : charts)
            if (chart.scope == scope)
                chart.data = std::make_shared<ChartData>();
    }

    void accumulate()
    {
        for (size_t i = 0; i < aggregateSlots.size(); ++i)
            if (aggregateSlots[i].scope != AggregateSlot::pageScope && aggregateSlots[i].scope != AggregateSlot::carriedScope)
                current[i]->add(slotArguments[i].evaluate(ctx), !slotArguments[i].isValid());
        for (ChartSlot& chart : charts) {
            const ReportValue category = chart.category.evaluate(ctx);
            chart.data->add(chart.categoryFormat.show(category, locale), numberOf(chart.value.evaluate(ctx)).value_or(0));
        }
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
        endColumns();
        placeBand(summary);
        endPage();
        resolveDeferred();
        return std::move(doc);
    }
};

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
