#include "effectsizes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kendall.h"
#include "median.h"
#include "variance.h"

void pltau(int nNA, int nNB, const float* pfY, float* x, float* p, EffectSizeWorkspace& ws) {
    const int n = nNA + nNB;
    float* fT = ws.time.floats(n);
    float* fD = ws.indicator.floats(n);
    for (int i = 0; i < n; ++i) {
        fT[i] = static_cast<float>(i + 1);
        fD[i] = i < nNA ? 0.0f : 1.0f;
    }
    float fTau, fS, fZ, fProb;
    kendl2(fT, pfY, nNA, &fTau, &fS, &fZ, &fProb, ws.kendall);
    if (static_cast<double>(fProb) < 0.05) {
        float fIntercept, fSlope;
        theil(fT, pfY, nNA, &fIntercept, &fSlope, ws.theil);
        float* fCorrectY = ws.corrected.floats(n);
        for (int i = 0; i < n; ++i)
            fCorrectY[i] = static_cast<float>(static_cast<double>(pfY[i]) -
                                              static_cast<double>(fT[i]) * static_cast<double>(fSlope));
        kendl2(fCorrectY, fD, n, &fTau, &fS, &fZ, &fProb, ws.kendall);
    } else {
        kendl2(pfY, fD, n, &fTau, &fS, &fZ, &fProb, ws.kendall);
    }
    *x = fTau;
    *p = fProb;
}

void tauu(int nA, int nB, const float* y, float* x, float* p, EffectSizeWorkspace& ws) {
    const int n = nA + nB;
    float* fDummy = ws.tauUDummy.floats(n);
    for (int i = 0; i < n; ++i) fDummy[i] = static_cast<float>(i < nA ? nA - i : nA + 1);
    float fTau, fS, fZ, fProb;
    kendl2(fDummy, y, n, &fTau, &fS, &fZ, &fProb, ws.kendall);
    *x = static_cast<float>(static_cast<double>(fS) / static_cast<double>(nA * nB));
    *p = fProb;
}

void mpd(int nNA, int nNB, const float* y, float* d, float* r, EffectSizeWorkspace& ws) {
    float sum = 0.0f;
    for (int i = 0; i < nNA - 1; ++i)
        sum = static_cast<float>(static_cast<double>(sum) +
                                 (static_cast<double>(y[i + 1]) - static_cast<double>(y[i])));
    const float fTrend = static_cast<float>(static_cast<double>(sum) / (nNA - 1));

    float* fTreatPred = ws.prediction.floats(nNB);
    float* fPredDiff = ws.difference.floats(nNB);
    sum = 0.0f;
    for (int i = 0; i < nNB; ++i) {
        fTreatPred[i] = static_cast<float>(static_cast<double>(y[0]) +
                                           static_cast<double>(nNA + i) * static_cast<double>(fTrend));
        fPredDiff[i] = y[nNA + i] - fTreatPred[i];
        sum = sum + fPredDiff[i];
    }
    const double meanDiff = static_cast<double>(sum) / nNB;
    *d = static_cast<float>(meanDiff /
                            std::sqrt(static_cast<double>(variance(fPredDiff, nNB))));
    const double total = static_cast<double>(nNA) + nNB;
    const float a = static_cast<float>(total * total / (static_cast<double>(nNA) * nNB));
    const float root = static_cast<float>(
        std::sqrt(static_cast<double>(*d) * static_cast<double>(*d) + static_cast<double>(a)));
    *r = *d / root;
}

