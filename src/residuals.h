// The residuals of a series from its two phase lines, and the lag-1
// autocorrelation of residuals with its standard error.
#pragma once

// Residuals of both phases from the two-phase regression built from the two
// phase lines.
void regressionResidualsVARDEN(const float* pfTA, const float* pfYA, const float* pfTB,
                               const float* pfYB, int nNA, int nNB, float intA, float slopeA,
                               float intB, float slopeB, float* pfEA, float* pfEB);

// Lag-1 autocorrelation about the mean of all n values, plus p / n.
float autocorr(const float* x, int n, int p);

// Standard error of the lag-1 autocorrelation of nN values.
float autocorrStdErr(float r1, int nN);
