// One simulated AB series: linear trend, level and slope change at the start
// of phase B, and AR(1) or MA(1) errors scaled per phase.
#pragma once

#include "mersenne.h"

// n autoregressive errors after a burn-in of 50; draws n + 50 deviates.
void simAR1(Rng& rng, float phi, int n, float* z);

// n moving-average errors after a burn-in of 50; draws n + 51 deviates.
void simMA1(Rng& rng, float theta, int n, float* z);

// Fills pfY[0 .. nNA + nNB - 1].  Lengths below 0 count as 0.
void simABTimeSeries(Rng& rng, int nNA, int nNB, float fB1, float fB2, float fB3, float fSA,
                     float fSB, float fAR1, float fMA1, float* pfY);

// Normal deviates one call of simABTimeSeries draws.
int seriesDrawCount(int nNA, int nNB, float fAR1);
