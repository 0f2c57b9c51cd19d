// The VARDEN method: a simulation-based comparison of the two phases of one
// AB series.
#pragma once

#include "mersenne.h"

// Value standing for an unusable estimate: the slope of a pair with equal
// times, a fit without any finite pair slope, and a discarded bootstrap
// replicate.
inline constexpr float kSentinel = 999999.0f;

// Theil-Sen line through one phase; pairs with equal x are left out of the
// slope median.  Without any finite pair slope the slope is the sentinel.
void theilSenVARDEN(const float* pfX, const float* pfY, int nN, float* pfInt, float* pfSlope);

// Bootstrap standard errors of the line's intercept and slope over 1000
// case resamples; draws 1000 * nN uniform values.
void theilSenStdErrVARDEN(Rng& rng, const float* pfX, const float* pfY, int nN, float* intSE,
                          float* slopeSE);

// Bootstrap standard error of the standard deviation; draws 1000 * n uniform
// values.
float stdDevStdErr(Rng& rng, const float* x, int n);

// Residuals of both phases from the two-phase regression built from the two
// phase lines.
void regressionResidualsVARDEN(const float* pfTA, const float* pfYA, const float* pfTB,
                               const float* pfYB, int nNA, int nNB, float intA, float slopeA,
                               float intB, float slopeB, float* pfEA, float* pfEB);

// Lag-1 autocorrelation about the mean of all n values, plus p / n.
float autocorr(const float* x, int n, int p);

// Standard error of the lag-1 autocorrelation of nN values.
float autocorrStdErr(float r1, int nN);

// n values of an AR(1) series of coefficient r1 after a burn-in of 50,
// standardised to mean 0 and standard deviation 1; draws n + 50 deviates.
void simAutocorrVARDEN(Rng& rng, float r1, int n, float* y);

// Mean of one phase of n points simulated from a model perturbed by its
// standard errors; draws n + 54 deviates.
float simTimeSeriesMean(Rng& rng, int n, const float* t, float intercept, float intSE,
                        float slope, float slopeSE, float SD, float SDSE, float r1, float r1SE);

// The method on one series; fills the five records.
void varden(Rng& rng, int nNA, int nNB, const float* pfY, float* pfNullModel, float* pfExpModel,
            float* pfAutocorrModel, float* pfSimResults, float* pfESResults, int nSimN);

// Uniform values and normal deviates one call of varden draws.
long long vardenUniformCount(int nNA, int nNB);
long long vardenNormalCount(int nNB, int nSimN);
