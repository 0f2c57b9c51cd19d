#include "mersenne.h"

#include <algorithm>

#include "clones.h"

namespace {
constexpr std::uint32_t kUpperMask = 0x80000000U;
constexpr std::uint32_t kLowerMask = 0x7fffffffU;
constexpr std::uint32_t kMag01[2] = {0x0U, 0x9908b0dfU};
constexpr int kM = 397;
constexpr std::uint32_t kDefaultSeed = 4357;
}  // namespace

void sgenrand(Rng& rng, std::uint32_t seed) {
    std::uint32_t s = seed;
    for (std::size_t i = 0; i < Rng::kN; ++i) {
        const std::uint32_t high = s & 0xffff0000U;
        s = 69069U * s + 1U;
        rng.mt[i] = high | (s >> 16);
        s = 69069U * s + 1U;
    }
    rng.mti = Rng::kN;
}

void lsgenrand(Rng& rng, const std::uint32_t* seed_array) {
    for (std::size_t i = 0; i < Rng::kN; ++i) rng.mt[i] = seed_array[i];
    rng.mti = Rng::kN;
}

namespace mt_detail {
namespace {
// The recurrence's matrix term, mag01[y & 1], without a table lookup.
inline std::uint32_t twist(std::uint32_t y) {
    return (y >> 1) ^ ((0U - (y & 0x1U)) & kMag01[1]);
}
}  // namespace

namespace {
// Internal linkage for the clones (see clones.h): the recurrence runs eight
// words at a time.
ZELKOR_AVX2_CLONES void nextGenerationCloned(std::uint32_t* mt) {
    int kk = 0;
    for (; kk < Rng::kN - kM; ++kk)
        mt[kk] = mt[kk + kM] ^ twist((mt[kk] & kUpperMask) | (mt[kk + 1] & kLowerMask));
    for (; kk < Rng::kN - 1; ++kk)
        mt[kk] = mt[kk + (kM - Rng::kN)] ^ twist((mt[kk] & kUpperMask) | (mt[kk + 1] & kLowerMask));
    mt[Rng::kN - 1] = mt[kM - 1] ^ twist((mt[Rng::kN - 1] & kUpperMask) | (mt[0] & kLowerMask));
}
}  // namespace

void nextGeneration(std::uint32_t* mt) { nextGenerationCloned(mt); }

void regenerate(Rng& rng) {
    if (rng.mti == Rng::kN + 1) sgenrand(rng, kDefaultSeed);
    nextGeneration(rng.mt.data());
    rng.mti = 0;
    ++rng.generation;
}
}  // namespace mt_detail

std::uint32_t genrand(Rng& rng) { return genrandInline(rng); }

void genrandFill(Rng& rng, std::uint32_t* out, int count) {
    while (count > 0) {
        if (rng.mti >= Rng::kN) mt_detail::regenerate(rng);
        const int step = std::min(count, Rng::kN - rng.mti);
        const std::uint32_t* words = rng.mt.data() + rng.mti;
        for (int i = 0; i < step; ++i) out[i] = mt_detail::temper(words[i]);
        rng.mti += step;
        rng.nUniforms += static_cast<std::uint64_t>(step);
        out += step;
        count -= step;
    }
}

void skipUniforms(Rng& rng, std::uint64_t n) {
    rng.nUniforms += n;
    while (n > 0) {
        if (rng.mti >= Rng::kN) mt_detail::regenerate(rng);
        const auto left = static_cast<std::uint64_t>(Rng::kN - rng.mti);
        const std::uint64_t step = n < left ? n : left;
        rng.mti += static_cast<int>(step);
        n -= step;
    }
}
