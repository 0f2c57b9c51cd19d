#include "rnorm.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "test.h"

namespace {

Rng seeded() {
    Rng rng;
    sgenrand(rng, 7487);
    return rng;
}
}  // namespace

TEST(Rnorm, FirstDeviatesAfterSeed7487) {
    Rng rng = seeded();
    // Published values, six significant digits.
    EXPECT_NEAR(rnorm(rng, 0, 1), 0.119879, 5e-7);
    const std::uint64_t afterFirst = rng.nUniforms;
    EXPECT_EQ(rng.use_last, 1);
    EXPECT_NEAR(rnorm(rng, 0, 1), -1.12845, 5e-6);
    EXPECT_EQ(rng.nUniforms, afterFirst);  // the cached partner costs nothing
    EXPECT_EQ(rng.use_last, 0);
    EXPECT_NEAR(rnorm(rng, 0, 1), 1.06148, 5e-6);
    EXPECT_NEAR(rnorm(rng, 0, 1), 0.857817, 5e-7);
    EXPECT_EQ(rng.nNormals, 4U);
    EXPECT_EQ(rng.nUniforms % 2, 0U);
    EXPECT_GE(rng.nUniforms, 4U);
}

// The cached partner is returned next, scaled by the call that returns it,
// and survives a reseed; a zero scale still uses up the deviate.
TEST(Rnorm, CachedPartnerHandling) {
    Rng ref = seeded();
    float d[3];
    for (float& v : d) v = rnorm(ref, 0, 1);

    Rng rng = seeded();
    rnorm(rng, 0, 1);
    EXPECT_EQ(rnorm(rng, 10.0f, 2.0f), static_cast<float>(10.0 + 2.0 * d[1]));

    rng = seeded();
    EXPECT_EQ(rnorm(rng, 3.25f, 0.0f), 3.25f);
    EXPECT_EQ(rnorm(rng, -7.5f, 0.0f), -7.5f);
    EXPECT_EQ(rnorm(rng, 0, 1), d[2]);

    rng = seeded();
    rnorm(rng, 0, 1);
    sgenrand(rng, 7487);
    EXPECT_EQ(rnorm(rng, 0, 1), d[1]);
    EXPECT_EQ(rnorm(rng, 0, 1), d[0]);  // then the fresh stream starts over
}

// Boundary words of the conversion: 2^31 - 1 rounds up to 2^31, so no
// coordinate is ever exactly 0; from 2^32 - 128 on the word rounds to 2^32.
TEST(Rnorm, PolarCoordinateAtBoundaryWords) {
    EXPECT_EQ(polarCoordinate(0U), -1.0f);
    EXPECT_EQ(polarCoordinate(1U), -1.0f);  // -1 + 4.7e-10 rounds to -1
    // hand-computed: 2 * 2^31 / (2^32 - 1) - 1 = 1 / (2^32 - 1), nearest float 2^-32
    EXPECT_EQ(polarCoordinate(0x7FFFFFFFU), std::ldexp(1.0f, -32));
    EXPECT_EQ(polarCoordinate(0x80000000U), std::ldexp(1.0f, -32));
    // 2^32 - 129 rounds to 2^32 - 256: 1 - 510 / (2^32 - 1) = 1 - 1.99 * 2^-24, nearest 1 - 2^-23
    EXPECT_EQ(polarCoordinate(0xFFFFFF7FU), 1.0f - std::ldexp(1.0f, -23));
    EXPECT_EQ(polarCoordinate(0xFFFFFF80U), 1.0f);  // tie, to even: 2^32
    EXPECT_EQ(polarCoordinate(0xFFFFFFFFU), 1.0f);
    EXPECT_EQ(polarCoordinate(0xC0000000U), 0.5f);
    EXPECT_EQ(polarCoordinate(0x40000000U), -0.5f);
}

TEST(Rnorm, PolarRadiusRoundsOnce) {
    EXPECT_EQ(polarRadius(1.0f, 0.0f), 1.0f);
    EXPECT_EQ(polarRadius(-1.0f, -1.0f), 2.0f);
    EXPECT_EQ(polarRadius(0.5f, -0.5f), 0.5f);
    // 1 + 2^-64 is not representable: the attempt lands exactly on 1.
    EXPECT_EQ(polarRadius(1.0f, std::ldexp(1.0f, -32)), 1.0f);
    // (1 - 2^-23)^2 + 2^-64 = 1 - 2^-22 + 2^-46 + 2^-64, nearest float 1 - 2^-22
    EXPECT_EQ(polarRadius(1.0f - std::ldexp(1.0f, -23), std::ldexp(1.0f, -32)),
              1.0f - std::ldexp(1.0f, -22));
}

