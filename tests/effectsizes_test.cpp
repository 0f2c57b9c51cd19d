#include "effectsizes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "kendall.h"
#include "mersenne.h"
#include "simulate.h"
#include "test.h"

namespace {
// One workspace for every call, as one worker reuses its own.
EffectSizeWorkspace ws;

bool sameBits(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

struct Out {
    float x, p;
};
Out run(void (*index)(int, int, const float*, float*, float*, EffectSizeWorkspace&), int na, int nb,
        const std::vector<float>& y) {
    Out o{};
    index(na, nb, y.data(), &o.x, &o.p, ws);
    return o;
}
Out runPnd(int na, int nb, const std::vector<float>& y, const NonOverlapTable* t = nullptr) {
    Out o{};
    pnd(na, nb, y.data(), &o.x, &o.p, t);
    return o;
}
Out runPncd(int na, int nb, const std::vector<float>& y, const NonOverlapTable* t = nullptr) {
    Out o{};
    pncd(na, nb, y.data(), &o.x, &o.p, ws, t);
    return o;
}
float runEcl(int na, int nb, const std::vector<float>& y) {
    float x = 0;
    ecl(na, nb, y.data(), &x, ws);
    return x;
}

// The triple sum term by term, every power and product rounded to float,
// each term added to the float numerator in one rounding.
float literalPValue(int nA, int nB, int k) {
    auto pw = [](int b, int e) { return static_cast<float>(std::pow(static_cast<double>(b), static_cast<double>(e))); };
    const int n = nA + nB;
    float num = 0.0f;
    for (int i = k; i <= nB; ++i)
        for (int m = 1; m <= n; ++m)
            for (int r = 1; r <= nA; ++r) {
                float t = comb(nA, r);
                t = pw(m - 1, nA - r) * t;
                t = comb(nB, i) * t;
                t = pw(n - m, i) * t;
                num = static_cast<float>(num + static_cast<double>(pw(m, nB - i)) * t);
            }
    return num / pw(n, n);
}
}  // namespace

TEST(Pltau, PublishedExamples) {
    // Significant baseline trend (p = 0.027486): slope 1 removed, S = -15.
    Out o = run(pltau, 5, 3, {1, 2, 3, 4, 5, 5, 6, 7});
    EXPECT_EQ(o.x, -1.0f);
    EXPECT_NEAR(o.p, 0.013535, 5e-7);
    // Trend not significant (p = 0.220671): tau-b of the raw series.
    o = run(pltau, 5, 3, {1, 3, 2, 5, 4, 7, 6, 8});
    EXPECT_NEAR(o.x, 0.731925, 5e-7);  // 15 / sqrt(420)
    EXPECT_NEAR(o.p, 0.036888, 5e-7);
    o = run(pltau, 5, 5, {1, 3, 2, 5, 4, 7, 6, 8, 10, 9});
    EXPECT_NEAR(o.x, 0.745356, 5e-7);  // 25 / sqrt(45 * 25), not 1
    EXPECT_NEAR(o.p, 0.012186, 5e-7);
}

TEST(Pltau, ShortBaselinesAreNeverCorrected) {
    // Four rising points give p = 0.089429 at best: no correction, so the
    // series is not flattened (removing slope 1 would tie every value).
    Out o = run(pltau, 4, 3, {1, 2, 3, 4, 5, 6, 7});
    EXPECT_NEAR(o.x, 0.755929, 5e-7);  // 12 / sqrt(21 * 12)
    // One or two baseline points: NaN trend test, so the raw series is used
    // (removing slope 1 would give 0, 0 | 2, 2, 2 and tau 1).
    o = run(pltau, 2, 3, {1, 2, 5, 6, 7});
    EXPECT_NEAR(o.x, 0.774597, 5e-7);  // 6 / sqrt(10 * 6)
    o = run(pltau, 1, 2, {1, 5, 6});
    EXPECT_NEAR(o.x, 0.816497, 5e-7);  // 2 / sqrt(3 * 2)
    // A constant baseline has p = 0 and Theil-Sen slope 0: nothing changes.
    const std::vector<float> flat{3, 3, 3, 4, 5, 2};
    o = run(pltau, 3, 3, flat);
    const std::vector<float> d{0, 0, 0, 1, 1, 1};
    float tau, s, z, prob;
    kendl2(flat.data(), d.data(), 6, &tau, &s, &z, &prob, ws.kendall);
    EXPECT_EQ(o.x, tau);
    EXPECT_EQ(o.p, prob);
}

TEST(Tauu, PublishedExamples) {
    Out o = run(tauu, 3, 2, {1, 2, 3, 4, 0});  // S_AB = 0, S_A = 3
    EXPECT_EQ(o.x, -0.5f);
    EXPECT_NEAR(o.p, 0.613354, 5e-7);
    o = run(tauu, 5, 5, {5, 4, 3, 2, 1, 6, 7, 8, 9, 10});  // S = 25 + 10
    EXPECT_FLOAT_EQ(o.x, 1.4f);
    EXPECT_NEAR(o.p, 0.001088, 5e-7);
    o = run(tauu, 5, 5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});  // S = 25 - 10
    EXPECT_FLOAT_EQ(o.x, 0.6f);
}

