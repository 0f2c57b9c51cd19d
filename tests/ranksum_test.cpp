#include "ranksum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "test.h"

namespace {
RankSumWorkspace ws;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

RankSumTest test(const std::vector<float>& x, const std::vector<float>& y) {
    return rankSumTest(x.data(), static_cast<int>(x.size()), y.data(), static_cast<int>(y.size()), ws);
}

// Number of splits of nX + nY distinct values with U = u, for every u, by
// enumerating every choice of the nX positions (in value order) that hold x.
std::vector<long long> enumerateCounts(int nX, int nY) {
    const int n = nX + nY;
    std::vector<long long> counts(static_cast<std::size_t>(nX * nY) + 1, 0);
    std::vector<bool> inX(static_cast<std::size_t>(n), false);
    std::fill(inX.begin() + nY, inX.end(), true);  // the first permutation in order
    do {
        int u = 0, yBelow = 0;
        for (int i = 0; i < n; ++i) {
            if (inX[static_cast<std::size_t>(i)])
                u += yBelow;
            else
                ++yBelow;
        }
        ++counts[static_cast<std::size_t>(u)];
    } while (std::next_permutation(inX.begin(), inX.end()));
    return counts;
}

// u by scanning every pair.
double pairScanU(const std::vector<float>& x, const std::vector<float>& y) {
    double u = 0.0;
    for (float a : x)
        for (float b : y) u += a > b ? 1.0 : (a == b ? 0.5 : 0.0);
    return u;
}

// Distinct values in random order, split into samples of nX and nY.
void randomSplit(std::mt19937& gen, int nX, int nY, std::vector<float>& x, std::vector<float>& y) {
    std::vector<float> all(static_cast<std::size_t>(nX + nY));
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<float>(i) * 0.75f - 3.0f;
    std::shuffle(all.begin(), all.end(), gen);
    x.assign(all.begin(), all.begin() + nX);
    y.assign(all.begin() + nX, all.end());
}

// Values of a fixed permutation: (k * multiplier) mod n for k in [from, to).
std::vector<float> permuted(int multiplier, int n, int from, int to, float shift = 0.0f) {
    std::vector<float> v;
    for (int k = from; k < to; ++k) v.push_back(static_cast<float>((k * multiplier) % n) + shift);
    return v;
}
}  // namespace

// The exact distribution against a count of every split, for shapes from one
// point to 20 points in all.
TEST(RankSumNullCdf, MatchesEnumerationOfEverySplit) {
    const int shapes[][2] = {{1, 1}, {1, 4}, {4, 1}, {2, 3}, {3, 3}, {4, 6}, {5, 5}, {6, 9}, {8, 8}, {7, 12}, {10, 10}};
    for (const auto& shape : shapes) {
        const int nX = shape[0], nY = shape[1];
        const std::vector<long long> counts = enumerateCounts(nX, nY);
        long long total = 0;
        for (long long c : counts) total += c;
        long long running = 0;
        for (int k = 0; k <= nX * nY; ++k) {
            running += counts[static_cast<std::size_t>(k)];
            const double expected = static_cast<double>(running) / static_cast<double>(total);
            EXPECT_EQ(rankSumNullCdf(nX, nY, k, ws), expected) << nX << " x " << nY << ", k = " << k;
            EXPECT_EQ(rankSumNullCdf(nY, nX, k, ws), expected) << nY << " x " << nX << ", k = " << k;
        }
        EXPECT_EQ(rankSumNullCdf(nX, nY, -1, ws), 0.0);
        EXPECT_EQ(rankSumNullCdf(nX, nY, nX * nY + 5, ws), 1.0);
    }
}

TEST(RankSumNullCdf, OnlyForTheExactRange) {
    EXPECT_TRUE(std::isnan(rankSumNullCdf(0, 5, 0, ws)));
    EXPECT_TRUE(std::isnan(rankSumNullCdf(5, 50, 0, ws)));
    EXPECT_TRUE(std::isnan(rankSumNullCdf(-3, 5, 0, ws)));
    // The largest size: counts up to C(98, 49) ~ 2.5e28 stay finite; the
    // tail counts 1, 1, 2, 3 (partitions of 0 .. 3) are exact; the
    // distribution is symmetric, P(U <= k) = 1 - P(U <= m - 1 - k), with
    // m = 2401 odd, so P(U <= 1200) = 1/2.  1 / C(98, 49) from Python.
    EXPECT_NEAR(rankSumNullCdf(49, 49, 0, ws), 3.925014596481662e-29, 1e-14 * 3.925014596481662e-29);
    EXPECT_NEAR(rankSumNullCdf(49, 49, 3, ws), 2.7475102175371636e-28, 1e-14 * 2.7475102175371636e-28);
    EXPECT_NEAR(rankSumNullCdf(49, 49, 1200, ws), 0.5, 1e-13);
    for (int k = 0; k < 2401; k += 37)
        EXPECT_NEAR(rankSumNullCdf(49, 49, k, ws) + rankSumNullCdf(49, 49, 2400 - k, ws), 1.0, 1e-13) << k;
}

