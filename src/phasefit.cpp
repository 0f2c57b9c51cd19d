#include "phasefit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "median.h"
#include "modulus.h"
#include "quicksort.h"
#include "variance.h"

namespace {
std::size_t sizeOf(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

// Median of the k smallest of the n values of arr, as sorting arr and taking
// the median of its first k entries gives it.  arr may be reordered.
float medianOfSmallest(float* arr, int n, int k, Buffer& copy) {
    if (k < 1) return std::numeric_limits<float>::quiet_NaN();
    if (orderIsUnique(arr, n)) return medianOfSmallestUnique(arr, n, k);
    quicksort(arr, n);
    return median(arr, k, copy);
}

// Index in 0 .. n-1 from one generator output: the output modulo n.
inline int resampleIndex(Rng& rng, const Modulus& n) { return static_cast<int>(n.of(genrandInline(rng))); }

// The next count generator outputs, in storage that grows as needed.
const std::uint32_t* outputs(Rng& rng, int count, std::vector<std::uint32_t>& store) {
    if (store.size() < sizeOf(count)) store.resize(sizeOf(count));
    genrandFill(rng, store.data(), count);
    return store.data();
}
}  // namespace

void theilSenVARDEN(const float* pfX, const float* pfY, int nN, float* pfInt, float* pfSlope,
                    PhaseFitWorkspace& ws) {
    const int nPairs = nN > 1 ? nN * (nN - 1) / 2 : 0;
    float* fSlopes = ws.pairSlopes.floats(nPairs);
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
    const float slope = nFinite > 0 ? medianOfSmallest(fSlopes, nPairs, nFinite, ws.median) : kSentinel;
    *pfSlope = slope;
    *pfInt = static_cast<float>(static_cast<double>(median(pfY, nN, ws.median)) -
                                static_cast<double>(median(pfX, nN, ws.median)) *
                                    static_cast<double>(slope));
}

void theilSenStdErrVARDEN(Rng& rng, const float* pfX, const float* pfY, int nN, float* intSE,
                          float* slopeSE, PhaseFitWorkspace& ws) {
    if (nN < 1) {
        *intSE = *slopeSE = std::numeric_limits<float>::quiet_NaN();
        return;
    }
    float* fBootInts = ws.bootInts.floats(kReplicates);
    float* fBootSlopes = ws.bootSlopes.floats(kReplicates);
    float* fBootX = ws.bootX.floats(nN);
    float* fBootY = ws.bootY.floats(nN);
    ResampleFit& byCount = ws.byCount;
    std::vector<int>& counts = ws.counts;
    const bool counting = byCount.prepare(pfX, pfY, nN);
    counts.assign(sizeOf(nN) + 1, 0);

    const Modulus modN(static_cast<std::uint32_t>(nN));
    int nInfCount = 0;
    for (int r = 0; r < kReplicates; ++r) {
        if (counting) {
            std::fill(counts.begin(), counts.end(), 0);
            const std::uint32_t* drawn = outputs(rng, nN, ws.outputs);
            for (int j = 0; j < nN; ++j) ++counts[modN.of(drawn[j])];
            byCount.fit(counts.data(), &fBootInts[r], &fBootSlopes[r]);
        } else {
            for (int j = 0; j < nN; ++j) {
                const int k = resampleIndex(rng, modN);
                fBootX[j] = pfX[k];
                fBootY[j] = pfY[k];
            }
            theilSenVARDEN(fBootX, fBootY, nN, &fBootInts[r], &fBootSlopes[r], ws);
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

float stdDevStdErr(Rng& rng, const float* x, int n, PhaseFitWorkspace& ws) {
    if (n < 1) return std::numeric_limits<float>::quiet_NaN();
    static_assert(kReplicates % kSdLanes == 0);
    float* fBootSD = ws.bootSD.floats(kReplicates);
    // kSdLanes resamples at a time, drawn one after the other and laid out
    // lane by lane.
    float* laned = ws.bootX.floats(n * kSdLanes);
    const Modulus modN(static_cast<std::uint32_t>(n));
    for (int r = 0; r < kReplicates; r += kSdLanes) {
        const std::uint32_t* drawn = outputs(rng, n * kSdLanes, ws.outputs);
        for (int l = 0; l < kSdLanes; ++l)
            for (int j = 0; j < n; ++j) laned[j * kSdLanes + l] = x[modN.of(drawn[l * n + j])];
        sdOfLanes(laned, n, fBootSD + r);
    }
    return sd(fBootSD, kReplicates);
}

