#include "nonoverlap.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "clones.h"
#include "effectsizes.h"

namespace {
std::size_t sizeOf(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

// From this many points on, N^N exceeds the float range and the float sum
// would give 0 or NaN; such designs take the double evaluation.
constexpr int kFirstDoubleEvaluatedLength = 27;

// pow on integer arguments taken as floats, rounded to float before use.
float powf32(int base, int exponent) {
    return static_cast<float>(std::pow(static_cast<double>(static_cast<float>(base)),
                                       static_cast<double>(static_cast<float>(exponent))));
}

// Powers base^e for base 0 .. maxBase and e 0 .. maxExp, tabulated when small.
class PowerTable {
public:
    PowerTable(int maxBase, int maxExp) : stride_(maxExp + 1) {
        const long long cells = static_cast<long long>(maxBase + 1) * stride_;
        if (cells <= kMaxCells) {
            table_.resize(static_cast<std::size_t>(cells));
            for (int b = 0; b <= maxBase; ++b)
                for (int e = 0; e <= maxExp; ++e)
                    table_[static_cast<std::size_t>(b * stride_ + e)] = powf32(b, e);
        }
    }
    float operator()(int base, int exponent) const {
        if (table_.empty()) return powf32(base, exponent);
        return table_[static_cast<std::size_t>(base * stride_ + exponent)];
    }

private:
    static constexpr long long kMaxCells = 1 << 16;
    int stride_;
    std::vector<float> table_;
};

// The float sum of the definition for k = first .. last (up to 26 points),
// with tabulated coefficients and powers; every term is formed and added
// exactly as the definition forms and adds it.
std::vector<float> floatPValues(int nA, int nB, int first, int last) {
    const int n = nA + nB;
    std::vector<float> combA(sizeOf(nA + 1));
    std::vector<float> combB(sizeOf(nB + 1));
    for (int r = 1; r <= nA; ++r) combA[static_cast<std::size_t>(r)] = comb(nA, r);
    for (int i = 0; i <= nB; ++i) combB[static_cast<std::size_t>(i)] = comb(nB, i);
    const PowerTable pw(n, std::max(nA, nB));
    const float denominator = powf32(n, n);

    std::vector<float> out;
    for (int k = first; k <= last; ++k) {
        float num = 0.0f;
        for (int i = k; i <= nB && !std::isnan(num); ++i) {
            for (int m = 1; m <= n && !std::isnan(num); ++m) {
                for (int r = 1; r <= nA; ++r) {
                    float t = combA[static_cast<std::size_t>(r)];
                    t = pw(m - 1, nA - r) * t;
                    t = combB[static_cast<std::size_t>(i)] * t;
                    t = pw(n - m, i) * t;
                    num = static_cast<float>(static_cast<double>(num) +
                                             static_cast<double>(pw(m, nB - i)) * static_cast<double>(t));
                    if (std::isnan(num)) break;
                }
            }
        }
        out.push_back(static_cast<float>(static_cast<double>(num) / static_cast<double>(denominator)));
    }
    return out;
}

// Terms are summed in blocks of this many; after each block a tail checks
// whether any later term could still change it.
constexpr int kBlock = 32;
// Rows of terms (values of m) summed side by side.
constexpr int kLanes = 8;
// Values of k formed together, reading each term once: k = kGroup * g ..
// kGroup * g + kGroup - 1 when one of them is first read.
constexpr int kGroup = 4;
}  // namespace

// The binomial terms of a design, m = 1 .. N as rows r = m - 1, zero outside
// each row's non-zero range lo .. hi.  Rows are stored in bands of kLanes,
// each band by i and then by row, so that one band's tails read their terms
// in order.
struct NonOverlapTable::Terms {
    int n = 0;                 // N
    int nB = 0;
    std::vector<double> w;     // w_m
    std::vector<int> lo, hi;   // the non-zero terms (lo > hi: none)
    std::vector<double> full;  // the tail from lo, which every k <= lo has
    std::size_t width = 0;     // terms per row: nB + 1
    std::size_t blocks = 0;    // blocks per row, and one past the last term
    std::vector<double> term;  // band r / kLanes, then i, then r % kLanes
    std::vector<double> rest;  // band, then block b, then row: the largest term from b on

