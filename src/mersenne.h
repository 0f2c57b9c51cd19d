// MT19937 uniform generator with the two-step congruential seeding.
//
// The whole generator state (state words, next index, cached normal deviate
// and draw counters) is one copyable value.  Every routine that draws takes it
// by reference; copies are made on purpose only, through snapshot()/restore().
#pragma once

#include <array>
#include <cstdint>

struct Rng {
    static constexpr int kN = 624;

    std::array<std::uint32_t, kN> mt{};
    int mti = kN + 1;       // 625: never seeded
    int use_last = 0;       // 1 while a cached normal deviate is waiting
    float y2 = 0.0f;        // the cached standard-normal deviate
    std::uint64_t nUniforms = 0;  // genrand outputs drawn so far
    std::uint64_t nNormals = 0;   // rnorm results returned so far

    // Derived data, not part of the state: the count of regenerations, and
    // the normal generator's coordinates of the words of the regeneration
    // numbered coordGeneration.
    std::uint64_t generation = 0;
    std::uint64_t coordGeneration = ~std::uint64_t{0};
    std::array<float, kN> coord{};

    // Equal when every later draw is equal: a cached deviate that has been
    // used up is not part of the state.
    bool operator==(const Rng& o) const {
        return mt == o.mt && mti == o.mti && use_last == o.use_last &&
               (use_last == 0 || y2 == o.y2) && nUniforms == o.nUniforms &&
               nNormals == o.nNormals;
    }

    Rng snapshot() const { return *this; }
    void restore(const Rng& saved) { *this = saved; }
};

// Restarts the generator from a 32-bit seed; the cached normal deviate survives.
void sgenrand(Rng& rng, std::uint32_t seed);

// Loads 624 state words unchanged.  The runs always seed with sgenrand; this
// is the generator's other seeding entry, kept so a state can be set word for
// word (the tests load std::mt19937's initial words to compare the outputs).
void lsgenrand(Rng& rng, const std::uint32_t* seed_array);

// Next 32-bit output.
std::uint32_t genrand(Rng& rng);

// The next count outputs, as count calls of genrand give them, into out.
void genrandFill(Rng& rng, std::uint32_t* out, int count);

// Advances the stream by n outputs without tempering them; the state after the
// call equals the state after n calls of genrand.
void skipUniforms(Rng& rng, std::uint64_t n);

namespace mt_detail {
// Replaces the 624 state words by the next generation's, in place.
void nextGeneration(std::uint32_t* mt);

// Starts the next generation of rng's words (seeding an unseeded generator
// first) and its index at 0.
void regenerate(Rng& rng);

inline std::uint32_t temper(std::uint32_t y) {
    y ^= (y >> 11);
    y ^= (y << 7) & 0x9d2c5680U;
    y ^= (y << 15) & 0xefc60000U;
    y ^= (y >> 18);
    return y;
}
}  // namespace mt_detail

inline std::uint32_t genrandInline(Rng& rng) {
    if (rng.mti >= Rng::kN) mt_detail::regenerate(rng);
    ++rng.nUniforms;
    return mt_detail::temper(rng.mt[static_cast<std::size_t>(rng.mti++)]);
}
