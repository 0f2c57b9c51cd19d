// The line through one phase and the bootstrap standard errors of its fit:
// Theil-Sen intercept and slope, their spread over case resamples, and the
// spread of a standard deviation over resamples.
#pragma once

#include <cstdint>
#include <vector>

#include "buffer.h"
#include "mersenne.h"
#include "resamplefit.h"

// Value standing for an unusable estimate: the slope of a pair with equal
// times, a fit without any finite pair slope, and a discarded bootstrap
// replicate.
inline constexpr float kSentinel = 999999.0f;

// Bootstrap replicates per standard error.
inline constexpr int kReplicates = 1000;

// Working storage of the fits and bootstraps, owned by one worker.
struct PhaseFitWorkspace {
    Buffer pairSlopes;  // the slopes of one fit
    Buffer median;      // copies for the medians
    Buffer bootInts;    // the replicates' intercepts
    Buffer bootSlopes;  // the replicates' slopes
    Buffer bootSD;      // the replicates' standard deviations
    Buffer bootX;       // one resample, or kSdLanes of them lane by lane
    Buffer bootY;
    ResampleFit byCount;
    std::vector<int> counts;  // multiplicities of one resample, and a 0
    std::vector<std::uint32_t> outputs;  // generator outputs drawn at once
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
