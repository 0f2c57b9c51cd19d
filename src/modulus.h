// The remainder of a 32-bit generator output by a fixed divisor, by
// multiplication instead of division.
#pragma once

#include <cstdint>

// u % d for every 32-bit u, with d fixed (1 <= d < 2^32).  The reciprocal
// ceil(2^64 / d) taken modulo 2^64 makes the fraction of u / d in its low 64
// bits to enough places that the high word of fraction * d is the remainder
// exactly (Lemire, Kaser and Kurz, "Faster remainder by direct computation").
class Modulus {
public:
    explicit Modulus(std::uint32_t d) : d_(d), reciprocal_(~std::uint64_t{0} / d + 1) {}

    std::uint32_t of(std::uint32_t u) const {
        const std::uint64_t fraction = reciprocal_ * u;
        return static_cast<std::uint32_t>((static_cast<unsigned __int128>(fraction) * d_) >> 64);
    }

private:
    std::uint64_t d_;
    std::uint64_t reciprocal_;
};
