#include "kendallcounts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "kendallsort.h"
#include "quicksort.h"

#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define ZELKOR_SCAN_AVX2 1
#include <immintrin.h>
#endif

namespace {
// Up to this many pairs of values the scan is the quicker count.
constexpr int kScanUpTo = 96;

// The scan's counts, and the pairs with a zero difference in each variable.
struct ScanCounts {
    KendallCounts c;
    long long zero1 = 0;
    long long zero2 = 0;
};

ScanCounts scanPortable(const float* data1, const float* data2, int n) {
    ScanCounts s;
    for (int j = 0; j < n - 1; ++j) {
        const float d1 = data1[j];
        const float d2 = data2[j];
        // Branch-free form of: a pair tied in neither variable (aa != 0)
        // counts in n1 and n2 and moves S by the sign of aa (a NaN product
        // counts as discordant); otherwise each variable counts the pair when
        // it is not tied in it.
        int is = 0, n1 = 0, n2 = 0, zero1 = 0, zero2 = 0;
        for (int k = j + 1; k < n; ++k) {
            const float a1 = d1 - data1[k];
            const float a2 = d2 - data2[k];
            const float aa = a1 * a2;
            const int untied = aa != 0.0f;
            const int up = aa > 0.0f;
            n1 += untied | (a1 != 0.0f);
            n2 += untied | (a2 != 0.0f);
            is += up - (untied & (1 - up));
            zero1 += a1 == 0.0f;
            zero2 += a2 == 0.0f;
        }
        s.c.is += is;
        s.c.n1 += n1;
        s.c.n2 += n2;
        s.zero1 += zero1;
        s.zero2 += zero2;
    }
    return s;
}

#ifdef ZELKOR_SCAN_AVX2
// The scan eight pairs at a time, each lane doing the float operations of
// one pair; pad1 and pad2 have room for n + 8 values.
__attribute__((target("avx2"))) ScanCounts scanAvx2(const float* data1, const float* data2, int n,
                                                    float* pad1, float* pad2) {
    std::copy(data1, data1 + n, pad1);
    std::copy(data2, data2 + n, pad2);
    std::fill(pad1 + n, pad1 + n + 8, 0.0f);
    std::fill(pad2 + n, pad2 + n + 8, 0.0f);
    const __m256 zero = _mm256_setzero_ps();
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i count = _mm256_set1_epi32(n);
    // Lanes past the end get both differences 0, which counts them only
    // among the zero differences; that count is formed from the others.
    __m256i up = _mm256_setzero_si256(), untied = up, n1 = up, n2 = up, nonZero1 = up, nonZero2 = up;
    for (int j = 0; j < n - 1; ++j) {
        const __m256 d1 = _mm256_set1_ps(pad1[j]);
        const __m256 d2 = _mm256_set1_ps(pad2[j]);
        for (int k = j + 1; k < n; k += 8) {
            const __m256 valid = _mm256_castsi256_ps(
                _mm256_cmpgt_epi32(count, _mm256_add_epi32(_mm256_set1_epi32(k), lane)));
            const __m256 a1 = _mm256_and_ps(_mm256_sub_ps(d1, _mm256_loadu_ps(pad1 + k)), valid);
            const __m256 a2 = _mm256_and_ps(_mm256_sub_ps(d2, _mm256_loadu_ps(pad2 + k)), valid);
            const __m256 aa = _mm256_mul_ps(a1, a2);
            const __m256 isUntied = _mm256_cmp_ps(aa, zero, _CMP_NEQ_UQ);
            const __m256 not1 = _mm256_cmp_ps(a1, zero, _CMP_NEQ_UQ);
            const __m256 not2 = _mm256_cmp_ps(a2, zero, _CMP_NEQ_UQ);
            // Masks are -1: subtracting one counts it.
            up = _mm256_sub_epi32(up, _mm256_castps_si256(_mm256_cmp_ps(aa, zero, _CMP_GT_OQ)));
            untied = _mm256_sub_epi32(untied, _mm256_castps_si256(isUntied));
            n1 = _mm256_sub_epi32(n1, _mm256_castps_si256(_mm256_or_ps(isUntied, not1)));
            n2 = _mm256_sub_epi32(n2, _mm256_castps_si256(_mm256_or_ps(isUntied, not2)));
            nonZero1 = _mm256_sub_epi32(nonZero1, _mm256_castps_si256(not1));
            nonZero2 = _mm256_sub_epi32(nonZero2, _mm256_castps_si256(not2));
        }
    }
    alignas(32) std::int32_t lanes[6][8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[0]), up);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[1]), untied);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[2]), n1);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[3]), n2);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[4]), nonZero1);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[5]), nonZero2);
    long long sums[6] = {};
    for (int v = 0; v < 6; ++v)
        for (const std::int32_t x : lanes[v]) sums[v] += x;
    // Every untied pair moves S by one: up by the rising ones, down by the rest.
    const long long pairs = static_cast<long long>(n) * (n - 1) / 2;
    ScanCounts s;
    s.c.is = static_cast<int>(2 * sums[0] - sums[1]);
    s.c.n1 = static_cast<int>(sums[2]);
    s.c.n2 = static_cast<int>(sums[3]);
    s.zero1 = pairs - sums[4];
    s.zero2 = pairs - sums[5];
    return s;
}
#endif

