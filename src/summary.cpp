#include "summary.h"

#include <algorithm>
#include <limits>

#include "quicksort.h"
#include "variance.h"

float runningSum(std::span<const float> values) {
    if (values.size() == 1000 || values.size() == 10000) {
        float sum = 0.0f;
        for (const float v : values) sum = sum + v;
        return sum;
    }
    double sum = 0.0;
    for (const float v : values) sum = sum + static_cast<double>(v);
    return static_cast<float>(sum);
}

void countSignificant(StatisticRow& row, std::size_t i, double alpha) {
    if (static_cast<double>(row.pValues[i]) < alpha) ++row.significant;
}

double significantShare(std::int64_t significant, std::int64_t nSim) {
    return static_cast<double>(significant) / static_cast<double>(nSim);
}

std::size_t quantileIndex(int k, std::size_t nSim) {
    // 3 * nSim / 4 as a whole quotient, without forming 3 * nSim.
    const std::size_t at[5] = {0, nSim / 4, nSim / 2, 3 * (nSim / 4) + (3 * (nSim % 4)) / 4, nSim};
    const std::size_t i = at[std::clamp(k, 0, 4)];
    return k == 0 || i == 0 ? 0 : i - 1;
}

RowSummary summarizeRow(const StatisticRow& row) {
    const std::size_t count = row.values.size();
    const int nSim = static_cast<int>(count);
    RowSummary s;
    std::vector<float> sorted = row.values;
    sortAscending(sorted.data(), nSim);
    s.mean = static_cast<double>(row.sum) / nSim;
    s.sd = sd(sorted.data(), nSim);
    s.share = significantShare(row.significant, nSim);
    for (int k = 0; k < 5; ++k)
        s.quantiles[k] = count > 0 ? sorted[quantileIndex(k, count)] : std::numeric_limits<float>::quiet_NaN();
    return s;
}

std::vector<RowSummary> summarizeRows(const std::vector<StatisticRow>& rows) {
    std::vector<RowSummary> summaries;
    for (const StatisticRow& row : rows) summaries.push_back(summarizeRow(row));
    return summaries;
}
