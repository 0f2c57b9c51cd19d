// Bit-exact comparison of single-precision results: a failure shows both
// values as hexfloats with their distance in units in the last place.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>

inline std::int64_t orderedBits(float v) {
    std::int32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b < 0 ? -static_cast<std::int64_t>(b & 0x7fffffff) : b;
}

// Equal bits, or both NaN.
inline ::testing::AssertionResult sameFloat(float actual, float expected) {
    if (std::isnan(actual) && std::isnan(expected)) return ::testing::AssertionSuccess();
    std::uint32_t a, e;
    std::memcpy(&a, &actual, sizeof a);
    std::memcpy(&e, &expected, sizeof e);
    if (a == e) return ::testing::AssertionSuccess();
    std::ostringstream out;
    out << std::hexfloat << actual << " (" << std::defaultfloat << actual << ") vs expected "
        << std::hexfloat << expected << " (" << std::defaultfloat << expected << ")";
    if (!std::isnan(actual) && !std::isnan(expected))
        out << ", " << std::llabs(orderedBits(actual) - orderedBits(expected)) << " ulp apart";
    return ::testing::AssertionFailure() << out.str();
}

#define EXPECT_BITS(actual, expected) EXPECT_TRUE(sameFloat((actual), (expected)))
