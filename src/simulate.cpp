#include "simulate.h"

#include <algorithm>

#include "rnorm.h"

namespace {
constexpr int kBurnIn = 50;
}

// The burn-in deviates are drawn into a small array of their own and the
// kept ones straight into z: deviates drawn in parts are the deviates drawn
// at once, so no working storage is needed.
void simAR1(Rng& rng, float phi, int n, float* z) {
    float burnIn[kBurnIn];
    fillNormals(rng, burnIn, kBurnIn);
    float e = burnIn[0];
    for (int i = 1; i < kBurnIn; ++i) {
        const float carried = phi * e;
        e = carried + burnIn[i];
    }
    if (n <= 0) return;
    fillNormals(rng, z, n);
    for (int i = 0; i < n; ++i) {
        const float carried = phi * e;
        e = carried + z[i];
        z[i] = e;
    }
}

void simMA1(Rng& rng, float theta, int n, float* z) {
    // Deviate a[i + 1] and its predecessor a[i] make error i; only the last
    // burn-in deviate reaches a kept error.
    float burnIn[kBurnIn + 1];
    fillNormals(rng, burnIn, kBurnIn + 1);
    if (n <= 0) return;
    fillNormals(rng, z, n);
    float previous = burnIn[kBurnIn];
    for (int i = 0; i < n; ++i) {
        const float current = z[i];
        z[i] = static_cast<float>(static_cast<double>(current) -
                                  static_cast<double>(theta) * static_cast<double>(previous));
        previous = current;
    }
}

int seriesDrawCount(int nNA, int nNB, float fAR1) {
    const int n = std::max(nNA, 0) + std::max(nNB, 0);
    return fAR1 != 0.0f ? n + kBurnIn : n + kBurnIn + 1;
}

void simABTimeSeries(Rng& rng, const ModelParameters& model, float* y) {
    const int nNA = std::max(model.nA, 0);
    const int nNB = std::max(model.nB, 0);
    const int n = nNA + nNB;
    // The errors are formed in y itself; point i's error is read before
    // point i is written.
    float* fE = y;
    // A NaN coefficient compares unequal to 0 and selects the AR model.
    if (model.fAR1 != 0.0f)
        simAR1(rng, model.fAR1, n, fE);
    else
        simMA1(rng, model.fMA1, n, fE);

    for (int i = 0; i < nNA; ++i) fE[i] = fE[i] * model.fSA;
    for (int i = nNA; i < n; ++i) fE[i] = fE[i] * model.fSB;

    for (int i = 0; i < n; ++i) {
        const int t = i + 1;
        const float fD = i < nNA ? 0.0f : 1.0f;
        const float fSC = static_cast<float>(static_cast<double>(t - (nNA + 1)) * static_cast<double>(fD));
        y[i] = static_cast<float>(static_cast<double>(t) * static_cast<double>(model.fB1) +
                                  static_cast<double>(fD) * static_cast<double>(model.fB2) +
                                  static_cast<double>(fSC) * static_cast<double>(model.fB3) +
                                  static_cast<double>(fE[i]));
    }
}
