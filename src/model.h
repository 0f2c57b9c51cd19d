// The model one simulated AB series is drawn from: phase lengths, trend,
// level and slope change, phase standard deviations and the error process.
#pragma once

struct ModelParameters {
    int nA = 0;
    int nB = 0;
    float fB1 = 0.0f;  // baseline trend
    float fB2 = 0.0f;  // level change at the start of phase B
    float fB3 = 0.0f;  // slope change from the start of phase B
    float fSA = 0.0f;  // phase-A standard deviation
    float fSB = 0.0f;  // phase-B standard deviation
    float fAR1 = 0.0f; // AR(1) coefficient; when not 0 it wins over fMA1
    float fMA1 = 0.0f; // MA(1) coefficient
};
