#include "median.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>

#include "quicksort.h"

float medianOfSmallestUnique(float* arr, int n, int k) {
    // Selection finds the same order statistics as a full sort when the
    // sorted sequence is unique.
    const int upper = k / 2;
    std::nth_element(arr, arr + upper, arr + n);
    const float hi = arr[upper];
    if (k % 2 == 1) return hi;
    const float lo = *std::max_element(arr, arr + upper);
    return static_cast<float>((static_cast<double>(lo) + static_cast<double>(hi)) / 2.0);
}

namespace {
// The median read off an array in ascending order.
float middleOfSorted(const float* arr, int nN) {
    if (nN % 2 == 1) return arr[(nN - 1) / 2];
    return static_cast<float>(
        (static_cast<double>(arr[nN / 2 - 1]) + static_cast<double>(arr[nN / 2])) / 2.0);
}

bool sameBitsThroughout(const float* arr, int nN) {
    const auto first = std::bit_cast<std::uint32_t>(arr[0]);
    int differing = 0;
    for (int i = 1; i < nN; ++i) differing += std::bit_cast<std::uint32_t>(arr[i]) != first;
    return differing == 0;
}

bool ascending(const float* arr, int nN) {
    for (int i = 1; i < nN; ++i)
        if (arr[i] < arr[i - 1]) return false;
    return true;
}
}  // namespace

float medianInPlace(float* arr, int nN) {
    if (nN < 1) return std::numeric_limits<float>::quiet_NaN();
    if (orderIsUnique(arr, nN)) {
        // Any sort gives the one ascending order; short arrays sort quickest
        // by insertion.
        if (nN > 16) return medianOfSmallestUnique(arr, nN, nN);
        for (int i = 1; i < nN; ++i) {
            const float v = arr[i];
            int j = i;
            for (; j > 0 && v < arr[j - 1]; --j) arr[j] = arr[j - 1];
            arr[j] = v;
        }
        return middleOfSorted(arr, nN);
    }
    // Every element with the same bits (one NaN throughout, say): every order
    // of the array is the same array.
    if (sameBitsThroughout(arr, nN)) return middleOfSorted(arr, nN);
    quicksort(arr, nN);
    return middleOfSorted(arr, nN);
}

float median(const float* pfX, int nN, Buffer& copy) {
    if (nN < 1) return std::numeric_limits<float>::quiet_NaN();
    // Values already in their one ascending order need no copy.
    if (ascending(pfX, nN) && orderIsUnique(pfX, nN)) return middleOfSorted(pfX, nN);
    float* arr = copy.floats(nN);
    std::copy(pfX, pfX + nN, arr);
    return medianInPlace(arr, nN);
}