TEST(Rnorm, AttemptsWithRadiusOneOrMoreAreRejected) {
    // attempt 1: (1, -1), w = 2; attempt 2: (1, 2^-32), w rounds to exactly 1;
    // attempt 3: (0.5, -0.5), w = 0.5, f = sqrt(4 ln 2) = 1.6651093.
    Rng rng = scriptedRng({0xFFFFFFFFU, 0U, 0xFFFFFF80U, 0x80000000U, 0xC0000000U, 0x40000000U});
    const float y1 = rnorm(rng, 0, 1);
    EXPECT_EQ(rng.nUniforms, 6U);
    EXPECT_FLOAT_EQ(y1, 0.83255464f);  // 0.5 * 1.6651093
    EXPECT_EQ(rnorm(rng, 0, 1), -y1);
    EXPECT_EQ(rng.nUniforms, 6U);

    // Just below 1 is accepted at the first attempt and gives a tiny deviate.
    Rng edge = scriptedRng({0xFFFFFF7FU, 0x80000000U});
    const float small = rnorm(edge, 0, 1);
    EXPECT_EQ(edge.nUniforms, 2U);
    EXPECT_FLOAT_EQ(small, 6.905340e-4f);  // sqrt(-2 ln(1 - 2^-22) / (1 - 2^-22)) * (1 - 2^-23)
}

// Skipping and batch filling must leave exactly the state of the same number
// of single draws, also for odd counts, batch boundaries and a pending cache.
TEST(Rnorm, BulkDrawsMatchRepeatedDraws) {
    const int counts[] = {0, 1, 2, 3, 7, 51, 63, 64, 65, 128, 129, 1001};
    for (int pre = 0; pre < 3; ++pre) {  // pre = 1 leaves a cached deviate pending
        for (int n : counts) {
            SCOPED_TRACE(testing::Message() << "pre " << pre << " n " << n);
            Rng drawn = seeded();
            for (int i = 0; i < pre; ++i) rnorm(drawn, 0, 1);
            Rng skipped = drawn, filled = drawn;
            std::vector<float> out(static_cast<std::size_t>(n) + 1, 99.0f);
            fillNormals(filled, out.data(), n);
            skipNormals(skipped, static_cast<std::uint64_t>(n));
            for (int i = 0; i < n; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], rnorm(drawn, 0, 1)) << i;
            EXPECT_EQ(out.back(), 99.0f);
            ASSERT_TRUE(skipped == drawn);
            ASSERT_TRUE(filled == drawn);
            EXPECT_EQ(drawn.nNormals, static_cast<std::uint64_t>(pre + n));
            const float next = rnorm(drawn, 0, 1);
            EXPECT_EQ(rnorm(skipped, 0, 1), next);
            EXPECT_EQ(rnorm(filled, 0, 1), next);
        }
    }
}

// Long skips take whole blocks of attempts at once; they must stop on the
// same attempt as single draws, from any offset into a block (including an
// odd one, where attempts straddle blocks) and with a cached deviate pending.
TEST(Rnorm, LongSkipsMatchRepeatedDraws) {
    for (const int offset : {0, 1, 2, 311, 622, 623}) {
        for (const int n : {311, 312, 313, 624, 625, 5001, 128071}) {
            SCOPED_TRACE(testing::Message() << "offset " << offset << " n " << n);
            Rng drawn = seeded();
            for (int i = 0; i < offset; ++i) genrand(drawn);
            if (offset % 2 == 1) rnorm(drawn, 0, 1);
            Rng skipped = drawn;
            skipNormals(skipped, static_cast<std::uint64_t>(n));
            for (int i = 0; i < n; ++i) rnorm(drawn, 0, 1);
            ASSERT_TRUE(skipped == drawn);
            EXPECT_EQ(rnorm(skipped, 0, 1), rnorm(drawn, 0, 1));
        }
    }
}

// The quick factor stands for the library's wherever it calls itself decided
// (bench/polar_factor_check.cpp tries every float below 1); here every
// 4099th float, the ends of the ranges and the edges of the mantissa split.
TEST(Rnorm, QuickFactorsAreTheLibrarysFloats) {
    std::vector<std::uint32_t> patterns = {0x00000000U, 0x00000001U, 0x007fffffU, 0x00800000U, 0x00800001U,
                                           0x3f7fffffU, 0x3f3504f3U, 0x3f3504f4U, 0x3eb504f3U, 0x3eb504f4U,
                                           0x3f000000U, 0x3effffffU, 0x34000000U, 0x3f7ffffeU};
    for (std::uint32_t bits = 0x00800000U; bits < 0x3f800000U; bits += 4099) patterns.push_back(bits);
    int undecided = 0;
    for (const std::uint32_t bits : patterns) {
        const auto w = std::bit_cast<float>(bits);
        bool decided = false;
        const float quick = quickPolarFactor(w, decided);
        if (!decided) {
            ++undecided;
            continue;
        }
        const double exact = std::log(static_cast<double>(w));
        ASSERT_TRUE(sameFloat(quick, polarFactor(exact, w))) << std::hexfloat << w;
        ASSERT_LE(std::fabs((quickLog(w) - exact) / exact), 0x1p-50) << std::hexfloat << w;
    }
    // Zero and the subnormals are always the library's; few others are.
    EXPECT_GE(undecided, 3);
    EXPECT_LT(undecided, 3 + static_cast<int>(patterns.size()) / 500);
}
