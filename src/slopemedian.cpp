#include "slopemedian.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <limits>

#include "median.h"
#include "quicksort.h"
#include "slopeestimates.h"

namespace {
// Below this many pairs every slope is stored and the median taken directly.
constexpr long long kSelectFromPairs = 2048;
// The pass packs a pair into 16 + 16 bits.
constexpr int kMaxStreamedPoints = 65535;
// Places between an estimate and its slope that the pass allows for (the
// error is at most 7: three roundings of at most half a unit each and the
// slope's own two).
constexpr std::int64_t kEstimatePlaces = 10;
// Half the width of the sampled bounds, in standard errors of the sample median.
constexpr double kBoundSigmas = 3.5;

inline float pairSlope(const float* x, const float* y, int i, int j) {
    return static_cast<float>((static_cast<double>(y[j]) - static_cast<double>(y[i])) /
                              (static_cast<double>(x[j]) - static_cast<double>(x[i])));
}

long long pairCount(int n) { return n > 1 ? static_cast<long long>(n) * (n - 1) / 2 : 0; }

// The definition: every slope in pair order, then their median.
float allSlopesMedian(const float* x, const float* y, int n, SlopeMedianWorkspace& ws) {
    const long long pairs = pairCount(n);
    if (pairs > INT_MAX) return std::numeric_limits<float>::quiet_NaN();  // cannot be stored
    float* slopes = ws.all.floats(static_cast<int>(pairs));
    int k = 0;
    for (int i = 0; i < n - 1; ++i)
        for (int j = i + 1; j < n; ++j) slopes[k++] = pairSlope(x, y, i, j);
    return medianInPlace(slopes, k);
}


// The place of a float in the order of floats: consecutive floats are one
// place apart, both zeros are place 0, the infinities are the ends.
constexpr std::int64_t kInfinityPlace = 0x7f800000;
inline std::int64_t place(float v) {
    const auto u = std::bit_cast<std::uint32_t>(v);
    const auto magnitude = static_cast<std::int64_t>(u & 0x7fffffffu);
    return (u & 0x80000000u) != 0 ? -magnitude : magnitude;
}

// True when x holds whole numbers x[0], x[0] + 1, ..., all exact in float,
// so that x[j] - x[i] = j - i exactly.
bool unitSpaced(const float* x, int n) {
    const double x0 = static_cast<double>(x[0]);
    if (!(std::fabs(x0) + n < 0x1p24) || std::floor(x0) != x0) return false;
    for (int k = 1; k < n; ++k)
        if (static_cast<double>(x[k]) != x0 + k) return false;
    return true;
}

// Zero-based ranks of the middle slopes (equal for an odd count).
struct Ranks {
    long long lo;
    long long hi;
};

Ranks middleRanks(long long pairs) {
    const long long hi = pairs / 2;
    return {pairs % 2 == 1 ? hi : hi - 1, hi};
}

using Bounds = SlopeBounds;
using Tally = SlopeTally;

// Bounds of the median from a fixed pseudo-random sample of pairs: the
// sample's order statistics kBoundSigmas standard errors either side of its
// middle.  slopeOf(i, j) gives a pair's slope or estimate.  False when a
// sampled value is NaN.
template <class SlopeOf>
bool sampleBounds(int n, long long pairs, SlopeOf slopeOf, std::vector<float>& store, Bounds& b) {
    const double wanted = 0.3 * std::cbrt(static_cast<double>(pairs) * static_cast<double>(pairs));
    const int size = static_cast<int>(std::clamp(wanted, 256.0, static_cast<double>(pairs)));
    store.resize(static_cast<std::size_t>(size));
    float* sample = store.data();
    std::uint64_t state = 0x9e3779b97f4a7c15u;  // xorshift64*, fixed seed
    const auto below = [&state](int bound) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const std::uint64_t r = (state * 0x2545f4914f6cdd1du) >> 32;
        return static_cast<int>((r * static_cast<std::uint64_t>(bound)) >> 32);
    };
    for (int t = 0; t < size; ++t) {
        int i = below(n);
        int j = below(n - 1);
        if (j >= i) ++j;
        if (i > j) std::swap(i, j);
        sample[t] = slopeOf(i, j);
        if (std::isnan(sample[t])) return false;
    }
    const double half = 0.5 * kBoundSigmas * std::sqrt(static_cast<double>(size));
    const int a = std::max(static_cast<int>(std::floor(size / 2.0 - half)), 0);
    const int c = std::min(static_cast<int>(std::ceil(size / 2.0 + half)), size - 1);
    std::nth_element(sample, sample + a, sample + size);
    b.lo = sample[a];
    std::nth_element(sample + a, sample + c, sample + size);
    b.hi = sample[c];
    return true;
}

