#include "modulus.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

// The remainder by multiplication is the remainder, for divisors from 1 to
// the largest and for outputs at and around every multiple that matters.
TEST(Modulus, EqualsTheRemainder) {
    const std::uint32_t top = 0xffffffffU;
    const std::vector<std::uint32_t> divisors = {1,     2,      3,      5,           7,           10,
                                                 50,    100,    641,    1000,        10000,       65537,
                                                 99991, 1u << 20, 0x7fffffffU, 0x80000000U, 0xfffffffeU, top};
    std::mt19937 gen(5);
    for (const std::uint32_t d : divisors) {
        const Modulus mod(d);
        std::vector<std::uint32_t> outputs = {0, 1, d - 1, d, top, top - 1, top - top % d, top - top % d - 1};
        if (d < top) outputs.push_back(d + 1);
        for (int i = 0; i < 20000; ++i) outputs.push_back(static_cast<std::uint32_t>(gen()));
        for (std::uint32_t k = 1; k < 64 && k <= top / d; ++k) outputs.push_back(k * d - 1);
        for (const std::uint32_t u : outputs) ASSERT_EQ(mod.of(u), u % d) << u << " % " << d;
    }
}
