#include "kendall.h"

#include <algorithm>
#include <cmath>

#include "median.h"
#include "slopemedian.h"

float erfcc(float x) {
    const float z = std::fabs(x);
    const float t = static_cast<float>(1.0 / (1.0 + 0.5 * static_cast<double>(z)));
    const double td = static_cast<double>(t);
    const double poly =
        1.00002368 +
        td * (0.37409196 +
              td * (0.09678418 +
                    td * (-0.18628806 +
                          td * (0.27886807 +
                                td * (-1.13520398 +
                                      td * (1.48851587 + td * (-0.82215223 + td * 0.17087277)))))));
    const float ans = static_cast<float>(
        td * std::exp(-static_cast<double>(z) * static_cast<double>(z) - 1.26551223 + td * poly));
    return x >= 0.0f ? ans : static_cast<float>(2.0 - static_cast<double>(ans));
}

namespace {
float tauB(const KendallCounts& c) {
    return static_cast<float>(static_cast<double>(c.is) /
                              (std::sqrt(static_cast<double>(c.n1)) *
                               std::sqrt(static_cast<double>(c.n2))));
}

float twoSidedP(float z) {
    return erfcc(static_cast<float>(std::fabs(static_cast<double>(z)) / 1.4142136));
}

struct TieSums {
    float variance = 0.0f;  // sum of g(g-1)(2g+5)
    float cubic = 0.0f;     // sum of g(g-1)(g-2)
    float square = 0.0f;    // sum of g(g-1)
};

TieSums tieSums(const float* groups, int count) {
    TieSums s;
    for (int i = 0; i < count; ++i) {
        const double g = static_cast<double>(groups[i]);
        s.variance = static_cast<float>(static_cast<double>(s.variance) + g * (g - 1.0) * (2.0 * g + 5.0));
    }
    for (int i = 0; i < count; ++i) {
        const double g = static_cast<double>(groups[i]);
        s.cubic = static_cast<float>(static_cast<double>(s.cubic) + g * (g - 1.0) * (g - 2.0));
    }
    for (int i = 0; i < count; ++i) {
        const double g = static_cast<double>(groups[i]);
        s.square = static_cast<float>(static_cast<double>(s.square) + g * (g - 1.0));
    }
    return s;
}
}  // namespace

void kendl1(const float* data1, const float* data2, int n, float* tau, float* z, float* prob) {
    const KendallCounts c = kendallPairScan(data1, data2, n);
    *tau = tauB(c);
    const double dn = static_cast<double>(n);
    const float svar = static_cast<float>((4.0 * dn + 10.0) / (9.0 * dn * (dn - 1.0)));
    *z = static_cast<float>(static_cast<double>(*tau) / std::sqrt(static_cast<double>(svar)));
    *prob = twoSidedP(*z);
}

void kendl2(const float* data1, const float* data2, int n, float* tau, float* s, float* z,
            float* prob, KendallWorkspace& ws) {
    float* tarr = ws.ties1.floats(n);
    float* uarr = ws.ties2.floats(n);
    int t = 0, u = 0;
    const KendallCounts c = kendallCountsAndTies(data1, data2, n, ws, tarr, t, uarr, u);
    *s = static_cast<float>(c.is);
    *tau = tauB(c);
    const TieSums ts = tieSums(tarr, t);
    const TieSums us = tieSums(uarr, u);

    const double fn = static_cast<double>(static_cast<float>(n));
    const float svar = static_cast<float>(
        (fn * (fn - 1.0) * (2.0 * fn + 5.0) - static_cast<double>(ts.variance) -
         static_cast<double>(us.variance)) *
            0.05555555555555555 +
        (1.0 / (9.0 * fn * (fn - 1.0) * (fn - 2.0))) * static_cast<double>(ts.cubic) *
            static_cast<double>(us.cubic) +
        (1.0 / (2.0 * fn * (fn - 1.0))) * static_cast<double>(ts.square) *
            static_cast<double>(us.square));
    *z = static_cast<float>((std::fabs(static_cast<double>(c.is)) - 1.0) /
                            std::sqrt(static_cast<double>(svar)));
    *prob = twoSidedP(*z);
}

void theil(const float* x, const float* y, int n, float* intercept, float* slope,
           TheilWorkspace& ws) {
    *slope = medianPairSlope(x, y, n, ws.slopes);

    const int m = std::max(n, 0);
    float* intercepts = ws.intercepts.floats(m);
    for (int i = 0; i < m; ++i)
        intercepts[i] = static_cast<float>(static_cast<double>(y[i]) -
                                           static_cast<double>(*slope) * static_cast<double>(x[i]));
    *intercept = medianInPlace(intercepts, m);
}