bool mixedZeros(const std::vector<float>& v) {
    bool positive = false, negative = false;
    for (const float f : v) {
        if (f == 0.0f) (std::signbit(f) ? negative : positive) = true;
    }
    return positive && negative;
}

// The median from the order statistics lo and hi of the slopes.
float middleOf(const Ranks& r, float lo, float hi) {
    if (r.lo == r.hi) return hi;
    return static_cast<float>((static_cast<double>(lo) + static_cast<double>(hi)) / 2.0);
}

// Any x: every pair's exact slope against the bounds; the median selected
// among those inside.  False when the selection cannot decide.
bool selectExact(const float* x, const float* y, int n, const Bounds& b, SlopeMedianWorkspace& ws,
                 float& result) {
    long long below = 0;
    ws.kept.clear();
    for (int i = 0; i < n - 1; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const float f = pairSlope(x, y, i, j);
            if (std::isnan(f)) return false;
            below += f < b.lo;
            if (f >= b.lo && f <= b.hi) ws.kept.push_back(f);
        }
    }
    const Ranks r = middleRanks(pairCount(n));
    const auto count = static_cast<long long>(ws.kept.size());
    if (below > r.lo || below + count <= r.hi) return false;
    float* k = ws.kept.data();
    const auto upper = static_cast<std::ptrdiff_t>(r.hi - below);
    std::nth_element(k, k + upper, k + count);
    const float hi = k[upper];
    const float lo = r.lo == r.hi ? hi : *std::max_element(k, k + upper);
    if (lo == 0.0f && hi == 0.0f && mixedZeros(ws.kept)) return false;
    result = middleOf(r, lo, hi);
    return true;
}

// Counts of the numbers 0 .. size-1 in store[0 .. size-1], made in four
// interleaved copies so that a long run of one number (ties) does not wait
// on its own increments; gather() adds the copies up.
class SpreadCounts {
public:
    SpreadCounts(std::vector<std::uint32_t>& store, std::size_t size) : store_(store), size_(size) {
        store_.assign(4 * size, 0);
    }
    void add(std::size_t k, std::size_t value) { ++store_[(k & 3) * size_ + value]; }
    void gather() {
        for (std::size_t v = 0; v < size_; ++v)
            store_[v] += store_[size_ + v] + store_[2 * size_ + v] + store_[3 * size_ + v];
        store_.resize(size_);
    }

private:
    std::vector<std::uint32_t>& store_;
    std::size_t size_;
};

// The bucket (of 2^shift places above base) of the estimates holding the
// estimate of rank r among them.
std::size_t bucketOfRank(const std::vector<std::uint32_t>& buckets, long long r) {
    long long seen = 0;
    for (std::size_t k = 0; k < buckets.size(); ++k) {
        seen += buckets[k];
        if (seen > r) return k;
    }
    return buckets.size() - 1;
}

// The places [w0, w1] that hold the middle slopes, from a histogram of the
// estimates inside the bounds: the buckets of the middle estimates widened by
// kEstimatePlaces.  False when that window reaches the bounds' margins.
bool middleWindow(const float* estimates, std::size_t count, const Bounds& b, long long r1,
                  long long r2, std::vector<std::uint32_t>& buckets, std::int64_t& w0,
                  std::int64_t& w1) {
    const std::int64_t base = place(b.lo);
    const auto span = static_cast<std::uint64_t>(place(b.hi) - base);
    const int bucketBits = std::clamp(static_cast<int>(std::bit_width(count)) - 2, 4, 16);
    const int shift = std::max(static_cast<int>(std::bit_width(span)) - bucketBits, 0);
    SpreadCounts counts(buckets, static_cast<std::size_t>(span >> shift) + 1);
    for (std::size_t k = 0; k < count; ++k)
        counts.add(k, static_cast<std::size_t>(place(estimates[k]) - base) >> shift);
    counts.gather();
    const auto first = static_cast<std::int64_t>(bucketOfRank(buckets, r1));
    const auto last = static_cast<std::int64_t>(bucketOfRank(buckets, r2));
    w0 = base + (first << shift) - kEstimatePlaces;
    w1 = base + ((last + 1) << shift) - 1 + kEstimatePlaces;
    // Pairs below the bounds have slopes below place(lo) + kEstimatePlaces.
    return w0 >= base + kEstimatePlaces && w1 <= place(b.hi) - kEstimatePlaces;
}

