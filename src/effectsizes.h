// The six single-case effect-size indices of one AB series.
#pragma once

#include "buffer.h"
#include "kendall.h"
#include "nonoverlap.h"

// Working storage of the indices, owned by one worker and reused for every
// series it analyses.
struct EffectSizeWorkspace {
    KendallWorkspace kendall;
    TheilWorkspace theil;
    Buffer median;      // copies for the medians
    Buffer time;        // 1 .. n
    Buffer indicator;   // 0 in phase A, 1 in phase B
    Buffer corrected;   // the series after a trend is removed
    Buffer tauUDummy;   // Tau-U's ordering of phase A against phase B
    Buffer prediction;  // MPD's phase-B prediction
    Buffer difference;  // MPD's differences from the prediction
    Buffer eclT1, eclY1, eclT2, eclY2;  // ECL's halves of the baseline
};

// PL-Tau: tau-b between the series and the phase indicator, after removing the
// baseline's Theil-Sen slope when the baseline trend is significant.
void pltau(int nNA, int nNB, const float* pfY, float* x, float* p, EffectSizeWorkspace& ws);

// Tau-U, A versus B minus trend A.
void tauu(int nA, int nB, const float* y, float* x, float* p, EffectSizeWorkspace& ws);

// Mean phase difference as a standardised difference d and as r.
void mpd(int nNA, int nNB, const float* y, float* d, float* r, EffectSizeWorkspace& ws);

// Extended celeration line index, from -1 to 1; NaN for a baseline of fewer
// than two points, which has no line.
void ecl(int nA, int nB, const float* y, float* x, EffectSizeWorkspace& ws);

// n! in single precision; 1 for n <= 0.
float factorial(int n);

// Binomial coefficient from three single-precision factorials.
float comb(int n, int k);

// PND: share of phase-B points above the phase-A maximum, with its p-value.
// With a table for the same lengths the p-value is looked up.
void pnd(int nA, int nB, const float* y, float* x, float* p,
         const NonOverlapTable* table = nullptr);

// PNCD: PND after the mean successive difference of phase A has been removed
// from the whole series.
void pncd(int nA, int nB, const float* y, float* x, float* p, EffectSizeWorkspace& ws,
          const NonOverlapTable* table = nullptr);
