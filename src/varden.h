// The VARDEN method: a simulation-based comparison of the two phases of one
// AB series, giving its five records.
#pragma once

#include "buffer.h"
#include "mersenne.h"
#include "phasefit.h"
#include "phasemeans.h"

// Record one and two: the line of one phase with the standard errors of its
// fit, and the spread of its residuals with its standard error.
struct PhaseModel {
    float intercept = 0.0f;
    float interceptSE = 0.0f;
    float slope = 0.0f;
    float slopeSE = 0.0f;
    float sd = 0.0f;
    float sdSE = 0.0f;
};

// Record three: the corrected lag-1 autocorrelation of the standardised
// residuals and its standard error.
struct AutocorrelationModel {
    float r1 = 0.0f;
    float r1SE = 0.0f;
};

// Record four: mean and spread of the simulated phase-B means of both models.
struct SimulatedMeans {
    float nullMean = 0.0f;
    float nullSD = 0.0f;
    float expMean = 0.0f;
    float expSD = 0.0f;
};

// Record five: the effect sizes.
struct VardenEffectSizes {
    float d = 0.0f;        // difference of the simulated means
    float smd = 0.0f;      // standardised mean difference
    float smdSE = 0.0f;    // its standard error
    float r = 0.0f;        // the difference as a correlation
    float rSquared = 0.0f;
    float p = 0.0f;        // two-sided p-value of smd
};

struct VardenResult {
    PhaseModel nullModel;         // phase A's line, projected over phase B
    PhaseModel expModel;          // phase B's own line
    AutocorrelationModel autocorrModel;
    SimulatedMeans simResults;
    VardenEffectSizes esResults;
};

// Working storage of the method, owned by one worker and reused for every
// series it analyses.
struct VardenWorkspace {
    Buffer tA, tB, tB2;  // phase times: A from 1, B continuing, B from 1
    Buffer yA, yB;       // the series split by phase
    Buffer eA, eB;       // residuals by phase
    Buffer stdE;         // standardised residuals of both phases
    Buffer nullMeans, expMeans;
    PhaseFitWorkspace fit;
    PhaseMeanBatch batch;
};

// The method on one series of nNA + nNB points with nSimN inner simulations.
VardenResult varden(Rng& rng, int nNA, int nNB, const float* pfY, int nSimN, VardenWorkspace& ws);

// Uniform values and normal deviates one call of varden draws.
long long vardenUniformCount(int nNA, int nNB);
long long vardenNormalCount(int nNB, int nSimN);
