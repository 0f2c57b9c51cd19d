#include "rnorm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "clones.h"

namespace {
// Draws attempts until one is accepted; returns its coordinates and radius.
inline void acceptedPair(Rng& rng, float& x1, float& x2, float& w) {
    do {
        x1 = polarCoordinate(genrandInline(rng));
        x2 = polarCoordinate(genrandInline(rng));
        w = polarRadius(x1, x2);
    } while (w >= 1.0f);
}
}  // namespace

float rnorm(Rng& rng, float m, float s) {
    ++rng.nNormals;
    float y1;
    if (rng.use_last == 1) {
        y1 = rng.y2;
        rng.use_last = 0;
    } else {
        float x1, x2, w;
        acceptedPair(rng, x1, x2, w);
        const float f = polarFactor(std::log(static_cast<double>(w)), w);
        y1 = x1 * f;
        rng.y2 = x2 * f;
        rng.use_last = 1;
    }
    return static_cast<float>(static_cast<double>(m) + static_cast<double>(s) * static_cast<double>(y1));
}

namespace {
// A standard deviate as rnorm(0, 1) returns it.
inline float standard(float y) { return static_cast<float>(0.0 + 1.0 * static_cast<double>(y)); }

// A 32-bit output in double, exactly: its halves convert exactly and add
// without rounding, in a form that vectorises.
inline double exactOutput(std::uint32_t u) {
    return static_cast<double>(static_cast<std::int32_t>(u >> 16)) * 65536.0 +
           static_cast<double>(static_cast<std::int32_t>(u & 0xffffU));
}

// An attempt whose two outputs lie in two blocks: drawn one output at a
// time, its coordinates formed as polarCoordinate forms them.
inline void straddlingAttempt(Rng& rng, float& a, float& b) {
    a = polarCoordinate(genrandInline(rng));
    b = polarCoordinate(genrandInline(rng));
}

// Fills rng.coord with polarCoordinate of every output of the current block:
// the exact output rounded to float once is the direct conversion.
ZELKOR_AVX2_CLONES void refreshCoordinates(Rng& rng) {
    if (rng.coordGeneration == rng.generation) return;
    for (std::size_t k = 0; k < Rng::kN; ++k) {
        const float fU = static_cast<float>(exactOutput(mt_detail::temper(rng.mt[k])));
        rng.coord[k] = static_cast<float>(2.0 * (static_cast<double>(fU) / 4294967295.0) - 1.0);
    }
    rng.coordGeneration = rng.generation;
}

// Draws polar attempts until `pairs` are accepted, keeping the coordinates
// and radius of each accepted one (x1, x2 and w hold `pairs` entries).
// Attempts inside one block read the precomputed coordinates, and acceptance
// is counted without a branch.
void acceptPairs(Rng& rng, int pairs, float* x1, float* x2, float* w) {
    int accepted = 0;
    const auto attempt = [&](float a, float b) {
        const float r = polarRadius(a, b);
        x1[accepted] = a;
        x2[accepted] = b;
        w[accepted] = r;
        accepted += r < 1.0f ? 1 : 0;
    };
    while (accepted < pairs) {
        if (rng.mti >= Rng::kN) mt_detail::regenerate(rng);
        if (rng.mti <= Rng::kN - 2) {
            refreshCoordinates(rng);
            const float* c = rng.coord.data();
            const int start = rng.mti;
            int m = start;
            for (; accepted < pairs && m <= Rng::kN - 2; m += 2) attempt(c[m], c[m + 1]);
            rng.nUniforms += static_cast<std::uint64_t>(m - start);
            rng.mti = m;
        } else {
            float a, b;
            straddlingAttempt(rng, a, b);
            attempt(a, b);
        }
    }
}
}  // namespace

