#include "kendall.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "median.h"
#include "quicksort.h"

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
struct PairCounts {
    int is = 0;
    int n1 = 0;
    int n2 = 0;
};

PairCounts scanPairs(const float* data1, const float* data2, int n) {
    PairCounts c;
    for (int j = 0; j < n - 1; ++j) {
        const float d1 = data1[j];
        const float d2 = data2[j];
        // Branch-free form of: a pair tied in neither variable (aa != 0)
        // counts in n1 and n2 and moves S by the sign of aa (a NaN product
        // counts as discordant); otherwise each variable counts the pair when
        // it is not tied in it.
        int is = 0, n1 = 0, n2 = 0;
        for (int k = j + 1; k < n; ++k) {
            const float a1 = d1 - data1[k];
            const float a2 = d2 - data2[k];
            const float aa = a1 * a2;
            const int untied = aa != 0.0f;
            const int up = aa > 0.0f;
            n1 += untied | (a1 != 0.0f);
            n2 += untied | (a2 != 0.0f);
            is += up - (untied & (1 - up));
        }
        c.is += is;
        c.n1 += n1;
        c.n2 += n2;
    }
    return c;
}

float tauB(const PairCounts& c) {
    return static_cast<float>(static_cast<double>(c.is) /
                              (std::sqrt(static_cast<double>(c.n1)) *
                               std::sqrt(static_cast<double>(c.n2))));
}

float twoSidedP(float z) {
    return erfcc(static_cast<float>(std::fabs(static_cast<double>(z)) / 1.4142136));
}

// Sorted copy of data; the sizes of its runs of two or more equal values are
// written to groups in ascending order of the tied value.  Returns their count.
int tieGroups(const float* data, int n, Buffer& copyBuffer, float* groups) {
    // Without NaNs the run lengths depend on the values alone, so any correct
    // sort gives them, and data already in order needs none.
    bool hasNaN = false;
    bool ordered = true;
    for (int i = 0; i < n; ++i) {
        hasNaN |= std::isnan(data[i]);
        if (i > 0 && data[i] < data[i - 1]) ordered = false;
    }
    const float* arr = data;
    if (hasNaN || !ordered) {
        float* copy = copyBuffer.floats(n);
        std::copy(data, data + n, copy);
        if (hasNaN)
            quicksort(copy, n);
        else
            std::sort(copy, copy + n);
        arr = copy;
    }
    int count = 0;
    int j = 0;
    while (j < n) {
        int pairs = 1;
        while (j + pairs < n && arr[j + pairs] == arr[j]) ++pairs;
        if (pairs >= 2) groups[count++] = static_cast<float>(pairs);
        j += pairs;
    }
    return count;
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
    const PairCounts c = scanPairs(data1, data2, n);
    *tau = tauB(c);
    const double dn = static_cast<double>(n);
    const float svar = static_cast<float>((4.0 * dn + 10.0) / (9.0 * dn * (dn - 1.0)));
    *z = static_cast<float>(static_cast<double>(*tau) / std::sqrt(static_cast<double>(svar)));
    *prob = twoSidedP(*z);
}

void kendl2(const float* data1, const float* data2, int n, float* tau, float* s, float* z,
            float* prob, KendallWorkspace& ws) {
    const PairCounts c = scanPairs(data1, data2, n);
    *s = static_cast<float>(c.is);
    *tau = tauB(c);

    float* tarr = ws.ties1.floats(n);
    float* uarr = ws.ties2.floats(n);
    const TieSums t = tieSums(tarr, tieGroups(data1, n, ws.copy1, tarr));
    const TieSums u = tieSums(uarr, tieGroups(data2, n, ws.copy2, uarr));

    const double fn = static_cast<double>(static_cast<float>(n));
    const float svar = static_cast<float>(
        (fn * (fn - 1.0) * (2.0 * fn + 5.0) - static_cast<double>(t.variance) -
         static_cast<double>(u.variance)) *
            0.05555555555555555 +
        (1.0 / (9.0 * fn * (fn - 1.0) * (fn - 2.0))) * static_cast<double>(t.cubic) *
            static_cast<double>(u.cubic) +
        (1.0 / (2.0 * fn * (fn - 1.0))) * static_cast<double>(t.square) *
            static_cast<double>(u.square));
    *z = static_cast<float>((std::fabs(static_cast<double>(c.is)) - 1.0) /
                            std::sqrt(static_cast<double>(svar)));
    *prob = twoSidedP(*z);
}

void theil(const float* x, const float* y, int n, float* intercept, float* slope,
           TheilWorkspace& ws) {
    const int nPairs = n > 1 ? n * (n - 1) / 2 : 0;
    float* slopes = ws.slopes.floats(nPairs);
    int k = 0;
    for (int i = 0; i < n - 1; ++i) {
        for (int j = i + 1; j < n; ++j) {
            slopes[k++] = static_cast<float>(
                (static_cast<double>(y[j]) - static_cast<double>(y[i])) /
                (static_cast<double>(x[j]) - static_cast<double>(x[i])));
        }
    }
    *slope = medianInPlace(slopes, k);

    const int m = std::max(n, 0);
    float* intercepts = ws.intercepts.floats(m);
    for (int i = 0; i < m; ++i)
        intercepts[i] = static_cast<float>(static_cast<double>(y[i]) -
                                           static_cast<double>(*slope) * static_cast<double>(x[i]));
    *intercept = medianInPlace(intercepts, m);
}
