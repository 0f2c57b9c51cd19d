#include "phasefit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "median.h"
#include "quicksort.h"
#include "variance.h"

// AVX2 clones, chosen when the program is loaded; ThreadSanitizer's build
// keeps the default code alone (see rnorm.cpp).
#ifdef __SANITIZE_THREAD__
#define ZELKOR_AVX2_CLONES
#else
#define ZELKOR_AVX2_CLONES [[gnu::target_clones("avx2", "default")]]
#endif

namespace {
std::size_t sizeOf(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

// Median of the k smallest of the n values of arr, as sorting arr and taking
// the median of its first k entries gives it.  arr may be reordered.
float medianOfSmallest(float* arr, int n, int k, Buffer& copy) {
    if (k < 1) return std::numeric_limits<float>::quiet_NaN();
    if (orderIsUnique(arr, n)) return medianOfSmallestUnique(arr, n, k);
    quicksort(arr, n);
    return median(arr, k, copy);
}

bool hasNaN(const float* x, int n) {
    for (int i = 0; i < n; ++i)
        if (std::isnan(x[i])) return true;
    return false;
}

// Index in 0 .. n-1 from one generator output.
inline int resampleIndex(Rng& rng, int n) {
    return static_cast<int>(genrandInline(rng) % static_cast<std::uint32_t>(n));
}
}  // namespace

void theilSenVARDEN(const float* pfX, const float* pfY, int nN, float* pfInt, float* pfSlope,
                    PhaseFitWorkspace& ws) {
    const int nPairs = nN > 1 ? nN * (nN - 1) / 2 : 0;
    float* fSlopes = ws.pairSlopes.floats(nPairs);
    int nCount = 0;
    int nInfCount = 0;
    for (int i = 0; i < nN - 1; ++i) {
        for (int j = i + 1; j < nN; ++j) {
            if (pfX[j] == pfX[i]) {
                fSlopes[nCount] = kSentinel;
                ++nInfCount;
            } else {
                fSlopes[nCount] = static_cast<float>(
                    (static_cast<double>(pfY[j]) - static_cast<double>(pfY[i])) /
                    (static_cast<double>(pfX[j]) - static_cast<double>(pfX[i])));
            }
            ++nCount;
        }
    }
    const int nFinite = nPairs - nInfCount;
    const float slope = nFinite > 0 ? medianOfSmallest(fSlopes, nPairs, nFinite, ws.median) : kSentinel;
    *pfSlope = slope;
    *pfInt = static_cast<float>(static_cast<double>(median(pfY, nN, ws.median)) -
                                static_cast<double>(median(pfX, nN, ws.median)) *
                                    static_cast<double>(slope));
}

namespace {
// Median of `total` values given in ascending order as (value, weight)
// entries: the middle value, or the mean of the two middle values.
template <class Entry>
float medianByCount(long long total, std::size_t entries, Entry entry) {
    const long long hiPos = total / 2;
    const long long loPos = total % 2 == 1 ? hiPos : hiPos - 1;
    long long seen = 0;
    float lo = 0.0f;
    float hi = 0.0f;
    for (std::size_t p = 0; p < entries; ++p) {
        long long w;
        const float v = entry(p, w);
        if (w == 0) continue;
        if (seen <= loPos && loPos < seen + w) lo = v;
        if (hiPos < seen + w) {
            hi = v;
            break;
        }
        seen += w;
    }
    if (total % 2 == 1) return hi;
    return static_cast<float>((static_cast<double>(lo) + static_cast<double>(hi)) / 2.0);
}
}  // namespace

bool ResampleFit::prepare(const float* pfX, const float* pfY, int nN) {
    n_ = nN;
    if (nN < 2 || nN > kMaxPoints || hasNaN(pfX, nN) || hasNaN(pfY, nN)) return false;
    struct Pair {
        float slope;
        int a;
        int b;
    };
    std::vector<Pair> pairs;
    pairs.reserve(sizeOf(nN) * sizeOf(nN - 1) / 2);
    for (int a = 0; a < nN - 1; ++a) {
        for (int b = a + 1; b < nN; ++b) {
            if (pfX[a] == pfX[b]) return false;
            // Rounding is symmetric, so the slope is the same whichever
            // of the two points comes first in a resample.
            const float slope = static_cast<float>(
                (static_cast<double>(pfY[b]) - static_cast<double>(pfY[a])) /
                (static_cast<double>(pfX[b]) - static_cast<double>(pfX[a])));
            if (!(slope <= kSentinel)) return false;
            pairs.push_back({slope, a, b});
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const Pair& l, const Pair& r) { return l.slope < r.slope; });
    const std::size_t padded = (pairs.size() + kChunk - 1) / kChunk * kChunk;
    slopes_.assign(padded, 0.0f);
    first_.assign(padded, nN);
    second_.assign(padded, nN);
    for (std::size_t p = 0; p < pairs.size(); ++p) {
        slopes_[p] = pairs[p].slope;
        first_[p] = pairs[p].a;
        second_[p] = pairs[p].b;
    }
    sortedByValue(pfY, ys_);
    sortedByValue(pfX, xs_);
    return true;
}

namespace {
// Weight of chunk `chunk`'s pairs: the products of their points' counts.
ZELKOR_AVX2_CLONES std::int32_t chunkWeight(const std::int32_t* first, const std::int32_t* second,
                                           const int* counts, std::size_t chunk) {
    constexpr int k = ResampleFit::kChunk;
    const std::int32_t* a = first + chunk * k;
    const std::int32_t* b = second + chunk * k;
    std::int32_t sum = 0;
    for (int j = 0; j < k; ++j) sum += counts[a[j]] * counts[b[j]];
    return sum;
}
}  // namespace

float ResampleFit::slopeAt(const int* counts, long long pos, std::size_t& chunk, long long& seen) const {
    // Whole chunks whose pairs all lie at or before pos.
    for (;;) {
        const std::int32_t w = chunkWeight(first_.data(), second_.data(), counts, chunk);
        if (seen + w > pos) break;
        seen += w;
        ++chunk;
    }
    // The pair in this chunk whose weights carry the running count past pos.
    long long at = seen;
    const std::size_t base = chunk * kChunk;
    std::size_t p = base;
    for (;; ++p) {
        at += static_cast<long long>(counts[first_[p]]) * counts[second_[p]];
        if (at > pos) break;
    }
    return slopes_[p];
}

void ResampleFit::fit(const int* counts, float* pfInt, float* pfSlope) const {
    long long squares = 0;
    for (int a = 0; a < n_; ++a) squares += static_cast<long long>(counts[a]) * counts[a];
    const long long nFinite = (static_cast<long long>(n_) * n_ - squares) / 2;
    float slope = kSentinel;
    if (nFinite > 0) {
        // The middle pairs' positions; they weigh nFinite together, so the
        // walk stops inside the pairs.
        const long long hiPos = nFinite / 2;
        const long long loPos = nFinite % 2 == 1 ? hiPos : hiPos - 1;
        std::size_t chunk = 0;
        long long seen = 0;
        const float lo = slopeAt(counts, loPos, chunk, seen);
        const float hi = slopeAt(counts, hiPos, chunk, seen);
        slope = nFinite % 2 == 1 ? hi
                                 : static_cast<float>((static_cast<double>(lo) + static_cast<double>(hi)) / 2.0);
    }
    *pfSlope = slope;
    const auto byPoint = [&](const std::vector<Point>& sorted) {
        return medianByCount(n_, sorted.size(), [&](std::size_t p, long long& w) {
            w = counts[sorted[p].index];
            return sorted[p].value;
        });
    };
    *pfInt = static_cast<float>(static_cast<double>(byPoint(ys_)) -
                                static_cast<double>(byPoint(xs_)) * static_cast<double>(slope));
}

void ResampleFit::sortedByValue(const float* v, std::vector<Point>& out) const {
    out.clear();
    for (int a = 0; a < n_; ++a) out.push_back({v[a], a});
    std::sort(out.begin(), out.end(),
              [](const Point& l, const Point& r) { return l.value < r.value; });
}

void theilSenStdErrVARDEN(Rng& rng, const float* pfX, const float* pfY, int nN, float* intSE,
                          float* slopeSE, PhaseFitWorkspace& ws) {
    if (nN < 1) {
        *intSE = *slopeSE = std::numeric_limits<float>::quiet_NaN();
        return;
    }
    float* fBootInts = ws.bootInts.floats(kReplicates);
    float* fBootSlopes = ws.bootSlopes.floats(kReplicates);
    float* fBootX = ws.bootX.floats(nN);
    float* fBootY = ws.bootY.floats(nN);
    ResampleFit& byCount = ws.byCount;
    std::vector<int>& counts = ws.counts;
    const bool counting = byCount.prepare(pfX, pfY, nN);
    counts.assign(sizeOf(nN) + 1, 0);

    int nInfCount = 0;
    for (int r = 0; r < kReplicates; ++r) {
        if (counting) {
            std::fill(counts.begin(), counts.end(), 0);
            for (int j = 0; j < nN; ++j) ++counts[static_cast<std::size_t>(resampleIndex(rng, nN))];
            byCount.fit(counts.data(), &fBootInts[r], &fBootSlopes[r]);
        } else {
            for (int j = 0; j < nN; ++j) {
                const int k = resampleIndex(rng, nN);
                fBootX[j] = pfX[k];
                fBootY[j] = pfY[k];
            }
            theilSenVARDEN(fBootX, fBootY, nN, &fBootInts[r], &fBootSlopes[r], ws);
        }
        if (std::fabs(static_cast<double>(fBootInts[r])) > 1000.0) {
            fBootInts[r] = kSentinel;
            fBootSlopes[r] = kSentinel;
            ++nInfCount;
        }
    }
    sortAscending(fBootInts, kReplicates);
    sortAscending(fBootSlopes, kReplicates);
    *intSE = sd(fBootInts, kReplicates - nInfCount);
    *slopeSE = sd(fBootSlopes, kReplicates - nInfCount);
}

float stdDevStdErr(Rng& rng, const float* x, int n, PhaseFitWorkspace& ws) {
    if (n < 1) return std::numeric_limits<float>::quiet_NaN();
    float* fBootSD = ws.bootSD.floats(kReplicates);
    float* fBootX = ws.bootX.floats(n);
    for (int r = 0; r < kReplicates; ++r) {
        for (int j = 0; j < n; ++j) fBootX[j] = x[resampleIndex(rng, n)];
        fBootSD[r] = sd(fBootX, n);
    }
    return sd(fBootSD, kReplicates);
}