namespace {
// The clones have internal linkage: a clang build names the dispatcher of an
// external cloned function apart from the function, and other units would
// not find it.
ZELKOR_AVX2_CLONES void fillNormalsCloned(Rng& rng, float* out, int count) {
    if (count <= 0) return;
    rng.nNormals += static_cast<std::uint64_t>(count);
    int i = 0;
    if (rng.use_last == 1) {
        out[i++] = standard(rng.y2);
        rng.use_last = 0;
    }
    constexpr int kBatch = 64;
    float x1[kBatch], x2[kBatch], w[kBatch], f[kBatch];
    bool decided[kBatch];
    while (i < count) {
        const int pairs = std::min(kBatch, (count - i + 1) / 2);
        acceptPairs(rng, pairs, x1, x2, w);
        // The factors from the quick logarithm, which vectorises; the few it
        // leaves undecided from the library's.
        // Whole vectors of eight: the lanes past `pairs` hold a radius of 1/2
        // and are not read.
        const int lanes = std::min(kBatch, (pairs + 7) / 8 * 8);
        for (int k = pairs; k < lanes; ++k) w[k] = 0.5f;
        for (int k = 0; k < lanes; ++k) f[k] = quickPolarFactor(w[k], decided[k]);
        int undecided = 0;
        for (int k = 0; k < pairs; ++k) undecided += decided[k] ? 0 : 1;
        if (undecided > 0)
            for (int k = 0; k < pairs; ++k)
                if (!decided[k]) f[k] = polarFactor(std::log(static_cast<double>(w[k])), w[k]);
        // Both deviates of every pair are returned, but perhaps the last's.
        const int whole = std::min(pairs, (count - i) / 2);
        float* to = out + i;
        for (int k = 0; k < whole; ++k) {
            to[2 * k] = standard(x1[k] * f[k]);
            to[2 * k + 1] = standard(x2[k] * f[k]);
        }
        i += 2 * whole;
        for (int k = whole; k < pairs; ++k) {
            const float y1 = x1[k] * f[k];
            const float y2 = x2[k] * f[k];
            out[i++] = standard(y1);
            if (i < count) {
                out[i++] = standard(y2);
            } else {
                rng.y2 = y2;
                rng.use_last = 1;
            }
        }
    }
}
}  // namespace

void fillNormals(Rng& rng, float* out, int count) { fillNormalsCloned(rng, out, count); }

namespace {
// Whether the attempt drawing u1 and u2 is accepted.  The radius is first
// formed in double straight from the outputs; it differs from the radius of
// the rounded coordinates by less than 1e-6, so outside a band of 1e-5 around
// 1 it decides alike, and inside the band the exact radius decides.
inline bool accepts(std::uint32_t u1, std::uint32_t u2) {
    const double a = exactOutput(u1) * (2.0 / 4294967295.0) - 1.0;
    const double b = exactOutput(u2) * (2.0 / 4294967295.0) - 1.0;
    const double w = a * a + b * b;
    if (std::fabs(w - 1.0) > 1e-5) return w < 1.0;
    return polarRadius(polarCoordinate(u1), polarCoordinate(u2)) < 1.0f;
}

// Draws attempts until `pairs` are accepted, deciding acceptance only.  The
// attempts of a block are decided together, in loops that vectorise.
ZELKOR_AVX2_CLONES void skipPairs(Rng& rng, std::uint64_t pairs) {
    std::uint64_t accepted = 0;
    alignas(16) double unit[Rng::kN];
    alignas(16) double radius[Rng::kN / 2];
    while (accepted < pairs) {
        if (rng.mti >= Rng::kN) mt_detail::regenerate(rng);
        if (rng.mti > Rng::kN - 2) {
            float a, b;
            straddlingAttempt(rng, a, b);
            accepted += polarRadius(a, b) < 1.0f ? 1 : 0;
            continue;
        }
        const std::uint32_t* mt = rng.mt.data();
        const int start = rng.mti;
        const int attempts = (Rng::kN - start) / 2;
        for (int k = start; k < start + 2 * attempts; ++k)
            unit[k - start] = exactOutput(mt_detail::temper(mt[k])) * (2.0 / 4294967295.0) - 1.0;
        for (int j = 0; j < attempts; ++j)
            radius[j] = unit[2 * j] * unit[2 * j] + unit[2 * j + 1] * unit[2 * j + 1];
        // When the block's acceptances, none inside the band, leave pairs
        // still to find, the whole block is taken without a branch per attempt.
        int below = 0;
        int band = 0;
        for (int j = 0; j < attempts; ++j) {
            below += radius[j] < 1.0 ? 1 : 0;
            band += std::fabs(radius[j] - 1.0) > 1e-5 ? 0 : 1;
        }
        if (band == 0 && accepted + static_cast<std::uint64_t>(below) < pairs) {
            accepted += static_cast<std::uint64_t>(below);
            rng.nUniforms += static_cast<std::uint64_t>(2 * attempts);
            rng.mti = start + 2 * attempts;
            continue;
        }
        int j = 0;
        for (; j < attempts && accepted < pairs; ++j) {
            const double w = radius[j];
            if (std::fabs(w - 1.0) > 1e-5)
                accepted += w < 1.0 ? 1 : 0;
            else
                accepted += accepts(mt_detail::temper(mt[start + 2 * j]),
                                    mt_detail::temper(mt[start + 2 * j + 1])) ? 1 : 0;
        }
        rng.nUniforms += static_cast<std::uint64_t>(2 * j);
        rng.mti = start + 2 * j;
    }
}
}  // namespace