TEST(Mpd, NoiselessAndConstantDifferences) {
    const std::vector<float> y{1, 2, 3, 14, 17, 20};
    float d, r;
    mpd(3, 3, y.data(), &d, &r, ws);  // differences 10, 12, 14: mean 12, variance 4
    EXPECT_EQ(d, 6.0f);
    EXPECT_FLOAT_EQ(r, 0.94868326f);  // 6 / sqrt(36 + 4)

    const std::vector<float> flat{1, 2, 3, 14, 15, 16};  // differences all 10
    mpd(3, 3, flat.data(), &d, &r, ws);
    EXPECT_EQ(d, INFINITY);
    EXPECT_TRUE(std::isnan(r));
    const std::vector<float> line{1, 2, 3, 4, 5, 6};  // differences all 0
    mpd(3, 3, line.data(), &d, &r, ws);
    EXPECT_TRUE(std::isnan(d));
    EXPECT_TRUE(std::isnan(r));
}

TEST(Mpd, SignsBoundsAndDegeneratePhases) {
    const std::vector<float> down{1, 2, 3, -14, -17, -20};
    float d, r;
    mpd(3, 3, down.data(), &d, &r, ws);
    EXPECT_LT(d, 0.0f);
    EXPECT_LT(r, 0.0f);
    // hand-computed: differences 1e6 and 1e6 + 1/16, d = 1e6 / 0.0625 = 1.6e7,
    // and sqrt(d^2 + 4) rounds to d: r is exactly 1.
    const std::vector<float> huge{0, 0, 1e6f, 1e6f + 0.0625f};
    mpd(2, 2, huge.data(), &d, &r, ws);
    EXPECT_EQ(d, 1.6e7f);
    EXPECT_EQ(r, 1.0f);

    Rng rng;
    sgenrand(rng, 7487);
    std::vector<float> y(9);
    for (int it = 0; it < 200; ++it) {
        simABTimeSeries(rng, modelOf(4, 5, 0.2f, 1.0f, 0.0f, 1, 1, 0.3f, 0), y.data());
        mpd(4, 5, y.data(), &d, &r, ws);
        ASSERT_LE(std::fabs(r), 1.0f);
        ASSERT_EQ(std::signbit(d), std::signbit(r));
    }

    mpd(1, 3, std::vector<float>{1, 2, 3, 4}.data(), &d, &r, ws);  // trend 0 / 0
    EXPECT_TRUE(std::isnan(d) && std::isnan(r));
    mpd(3, 1, std::vector<float>{1, 2, 3, 9}.data(), &d, &r, ws);  // variance of one value
    EXPECT_TRUE(std::isnan(d) && std::isnan(r));
}

TEST(Ecl, PublishedExamples) {
    // Odd baseline, middle point left out: slope 2.5 / 3, intercept 1.75,
    // line 6.75, 7.58, 8.42, 9.25: only 9 and 10 above.
    EXPECT_EQ(runEcl(5, 4, {2, 4, 3, 6, 5, 9, 5, 8, 10}), 0.0f);
    // Even baseline: slope 0.75, intercept 1.875, line 5.625, 6.375.
    EXPECT_EQ(runEcl(4, 2, {2, 4, 3, 6, 9, 5}), 0.0f);
    // The ignored middle value 9; both B points lie exactly on y = t.
    EXPECT_EQ(runEcl(3, 2, {1, 9, 3, 4, 5}), -1.0f);
    // nA = 2: slope y1 - y0 = 2, intercept 2 y0 - y1 = -1: line 5, 7, 9;
    // 5 on the line is not counted, 7.5 is above, 8.5 below.
    EXPECT_FLOAT_EQ(runEcl(2, 3, {1, 3, 5, 7.5f, 8.5f}), -1.0f / 3.0f);
    EXPECT_EQ(runEcl(2, 2, {1, 3, 6, 8}), 1.0f);
}

