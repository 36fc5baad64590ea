#pragma once

// The filler's state and its steps. The filler's own files include this, no one else:
// filler.cpp compiles the template and walks the rows, filler_bands.cpp makes bands (their
// texts, pictures, barcodes, charts and sub-reports), filler_pages.cpp puts bands on pages and
// keeps groups and totals.

#include "report/engine/filler.h"
#include "report/engine/filler_parts.h"

#include "platform/errors.h"
#include "platform/lang.h"
#include "platform/project_folder.h"
#include "report/engine/dataset.h"
#include "report/engine/page_document.h"
#include "report/engine/template.h"

#include <QStringList>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

struct ReportFiller::Impl {
    using BandImage = filling::BandImage;
    using ChartSlot = filling::ChartSlot;
    using CompiledBand = filling::CompiledBand;
    using CompiledObject = filling::CompiledObject;
    using CompiledSubreport = filling::CompiledSubreport;
    using Deferred = filling::Deferred;
    using RuledStyle = filling::RuledStyle;

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
    // While a sub-report's bands are made: the header its rows go on under on a new page, and how
    // far right of the outer band its bands stand.
    std::shared_ptr<const BandImage> continuing;
    float subreportLeft = 0;

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

    static constexpr quint32 noValue = ~0u;

    double marginLeft() const { return report.page.marginLeft; }

    // Compiling the template (filler.cpp)
    void compile();
    void compileBand(const std::optional<Band>& band, std::optional<CompiledBand>& into, int scope, int group);
    void compileColumns();
    // Sub-reports stand where rows are laid out; each level runs a statement per outer row.
    std::unique_ptr<CompiledSubreport> compileSubreport(const Band& band, const ReportObject& o);
    CompiledObject compileObject(const Band& band, const ReportObject& o);
    // A missing or broken picture file leaves its box empty; the report still comes out.
    quint32 loadPictureFile(const ReportObject& o);

    // Making bands (filler_bands.cpp)
    void make(const CompiledBand& band, BandImage& out);

    // Sub-reports and the boxes of a band (filler_bands.cpp)
    // The band down to its first sub-report stays in out; the rows of each sub-report and the
    // part of the band below it follow, so that they break pages like any rows.
    void splitAtSubreports(const CompiledBand& band, BandImage& out);
    // Makes the bands of a sub-report for the outer row of ctx; their total height.
    double runSubreport(CompiledSubreport& sub, float dx, std::vector<BandImage>& into);
    // The style of a text whose rules hold in this row, each mix made once.
    const RuledStyle* ruledStyle(const CompiledObject& o);
    void makeText(const CompiledObject& o, PageBox& box, BandImage& out);
    // Data the symbology cannot hold stops the report with the encoder's reason and the object.
    void makeBarcode(const CompiledObject& o, PageBox& box, BandImage& out);
    void makeChart(const CompiledObject& o, PageBox& box, BandImage& out);
    // The text an object shows; for a value shown alone, also that value (format noValue when
    // there is none to keep).
    QString textOf(const CompiledObject& o, const EvalContext& c, PageValue& value) const;
    // The running totals as they are now, for a text shown later.
    Accumulators snapshot() const;
    // A BLOB that does not decode leaves the box empty.
    quint32 picture(const CompiledObject& o);
    void stretch(const CompiledBand& band, BandImage& out);

    // Pages (filler_pages.cpp)
    // Headers of groups from repeatBelow inwards are not repeated: they come with the bands
    // that broke the page.
    void startPage(bool first, int repeatBelow = std::numeric_limits<int>::max());
    void placePageHeader();
    void endPage();
    void newPage(int repeatBelow = std::numeric_limits<int>::max());
    // Puts a body band on the page, breaking the page first when it does not fit.
    void place(const BandImage& image, double keepWith = 0);
    void placeOne(const BandImage& image, double keepWith = 0);
    // A detail row in the next cell: across fills a row of cells, then starts the next row below
    // the tallest; down fills a column to the page's foot, then the next column from the top.
    void placeInColumn(const BandImage& image);
    // The bands after rows in columns start below the tallest column.
    void endColumns();
    // A row's share of the totals of the page it lands on.
    void addPlaced(const BandImage& image);
    void placeNow(const BandImage& image);
    // The headers a sub-report's band goes on under at the top of a new page, outermost first.
    void placeContinued(const BandImage& header);
    // A group kept together goes to a new page when it does not fit on this one, with the outer
    // headers recorded before it.
    void flushRecorded(bool keep);

    // Groups and totals as the rows pass (filler_pages.cpp; the walk itself in filler.cpp)
    void resetScope(int scope);
    void accumulate();
    // The outermost group whose value changes at the next row; the group count when none does.
    int firstChangedGroup(qsizetype nextRow);
    void openGroups(int from, bool keysKnown);
    void closeGroups(int to);
    void placeBand(const std::optional<CompiledBand>& band, bool row = false);
    void resolveDeferred();
    std::unique_ptr<PageDocument> fill(const ReportProgress& progress);
};