void skipNormals(Rng& rng, std::uint64_t n) {
    if (n > 0 && rng.use_last == 1) {
        rng.use_last = 0;
        ++rng.nNormals;
        --n;
    }
    const std::uint64_t pairs = n / 2;
    skipPairs(rng, pairs);
    rng.nNormals += 2 * pairs;
    if (n % 2 == 1) rnorm(rng, 0.0f, 1.0f);
}

namespace {
ZELKOR_AVX2_CLONES void acceptedAttemptsCloned(const std::uint32_t* mt, std::uint64_t* bits) {
    // A quick radius in float, eight lanes at a time: each output less 2^31
    // as a float, squared and summed, against 2^62.  It is within 3e-7 of
    // the radius in units of 2^62, and that within 1e-6 of the radius of the
    // rounded coordinates: outside a band of 1e-5 around 1 it decides alike,
    // inside the band the exact test decides.
    alignas(32) float centred[Rng::kN];
    alignas(32) float radius[kAttemptsPerGeneration];
    for (int k = 0; k < Rng::kN; ++k)
        centred[k] = static_cast<float>(static_cast<std::int32_t>(mt_detail::temper(mt[k]) ^ 0x80000000U));
    constexpr float kLow = 0x1p62f * (1.0f - 1e-5f);
    constexpr float kHigh = 0x1p62f * (1.0f + 1e-5f);
    int band = 0;
    for (int j = 0; j < kAttemptsPerGeneration; ++j) {
        radius[j] = centred[2 * j] * centred[2 * j] + centred[2 * j + 1] * centred[2 * j + 1];
        band += static_cast<int>(radius[j] >= kLow) & static_cast<int>(radius[j] <= kHigh);
    }
    // One byte per attempt, then eight bytes of 0 or 1 to eight bits at a
    // time: the multiplication moves byte i's bit to bit 56 + i.
    alignas(32) unsigned char below[64 * kAttemptBitWords] = {};
    for (int j = 0; j < kAttemptsPerGeneration; ++j) below[j] = radius[j] < kLow ? 1 : 0;
    for (int w = 0; w < kAttemptBitWords; ++w) {
        std::uint64_t set = 0;
        for (int g = 0; g < 8; ++g) {
            std::uint64_t bytes;
            std::memcpy(&bytes, below + 64 * w + 8 * g, sizeof bytes);
            set |= ((bytes * 0x0102040810204080ULL) >> 56) << (8 * g);
        }
        bits[w] = set;
    }
    if (band == 0) return;
    for (int j = 0; j < kAttemptsPerGeneration; ++j) {
        if (radius[j] < kLow || radius[j] > kHigh) continue;
        const std::uint64_t bit = std::uint64_t{1} << (j % 64);
        const bool accepted = accepts(mt_detail::temper(mt[2 * j]), mt_detail::temper(mt[2 * j + 1]));
        bits[j / 64] = accepted ? bits[j / 64] | bit : bits[j / 64] & ~bit;
    }
}

}  // namespace

void acceptedAttempts(const std::uint32_t* mt, std::uint64_t* bits) { acceptedAttemptsCloned(mt, bits); }

float cachedDeviate(std::uint32_t u1, std::uint32_t u2) {
    const float x1 = polarCoordinate(u1);
    const float x2 = polarCoordinate(u2);
    const float w = polarRadius(x1, x2);
    return x2 * polarFactor(std::log(static_cast<double>(w)), w);
}
