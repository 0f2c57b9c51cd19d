// The report that ends every run of the dialogue: parameter echo and result
// table.  It prints; the labels come from the statistic description and the
// numbers from the row summary.
#pragma once

#include <vector>

#include "console.h"
#include "model.h"
#include "statistic.h"
#include "summary.h"

// Writes the line ends that close the progress line, the parameter echo, the
// header and one line per row: summaries[k] (summarizeRow of rows[k]) under
// the label of rows[k].
void writeReport(Output& out, int nSim, const ModelParameters& model,
                 const std::vector<StatisticRow>& rows, const std::vector<RowSummary>& summaries);