// The two-sided exact p-value on random data without ties, against the
// distribution enumerated here: min(1, 2 min(P(U <= u), P(U >= u))).
TEST(RankSumTest, ExactPValueMatchesEnumeration) {
    std::mt19937 gen(1701);
    const int shapes[][2] = {{1, 1}, {1, 3}, {2, 2}, {3, 5}, {5, 3}, {6, 6}, {4, 9}, {9, 9}};
    for (const auto& shape : shapes) {
        const int nX = shape[0], nY = shape[1];
        const std::vector<long long> counts = enumerateCounts(nX, nY);
        std::vector<long long> cum(counts.size());
        long long running = 0;
        for (std::size_t k = 0; k < counts.size(); ++k) cum[k] = running += counts[k];
        const double total = static_cast<double>(running);
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<float> x, y;
            randomSplit(gen, nX, nY, x, y);
            const RankSumTest r = test(x, y);
            const double u = pairScanU(x, y);
            ASSERT_EQ(r.u, u);
            EXPECT_TRUE(r.exact);
            const auto iu = static_cast<std::size_t>(u);
            const double lower = static_cast<double>(cum[iu]) / total;
            const double upper = static_cast<double>(running - (iu > 0 ? cum[iu - 1] : 0)) / total;
            EXPECT_BITS(r.p, static_cast<float>(std::min(1.0, 2.0 * std::min(lower, upper))))
                << nX << " x " << nY << ", u = " << u;
        }
    }
}

TEST(RankSumTest, HandWorkedExactValues) {
    // Every x above every y: P(U >= 9) = 1 / C(6, 3) = 1/20, p = 0.1.
    RankSumTest r = test({4, 5, 6}, {1, 2, 3});
    EXPECT_EQ(r.u, 9.0);
    EXPECT_BITS(r.p, 0.1f);
    r = test({1, 2, 3}, {4, 5, 6});
    EXPECT_EQ(r.u, 0.0);
    EXPECT_BITS(r.p, 0.1f);
    // One point each: U is 0 or 1 with probability 1/2, p = 1 either way.
    EXPECT_BITS(test({2}, {1}).p, 1.0f);
    // One point against three: U uniform on 0 .. 3, so U = 1 gives
    // 2 P(U <= 1) = 1 and U = 0 gives 2 P(U <= 0) = 1/2.
    EXPECT_BITS(test({1.5f}, {1, 2, 3}).p, 1.0f);
    EXPECT_BITS(test({0}, {1, 2, 3}).p, 0.5f);
    // An infinity is an ordinary largest value: U = 2 of 0..2, p = 2/3.
    r = test({kInf}, {1, 2});
    EXPECT_EQ(r.u, 2.0);
    EXPECT_TRUE(r.exact);
    EXPECT_BITS(r.p, static_cast<float>(2.0 / 3.0));
    EXPECT_EQ(test({-kInf}, {1, 2}).u, 0.0);
}

// Values from tests/reference/caseindices.py (mid-ranks, exact integer
// distribution by its own recurrence, math.erfc), x = phase B, y = phase A.
TEST(RankSumTest, AgreesWithIndependentReference) {
    struct Case {
        const char* name;
        std::vector<float> y, x;
        double u;
        float p;
        bool exact;
    };
    const std::vector<Case> cases = {
        {"D1 ties", {1, 2, 2, 3}, {2, 3, 4, 4, 5}, 17.5, 0.07854585349559784f, false},
        {"D2 one tie", {1, 2, 3}, {3, 4, 5}, 8.5, 0.12118327617645264f, false},
        {"D5 49 x 49", permuted(37, 98, 0, 49), permuted(37, 98, 49, 98), 1225, 0.8652103543281555f, true},
        {"D6 30 x 45", permuted(13, 75, 0, 30), permuted(13, 75, 30, 75), 705, 0.751191258430481f, true},
        {"D7 zeros", {0.0f, 1, 2}, {-0.0f, 3}, 3.5, 1.0f, false},
        {"D8 49 x 49 shifted", permuted(37, 98, 0, 49), permuted(37, 98, 49, 98, 20.5f), 1668,
         0.0007743328460492194f, true},
    };
    for (const Case& c : cases) {
        const RankSumTest r = test(c.x, c.y);
        EXPECT_EQ(r.u, c.u) << c.name;
        EXPECT_BITS(r.p, c.p) << c.name;
        EXPECT_EQ(r.exact, c.exact) << c.name;
    }
}