// The exact slope of unit-spaced pair (i, j) from its estimate p: when p
// times j - i gives the difference back exactly (the product of a float and
// a 16-bit whole number is exact in double), p is the quotient itself.
inline float slopeFromEstimate(const float* y, std::uint32_t pair, float p) {
    const auto i = static_cast<int>(pair >> 16);
    const auto j = static_cast<int>(pair & 0xffffu);
    const double dy = static_cast<double>(y[j]) - static_cast<double>(y[i]);
    const auto d = static_cast<double>(j - i);
    if (static_cast<double>(p) * d == dy) return p;
    return static_cast<float>(dy / d);
}

// The float at a place.
inline float atPlace(std::int64_t p) {
    const auto magnitude = static_cast<std::uint32_t>(p < 0 ? -p : p);
    return std::bit_cast<float>(p < 0 ? magnitude | 0x80000000u : magnitude);
}

// Windows up to this many places are counted place by place.
constexpr std::int64_t kCountedPlaces = 1 << 16;

// The middle slopes from counts of the kept slopes by place (from w0); false
// when they are zeros and zeros of both signs occur.
bool middleByPlace(const std::vector<std::uint32_t>& counts, std::int64_t w0, long long k1, long long k2,
                   const long long* zeros, float& lo, float& hi) {
    long long seen = 0;
    std::int64_t p1 = -1, p2 = -1;
    for (std::size_t c = 0; c < counts.size() && p2 < 0; ++c) {
        seen += counts[c];
        if (p1 < 0 && seen > k1) p1 = static_cast<std::int64_t>(c);
        if (seen > k2) p2 = static_cast<std::int64_t>(c);
    }
    if (p2 < 0) return false;
    lo = atPlace(w0 + p1);
    hi = atPlace(w0 + p2);
    if (lo == 0.0f && hi == 0.0f) {
        if (zeros[0] > 0 && zeros[1] > 0) return false;
        if (zeros[1] > 0) lo = hi = -0.0f;
    }
    return true;
}

