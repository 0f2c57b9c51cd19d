// Series of the kinds that decide between the fast and the defining paths of
// the rank kernels: continuous, tied, constant, whole-numbered, signed zeros,
// magnitudes whose differences overflow or whose products underflow, and
// non-finite values.  Each series comes from a seeded generator, so a failure
// names its seed.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace awkward {

enum class Kind {
    Continuous,   // normal deviates
    FewValues,    // five values, many ties
    Constant,     // one value
    Integers,     // rounded normal deviates times 3: ties and exact slopes
    SignedZeros,  // +0, -0, 1, -1 and small whole numbers
    Huge,         // near the float limit: differences overflow
    Tiny,         // subnormal: products of differences underflow
    NonFinite,    // continuous with NaNs and infinities
};

inline const Kind kAllKinds[] = {Kind::Continuous, Kind::FewValues, Kind::Constant,
                                 Kind::Integers,   Kind::SignedZeros, Kind::Huge,
                                 Kind::Tiny,       Kind::NonFinite};

inline std::string name(Kind k) {
    switch (k) {
        case Kind::Continuous: return "continuous";
        case Kind::FewValues: return "few values";
        case Kind::Constant: return "constant";
        case Kind::Integers: return "integers";
        case Kind::SignedZeros: return "signed zeros";
        case Kind::Huge: return "huge";
        case Kind::Tiny: return "tiny";
        case Kind::NonFinite: return "non-finite";
    }
    return "?";
}

inline std::vector<float> series(Kind kind, int n, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<float> v(static_cast<std::size_t>(n > 0 ? n : 0));
    const float inf = std::numeric_limits<float>::infinity();
    for (std::size_t i = 0; i < v.size(); ++i) {
        float& x = v[i];
        switch (kind) {
            case Kind::Continuous: x = normal(gen) + 0.01f * static_cast<float>(i); break;
            case Kind::FewValues: x = static_cast<float>(gen() % 5) * 0.25f - 0.5f; break;
            case Kind::Constant: x = 3.5f; break;
            case Kind::Integers: x = std::round(3.0f * normal(gen)); break;
            case Kind::SignedZeros: {
                const float pool[] = {0.0f, -0.0f, 0.0f, -0.0f, 1.0f, -1.0f, 2.0f};
                x = pool[gen() % 7];
                break;
            }
            case Kind::Huge: x = (gen() % 2 == 0 ? 1.0f : -1.0f) * 3.0e38f * (0.5f + 0.125f * static_cast<float>(gen() % 5)); break;
            case Kind::Tiny: x = static_cast<float>(static_cast<int>(gen() % 9) - 4) * 1e-44f; break;
            case Kind::NonFinite: {
                const float odd[] = {std::numeric_limits<float>::quiet_NaN(), inf, -inf};
                x = gen() % 17 == 0 ? odd[gen() % 3] : normal(gen);
                break;
            }
        }
    }
    return v;
}

// The partners the effect sizes give a series: time points 1 .. n, the
// phase indicator (0 for the first half, 1 after), Tau-U's ordering.
inline std::vector<float> timePoints(int n) {
    std::vector<float> v(static_cast<std::size_t>(n > 0 ? n : 0));
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(i + 1);
    return v;
}

inline std::vector<float> indicator(int n) {
    std::vector<float> v(static_cast<std::size_t>(n > 0 ? n : 0), 0.0f);
    for (std::size_t i = v.size() / 2; i < v.size(); ++i) v[i] = 1.0f;
    return v;
}

inline std::vector<float> tauUOrdering(int n) {
    const int nA = n / 2;
    std::vector<float> v(static_cast<std::size_t>(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = static_cast<float>(i < nA ? nA - i : nA + 1);
    return v;
}

inline bool sameBits(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace awkward
