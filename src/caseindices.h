// Four standard single-case indices of one AB series: NAP, Tau-AB, PEM and
// the standardised mean difference SMD.
//
// What they promise
// - Input: nA phase-A floats followed by nB phase-B floats, read only; an
//   increase from A to B counts as improvement.  Values are compared as
//   floats: -0.0 equals +0.0, an infinity is an ordinary ordered value.
// - Each returns what it found: the index and, where it has a test, the
//   p-value, both rounded to float at the points stated below.  No routine
//   reads outside y[0 .. nA+nB-1], loops without end or allocates once its
//   workspace has grown.
// - Undefined results are NaN (value and p alike): nA < 1, nB < 1, a NaN
//   anywhere in the series for NAP, Tau-AB and PEM, and the cases listed
//   with each index.
// - Every ratio of counts below is formed in double and rounded once to
//   float; for counts below 2^26 that is the float nearest the exact ratio,
//   as an exact rational evaluation would give.
// - Cost: NAP and Tau-AB O(n log n) (two sorts and a merge, never a scan of
//   all pairs); PEM O(n) for the median and the counts plus the exact sign
//   test, O(n^2 / 32) word operations (under 0.1 ms at 1000 points); SMD
//   O(n).
#pragma once

#include "buffer.h"
#include "ranksum.h"

// An index and its p-value; p is NaN for an index without a test.
struct Estimate {
    float value;
    float p;
};

// Working storage of the indices, owned by one worker and reused for every
// series it analyses.
struct CaseIndexWorkspace {
    RankSumWorkspace rankSum;
    Buffer median;  // the copy of phase A for its median
};

// NAP, non-overlap of all pairs: with G = #(b > a) and E = #(b == a) over
// the nA nB pairs (a from A, b from B), as integers,
//     value = (G + E / 2) / (nA nB),
// the numerator exact in double, the quotient rounded once to float.  p is
// the two-sided rank-sum test of B against A (rankSumTest in ranksum.h):
// exact below 50 points per phase without ties, the normal approximation
// otherwise; NaN when every value of the series is the same.
Estimate nap(int nA, int nB, const float* y, CaseIndexWorkspace& ws);

// Tau-AB, 2 NAP - 1, formed from the counts rather than the rounded NAP:
//     value = (2 G + E - nA nB) / (nA nB)   (= (#(b > a) - #(b < a)) / (nA nB)),
// numerator exact, quotient in double, rounded once to float.  p is NAP's.
Estimate tauAB(int nA, int nB, const float* y, CaseIndexWorkspace& ws);

// PEM, percentage of B points exceeding the A median, as a proportion:
//     med = median of phase A (median.h: the middle value, or the mean of
//           the two middle values formed in double and rounded to float),
//     H = #(b > med), E = #(b == med),
//     value = (2 H + E) / (2 nB), in double, rounded once to float.
// p is the exact one-sided sign test of H among the nB - E points off the
// median, signTestP(nB - E, H) (signtest.h).  When every B point equals
// the median, value = 0.5 and p = 1.  A median that is NaN (A holds both
// infinities as its middle pair) gives NaN for both.
Estimate pem(int nA, int nB, const float* y, CaseIndexWorkspace& ws);

// SMD, the baseline-standardised mean difference with the small-sample
// correction; it has no test.  Every step in double, sums from +0 in index
// order, nothing rounded to float before the end:
//     meanA = (y[0] + ... + y[nA-1]) / nA, meanB likewise over phase B,
//     sdA   = sqrt((sum over A of (y[i] - meanA)^2) / (nA - 1)),
//     J     = 1.0 - 3.0 / (4.0 (nA - 1) - 1.0),
//     value = ((meanB - meanA) / sdA) * J, rounded once to float.
// NaN when nA < 3, nB < 1, or sdA is 0 or NaN (a constant baseline, an
// infinity or a NaN in A).  Otherwise IEEE arithmetic decides: a NaN in B,
// or both infinities, gives NaN, one infinity in B an infinite value.
float smd(int nA, int nB, const float* y);
