#include "quicksort.h"

#include <algorithm>
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
    for (int i = 0; i < n; ++i) {
        // NaN fails the comparison, and so does either zero.
        if (!(std::fabs(a[i]) > 0.0f)) return false;
    }
    return true;
}

void sortAscending(float* a, int n) {
    if (n < 2) return;
    if (orderIsUnique(a, n))
        std::sort(a, a + n);
    else
        quicksort(a, n);
}
