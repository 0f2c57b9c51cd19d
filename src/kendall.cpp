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

struct TestOutputs {
    float tau;
    float z;
    float prob;
};

// tau, z and prob of the counts c of n points with the tie sums ts and us.
TestOutputs testOutputs(int n, const KendallCounts& c, const TieSums& ts, const TieSums& us) {
    TestOutputs o;
    o.tau = tauB(c);
    const double fn = static_cast<double>(static_cast<float>(n));
    const float svar = static_cast<float>(
        (fn * (fn - 1.0) * (2.0 * fn + 5.0) - static_cast<double>(ts.variance) -
         static_cast<double>(us.variance)) *
            0.05555555555555555 +
        (1.0 / (9.0 * fn * (fn - 1.0) * (fn - 2.0))) * static_cast<double>(ts.cubic) *
            static_cast<double>(us.cubic) +
        (1.0 / (2.0 * fn * (fn - 1.0))) * static_cast<double>(ts.square) *
            static_cast<double>(us.square));
    o.z = static_cast<float>((std::fabs(static_cast<double>(c.is)) - 1.0) /
                             std::sqrt(static_cast<double>(svar)));
    o.prob = twoSidedP(o.z);
    return o;
}

// Lengths up to this many pairs have their outputs remembered.
constexpr long long kMemoPairs = 4950;

bool sameGroups(const std::vector<float>& kept, const float* groups, int count) {
    return kept.size() == static_cast<std::size_t>(count) && std::equal(kept.begin(), kept.end(), groups);
}

// testOutputs of the counts c of n points (`pairs` pairs) with the tie groups
// given, remembered in ws: a memo's entry is that very computation, made once.
TestOutputs rememberedOutputs(int n, int pairs, const KendallCounts& c, const float* groups1, int count1,
                              const float* groups2, int count2, KendallWorkspace& ws) {
    KendallWorkspace::TestMemo* memo = nullptr;
    for (auto& m : ws.tests)
        if (m.n == n && m.n1 == c.n1 && m.n2 == c.n2 && sameGroups(m.groups1, groups1, count1) &&
            sameGroups(m.groups2, groups2, count2))
            memo = &m;
    if (memo == nullptr) {
        memo = &ws.tests[ws.nextTest];
        ws.nextTest = (ws.nextTest + 1) % static_cast<int>(std::size(ws.tests));
        memo->n = n;
        memo->n1 = c.n1;
        memo->n2 = c.n2;
        memo->groups1.assign(groups1, groups1 + count1);
        memo->groups2.assign(groups2, groups2 + count2);
        memo->outputs.resize(3 * (2 * static_cast<std::size_t>(pairs) + 1));
        memo->known.assign(2 * static_cast<std::size_t>(pairs) + 1, 0);
    }
    const auto at = static_cast<std::size_t>(c.is + pairs);
    float* stored = memo->outputs.data() + 3 * at;
    if (memo->known[at] == 0) {
        const TestOutputs o = testOutputs(n, c, tieSums(groups1, count1), tieSums(groups2, count2));
        stored[0] = o.tau;
        stored[1] = o.z;
        stored[2] = o.prob;
        memo->known[at] = 1;
    }
    return {stored[0], stored[1], stored[2]};
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
    const long long pairs = n >= 2 ? static_cast<long long>(n) * (n - 1) / 2 : 0;
    const bool remembered = pairs <= kMemoPairs && c.is >= -pairs && c.is <= pairs &&
                            ws.method != KendallWorkspace::Method::Reference;
    const TestOutputs o = remembered
                              ? rememberedOutputs(n, static_cast<int>(pairs), c, tarr, t, uarr, u, ws)
                              : testOutputs(n, c, tieSums(tarr, t), tieSums(uarr, u));
    *tau = o.tau;
    *z = o.z;
    *prob = o.prob;
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
