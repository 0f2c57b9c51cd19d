// The report that ends every run: parameter echo and result table.  The
// report alone owns the statistics' labels and how their rows are printed.
#pragma once

#include <vector>

#include "console.h"
#include "model.h"
#include "statistic.h"

struct StatisticInfo {
    const char* label;  // as the table prints it, e.g. "PL-Tau"
    bool hasTest;       // whether the table shows a share of significant tests
};

StatisticInfo statisticInfo(Statistic statistic);

// The numbers of one table row.
struct RowSummary {
    double mean = 0.0;      // the running float sum over the iteration count
    double se = 0.0;        // standard deviation of the values
    double share = 0.0;     // share of significant iterations (with a test)
    double quantiles[5] = {};  // 0, 25, 50, 75 and 100 % of the sorted values
};

// The row's numbers over its values.size() iterations; the values are sorted
// in a copy, in the order the table has always used.
RowSummary summarizeRow(const StatisticRow& row);

// Writes the line ends that close the progress line, the parameter echo, the
// header and one line per row.
void writeReport(Output& out, int nSim, const ModelParameters& model,
                 const std::vector<StatisticRow>& rows);
