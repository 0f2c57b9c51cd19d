#include "varden.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "kendall.h"
#include "median.h"
#include "phasefit.h"
#include "phasemeans.h"
#include "residuals.h"
#include "rnorm.h"
#include "variance.h"

namespace {
using Vec = std::vector<float>;

Rng seeded(std::uint32_t seed) {
    Rng rng;
    sgenrand(rng, seed);
    return rng;
}

Vec times(int from, int n) {
    Vec t;
    for (int i = 0; i < n; ++i) t.push_back(static_cast<float>(from + i));
    return t;
}

// Values around 10, raised by `shift` from index `at` on.
Vec noisy(Rng& rng, int n, float shift, int at) {
    Vec y;
    for (int i = 0; i < n; ++i) y.push_back(10.0f + rnorm(rng, 0, 1) + (i >= at ? shift : 0.0f));
    return y;
}

// One workspace for every call, as one worker reuses its own.
PhaseFitWorkspace fitWs;
Buffer copyBuffer;
VardenWorkspace vardenWs;

// The five records as arrays in the order of their fields.
struct Records {
    std::array<float, 6> null{}, exp{}, ac{}, sim{}, es{};  // ac and sim use 2 and 4 fields

    static std::array<float, 6> fields(const PhaseModel& m) {
        return {m.intercept, m.interceptSE, m.slope, m.slopeSE, m.sd, m.sdSE};
    }

    void run(Rng& rng, int nA, int nB, const Vec& y, int nSimN) {
        const VardenResult v = varden(rng, nA, nB, y.data(), nSimN, vardenWs);
        null = fields(v.nullModel);
        exp = fields(v.expModel);
        ac = {v.autocorrModel.r1, v.autocorrModel.r1SE};
        sim = {v.simResults.nullMean, v.simResults.nullSD, v.simResults.expMean, v.simResults.expSD};
        es = {v.esResults.d, v.esResults.smd, v.esResults.smdSE, v.esResults.r, v.esResults.rSquared,
              v.esResults.p};
    }
};

// The line bootstrap as documented: resample, refit, discard beyond 1000,
// sort, and take the spread of the kept replicates.
void referenceLineErrors(Rng& rng, const Vec& x, const Vec& y, float* intSE, float* slopeSE) {
    const auto n = static_cast<std::uint32_t>(x.size());
    Vec ints(1000), slopes(1000), bx(x.size()), by(x.size());
    int nInf = 0;
    for (std::size_t r = 0; r < 1000; ++r) {
        for (std::size_t j = 0; j < x.size(); ++j) {
            const std::uint32_t k = genrand(rng) % n;
            bx[j] = x[k];
            by[j] = y[k];
        }
        theilSenVARDEN(bx.data(), by.data(), static_cast<int>(n), &ints[r], &slopes[r], fitWs);
        if (std::fabs(ints[r]) > 1000.0) {
            ints[r] = slopes[r] = 999999.0f;
            ++nInf;
        }
    }
    std::sort(ints.begin(), ints.end());
    std::sort(slopes.begin(), slopes.end());
    *intSE = sd(ints.data(), 1000 - nInf);
    *slopeSE = sd(slopes.data(), 1000 - nInf);
}

// A seed after which the fourth normal deviate lies in [lo, hi].
std::uint32_t seedWithFourthDeviate(float lo, float hi) {
    for (std::uint32_t seed = 1;; ++seed) {
        Rng rng = seeded(seed);
        float z = 0;
        for (int i = 0; i < 4; ++i) z = rnorm(rng, 0, 1);
        if (z >= lo && z <= hi) return seed;
    }
}
}  // namespace

TEST(VardenTheilSen, MedianSlopeAndMedianIntercept) {
    float b0 = 0, b1 = 0;
    const float x1[] = {1, 2, 3}, y1[] = {1, 3, 2};
    theilSenVARDEN(x1, y1, 3, &b0, &b1, fitWs);
    EXPECT_EQ(b1, 0.5f);
    EXPECT_EQ(b0, 1.0f);
    const float x2[] = {4, 1, 3, 2}, y2[] = {-8, 1, -5, -2};  // 4 - 3t, unordered times
    theilSenVARDEN(x2, y2, 4, &b0, &b1, fitWs);
    EXPECT_EQ(b1, -3.0f);
    EXPECT_EQ(b0, 4.0f);
    // Without any finite pair slope the slope is the sentinel.
    const float x3[] = {3, 3, 3}, y3[] = {1, 6, 2};
    theilSenVARDEN(x3, y3, 3, &b0, &b1, fitWs);
    EXPECT_EQ(b1, kSentinel);
    EXPECT_EQ(b0, 2.0f - 3.0f * 999999.0f);
    theilSenVARDEN(x3, y3, 1, &b0, &b1, fitWs);
    EXPECT_EQ(b1, kSentinel);
    EXPECT_EQ(b0, 1.0f - 3.0f * 999999.0f);
}

