#include "varden.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "kendall.h"
#include "median.h"
#include "quicksort.h"
#include "rnorm.h"
#include "scratch.h"
#include "variance.h"

namespace {
constexpr int kReplicates = 1000;
constexpr int kBurnIn = 50;
constexpr int kCorrectionCount = 4;

std::size_t sizeOf(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

// Median of the k smallest of the n values of arr, as sorting arr and taking
// the median of its first k entries gives it.  arr may be reordered.
float medianOfSmallest(float* arr, int n, int k) {
    if (k < 1) return std::numeric_limits<float>::quiet_NaN();
    if (orderIsUnique(arr, n)) return medianOfSmallestUnique(arr, n, k);
    quicksort(arr, n);
    return median(arr, k);
}

bool hasNaN(const float* x, int n) {
    for (int i = 0; i < n; ++i)
        if (std::isnan(x[i])) return true;
    return false;
}

// Index in 0 .. n-1 from one generator output.
inline int resampleIndex(Rng& rng, int n) {
    return static_cast<int>(genrandInline(rng) % static_cast<std::uint32_t>(n));
}
}  // namespace

void theilSenVARDEN(const float* pfX, const float* pfY, int nN, float* pfInt, float* pfSlope) {
    const int nPairs = nN > 1 ? nN * (nN - 1) / 2 : 0;
    float* fSlopes = scratch(Slot::VardenSlopes, sizeOf(nPairs));
    int nCount = 0;
    int nInfCount = 0;
    for (int i = 0; i < nN - 1; ++i) {
        for (int j = i + 1; j < nN; ++j) {
            if (pfX[j] == pfX[i]) {
                fSlopes[nCount] = kSentinel;
                ++nInfCount;
            } else {
                fSlopes[nCount] = static_cast<float>(
                    (static_cast<double>(pfY[j]) - static_cast<double>(pfY[i])) /
                    (static_cast<double>(pfX[j]) - static_cast<double>(pfX[i])));
            }
            ++nCount;
        }
    }
    const int nFinite = nPairs - nInfCount;
    const float slope = nFinite > 0 ? medianOfSmallest(fSlopes, nPairs, nFinite) : kSentinel;
    *pfSlope = slope;
    *pfInt = static_cast<float>(static_cast<double>(median(pfY, nN)) -
                                static_cast<double>(median(pfX, nN)) * slope);
}

namespace {
// The bootstrap fit from multiplicities.  Every point of a resample is one of
// the phase's points, so with distinct times each finite pair slope of a
// resample is the slope of a pair of distinct phase points, taken c_a * c_b
// times when the points were drawn c_a and c_b times, and every other pair
// has equal times.  When no slope, observation or time is NaN and no slope
// lies above the sentinel, the medians of a resample are read off the sorted
// phase values by counting: they equal what sorting the resample gives, up to
// the sign of a zero.  The bootstrap uses the replicates only through the
// discard test and standard deviations, which a zero's sign cannot change.
class ResampleFit {
public:
    bool prepare(const float* pfX, const float* pfY, int nN) {
        n_ = nN;
        if (nN < 2 || hasNaN(pfX, nN) || hasNaN(pfY, nN)) return false;
        pairs_.clear();
        for (int a = 0; a < nN - 1; ++a) {
            for (int b = a + 1; b < nN; ++b) {
                if (pfX[a] == pfX[b]) return false;
                // Rounding is symmetric, so the slope is the same whichever
                // of the two points comes first in a resample.
                const float slope = static_cast<float>(
                    (static_cast<double>(pfY[b]) - static_cast<double>(pfY[a])) /
                    (static_cast<double>(pfX[b]) - static_cast<double>(pfX[a])));
                if (!(slope <= kSentinel)) return false;
                pairs_.push_back({slope, a, b});
            }
        }
        std::sort(pairs_.begin(), pairs_.end(),
                  [](const Pair& l, const Pair& r) { return l.slope < r.slope; });
        sortedByValue(pfY, ys_);
        sortedByValue(pfX, xs_);
        return true;
    }

