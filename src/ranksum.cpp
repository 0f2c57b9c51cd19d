#include "ranksum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool holdsNaN(const float* a, int n) {
    return std::any_of(a, a + n, [](float v) { return std::isnan(v); });
}

// What one merge of the two sorted samples finds.
struct PairCounts {
    long long greater = 0;  // pairs with x > y
    long long equal = 0;    // pairs with x == y
    double tieTerm = 0.0;   // sum of t^3 - t over groups of equal values
};

// xs and ys sorted ascending, without NaN.  Each step takes the smallest
// value left in either sample with all its copies in both.
PairCounts mergeCounts(const float* xs, int nX, const float* ys, int nY) {
    PairCounts c;
    int i = 0, j = 0;
    while (i < nX || j < nY) {
        const float v = (j >= nY || (i < nX && xs[i] < ys[j])) ? xs[i] : ys[j];
        const int i0 = i, j0 = j;
        while (i < nX && xs[i] == v) ++i;
        while (j < nY && ys[j] == v) ++j;
        const long long inX = i - i0, inY = j - j0;
        c.greater += inX * j0;  // these x exceed every y below v
        c.equal += inX * inY;
        const double t = static_cast<double>(inX + inY);
        if (inX + inY > 1) c.tieTerm += t * t * t - t;
    }
    return c;
}

double normalP(int nX, int nY, double u, double tieTerm) {
    const double m = static_cast<double>(nX) * static_cast<double>(nY);
    const double n = static_cast<double>(nX) + static_cast<double>(nY);
    const double d = u - m / 2.0;
    const double correction = d > 0.0 ? 0.5 : (d < 0.0 ? -0.5 : 0.0);
    const double sigma = std::sqrt(m / 12.0 * ((n + 1.0) - tieTerm / (n * (n - 1.0))));
    const double z = (d - correction) / sigma;
    return std::erfc(std::fabs(z) / std::numbers::sqrt2);
}

// Counts of U = 0 .. r s for a split of r + s distinct values into s and r,
// turned into the cumulative distribution in place.
void buildNullCdf(int s, int r, std::vector<double>& c) {
    const int top = r * s;
    c.assign(static_cast<std::size_t>(top) + 1, 0.0);
    c[0] = 1.0;
    for (int i = 1; i <= s; ++i) {
        const int degree = r * i;
        const int up = r + i;
        for (int idx = degree; idx >= up; --idx)
            c[static_cast<std::size_t>(idx)] -= c[static_cast<std::size_t>(idx - up)];
        for (int idx = i; idx <= degree; ++idx)
            c[static_cast<std::size_t>(idx)] += c[static_cast<std::size_t>(idx - i)];
    }
    double total = 0.0;
    for (const double v : c) total += v;
    double running = 0.0;
    for (double& v : c) {
        running += v;
        v = running / total;
    }
}
}  // namespace

double rankSumNullCdf(int nX, int nY, long long k, RankSumWorkspace& ws) {
    if (nX < 1 || nY < 1 || nX >= kRankSumExactBelow || nY >= kRankSumExactBelow) return kNaN;
    const int s = std::min(nX, nY);
    const int r = std::max(nX, nY);
    if (k < 0) return 0.0;
    if (k >= static_cast<long long>(r) * s) return 1.0;
    if (ws.cdfSmaller != s || ws.cdfLarger != r) {
        buildNullCdf(s, r, ws.nullCdf);
        ws.cdfSmaller = s;
        ws.cdfLarger = r;
    }
    return ws.nullCdf[static_cast<std::size_t>(k)];
}

RankSumTest rankSumTest(const float* x, int nX, const float* y, int nY, RankSumWorkspace& ws) {
    if (nX < 1 || nY < 1 || holdsNaN(x, nX) || holdsNaN(y, nY))
        return {kNaN, std::numeric_limits<float>::quiet_NaN(), false};
    float* xs = ws.x.floats(nX);
    float* ys = ws.y.floats(nY);
    std::copy(x, x + nX, xs);
    std::copy(y, y + nY, ys);
    // Without NaN the floats are strictly weakly ordered; equal values (the
    // two zeros among them) end up next to each other in any order.
    std::sort(xs, xs + nX);
    std::sort(ys, ys + nY);
    const PairCounts c = mergeCounts(xs, nX, ys, nY);
    const double u = static_cast<double>(c.greater) + static_cast<double>(c.equal) / 2.0;

    const bool exact = nX < kRankSumExactBelow && nY < kRankSumExactBelow && c.tieTerm == 0.0;
    double p;
    if (exact) {
        const long long m = static_cast<long long>(nX) * nY;
        const long long k = std::min(c.greater, m - c.greater);
        p = std::min(1.0, 2.0 * rankSumNullCdf(nX, nY, k, ws));
    } else {
        p = normalP(nX, nY, u, c.tieTerm);
    }
    return {u, static_cast<float>(p), exact};
}