TEST(VardenTheilSen, EqualTimesAreLeftOutOfTheSlopeMedian) {
    float b0 = 0, b1 = 0;
    const float x[] = {1, 1, 2}, y[] = {0, 4, 1};  // finite slopes 1 and -3
    theilSenVARDEN(x, y, 3, &b0, &b1, fitWs);
    EXPECT_EQ(b1, -1.0f);
    EXPECT_EQ(b0, 2.0f);
    // The median is over the k smallest sorted entries, so a finite slope
    // above the sentinel gives way to it: {999999, 2000000}.
    const float yBig[] = {0, 4, 2000004};
    theilSenVARDEN(x, yBig, 3, &b0, &b1, fitWs);
    EXPECT_EQ(b1, 1499999.5f);

    Rng rng = seeded(11);
    for (int n : {5, 8, 9, 12}) {
        Vec xs, ys, slopes;
        for (int i = 0; i < n; ++i) {
            xs.push_back(static_cast<float>(1 + genrand(rng) % 4));
            ys.push_back(rnorm(rng, 0, 3));
        }
        int nInf = 0;
        for (std::size_t i = 0; i < xs.size(); ++i)
            for (std::size_t j = i + 1; j < xs.size(); ++j) {
                nInf += xs[i] == xs[j];
                slopes.push_back(xs[i] == xs[j] ? 999999.0f
                                                : static_cast<float>((double(ys[j]) - ys[i]) / (double(xs[j]) - xs[i])));
            }
        std::sort(slopes.begin(), slopes.end());
        const float slope = median(slopes.data(), static_cast<int>(slopes.size()) - nInf, copyBuffer);
        theilSenVARDEN(xs.data(), ys.data(), n, &b0, &b1, fitWs);
        EXPECT_EQ(b1, slope) << n;
        EXPECT_EQ(b0, static_cast<float>(double(median(ys.data(), n, copyBuffer)) - double(median(xs.data(), n, copyBuffer)) * slope));
    }
}

TEST(VardenBootstrap, LineErrorsMatchResampleAndRefit) {
    Rng gen = seeded(31);
    std::vector<std::pair<Vec, Vec>> phases;
    for (int n : {2, 3, 4, 7, 10}) phases.push_back({times(1, n), noisy(gen, n, 0, n)});
    // Long phases: the slope walk crosses many chunks of pairs, and whole
    // numbers make runs of tied slopes that straddle the chunks.
    for (int n : {33, 57, 100}) phases.push_back({times(1, n), noisy(gen, n, 1, n)});
    Vec whole;
    for (int i = 0; i < 64; ++i) whole.push_back(static_cast<float>((i * 7) % 5));
    phases.push_back({times(1, 64), whole});
    phases.push_back({times(1, 6), {2, 4, 4, 8, 6, 12}});                // tied pair slopes
    phases.push_back({times(1, 5), {0, 3, -1, 2, 0}});                   // zeros, zero slopes
    phases.push_back({{3, 1, 2, 2, 5}, {1, 2, 3, 4, 5}});                // a repeated time
    phases.push_back({times(1, 5), {-900, 400, -1500, 800, 100}});       // some replicates discarded
    phases.push_back({{1e-7f, 2e-7f, 3e-7f, 1, 2}, {1, 2.5f, 4, 3, 5}}); // slopes above the sentinel
    for (std::size_t c = 0; c < phases.size(); ++c) {
        const auto& [x, y] = phases[c];
        Rng rng = seeded(static_cast<std::uint32_t>(40 + c)), ref = rng;
        float gotInt, gotSlope, wantInt, wantSlope;
        theilSenStdErrVARDEN(rng, x.data(), y.data(), static_cast<int>(x.size()), &gotInt, &gotSlope, fitWs);
        referenceLineErrors(ref, x, y, &wantInt, &wantSlope);
        EXPECT_EQ(gotInt, wantInt) << "case " << c;
        EXPECT_EQ(gotSlope, wantSlope) << "case " << c;
        EXPECT_TRUE(rng == ref) << "case " << c;  // exactly 1000 * n uniforms, no normals
    }
}

