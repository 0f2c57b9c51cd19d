// The numbers that summarize one statistic over a run's iterations: mean,
// standard deviation, share of significant iterations and five quantiles,
// formed as the table has always formed them.  The dialogue's table prints
// them; a study writes them to its results file.
#pragma once

#include "statistic.h"

struct RowSummary {
    double mean = 0.0;   // the running float sum over the iteration count, at double precision
    float sd = 0.0f;     // standard deviation of the values (divisor n - 1), over the sorted values
    double share = 0.0;  // significant iterations over the iteration count (rows with a test)
    float quantiles[5] = {};  // the sorted values at 0, n/4 - 1, n/2 - 1, 3n/4 - 1 and n - 1
};

// The row's numbers over its values.size() iterations.  The values are sorted
// in a copy; the row is left as it is.  Below four iterations the lower
// quantiles fall back to the first value; without iterations they are NaN.
RowSummary summarizeRow(const StatisticRow& row);
