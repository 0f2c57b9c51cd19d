// Rank statistics: complementary error function, Kendall's tau with its
// tie-corrected test, and the Theil-Sen line.
#pragma once

#include "buffer.h"
#include "kendallcounts.h"
#include "slopemedian.h"

// Working storage of theil: the slopes of the selection (or of all pairs
// when it falls back) and the intercepts.
struct TheilWorkspace {
    SlopeMedianWorkspace slopes;
    Buffer intercepts;
};

// erfc(x) by the Chebyshev-fitted rational-exponential approximation.
float erfcc(float x);

// Kendall's tau-b with the variance of tau for untied data; writes tau, z, prob.
// The runs use kendl2; this untied form is kept beside it as the reference
// that kendl2's tie correction departs from (the tests compare the two).
void kendl1(const float* data1, const float* data2, int n, float* tau, float* z, float* prob);

// Kendall's S, tau-b, and a continuity-corrected z from the tie-corrected
// variance of S with its two-sided p-value; writes s, tau, z, prob.  Counts
// and tie groups are kendallCountsAndTies'.
void kendl2(const float* data1, const float* data2, int n, float* tau, float* s, float* z,
            float* prob, KendallWorkspace& ws);

// Theil-Sen line: median pairwise slope (see medianPairSlope), then the
// median of y - slope * x.  Writes the slope first, then the intercept.
// Fewer than two points give a NaN slope.
void theil(const float* x, const float* y, int n, float* intercept, float* slope,
           TheilWorkspace& ws);
