#include "kendall.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {
KendallWorkspace kendallWs;
TheilWorkspace theilWs;

struct Kendall {
    float tau, s, z, prob;
};

Kendall k2(const std::vector<float>& a, const std::vector<float>& b) {
    Kendall r{};
    kendl2(a.data(), b.data(), static_cast<int>(a.size()), &r.tau, &r.s, &r.z, &r.prob, kendallWs);
    return r;
}

void expectSame(float a, float b) {
    if (std::isnan(a) || std::isnan(b))
        EXPECT_TRUE(std::isnan(a) && std::isnan(b)) << a << " vs " << b;
    else
        EXPECT_EQ(a, b);
}
}  // namespace

TEST(Erfcc, PublishedValues) {
    // Six decimals from the published approximation.
    EXPECT_EQ(erfcc(0.0f), 1.0f);
    EXPECT_NEAR(erfcc(1.0f), 0.157299, 5e-7);
    EXPECT_NEAR(erfcc(-1.0f), 1.842701, 5e-7);
    EXPECT_NEAR(erfcc(2.0f), 0.004678, 5e-7);
    EXPECT_EQ(erfcc(-1.0f), static_cast<float>(2.0 - erfcc(1.0f)));
    EXPECT_EQ(erfcc(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(erfcc(-std::numeric_limits<float>::infinity()), 2.0f);
    // Within the fit's 1.2e-7 fractional error of the true function.
    for (float x = -3.0f; x <= 3.0f; x += 0.125f)
        EXPECT_NEAR(erfcc(x), std::erfc(static_cast<double>(x)), 1.3e-7 * std::erfc(static_cast<double>(x)) + 1e-7) << x;
}

TEST(Kendl2, PublishedExamples) {
    // Ties in data2: two groups of 2, svar = (156 - 36) / 18.
    Kendall r = k2({1, 2, 3, 4}, {0, 0, 1, 1});
    EXPECT_EQ(r.s, 4.0f);
    EXPECT_NEAR(r.tau, 0.816497, 5e-7);
    EXPECT_NEAR(r.z, 1.161895, 5e-7);
    EXPECT_NEAR(r.prob, 0.245278, 5e-7);

    // No ties: svar = 6 * 5 * 17 / 18.
    r = k2({1, 2, 3, 4, 5, 6}, {3, 1, 2, 5, 4, 6});
    EXPECT_EQ(r.s, 9.0f);
    EXPECT_FLOAT_EQ(r.tau, 0.6f);
    EXPECT_NEAR(r.z, 1.502938, 5e-7);
    EXPECT_NEAR(r.prob, 0.132855, 5e-7);

    // S = 0: the continuity correction makes z negative.
    r = k2({1, 2, 3, 4}, {1, 4, 3, 2});
    EXPECT_EQ(r.s, 0.0f);
    EXPECT_EQ(r.tau, 0.0f);
    EXPECT_NEAR(r.z, -0.339683, 5e-7);
    EXPECT_NEAR(r.prob, 0.734095, 5e-7);
}

// Tie groups 3, 2, 4 in data1: sum1 = 66 + 18 + 156 = 240, so
// svar = (10 * 9 * 25 - 240) / 18 = 111.666667; S = 45 - 10 tied pairs = 35.
TEST(Kendl2, TieGroupsCorrectVariance) {
    const Kendall r = k2({4, 1, 3, 4, 1, 2, 4, 3, 1, 4}, {7, 1, 5, 8, 2, 4, 9, 6, 3, 10});
    EXPECT_EQ(r.s, 35.0f);
    EXPECT_NEAR(r.tau, 0.881917, 5e-7);  // 35 / sqrt(35 * 45)
    EXPECT_NEAR(r.z, 34.0 / std::sqrt(111.666667), 2e-6);
    EXPECT_NEAR(r.prob, 0.00129318, 5e-9);
}

TEST(Kendl2, SymmetricAndOddInSecondArgument) {
    std::mt19937 gen(17);
    for (int n : {3, 5, 8, 13, 21}) {
        for (int rep = 0; rep < 20; ++rep) {
            std::vector<float> a(static_cast<std::size_t>(n)), b(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) {  // few distinct values: many ties
                a[static_cast<std::size_t>(i)] = static_cast<float>(gen() % 4) * 1.5f + 1.0f;
                b[static_cast<std::size_t>(i)] = static_cast<float>(gen() % 5) - 7.25f;
            }
            const Kendall ab = k2(a, b), ba = k2(b, a);
            expectSame(ab.s, ba.s);
            expectSame(ab.tau, ba.tau);
            expectSame(ab.z, ba.z);
            expectSame(ab.prob, ba.prob);
            std::vector<float> negB = b;
            for (auto& v : negB) v = -v;
            const Kendall neg = k2(a, negB);
            expectSame(neg.s, -ab.s);
            expectSame(neg.tau, -ab.tau);
            expectSame(neg.z, ab.z);
            expectSame(neg.prob, ab.prob);
        }
    }
}

TEST(Kendl2, DegenerateInputs) {
    // n = 2: the third variance term divides by zero: svar, z, prob NaN.
    Kendall r = k2({1, 2}, {3, 5});
    EXPECT_EQ(r.s, 1.0f);
    EXPECT_EQ(r.tau, 1.0f);
    EXPECT_TRUE(std::isnan(r.z));
    EXPECT_TRUE(std::isnan(r.prob));
    r = k2({1}, {3});
    EXPECT_EQ(r.s, 0.0f);
    EXPECT_TRUE(std::isnan(r.tau));
    EXPECT_TRUE(std::isnan(r.prob));
    // A constant variable against untied data: svar exactly 0, z = -inf, p = 0.
    r = k2({2, 2, 2, 2}, {1, 2, 3, 4});
    EXPECT_TRUE(std::isnan(r.tau));
    EXPECT_EQ(r.z, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(r.prob, 0.0f);
}

TEST(Kendl1, SameTauWithoutTiesButUntiedVariance) {
    const float a[] = {1, 2, 3, 4, 5, 6}, b[] = {3, 1, 2, 5, 4, 6};
    float tau, z, prob;
    kendl1(a, b, 6, &tau, &z, &prob);
    const Kendall r = k2({1, 2, 3, 4, 5, 6}, {3, 1, 2, 5, 4, 6});
    EXPECT_EQ(tau, r.tau);
    // hand-computed: svar = 34 / 270, z = 0.6 / sqrt(svar) = 1.690806
    EXPECT_NEAR(z, 1.690806, 2e-6);
    EXPECT_NEAR(prob, 0.0908740, 2e-6);
    EXPECT_NE(z, r.z);
}

TEST(Theil, PublishedExampleAndExactLine) {
    float intercept, slope;
    const float x[] = {1, 2, 3, 4}, y[] = {1, 3, 2, 5};
    theil(x, y, 4, &intercept, &slope, theilWs);
    EXPECT_NEAR(slope, 1.166667, 5e-7);      // (1 + 1.333333) / 2
    EXPECT_NEAR(intercept, 0.083333, 5e-7);  // median of -0.166667, 0.666667, -1.5, 0.333333

    const float lx[] = {1, 2, 3, 4, 5}, ly[] = {2.5f, 3, 3.5f, 4, 4.5f};
    theil(lx, ly, 5, &intercept, &slope, theilWs);
    EXPECT_EQ(slope, 0.5f);
    EXPECT_EQ(intercept, 2.0f);

    const float oy[] = {1, 2, 3, 4, 100};  // one outlier moves neither median
    theil(lx, oy, 5, &intercept, &slope, theilWs);
    EXPECT_EQ(slope, 1.0f);
    EXPECT_EQ(intercept, 0.0f);
}

TEST(Theil, TwoPointsAndFewer) {
    float intercept, slope;
    const float x[] = {1, 3}, y[] = {2, 8};
    theil(x, y, 2, &intercept, &slope, theilWs);
    EXPECT_EQ(slope, 3.0f);
    EXPECT_EQ(intercept, -1.0f);  // mean of 2 - 3 and 8 - 9
    theil(x, y, 1, &intercept, &slope, theilWs);
    EXPECT_TRUE(std::isnan(slope));
}
