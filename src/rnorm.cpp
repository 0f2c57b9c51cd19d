#include "rnorm.h"

#include <algorithm>
#include <cmath>

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
        const double wd = static_cast<double>(w);
        const float f = static_cast<float>(std::sqrt(-2.0 * std::log(wd) / wd));
        y1 = x1 * f;
        rng.y2 = x2 * f;
        rng.use_last = 1;
    }
    return static_cast<float>(static_cast<double>(m) + static_cast<double>(s) * y1);
}

namespace {
// A standard deviate as rnorm(0, 1) returns it.
inline float standard(float y) { return static_cast<float>(0.0 + 1.0 * static_cast<double>(y)); }

inline float polarFactor(float w) {
    const double wd = static_cast<double>(w);
    return static_cast<float>(std::sqrt(-2.0 * std::log(wd) / wd));
}
}  // namespace

void fillNormals(Rng& rng, float* out, int count) {
    if (count <= 0) return;
    rng.nNormals += static_cast<std::uint64_t>(count);
    int i = 0;
    if (rng.use_last == 1) {
        out[i++] = standard(rng.y2);
        rng.use_last = 0;
    }
    constexpr int kBatch = 32;
    float x1[kBatch], x2[kBatch], w[kBatch];
    while (i < count) {
        const int pairs = std::min(kBatch, (count - i + 1) / 2);
        for (int k = 0; k < pairs; ++k) acceptedPair(rng, x1[k], x2[k], w[k]);
        for (int k = 0; k < pairs; ++k) {
            const float f = polarFactor(w[k]);
            const float y1 = x1[k] * f;
            const float y2 = x2[k] * f;
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

void skipNormals(Rng& rng, std::uint64_t n) {
    if (n > 0 && rng.use_last == 1) {
        rng.use_last = 0;
        ++rng.nNormals;
        --n;
    }
    for (; n >= 2; n -= 2) {
        float x1, x2, w;
        acceptedPair(rng, x1, x2, w);
        rng.nNormals += 2;
    }
    if (n == 1) rnorm(rng, 0.0f, 1.0f);
}
