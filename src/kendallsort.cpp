#include "kendallsort.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "quicksort.h"

namespace {
// Order key of a finite float: keys ascend as the values do, and equal
// values (the two zeros included) have equal keys.
inline std::uint32_t orderKey(float v) {
    if (v == 0.0f) v = 0.0f;
    const auto u = std::bit_cast<std::uint32_t>(v);
    return (u & 0x80000000u) != 0 ? ~u : (u | 0x80000000u);
}

// The value of an order key (a zero is +0).
inline float keyValue(std::uint32_t k) {
    return std::bit_cast<float>((k & 0x80000000u) != 0 ? (k & 0x7fffffffu) : ~k);
}

// Keys of finite floats lie strictly between these two, which stand for an
// exhausted side in the merge below.
constexpr std::uint32_t kBelowAllKeys = 0;
constexpr std::uint32_t kAboveAllKeys = 0xffffffffu;

// Merges the sorted src[lo, mid) and src[mid, hi) into dst (a stable merge:
// of equal keys the left one first); returns how many pairs of one element
// of each have the left one strictly greater.  A right element taken from
// place j to place k passes exactly j - k left elements.  The merge runs from
// both ends at once, the front taking the first half of the places and the
// back the rest, two independent chains.
long long mergeCounting(const std::uint32_t* src, std::uint32_t* dst, int lo, int mid, int hi) {
    long long inversions = 0;
    int i = lo, j = mid;              // front: next left and right element
    int ib = mid - 1, jb = hi - 1;    // back: last left and right element
    const int half = (hi - lo) / 2;
    for (int k = lo, kb = hi - 1; k < lo + half; ++k, --kb) {
        const std::uint32_t a = i < mid ? src[i] : kAboveAllKeys;
        const std::uint32_t b = j < hi ? src[j] : kAboveAllKeys;
        const int right = b < a;
        dst[k] = right != 0 ? b : a;
        inversions += (j - k) & -right;
        j += right;
        i += 1 - right;

        const std::uint32_t ab = ib >= lo ? src[ib] : kBelowAllKeys;
        const std::uint32_t bb = jb >= mid ? src[jb] : kBelowAllKeys;
        const int left = ab > bb;
        dst[kb] = left != 0 ? ab : bb;
        inversions += (jb - kb) & (left - 1);
        ib -= left;
        jb -= 1 - left;
    }
    if ((hi - lo) % 2 == 1) {  // the middle place: whichever the front would take next
        const std::uint32_t a = i < mid ? src[i] : kAboveAllKeys;
        const std::uint32_t b = j < hi ? src[j] : kAboveAllKeys;
        const int k = lo + half;
        if (b < a) inversions += j - k;
        dst[k] = b < a ? b : a;
    }
    return inversions;
}

// Sorts four keys in place; returns their inversions.
long long sortFourCounting(std::uint32_t* v) {
    long long inversions = 0;
    for (int a = 0; a < 3; ++a)
        for (int b = a + 1; b < 4; ++b) inversions += v[a] > v[b];
    const auto exchange = [v](int a, int b) {
        const std::uint32_t lo = std::min(v[a], v[b]);
        const std::uint32_t hi = std::max(v[a], v[b]);
        v[a] = lo;
        v[b] = hi;
    };
    exchange(0, 1);
    exchange(2, 3);
    exchange(0, 2);
    exchange(1, 3);
    exchange(1, 2);
    return inversions;
}

// Sorts keys ascending and returns the number of pairs i < j with
// keys[i] > keys[j] (equal keys are no inversion): runs of four, then
// merges, each counting what it moves past.
long long sortCountingInversions(std::uint32_t* keys, std::uint32_t* spare, int n) {
    constexpr int kRun = 4;
    long long inversions = 0;
    int lo = 0;
    for (; lo + kRun <= n; lo += kRun) inversions += sortFourCounting(keys + lo);
    for (int i = lo + 1; i < n; ++i) {  // the last few
        const std::uint32_t v = keys[i];
        int j = i;
        for (; j > lo && keys[j - 1] > v; --j) keys[j] = keys[j - 1];
        inversions += i - j;
        keys[j] = v;
    }
    std::uint32_t* src = keys;
    std::uint32_t* dst = spare;
    for (int width = kRun; width < n; width *= 2) {
        for (int start = 0; start < n; start += 2 * width) {
            const int mid = std::min(start + width, n);
            const int hi = std::min(start + 2 * width, n);
            if (mid < hi && src[mid] < src[mid - 1])
                inversions += mergeCounting(src, dst, start, mid, hi);
            else
                std::copy(src + start, src + hi, dst + start);
        }
        std::swap(src, dst);
    }
    if (src != keys) std::copy(src, src + n, keys);
    return inversions;
}

// One look at a variable: whether every value is finite and the values are
// in ascending order, their extremes, and the smallest non-zero magnitude.
struct Survey {
    bool finite = true;
    bool ordered = true;
    float lowest = std::numeric_limits<float>::infinity();
    float highest = -std::numeric_limits<float>::infinity();
    float smallestMagnitude = std::numeric_limits<float>::infinity();
};

Survey survey(const float* v, int n) {
    Survey s;
    int notFinite = 0, descents = 0;
    for (int i = 0; i < n; ++i) {
        const float magnitude = std::fabs(v[i]);
        notFinite += !(magnitude <= std::numeric_limits<float>::max());
        if (i > 0) descents += v[i] < v[i - 1];
        s.lowest = std::min(s.lowest, v[i]);
        s.highest = std::max(s.highest, v[i]);
        if (magnitude > 0.0f) s.smallestMagnitude = std::min(s.smallestMagnitude, magnitude);
    }
    s.finite = notFinite == 0;
    s.ordered = descents == 0;
    return s;
}

// A lower bound of |fl(v - w)| over distinct values v, w of a variable whose
// smallest non-zero magnitude is m: such values lie at least one unit in the
// last place of m apart (a unit of m is above m / 2^24), and a non-zero
// difference is at least the smallest subnormal.
double differenceFloor(float m) { return std::max(0x1p-149, static_cast<double>(m) * 0x1p-25); }

// The smallest float difference of neighbouring distinct sorted keys.
float smallestGap(const std::uint32_t* keys, int n) {
    float gap = std::numeric_limits<float>::infinity();
    for (int i = 1; i < n; ++i)
        if (keys[i] != keys[i - 1]) gap = std::min(gap, keyValue(keys[i]) - keyValue(keys[i - 1]));
    return gap;
}

// The scan's float differences order every pair as the values do when no
// difference of a variable overflows and no product of two non-zero
// differences rounds to zero: differences of distinct finite floats are
// non-zero (gradual underflow) and carry the sign of the comparison.
bool differencesBehave(const Survey& a, const Survey& b, const std::uint32_t* sortedA,
                       const std::uint32_t* sortedB, int n) {
    if (!std::isfinite(a.highest - a.lowest) || !std::isfinite(b.highest - b.lowest)) return false;
    if (differenceFloor(a.smallestMagnitude) * differenceFloor(b.smallestMagnitude) > 0x1p-150)
        return true;
    // Tiny values: the smallest differences are the rounded gaps.
    const float gapA = smallestGap(sortedA, n);
    const float gapB = smallestGap(sortedB, n);
    if (std::isinf(gapA) || std::isinf(gapB)) return true;  // a constant variable
    return static_cast<double>(gapA) * static_cast<double>(gapB) > 0x1p-150;
}

// Pairs within runs of equal sorted keys; the sizes of runs of two or more
// are written to groups as floats, in order.
struct Ties {
    long long pairs = 0;
    int groups = 0;
};

Ties tieRuns(const std::uint32_t* keys, int n, float* groups) {
    int equalNeighbours = 0;
    for (int i = 1; i < n; ++i) equalNeighbours += keys[i] == keys[i - 1];
    Ties t;
    if (equalNeighbours == 0) return t;
    for (int lo = 0, hi = 1; lo < n; lo = hi++) {
        while (hi < n && keys[hi] == keys[lo]) ++hi;
        const long long g = hi - lo;
        t.pairs += g * (g - 1) / 2;
        if (g >= 2) groups[t.groups++] = static_cast<float>(g);
    }
    return t;
}

// Pairs tied in both variables: runs of equal (first, second) keys.
long long jointTies(const std::uint32_t* fk, const std::uint32_t* sk, int n) {
    long long pairs = 0;
    for (int lo = 0, hi = 1; lo < n; lo = hi++) {
        while (hi < n && fk[hi] == fk[lo] && sk[hi] == sk[lo]) ++hi;
        pairs += static_cast<long long>(hi - lo) * (hi - lo - 1) / 2;
    }
    return pairs;
}

template <class T>
T* sized(std::vector<T>& v, int n) {
    const auto size = static_cast<std::size_t>(std::max(n, 1));
    if (v.size() < size) v.resize(size);
    return v.data();
}

// Sorts keys ascending (spare: room for n): by bytes (sortWords) for all
// but short arrays.
void sortKeys(std::uint32_t* keys, std::uint32_t* spare, int n) {
    if (n < 64)
        std::sort(keys, keys + n);
    else
        sortWords(keys, spare, n);
}

// Merges runs of ascending pair keys (run r is [starts[r], starts[r + 1]),
// starts ending with n) into one ascending sequence in keys.
void mergeRuns(std::uint64_t* keys, std::uint64_t* spare, std::vector<int>& starts, int n) {
    std::uint64_t* src = keys;
    std::uint64_t* dst = spare;
    while (starts.size() > 2) {
        std::size_t out = 0;
        for (std::size_t r = 0; r + 1 < starts.size(); r += 2) {
            const int lo = starts[r];
            const int mid = starts[r + 1];
            const int hi = r + 2 < starts.size() ? starts[r + 2] : mid;
            std::merge(src + lo, src + mid, src + mid, src + hi, dst + lo);
            starts[out++] = lo;
        }
        starts[out++] = n;
        starts.resize(out);
        std::swap(src, dst);
    }
    if (src != keys) std::copy(src, src + n, keys);
}

// The keys of the pairs in (first, second) order.  first is taken as a few
// runs that ascend or strictly descend (the descending ones reversed); the
// second keys are sorted within each stretch of equal first keys, and the
// runs merged.  With many runs the pairs are sorted as they are.
void sortPairs(const float* first, const float* second, int n, KendallWorkspace& ws,
               std::uint32_t* fk, std::uint32_t* sk) {
    constexpr std::size_t kMostRuns = 8;
    for (int i = 0; i < n; ++i) {
        fk[i] = orderKey(first[i]);
        sk[i] = orderKey(second[i]);
    }
    std::vector<int>& starts = ws.runStarts;
    starts.clear();
    for (int lo = 0, hi = 1; lo < n && starts.size() <= kMostRuns; lo = hi++) {
        if (hi < n && fk[hi] < fk[lo]) {
            while (hi < n && fk[hi] < fk[hi - 1]) ++hi;
            std::reverse(fk + lo, fk + hi);
            std::reverse(sk + lo, sk + hi);
        } else {
            while (hi < n && fk[hi] >= fk[hi - 1]) ++hi;
        }
        starts.push_back(lo);
    }
    std::uint64_t* pk = sized(ws.pairKeys, n);
    std::uint64_t* spare = sized(ws.pairSpare, n);
    const auto combine = [&] {
        for (int i = 0; i < n; ++i) pk[i] = (static_cast<std::uint64_t>(fk[i]) << 32) | sk[i];
    };
    if (starts.size() > kMostRuns) {
        for (int i = 0; i < n; ++i) {  // the keys as given, unreversed
            fk[i] = orderKey(first[i]);
            sk[i] = orderKey(second[i]);
        }
        combine();
        std::sort(pk, pk + n);
    } else {
        std::uint32_t* stretchSpare = sized(ws.mergeKeys, n);
        for (int lo = 0, hi = 1; lo < n; lo = hi++) {
            while (hi < n && fk[hi] == fk[lo]) ++hi;
            if (hi - lo > 1) sortKeys(sk + lo, stretchSpare, hi - lo);
        }
        if (starts.size() == 1) return;
        combine();
        starts.push_back(n);
        mergeRuns(pk, spare, starts, n);
    }
    for (int i = 0; i < n; ++i) {
        fk[i] = static_cast<std::uint32_t>(pk[i] >> 32);
        sk[i] = static_cast<std::uint32_t>(pk[i]);
    }
}
}  // namespace

