#include "signtest.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

namespace {
// A non-negative integer below 2^(32 * kLimbs), little-endian 32-bit words.
constexpr int kLimbs = kSignTestExactLimit / 32 + 2;

struct Natural {
    std::array<std::uint32_t, kLimbs> word{};
    int size = 0;  // words in use; the top one is non-zero

    explicit Natural(std::uint32_t v = 0) {
        word[0] = v;
        size = v != 0 ? 1 : 0;
    }

    void multiply(std::uint32_t m) {
        std::uint64_t carry = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint64_t t = static_cast<std::uint64_t>(word[static_cast<std::size_t>(i)]) * m + carry;
            word[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        if (carry != 0) word[static_cast<std::size_t>(size++)] = static_cast<std::uint32_t>(carry);
    }

    // Division that leaves no remainder.
    void divideExactly(std::uint32_t d) {
        std::uint64_t rest = 0;
        for (int i = size - 1; i >= 0; --i) {
            const std::uint64_t t = (rest << 32) | word[static_cast<std::size_t>(i)];
            word[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(t / d);
            rest = t % d;
        }
        while (size > 0 && word[static_cast<std::size_t>(size - 1)] == 0) --size;
    }

    void add(const Natural& other) {
        std::uint64_t carry = 0;
        const int n = std::max(size, other.size);
        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            const std::uint64_t t = static_cast<std::uint64_t>(word[k]) + other.word[k] + carry;
            word[k] = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        size = n;
        if (carry != 0) word[static_cast<std::size_t>(size++)] = static_cast<std::uint32_t>(carry);
    }

    // 2^bits minus this value, which must not exceed 2^bits.
    void subtractFromPowerOfTwo(int bits) {
        Natural power;
        power.word[static_cast<std::size_t>(bits / 32)] = 1u << (bits % 32);
        power.size = bits / 32 + 1;
        std::int64_t borrow = 0;
        for (int i = 0; i < power.size; ++i) {
            const auto k = static_cast<std::size_t>(i);
            std::int64_t t = static_cast<std::int64_t>(power.word[k]) - word[k] - borrow;
            borrow = t < 0 ? 1 : 0;
            if (t < 0) t += std::int64_t{1} << 32;
            word[k] = static_cast<std::uint32_t>(t);
        }
        size = power.size;
        while (size > 0 && word[static_cast<std::size_t>(size - 1)] == 0) --size;
    }

    int bitLength() const {
        if (size == 0) return 0;
        return 32 * (size - 1) + 32 - std::countl_zero(word[static_cast<std::size_t>(size - 1)]);
    }

    bool bit(int i) const {
        if (i < 0 || i >= 32 * size) return false;
        return (word[static_cast<std::size_t>(i / 32)] >> (i % 32)) & 1u;
    }

    bool anyBitBelow(int i) const {
        for (int w = 0; w < size && 32 * w < i; ++w) {
            const int bitsHere = std::min(32, i - 32 * w);
            const std::uint32_t mask = bitsHere == 32 ? ~0u : ((1u << bitsHere) - 1u);
            if (word[static_cast<std::size_t>(w)] & mask) return true;
        }
        return false;
    }

    // The bits from i upward (at most 25 of them are asked for).
    std::uint32_t bitsFrom(int i) const {
        std::uint32_t v = 0;
        for (int b = bitLength() - 1; b >= i; --b) v = (v << 1) | (bit(b) ? 1u : 0u);
        return v;
    }
};

// sum over j = from .. n of C(n, j), for from > n / 2, from j = n downward:
// C(n, j) = C(n, j + 1) (j + 1) / (n - j).
Natural upperTailCount(int n, int from) {
    Natural term(1), sum(1);
    for (int j = n - 1; j >= from; --j) {
        term.multiply(static_cast<std::uint32_t>(j + 1));
        term.divideExactly(static_cast<std::uint32_t>(n - j));
        sum.add(term);
    }
    return sum;
}

// s / 2^n rounded to the nearest float, ties to even; a float keeps 24
// significant bits and no bit below 2^-149.
float scaledToFloat(const Natural& s, int n) {
    const int length = s.bitLength();
    if (length == 0) return 0.0f;
    const int dropped = std::max(length - 24, n - 149);
    if (dropped <= 0) return std::ldexp(static_cast<float>(s.bitsFrom(0)), -n);
    std::uint32_t kept = s.bitsFrom(dropped);
    const bool half = s.bit(dropped - 1);
    if (half && (s.anyBitBelow(dropped - 1) || (kept & 1u))) ++kept;
    return std::ldexp(static_cast<float>(kept), dropped - n);
}

float exactP(int n, int x) {
    if (x > n / 2) return scaledToFloat(upperTailCount(n, x), n);
    Natural rest = upperTailCount(n, n - x + 1);
    rest.subtractFromPowerOfTwo(n);
    return scaledToFloat(rest, n);
}

// The binomial(n, 1/2) probabilities of j = from .. n in double, for
// from > floor(n / 2), where the terms fall with j.
double upperTailDouble(int n, int from) {
    const int c = n / 2;
    double t = 1.0;
    for (int i = 1; i <= c; ++i) t = t * (2.0 * i - 1.0) / (2.0 * i);
    if (n % 2 == 1) t = t * (2.0 * c + 1.0) / (2.0 * c + 2.0);
    for (int j = c; j < from; ++j) t = t * static_cast<double>(n - j) / static_cast<double>(j + 1);
    double sum = 0.0;
    for (int j = from; j <= n && t > 0.0; ++j) {
        sum += t;
        t = t * static_cast<double>(n - j) / static_cast<double>(j + 1);
    }
    return sum;
}
}  // namespace

float signTestP(int n, int x) {
    if (x <= 0) return 1.0f;
    if (x > n) return 0.0f;
    if (n <= kSignTestExactLimit) return exactP(n, x);
    const double tail = x > n / 2 ? upperTailDouble(n, x) : 1.0 - upperTailDouble(n, n - x + 1);
    return static_cast<float>(std::clamp(tail, 0.0, 1.0));
}
