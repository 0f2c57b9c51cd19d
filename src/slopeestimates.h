// The pass of the slope median over all pairs of time points x[0], x[0] + 1,
// ...: a float estimate of each pair's slope against bounds, eight pairs at
// a time with AVX2 (the same float operations on every lane) or one at a
// time.  Internal to slopemedian.cpp.
#pragma once

#include <cstddef>

#include "slopemedian.h"

struct SlopeBounds {
    float lo;
    float hi;
};

// Pairs whose estimate lies below and above the bounds.
struct SlopeTally {
    long long below = 0;
    long long above = 0;
};

// For every pair i < j of n points, the estimate (y[j] - y[i]) *
// reciprocal[j - i] (float operations) against [b.lo, b.hi]: estimates below
// and above are counted into t, those inside written to ws.nearPairs (as
// i << 16 | j, n <= 65536) and ws.nearEstimates in pair order, the arrays
// growing as needed.  Returns how many were written.  `vector` allows the
// AVX2 kernel where the processor has it; both kernels write the same.
std::size_t tallySlopeEstimates(const float* y, int n, const float* reciprocal, const SlopeBounds& b,
                                SlopeTally& t, SlopeMedianWorkspace& ws, bool vector);
