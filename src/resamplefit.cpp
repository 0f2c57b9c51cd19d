#include "resamplefit.h"

#include <algorithm>
#include <bit>
#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "clones.h"
#include "phasefit.h"

namespace {
std::size_t sizeOf(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

bool hasNaN(const float* x, int n) {
    for (int i = 0; i < n; ++i)
        if (std::isnan(x[i])) return true;
    return false;
}

// Median of `total` values given in ascending order as (value, weight)
// entries: the middle value, or the mean of the two middle values.  Each
// middle position is found by running on while the weights so far reach no
// further than it (entries of weight 0 are passed over alike).
template <class Entry>
float medianByCount(long long total, Entry entry) {
    const long long hiPos = total / 2;
    const long long loPos = total % 2 == 1 ? hiPos : hiPos - 1;
    std::size_t p = 0;
    long long through = entry.weight(0);  // the weights of entries 0 .. p
    while (through <= loPos) through += entry.weight(++p);
    const float lo = entry.value(p);
    while (through <= hiPos) through += entry.weight(++p);
    const float hi = entry.value(p);
    if (total % 2 == 1) return hi;
    return static_cast<float>((static_cast<double>(lo) + static_cast<double>(hi)) / 2.0);
}

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

// Bit l of each of the `count` (at most 64) values v, as the bits of a word.
std::uint64_t bitOfEach(const int* v, int count, int l) {
    std::uint64_t bits = 0;
    int a = 0;
#ifdef __SSE2__
    const __m128i shift = _mm_cvtsi32_si128(31 - l);
    for (; a + 4 <= count; a += 4) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + a));
        const int signs = _mm_movemask_ps(_mm_castsi128_ps(_mm_sll_epi32(four, shift)));
        bits |= static_cast<std::uint64_t>(signs) << a;
    }
#endif
    for (; a < count; ++a) bits |= static_cast<std::uint64_t>((v[a] >> l) & 1) << a;
    return bits;
}

// Sum over the points a of `drawn` (bit a % 64 of word a / 64) of counts[a]
// times the counts of the points whose bits row a sets.  Row a's bits lie
// above a, so its words below a's are skipped; the planes are interleaved,
// word by word.
ZELKOR_AVX2_CLONES long long rowWeight(const std::uint64_t* rows, const std::uint64_t* planes,
                                       const std::uint64_t* drawn, int planeCount, int words,
                                       const int* counts) {
    long long total = 0;
    for (int d = 0; d < words; ++d) {
        for (std::uint64_t left = drawn[d]; left != 0; left &= left - 1) {
            const int a = d * 64 + std::countr_zero(left);
            const std::uint64_t* row = rows + static_cast<std::size_t>(a) * words;
            long long partners = 0;
            for (int w = d; w < words; ++w) {
                const std::uint64_t* plane = planes + static_cast<std::size_t>(w) * planeCount;
                for (int l = 0; l < planeCount; ++l)
                    partners += static_cast<long long>(std::popcount(row[w] & plane[l])) << l;
            }
            total += partners * counts[a];
        }
    }
    return total;
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
    preparePivot(pairs.size());
    sortedByValue(pfY, ys_);
    sortedByValue(pfX, xs_);
    return true;
}

void ResampleFit::preparePivot(std::size_t pairs) {
    pivotChunk_ = (pairs / 2 + kChunk / 2) / kChunk;
    if (pivotChunk_ < kPivotFrom) {
        pivotChunk_ = 0;
        return;
    }
    words_ = (n_ + 63) / 64;
    pivotRows_.assign(sizeOf(n_) * sizeOf(words_), 0);
    for (std::size_t p = 0; p < pivotChunk_ * kChunk; ++p) {
        const auto a = static_cast<std::size_t>(first_[p]);
        const auto b = static_cast<std::size_t>(second_[p]);
        pivotRows_[a * sizeOf(words_) + b / 64] |= std::uint64_t{1} << (b % 64);
    }
}

long long ResampleFit::weightBeforePivot(const int* counts) {
    // Every count's bits lie within the bits of all counts together.
    unsigned any = 0;
    for (int a = 0; a < n_; ++a) any |= static_cast<unsigned>(counts[a]);
    const int planeCount = std::bit_width(any);
    planes_.resize(sizeOf(words_) * sizeOf(planeCount + 1));
    std::uint64_t* drawn = planes_.data() + sizeOf(words_) * sizeOf(planeCount);
    for (int w = 0; w < words_; ++w) {
        const int from = w * 64;
        const int count = std::min(n_ - from, 64);
        drawn[w] = 0;
        for (int l = 0; l < planeCount; ++l) {
            const std::uint64_t bits = bitOfEach(counts + from, count, l);
            planes_[static_cast<std::size_t>(w * planeCount + l)] = bits;
            drawn[w] |= bits;
        }
    }
    return rowWeight(pivotRows_.data(), planes_.data(), drawn, planeCount, words_, counts);
}

float ResampleFit::slopeAt(const int* counts, long long pos, std::size_t& chunk, long long& seen) const {
    // Back over whole chunks that begin after pos (from a pivot only).
    while (seen > pos) {
        --chunk;
        seen -= chunkWeight(first_.data(), second_.data(), counts, chunk);
    }
    // On over whole chunks whose pairs all lie at or before pos.
    for (;;) {
        const std::int32_t w = chunkWeight(first_.data(), second_.data(), counts, chunk);
        if (seen + w > pos) break;
        seen += w;
        ++chunk;
    }
    // The pair in this chunk whose weights carry the running count past pos.
    long long at = seen;
    std::size_t p = chunk * kChunk;
    for (;; ++p) {
        at += static_cast<long long>(counts[first_[p]]) * counts[second_[p]];
        if (at > pos) break;
    }
    return slopes_[p];
}

void ResampleFit::fit(const int* counts, float* pfInt, float* pfSlope) {
    long long squares = 0;
    for (int a = 0; a < n_; ++a) squares += static_cast<long long>(counts[a]) * counts[a];
    const long long nFinite = (static_cast<long long>(n_) * n_ - squares) / 2;
    float slope = kSentinel;
    if (nFinite > 0) {
        // The middle pairs' positions; they weigh nFinite together, so the
        // walk stops inside the pairs.
        const long long hiPos = nFinite / 2;
        const long long loPos = nFinite % 2 == 1 ? hiPos : hiPos - 1;
        std::size_t chunk = pivotChunk_;
        long long seen = pivotChunk_ > 0 ? weightBeforePivot(counts) : 0;
        const float lo = slopeAt(counts, loPos, chunk, seen);
        const float hi = slopeAt(counts, hiPos, chunk, seen);
        slope = nFinite % 2 == 1 ? hi
                                 : static_cast<float>((static_cast<double>(lo) + static_cast<double>(hi)) / 2.0);
    }
    *pfSlope = slope;
    struct ByPoint {
        const Point* sorted;
        const int* counts;
        long long weight(std::size_t p) const { return counts[sorted[p].index]; }
        float value(std::size_t p) const { return sorted[p].value; }
    };
    const auto byPoint = [&](const std::vector<Point>& sorted) {
        return medianByCount(n_, ByPoint{sorted.data(), counts});
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
