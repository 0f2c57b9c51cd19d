#include "residuals.h"

#include <cmath>

void regressionResidualsVARDEN(const float* pfTA, const float* pfYA, const float* pfTB,
                               const float* pfYB, int nNA, int nNB, float intA, float slopeA,
                               float intB, float slopeB, float* pfEA, float* pfEB) {
    const float b0 = intA;
    const float b1 = slopeA;
    // Without a phase B the level change has no first phase-B time to refer to.
    const double firstB = nNB > 0 ? static_cast<double>(pfTB[0]) : 0.0;
    const float b2 = static_cast<float>((static_cast<double>(intB) + static_cast<double>(slopeB)) -
                                        (firstB * static_cast<double>(slopeA) +
                                         static_cast<double>(intA)));
    const float b3 = slopeB - slopeA;
    // The regression's time, phase dummy and time since the phase change.
    const auto residual = [&](float t, float y, float d, float sc) {
        const float yhat = static_cast<float>(
            ((static_cast<double>(t) * static_cast<double>(b1) + static_cast<double>(b0)) +
             static_cast<double>(d) * static_cast<double>(b2)) +
            static_cast<double>(sc) * static_cast<double>(b3));
        return y - yhat;
    };
    for (int k = 0; k < nNA; ++k) pfEA[k] = residual(pfTA[k], pfYA[k], 0.0f, 0.0f);
    for (int k = 0; k < nNB; ++k) {
        const float t = pfTB[k];
        const float d = 1.0f;
        const float sc = static_cast<float>((static_cast<double>(t) - (nNA + 1)) *
                                            static_cast<double>(d));
        pfEB[k] = residual(t, pfYB[k], d, sc);
    }
}

float autocorr(const float* x, int n, int p) {
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) sum = sum + x[i];
    const float m = sum / static_cast<float>(n);
    const double md = static_cast<double>(m);
    float sum1 = 0.0f;
    for (int i = 0; i < n - 1; ++i)
        sum1 = static_cast<float>(static_cast<double>(sum1) +
                                  (static_cast<double>(x[i]) - md) * (static_cast<double>(x[i + 1]) - md));
    float sum2 = 0.0f;
    for (int i = 0; i < n; ++i)
        sum2 = static_cast<float>(static_cast<double>(sum2) +
                                  (static_cast<double>(x[i]) - md) * (static_cast<double>(x[i]) - md));
    if (sum2 == 0.0f) return 0.0f;
    return static_cast<float>(static_cast<double>(sum1) / static_cast<double>(sum2) +
                              static_cast<double>(p) / n);
}

float autocorrStdErr(float /*r1*/, int nN) {
    const double n = static_cast<double>(static_cast<float>(nN));
    return static_cast<float>(std::sqrt((n - 2.0) * (n - 2.0) / ((n - 1.0) * n * n)));
}
