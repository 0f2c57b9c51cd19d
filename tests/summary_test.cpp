// The row summary on rows whose mean, spread, share and quantiles are known.
#include "summary.h"

#include <gtest/gtest.h>

#include <cmath>

#include "test.h"

TEST(Summary, OfAKnownRow) {
    const StatisticRow r = descendingRow(Statistic::Pnd, 100);
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
    const RowSummary one = summarizeRow(descendingRow(Statistic::Ecl, 1));
    for (float q : one.quantiles) EXPECT_EQ(q, 1.0f);
    const RowSummary three = summarizeRow(descendingRow(Statistic::Ecl, 3));
    EXPECT_EQ(three.quantiles[1], 1.0f);
    EXPECT_EQ(three.quantiles[2], 1.0f);
    EXPECT_EQ(three.quantiles[4], 3.0f);
    const RowSummary none = summarizeRow(StatisticRow{});
    EXPECT_TRUE(std::isnan(none.quantiles[0]));
}