TEST(RankSumTest, FiftyPointsTakeTheNormalApproximation) {
    // D3 of the reference: no ties, but 50 points in one sample.
    std::vector<float> a, b;
    for (int i = 0; i < 10; ++i) a.push_back(static_cast<float>(i) * 0.5f);
    for (int j = 0; j < 50; ++j) b.push_back(static_cast<float>(j) + 0.25f);
    RankSumTest r = test(b, a);
    EXPECT_FALSE(r.exact);
    EXPECT_EQ(r.u, 475.0);
    EXPECT_BITS(r.p, 8.466114195471164e-06f);
    b.pop_back();
    EXPECT_TRUE(test(b, a).exact);
}

// Reference D4: 1000 integer values per sample with many ties.
TEST(RankSumTest, LongSamplesWithTies) {
    std::vector<float> a, b;
    for (int i = 0; i < 1000; ++i) a.push_back(static_cast<float>((i * 7919 + 13) % 23));
    for (int j = 0; j < 1000; ++j) b.push_back(static_cast<float>((j * 104729 + 7) % 29 - 2));
    const RankSumTest r = test(b, a);
    EXPECT_EQ(r.u, pairScanU(b, a));
    EXPECT_EQ(r.u, 534676.0);
    EXPECT_BITS(r.p, 0.00720643438398838f);
    EXPECT_FALSE(r.exact);
}

TEST(RankSumTest, SwappingSamplesMirrorsU) {
    std::mt19937 gen(99);
    std::uniform_int_distribution<int> value(0, 6);  // many ties
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<float> x(static_cast<std::size_t>(1 + trial % 13)), y(static_cast<std::size_t>(1 + trial % 7));
        for (float& v : x) v = static_cast<float>(value(gen));
        for (float& v : y) v = static_cast<float>(value(gen));
        const RankSumTest xy = test(x, y);
        const RankSumTest yx = test(y, x);
        EXPECT_EQ(xy.u, pairScanU(x, y));
        EXPECT_EQ(xy.u + yx.u, static_cast<double>(x.size() * y.size()));
        EXPECT_BITS(xy.p, yx.p);
        // Values keep their order under a shift, so nothing changes.
        std::vector<float> x2 = x, y2 = y;
        for (float& v : x2) v += 100.0f;
        for (float& v : y2) v += 100.0f;
        EXPECT_BITS(test(x2, y2).p, xy.p);
    }
}

TEST(RankSumTest, UndefinedCases) {
    // Empty samples are never read.
    RankSumTest r = rankSumTest(nullptr, 0, nullptr, 0, ws);
    EXPECT_TRUE(std::isnan(r.u));
    EXPECT_TRUE(std::isnan(r.p));
    const std::vector<float> y = {1, 2, 3};
    EXPECT_TRUE(std::isnan(rankSumTest(nullptr, 0, y.data(), 3, ws).p));
    EXPECT_TRUE(std::isnan(rankSumTest(y.data(), 3, nullptr, -1, ws).u));
    // A NaN in either sample.
    EXPECT_TRUE(std::isnan(test({1, kNaNf}, {0, 3}).p));
    EXPECT_TRUE(std::isnan(test({1, 2}, {kNaNf}).u));
    // Every value the same: no spread, p NaN; u is half the pairs.
    r = test({2, 2, 2}, {2, 2});
    EXPECT_EQ(r.u, 3.0);
    EXPECT_TRUE(std::isnan(r.p));
    EXPECT_FALSE(r.exact);
    r = test({-0.0f}, {0.0f});
    EXPECT_EQ(r.u, 0.5);
    EXPECT_TRUE(std::isnan(r.p));
    // U at its mean with ties gives z = 0 and p = 1.
    EXPECT_BITS(test({1, 3}, {2, 2}).p, 1.0f);
}

TEST(RankSumTest, ResultDoesNotDependOnTheWorkspace) {
    std::mt19937 gen(5);
    std::vector<float> x, y;
    randomSplit(gen, 12, 17, x, y);
    RankSumWorkspace fresh;
    const RankSumTest first = rankSumTest(x.data(), 12, y.data(), 17, fresh);
    std::vector<float> big(60);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<float>(i);
    (void)rankSumTest(big.data(), 40, big.data() + 40, 20, ws);
    (void)rankSumTest(big.data(), 20, big.data() + 20, 39, ws);
    const RankSumTest again = rankSumTest(x.data(), 12, y.data(), 17, ws);
    EXPECT_EQ(first.u, again.u);
    EXPECT_BITS(first.p, again.p);
    // The inputs are left alone.
    EXPECT_EQ(big[0], 0.0f);
    EXPECT_EQ(big[59], 59.0f);
}
