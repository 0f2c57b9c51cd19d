#include "slopeestimates.h"

#include <algorithm>

#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define ZELKOR_SLOPE_AVX2 1
#include <immintrin.h>
#endif

namespace {
// Where the pairs inside the bounds are written.
struct NearArrays {
    std::uint32_t* pairs;
    float* estimates;
};

// Room for `count` pairs inside the bounds, the next row's and 8 more; the
// arrays grow by doubling, so their size follows the pairs a call keeps.
NearArrays makeRoom(SlopeMedianWorkspace& ws, std::size_t count, int rowLength) {
    const std::size_t room = count + static_cast<std::size_t>(rowLength) + 8;
    if (ws.nearPairs.size() < room) {
        const std::size_t size = std::max(room, 2 * ws.nearPairs.size());
        ws.nearPairs.resize(size);
        ws.nearEstimates.resize(size);
    }
    return {ws.nearPairs.data(), ws.nearEstimates.data()};
}

// One pair's estimate p against the bounds: counted when outside, written
// at count (and kept by advancing count) when inside.
inline void tallyEstimate(float p, std::uint32_t pair, const SlopeBounds& b, SlopeTally& t,
                          std::uint32_t* pairs, float* estimates, std::size_t& count) {
    const bool low = p < b.lo;
    const bool high = p > b.hi;
    t.below += low;
    t.above += high;
    pairs[count] = pair;
    estimates[count] = p;
    count += !(low || high);
}

// The estimates of all pairs of unit-spaced points, (y[j] - y[i]) *
// reciprocal[j - i] in float, against [lo, hi]: those outside are counted,
// those inside written to ws.nearPairs (i << 16 | j) and ws.nearEstimates,
// in pair order.  Returns the count written.
std::size_t tallyEstimates(const float* y, int n, const float* reciprocal, const SlopeBounds& b,
                           SlopeTally& t, SlopeMedianWorkspace& ws) {
    std::size_t count = 0;
    for (int i = 0; i < n - 1; ++i) {
        const auto [pairs, estimates] = makeRoom(ws, count, n - i);
        const float yi = y[i];
        const float* inv = reciprocal - i;
        const std::uint32_t row = static_cast<std::uint32_t>(i) << 16;
        for (int j = i + 1; j < n; ++j)
            tallyEstimate((y[j] - yi) * inv[j], row | static_cast<std::uint32_t>(j), b, t, pairs,
                          estimates, count);
    }
    return count;
}

#ifdef ZELKOR_SLOPE_AVX2
// For each 8-bit lane mask, the indices of its set lanes first.
struct LeftPack {
    alignas(32) std::int32_t lanes[256][8];
    constexpr LeftPack() : lanes{} {
        for (int mask = 0; mask < 256; ++mask) {
            int k = 0;
            for (int lane = 0; lane < 8; ++lane)
                if ((mask >> lane & 1) != 0) lanes[mask][k++] = lane;
        }
    }
};
constexpr LeftPack kLeftPack;

// tallyEstimates eight pairs at a time: the same float operations on each
// lane, the pairs inside the bounds packed to the front of each store.
__attribute__((target("avx2,popcnt"))) std::size_t tallyEstimatesAvx2(
    const float* y, int n, const float* reciprocal, const SlopeBounds& b, SlopeTally& t,
    SlopeMedianWorkspace& ws) {
    const __m256 lo = _mm256_set1_ps(b.lo);
    const __m256 hi = _mm256_set1_ps(b.hi);
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i below = _mm256_setzero_si256();
    __m256i above = _mm256_setzero_si256();
    std::size_t count = 0;
    for (int i = 0; i < n - 1; ++i) {
        const auto [pairs, estimates] = makeRoom(ws, count, n - i);
        const float yi = y[i];
        const __m256 vyi = _mm256_set1_ps(yi);
        const float* inv = reciprocal - i;
        const std::uint32_t row = static_cast<std::uint32_t>(i) << 16;
        int j = i + 1;
        for (; j + 8 <= n; j += 8) {
            const __m256 p =
                _mm256_mul_ps(_mm256_sub_ps(_mm256_loadu_ps(y + j), vyi), _mm256_loadu_ps(inv + j));
            const __m256 low = _mm256_cmp_ps(p, lo, _CMP_LT_OQ);
            const __m256 high = _mm256_cmp_ps(p, hi, _CMP_GT_OQ);
            below = _mm256_sub_epi32(below, _mm256_castps_si256(low));
            above = _mm256_sub_epi32(above, _mm256_castps_si256(high));
            const int inside = ~_mm256_movemask_ps(_mm256_or_ps(low, high)) & 0xff;
            const __m256i order =
                _mm256_load_si256(reinterpret_cast<const __m256i*>(kLeftPack.lanes[inside]));
            const __m256i ids = _mm256_add_epi32(
                _mm256_set1_epi32(static_cast<int>(row | static_cast<std::uint32_t>(j))), lane);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pairs + count),
                                _mm256_permutevar8x32_epi32(ids, order));
            _mm256_storeu_ps(estimates + count, _mm256_permutevar8x32_ps(p, order));
            count += static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(inside)));
        }
        for (; j < n; ++j)
            tallyEstimate((y[j] - yi) * inv[j], row | static_cast<std::uint32_t>(j), b, t, pairs,
                          estimates, count);
    }
    alignas(32) std::int32_t sums[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), below);
    for (const std::int32_t c : sums) t.below += c;
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), above);
    for (const std::int32_t c : sums) t.above += c;
    return count;
}

bool vectorKernel() {
    static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return available;
}
#endif
}  // namespace

std::size_t tallySlopeEstimates(const float* y, int n, const float* reciprocal, const SlopeBounds& b,
                                SlopeTally& t, SlopeMedianWorkspace& ws, bool vector) {
#ifdef ZELKOR_SLOPE_AVX2
    if (vector && vectorKernel()) return tallyEstimatesAvx2(y, n, reciprocal, b, t, ws);
#else
    (void)vector;
#endif
    return tallyEstimates(y, n, reciprocal, b, t, ws);
}
