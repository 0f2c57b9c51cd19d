// One simulated AB series: linear trend, level and slope change at the start
// of phase B, and AR(1) or MA(1) errors scaled per phase.
#pragma once

#include "mersenne.h"
#include "model.h"

// n autoregressive errors after a burn-in of 50; draws n + 50 deviates.
void simAR1(Rng& rng, float phi, int n, float* z);

// n moving-average errors after a burn-in of 50; draws n + 51 deviates.
void simMA1(Rng& rng, float theta, int n, float* z);

// Fills y[0 .. nA + nB - 1] with one series of the model.  Lengths below 0
// count as 0.
void simABTimeSeries(Rng& rng, const ModelParameters& model, float* y);

// Normal deviates one call of simABTimeSeries draws.
int seriesDrawCount(int nNA, int nNB, float fAR1);
