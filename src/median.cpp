#include "median.h"

#include <algorithm>
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

float medianInPlace(float* arr, int nN) {
    if (nN < 1) return std::numeric_limits<float>::quiet_NaN();
    if (orderIsUnique(arr, nN)) return medianOfSmallestUnique(arr, nN, nN);
    quicksort(arr, nN);
    if (nN % 2 == 1) return arr[(nN - 1) / 2];
    return static_cast<float>(
        (static_cast<double>(arr[nN / 2 - 1]) + static_cast<double>(arr[nN / 2])) / 2.0);
}

float median(const float* pfX, int nN, Buffer& copy) {
    if (nN < 1) return std::numeric_limits<float>::quiet_NaN();
    float* arr = copy.floats(nN);
    std::copy(pfX, pfX + nN, arr);
    return medianInPlace(arr, nN);
}
