// Micro-benchmarks of the routines a simulation run spends its time in.
//
// Every benchmark seeds its own generator with a fixed seed and builds its
// input before the timing loop; each result goes into a local that is handed
// to DoNotOptimize.  Series benchmarks sweep the phase length n (N_A = N_B = n,
// so a series has 2n points) and report the complexity in n.
//
// By default every benchmark runs for at least 0.1 s, which keeps the whole
// run to about half a minute on an idle two-core machine.  Pass
// --benchmark_min_time=<seconds> for steadier figures and
// --benchmark_filter=<regex> to pick benchmarks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "caseindices.h"
#include "effectsizes.h"
#include "kendall.h"
#include "median.h"
#include "phasefit.h"
#include "phasemeans.h"
#include "mersenne.h"
#include "quicksort.h"
#include "report.h"
#include "rnorm.h"
#include "simulate.h"
#include "varden.h"

namespace {

constexpr std::uint32_t kSeed = 7487;

// Working storage, owned here as a worker owns its own and reused by every
// call of a benchmark.
EffectSizeWorkspace effectWs;
CaseIndexWorkspace caseWs;
PhaseFitWorkspace fitWs;
VardenWorkspace vardenWs;
Buffer copyBuffer;

// Phase lengths swept by the series benchmarks: 5, 10, ..., 30 points each.
void phaseLengths(benchmark::internal::Benchmark* b) {
    b->ArgName("n")->DenseRange(5, 30, 5);
}

Rng seeded(std::uint32_t seed = kSeed) {
    Rng rng;
    sgenrand(rng, seed);
    return rng;
}

// A model with a level change, so the phases differ and the effect sizes and
// the method take their usual branches.
ModelParameters levelChange() {
    ModelParameters m;
    m.fB2 = 1.0f;
    m.fSA = m.fSB = 1.0f;
    return m;
}

// One series of nA + nB points from the model, drawn from a fixed seed.
std::vector<float> series(int nA, int nB, ModelParameters m = levelChange(), std::uint32_t seed = kSeed) {
    Rng rng = seeded(seed);
    std::vector<float> y(static_cast<std::size_t>(nA + nB));
    m.nA = nA;
    m.nB = nB;
    simABTimeSeries(rng, m, y.data());
    return y;
}

// Time points 1 .. n.
std::vector<float> timePoints(int n) {
    std::vector<float> t(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) t[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
    return t;
}

int lengthArg(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

// ---------------------------------------------------------------------------
// Random numbers

void BM_Genrand(benchmark::State& state) {
    Rng rng = seeded();
    for (auto _ : state) {
        std::uint32_t u = genrand(rng);
        benchmark::DoNotOptimize(u);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Genrand);

void BM_SkipUniforms(benchmark::State& state) {
    Rng rng = seeded();
    const auto n = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) {
        skipUniforms(rng, n);
        std::uint64_t drawn = rng.nUniforms;
        benchmark::DoNotOptimize(drawn);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SkipUniforms)->RangeMultiplier(16)->Range(1 << 10, 1 << 22)->Complexity(benchmark::oN);

void BM_Rnorm(benchmark::State& state) {
    Rng rng = seeded();
    for (auto _ : state) {
        float z = rnorm(rng, 0.0f, 1.0f);
        benchmark::DoNotOptimize(z);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Rnorm);

// The deviates of one inner simulation: n + 54 for a phase of n points.
void BM_FillNormals(benchmark::State& state) {
    Rng rng = seeded();
    const int count = lengthArg(state) + 54;
    std::vector<float> out(static_cast<std::size_t>(count));
    for (auto _ : state) {
        fillNormals(rng, out.data(), count);
        float last = out.back();
        benchmark::DoNotOptimize(last);
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetComplexityN(count);
}
BENCHMARK(BM_FillNormals)->Apply(phaseLengths)->Complexity(benchmark::oN);

void BM_SkipNormals(benchmark::State& state) {
    Rng rng = seeded();
    const auto n = static_cast<std::uint64_t>(state.range(0));
    for (auto _ : state) {
        skipNormals(rng, n);
        std::uint64_t drawn = rng.nNormals;
        benchmark::DoNotOptimize(drawn);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SkipNormals)->RangeMultiplier(16)->Range(1 << 10, 1 << 22)->Complexity(benchmark::oN);

// ---------------------------------------------------------------------------
// Series generator

void BM_SimABTimeSeries_WhiteNoise(benchmark::State& state) {
    const int n = lengthArg(state);
    Rng rng = seeded();
    ModelParameters m = levelChange();
    m.nA = m.nB = n;
    std::vector<float> y(static_cast<std::size_t>(2 * n));
    for (auto _ : state) {
        simABTimeSeries(rng, m, y.data());
        float last = y.back();
        benchmark::DoNotOptimize(last);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_SimABTimeSeries_WhiteNoise)->Apply(phaseLengths)->Complexity(benchmark::oN);

void BM_SimABTimeSeries_AR1(benchmark::State& state) {
    const int n = lengthArg(state);
    Rng rng = seeded();
    ModelParameters m = levelChange();
    m.fAR1 = 0.5f;
    m.nA = m.nB = n;
    std::vector<float> y(static_cast<std::size_t>(2 * n));
    for (auto _ : state) {
        simABTimeSeries(rng, m, y.data());
        float last = y.back();
        benchmark::DoNotOptimize(last);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_SimABTimeSeries_AR1)->Apply(phaseLengths)->Complexity(benchmark::oN);

// ---------------------------------------------------------------------------
// Sorting and median.  The sorts work in place, so every iteration first
// copies the unsorted input back; the copy of at most 60 floats is timed too.

void BM_Quicksort(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> input = series(n, n);
    std::vector<float> work(input.size());
    for (auto _ : state) {
        std::memcpy(work.data(), input.data(), input.size() * sizeof(float));
        quicksort(work.data(), 2 * n);
        float largest = work.back();
        benchmark::DoNotOptimize(largest);
    }
    state.SetComplexityN(2 * n);
}
BENCHMARK(BM_Quicksort)->Apply(phaseLengths)->Complexity(benchmark::oNLogN);

void BM_SortAscending(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> input = series(n, n);
    std::vector<float> work(input.size());
    for (auto _ : state) {
        std::memcpy(work.data(), input.data(), input.size() * sizeof(float));
        sortAscending(work.data(), 2 * n);
        float largest = work.back();
        benchmark::DoNotOptimize(largest);
    }
    state.SetComplexityN(2 * n);
}
BENCHMARK(BM_SortAscending)->Apply(phaseLengths)->Complexity(benchmark::oNLogN);

void BM_Median(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> input = series(n, n);
    for (auto _ : state) {
        float m = median(input.data(), 2 * n, copyBuffer);
        benchmark::DoNotOptimize(m);
    }
    state.SetComplexityN(2 * n);
}
BENCHMARK(BM_Median)->Apply(phaseLengths)->Complexity(benchmark::oNLogN);

// The medians of pairwise slopes are the large ones: n(n-1)/2 values.
void BM_MedianInPlace_PairSlopes(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    std::vector<float> input;
    for (int i = 0; i < 2 * n; ++i)
        for (int j = i + 1; j < 2 * n; ++j)
            input.push_back(static_cast<float>(
                (static_cast<double>(y[static_cast<std::size_t>(j)]) -
                 static_cast<double>(y[static_cast<std::size_t>(i)])) /
                (j - i)));
    std::vector<float> work(input.size());
    const int count = static_cast<int>(input.size());
    for (auto _ : state) {
        std::memcpy(work.data(), input.data(), input.size() * sizeof(float));
        float m = medianInPlace(work.data(), count);
        benchmark::DoNotOptimize(m);
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_MedianInPlace_PairSlopes)->Apply(phaseLengths)->Complexity(benchmark::oN);

// ---------------------------------------------------------------------------
// Rank statistics

void BM_Kendl2(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    const std::vector<float> t = timePoints(2 * n);
    for (auto _ : state) {
        float tau, s, z, prob;
        kendl2(t.data(), y.data(), 2 * n, &tau, &s, &z, &prob, effectWs.kendall);
        benchmark::DoNotOptimize(tau);
        benchmark::DoNotOptimize(prob);
    }
    state.SetComplexityN(2 * n);
}
BENCHMARK(BM_Kendl2)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

// Against the phase indicator: ties in one variable, as in PL-Tau.
void BM_Kendl2_PhaseIndicator(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    std::vector<float> d(static_cast<std::size_t>(2 * n), 0.0f);
    std::fill(d.begin() + n, d.end(), 1.0f);
    for (auto _ : state) {
        float tau, s, z, prob;
        kendl2(y.data(), d.data(), 2 * n, &tau, &s, &z, &prob, effectWs.kendall);
        benchmark::DoNotOptimize(tau);
        benchmark::DoNotOptimize(prob);
    }
    state.SetComplexityN(2 * n);
}
BENCHMARK(BM_Kendl2_PhaseIndicator)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

// kendl2 of a series of n points (two phases of n/2) against a partner of
// the effect sizes: the time points (partner 0), the phase indicator (1) or
// Tau-U's ordering (2), by the reference scan (method 0), the default
// (method 1) or the sorted count at every length (method 2).  The default
// switches from the scan to the sorted count above 96 points.
void BM_Kendl2Methods(benchmark::State& state) {
    const int n = lengthArg(state);
    const auto method = static_cast<KendallWorkspace::Method>(state.range(1));
    const int partner = static_cast<int>(state.range(2));
    const int nA = n / 2;
    const std::vector<float> y = series(nA, n - nA);
    std::vector<float> other(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const float time = static_cast<float>(i + 1);
        const float indicator = i < nA ? 0.0f : 1.0f;
        const float ordering = static_cast<float>(i < nA ? nA - i : nA + 1);
        other[static_cast<std::size_t>(i)] = partner == 0 ? time : partner == 1 ? indicator : ordering;
    }
    KendallWorkspace ws;
    ws.method = method;
    for (auto _ : state) {
        float tau, s, z, prob;
        kendl2(other.data(), y.data(), n, &tau, &s, &z, &prob, ws);
        benchmark::DoNotOptimize(tau);
        benchmark::DoNotOptimize(prob);
    }
}
BENCHMARK(BM_Kendl2Methods)
    ->ArgNames({"n", "method", "partner"})
    ->ArgsProduct({{10, 20, 40, 80, 160, 400, 2000}, {0, 1, 2}, {0, 1, 2}});

void BM_Theil(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    const std::vector<float> t = timePoints(2 * n);
    for (auto _ : state) {
        float intercept, slope;
        theil(t.data(), y.data(), 2 * n, &intercept, &slope, effectWs.theil);
        benchmark::DoNotOptimize(intercept);
        benchmark::DoNotOptimize(slope);
    }
    state.SetComplexityN(2 * n);
}
BENCHMARK(BM_Theil)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

// The Theil-Sen line of one phase of n points (the PL-Tau correction's call)
// by the default selection (method 0), the same without the vector kernel
// (method 1) and storing every slope (method 2, the reference), on white
// noise with a trend (data 0) and on a whole-numbered line, whose slopes are
// all equal (data 1).
void BM_TheilMethods(benchmark::State& state) {
    const int n = lengthArg(state);
    const auto method = static_cast<SlopeMedianWorkspace::Method>(state.range(1));
    const bool line = state.range(2) == 1;
    ModelParameters m = levelChange();
    m.fB1 = line ? -1.0f : 0.1f;
    if (line) m.fSA = m.fSB = 0.0f;
    const std::vector<float> y = series(n, 1, m);
    const std::vector<float> t = timePoints(n);
    TheilWorkspace ws;
    ws.slopes.method = method;
    for (auto _ : state) {
        float intercept, slope;
        theil(t.data(), y.data(), n, &intercept, &slope, ws);
        benchmark::DoNotOptimize(intercept);
        benchmark::DoNotOptimize(slope);
    }
}
BENCHMARK(BM_TheilMethods)
    ->ArgNames({"n", "method", "data"})
    ->ArgsProduct({{50, 100, 200, 500, 1000}, {0, 1, 2}, {0, 1}});

// ---------------------------------------------------------------------------
// Effect sizes, each on one series of two phases of n points

void BM_Pltau(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    for (auto _ : state) {
        float x, p;
        pltau(n, n, y.data(), &x, &p, effectWs);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(p);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_Pltau)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

// A baseline with a steep trend, so that the Theil-Sen correction is taken.
void BM_Pltau_TrendCorrected(benchmark::State& state) {
    const int n = lengthArg(state);
    ModelParameters m = levelChange();
    m.fB1 = 1.0f;
    const std::vector<float> y = series(n, n, m);
    const std::vector<float> t = timePoints(n);
    float tau, s, z, prob;
    kendl2(t.data(), y.data(), n, &tau, &s, &z, &prob, effectWs.kendall);
    state.SetLabel(static_cast<double>(prob) < 0.05 ? "corrected" : "not corrected");
    for (auto _ : state) {
        float x, p;
        pltau(n, n, y.data(), &x, &p, effectWs);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(p);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_Pltau_TrendCorrected)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

void BM_Tauu(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    for (auto _ : state) {
        float x, p;
        tauu(n, n, y.data(), &x, &p, effectWs);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(p);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_Tauu)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

void BM_Mpd(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    for (auto _ : state) {
        float d, r;
        mpd(n, n, y.data(), &d, &r, effectWs);
        benchmark::DoNotOptimize(d);
        benchmark::DoNotOptimize(r);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_Mpd)->Apply(phaseLengths)->Complexity(benchmark::oN);

void BM_Ecl(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    for (auto _ : state) {
        float x;
        ecl(n, n, y.data(), &x, effectWs);
        benchmark::DoNotOptimize(x);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_Ecl)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

// The p-value formed afresh, as without a table.  For longer phases its
// terms overflow single precision and the sum stops at the first NaN, so the
// cost does not grow smoothly with n; no complexity is fitted here, for the
// table, or for PND without a table.
void BM_PndPValue(benchmark::State& state) {
    const int n = lengthArg(state);
    const int k = n / 2;
    for (auto _ : state) {
        float p = pndPValue(n, n, k);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PndPValue)->Apply(phaseLengths);

// The table a run makes once for its phase lengths, and its value for one k.
// Up to 26 points every value is formed when the table is made; from 27 the
// first read builds the terms and forms its group of k.
void BM_NonOverlapTable(benchmark::State& state) {
    const int n = lengthArg(state);
    for (auto _ : state) {
        NonOverlapTable table(n, n);
        float p = table.p(n / 2);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_NonOverlapTable)->Apply(phaseLengths);

// Long phases: the table read at every k (the most a run can ask), or at the
// k of PND and PNCD over 10000 series of the level-change model (about what
// a run asks).
void BM_NonOverlapTableLong(benchmark::State& state) {
    const int n = lengthArg(state);
    const bool everyK = state.range(1) == 1;
    std::vector<int> ks;
    if (everyK) {
        for (int k = 0; k <= n; ++k) ks.push_back(k);
    } else {
        Rng rng = seeded();
        ModelParameters m = levelChange();
        m.fB1 = 0.1f;
        m.nA = m.nB = n;
        std::vector<float> y(static_cast<std::size_t>(2 * n));
        std::vector<bool> seen(static_cast<std::size_t>(n + 1));
        const NonOverlapTable setUp(n, n);
        for (int i = 0; i < 10000; ++i) {
            simABTimeSeries(rng, m, y.data());
            float x, p;
            pnd(n, n, y.data(), &x, &p, &setUp);
            seen[static_cast<std::size_t>(std::lround(x * static_cast<float>(n)))] = true;
            pncd(n, n, y.data(), &x, &p, effectWs, &setUp);
            seen[static_cast<std::size_t>(std::lround(x * static_cast<float>(n)))] = true;
        }
        for (int k = 0; k <= n; ++k)
            if (seen[static_cast<std::size_t>(k)]) ks.push_back(k);
    }
    for (auto _ : state) {
        NonOverlapTable table(n, n);
        float sum = 0.0f;
        for (const int k : ks) sum += table.p(k);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["k"] = static_cast<double>(ks.size());
}
BENCHMARK(BM_NonOverlapTableLong)
    ->ArgNames({"n", "everyK"})
    ->ArgsProduct({{200, 1000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_Pnd(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    const NonOverlapTable table(n, n);
    for (auto _ : state) {
        float x, p;
        pnd(n, n, y.data(), &x, &p, &table);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(p);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_Pnd)->Apply(phaseLengths)->Complexity(benchmark::oN);

void BM_Pnd_NoTable(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    for (auto _ : state) {
        float x, p;
        pnd(n, n, y.data(), &x, &p);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_Pnd_NoTable)->Apply(phaseLengths);

void BM_Pncd(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    const NonOverlapTable table(n, n);
    for (auto _ : state) {
        float x, p;
        pncd(n, n, y.data(), &x, &p, effectWs, &table);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(p);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_Pncd)->Apply(phaseLengths)->Complexity(benchmark::oN);

// The six indices in the order of one iteration of the effect-size run.
void BM_EffectSizeIteration(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    const NonOverlapTable table(n, n);
    for (auto _ : state) {
        float v[10];
        pltau(n, n, y.data(), &v[0], &v[1], effectWs);
        tauu(n, n, y.data(), &v[2], &v[3], effectWs);
        mpd(n, n, y.data(), &v[4], &v[5], effectWs);
        ecl(n, n, y.data(), &v[6], effectWs);
        pnd(n, n, y.data(), &v[7], &v[8], &table);
        pncd(n, n, y.data(), &v[9], &v[8], effectWs, &table);
        benchmark::DoNotOptimize(v);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_EffectSizeIteration)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

// The four further indices, from short phases to the longest the program
// takes.  NAP's test is exact below 50 points per phase and normal above.

void BM_CaseIndex(benchmark::State& state, Estimate (*index)(int, int, const float*, CaseIndexWorkspace&)) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    for (auto _ : state) {
        Estimate e = index(n, n, y.data(), caseWs);
        benchmark::DoNotOptimize(e);
    }
    state.SetComplexityN(n);
}
BENCHMARK_CAPTURE(BM_CaseIndex, Nap, nap)->RangeMultiplier(4)->Range(4, 1024)->Complexity(benchmark::oNLogN);
// The exact sign test costs O(n^2 / 32) word operations.
BENCHMARK_CAPTURE(BM_CaseIndex, Pem, pem)->RangeMultiplier(4)->Range(4, 1024)->Complexity(benchmark::oNSquared);

void BM_Smd(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    for (auto _ : state) {
        float d = smd(n, n, y.data());
        benchmark::DoNotOptimize(d);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_Smd)->RangeMultiplier(4)->Range(4, 1024)->Complexity(benchmark::oN);

// ---------------------------------------------------------------------------
// The VARDEN method.  The routines below work on one phase of n points.

void BM_TheilSenVARDEN(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, 0);
    const std::vector<float> t = timePoints(n);
    for (auto _ : state) {
        float intercept, slope;
        theilSenVARDEN(t.data(), y.data(), n, &intercept, &slope, fitWs);
        benchmark::DoNotOptimize(intercept);
        benchmark::DoNotOptimize(slope);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_TheilSenVARDEN)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

// 1000 bootstrap replicates of the line; draws 1000 n uniform values.
void BM_TheilSenStdErrVARDEN(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, 0);
    const std::vector<float> t = timePoints(n);
    Rng rng = seeded();
    for (auto _ : state) {
        float intSE, slopeSE;
        theilSenStdErrVARDEN(rng, t.data(), y.data(), n, &intSE, &slopeSE, fitWs);
        benchmark::DoNotOptimize(intSE);
        benchmark::DoNotOptimize(slopeSE);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_TheilSenStdErrVARDEN)->Apply(phaseLengths)->Complexity(benchmark::oNSquared);

void BM_StdDevStdErr(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, 0);
    Rng rng = seeded();
    for (auto _ : state) {
        float se = stdDevStdErr(rng, y.data(), n, fitWs);
        benchmark::DoNotOptimize(se);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_StdDevStdErr)->Apply(phaseLengths)->Complexity(benchmark::oN);

// One inner simulation: n + 54 deviates and the mean of the simulated phase.
void BM_SimTimeSeriesMean(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> t = timePoints(n);
    Rng rng = seeded();
    PhaseMeanBatch batch;
    const PhaseMeanBatch::Model model{t.data(), 0.5f, 0.2f, 0.1f, 0.05f, 1.0f, 0.2f};
    for (auto _ : state) {
        float mean;
        batch.run(rng, n, &model, 1, 0.3f, 0.15f, &mean);
        benchmark::DoNotOptimize(mean);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_SimTimeSeriesMean)->Apply(phaseLengths)->Complexity(benchmark::oN);

// The whole method on one series with its 1000 inner simulations per phase,
// as one iteration of the method run computes it.
void BM_Varden(benchmark::State& state) {
    const int n = lengthArg(state);
    const std::vector<float> y = series(n, n);
    Rng rng = seeded();
    for (auto _ : state) {
        VardenResult result = varden(rng, n, n, y.data(), 1000, vardenWs);
        benchmark::DoNotOptimize(result);
    }
    state.SetComplexityN(n);
}
// Bootstraps grow faster than the inner simulations; the fit picks the order.
BENCHMARK(BM_Varden)->Apply(phaseLengths)->Complexity()->Unit(benchmark::kMillisecond);

}  // namespace

// Like BENCHMARK_MAIN, with a shorter default minimum time per benchmark.
int main(int argc, char** argv) {
    static char defaultMinTime[] = "--benchmark_min_time=0.1";
    std::vector<char*> args(argv, argv + argc);
    const bool minTimeGiven = std::any_of(args.begin(), args.end(), [](const char* a) {
        return std::string_view(a).rfind("--benchmark_min_time", 0) == 0;
    });
    if (!minTimeGiven) args.insert(args.begin() + 1, defaultMinTime);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
