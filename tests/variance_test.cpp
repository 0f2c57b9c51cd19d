#include "variance.h"

#include <gtest/gtest.h>

#include <cmath>

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
