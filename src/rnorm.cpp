#include "rnorm.h"

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