TEST(Ecl, OnePointBaselineHasNoLine) {
    EXPECT_TRUE(std::isnan(runEcl(1, 3, {1, 5, 6, 7})));
    EXPECT_TRUE(std::isnan(runEcl(1, 1, {2, 1})));
    EXPECT_TRUE(std::isnan(runEcl(0, 2, {1, 2})));
}

TEST(NonOverlap, FactorialAndComb) {
    EXPECT_EQ(factorial(0), 1.0f);
    EXPECT_EQ(factorial(-4), 1.0f);
    EXPECT_EQ(factorial(13), 6227020800.0f);  // last exact one
    EXPECT_NEAR(factorial(34), 2.9523e38f, 1e34f);
    EXPECT_TRUE(std::isinf(factorial(35)));
    EXPECT_EQ(comb(5, 2), 10.0f);
    EXPECT_EQ(comb(12, 0), 1.0f);
    EXPECT_EQ(comb(12, 12), 1.0f);
    EXPECT_NEAR(comb(26, 13), 10400600.0f, 2.0f);
}

TEST(NonOverlap, PublishedPValues) {
    EXPECT_EQ(pndPValue(1, 1, 1), 0.25f);
    EXPECT_EQ(pndPValue(1, 1, 0), 1.0f);
    EXPECT_EQ(pndPValue(2, 2, 2), 0.1015625f);            // 26 / 256
    EXPECT_FLOAT_EQ(pndPValue(3, 3, 3), 0.030928498f);    // 1443 / 46656
    EXPECT_EQ(pndPValue(4, 4, 4), 148996.0f / 16777216);  // exact in float
    EXPECT_NEAR(pndPValue(5, 5, 5), 0.0024754, 5e-8);
    EXPECT_NEAR(pndPValue(5, 5, 3), 0.05888981, 5e-9);
}

// Reference values from exact rational arithmetic over the closed form.
TEST(NonOverlap, LongDesignsGiveTheExactProbability) {
    EXPECT_FLOAT_EQ(pndPValue(14, 13, 13), 3.136401462606809e-08f);
    EXPECT_EQ(pndPValue(14, 13, 0), 1.0f);
    EXPECT_FLOAT_EQ(pndPValue(20, 20, 5), 0.01790854423823238f);
    EXPECT_FLOAT_EQ(pndPValue(20, 20, 20), 4.570996289915624e-12f);
    EXPECT_FLOAT_EQ(pndPValue(30, 30, 10), 0.00029920479456104485f);
    EXPECT_FLOAT_EQ(pndPValue(50, 60, 3), 0.12665179630899753f);
    // The longest phases the dialogue accepts.
    const NonOverlapTable table(1000, 1000);
    for (int k = 0; k <= 1000; ++k) {
        ASSERT_TRUE(table.p(k) >= 0.0f && table.p(k) <= 1.0f) << k;
        if (k > 0) {
            ASSERT_LE(table.p(k), table.p(k - 1)) << k;
        }
    }
    EXPECT_EQ(table.p(0), 1.0f);
}

TEST(NonOverlap, NoPointAboveGivesOne) {
    for (int na = 1; na < 26; ++na) {
        for (int nb = 1; na + nb <= 26; ++nb) {
            const float p = pndPValue(na, nb, 0);
            if (na + nb <= 8) {
                EXPECT_EQ(p, 1.0f) << na << "," << nb;
            } else {
                EXPECT_NEAR(p, 1.0f, 1e-5) << na << "," << nb;
            }
        }
    }
}

