#pragma once

// The pieces the filler makes pages of: the template's objects and bands compiled, and bands
// made for one place in the data before they go on a page. Only the filler includes this.

#include "report/engine/chart.h"
#include "report/engine/compiled_text.h"
#include "report/engine/display_format.h"
#include "report/engine/page_document.h"
#include "report/engine/subreport.h"
#include "report/engine/template.h"

#include <QFont>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace filling {

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
    int chart = -1;                // the chart's points among the filler's charts
    QString where;                 // the band and object, for errors found while filling
    Expression visible;            // none: always shown
    std::vector<CompiledRule> rules;
    mutable std::vector<RuledStyle> ruledStyles; // made as the rows ask for them
};

// The points of a chart, gathered from the rows of its scope as they pass.
struct ChartSlot {
    int scope = -1;
    Expression category, value;
    DisplayFormat categoryFormat;
    std::shared_ptr<ChartData> data;
};

struct CompiledSubreport;

struct CompiledBand {
    const Band* band = nullptr;
    Expression visible;
    std::vector<CompiledObject> objects;
    std::vector<std::unique_ptr<CompiledSubreport>> subreports; // top to bottom
};

// A sub-report ready to run: its rows, the expressions of its bands compiled over them, and its
// own totals (over its rows for one outer row).
struct CompiledSubreport {
    const ReportObject* source = nullptr;
    std::unique_ptr<SubreportData> data;
    std::unique_ptr<ExpressionCompiler> compiler;
    std::optional<CompiledBand> header, detail, footer;
    std::vector<AggregateSlot> aggregateSlots;
    std::vector<Expression> slotArguments;
    std::vector<ChartSlot> charts; // over the rows of one outer row's run
    Accumulators current;
};

struct DeferredState {
    std::shared_ptr<const ChartData> chart; // a chart above its rows
    CapturedRow row;
    Accumulators aggregates;
    qint64 line = 0;
};


struct PendingText {
    quint32 box;
    const CompiledObject* object;
    std::shared_ptr<const DeferredState> state;
};

// A band made for one place in the data, not yet on a page.
struct BandImage {
    double height = 0;
    bool isRow = false; // a detail row or a group's footer: what a group on a new page breaks after
    bool inColumns = false; // a detail row of a detail band laid out in columns
    bool hidden = false; // its visibility said no: it takes no room
    std::vector<PageBox> boxes;
    QString texts;
    std::vector<PendingText> pending;
    std::vector<PageValue> values;
    // A detail row: what the totals of the page it lands on add (one per such total).
    std::vector<ReportValue> placed;
    // The bands that come after this one and before the next: the rows of the sub-reports
    // standing in it, with the parts of the band below each of them.
    std::vector<BandImage> following;
    // Among those: a sub-report's header keeps with the band after it, and a band of a
    // sub-report whose header repeats goes on a new page under that header (itself possibly
    // under an outer sub-report's).
    bool keepWithNext = false;
    std::shared_ptr<const BandImage> continues;

    void clear()
    {
        height = 0;
        isRow = false;
        inColumns = false;
        hidden = false;
        boxes.clear();
        texts.clear();
        pending.clear();
        values.clear();
        placed.clear();
        following.clear();
        keepWithNext = false;
        continues.reset();
    }

    double totalHeight() const
    {
        double h = height;
        for (const BandImage& f : following)
            h += f.height;
        return h;
    }

    // The boxes chosen, moved up by dy, with their texts and values.
    BandImage part(const std::function<bool(const PageBox&)>& take, float dy, double partHeight) const
    {
        BandImage out;
        out.height = std::max(0.0, partHeight);
        out.isRow = isRow;
        std::vector<quint32> index(boxes.size(), ~0u);
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (!take(boxes[i]))
                continue;
            PageBox box = boxes[i];
            box.y -= dy;
            if (box.holdsText()) {
                const QString text = texts.mid(box.offset, box.length);
                box.offset = quint32(out.texts.size());
                out.texts += text;
            }
            index[i] = quint32(out.boxes.size());
            out.boxes.push_back(box);
        }
        for (const PendingText& p : pending)
            if (index[p.box] != ~0u)
                out.pending.push_back(PendingText{index[p.box], p.object, p.state});
        for (PageValue v : values)
            if (index[v.box] != ~0u) {
                v.box = index[v.box];
                out.values.push_back(v);
            }
        return out;
    }

    void moveRight(float dx)
    {
        for (PageBox& box : boxes)
            box.x += dx;
    }
};

struct Deferred {
    int page;
    quint32 box;
    const CompiledObject* object;
    std::shared_ptr<const DeferredState> state;
};

// Days since 1899-12-30 with the time of day as the fraction: the day count spreadsheets use.
inline double dayCount(const QDateTime& dt)
{
    return double(QDate(1899, 12, 30).daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

// The number or date behind a shown value, when a spreadsheet should hold it as one.
inline bool typedValue(const ReportValue& v, const DisplayFormat& format, PageValue& out)
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

} // namespace filling
