#include "variance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "awkwardseries.h"

TEST(Variance, SampleVarianceAndSd) {
    const float x[] = {1, 2, 3, 4};
    // hand-computed: squares 2.25 + 0.25 + 0.25 + 2.25 = 5, divided by 3
    EXPECT_EQ(variance(x, 4), 5.0f / 3.0f);
    EXPECT_FLOAT_EQ(sd(x, 4), 1.2909944f);
    const float two[] = {1, 4};
    EXPECT_EQ(variance(two, 2), 4.5f);
    EXPECT_EQ(sd(two, 2), static_cast<float>(std::sqrt(4.5)));
}

// Deviations from the mean are formed first: a large common offset that is
// exactly representable must not change the result.
TEST(Variance, TwoPassesSurviveLargeOffset) {
    const float x[] = {1000001, 1000002, 1000003, 1000004};
    EXPECT_EQ(variance(x, 4), 5.0f / 3.0f);
}

TEST(Variance, DegenerateCounts) {
    const float c[] = {2.5f, 2.5f, 2.5f};
    EXPECT_EQ(variance(c, 3), 0.0f);
    EXPECT_EQ(sd(c, 3), 0.0f);
    EXPECT_TRUE(std::isnan(variance(c, 1)));  // 0 / 0
    EXPECT_TRUE(std::isnan(sd(c, 1)));
    const float empty = variance(c, 0);  // 0 / -1
    EXPECT_EQ(empty, 0.0f);
    EXPECT_TRUE(std::signbit(empty));
}

// Arrays side by side give what sd gives each of them alone: ordinary,
// whole-numbered, constant, offset, huge, tiny and non-finite values, and
// the lengths where a divisor is 0 or 1.
TEST(Variance, LanesAreEachArraysSd) {
    const awkward::Kind kinds[] = {awkward::Kind::Continuous, awkward::Kind::Integers,
                                   awkward::Kind::Constant,   awkward::Kind::Huge,
                                   awkward::Kind::Tiny,       awkward::Kind::NonFinite,
                                   awkward::Kind::FewValues,  awkward::Kind::SignedZeros};
    static_assert(sizeof kinds / sizeof kinds[0] == kSdLanes);
    for (const int n : {1, 2, 3, 17, 50}) {
        std::vector<float> laned(static_cast<std::size_t>(n * kSdLanes));
        std::vector<std::vector<float>> arrays;
        for (int l = 0; l < kSdLanes; ++l) {
            arrays.push_back(awkward::series(kinds[l], n, static_cast<std::uint32_t>(n * 10 + l)));
            if (l == 0)
                for (float& v : arrays.back()) v += 1e6f;  // a large common offset
            for (int i = 0; i < n; ++i)
                laned[static_cast<std::size_t>(i * kSdLanes + l)] = arrays.back()[static_cast<std::size_t>(i)];
        }
        float out[kSdLanes];
        sdOfLanes(laned.data(), n, out);
        for (int l = 0; l < kSdLanes; ++l)
            EXPECT_TRUE(awkward::sameBits(out[l], sd(arrays[static_cast<std::size_t>(l)].data(), n)))
                << awkward::name(kinds[l]) << ", n " << n << ": " << out[l];
    }
}
