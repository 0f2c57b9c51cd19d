#include "effectsizes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kendall.h"
#include "median.h"
#include "variance.h"

namespace {
std::size_t sizeOf(int n) { return static_cast<std::size_t>(std::max(n, 0)); }
}  // namespace

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
// pow on integer arguments taken as floats, rounded to float before use.
float powf32(int base, int exponent) {
    return static_cast<float>(std::pow(static_cast<double>(static_cast<float>(base)),
                                       static_cast<double>(static_cast<float>(exponent))));
}

// Powers base^e for base 0 .. maxBase and e 0 .. maxExp, tabulated when small.
class PowerTable {
public:
    PowerTable(int maxBase, int maxExp) : stride_(maxExp + 1) {
        const long long cells = static_cast<long long>(maxBase + 1) * stride_;
        if (cells <= kMaxCells) {
            table_.resize(static_cast<std::size_t>(cells));
            for (int b = 0; b <= maxBase; ++b)
                for (int e = 0; e <= maxExp; ++e)
                    table_[static_cast<std::size_t>(b * stride_ + e)] = powf32(b, e);
        }
    }
    float operator()(int base, int exponent) const {
        if (table_.empty()) return powf32(base, exponent);
        return table_[static_cast<std::size_t>(base * stride_ + exponent)];
    }

private:
    static constexpr long long kMaxCells = 1 << 16;
    int stride_;
    std::vector<float> table_;
};

// From this many points on, n^n exceeds the float range and the float sum
// below would give 0 or NaN; such designs take the double evaluation.
constexpr int kFirstDoubleEvaluatedLength = 27;

// The same probability in double precision, without overflow for any length:
//   p(k) = sum over m of w_m * T_m(k),
//   w_m = (m/n)^nA - ((m-1)/n)^nA, the chance that the phase-A maximum is m,
//   T_m(k) = sum over i = k..nB of C(nB, i) q^i (1-q)^(nB-i), q = (n-m)/n,
// each binomial term taken through logarithms; m and i ascend, the sum is
// clamped to [0, 1] and rounded to float once.  A zero power is the factor 1
// and a term with q = 0 and i > 0 is 0.
void exactNonOverlapPValues(int nA, int nB, const int* ks, int count, float* out) {
    const int n = nA + nB;
    const std::size_t terms = sizeOf(nB + 1);
    std::vector<double> logComb(terms);
    for (int i = 0; i <= nB; ++i)
        logComb[static_cast<std::size_t>(i)] = std::lgamma(static_cast<double>(nB) + 1.0) -
                                               std::lgamma(static_cast<double>(i) + 1.0) -
                                               std::lgamma(static_cast<double>(nB - i) + 1.0);
    std::vector<double> sums(sizeOf(count), 0.0);
    std::vector<double> term(terms);
    for (int m = 1; m <= n; ++m) {
        const double w = std::pow(static_cast<double>(m) / n, static_cast<double>(nA)) -
                         std::pow(static_cast<double>(m - 1) / n, static_cast<double>(nA));
        const double q = static_cast<double>(n - m) / n;
        const double logQ = std::log(q);
        const double logRest = std::log1p(-q);
        // Terms that are exactly 0 change no sum: only lo..hi are added.
        int lo = nB + 1, hi = -1;
        for (int i = 0; i <= nB; ++i) {
            double e = logComb[static_cast<std::size_t>(i)];
            double t;
            if (i > 0 && q == 0.0) {
                t = 0.0;
            } else {
                if (i > 0) e = e + static_cast<double>(i) * logQ;
                if (nB - i > 0) e = e + static_cast<double>(nB - i) * logRest;
                t = std::exp(e);
            }
            term[static_cast<std::size_t>(i)] = t;
            if (t != 0.0) {
                lo = std::min(lo, i);
                hi = i;
            }
        }
        // Four tails at a time, each still added in ascending i: a lane adds
        // 0 until its own first term, which leaves its sum exactly 0.
        for (int c = 0; c < count; c += 4) {
            const int lanes = std::min(4, count - c);
            int first[4];
            int from = hi + 1;
            for (int j = 0; j < 4; ++j) {
                first[j] = j < lanes ? std::max(ks[c + j], lo) : hi + 1;
                from = std::min(from, first[j]);
            }
            double tail[4] = {0.0, 0.0, 0.0, 0.0};
            for (int i = from; i <= hi; ++i) {
                const double t = term[static_cast<std::size_t>(i)];
                for (int j = 0; j < 4; ++j) tail[j] += i >= first[j] ? t : 0.0;
            }
            for (int j = 0; j < lanes; ++j) sums[static_cast<std::size_t>(c + j)] += w * tail[j];
        }
    }
    for (int c = 0; c < count; ++c)
        out[c] = static_cast<float>(std::clamp(sums[static_cast<std::size_t>(c)], 0.0, 1.0));
}

// The p-value's sum for every k in ks, using tabulated coefficients and
// powers; every term is formed and added exactly as in the definition.
void nonOverlapPValues(int nA, int nB, const int* ks, int count, float* out) {
    const int n = nA + nB;
    if (n >= kFirstDoubleEvaluatedLength) {
        exactNonOverlapPValues(nA, nB, ks, count, out);
        return;
    }
    std::vector<float> combA(sizeOf(nA + 1));
    std::vector<float> combB(sizeOf(nB + 1));
    for (int r = 1; r <= nA; ++r) combA[static_cast<std::size_t>(r)] = comb(nA, r);
    for (int i = 0; i <= nB; ++i) combB[static_cast<std::size_t>(i)] = comb(nB, i);
    const PowerTable pw(n, std::max(nA, nB));
    const float denominator = powf32(n, n);

    for (int c = 0; c < count; ++c) {
        float num = 0.0f;
        for (int i = ks[c]; i <= nB && !std::isnan(num); ++i) {
            for (int m = 1; m <= n && !std::isnan(num); ++m) {
                for (int r = 1; r <= nA; ++r) {
                    float t = combA[static_cast<std::size_t>(r)];
                    t = pw(m - 1, nA - r) * t;
                    t = combB[static_cast<std::size_t>(i)] * t;
                    t = pw(n - m, i) * t;
                    num = static_cast<float>(static_cast<double>(num) +
                                             static_cast<double>(pw(m, nB - i)) * static_cast<double>(t));
                    if (std::isnan(num)) break;
                }
            }
        }
        out[c] = static_cast<float>(static_cast<double>(num) / static_cast<double>(denominator));
    }
}

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

float pndPValue(int nA, int nB, int k) {
    float p;
    nonOverlapPValues(nA, nB, &k, 1, &p);
    return p;
}

NonOverlapTable::NonOverlapTable(int nA, int nB) : nA_(nA), nB_(nB) {
    const int count = std::max(nB, 0) + 1;
    std::vector<int> ks(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) ks[static_cast<std::size_t>(k)] = k;
    p_.resize(static_cast<std::size_t>(count));
    nonOverlapPValues(nA, nB, ks.data(), count, p_.data());
}

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
