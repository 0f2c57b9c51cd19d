#include "resamplefit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "awkwardseries.h"
#include "phasefit.h"

namespace {
// Equal values (a zero's sign aside), or both NaN.
bool sameValue(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Multiplicities of one resample of n points: an ordinary draw, or (for the
// walk's far ends and counts of many bits) most weight on one or two points.
std::vector<int> resampleCounts(std::mt19937& gen, int n, int kind) {
    std::vector<int> counts(static_cast<std::size_t>(n) + 1, 0);
    const auto point = [&] { return static_cast<std::size_t>(gen() % static_cast<unsigned>(n)); };
    int left = n;
    if (kind == 1) {  // one point drawn half the time
        counts[point()] += n / 2;
        left -= n / 2;
    } else if (kind == 2) {  // two points only
        counts[point()] += n - 1;
        counts[point()] += 1;
        left = 0;
    }
    for (; left > 0; --left) ++counts[point()];
    return counts;
}
}  // namespace

// The line read off by counting equals the line refitted through the
// resample itself, for phases long enough that the walk starts at its pivot
// (their rows span one, two and three words), on tied, whole-numbered,
// constant and extreme values, and for resamples whose median lies far from
// the pivot on either side.
TEST(ResampleFit, CountedLineIsTheRefittedLine) {
    PhaseFitWorkspace ws;
    const awkward::Kind kinds[] = {awkward::Kind::Continuous, awkward::Kind::FewValues,
                                   awkward::Kind::Constant,   awkward::Kind::Integers,
                                   awkward::Kind::SignedZeros, awkward::Kind::Tiny};
    int fitted = 0;
    for (const awkward::Kind kind : kinds) {
        for (const int n : {12, 23, 40, 64, 65, 130}) {
            const std::uint32_t seed = static_cast<std::uint32_t>(n * 7 + static_cast<int>(kind));
            const std::string where = awkward::name(kind) + ", n " + std::to_string(n);
            std::vector<float> x = awkward::timePoints(n);
            if (n == 65)
                for (float& t : x) t *= 0.1f;  // times that are not whole numbers
            const std::vector<float> y = awkward::series(kind, n, seed);
            ResampleFit byCount;
            ASSERT_TRUE(byCount.prepare(x.data(), y.data(), n)) << where;
            std::mt19937 gen(seed);
            std::vector<float> bx(static_cast<std::size_t>(n)), by(bx.size());
            for (int r = 0; r < 40; ++r) {
                const std::vector<int> counts = resampleCounts(gen, n, r % 5 < 3 ? 0 : r % 5 - 2);
                std::size_t j = 0;
                for (int a = 0; a < n; ++a)
                    for (int c = 0; c < counts[static_cast<std::size_t>(a)]; ++c, ++j) {
                        bx[j] = x[static_cast<std::size_t>(a)];
                        by[j] = y[static_cast<std::size_t>(a)];
                    }
                float wantInt, wantSlope, gotInt, gotSlope;
                theilSenVARDEN(bx.data(), by.data(), n, &wantInt, &wantSlope, ws);
                byCount.fit(counts.data(), &gotInt, &gotSlope);
                EXPECT_PRED2(sameValue, gotSlope, wantSlope) << where << ", resample " << r;
                EXPECT_PRED2(sameValue, gotInt, wantInt) << where << ", resample " << r;
                ++fitted;
            }
        }
    }
    EXPECT_EQ(fitted, 6 * 6 * 40);
}

// Phases the counting cannot take: a NaN, a repeated time, a slope beyond
// the sentinel, fewer than two points.
TEST(ResampleFit, RefusesWhatOnlyRefittingDefines) {
    ResampleFit byCount;
    const float t[] = {1, 2, 3, 4};
    const float nan[] = {1, NAN, 2, 3};
    const float ok[] = {1, 2, 4, 3};
    const float repeated[] = {1, 2, 2, 3};
    const float close[] = {1, 1.0000001f, 3, 4};
    const float far[] = {0, 1e7f, 0, 0};
    EXPECT_TRUE(byCount.prepare(t, ok, 4));
    EXPECT_FALSE(byCount.prepare(t, nan, 4));
    EXPECT_FALSE(byCount.prepare(repeated, ok, 4));
    EXPECT_FALSE(byCount.prepare(close, far, 4));
    EXPECT_FALSE(byCount.prepare(t, ok, 1));
}
