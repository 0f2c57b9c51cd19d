#include "mersenne.h"

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
void regenerate(Rng& rng) {
    if (rng.mti == Rng::kN + 1) sgenrand(rng, kDefaultSeed);
    auto& mt = rng.mt;
    int kk = 0;
    for (; kk < Rng::kN - kM; ++kk) {
        const std::uint32_t y = (mt[kk] & kUpperMask) | (mt[kk + 1] & kLowerMask);
        mt[kk] = mt[kk + kM] ^ (y >> 1) ^ kMag01[y & 0x1U];
    }
    for (; kk < Rng::kN - 1; ++kk) {
        const std::uint32_t y = (mt[kk] & kUpperMask) | (mt[kk + 1] & kLowerMask);
        mt[kk] = mt[kk + (kM - Rng::kN)] ^ (y >> 1) ^ kMag01[y & 0x1U];
    }
    const std::uint32_t y = (mt[Rng::kN - 1] & kUpperMask) | (mt[0] & kLowerMask);
    mt[Rng::kN - 1] = mt[kM - 1] ^ (y >> 1) ^ kMag01[y & 0x1U];
    rng.mti = 0;
    ++rng.generation;
}
}  // namespace mt_detail

std::uint32_t genrand(Rng& rng) { return genrandInline(rng); }

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