TEST(VardenBootstrap, ZeroErrorsAndDrawCounts) {
    Rng rng = seeded(5);
    const Vec x = times(1, 10), line = {3, 5, 7, 9, 11, 13, 15, 17, 19, 21};
    float se0 = -1, se1 = -1;
    theilSenStdErrVARDEN(rng, x.data(), line.data(), 10, &se0, &se1, fitWs);
    EXPECT_EQ(se0, 0.0f);
    EXPECT_EQ(se1, 0.0f);
    // Two points: resamples repeating one point have no finite slope and an
    // intercept far beyond 1000, so only the exact line is kept.
    theilSenStdErrVARDEN(rng, x.data(), line.data(), 2, &se0, &se1, fitWs);
    EXPECT_EQ(se0, 0.0f);
    EXPECT_EQ(se1, 0.0f);

    const float fives[] = {5, 5, 5, 5, 5, 5};
    EXPECT_EQ(stdDevStdErr(rng, fives, 6, fitWs), 0.0f);
    Rng expected = rng;
    const float s1 = stdDevStdErr(rng, line.data(), 7, fitWs);
    skipUniforms(expected, 7000);
    EXPECT_TRUE(rng == expected);
    EXPECT_GT(s1, 0.0f);
    EXPECT_NE(stdDevStdErr(rng, line.data(), 7, fitWs), s1);  // later generator state
}

TEST(VardenBootstrap, DiscardsReplicatesWithInterceptBeyondThousand) {
    // Times all 0: a replicate's intercept is the median of its two values,
    // +-v or 0.  (Its slope is the sentinel, whose float-summed spread is not
    // exactly zero, so only the intercept error is checked while any remain.)
    Rng rng = seeded(9);
    const float x[] = {0, 0}, kept[] = {1000.0f, -1000.0f}, dropped[] = {1000.01f, -1000.01f},
                all[] = {5000, 3000};
    float se0 = -1, se1 = -1;
    theilSenStdErrVARDEN(rng, x, kept, 2, &se0, &se1, fitWs);
    EXPECT_NEAR(se0, 707.0f, 60.0f);
    theilSenStdErrVARDEN(rng, x, dropped, 2, &se0, &se1, fitWs);
    EXPECT_EQ(se0, 0.0f);  // only the zero intercepts remain
    theilSenStdErrVARDEN(rng, x, all, 2, &se0, &se1, fitWs);
    EXPECT_EQ(se0, 0.0f);
    EXPECT_EQ(se1, 0.0f);
}

TEST(VardenResiduals, ObservationMinusTwoPhaseFit) {
    // Phase A on 1 + 2t at t = 1..5; phase B on 20 - 3(t - 5) at t = 6..9.
    const float tA[] = {1, 2, 3, 4, 5}, tB[] = {6, 7, 8, 9};
    float yA[] = {3, 5, 7, 9, 11}, yB[] = {17, 14, 11, 8}, eA[5], eB[4];
    regressionResidualsVARDEN(tA, yA, tB, yB, 5, 4, 1, 2, 20, -3, eA, eB);
    for (float e : eA) EXPECT_EQ(e, 0.0f);
    for (float e : eB) EXPECT_EQ(e, 0.0f);
    yA[1] += 1.5f;
    yB[3] -= 2.0f;
    regressionResidualsVARDEN(tA, yA, tB, yB, 5, 4, 1, 2, 20, -3, eA, eB);
    EXPECT_EQ(eA[1], 1.5f);
    EXPECT_EQ(eB[3], -2.0f);
    EXPECT_EQ(eA[0] + eA[2] + eA[3] + eA[4] + eB[0] + eB[1] + eB[2], 0.0f);
}

TEST(VardenAutocorr, CorrectedLagOneAndItsError) {
    const float x[] = {1, 2, 3, 4}, same[] = {7, 7, 7, 7, 7};
    EXPECT_FLOAT_EQ(autocorr(x, 4, 0), 0.25f);
    EXPECT_FLOAT_EQ(autocorr(x, 4, 4), 1.25f);
    EXPECT_EQ(autocorr(same, 5, 4), 0.0f);
    EXPECT_NEAR(autocorrStdErr(0.3f, 20), 18.0 / (20.0 * std::sqrt(19.0)), 1e-6);  // 0.2065
    EXPECT_EQ(autocorrStdErr(0.7f, 2), 0.0f);
}