    // Line through the resample whose point a was drawn counts[a] times.
    void fit(const int* counts, float* pfInt, float* pfSlope) const {
        long long squares = 0;
        for (int a = 0; a < n_; ++a) squares += static_cast<long long>(counts[a]) * counts[a];
        const long long nFinite = (static_cast<long long>(n_) * n_ - squares) / 2;
        float slope = kSentinel;
        if (nFinite > 0) {
            slope = medianByCount(nFinite, pairs_.size(), [&](std::size_t p, long long& w) {
                w = static_cast<long long>(counts[pairs_[p].a]) * counts[pairs_[p].b];
                return pairs_[p].slope;
            });
        }
        *pfSlope = slope;
        const auto byPoint = [&](const std::vector<Point>& sorted) {
            return medianByCount(n_, sorted.size(), [&](std::size_t p, long long& w) {
                w = counts[sorted[p].index];
                return sorted[p].value;
            });
        };
        *pfInt = static_cast<float>(static_cast<double>(byPoint(ys_)) -
                                    static_cast<double>(byPoint(xs_)) * static_cast<double>(slope));
    }

private:
    struct Pair {
        float slope;
        int a;
        int b;
    };
    struct Point {
        float value;
        int index;
    };

    void sortedByValue(const float* v, std::vector<Point>& out) const {
        out.clear();
        for (int a = 0; a < n_; ++a) out.push_back({v[a], a});
        std::sort(out.begin(), out.end(),
                  [](const Point& l, const Point& r) { return l.value < r.value; });
    }

    // Median of `total` values given in ascending order as (value, weight)
    // entries: the middle value, or the mean of the two middle values.
    template <class Entry>
    static float medianByCount(long long total, std::size_t entries, Entry entry) {
        const long long hiPos = total / 2;
        const long long loPos = total % 2 == 1 ? hiPos : hiPos - 1;
        long long seen = 0;
        float lo = 0.0f;
        float hi = 0.0f;
        for (std::size_t p = 0; p < entries; ++p) {
            long long w;
            const float v = entry(p, w);
            if (w == 0) continue;
            if (seen <= loPos && loPos < seen + w) lo = v;
            if (hiPos < seen + w) {
                hi = v;
                break;
            }
            seen += w;
        }
        if (total % 2 == 1) return hi;
        return static_cast<float>((static_cast<double>(lo) + static_cast<double>(hi)) / 2.0);
    }

