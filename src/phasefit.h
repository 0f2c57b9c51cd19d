// The line through one phase and the bootstrap standard errors of its fit:
// Theil-Sen intercept and slope, their spread over case resamples, and the
// spread of a standard deviation over resamples.
#pragma once

#include <vector>

#include "buffer.h"
#include "mersenne.h"

// Value standing for an unusable estimate: the slope of a pair with equal
// times, a fit without any finite pair slope, and a discarded bootstrap
// replicate.
inline constexpr float kSentinel = 999999.0f;

// Bootstrap replicates per standard error.
inline constexpr int kReplicates = 1000;

// The bootstrap fit from multiplicities.  Every point of a resample is one of
// the phase's points, so with distinct times each finite pair slope of a
// resample is the slope of a pair of distinct phase points, taken c_a * c_b
// times when the points were drawn c_a and c_b times, and every other pair
// has equal times.  When no slope, observation or time is NaN and no slope
// lies above the sentinel, the medians of a resample are read off the sorted
// phase values by counting: they equal what sorting the resample gives, up to
// the sign of a zero.  The bootstrap uses the replicates only through the
// discard test and standard deviations, which a zero's sign cannot change.
class ResampleFit {
public:
    // Prepares the phase's pairs and sorted values; false when the counting
    // shortcut does not apply and every resample must be fitted directly.
    bool prepare(const float* pfX, const float* pfY, int nN);

    // Line through the resample whose point a was drawn counts[a] times.
    void fit(const int* counts, float* pfInt, float* pfSlope) const;

private:
    struct Pair {
        float slope;
        int a;
        int b;
    };
    struct Point {
        float value;
        int index;
    };

    void sortedByValue(const float* v, std::vector<Point>& out) const;

    int n_ = 0;
    std::vector<Pair> pairs_;
    std::vector<Point> ys_;
    std::vector<Point> xs_;
};

// Working storage of the fits and bootstraps, owned by one worker.
struct PhaseFitWorkspace {
    Buffer pairSlopes;  // the slopes of one fit
    Buffer median;      // copies for the medians
    Buffer bootInts;    // the replicates' intercepts
    Buffer bootSlopes;  // the replicates' slopes
    Buffer bootSD;      // the replicates' standard deviations
    Buffer bootX;       // one resample
    Buffer bootY;
    ResampleFit byCount;
    std::vector<int> counts;  // multiplicities of one resample
};

// Theil-Sen line through one phase; pairs with equal x are left out of the
// slope median.  Without any finite pair slope the slope is the sentinel.
void theilSenVARDEN(const float* pfX, const float* pfY, int nN, float* pfInt, float* pfSlope,
                    PhaseFitWorkspace& ws);

// Bootstrap standard errors of the line's intercept and slope over 1000
// case resamples; draws 1000 * nN uniform values.
void theilSenStdErrVARDEN(Rng& rng, const float* pfX, const float* pfY, int nN, float* intSE,
                          float* slopeSE, PhaseFitWorkspace& ws);

// Bootstrap standard error of the standard deviation; draws 1000 * n uniform
// values.
float stdDevStdErr(Rng& rng, const float* x, int n, PhaseFitWorkspace& ws);
