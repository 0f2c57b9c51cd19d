#include "summary.h"

#include <algorithm>
#include <limits>

#include "quicksort.h"
#include "variance.h"

RowSummary summarizeRow(const StatisticRow& row) {
    const int nSim = static_cast<int>(row.values.size());
    RowSummary s;
    std::vector<float> sorted = row.values;
    sortAscending(sorted.data(), nSim);
    s.mean = static_cast<double>(row.sum) / nSim;
    s.sd = sd(sorted.data(), nSim);
    s.share = static_cast<double>(row.significant) / nSim;
    const int q[5] = {0, nSim / 4 - 1, nSim / 2 - 1, 3 * nSim / 4 - 1, nSim - 1};
    for (int k = 0; k < 5; ++k)
        s.quantiles[k] = nSim > 0 ? sorted[static_cast<std::size_t>(std::max(q[k], 0))]
                                  : std::numeric_limits<float>::quiet_NaN();
    return s;
}
