#include "nonoverlap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "awkwardseries.h"

namespace {
// The double evaluation written out per k, m and i with no shortcut: every
// term through lgamma, log and log1p, every tail summed to its end.
float literalPValue(int nA, int nB, int k) {
    const int n = nA + nB;
    double p = 0.0;
    for (int m = 1; m <= n; ++m) {
        const double w = std::pow(double(m) / n, double(nA)) - std::pow(double(m - 1) / n, double(nA));
        const double q = double(n - m) / n;
        double tail = 0.0;
        for (int i = k; i <= nB; ++i) {
            if (i > 0 && q == 0.0) continue;
            double e = std::lgamma(nB + 1.0) - std::lgamma(i + 1.0) - std::lgamma(nB - i + 1.0);
            if (i > 0) e += i * std::log(q);
            if (nB - i > 0) e += (nB - i) * std::log1p(-q);
            tail += std::exp(e);
        }
        p += w * tail;
    }
    return static_cast<float>(std::clamp(p, 0.0, 1.0));
}
}  // namespace

// Every k of designs from 27 points, table and fresh value alike.
TEST(NonOverlapTable, DesignsFrom27PointsFollowTheWrittenOutSum) {
    for (auto [na, nb] : {std::pair{14, 13}, std::pair{13, 14}, std::pair{1, 26}, std::pair{26, 1},
                          std::pair{20, 20}, std::pair{35, 2}, std::pair{3, 35}, std::pair{40, 41},
                          std::pair{1, 100}, std::pair{120, 7}}) {
        const NonOverlapTable table(na, nb);
        for (int k = 0; k <= nb; ++k) {
            ASSERT_TRUE(awkward::sameBits(table.p(k), literalPValue(na, nb, k))) << na << "," << nb << "," << k;
            ASSERT_TRUE(awkward::sameBits(pndPValue(na, nb, k), table.p(k))) << na << "," << nb << "," << k;
        }
    }
}

// Long designs, where tails stop early and k are formed in groups, against
// the written-out sum.
TEST(NonOverlapTable, LongDesignsFollowTheWrittenOutSum) {
    const struct {
        int nA, nB;
        std::vector<int> ks;
    } designs[] = {{300, 300, {0, 3, 33, 150, 300}},
                   {100, 150, {0, 1, 2, 3, 4, 5, 75}},
                   {1000, 1000, {990, 997, 1000}},
                   {3, 1000, {990}},
                   {1000, 3, {0, 1, 2, 3}}};
    for (const auto& d : designs) {
        const NonOverlapTable table(d.nA, d.nB);
        for (const int k : d.ks)
            ASSERT_TRUE(awkward::sameBits(table.p(k), literalPValue(d.nA, d.nB, k)))
                << d.nA << "," << d.nB << "," << k << ": " << table.p(k) << " vs "
                << literalPValue(d.nA, d.nB, k);
    }
}

// A value is the same whichever k were read before it, in whatever order,
// by however many threads at once.
TEST(NonOverlapTable, ValuesDoNotDependOnReadingOrderOrThreads) {
    for (auto [nA, nB] : {std::pair{5, 6}, std::pair{14, 13}, std::pair{60, 140}}) {
        const NonOverlapTable ascending(nA, nB);
        std::vector<float> expected;
        for (int k = 0; k <= nB; ++k) expected.push_back(ascending.p(k));

        const NonOverlapTable shared(nA, nB);
        std::vector<std::vector<float>> seen(4, std::vector<float>(expected.size()));
        std::vector<std::thread> readers;
        for (int t = 0; t < 4; ++t) {
            readers.emplace_back([&shared, &seen, t, nB = nB] {
                std::vector<int> order(static_cast<std::size_t>(nB + 1));
                for (int k = 0; k <= nB; ++k) order[static_cast<std::size_t>(k)] = k;
                std::shuffle(order.begin(), order.end(), std::mt19937(static_cast<unsigned>(t)));
                for (const int k : order) seen[static_cast<std::size_t>(t)][static_cast<std::size_t>(k)] = shared.p(k);
            });
        }
        for (auto& r : readers) r.join();
        for (int t = 0; t < 4; ++t)
            for (int k = 0; k <= nB; ++k)
                ASSERT_TRUE(awkward::sameBits(seen[static_cast<std::size_t>(t)][static_cast<std::size_t>(k)],
                                              expected[static_cast<std::size_t>(k)]))
                    << nA << "," << nB << ", thread " << t << ", k " << k;
        for (const int k : {0, nB / 2, nB})
            EXPECT_TRUE(awkward::sameBits(pndPValue(nA, nB, k), expected[static_cast<std::size_t>(k)]));
    }
}

// Lengths the dialogue refuses still give a value for k = 0, and read
// nothing out of range (the sums over no terms).
TEST(NonOverlapTable, NoPhaseBStillHasAValueForNoPointAbove) {
    for (auto [nA, nB] : {std::pair{5, 0}, std::pair{30, 0}, std::pair{30, -3}, std::pair{3, -1}}) {
        const NonOverlapTable table(nA, nB);
        EXPECT_EQ(table.p(0), pndPValue(nA, nB, 0)) << nA << "," << nB;
    }
}