    double& at(std::vector<double>& v, std::size_t perBand, std::size_t r, std::size_t i) {
        return v[((r / kLanes) * perBand + i) * kLanes + r % kLanes];
    }
    const double* band(const std::vector<double>& v, std::size_t perBand, int r0, int i) const {
        return &v[(static_cast<std::size_t>(r0 / kLanes) * perBand + static_cast<std::size_t>(i)) * kLanes];
    }

    Terms(int nA, int nBPoints);
    // p(first), ..., p(first + kGroup - 1) before clamping (k > nB: unused).
    void sums(int first, double* out) const;
    void addTails(int first, int r0, const double (*open)[kLanes], double (*tail)[kLanes]) const;
};

NonOverlapTable::Terms::Terms(int nA, int nBPoints) : n(nA + nBPoints), nB(nBPoints) {
    const auto rows = sizeOf(n);
    width = sizeOf(nB + 1);
    blocks = width / kBlock + 2;
    const std::size_t bands = (rows + kLanes - 1) / kLanes;
    w.resize(rows);
    lo.assign(rows, std::max(nB, 0) + 1);  // lo > hi: no term
    hi.assign(rows, -1);
    full.assign(rows, 0.0);
    term.assign(bands * width * kLanes, 0.0);
    rest.assign(bands * blocks * kLanes, 0.0);
    std::vector<double> logComb(width);
    for (int i = 0; i <= nB; ++i)
        logComb[static_cast<std::size_t>(i)] = std::lgamma(static_cast<double>(nB) + 1.0) -
                                               std::lgamma(static_cast<double>(i) + 1.0) -
                                               std::lgamma(static_cast<double>(nB - i) + 1.0);
    for (int m = 1; m <= n; ++m) {
        const auto r = static_cast<std::size_t>(m - 1);
        w[r] = std::pow(static_cast<double>(m) / n, static_cast<double>(nA)) -
               std::pow(static_cast<double>(m - 1) / n, static_cast<double>(nA));
        const double q = static_cast<double>(n - m) / n;
        const double logQ = std::log(q);
        const double logRest = std::log1p(-q);
        for (int i = 0; i <= nB; ++i) {
            if (i > 0 && q == 0.0) continue;  // the term is 0
            double e = logComb[static_cast<std::size_t>(i)];
            if (i > 0) e = e + static_cast<double>(i) * logQ;
            if (nB - i > 0) e = e + static_cast<double>(nB - i) * logRest;
            const double t = std::exp(e);
            at(term, width, r, static_cast<std::size_t>(i)) = t;
            if (t != 0.0) {
                lo[r] = std::min(lo[r], i);
                hi[r] = i;
            }
        }
        double tail = 0.0;
        for (int i = lo[r]; i <= hi[r]; ++i) tail += at(term, width, r, static_cast<std::size_t>(i));
        full[r] = tail;
        double largest = 0.0;
        for (int i = nB; i >= 0; --i) {
            largest = std::max(largest, at(term, width, r, static_cast<std::size_t>(i)));
            if (i % kBlock == 0) at(rest, blocks, r, static_cast<std::size_t>(i / kBlock)) = largest;
        }
    }
}

// Adds to tail[g][j] the terms of row r0 + j from first + g on where
// open[g][j] is 1 (else 0), ascending, block by block, until no open tail's
// remaining terms can change it.  A term is added times 1 or times 0, both
// exact, so that the lanes run without branches.
ZELKOR_AVX2_CLONES void NonOverlapTable::Terms::addTails(int first, int r0,
                                                         const double (*open)[kLanes],
                                                         double (*tail)[kLanes]) const {
    double acc[kGroup][kLanes];
    for (int g = 0; g < kGroup; ++g)
        for (int j = 0; j < kLanes; ++j) acc[g][j] = tail[g][j];
    for (int block = first / kBlock; block * kBlock <= nB; ++block) {
        const int from = std::max(first, block * kBlock);
        const int to = std::min(nB, block * kBlock + kBlock - 1);
        int i = from;
        for (; i <= to && i < first + kGroup - 1; ++i) {  // before every k of the group has begun
            const double* t = band(term, width, r0, i);
            for (int g = 0; g < kGroup; ++g)
                for (int j = 0; j < kLanes; ++j) acc[g][j] += i >= first + g ? t[j] * open[g][j] : 0.0;
        }
        for (; i <= to; ++i) {
            const double* t = band(term, width, r0, i);
            for (int g = 0; g < kGroup; ++g)
                for (int j = 0; j < kLanes; ++j) acc[g][j] += t[j] * open[g][j];
        }
        // A term below 2^-54 of a positive tail is less than half its unit
        // in the last place: adding it leaves the tail as it is.
        const double* later = band(rest, blocks, r0, block + 1);
        int moving = 0;
        for (int g = 0; g < kGroup; ++g)
            for (int j = 0; j < kLanes; ++j)
                moving += open[g][j] != 0.0 && !(later[j] < 0x1p-54 * acc[g][j]);
        if (moving == 0) break;
    }
    for (int g = 0; g < kGroup; ++g)
        for (int j = 0; j < kLanes; ++j) tail[g][j] = acc[g][j];
}

// For each k of the group: the rows' tails from k, weighted and added in
// ascending m.
void NonOverlapTable::Terms::sums(int first, double* out) const {
    for (int g = 0; g < kGroup; ++g) out[g] = 0.0;
    for (int r0 = 0; r0 < n; r0 += kLanes) {
        double tail[kGroup][kLanes];
        double open[kGroup][kLanes];
        bool any = false;
        for (int g = 0; g < kGroup; ++g) {
            const int k = first + g;
            for (int j = 0; j < kLanes; ++j) {
                const auto r = static_cast<std::size_t>(r0 + j);
                tail[g][j] = 0.0;
                // Rows past the end, and rows with no term from k on, add 0.
                const bool terms = r0 + j < n && k <= nB && k <= hi[r];
                // From lo on every k makes the same additions.
                if (terms && k <= lo[r]) tail[g][j] = full[r];
                open[g][j] = terms && k > lo[r] ? 1.0 : 0.0;
                any = any || open[g][j] != 0.0;
            }
        }
        if (any) addTails(first, r0, open, tail);
        for (int g = 0; g < kGroup; ++g)
            for (int j = 0; j < kLanes && r0 + j < n; ++j)
                out[g] += w[static_cast<std::size_t>(r0 + j)] * tail[g][j];
    }
}

NonOverlapTable::NonOverlapTable(int nA, int nB) : nA_(nA), nB_(nB) {
    // Without a phase B there is still a value for k = 0 (the sums over no
    // terms).
    const int last = std::max(nB, 0);
    if (nA + nB < kFirstDoubleEvaluatedLength) {
        p_ = floatPValues(nA, nB, 0, last);
        return;
    }
    p_.assign(sizeOf(last + 1), 0.0f);
    formed_ = std::make_unique<std::once_flag[]>(sizeOf(last / kGroup + 1));
}

NonOverlapTable::~NonOverlapTable() = default;

const NonOverlapTable::Terms& NonOverlapTable::terms() const {
    std::call_once(termsBuilt_, [this] { terms_ = std::make_unique<Terms>(nA_, nB_); });
    return *terms_;
}

float NonOverlapTable::p(int k) const {
    const auto at = static_cast<std::size_t>(k);
    if (formed_ != nullptr) {
        const int group = k / kGroup;
        std::call_once(formed_[static_cast<std::size_t>(group)], [this, group] {
            double sums[kGroup];
            terms().sums(group * kGroup, sums);
            for (int g = 0; g < kGroup && group * kGroup + g <= std::max(nB_, 0); ++g)
                p_[static_cast<std::size_t>(group * kGroup + g)] = static_cast<float>(std::clamp(sums[g], 0.0, 1.0));
        });
    }
    return p_[at];
}

float pndPValue(int nA, int nB, int k) {
    if (nA + nB < kFirstDoubleEvaluatedLength) return floatPValues(nA, nB, k, k).at(0);
    return NonOverlapTable(nA, nB).p(k);
}
