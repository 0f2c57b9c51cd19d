#include "signtest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "test.h"

// Up to 62 trials the tail count fits a 64-bit integer: one rounding to
// float (ties to even) and an exact power-of-two scaling give the expected
// value independently.  Many of these tails lie exactly halfway between two
// floats.
TEST(SignTest, ExactAgainstPascalsTriangle) {
    std::vector<std::uint64_t> row = {1};
    for (int n = 0; n <= 62; ++n) {
        if (n > 0) {
            std::vector<std::uint64_t> next(row.size() + 1, 0);
            for (std::size_t j = 0; j < row.size(); ++j) {
                next[j] += row[j];
                next[j + 1] += row[j];
            }
            row = next;
        }
        std::uint64_t tail = 0;
        for (int x = n; x >= 0; --x) {
            tail += row[static_cast<std::size_t>(x)];
            const float expected = std::ldexp(static_cast<float>(tail), -n);
            EXPECT_BITS(signTestP(n, x), expected) << "n = " << n << ", x = " << x;
        }
        EXPECT_BITS(signTestP(n, -1), 1.0f);
        EXPECT_BITS(signTestP(n, n + 1), 0.0f);
    }
}

TEST(SignTest, HandWorkedValues) {
    EXPECT_BITS(signTestP(0, 0), 1.0f);  // no trials: nothing can fall short
    EXPECT_BITS(signTestP(1, 1), 0.5f);
    EXPECT_BITS(signTestP(4, 3), 0.3125f);              // (4 + 1) / 16
    EXPECT_BITS(signTestP(10, 10), 1.0f / 1024.0f);     // one way in 1024
    EXPECT_BITS(signTestP(10, 8), 56.0f / 1024.0f);     // (45 + 10 + 1) / 1024
    EXPECT_BITS(signTestP(10, 3), 968.0f / 1024.0f);    // 1 - (1 + 10 + 45) / 1024
}

// Exact values from tests/reference/caseindices.py (math.comb sums over
// 2^n, rounded once to the nearest float).
TEST(SignTest, LongSeriesAgainstExactReference) {
    struct Case {
        int n, x;
        float p;
    };
    const Case cases[] = {
        {1000, 500, 0.512612521648407f},     {1000, 501, 0.487387478351593f},
        {1000, 530, 0.03101159818470478f},   {1000, 560, 8.252493717009202e-05f},
        {1000, 480, 0.9026168584823608f},    {1000, 650, 8.078155288339174e-22f},
        {1000, 690, 3.426989164695516e-34f}, {1000, 1000, 0.0f},
        {61, 40, 0.01020735688507557f},
        // Beyond the exact limit, in double.
        {4097, 2049, 0.5f}, {4097, 2100, 0.05551222339272499f}, {4097, 2300, 2.0391583404065538e-15f},
    };
    for (const Case& c : cases) EXPECT_BITS(signTestP(c.n, c.x), c.p) << "n = " << c.n << ", x = " << c.x;
}

// A subnormal result keeps only the multiples of 2^-149 a float has there;
// halfway cases go to the even multiple.
TEST(SignTest, SubnormalTails) {
    EXPECT_BITS(signTestP(149, 149), std::ldexp(1.0f, -149));
    EXPECT_BITS(signTestP(150, 150), 0.0f);
    EXPECT_BITS(signTestP(150, 149), std::ldexp(76.0f, -149));  // 151 / 2^150 = 75.5 x 2^-149
    EXPECT_BITS(signTestP(151, 150), std::ldexp(38.0f, -149));  // 152 / 2^151 = 38 x 2^-149
    EXPECT_GT(signTestP(140, 139), 0.0f);
    EXPECT_LT(signTestP(140, 139), 1e-38f);
}

TEST(SignTest, VeryLongSeriesStayFiniteAndOrdered) {
    const int n = 100000;
    float previous = 1.0f;
    for (int x = 49600; x <= 50800; x += 200) {
        const float p = signTestP(n, x);
        ASSERT_FALSE(std::isnan(p)) << x;
        EXPECT_LE(p, previous) << x;
        previous = p;
    }
    // Against the normal approximation with continuity correction.
    const double z = (50200 - 0.5 - n / 2.0) / std::sqrt(n / 4.0);
    EXPECT_NEAR(signTestP(n, 50200), 0.5 * std::erfc(z / std::sqrt(2.0)), 1e-4);
    EXPECT_NEAR(signTestP(n, 50000) + signTestP(n, 50001), 1.0, 1e-6);
}