TEST(VardenSimulation, AutoregressiveNoiseIsStandardised) {
    Rng rng = seeded(21);
    for (float r1 : {0.0f, 0.5f, -0.8f, 1.0f, -1.0f}) {
        Vec y(30);
        const std::uint64_t before = rng.nNormals;
        simAutocorrVARDEN(rng, r1, 30, y.data());
        EXPECT_EQ(rng.nNormals - before, 80U);
        float sum = 0;
        for (float v : y) sum += v;
        EXPECT_NEAR(sum / 30, 0.0f, 1e-5) << r1;
        EXPECT_NEAR(sd(y.data(), 30), 1.0f, 1e-5) << r1;
    }
    // Without autocorrelation the output is the last n of the n + 50 deviates, standardised.
    Rng copy = rng;
    Vec z(62), y(12);
    for (float& v : z) v = rnorm(copy, 0, 1);
    simAutocorrVARDEN(rng, 0.0f, 12, y.data());
    float s = 0;
    for (std::size_t i = 50; i < 62; ++i) s = s + z[i];
    const float m = s / 12.0f, sdz = sd(z.data() + 50, 12);
    for (std::size_t i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(y[i], (z[50 + i] - m) / sdz);
    // A single value cannot be scaled: it is only centred.
    float one = -1;
    simAutocorrVARDEN(rng, 0.4f, 1, &one);
    EXPECT_EQ(one, 0.0f);
}

TEST(VardenSimulation, PhaseMeanFollowsThePerturbedLine) {
    const Vec t = times(11, 10);
    Rng rng = seeded(4), expected = rng;
    EXPECT_FLOAT_EQ(simTimeSeriesMean(rng, 10, t.data(), 3, 0, -1.5f, 0, 2, 0, 0.3f, 0), 3 - 1.5f * 15.5f);
    skipNormals(expected, 64);
    EXPECT_TRUE(rng == expected);
    // z1 raises the intercept and lowers the slope; z2 adds sqrt(n) * slopeSE.
    Rng copy = rng;
    const double z1 = rnorm(copy, 0, 1), z2 = rnorm(copy, 0, 1);
    const float simInt = static_cast<float>(3.0 + z1 * 0.5 + std::sqrt(10.0) * (z2 * 0.25));
    const float simSlope = static_cast<float>(-1.5 - z1 * 0.25);
    EXPECT_NEAR(simTimeSeriesMean(rng, 10, t.data(), 3, 0.5f, -1.5f, 0.25f, 2, 0.3f, 0.2f, 0.1f),
                simInt + simSlope * 15.5, 1e-4);
}

TEST(VardenSimulation, PerturbedAutocorrelationIsClamped) {
    // r1 = +-0.9 moved by 0.5 z4 with |z4| >= 0.6: unclamped, 650 steps overflow.
    const Vec t = times(1, 600);
    Rng up = seeded(seedWithFourthDeviate(0.6f, 4.0f)), down = seeded(seedWithFourthDeviate(-4.0f, -0.6f));
    EXPECT_NEAR(simTimeSeriesMean(up, 600, t.data(), 5, 0, 0, 0, 1, 0, 0.9f, 0.5f), 5.0f, 1e-3);
    EXPECT_NEAR(simTimeSeriesMean(down, 600, t.data(), 5, 0, 0, 0, 1, 0, -0.9f, 0.5f), 5.0f, 1e-3);
}

TEST(VardenMethod, RecordsFollowFromTheUnitRoutinesInDrawOrder) {
    // Fits, residual spreads and the autocorrelation of the pooled residuals
    // (each phase divided by its own spread unless that is 0 or NaN); then,
    // after the 2000 (nA + nB) bootstrap uniforms, inner simulation i draws
    // the null model's phase-B mean and then the experimental model's.
    enum Shape { Noisy, Curved, Alternating };
    const struct { int nA, nB, nSimN; bool cached; Shape shape; } cases[] = {
        {5, 7, 20, false, Noisy}, {8, 8, 13, true, Noisy},  {6, 1, 5, false, Noisy}, {1, 6, 5, true, Noisy},
        {3, 12, 9, true, Noisy},  {7, 8, 40, false, Curved}, {8, 8, 40, false, Alternating}};
    for (const auto& c : cases) {
        const std::string at = std::to_string(c.nA) + "/" + std::to_string(c.nB);
        Rng rng = seeded(static_cast<std::uint32_t>(17 + c.nA));
        Vec y = noisy(rng, c.nA + c.nB, 2, c.nA);
        // Strong positive or negative autocorrelation: some perturbed values get clamped.
        for (int i = 0; i < c.nA + c.nB && c.shape != Noisy; ++i)
            y[static_cast<std::size_t>(i)] =
                c.shape == Curved ? static_cast<float>((i % 8 - 3.5) * (i % 8 - 3.5)) : (i % 2 ? 11.0f : 9.0f);
        if ((rng.use_last == 1) != c.cached) rnorm(rng, 0, 1);
        Rng ref = rng;
        Records rec;
        rec.run(rng, c.nA, c.nB, y, c.nSimN);
        const auto& [a, b, ac] = std::tie(rec.null, rec.exp, rec.ac);

        const Vec tA = times(1, c.nA), tB = times(c.nA + 1, c.nB), tB2 = times(1, c.nB);
        Vec e(y.size());
        float fit[2];
        theilSenVARDEN(tA.data(), y.data(), c.nA, &fit[0], &fit[1], fitWs);
        EXPECT_TRUE(fit[0] == a[0] && fit[1] == a[2]) << at;
        regressionResidualsVARDEN(tA.data(), y.data(), tB.data(), y.data() + c.nA, c.nA, c.nB, a[0], a[2], b[0],
                                  b[2], e.data(), e.data() + c.nA);
        const float sdA = sd(e.data(), c.nA), sdB = sd(e.data() + c.nA, c.nB);
        EXPECT_TRUE((a[4] == sdA || std::isnan(sdA)) && (b[4] == sdB || std::isnan(sdB))) << at;
        for (std::size_t k = 0; k < e.size(); ++k) {
            const float s = k < static_cast<std::size_t>(c.nA) ? sdA : sdB;
            if (s != 0 && !std::isnan(s)) e[k] /= s;
        }
        EXPECT_FLOAT_EQ(ac[0], autocorr(e.data(), c.nA + c.nB, 4)) << at;
        if (c.shape != Noisy) {
            EXPECT_GT(std::fabs(ac[0]) + 1.5f * ac[1], 1.0f) << at;
        }

        skipUniforms(ref, 2000u * static_cast<unsigned>(c.nA + c.nB));
        Vec nullMeans, expMeans;
        float sum1 = 0, sum2 = 0;
        for (int i = 0; i < c.nSimN; ++i) {
            nullMeans.push_back(simTimeSeriesMean(ref, c.nB, tB.data(), a[0], a[1], a[2], a[3], a[4], a[5], ac[0], ac[1]));
            expMeans.push_back(simTimeSeriesMean(ref, c.nB, tB2.data(), b[0], b[1], b[2], b[3], b[4], b[5], ac[0], ac[1]));
            sum1 = sum1 + nullMeans.back();
            sum2 = sum2 + expMeans.back();
        }
        const float sim[] = {static_cast<float>(double(sum1) / c.nSimN), sd(nullMeans.data(), c.nSimN),
                             static_cast<float>(double(sum2) / c.nSimN), sd(expMeans.data(), c.nSimN)};
        for (std::size_t k = 0; k < 4; ++k)  // a phase of one point gives NaN means
            EXPECT_TRUE(rec.sim[k] == sim[k] || (std::isnan(rec.sim[k]) && std::isnan(sim[k])))
                << at << " field " << k << ": " << rec.sim[k] << " vs " << sim[k];
        EXPECT_TRUE(rng == ref) << at;
        EXPECT_EQ(rng.use_last, c.cached ? 1 : 0) << at;  // an even number of deviates
        EXPECT_EQ(vardenUniformCount(c.nA, c.nB), 2000 * (c.nA + c.nB));
        EXPECT_EQ(vardenNormalCount(c.nB, c.nSimN), 2 * c.nSimN * (c.nB + 54));
    }
}

TEST(VardenMethod, ExactBaselineProjectsToConstantNullMeans) {
    const Vec y = {3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 30, 28, 35, 31, 40, 33, 38, 36, 42, 39};
    Rng rng = seeded(7487);
    Records rec;
    rec.run(rng, 10, 10, y, 20);
    EXPECT_EQ(rec.null, (std::array<float, 6>{1, 0, 2, 0, 0, 0}));
    EXPECT_EQ(rec.sim[0], 32.0f);
    EXPECT_EQ(rec.sim[1], 0.000001f);
    for (float v : rec.es) EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(rec.ac[0]));  // zero phase-A residuals stay undivided
}

