// The simulated phase means of the method: one phase of n points from a line
// and an AR(1) noise, both perturbed by their standard errors, several
// simulations at a time in independent lanes.
#pragma once

#include "buffer.h"
#include "mersenne.h"

// The inner simulations of one method call, several at a time.  The draws of
// a batch are made in the order of the single simulations (each one's z1 .. z4
// and noise, simulation after simulation); then every step of the
// single-simulation arithmetic is applied to all simulations of the batch at
// once, each lane rounding exactly as one simulation does.  Independent lanes
// let the serial recursions and sums of different simulations overlap.
class PhaseMeanBatch {
public:
    static constexpr int kLanes = 8;

    // One phase's line with the standard errors of its fit.
    struct Model {
        const float* t;
        float intercept, intSE, slope, slopeSE, SD, SDSE;
    };

    // means[l] = the mean simulation l of the batch would return, for
    // `lanes` simulations (1 .. kLanes) of n >= 1 points with models[l].
    void run(Rng& rng, int n, const Model* models, int lanes, float r1, float r1SE, float* means);

private:
    Buffer deviates_;      // the batch's draws, simulation after simulation
    Buffer laneDeviates_;  // the noise deviates, step by step, lane by lane
    Buffer laneTimes_;     // the models' times, laid out alike
    Buffer noise_;         // the AR(1) noise, laid out as laneDeviates_
};

// Normal deviates one simulated phase mean of n points draws.
int phaseMeanDrawCount(int n);

// One simulated phase mean written as a single simulation: the reference the
// method's batches reproduce lane by lane, used by tests and benchmarks.  It
// draws n + 54 deviates and allocates its own storage.
float simTimeSeriesMean(Rng& rng, int n, const float* t, float intercept, float intSE,
                        float slope, float slopeSE, float SD, float SDSE, float r1, float r1SE);

// n values of an AR(1) series of coefficient r1 after a burn-in of 50,
// standardised to mean 0 and standard deviation 1; draws n + 50 deviates.
// The noise step of one simulation written plainly, kept beside the lanes
// that inline it; tests check its properties.
void simAutocorrVARDEN(Rng& rng, float r1, int n, float* y);
