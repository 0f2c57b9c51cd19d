// What a run hands to the report: one row per statistic, with the
// statistic's identity and its values over the iterations.
#pragma once

#include <vector>

// The statistics a run can produce, one per row of the table.
enum class Statistic { PlTau, TauU, MpdR, Ecl, Pnd, Pncd, SimD, SimR };

// One statistic's row: its per-iteration values and, for a statistic with a
// test, per-iteration p-values; the running sum and the count of significant
// iterations, both formed in iteration order.
struct StatisticRow {
    Statistic statistic = Statistic::PlTau;
    std::vector<float> values;   // in iteration order
    std::vector<float> pValues;  // in iteration order; empty without a test
    float sum = 0.0f;
    float significant = 0.0f;
};