void ecl(int nA, int nB, const float* y, float* x, EffectSizeWorkspace& ws) {
    // Each baseline half needs a point: without two there is no line.
    if (nA < 2) {
        *x = std::numeric_limits<float>::quiet_NaN();
        return;
    }
    const int total = std::max(nA, 0) + std::max(nB, 0);
    float* t = ws.time.floats(total);
    for (int i = 0; i < total; ++i) t[i] = static_cast<float>(i + 1);
    const int n = static_cast<int>(std::floor(nA / 2.0));
    const float medT = median(t, nA, ws.median);

    float* t1 = ws.eclT1.floats(n);
    float* y1 = ws.eclY1.floats(n);
    float* t2 = ws.eclT2.floats(n);
    float* y2 = ws.eclY2.floats(n);
    // The halves are the first and the last n baseline points; for odd nA
    // the middle point belongs to neither.
    const int m = n > 0 ? static_cast<int>(std::floor(medT)) : 0;
    for (int i = 0; i < n && static_cast<double>(i) < static_cast<double>(medT) - 1.0; ++i) {
        t1[i] = t[i];
        y1[i] = y[i];
        t2[i] = t[i + m];
        y2[i] = y[i + m];
    }

    const float medY1 = median(y1, n, ws.median);
    const float numerator = median(y2, n, ws.median) - medY1;
    const float medT1 = median(t1, n, ws.median);
    const float slope = static_cast<float>(
        static_cast<double>(numerator) /
        (static_cast<double>(median(t2, n, ws.median)) - static_cast<double>(medT1)));
    const float intercept =
        static_cast<float>(static_cast<double>(medY1) - static_cast<double>(slope) * static_cast<double>(medT1));

    float s = 0.0f;
    for (int i = 0; i < nB; ++i) {
        const float proj = static_cast<float>(static_cast<double>(t[nA + i]) * static_cast<double>(slope) +
                                              static_cast<double>(intercept));
        if (y[nA + i] > proj) s += 1.0f;
    }
    *x = static_cast<float>((static_cast<double>(s) / nB) * 2.0 - 1.0);
}

float factorial(int n) {
    float prod = 1.0f;
    for (int i = 1; i <= n; ++i) prod = prod * static_cast<float>(i);
    return prod;
}

float comb(int n, int k) {
    const float fn = factorial(n);
    const float fk = factorial(k);
    const float fnk = factorial(n - k);
    return static_cast<float>(static_cast<double>(fn) /
                              (static_cast<double>(fk) * static_cast<double>(fnk)));
}

namespace {
// Number of phase-B points strictly above the phase-A maximum.
int pointsAboveBaseline(int nA, int nB, const float* y) {
    float fMax = y[0];
    for (int i = 1; i < nA; ++i)
        if (y[i] > fMax) fMax = y[i];
    int k = 0;
    for (int i = 0; i < nB; ++i)
        if (y[nA + i] > fMax) ++k;
    return k;
}
}  // namespace

void pnd(int nA, int nB, const float* y, float* x, float* p, const NonOverlapTable* table) {
    // The baseline maximum starts from the first point: without a phase A
    // there is no point to start from.
    const int k = nA >= 1 ? pointsAboveBaseline(nA, nB, y) : 0;
    *x = static_cast<float>(static_cast<double>(k) / nB);
    if (table != nullptr && table->nA() == nA && table->nB() == nB)
        *p = table->p(k);
    else
        *p = pndPValue(nA, nB, k);
}

void pncd(int nA, int nB, const float* y, float* x, float* p, EffectSizeWorkspace& ws,
          const NonOverlapTable* table) {
    float sum = 0.0f;
    for (int i = 1; i < nA; ++i)
        sum = static_cast<float>(static_cast<double>(sum) +
                                 (static_cast<double>(y[i]) - static_cast<double>(y[i - 1])));
    const float m = static_cast<float>(static_cast<double>(sum) / (nA - 1));
    const int n = std::max(nA, 0) + std::max(nB, 0);
    float* y2 = ws.corrected.floats(n);
    for (int i = 0; i < n; ++i)
        y2[i] = static_cast<float>(static_cast<double>(y[i]) - static_cast<double>(i + 1) * static_cast<double>(m));
    pnd(nA, nB, y2, x, p, table);
}
