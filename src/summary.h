// The numbers that summarize one statistic over a run's iterations: mean,
// standard deviation, share of significant iterations and five quantiles,
// formed as the table has always formed them.  The dialogue's table prints
// them; a study writes them to its results file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "statistic.h"

struct RowSummary {
    double mean = 0.0;   // the row's running sum over the iteration count, at double precision
    float sd = 0.0f;     // standard deviation of the values (divisor n - 1), over the sorted values
    double share = 0.0;  // significant iterations over the iteration count (rows with a test)
    float quantiles[5] = {};  // the sorted values at 0, n/4 - 1, n/2 - 1, 3n/4 - 1 and n - 1
};

// The row's numbers over its values.size() iterations.  The values are sorted
// in a copy; the row is left as it is.  Below four iterations the lower
// quantiles fall back to the first value; without iterations they are NaN.
RowSummary summarizeRow(const StatisticRow& row);

// summarizeRow of each row, in order, on this thread.
std::vector<RowSummary> summarizeRows(const std::vector<StatisticRow>& rows);

// The running sum behind a row's mean, a float.  For 1000 and 10000 values
// (the dialogue's runs of options 2 and 1) it is the float sum in iteration
// order, one rounding per value, which is the table's definition; a study of
// those counts prints the dialogue's numbers.  For every other count the
// values are summed in double in iteration order and the sum rounded to float
// once, so that a long study's sum keeps moving (a float sum stops once
// |sum| / |value| passes about 2^24).
float runningSum(std::span<const float> values);

// Counts iteration i of the row as significant when double(pValues[i]) <
// alpha.  The count is a whole number at any replication count.
void countSignificant(StatisticRow& row, std::size_t i, double alpha);

// significant / nSim in double; the count is exact, so below 2^24 this is the
// share the float count gave, and above it the correct one.  NaN for nSim 0.
double significantShare(std::int64_t significant, std::int64_t nSim);

// The index of quantile k (0 .. 4) among nSim sorted values, without
// overflow at any count: 0, nSim/4 - 1, nSim/2 - 1, 3*nSim/4 - 1, nSim - 1,
// each at least 0.
std::size_t quantileIndex(int k, std::size_t nSim);
