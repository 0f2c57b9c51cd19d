#include "simulate.h"

#include <algorithm>

#include "rnorm.h"
#include "scratch.h"

namespace {
constexpr int kBurnIn = 50;
}

void simAR1(Rng& rng, float phi, int n, float* z) {
    float* e = scratch(Slot::ErrorProcess, static_cast<std::size_t>(n + kBurnIn));
    float* a = scratch(Slot::SeriesDeviates, static_cast<std::size_t>(n + kBurnIn));
    fillNormals(rng, a, n + kBurnIn);
    e[0] = a[0];
    for (int i = 1; i < n + kBurnIn; ++i) {
        const float carried = phi * e[i - 1];
        e[i] = carried + a[i];
    }
    std::copy(e + kBurnIn, e + kBurnIn + n, z);
}

void simMA1(Rng& rng, float theta, int n, float* z) {
    float* e = scratch(Slot::ErrorProcess, static_cast<std::size_t>(n + kBurnIn));
    // a[0] is the first a1; a[i + 1] the a2 of step i.
    float* a = scratch(Slot::SeriesDeviates, static_cast<std::size_t>(n + kBurnIn + 1));
    fillNormals(rng, a, n + kBurnIn + 1);
    for (int i = 0; i < n + kBurnIn; ++i)
        e[i] = static_cast<float>(static_cast<double>(a[i + 1]) -
                                  static_cast<double>(theta) * static_cast<double>(a[i]));
    std::copy(e + kBurnIn, e + kBurnIn + n, z);
}

int seriesDrawCount(int nNA, int nNB, float fAR1) {
    const int n = std::max(nNA, 0) + std::max(nNB, 0);
    return fAR1 != 0.0f ? n + kBurnIn : n + kBurnIn + 1;
}

void simABTimeSeries(Rng& rng, int nNA, int nNB, float fB1, float fB2, float fB3, float fSA,
                     float fSB, float fAR1, float fMA1, float* pfY) {
    nNA = std::max(nNA, 0);
    nNB = std::max(nNB, 0);
    const int n = nNA + nNB;
    float* fE = scratch(Slot::SeriesErrors, static_cast<std::size_t>(n));
    // A NaN coefficient compares unequal to 0 and selects the AR model.
    if (fAR1 != 0.0f)
        simAR1(rng, fAR1, n, fE);
    else
        simMA1(rng, fMA1, n, fE);

    for (int i = 0; i < nNA; ++i) fE[i] = fE[i] * fSA;
    for (int i = nNA; i < n; ++i) fE[i] = fE[i] * fSB;

    for (int i = 0; i < n; ++i) {
        const int t = i + 1;
        const float fD = i < nNA ? 0.0f : 1.0f;
        const float fSC = static_cast<float>(static_cast<double>(t - (nNA + 1)) * fD);
        pfY[i] = static_cast<float>(static_cast<double>(t) * fB1 + static_cast<double>(fD) * fB2 +
                                    static_cast<double>(fSC) * fB3 + static_cast<double>(fE[i]));
    }
}
