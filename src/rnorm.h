// Standard-normal deviates by Marsaglia's polar method, one deviate cached.
#pragma once

#include <cstdint>

#include "mersenne.h"

// Maps one 32-bit output to the polar method's coordinate in [-1, 1]:
// the output is rounded to float, divided by 4294967295.0 in double,
// doubled, shifted, and rounded to float once.
inline float polarCoordinate(std::uint32_t u) {
    const float fU = static_cast<float>(u);
    return static_cast<float>(2.0 * (static_cast<double>(fU) / 4294967295.0) - 1.0);
}

// Squared radius of one polar attempt, exact products summed in double and
// rounded to float once.
inline float polarRadius(float x1, float x2) {
    return static_cast<float>(static_cast<double>(x1) * static_cast<double>(x1) +
                              static_cast<double>(x2) * static_cast<double>(x2));
}

// One normal deviate with mean m and standard deviation s.
float rnorm(Rng& rng, float m, float s);

// out[0 .. count-1] = count successive rnorm(0, 1) values, drawn exactly as
// those calls would draw them; the accepted pairs of an attempt run are
// transformed together so that their logarithms overlap.
void fillNormals(Rng& rng, float* out, int count);

// Advances the stream exactly as n calls of rnorm would, replaying the
// accept/reject test of every attempt but skipping the logarithms of pairs
// whose deviates are never returned.
void skipNormals(Rng& rng, std::uint64_t n);

// The attempts of one generation: bit k of bits[k / 64] is set when the
// attempt drawing outputs 2k and 2k + 1 of the generation whose state words
// are mt is accepted; the bits past attempt 311 are 0.
inline constexpr int kAttemptsPerGeneration = Rng::kN / 2;
inline constexpr int kAttemptBitWords = (kAttemptsPerGeneration + 63) / 64;
void acceptedAttempts(const std::uint32_t* mt, std::uint64_t* bits);

// The deviate rnorm keeps for its next call after the accepted attempt that
// drew the outputs u1 and u2.
float cachedDeviate(std::uint32_t u1, std::uint32_t u2);
