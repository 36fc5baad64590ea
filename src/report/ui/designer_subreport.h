#pragma once

#include "report/engine/subreport.h"
#include "report/ui/designer_model.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// Where the designer stands: the report itself (an empty path), or a sub-report reached through
// the sub-report objects on the way down, each named in the level above it.
using DesignerLevelPath = std::vector<ObjectRef>;

// A sub-report's own bands as a template the designer edits as it edits a report: its header
// stands as the title, its detail as the detail band, its footer as the summary, its query as
// the template's query and its name as the template's name. The sheet is the report's page with
// the margins moved to the sub-report's box, so that its bands stand where they print. Empty
// when the path leads to no sub-report of the report.
std::optional<ReportTemplate> subreportLevel(const ReportTemplate& report, const DesignerLevelPath& path);
// Writes a level edited as a template back into the sub-report the path leads to (the whole
// report for an empty path). Only what a sub-report holds goes back: its query and its bands.
void storeSubreportLevel(ReportTemplate& report, const DesignerLevelPath& path, const ReportTemplate& level);
// The names of the sub-reports along the path, outermost first.
QStringList subreportNames(const ReportTemplate& report, const DesignerLevelPath& path);

// A band's caption on the sheet and in the panel: inside a sub-report the title is its header
// and the summary its footer.
QString levelBandTitle(const ReportTemplate& level, const BandRef& ref, bool inSubreport);

// The rows a sub-report's texts are written over: the columns of its query, prepared on the
// database but not run, under the sub-report's name. A query the database refuses, or no
// database, gives no columns and a note that says why.
std::unique_ptr<ReportDataset> subreportFields(const ReportObject& subreport, const SubreportStatementSource& source,
                                               QString& note);