TEST(VardenMethod, ContinuedBaselineGivesNoEffect) {
    // 1 + 2t throughout with phases of 6 and 9: phase B's line is 13 + 2s on
    // s = 1..9, and both models simulate a phase-B mean of 23.
    Vec y;
    for (int t = 1; t <= 15; ++t) y.push_back(static_cast<float>(2 * t + 1));
    Rng rng = seeded(1);
    Records rec;
    rec.run(rng, 6, 9, y, 20);
    EXPECT_EQ(rec.null, (std::array<float, 6>{1, 0, 2, 0, 0, 0}));
    EXPECT_EQ(rec.exp, (std::array<float, 6>{13, 0, 2, 0, 0, 0}));
    EXPECT_EQ(rec.ac[0], 0.0f);
    EXPECT_EQ(rec.sim, (std::array<float, 6>{23, 0.000001f, 23, 0, 0, 0}));
    EXPECT_EQ(rec.es, (std::array<float, 6>{0, 0, rec.es[2], 0, 0, rec.es[5]}));
    EXPECT_FLOAT_EQ(rec.es[2], std::sqrt(15.0f / 54.0f));
    EXPECT_NEAR(rec.es[5], 1.0f, 1e-6);
}

TEST(VardenMethod, EffectSizesFollowFromTheSimulatedMeans) {
    for (auto [nA, nB] : {std::pair{6, 9}, std::pair{10, 10}, std::pair{12, 5}}) {
        Rng rng = seeded(static_cast<std::uint32_t>(100 + nA));
        Records rec;
        rec.run(rng, nA, nB, noisy(rng, nA + nB, 1.5f, nA), 50);
        const double a = nA, b = nB, nullM = rec.sim[0], nullSD = rec.sim[1], expM = rec.sim[2],
                     expSD = rec.sim[3];
        EXPECT_EQ(rec.es[0], rec.sim[2] - rec.sim[0]);
        const double sw = std::sqrt(((a - 1) * nullSD * nullSD + (b - 1) * expSD * expSD) / (a + b - 2));
        EXPECT_FLOAT_EQ(rec.es[1], static_cast<float>((expM - nullM) / sw));
        const double d = rec.es[1];
        ASSERT_GT(std::fabs(d), 0.1);
        EXPECT_FLOAT_EQ(rec.es[2], static_cast<float>(std::sqrt((a + b) / (a * b) + d * d / (2 * (a + b)))));
        const float r = static_cast<float>(d / std::sqrt(d * d + (a + b) * (a + b) / (a * b)));
        EXPECT_FLOAT_EQ(rec.es[3], r);
        EXPECT_FLOAT_EQ(rec.es[4], r * r);
        EXPECT_NEAR(rec.es[5], erfcc(static_cast<float>(std::fabs(d / rec.es[2]) / 1.4142136)), 1e-6);
    }
}

