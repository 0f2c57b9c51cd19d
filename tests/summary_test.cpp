// The row summary on rows whose mean, spread, share and quantiles are known.
#include "summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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

TEST(Summary, CountsStayExactPastTheFloatLimit) {
    // A float count stops at 2^24: 2^24 + 1 rounds back to 2^24.
    StatisticRow r;
    r.pValues = {0.01f, 0.5f, 0.04999f};
    r.significant = std::int64_t{1} << 24;
    for (std::size_t i = 0; i < r.pValues.size(); ++i) countSignificant(r, i, 0.05);
    EXPECT_EQ(r.significant, (std::int64_t{1} << 24) + 2);

    // The share of an exact count above 2^24, and below it the float path's.
    const std::int64_t nSim = 30'000'001;
    const std::int64_t count = 16'777'217;
    EXPECT_EQ(significantShare(count, nSim), 16777217.0 / 30000001.0);
    EXPECT_NE(significantShare(count, nSim),
              static_cast<double>(static_cast<float>(count)) / static_cast<double>(nSim));
    for (const std::int64_t c : {0, 50, 1234, 16'777'215, 16'777'216})
        EXPECT_EQ(significantShare(c, 10000), static_cast<double>(static_cast<float>(c)) / 10000) << c;
    EXPECT_TRUE(std::isnan(significantShare(0, 0)));
}

TEST(Summary, RunningSumIsFloatOnlyAtTheDialogueCounts) {
    // 1e8 then ones: a float sum never moves past 1e8 (its step there is 8).
    for (const std::size_t n : {1000u, 10000u, 999u, 1001u, 20000u}) {
        std::vector<float> v(n, 1.0f);
        v[0] = 1e8f;
        float inOrder = 0.0f;
        double wide = 0.0;
        for (const float x : v) inOrder = inOrder + x, wide += static_cast<double>(x);
        const bool dialogue = n == 1000 || n == 10000;
        EXPECT_BITS(runningSum(v), dialogue ? inOrder : static_cast<float>(wide)) << n;
        if (dialogue) {
            EXPECT_EQ(runningSum(v), 1e8f) << n;
        }
    }
    EXPECT_BITS(runningSum({}), 0.0f);
    const std::vector<float> withNaN = {1.0f, std::nanf(""), 2.0f};
    EXPECT_TRUE(std::isnan(runningSum(withNaN)));
}

TEST(Summary, QuantileIndicesDoNotOverflow) {
    // The old int form 3 * n / 4 - 1 overflows from n = 715,827,883 on.
    for (const std::size_t n : {1u, 3u, 4u, 7u, 100u, 10001u}) {
        const long long m = static_cast<long long>(n);
        const long long expected[5] = {0, m / 4 - 1, m / 2 - 1, 3 * m / 4 - 1, m - 1};
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(quantileIndex(k, n), static_cast<std::size_t>(std::max(expected[k], 0LL))) << n << " " << k;
    }
    const std::size_t big = 2'147'483'647;
    EXPECT_EQ(quantileIndex(3, big), 1'610'612'734u);
    EXPECT_EQ(quantileIndex(4, big), big - 1);
    EXPECT_EQ(quantileIndex(1, big), 536'870'910u);
}