    int n_ = 0;
    std::vector<Pair> pairs_;
    std::vector<Point> ys_;
    std::vector<Point> xs_;
};
}  // namespace

void theilSenStdErrVARDEN(Rng& rng, const float* pfX, const float* pfY, int nN, float* intSE,
                          float* slopeSE) {
    if (nN < 1) {
        *intSE = *slopeSE = std::numeric_limits<float>::quiet_NaN();
        return;
    }
    float* fBootInts = scratch(Slot::BootInts, kReplicates);
    float* fBootSlopes = scratch(Slot::BootSlopes, kReplicates);
    float* fBootX = scratch(Slot::BootX, sizeOf(nN));
    float* fBootY = scratch(Slot::BootY, sizeOf(nN));
    thread_local ResampleFit byCount;
    thread_local std::vector<int> counts;
    const bool counting = byCount.prepare(pfX, pfY, nN);
    counts.assign(sizeOf(nN), 0);

    int nInfCount = 0;
    for (int r = 0; r < kReplicates; ++r) {
        if (counting) {
            std::fill(counts.begin(), counts.end(), 0);
            for (int j = 0; j < nN; ++j) ++counts[static_cast<std::size_t>(resampleIndex(rng, nN))];
            byCount.fit(counts.data(), &fBootInts[r], &fBootSlopes[r]);
        } else {
            for (int j = 0; j < nN; ++j) {
                const int k = resampleIndex(rng, nN);
                fBootX[j] = pfX[k];
                fBootY[j] = pfY[k];
            }
            theilSenVARDEN(fBootX, fBootY, nN, &fBootInts[r], &fBootSlopes[r]);
        }
        if (std::fabs(static_cast<double>(fBootInts[r])) > 1000.0) {
            fBootInts[r] = kSentinel;
            fBootSlopes[r] = kSentinel;
            ++nInfCount;
        }
    }
    sortAscending(fBootInts, kReplicates);
    sortAscending(fBootSlopes, kReplicates);
    *intSE = sd(fBootInts, kReplicates - nInfCount);
    *slopeSE = sd(fBootSlopes, kReplicates - nInfCount);
}

float stdDevStdErr(Rng& rng, const float* x, int n) {
    if (n < 1) return std::numeric_limits<float>::quiet_NaN();
    float* fBootSD = scratch(Slot::BootSD, kReplicates);
    float* fBootX = scratch(Slot::BootX, sizeOf(n));
    for (int r = 0; r < kReplicates; ++r) {
        for (int j = 0; j < n; ++j) fBootX[j] = x[resampleIndex(rng, n)];
        fBootSD[r] = sd(fBootX, n);
    }
    return sd(fBootSD, kReplicates);
}

void regressionResidualsVARDEN(const float* pfTA, const float* pfYA, const float* pfTB,
                               const float* pfYB, int nNA, int nNB, float intA, float slopeA,
                               float intB, float slopeB, float* pfEA, float* pfEB) {
    const int n = nNA + nNB;
    float* t = scratch(Slot::ResidT, sizeOf(n));
    float* y = scratch(Slot::ResidY, sizeOf(n));
    float* d = scratch(Slot::ResidD, sizeOf(n));
    float* sc = scratch(Slot::ResidSC, sizeOf(n));
    for (int k = 0; k < nNA; ++k) {
        t[k] = pfTA[k];
        y[k] = pfYA[k];
        d[k] = 0.0f;
        sc[k] = 0.0f;
    }
    for (int k = 0; k < nNB; ++k) {
        const int at = nNA + k;
        t[at] = pfTB[k];
        y[at] = pfYB[k];
        d[at] = 1.0f;
        sc[at] = static_cast<float>((static_cast<double>(t[at]) - (nNA + 1)) * d[at]);
    }
    const float b0 = intA;
    const float b1 = slopeA;
    // Without a phase B the level change has no first phase-B time to refer to.
    const double firstB = nNB > 0 ? static_cast<double>(pfTB[0]) : 0.0;
    const float b2 = static_cast<float>((static_cast<double>(intB) + slopeB) -
                                        (firstB * slopeA + static_cast<double>(intA)));
    const float b3 = slopeB - slopeA;
    for (int k = 0; k < n; ++k) {
        const float yhat = static_cast<float>(
            ((static_cast<double>(t[k]) * b1 + static_cast<double>(b0)) +
             static_cast<double>(d[k]) * b2) +
            static_cast<double>(sc[k]) * b3);
        const float e = y[k] - yhat;
        if (k < nNA)
            pfEA[k] = e;
        else
            pfEB[k - nNA] = e;
    }
}

float autocorr(const float* x, int n, int p) {
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) sum = sum + x[i];
    const float m = sum / static_cast<float>(n);
    float* x1 = scratch(Slot::AutocorrLag1, sizeOf(n - 1));
    float* x2 = scratch(Slot::AutocorrLag2, sizeOf(n - 1));
    for (int i = 0; i < n - 1; ++i) {
        x1[i] = x[i];
        x2[i] = x[i + 1];
    }
    const double md = m;
    float sum1 = 0.0f;
    for (int i = 0; i < n - 1; ++i)
        sum1 = static_cast<float>(static_cast<double>(sum1) +
                                  (static_cast<double>(x1[i]) - md) * (static_cast<double>(x2[i]) - md));
    float sum2 = 0.0f;
    for (int i = 0; i < n; ++i)
        sum2 = static_cast<float>(static_cast<double>(sum2) +
                                  (static_cast<double>(x[i]) - md) * (static_cast<double>(x[i]) - md));
    if (sum2 == 0.0f) return 0.0f;
    return static_cast<float>(static_cast<double>(sum1) / static_cast<double>(sum2) +
                              static_cast<double>(p) / n);
}

