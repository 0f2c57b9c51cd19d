#include "caseindices.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "median.h"
#include "signtest.h"

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

bool holdsNaN(const float* a, int n) {
    return std::any_of(a, a + n, [](float v) { return std::isnan(v); });
}

// B against A; u is NaN where the test is undefined.
RankSumTest allPairs(int nA, int nB, const float* y, CaseIndexWorkspace& ws) {
    if (nA < 1 || nB < 1) return {std::numeric_limits<double>::quiet_NaN(), kNaN, false};
    return rankSumTest(y + nA, nB, y, nA, ws.rankSum);
}

double pairCount(int nA, int nB) { return static_cast<double>(nA) * static_cast<double>(nB); }

}  // namespace

Estimate nap(int nA, int nB, const float* y, CaseIndexWorkspace& ws) {
    const RankSumTest t = allPairs(nA, nB, y, ws);
    return {static_cast<float>(t.u / pairCount(nA, nB)), t.p};
}

Estimate tauAB(int nA, int nB, const float* y, CaseIndexWorkspace& ws) {
    const RankSumTest t = allPairs(nA, nB, y, ws);
    const double m = pairCount(nA, nB);
    return {static_cast<float>((2.0 * t.u - m) / m), t.p};
}

Estimate pem(int nA, int nB, const float* y, CaseIndexWorkspace& ws) {
    if (nA < 1 || nB < 1 || holdsNaN(y, nA + nB)) return {kNaN, kNaN};
    const float med = median(y, nA, ws.median);
    if (std::isnan(med)) return {kNaN, kNaN};
    int above = 0, equal = 0;
    for (int i = nA; i < nA + nB; ++i) {
        if (y[i] > med) ++above;
        if (y[i] == med) ++equal;
    }
    const double value = (2.0 * above + equal) / (2.0 * nB);
    return {static_cast<float>(value), signTestP(nB - equal, above)};
}

float smd(int nA, int nB, const float* y) {
    if (nA < 3 || nB < 1) return kNaN;
    double sumA = 0.0, sumB = 0.0;
    for (int i = 0; i < nA; ++i) sumA += static_cast<double>(y[i]);
    for (int i = nA; i < nA + nB; ++i) sumB += static_cast<double>(y[i]);
    const double meanA = sumA / nA;
    const double meanB = sumB / nB;
    double squares = 0.0;
    for (int i = 0; i < nA; ++i) {
        const double deviation = static_cast<double>(y[i]) - meanA;
        squares += deviation * deviation;
    }
    const double sdA = std::sqrt(squares / (nA - 1));
    if (!(sdA > 0.0)) return kNaN;
    const double correction = 1.0 - 3.0 / (4.0 * (nA - 1) - 1.0);
    return static_cast<float>((meanB - meanA) / sdA * correction);
}
