// The Wilcoxon-Mann-Whitney rank-sum test of one float sample against
// another, two-sided, with the conventions of the usual statistical
// environments' default test: exact for small samples without ties, normal
// with continuity and tie correction otherwise.
//
// What it promises
// - Values are compared as floats: -0.0 equals +0.0, and an infinity is an
//   ordinary value above (or below) every finite one, equal to itself.
// - The statistic is the Mann-Whitney count of x,
//       u = #(x > y) + #(x == y) / 2   over all nX * nY pairs (x, y),
//   equal to the rank sum of x (mid-ranks for ties) minus nX (nX + 1) / 2.
//   The counts are integers; u is exact in double.  Both samples are sorted
//   (copies in the workspace) and merged: O(n log n), no pair scan.
// - Exact test when nX < 50, nY < 50 and no two of the nX + nY values are
//   equal.  With m = nX * nY and k = min(u, m - u):
//       p = min(1, 2 P(U <= k)),
//   the null distribution of U being that of a random split of nX + nY
//   distinct values (see rankSumNullCdf).  2 P(U <= k) is formed in double
//   and rounded once to float.
// - Otherwise the normal approximation, every step in double:
//       d     = u - m / 2
//       c     = 0.5 if d > 0, -0.5 if d < 0, 0 if d == 0
//       T     = sum over groups of equal values (both samples together) of
//               t^3 - t, t the group's size
//       sigma = sqrt(m / 12 * ((N + 1) - T / (N (N - 1)))),  N = nX + nY
//       z     = (d - c) / sigma
//       p     = erfc(|z| / sqrt(2))   (std::erfc; sqrt(2) the double nearest
//               it), which is 2 min(P(Z <= z), P(Z > z)),
//   rounded once to float.  When every value is equal, sigma = 0 and
//   z = 0 / 0: p is NaN, as in those environments.
// - Undefined, u and p NaN: nX < 1, nY < 1, or a NaN in either sample (a
//   pair with a NaN is neither greater, smaller nor equal).
// - Nothing is allocated once the workspace has grown to the largest
//   samples seen.
#pragma once

#include <vector>

#include "buffer.h"

// Working storage: sorted copies of both samples and the exact null
// distribution of the last pair of sample sizes that needed one.  Results
// do not depend on what the workspace holds.
struct RankSumWorkspace {
    Buffer x;
    Buffer y;
    std::vector<double> nullCdf;  // P(U <= k), k = 0 .. nX nY
    int cdfSmaller = 0;           // min(nX, nY) of nullCdf; 0 when empty
    int cdfLarger = 0;            // max(nX, nY) of nullCdf
};

struct RankSumTest {
    double u;    // the Mann-Whitney count of x; NaN when undefined
    float p;     // two-sided; NaN when undefined
    bool exact;  // p from the exact null distribution
};

// Samples of fewer than this many points (both of them) without ties take
// the exact test.
inline constexpr int kRankSumExactBelow = 50;

RankSumTest rankSumTest(const float* x, int nX, const float* y, int nY, RankSumWorkspace& ws);

// P(U <= k) under the null hypothesis for samples of nX and nY distinct
// values, 1 <= nX, nY < kRankSumExactBelow (NaN otherwise); 0 for k < 0 and
// 1 for k >= nX nY.
//
// The number of splits with U = j is the coefficient of q^j in the Gaussian
// binomial [N choose s]_q, s = min(nX, nY), r = max(nX, nY).  It is formed
// in double, for i = 1 .. s, by multiplying by (1 - q^(r+i)) and dividing
// by (1 - q^i) (a running sum with stride i), keeping only the degrees up
// to r i.  Counts are exact integers up to 2^53 and stay finite for every
// size in range (at most C(98, 49), about 2.5e28).  P(U <= k) is the
// ascending sum of the counts 0 .. k divided by the ascending sum of all
// counts, one division.  The counts are symmetric, so the upper tail is
// read as P(U >= k) = P(U <= m - k).
double rankSumNullCdf(int nX, int nY, long long k, RankSumWorkspace& ws);