float autocorrStdErr(float /*r1*/, int nN) {
    const double n = static_cast<float>(nN);
    return static_cast<float>(std::sqrt((n - 2.0) * (n - 2.0) / ((n - 1.0) * n * n)));
}

void simAutocorrVARDEN(Rng& rng, float r1, int n, float* y) {
    if (n < 1) return;
    float* deviates = scratch(Slot::SimMeanDeviates, sizeOf(n + kBurnIn));
    fillNormals(rng, deviates, n + kBurnIn);
    float* e = scratch(Slot::AutocorrNoise, sizeOf(n + kBurnIn));
    e[0] = deviates[0];
    for (int i = 1; i < n + kBurnIn; ++i) {
        const float carried = e[i - 1] * r1;
        e[i] = carried + deviates[i];
    }
    float sum = 0.0f;
    for (int i = kBurnIn; i < n + kBurnIn; ++i) sum = sum + e[i];
    const float mean = sum / static_cast<float>(n);
    const float fSD = sd(e + kBurnIn, n);
    // A standard deviation that is zero or undefined (a single value) cannot
    // standardise: the noise is then only centred.
    const bool scale = fSD > 0.0f;
    for (int i = 0; i < n; ++i) {
        const double centred = static_cast<double>(e[kBurnIn + i]) - static_cast<double>(mean);
        e[kBurnIn + i] = static_cast<float>(scale ? centred / static_cast<double>(fSD) : centred);
        y[i] = e[kBurnIn + i];
    }
}

namespace {
// The inner simulations of one method call, several at a time.  The draws of
// a batch are made in the order of the single simulations (each one's z1 .. z4
// and noise, simulation after simulation); then every step of the
// single-simulation arithmetic is applied to all simulations of the batch at
// once, each lane rounding exactly as one simulation does.  Independent lanes
// let the serial recursions and sums of different simulations overlap.
class MeanBatch {
public:
    static constexpr int kLanes = 8;

    struct Model {
        const float* t;
        float intercept, intSE, slope, slopeSE, SD, SDSE;
    };

