// Standard-normal deviates by Marsaglia's polar method, one deviate cached.
#pragma once

#include <bit>
#include <cmath>
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

// The polar method's factor sqrt(-2 ln w / w) in double, rounded to float,
// from ln w (the library's logarithm of double(w)).
inline float polarFactor(double logW, float w) {
    return static_cast<float>(std::sqrt(-2.0 * logW / static_cast<double>(w)));
}

// ln w for a normal float w in (0, 1), from the series of atanh: a relative
// error below 2^-50, checked against the library's logarithm for every such
// float by bench/polar_factor_check.cpp.  It vectorises where the library's
// call does not.
inline double quickLog(float w) {
    const auto bits = std::bit_cast<std::uint32_t>(w);
    // w = m 2^e with m in [sqrt(1/2), sqrt(2)): the mantissas above 0x3504f3
    // are those above sqrt(2), and take the exponent of [1/2, 1).  The
    // choices are made on the bits, so that no arithmetic is conditional and
    // the loops that call this vectorise.  m - 1 and m + 1 are exact.
    const bool high = (bits & 0x007fffffU) > 0x3504f3U;
    const std::uint32_t exponentBits = high ? 0x3f000000U : 0x3f800000U;
    const std::int32_t e = static_cast<std::int32_t>(bits >> 23) - (high ? 126 : 127);
    const auto m = static_cast<double>(std::bit_cast<float>((bits & 0x007fffffU) | exponentBits));
    const double s = (m - 1.0) / (m + 1.0);
    const double z = s * s;
    // ln m = 2 atanh s = 2s (1 + z/3 + z^2/5 + ... + z^10/21); |s| < 0.1716.
    double q = 1.0 / 21.0;
    q = q * z + 1.0 / 19.0;
    q = q * z + 1.0 / 17.0;
    q = q * z + 1.0 / 15.0;
    q = q * z + 1.0 / 13.0;
    q = q * z + 1.0 / 11.0;
    q = q * z + 1.0 / 9.0;
    q = q * z + 1.0 / 7.0;
    q = q * z + 1.0 / 5.0;
    q = q * z + 1.0 / 3.0;
    const double logM = 2.0 * s + (2.0 * s * z) * q;
    // ln 2 in two parts, the first with few enough bits that e times it is exact.
    constexpr double kLn2Hi = 6.93147180369123816490e-01;
    constexpr double kLn2Lo = 1.90821492927058770002e-10;
    const auto de = static_cast<double>(e);
    return de * kLn2Hi + (de * kLn2Lo + logM);
}

// polarFactor from quickLog.  `decided` is false when the factor could round
// to another float with the library's logarithm (within 2^-35 of a rounding
// boundary, or w not a normal float below 1): then polarFactor must decide.
inline float quickPolarFactor(float w, bool& decided) {
    const double v = std::sqrt(-2.0 * quickLog(w) / static_cast<double>(w));
    const float f = static_cast<float>(v);
    const bool normal = w >= 0x1p-126f;
    const bool below = w < 1.0f;
    const bool clear = static_cast<float>(v * (1.0 + 0x1p-35)) == static_cast<float>(v * (1.0 - 0x1p-35));
    decided = normal & below & clear;
    return f;
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
