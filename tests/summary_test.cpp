// The row summary on rows whose mean, spread, share and quantiles are known.
#include "summary.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A row of values 1 .. n in descending order, with its running sum and one
// significant iteration in three.
StatisticRow descending(Statistic statistic, int n) {
    StatisticRow r;
    r.statistic = statistic;
    for (int i = n; i >= 1; --i) {
        r.values.push_back(static_cast<float>(i));
        r.sum = r.sum + static_cast<float>(i);
    }
    if (statisticInfo(statistic).hasTest) {
        for (int i = 0; i < n; ++i) r.pValues.push_back(i % 3 == 0 ? 0.01f : 0.5f);
        r.significant = static_cast<float>((n + 2) / 3);
    }
    return r;
}

}  // namespace

TEST(Summary, OfAKnownRow) {
    const StatisticRow r = descending(Statistic::Pnd, 100);
    const RowSummary s = summarizeRow(r);
    EXPECT_EQ(s.mean, 50.5);
    EXPECT_NEAR(s.sd, 29.011492f, 1e-5f);  // sd of 1 .. 100
    EXPECT_EQ(s.share, 0.34);
    // The quantiles are the sorted values at 0, n/4 - 1, n/2 - 1, 3n/4 - 1, n - 1.
    const float q[5] = {1, 25, 50, 75, 100};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(s.quantiles[k], q[k]) << k;
    // The row itself is left in iteration order.
    EXPECT_EQ(r.values.front(), 100.0f);
}

TEST(Summary, OfTinyRowsStaysInside) {
    const RowSummary one = summarizeRow(descending(Statistic::Ecl, 1));
    for (float q : one.quantiles) EXPECT_EQ(q, 1.0f);
    const RowSummary three = summarizeRow(descending(Statistic::Ecl, 3));
    EXPECT_EQ(three.quantiles[1], 1.0f);
    EXPECT_EQ(three.quantiles[2], 1.0f);
    EXPECT_EQ(three.quantiles[4], 3.0f);
    const RowSummary none = summarizeRow(StatisticRow{});
    EXPECT_TRUE(std::isnan(none.quantiles[0]));
}
