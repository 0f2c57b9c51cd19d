#include "varden.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kendall.h"
#include "residuals.h"
#include "rnorm.h"
#include "variance.h"

namespace {
// The autocorrelation's correction term p / n uses this p.
constexpr int kCorrectionCount = 4;
}  // namespace

long long vardenUniformCount(int nNA, int nNB) {
    return 2LL * kReplicates * (std::max(nNA, 0) + std::max(nNB, 0));
}

long long vardenNormalCount(int nNB, int nSimN) {
    return 2LL * std::max(nSimN, 0) * phaseMeanDrawCount(std::max(nNB, 0));
}

VardenResult varden(Rng& rng, int nNA, int nNB, const float* pfY, int nSimN, VardenWorkspace& ws) {
    const int n = nNA + nNB;
    float* fTA = ws.tA.floats(nNA);
    float* fTB = ws.tB.floats(nNB);
    float* fTB2 = ws.tB2.floats(nNB);
    float* fYA = ws.yA.floats(nNA);
    float* fYB = ws.yB.floats(nNB);
    float* pfEA = ws.eA.floats(nNA);
    float* pfEB = ws.eB.floats(nNB);
    float* fStdE = ws.stdE.floats(n);
    float* fNullMeans = ws.nullMeans.floats(nSimN);
    float* fExpMeans = ws.expMeans.floats(nSimN);
    VardenResult result;
    PhaseModel& nullModel = result.nullModel;
    PhaseModel& expModel = result.expModel;
    AutocorrelationModel& autocorrModel = result.autocorrModel;

    for (int i = 0; i < nNA; ++i) fTA[i] = static_cast<float>(i + 1);
    for (int i = 0; i < nNB; ++i) fTB[i] = static_cast<float>(nNA + i + 1);
    for (int k = 0; k < n; ++k) {
        if (k < nNA)
            fYA[k] = pfY[k];
        else
            fYB[k - nNA] = pfY[k];
    }
    for (int i = 0; i < nNB; ++i) fTB2[i] = fTB[i] - static_cast<float>(nNA);

    theilSenVARDEN(fTA, fYA, nNA, &nullModel.intercept, &nullModel.slope, ws.fit);
    theilSenVARDEN(fTB2, fYB, nNB, &expModel.intercept, &expModel.slope, ws.fit);
    theilSenStdErrVARDEN(rng, fTA, fYA, nNA, &nullModel.interceptSE, &nullModel.slopeSE, ws.fit);
    theilSenStdErrVARDEN(rng, fTB2, fYB, nNB, &expModel.interceptSE, &expModel.slopeSE, ws.fit);
    regressionResidualsVARDEN(fTA, fYA, fTB, fYB, nNA, nNB, nullModel.intercept, nullModel.slope,
                              expModel.intercept, expModel.slope, pfEA, pfEB);
    nullModel.sd = sd(pfEA, nNA);
    expModel.sd = sd(pfEB, nNB);
    nullModel.sdSE = stdDevStdErr(rng, pfEA, nNA, ws.fit);
    expModel.sdSE = stdDevStdErr(rng, pfEB, nNB, ws.fit);

    // A residual standard deviation of zero, or of one value (undefined),
    // leaves that phase's residuals undivided.
    const bool scaleA = nullModel.sd != 0.0f && !std::isnan(nullModel.sd);
    const bool scaleB = expModel.sd != 0.0f && !std::isnan(expModel.sd);
    for (int k = 0; k < nNA; ++k) fStdE[k] = scaleA ? pfEA[k] / nullModel.sd : pfEA[k];
    for (int k = 0; k < nNB; ++k) fStdE[nNA + k] = scaleB ? pfEB[k] / expModel.sd : pfEB[k];

    autocorrModel.r1 = autocorr(fStdE, n, kCorrectionCount);
    autocorrModel.r1SE = autocorrStdErr(autocorrModel.r1, n);

    // Simulation s of the call is the null model of inner simulation s / 2
    // when s is even, its experimental model when s is odd.
    const auto lane = [](const float* t, const PhaseModel& m) {
        return PhaseMeanBatch::Model{t, m.intercept, m.interceptSE, m.slope, m.slopeSE, m.sd, m.sdSE};
    };
    if (nNB >= 1) {
        constexpr int kLanes = PhaseMeanBatch::kLanes;
        PhaseMeanBatch::Model models[kLanes];
        for (int l = 0; l < kLanes; ++l) models[l] = l % 2 == 0 ? lane(fTB, nullModel) : lane(fTB2, expModel);
        float means[kLanes];
        const int nSims = 2 * std::max(nSimN, 0);
        for (int first = 0; first < nSims; first += kLanes) {
            const int lanes = std::min(kLanes, nSims - first);
            ws.batch.run(rng, nNB, models, lanes, autocorrModel.r1, autocorrModel.r1SE, means);
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
    const double nSims = static_cast<double>(nSimN);
    const float fNullM = static_cast<float>(static_cast<double>(sum1) / nSims);
    float fNullSD = sd(fNullMeans, nSimN);
    const float fExpM = static_cast<float>(static_cast<double>(sum2) / nSims);
    const float fExpSD = sd(fExpMeans, nSimN);
    const float fD = fExpM - fNullM;
    if (fNullSD == 0.0f) fNullSD = 0.000001f;

    const double dA = static_cast<double>(nNA);
    const double dB = static_cast<double>(nNB);
    const float x1 = static_cast<float>((dA - 1.0) * (static_cast<double>(fNullSD) * static_cast<double>(fNullSD)));
    const float x2 = static_cast<float>((dB - 1.0) * (static_cast<double>(fExpSD) * static_cast<double>(fExpSD)));
    const float x3 = static_cast<float>((dA + dB) - 2.0);
    const float fSWithin = static_cast<float>(
        std::sqrt((static_cast<double>(x1) + static_cast<double>(x2)) / static_cast<double>(x3)));
    const float fSMD = static_cast<float>(
        (static_cast<double>(fExpM) - static_cast<double>(fNullM)) / static_cast<double>(fSWithin));

    const double smd = static_cast<double>(fSMD);
    const float se1 = static_cast<float>((dA + dB) / (dA * dB));
    const float se2 = static_cast<float>(smd * smd / (2.0 * (dA + dB)));
    const float fSMDSD =
        static_cast<float>(std::sqrt(static_cast<double>(se1) + static_cast<double>(se2)));
    const float a = static_cast<float>((dA + dB) * (dA + dB) / (dA * dB));
    const float r = static_cast<float>(smd / std::sqrt(smd * smd + static_cast<double>(a)));
    const float fRsq = r * r;
    const float p = erfcc(static_cast<float>(
        std::fabs(smd / static_cast<double>(fSMDSD)) / 1.4142136));

    result.simResults = {fNullM, fNullSD, fExpM, fExpSD};
    result.esResults = {fD, fSMD, fSMDSD, r, fRsq, p};
    return result;
}
