#include "quicksort.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <vector>

void quicksort(float* a, int n) {
    // The second part is sorted by the loop instead of a second recursive
    // call; both parts are disjoint, so the result is the same and the depth
    // stays logarithmic when the smaller part is the one recursed into.
    while (n >= 2) {
        const float p = a[n / 2];
        int i = 0;
        int j = n - 1;
        for (;;) {
            while (a[i] < p) ++i;
            while (a[j] > p) --j;
            if (i >= j) break;
            const float t = a[i];
            a[i] = a[j];
            a[j] = t;
            ++i;
            --j;
        }
        if (i < n - i) {
            quicksort(a, i);
            a += i;
            n -= i;
        } else {
            quicksort(a + i, n - i);
            n = i;
        }
    }
}

bool orderIsUnique(const float* a, int n) {
    // Read as bits: a NaN has an all-ones exponent and a non-zero fraction,
    // and the two zeros are the two words with no bit but the sign's.
    int nans = 0, positiveZeros = 0, negativeZeros = 0;
    for (int i = 0; i < n; ++i) {
        const auto u = std::bit_cast<std::uint32_t>(a[i]);
        nans += (u & 0x7fffffffu) > 0x7f800000u;
        positiveZeros += u == 0u;
        negativeZeros += u == 0x80000000u;
    }
    return nans == 0 && (positiveZeros == 0 || negativeZeros == 0);
}

bool allFinite(const float* a, int n) {
    // Read as bits: an all-ones exponent is an infinity or a NaN.
    int odd = 0;
    for (int i = 0; i < n; ++i) odd += (std::bit_cast<std::uint32_t>(a[i]) & 0x7f800000u) == 0x7f800000u;
    return odd == 0;
}

namespace {
// Without NaNs these words ascend as the floats do (a zero's two words are
// apart, which orders nothing here: only one of them occurs).
inline std::uint32_t ascendingWord(float v) {
    const auto u = std::bit_cast<std::uint32_t>(v);
    return (u & 0x80000000u) != 0 ? ~u : (u | 0x80000000u);
}

inline float fromAscendingWord(std::uint32_t w) {
    return std::bit_cast<float>((w & 0x80000000u) != 0 ? (w & 0x7fffffffu) : ~w);
}

// Sorts a long array of unique order by its words.
void radixSort(float* a, int n) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(n)), spare(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) words[static_cast<std::size_t>(i)] = ascendingWord(a[i]);
    sortWords(words.data(), spare.data(), n);
    for (int i = 0; i < n; ++i) a[i] = fromAscendingWord(words[static_cast<std::size_t>(i)]);
}
}  // namespace

void sortAscending(float* a, int n) {
    if (n < 2) return;
    if (!orderIsUnique(a, n))
        quicksort(a, n);
    else if (n < 512)
        std::sort(a, a + n);
    else
        radixSort(a, n);
}

void sortWords(std::uint32_t* words, std::uint32_t* spare, int n) {
    std::uint32_t counts[4][256] = {};
    for (int i = 0; i < n; ++i)
        for (int d = 0; d < 4; ++d) ++counts[d][words[i] >> (8 * d) & 0xffu];
    std::uint32_t* src = words;
    std::uint32_t* dst = spare;
    for (int d = 0; d < 4; ++d) {
        const int shift = 8 * d;
        if (n == 0 || counts[d][src[0] >> shift & 0xffu] == static_cast<std::uint32_t>(n)) continue;
        std::uint32_t offset[256];
        std::uint32_t sum = 0;
        for (int b = 0; b < 256; ++b) {
            offset[b] = sum;
            sum += counts[d][b];
        }
        for (int i = 0; i < n; ++i) dst[offset[src[i] >> shift & 0xffu]++] = src[i];
        std::swap(src, dst);
    }
    if (src != words) std::copy(src, src + n, words);
}
