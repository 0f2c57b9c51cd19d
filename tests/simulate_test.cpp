#include "simulate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "rnorm.h"
#include "test.h"

namespace {
Rng seeded() {
    Rng rng;
    sgenrand(rng, 7487);
    return rng;
}

// The first `count` standard deviates after sgenrand(7487).
std::vector<float> deviates(int count) {
    Rng rng = seeded();
    std::vector<float> d(static_cast<std::size_t>(count));
    for (auto& v : d) v = rnorm(rng, 0, 1);
    return d;
}

// Runs one series into a buffer with guard entries behind the n values.
std::vector<float> series(Rng& rng, int nNA, int nNB, float b1, float b2, float b3, float sa,
                          float sb, float ar, float ma, int n) {
    std::vector<float> y(static_cast<std::size_t>(n) + 4, 123.0f);
    simABTimeSeries(rng, modelOf(nNA, nNB, b1, b2, b3, sa, sb, ar, ma), y.data());
    for (std::size_t i = static_cast<std::size_t>(n); i < y.size(); ++i) EXPECT_EQ(y[i], 123.0f);
    y.resize(static_cast<std::size_t>(n));
    return y;
}
}  // namespace

TEST(Simulate, NoiselessModelStillConsumesDraws) {
    Rng rng = seeded();
    EXPECT_EQ(series(rng, 3, 3, 1, 10, 2, 0, 0, 0, 0, 6),
              (std::vector<float>{1, 2, 3, 14, 17, 20}));
    EXPECT_EQ(rng.nNormals, 57U);  // white noise: n + 51
    EXPECT_EQ(seriesDrawCount(3, 3, 0.0f), 57);

    Rng ar = seeded();
    series(ar, 3, 3, 1, 10, 2, 0, 0, 0.3f, 0, 6);
    EXPECT_EQ(ar.nNormals, 56U);  // autoregressive: n + 50
    EXPECT_EQ(seriesDrawCount(3, 3, 0.3f), 56);

    Rng nanAr = seeded();  // a NaN coefficient is non-zero: AR model
    series(nanAr, 3, 3, 1, 10, 2, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0, 6);
    EXPECT_EQ(nanAr.nNormals, 56U);
}

TEST(Simulate, EmptyOrNegativePhases) {
    Rng rng = seeded();
    EXPECT_EQ(series(rng, 3, 0, 1, 10, 2, 0, 0, 0, 0, 3), (std::vector<float>{1, 2, 3}));
    // Only phase B: slope-change time t - 1.
    EXPECT_EQ(series(rng, 0, 3, 1, 10, 2, 0, 0, 0, 0, 3), (std::vector<float>{11, 14, 17}));
    // A negative length counts as 0.
    Rng neg = seeded();
    EXPECT_EQ(series(neg, -3, 2, 1, 10, 2, 0, 0, 0, 0, 2), (std::vector<float>{11, 14}));
    EXPECT_EQ(neg.nNormals, 53U);
    EXPECT_EQ(seriesDrawCount(-3, 2, 0.0f), 53);
    Rng none = seeded();
    series(none, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0);
    EXPECT_EQ(none.nNormals, 51U);
}

TEST(Simulate, FirstValueAfterBurnIn) {
    const std::vector<float> d = deviates(52);
    EXPECT_NEAR(d[51], -1.59251, 5e-6);  // published 52nd deviate
    for (auto [na, nb] : {std::pair{1, 0}, std::pair{3, 3}, std::pair{10, 20}}) {
        Rng white = seeded();
        EXPECT_EQ(series(white, na, nb, 0, 0, 0, 1, 1, 0, 0, na + nb)[0], d[51]);
        Rng ar = seeded();
        EXPECT_NEAR(series(ar, na, nb, 0, 0, 0, 1, 1, 0.5f, 0, na + nb)[0], -0.408035, 5e-7);
    }
}

TEST(Simulate, AutoregressiveModelIgnoresMovingAverageCoefficient) {
    Rng a = seeded(), b = seeded();
    EXPECT_EQ(series(a, 5, 7, 0.5f, 2, -1, 1.5f, 0.7f, 0.5f, 0.5f, 12),
              series(b, 5, 7, 0.5f, 2, -1, 1.5f, 0.7f, 0.5f, 0.0f, 12));
    EXPECT_TRUE(a == b);
}

TEST(Simulate, ErrorProcessesKeepOnlyValuesAfterBurnIn) {
    const int n = 8;
    const std::vector<float> d = deviates(n + 51);

    Rng rng = seeded();
    float z[n];
    simAR1(rng, 0.7f, n, z);
    EXPECT_EQ(rng.nNormals, static_cast<std::uint64_t>(n + 50));
    float e = d[0];
    for (int i = 1; i < n + 50; ++i) {
        e = 0.7f * e + d[static_cast<std::size_t>(i)];
        if (i >= 50) {
            EXPECT_EQ(z[i - 50], e) << "AR point " << i - 50;
        }
    }

    Rng rng2 = seeded();
    simMA1(rng2, 0.4f, n, z);
    EXPECT_EQ(rng2.nNormals, static_cast<std::uint64_t>(n + 51));
    // e_t = a_t - theta * a_(t-1): the first kept value pairs deviates 51 and 50.
    for (int j = 0; j < n; ++j) {
        const double a2 = d[static_cast<std::size_t>(j + 51)], a1 = d[static_cast<std::size_t>(j + 50)];
        EXPECT_EQ(z[j], static_cast<float>(a2 - static_cast<double>(0.4f) * a1)) << "MA point " << j;
    }
}

TEST(Simulate, PhaseScalesMultiplyTheErrors) {
    Rng unit = seeded(), scaled = seeded();
    const std::vector<float> u = series(unit, 4, 5, 0, 0, 0, 1, 1, 0.6f, 0, 9);
    const std::vector<float> s = series(scaled, 4, 5, 0, 0, 0, 2, 0.5f, 0.6f, 0, 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(s[static_cast<std::size_t>(i)], u[static_cast<std::size_t>(i)] * (i < 4 ? 2.0f : 0.5f));
}

TEST(Simulate, OddDrawCountHandsCachedDeviateToNextSeries) {
    const std::vector<float> d = deviates(105);
    Rng rng = seeded();
    series(rng, 1, 1, 0, 0, 0, 1, 1, 0, 0, 2);  // 53 draws: one deviate stays cached
    EXPECT_EQ(rng.use_last, 1);
    // The next series' first kept value is overall deviate 53 + 52.
    EXPECT_EQ(series(rng, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1)[0], d[104]);
}