TEST(VardenMethod, ResultsDependOnlyOnGeneratorStateAndSeries) {
    Rng rng = seeded(99);
    const Vec y = noisy(rng, 16, 3, 8);
    Rng twin = rng;
    Records a, b, c;
    a.run(rng, 8, 8, y, 20);
    b.run(twin, 8, 8, y, 20);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    c.run(rng, 8, 8, y, 20);
    EXPECT_EQ(a.null[0], c.null[0]);  // the fits draw nothing
    EXPECT_NE(a.null[1], c.null[1]);
    EXPECT_NE(a.es[1], c.es[1]);
}

TEST(VardenMethod, DegeneratePhasesFillEveryField) {
    Rng rng = seeded(2);
    for (auto [nA, nB] : {std::pair{1, 1}, std::pair{1, 2}, std::pair{2, 1}, std::pair{2, 2},
                          std::pair{1, 6}, std::pair{6, 1}, std::pair{2, 5}}) {
        for (bool constant : {true, false}) {
            Records rec;
            for (auto* r : {&rec.null, &rec.exp, &rec.ac, &rec.sim, &rec.es}) r->fill(-7777.0f);
            const Vec y = constant ? Vec(static_cast<std::size_t>(nA + nB), 4.0f) : noisy(rng, nA + nB, 2, nA);
            rec.run(rng, nA, nB, y, 20);
            const std::pair<const std::array<float, 6>*, std::size_t> records[] = {
                {&rec.null, 6}, {&rec.exp, 6}, {&rec.ac, 2}, {&rec.sim, 4}, {&rec.es, 6}};
            for (auto [arr, size] : records)
                for (std::size_t k = 0; k < size; ++k)
                    EXPECT_TRUE((*arr)[k] != -7777.0f && !std::isinf((*arr)[k])) << nA << "/" << nB << ": " << (*arr)[k];
        }
    }
}