// Unit-spaced x: the median among the pairs whose estimate is inside the
// bounds.  The estimates locate a window of places around the middle; the
// exact slopes are formed for the pairs whose estimate is near it, and the
// middle ones selected by counting places (or among the kept slopes when
// the window is wide).
bool selectEstimated(const float* y, const Ranks& r, const Tally& t, const Bounds& b,
                     std::size_t count, SlopeMedianWorkspace& ws, float& result) {
    const long long r1 = r.lo - t.below;
    const long long r2 = r.hi - t.below;
    if (r1 < 0 || r2 >= static_cast<long long>(count)) return false;
    const float* estimates = ws.nearEstimates.data();
    std::int64_t w0 = 0, w1 = 0;
    if (!middleWindow(estimates, count, b, r1, r2, ws.buckets, w0, w1)) return false;

    const bool byPlace = w1 - w0 < kCountedPlaces;
    SpreadCounts counts(ws.buckets, byPlace ? static_cast<std::size_t>(w1 - w0 + 1) : 0);
    ws.kept.clear();
    // Estimates within kEstimatePlaces of the window: their pairs' slopes
    // may fall inside it.
    const std::int64_t zone = w0 - kEstimatePlaces;
    const auto zoneWidth = static_cast<std::uint64_t>(w1 - w0 + 2 * kEstimatePlaces);
    long long below = t.below;
    long long zeros[2] = {0, 0};  // kept slopes +0 and -0
    for (std::size_t k = 0; k < count; ++k) {
        const std::int64_t pe = place(estimates[k]);
        below += pe < zone;
        if (static_cast<std::uint64_t>(pe - zone) > zoneWidth) continue;
        const float f = slopeFromEstimate(y, ws.nearPairs[k], estimates[k]);
        const std::int64_t pf = place(f);
        below += pf < w0;
        if (pf < w0 || pf > w1) continue;
        if (f == 0.0f) ++zeros[std::signbit(f) ? 1 : 0];
        if (byPlace)
            counts.add(k, static_cast<std::size_t>(pf - w0));
        else
            ws.kept.push_back(f);
    }
    counts.gather();
    const long long k1 = r.lo - below;
    const long long k2 = r.hi - below;
    if (k1 < 0) return false;
    float lo = 0.0f, hi = 0.0f;
    if (byPlace) {
        if (!middleByPlace(ws.buckets, w0, k1, k2, zeros, lo, hi)) return false;
    } else {
        if (k2 >= static_cast<long long>(ws.kept.size())) return false;
        float* kept = ws.kept.data();
        const auto upper = static_cast<std::ptrdiff_t>(k2);
        std::nth_element(kept, kept + upper, kept + ws.kept.size());
        hi = kept[upper];
        lo = k1 == k2 ? hi : *std::max_element(kept, kept + upper);
        if (lo == 0.0f && hi == 0.0f && zeros[0] > 0 && zeros[1] > 0) return false;
    }
    result = middleOf(r, lo, hi);
    return true;
}

bool selectUnitSpaced(const float* y, int n, SlopeMedianWorkspace& ws,
                      float& result) {
    ws.reciprocal.resize(static_cast<std::size_t>(n));
    ws.reciprocal[0] = 0.0f;
    for (int d = 1; d < n; ++d) ws.reciprocal[static_cast<std::size_t>(d)] = static_cast<float>(1.0 / d);
    const float* inv = ws.reciprocal.data();
    const long long pairs = pairCount(n);
    Bounds b{};
    const auto estimate = [y, inv](int i, int j) { return (y[j] - y[i]) * inv[j - i]; };
    if (!sampleBounds(n, pairs, estimate, ws.sample, b)) return false;
    // A sample whose middle estimates all lie within a few places of one
    // value shows slopes tied there in bulk (a whole-numbered line): then
    // nearly every pair would need its exact slope, and storing every slope
    // is quicker.
    if (place(b.hi) - place(b.lo) <= 2 * kEstimatePlaces) return false;
    // Room around the sampled bounds for the window of the middle estimates
    // and its margins, however tightly the estimates cluster.
    b.lo = atPlace(std::max(place(b.lo) - 3 * kEstimatePlaces, -kInfinityPlace));
    b.hi = atPlace(std::min(place(b.hi) + 3 * kEstimatePlaces, kInfinityPlace));

    Tally t;
    const std::size_t count =
        tallySlopeEstimates(y, n, inv, b, t, ws, ws.method == SlopeMedianWorkspace::Method::Auto);
    return selectEstimated(y, middleRanks(pairs), t, b, count, ws, result);
}
}  // namespace

float medianPairSlope(const float* x, const float* y, int n, SlopeMedianWorkspace& ws) {
    if (ws.method == SlopeMedianWorkspace::Method::Reference || pairCount(n) < kSelectFromPairs ||
        n > kMaxStreamedPoints || !allFinite(x, n) || !allFinite(y, n))
        return allSlopesMedian(x, y, n, ws);
    float result = 0.0f;
    // Differences of y that overflow a float would spoil the estimates.
    const auto [yMin, yMax] = std::minmax_element(y, y + n);
    if (unitSpaced(x, n) && std::isfinite(*yMax - *yMin)) {
        if (selectUnitSpaced(y, n, ws, result)) return result;
        return allSlopesMedian(x, y, n, ws);
    }
    Bounds b{};
    const auto exact = [x, y](int i, int j) { return pairSlope(x, y, i, j); };
    if (sampleBounds(n, pairCount(n), exact, ws.sample, b) && selectExact(x, y, n, b, ws, result))
        return result;
    return allSlopesMedian(x, y, n, ws);
}
