#include "quicksort.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>

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

void sortAscending(float* a, int n) {
    if (n < 2) return;
    if (orderIsUnique(a, n))
        std::sort(a, a + n);
    else
        quicksort(a, n);
}