// Knight's count on finite data: the pairs sorted by (first, second), the
// discordant pairs counted while merge-sorting the second variable.  Writes
// the tie groups of both variables.  False when the scan must decide.
bool sortedCounts(const float* data1, const float* data2, int n, KendallWorkspace& ws,
                  KendallCounts& c, float* groups1, int& count1, float* groups2, int& count2) {
    const Survey s1 = survey(data1, n);
    const Survey s2 = survey(data2, n);
    if (!s1.finite || !s2.finite) return false;
    // The counts are symmetric: sort by whichever variable is in order.
    const bool swapped = !s1.ordered && s2.ordered;
    std::uint32_t* fk = sized(ws.firstKeys, n);
    std::uint32_t* sk = sized(ws.secondKeys, n);
    sortPairs(swapped ? data2 : data1, swapped ? data1 : data2, n, ws, fk, sk);
    const Ties tf = tieRuns(fk, n, swapped ? groups2 : groups1);
    const long long joint = tf.pairs > 0 ? jointTies(fk, sk, n) : 0;
    const long long discordant = sortCountingInversions(sk, sized(ws.mergeKeys, n), n);
    const Ties ts = tieRuns(sk, n, swapped ? groups1 : groups2);
    if (!differencesBehave(swapped ? s2 : s1, swapped ? s1 : s2, fk, sk, n)) return false;

    const long long pairs = static_cast<long long>(n) * (n - 1) / 2;
    const long long concordant = pairs - tf.pairs - ts.pairs + joint - discordant;
    const Ties& t1 = swapped ? ts : tf;
    const Ties& t2 = swapped ? tf : ts;
    // Converted as the scan's 32-bit counters wrap.
    c.is = static_cast<int>(concordant - discordant);
    c.n1 = static_cast<int>(pairs - t1.pairs);
    c.n2 = static_cast<int>(pairs - t2.pairs);
    count1 = t1.groups;
    count2 = t2.groups;
    return true;
}