    // means[l] = the mean simulation l of the batch would return, for
    // `lanes` simulations (1 .. kLanes) of n points with models[l].
    void run(Rng& rng, int n, const Model* models, int lanes, float r1, float r1SE, float* means) {
        const int perSim = n + kBurnIn + 4;
        const int steps = n + kBurnIn;
        float* deviates = scratch(Slot::SimMeanDeviates, sizeOf(lanes * perSim));
        fillNormals(rng, deviates, lanes * perSim);
        float* dev = scratch(Slot::BatchDeviates, sizeOf(steps * kLanes));
        float* e = scratch(Slot::BatchNoise, sizeOf(steps * kLanes));

        float simInt[kLanes], simSlope[kLanes], simSD[kLanes], simR1[kLanes];
        for (int l = 0; l < kLanes; ++l) {
            if (l >= lanes) {
                simInt[l] = simSlope[l] = simSD[l] = simR1[l] = 0.0f;
                for (int i = 0; i < steps; ++i) dev[i * kLanes + l] = 0.0f;
                continue;
            }
            const float* d = deviates + l * perSim;
            const Model& m = models[l];
            const double z1 = d[0], z2 = d[1], z3 = d[2], z4 = d[3];
            const double shifted = static_cast<double>(m.intercept) + z1 * static_cast<double>(m.intSE);
            const double spread = z2 * static_cast<double>(m.slopeSE);
            simInt[l] = static_cast<float>(shifted + std::sqrt(static_cast<double>(n)) * spread);
            simSlope[l] = static_cast<float>(static_cast<double>(m.slope) - z1 * static_cast<double>(m.slopeSE));
            simSD[l] = static_cast<float>(static_cast<double>(m.SD) + z3 * static_cast<double>(m.SDSE));
            float r = static_cast<float>(static_cast<double>(r1) + z4 * static_cast<double>(r1SE));
            if (static_cast<double>(r) > 1.0) r = 1.0f;
            if (static_cast<double>(r) < -1.0) r = -1.0f;
            simR1[l] = r;
            for (int i = 0; i < steps; ++i) dev[i * kLanes + l] = d[4 + i];
        }

        for (int l = 0; l < kLanes; ++l) e[l] = dev[l];
        for (int i = 1; i < steps; ++i)
            for (int l = 0; l < kLanes; ++l) {
                const float carried = e[(i - 1) * kLanes + l] * simR1[l];
                e[i * kLanes + l] = carried + dev[i * kLanes + l];
            }

        const float fn = static_cast<float>(n);
        float sum[kLanes] = {};
        for (int i = kBurnIn; i < steps; ++i)
            for (int l = 0; l < kLanes; ++l) sum[l] = sum[l] + e[i * kLanes + l];
        float mean[kLanes];
        for (int l = 0; l < kLanes; ++l) mean[l] = sum[l] / fn;
        // The standard deviation's first pass is the same sum, so its mean is
        // the same value.
        float squares[kLanes] = {};
        for (int i = kBurnIn; i < steps; ++i)
            for (int l = 0; l < kLanes; ++l) {
                const float z = e[i * kLanes + l] - mean[l];
                squares[l] = static_cast<float>(static_cast<double>(squares[l]) +
                                                static_cast<double>(z) * static_cast<double>(z));
            }
        double scale[kLanes];
        bool scaled[kLanes];
        for (int l = 0; l < kLanes; ++l) {
            const float var = squares[l] / static_cast<float>(n - 1);
            const float fSD = static_cast<float>(std::sqrt(static_cast<double>(var)));
            scaled[l] = fSD > 0.0f;
            scale[l] = static_cast<double>(fSD);
        }

        float total[kLanes] = {};
        for (int i = 0; i < n; ++i)
            for (int l = 0; l < kLanes; ++l) {
                const double centred =
                    static_cast<double>(e[(kBurnIn + i) * kLanes + l]) - static_cast<double>(mean[l]);
                const float noise = static_cast<float>(scaled[l] ? centred / scale[l] : centred);
                const double t = l < lanes ? static_cast<double>(models[l].t[i]) : 0.0;
                const float y = static_cast<float>(
                    (t * static_cast<double>(simSlope[l]) + static_cast<double>(simInt[l])) +
                    static_cast<double>(noise) * static_cast<double>(simSD[l]));
                total[l] = total[l] + y;
            }
        for (int l = 0; l < lanes; ++l) means[l] = total[l] / fn;
    }
};
}  // namespace

float simTimeSeriesMean(Rng& rng, int n, const float* t, float intercept, float intSE,
                        float slope, float slopeSE, float SD, float SDSE, float r1, float r1SE) {
    if (n < 1) return std::numeric_limits<float>::quiet_NaN();
    const MeanBatch::Model model{t, intercept, intSE, slope, slopeSE, SD, SDSE};
    float mean;
    MeanBatch().run(rng, n, &model, 1, r1, r1SE, &mean);
    return mean;
}


long long vardenUniformCount(int nNA, int nNB) {
    return 2LL * kReplicates * (std::max(nNA, 0) + std::max(nNB, 0));
}