TEST(NonOverlap, PndCountsStrictlyAboveBaselineMaximum) {
    Out o = runPnd(2, 2, {1, 2, 3, 4});
    EXPECT_EQ(o.x, 1.0f);
    EXPECT_EQ(o.p, 0.1015625f);
    // Tied baseline maximum 5; B points equal to 5 do not count.
    o = runPnd(3, 4, {2, 5, 5, 5, 6, 5, 7});
    EXPECT_EQ(o.x, 0.5f);
    EXPECT_EQ(o.p, pndPValue(3, 4, 2));
    o = runPnd(3, 3, {1, 9, 3, 4, 5, 6});
    EXPECT_EQ(o.x, 0.0f);
    EXPECT_EQ(o.p, 1.0f);
    std::vector<float> long27(27, 0.0f);
    for (int i = 14; i < 27; ++i) long27[static_cast<std::size_t>(i)] = 1.0f;
    o = runPnd(14, 13, long27);
    EXPECT_EQ(o.x, 1.0f);
    EXPECT_FLOAT_EQ(o.p, 3.136401462606809e-08f);
    std::vector<float> long40(40, 0.0f);
    for (int i = 20; i < 40; ++i) long40[static_cast<std::size_t>(i)] = static_cast<float>(i % 3) - 1.0f;
    o = runPnd(20, 20, long40);  // 7 of 20 above
    EXPECT_EQ(o.x, 0.35f);
    EXPECT_EQ(o.p, pndPValue(20, 20, 7));
    EXPECT_TRUE(o.p > 0.0f && o.p < 0.05f);
}

TEST(NonOverlap, PncdRemovesBaselineTrend) {
    const std::vector<float> y{1, 2, 3, 4, 5, 6};
    Out o = runPncd(3, 3, y);  // corrected series all zeros
    EXPECT_EQ(o.x, 0.0f);
    EXPECT_EQ(o.p, 1.0f);
    o = runPnd(3, 3, y);
    EXPECT_EQ(o.x, 1.0f);
    EXPECT_FLOAT_EQ(o.p, 0.030928498f);
    // Falling baseline 9, 7, 5 (trend -2): corrected 11, 11, 11 | 12, 9, 13.
    o = runPncd(3, 3, {9, 7, 5, 4, -1, 1});
    EXPECT_FLOAT_EQ(o.x, 2.0f / 3.0f);
    EXPECT_EQ(o.p, pndPValue(3, 3, 2));
    // One baseline point: NaN trend, nothing compares above, k = 0.
    o = runPncd(1, 3, {1, 5, 6, 7});
    EXPECT_EQ(o.x, 0.0f);
    EXPECT_EQ(o.p, 1.0f);
}

TEST(NonOverlap, PValuesFollowTheTermByTermSum) {
    for (int na = 1; na <= 25; ++na)
        for (int nb = 1; na + nb <= 26; ++nb)
            for (int k = 0; k <= nb; ++k)
                ASSERT_TRUE(sameBits(pndPValue(na, nb, k), literalPValue(na, nb, k)))
                    << na << "," << nb << "," << k;
}

TEST(NonOverlap, TableMatchesDirectValues) {
    const int lengths[] = {1, 2, 3, 5, 8, 13, 20, 27, 34};
    for (int na = 1; na <= 36; ++na) {
        for (int nb : lengths) {
            const NonOverlapTable table(na, nb);
            EXPECT_EQ(table.nA(), na);
            EXPECT_EQ(table.nB(), nb);
            for (int k = 0; k <= nb; ++k)
                ASSERT_TRUE(sameBits(table.p(k), pndPValue(na, nb, k))) << na << "," << nb << "," << k;
        }
    }
}

TEST(NonOverlap, TableGivesSameResultsAsDirectComputation) {
    Rng rng;
    sgenrand(rng, 7487);
    const NonOverlapTable t55(5, 5), wrong(3, 4);
    std::vector<float> y(10);
    for (int it = 0; it < 200; ++it) {
        simABTimeSeries(rng, modelOf(5, 5, 0.3f, 1.0f, 0.2f, 1, 1, 0.2f, 0), y.data());
        const Out direct = runPnd(5, 5, y), viaTable = runPnd(5, 5, y, &t55),
                  otherLengths = runPnd(5, 5, y, &wrong);
        ASSERT_TRUE(sameBits(direct.x, viaTable.x) && sameBits(direct.p, viaTable.p));
        ASSERT_TRUE(sameBits(direct.x, otherLengths.x) && sameBits(direct.p, otherLengths.p));
        const Out c = runPncd(5, 5, y), ct = runPncd(5, 5, y, &t55);
        ASSERT_TRUE(sameBits(c.x, ct.x) && sameBits(c.p, ct.p));
    }
}
