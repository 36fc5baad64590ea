#pragma once

#include "shell/command_line.h"

#include <QString>
#include <QStringList>
#include <optional>

// A report made from the command line, without a window:
//   varnel --report TEMPLATE --format pdf|jpeg|tiff|html|rtf|odt|ods|xls --output FILE [--sql "SELECT ..."] [--id N]
// TEMPLATE is named as a report button names it, below the project's Report folder; the
// database is the one start-up would open, read only.
using ReportBatchResult = CommandOutcome;

// Runs the batch; arguments as the program received them (the program name first).
ReportBatchResult RunReportBatch(const QStringList& arguments);