long long vardenNormalCount(int nNB, int nSimN) {
    return 2LL * std::max(nSimN, 0) * (std::max(nNB, 0) + kBurnIn + 4);
}

void varden(Rng& rng, int nNA, int nNB, const float* pfY, float* pfNullModel, float* pfExpModel,
            float* pfAutocorrModel, float* pfSimResults, float* pfESResults, int nSimN) {
    const int n = nNA + nNB;
    float* fTA = scratch(Slot::VardenTA, sizeOf(nNA));
    float* fTB = scratch(Slot::VardenTB, sizeOf(nNB));
    float* fTB2 = scratch(Slot::VardenTB2, sizeOf(nNB));
    float* fYA = scratch(Slot::VardenYA, sizeOf(nNA));
    float* fYB = scratch(Slot::VardenYB, sizeOf(nNB));
    float* pfEA = scratch(Slot::VardenEA, sizeOf(nNA));
    float* pfEB = scratch(Slot::VardenEB, sizeOf(nNB));
    float* fStdE = scratch(Slot::VardenStdE, sizeOf(n));
    float* fNullMeans = scratch(Slot::VardenNullMeans, sizeOf(nSimN));
    float* fExpMeans = scratch(Slot::VardenExpMeans, sizeOf(nSimN));

    for (int i = 0; i < nNA; ++i) fTA[i] = static_cast<float>(i + 1);
    for (int i = 0; i < nNB; ++i) fTB[i] = static_cast<float>(nNA + i + 1);
    for (int k = 0; k < n; ++k) {
        if (k < nNA)
            fYA[k] = pfY[k];
        else
            fYB[k - nNA] = pfY[k];
    }
    for (int i = 0; i < nNB; ++i) fTB2[i] = fTB[i] - static_cast<float>(nNA);

    theilSenVARDEN(fTA, fYA, nNA, &pfNullModel[0], &pfNullModel[2]);
    theilSenVARDEN(fTB2, fYB, nNB, &pfExpModel[0], &pfExpModel[2]);
    theilSenStdErrVARDEN(rng, fTA, fYA, nNA, &pfNullModel[1], &pfNullModel[3]);
    theilSenStdErrVARDEN(rng, fTB2, fYB, nNB, &pfExpModel[1], &pfExpModel[3]);
    regressionResidualsVARDEN(fTA, fYA, fTB, fYB, nNA, nNB, pfNullModel[0], pfNullModel[2],
                              pfExpModel[0], pfExpModel[2], pfEA, pfEB);
    pfNullModel[4] = sd(pfEA, nNA);
    pfExpModel[4] = sd(pfEB, nNB);
    pfNullModel[5] = stdDevStdErr(rng, pfEA, nNA);
    pfExpModel[5] = stdDevStdErr(rng, pfEB, nNB);

    // A residual standard deviation of zero, or of one value (undefined),
    // leaves that phase's residuals undivided.
    const bool scaleA = pfNullModel[4] != 0.0f && !std::isnan(pfNullModel[4]);
    const bool scaleB = pfExpModel[4] != 0.0f && !std::isnan(pfExpModel[4]);
    for (int k = 0; k < nNA; ++k) fStdE[k] = scaleA ? pfEA[k] / pfNullModel[4] : pfEA[k];
    for (int k = 0; k < nNB; ++k) fStdE[nNA + k] = scaleB ? pfEB[k] / pfExpModel[4] : pfEB[k];

    pfAutocorrModel[0] = autocorr(fStdE, n, kCorrectionCount);
    pfAutocorrModel[1] = autocorrStdErr(pfAutocorrModel[0], n);

    // Simulation s of the call is the null model of inner simulation s / 2
    // when s is even, its experimental model when s is odd.
    const MeanBatch::Model nullModel{fTB, pfNullModel[0], pfNullModel[1], pfNullModel[2],
                                     pfNullModel[3], pfNullModel[4], pfNullModel[5]};
    const MeanBatch::Model expModel{fTB2, pfExpModel[0], pfExpModel[1], pfExpModel[2],
                                    pfExpModel[3], pfExpModel[4], pfExpModel[5]};
    if (nNB >= 1) {
        MeanBatch batch;
        MeanBatch::Model models[MeanBatch::kLanes];
        for (int l = 0; l < MeanBatch::kLanes; ++l) models[l] = l % 2 == 0 ? nullModel : expModel;
        float means[MeanBatch::kLanes];
        const int nSims = 2 * std::max(nSimN, 0);
        for (int first = 0; first < nSims; first += MeanBatch::kLanes) {
            const int lanes = std::min(MeanBatch::kLanes, nSims - first);
            batch.run(rng, nNB, models, lanes, pfAutocorrModel[0], pfAutocorrModel[1], means);
            for (int l = 0; l < lanes; ++l) {
                const int s = first + l;
                (s % 2 == 0 ? fNullMeans : fExpMeans)[s / 2] = means[l];
            }
        }
    } else {
        // Without phase-B points every simulated mean is 0 / 0; the draws
        // are made all the same.
        skipNormals(rng, static_cast<std::uint64_t>(vardenNormalCount(nNB, nSimN)));
        for (int i = 0; i < nSimN; ++i)
            fNullMeans[i] = fExpMeans[i] = std::numeric_limits<float>::quiet_NaN();
    }
    float sum1 = 0.0f;
    float sum2 = 0.0f;
    for (int i = 0; i < nSimN; ++i) {
        sum1 = sum1 + fNullMeans[i];
        sum2 = sum2 + fExpMeans[i];
    }
    const double nSims = nSimN;
    const float fNullM = static_cast<float>(static_cast<double>(sum1) / nSims);
    float fNullSD = sd(fNullMeans, nSimN);
    const float fExpM = static_cast<float>(static_cast<double>(sum2) / nSims);
    const float fExpSD = sd(fExpMeans, nSimN);
    const float fD = fExpM - fNullM;
    if (fNullSD == 0.0f) fNullSD = 0.000001f;

    const double dA = nNA;
    const double dB = nNB;
    const float x1 = static_cast<float>((dA - 1.0) * (static_cast<double>(fNullSD) * fNullSD));
    const float x2 = static_cast<float>((dB - 1.0) * (static_cast<double>(fExpSD) * fExpSD));
    const float x3 = static_cast<float>((dA + dB) - 2.0);
    const float fSWithin = static_cast<float>(
        std::sqrt((static_cast<double>(x1) + static_cast<double>(x2)) / static_cast<double>(x3)));
    const float fSMD = static_cast<float>(
        (static_cast<double>(fExpM) - static_cast<double>(fNullM)) / static_cast<double>(fSWithin));

    const double smd = fSMD;
    const float se1 = static_cast<float>((dA + dB) / (dA * dB));
    const float se2 = static_cast<float>(smd * smd / (2.0 * (dA + dB)));
    const float fSMDSD =
        static_cast<float>(std::sqrt(static_cast<double>(se1) + static_cast<double>(se2)));
    const float a = static_cast<float>((dA + dB) * (dA + dB) / (dA * dB));
    const float r = static_cast<float>(smd / std::sqrt(smd * smd + static_cast<double>(a)));
    const float fRsq = r * r;
    const float p = erfcc(static_cast<float>(
        std::fabs(smd / static_cast<double>(fSMDSD)) / 1.4142136));

    pfSimResults[0] = fNullM;
    pfSimResults[1] = fNullSD;
    pfSimResults[2] = fExpM;
    pfSimResults[3] = fExpSD;
    pfESResults[0] = fD;
    pfESResults[1] = fSMD;
    pfESResults[2] = fSMDSD;
    pfESResults[3] = r;
    pfESResults[4] = fRsq;
    pfESResults[5] = p;
}
