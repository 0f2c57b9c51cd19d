// The median of all pairwise slopes of a set of points, selected without
// storing and ordering every slope.
//
// Contract: medianPairSlope returns exactly (value and bits) what storing the
// n(n-1)/2 slopes (y[j] - y[i]) / (x[j] - x[i]), i < j, in pair order, each
// formed in double and rounded to float, and taking medianInPlace of them
// gives: the middle slope, or the mean of the two middle slopes formed in
// double and rounded once, with quicksort's placement of zeros of both signs
// and of NaNs.
//
// How: below a few thousand pairs, and for points that are not all finite,
// it does just that.  Otherwise a fixed pseudo-random sample of pairs bounds
// the median, one pass over all pairs counts the slopes below and above the
// bounds and keeps the pairs inside, and the middle slopes are selected among
// those kept.  The pass never orders slopes by anything but their float
// values, so two slopes that round to one float stay equal.
//
// For time points x[0], x[0] + 1, ... (whole numbers exact in float, the only
// kind the effect sizes pass) the pass works on a float estimate of each
// slope, (y[j] - y[i]) * float(1 / (j - i)), which lies within 7 places of
// the slope in the order of floats (a place: one float; both zeros share
// one).  Estimates decide every pair more than 10 places from the places
// that matter; for the pairs near the median the exact slope is formed (or
// certified: an estimate that times j - i gives y[j] - y[i] back exactly is
// the slope), and the middle ones are found by counting places.  On x86-64
// with AVX2 the pass runs eight pairs at a time with the same float
// operations on every lane.
//
// It falls back to storing every slope when the bounds miss the median,
// when a slope is NaN, when the median is a zero and zeros of both signs
// occur among the slopes (their order, and so the median's sign, is
// quicksort's), and when the sample shows the slopes tied in bulk at the
// median (a whole-numbered line), where that is the quicker way.
#pragma once

#include <cstdint>
#include <vector>

#include "buffer.h"

// Working storage of medianPairSlope, reused from call to call.
struct SlopeMedianWorkspace {
    Buffer all;                          // every slope, when the selection falls back
    std::vector<float> sample;           // slopes (or estimates) of sampled pairs
    std::vector<float> reciprocal;       // float(1 / d) for d = 1 .. n-1
    std::vector<std::uint32_t> nearPairs;  // pairs inside the bounds, i << 16 | j
    std::vector<float> nearEstimates;    // and their estimates
    std::vector<std::uint32_t> buckets;  // counts of estimates by place
    std::vector<float> kept;             // exact slopes near the median
    // Which way to take; the tests and benchmarks hold the others against
    // the reference.
    enum class Method {
        Auto,       // as described above
        Portable,   // the same without the vector kernel
        Reference,  // every slope stored, then medianInPlace
    } method = Method::Auto;
};

// See above.  NaN for fewer than two points, and for more than 2^31 - 1
// pairs of points that must fall back.
float medianPairSlope(const float* x, const float* y, int n, SlopeMedianWorkspace& ws);
