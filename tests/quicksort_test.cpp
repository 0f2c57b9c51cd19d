#include "quicksort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::vector<std::uint32_t> bits(const std::vector<float>& v) {
    std::vector<std::uint32_t> b(v.size());
    if (!v.empty()) std::memcpy(b.data(), v.data(), v.size() * sizeof(float));
    return b;
}

// The textbook recursion, step by step: middle pivot, strict scans, swap
// and advance, then both parts.
void modelSort(float* a, int n) {
    if (n < 2) return;
    const float p = a[n / 2];
    int i = 0, j = n - 1;
    for (;;) {
        while (a[i] < p) ++i;
        while (a[j] > p) --j;
        if (i >= j) break;
        std::swap(a[i], a[j]);
        ++i;
        --j;
    }
    modelSort(a, i);
    modelSort(a + i, n - i);
}

// Random arrays drawn from a small pool so that equal values, zeros of both
// signs and NaNs occur often.
std::vector<float> poolArray(std::mt19937& gen, int n, bool withOddValues) {
    static const float plain[] = {-3.5f, -1.0f, 1e-40f, 0.25f, 2.0f, 7.0f, kInf, -kInf};
    static const float odd[] = {0.0f, -0.0f, kNaN};
    std::vector<float> v(static_cast<std::size_t>(n));
    for (auto& x : v) x = (withOddValues && gen() % 3 == 0) ? odd[gen() % 3] : plain[gen() % 8];
    return v;
}
}  // namespace

TEST(Quicksort, SortsSmallArrays) {
    std::vector<float> a{3, 1, 2};
    quicksort(a.data(), 3);
    EXPECT_EQ(a, (std::vector<float>{1, 2, 3}));
    float one[] = {kNaN};
    quicksort(one, 1);
    EXPECT_TRUE(std::isnan(one[0]));
    float untouched[] = {2, 1};
    quicksort(untouched, 0);
    EXPECT_EQ(untouched[0], 2.0f);
}

// Hand-traced through the partition steps.
TEST(Quicksort, PlacesSignedZerosAndNaNsByItsSteps) {
    std::vector<float> a{0.0f, -0.0f, 0.0f};  // -> +0, +0, -0
    quicksort(a.data(), 3);
    EXPECT_EQ(bits(a), bits({0.0f, 0.0f, -0.0f}));
    std::vector<float> b{-0.0f, 0.0f};  // equal to the pivot: exchanged
    quicksort(b.data(), 2);
    EXPECT_EQ(bits(b), bits({0.0f, -0.0f}));
    std::vector<float> c{kNaN, 1.0f, 0.5f};  // -> 0.5, NaN, 1
    quicksort(c.data(), 3);
    EXPECT_EQ(bits(c), bits({0.5f, kNaN, 1.0f}));
}

TEST(Quicksort, MatchesTheRecursionBitForBit) {
    std::mt19937 gen(11);
    for (int n = 0; n < 60; ++n) {
        for (int rep = 0; rep < 20; ++rep) {
            std::vector<float> a = poolArray(gen, n, true);
            std::vector<float> expected = a;
            modelSort(expected.data(), n);
            quicksort(a.data(), n);
            ASSERT_EQ(bits(a), bits(expected)) << "n " << n << " rep " << rep;
        }
    }
}

TEST(Quicksort, LargeArraysOfEqualOrOrderedValues) {
    const int n = 1 << 18;
    std::vector<float> equal(n, 4.5f);
    quicksort(equal.data(), n);  // would take ages if equal runs were not split
    EXPECT_TRUE(std::all_of(equal.begin(), equal.end(), [](float v) { return v == 4.5f; }));

    std::vector<float> down(n);
    for (int i = 0; i < n; ++i) down[static_cast<std::size_t>(i)] = static_cast<float>(n - i);
    quicksort(down.data(), n);
    EXPECT_TRUE(std::is_sorted(down.begin(), down.end()));
    EXPECT_EQ(down.front(), 1.0f);

    std::vector<float> zeros(1000);
    for (std::size_t i = 0; i < zeros.size(); ++i) zeros[i] = (i % 3 == 0) ? -0.0f : 0.0f;
    std::vector<float> expected = zeros;
    modelSort(expected.data(), 1000);
    quicksort(zeros.data(), 1000);
    EXPECT_EQ(bits(zeros), bits(expected));
}

// Zeros of one sign have one bit pattern; only both signs together, or a
// NaN, leave the bits of an ascending order to the sort's steps.
TEST(Quicksort, OrderIsUniqueWithoutNaNsAndMixedZeros) {
    const float fine[] = {1e-45f, -1e-45f, kInf, -kInf, 3.0f, 3.0f};
    EXPECT_TRUE(orderIsUnique(fine, 6));
    EXPECT_TRUE(orderIsUnique(fine, 0));
    const float positiveZeros[] = {0.0f, 1.0f, 0.0f}, negativeZeros[] = {-0.0f, 1.0f, -0.0f};
    EXPECT_TRUE(orderIsUnique(positiveZeros, 3));
    EXPECT_TRUE(orderIsUnique(negativeZeros, 3));
    const float mixed[] = {0.0f, 1.0f, -0.0f};
    EXPECT_FALSE(orderIsUnique(mixed, 3));
    EXPECT_TRUE(orderIsUnique(mixed, 2));
    const float nans[] = {1.0f, 2.0f, kNaN, -kNaN};
    EXPECT_FALSE(orderIsUnique(nans, 3));
    EXPECT_FALSE(orderIsUnique(nans + 3, 1));
    EXPECT_TRUE(orderIsUnique(nans, 2));
}

TEST(Quicksort, AllFiniteRefusesInfinitiesAndNaNs) {
    const float fine[] = {0.0f, -0.0f, 1e-45f, -3.4e38f, 3.4e38f};
    EXPECT_TRUE(allFinite(fine, 5));
    EXPECT_TRUE(allFinite(fine, 0));
    for (const float odd : {kInf, -kInf, kNaN, -kNaN}) {
        const float a[] = {1.0f, odd, 2.0f};
        EXPECT_FALSE(allFinite(a, 3)) << odd;
        EXPECT_TRUE(allFinite(a, 1));
    }
}

TEST(Quicksort, SortAscendingGivesQuicksortOrder) {
    std::mt19937 gen(5);
    for (bool withOddValues : {false, true}) {
        for (int n = 0; n < 200; n += 7) {
            std::vector<float> a = poolArray(gen, n, withOddValues);
            if (!withOddValues)  // continuous values too
                for (auto& x : a) x *= static_cast<float>(gen() % 1000 + 1) / 37.0f;
            std::vector<float> expected = a;
            quicksort(expected.data(), n);
            sortAscending(a.data(), n);
            ASSERT_EQ(bits(a), bits(expected)) << "n " << n << " withOddValues " << withOddValues;
        }
    }
    // Zeros of one sign take the quick sort (by bytes from 512 values on) and
    // still give quicksort's bits.
    for (const float zero : {0.0f, -0.0f}) {
        for (int n = 1; n < 2000; n += n < 200 ? 9 : 301) {
            std::vector<float> a = poolArray(gen, n, false);
            for (auto& x : a) x *= static_cast<float>(gen() % 1000 + 1) / 37.0f;
            for (std::size_t i = 0; i < a.size(); i += 3) a[i] = zero;
            std::vector<float> expected = a;
            quicksort(expected.data(), n);
            sortAscending(a.data(), n);
            ASSERT_EQ(bits(a), bits(expected)) << "n " << n << " zero " << zero;
        }
    }
}