ScanCounts scan(const float* data1, const float* data2, int n, KendallWorkspace& ws) {
#ifdef ZELKOR_SCAN_AVX2
    // A handful of pairs costs less than setting up the lanes.
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && n >= 6) return scanAvx2(data1, data2, n, ws.copy1.floats(n + 8), ws.copy2.floats(n + 8));
#endif
    (void)ws;
    return scanPortable(data1, data2, n);
}

}  // namespace

KendallCounts kendallPairScan(const float* data1, const float* data2, int n) {
    return scanPortable(data1, data2, n).c;
}

namespace {
// The sizes of the runs of two or more equal values of arr, in order.
int runGroups(const float* arr, int n, float* groups) {
    int count = 0;
    int j = 0;
    while (j < n) {
        int pairs = 1;
        while (j + pairs < n && arr[j + pairs] == arr[j]) ++pairs;
        if (pairs >= 2) groups[count++] = static_cast<float>(pairs);
        j += pairs;
    }
    return count;
}

// Sorted copy of data; the sizes of its runs of two or more equal values are
// written to groups in ascending order of the tied value.  Returns their count.
int tieGroups(const float* data, int n, Buffer& copyBuffer, float* groups) {
    // Without NaNs the run lengths depend on the values alone, so any correct
    // sort gives them, and data already in order needs none.
    bool hasNaN = false;
    bool ordered = true;
    for (int i = 0; i < n; ++i) {
        hasNaN |= std::isnan(data[i]);
        if (i > 0 && data[i] < data[i - 1]) ordered = false;
    }
    const float* arr = data;
    if (hasNaN || !ordered) {
        float* copy = copyBuffer.floats(n);
        std::copy(data, data + n, copy);
        if (hasNaN)
            quicksort(copy, n);
        else
            std::sort(copy, copy + n);
        arr = copy;
    }
    return runGroups(arr, n, groups);
}

// data without NaNs copied in ascending order.  Values that fall and then
// rise (a descending stretch followed by an ascending one) need only a merge.
void sortedCopy(const float* data, int n, float* copy) {
    int turn = 1;
    while (turn < n && !(data[turn] > data[turn - 1])) ++turn;
    int end = turn;
    while (end < n && !(data[end] < data[end - 1])) ++end;
    if (end < n) {
        std::copy(data, data + n, copy);
        std::sort(copy, copy + n);
        return;
    }
    std::merge(std::make_reverse_iterator(data + turn), std::make_reverse_iterator(data), data + turn,
               data + n, copy);
}

// tieGroups with a merge in place of the sort where the data fall and then
// rise.
int quickTieGroups(const float* data, int n, Buffer& copyBuffer, float* groups) {
    bool hasNaN = false;
    bool ordered = true;
    for (int i = 0; i < n; ++i) {
        hasNaN |= std::isnan(data[i]);
        if (i > 0 && data[i] < data[i - 1]) ordered = false;
    }
    if (hasNaN) return tieGroups(data, n, copyBuffer, groups);
    const float* arr = data;
    if (!ordered) {
        float* copy = copyBuffer.floats(n);
        sortedCopy(data, n, copy);
        arr = copy;
    }
    return runGroups(arr, n, groups);
}

// quickTieGroups, remembered for the last two variables by their bits.
int recentTieGroups(const float* data, int n, Buffer& copyBuffer, float* groups, KendallWorkspace& ws) {
    const auto bytes = static_cast<std::size_t>(n) * sizeof(float);
    for (const auto& r : ws.recent) {
        if (r.values.size() == static_cast<std::size_t>(n) && std::memcmp(r.values.data(), data, bytes) == 0) {
            std::copy(r.groups.begin(), r.groups.end(), groups);
            return static_cast<int>(r.groups.size());
        }
    }
    const int count = quickTieGroups(data, n, copyBuffer, groups);
    auto& r = ws.recent[ws.nextRecent];
    ws.nextRecent = 1 - ws.nextRecent;
    r.values.assign(data, data + n);
    r.groups.assign(groups, groups + count);
    return count;
}
}  // namespace

KendallCounts kendallCountsAndTies(const float* data1, const float* data2, int n,
                                   KendallWorkspace& ws, float* groups1, int& count1,
                                   float* groups2, int& count2) {
    using Method = KendallWorkspace::Method;
    KendallCounts c;
    const bool sortedCount = ws.method == Method::Sorted || (ws.method == Method::Auto && n > kScanUpTo);
    if (sortedCount && sortedCounts(data1, data2, n, ws, c, groups1, count1, groups2, count2)) return c;
    const bool reference = ws.method == Method::Reference;
    const ScanCounts s = reference ? scanPortable(data1, data2, n) : scan(data1, data2, n, ws);
    // Finite values with no zero difference are all distinct: no groups.
    const bool distinct1 = !reference && s.zero1 == 0 && allFinite(data1, n);
    const bool distinct2 = !reference && s.zero2 == 0 && allFinite(data2, n);
    if (reference) {
        count1 = tieGroups(data1, n, ws.copy1, groups1);
        count2 = tieGroups(data2, n, ws.copy2, groups2);
    } else {
        count1 = distinct1 ? 0 : recentTieGroups(data1, n, ws.copy1, groups1, ws);
        count2 = distinct2 ? 0 : recentTieGroups(data2, n, ws.copy2, groups2, ws);
    }
    return s.c;
}

KendallCounts kendallCounts(const float* data1, const float* data2, int n, KendallWorkspace& ws) {
    int count1 = 0, count2 = 0;
    return kendallCountsAndTies(data1, data2, n, ws, ws.ties1.floats(n), count1, ws.ties2.floats(n),
                                count2);
}
