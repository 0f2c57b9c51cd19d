// The six single-case effect-size indices of one AB series.
#pragma once

#include <vector>

// PL-Tau: tau-b between the series and the phase indicator, after removing the
// baseline's Theil-Sen slope when the baseline trend is significant.
void pltau(int nNA, int nNB, const float* pfY, float* x, float* p);

// Tau-U, A versus B minus trend A.
void tauu(int nA, int nB, const float* y, float* x, float* p);

// Mean phase difference as a standardised difference d and as r.
void mpd(int nNA, int nNB, const float* y, float* d, float* r);

// Extended celeration line index, from -1 to 1; NaN for a baseline of fewer
// than two points, which has no line.
void ecl(int nA, int nB, const float* y, float* x);

// n! in single precision; 1 for n <= 0.
float factorial(int n);

// Binomial coefficient from three single-precision factorials.
float comb(int n, int k);

// Exact one-sided p-value of at least k of nB phase-B points above the
// phase-A maximum.  Up to 26 points it is the single-precision term-by-term
// sum; from 27 points, where n^n overflows a float, the same probability is
// evaluated in double precision and rounded once.
float pndPValue(int nA, int nB, int k);

// The p-values of every k from 0 to nB for fixed phase lengths, formed once.
class NonOverlapTable {
public:
    NonOverlapTable(int nA, int nB);
    int nA() const { return nA_; }
    int nB() const { return nB_; }
    float p(int k) const { return p_[static_cast<std::size_t>(k)]; }

private:
    int nA_;
    int nB_;
    std::vector<float> p_;
};

// PND: share of phase-B points above the phase-A maximum, with its p-value.
// With a table for the same lengths the p-value is looked up.
void pnd(int nA, int nB, const float* y, float* x, float* p,
         const NonOverlapTable* table = nullptr);

// PNCD: PND after the mean successive difference of phase A has been removed
// from the whole series.
void pncd(int nA, int nB, const float* y, float* x, float* p,
          const NonOverlapTable* table = nullptr);
