#include "median.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "quicksort.h"

namespace {
Buffer copyBuffer;

bool sameBits(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

// Median read off the quicksorted copy, the pair mean formed in double.
float sortedMedian(std::vector<float> v) {
    const int n = static_cast<int>(v.size());
    quicksort(v.data(), n);
    if (n % 2 == 1) return v[static_cast<std::size_t>((n - 1) / 2)];
    return static_cast<float>((static_cast<double>(v[static_cast<std::size_t>(n / 2 - 1)]) +
                               v[static_cast<std::size_t>(n / 2)]) / 2.0);
}
}  // namespace

TEST(Median, OddEvenAndSingleValues) {
    const float odd[] = {5, 1, 3};
    EXPECT_EQ(median(odd, 3, copyBuffer), 3.0f);
    const float even[] = {4, 1, 3, 2};
    EXPECT_EQ(median(even, 4, copyBuffer), 2.5f);
    const float one[] = {-7.25f};
    EXPECT_EQ(median(one, 1, copyBuffer), -7.25f);
    EXPECT_TRUE(std::isnan(median(one, 0, copyBuffer)));

    std::vector<float> inPlace{4, 1, 3, 2};
    EXPECT_EQ(medianInPlace(inPlace.data(), 4), 2.5f);
    EXPECT_TRUE(std::isnan(medianInPlace(inPlace.data(), 0)));
}

TEST(Median, LeavesInputUnchanged) {
    const std::vector<float> original{9, -2, 0.5f, 7, 7, 3, -0.0f, 1};
    std::vector<float> copy = original;
    median(copy.data(), 8, copyBuffer);
    EXPECT_EQ(std::memcmp(copy.data(), original.data(), 8 * sizeof(float)), 0);
}

TEST(Median, PairMeanFormedInDouble) {
    const float big[] = {FLT_MAX, FLT_MAX, 1.0f};
    EXPECT_EQ(median(big, 2, copyBuffer), FLT_MAX);  // a float sum would overflow
    const float mixed[] = {1.0f, 1.0f + FLT_EPSILON};
    // hand-computed: 1 + 2^-24 is a tie between neighbours, to even: 1
    EXPECT_EQ(median(mixed, 2, copyBuffer), 1.0f);
}

// Signs of equal zeros follow the quicksort steps (hand-traced:
// {+0,-0,+0} sorts to {+0,+0,-0}, {-0,+0,-0} to {-0,-0,+0}).
TEST(Median, ZeroSignFollowsQuicksort) {
    const float a[] = {0.0f, -0.0f, 0.0f};
    EXPECT_FALSE(std::signbit(median(a, 3, copyBuffer)));
    const float b[] = {-0.0f, 0.0f, -0.0f};
    EXPECT_TRUE(std::signbit(median(b, 3, copyBuffer)));
}

TEST(Median, BothFormsMatchSortedCopyBitForBit) {
    std::mt19937 gen(3);
    const float pool[] = {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f, 2.0f, -2.0f};
    for (int n = 1; n < 80; ++n) {
        for (int rep = 0; rep < 10; ++rep) {
            std::vector<float> v(static_cast<std::size_t>(n));
            for (auto& x : v) {
                if (rep < 5)  // continuous values with some repeats
                    x = static_cast<float>(static_cast<int>(gen() % 50) - 25) / 7.0f + 0.01f;
                else
                    x = pool[gen() % 6];
            }
            const float expected = sortedMedian(v);
            ASSERT_TRUE(sameBits(median(v.data(), n, copyBuffer), expected)) << "n " << n << " rep " << rep;
            ASSERT_TRUE(sameBits(medianInPlace(v.data(), n), expected)) << "n " << n << " rep " << rep;
        }
    }
}

// One NaN throughout, and one value throughout: no sort can change the array,
// so its median is read off as it stands, bits and all.
TEST(Median, ArraysOfOneBitPattern) {
    // NaNs compared by their bits: "nan" and "-nan" print differently.
    const auto sameBits = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const float v : {nan, -nan, -0.0f, 2.5f}) {
        for (const int n : {1, 2, 7, 40}) {
            std::vector<float> a(static_cast<std::size_t>(n), v);
            ASSERT_TRUE(sameBits(medianInPlace(a.data(), n), sortedMedian(a))) << v << " n " << n;
            ASSERT_TRUE(sameBits(median(a.data(), n, copyBuffer), sortedMedian(a))) << v << " n " << n;
        }
    }
    // Not quite one pattern: quicksort decides where the other NaN goes.
    std::vector<float> mixed(41, nan);
    mixed[20] = -nan;
    EXPECT_TRUE(sameBits(median(mixed.data(), 41, copyBuffer), sortedMedian(mixed)));
}
