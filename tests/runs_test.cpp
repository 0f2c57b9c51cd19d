#include "runs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// One run with the option's default settings on a simulator of its own.
std::vector<StatisticRow> simulateRun(Option option, const ModelParameters& m, Rng& rng, int threads,
                                      const ProgressFn& dot) {
    Simulator simulator(threads);
    return simulator.run(option, m, rng, defaultSettings(option), dot);
}

struct Outcome {
    std::vector<StatisticRow> rows;
    Rng after;
    int dots = 0;
};

Outcome simulate(Option option, const ModelParameters& m, int threads) {
    Outcome o;
    o.rows = simulateRun(option, m, o.after, threads, [&] { ++o.dots; });
    return o;
}

// Bitwise, so that NaNs and the signs of zeros count.
void expectSameRows(const Outcome& a, const Outcome& b, int threads) {
    ASSERT_EQ(a.rows.size(), b.rows.size());
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        const auto& x = a.rows[r];
        const auto& y = b.rows[r];
        ASSERT_EQ(x.values.size(), y.values.size());
        EXPECT_EQ(0, std::memcmp(x.values.data(), y.values.data(), x.values.size() * sizeof(float)))
            << "row " << r << " values differ with " << threads << " threads";
        EXPECT_EQ(0, std::memcmp(&x.sum, &y.sum, sizeof(float))) << "row " << r;
        ASSERT_EQ(x.pValues.size(), y.pValues.size());
        if (!x.pValues.empty()) {
            EXPECT_EQ(0, std::memcmp(x.pValues.data(), y.pValues.data(), x.pValues.size() * sizeof(float)))
                << "row " << r << " p-values differ with " << threads << " threads";
        }
        EXPECT_EQ(x.significant, y.significant) << "row " << r;
    }
    EXPECT_TRUE(a.after == b.after) << "generator state after the run, " << threads << " threads";
    EXPECT_EQ(b.dots, 3);
}

// The table's summaries, formed on the workers, are the ones formed in turn.
void expectSameSummaries(const std::vector<StatisticRow>& rows, int threads) {
    const std::vector<RowSummary> expected = summarizeRows(rows);
    Simulator simulator(threads);
    const std::vector<RowSummary> got = simulator.summarize(rows);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t r = 0; r < got.size(); ++r) {
        EXPECT_EQ(0, std::memcmp(&got[r].sd, &expected[r].sd, sizeof(float))) << threads << " threads, row " << r;
        EXPECT_EQ(0, std::memcmp(got[r].quantiles, expected[r].quantiles, sizeof got[r].quantiles))
            << threads << " threads, row " << r;
        EXPECT_EQ(0, std::memcmp(&got[r].mean, &expected[r].mean, sizeof(double))) << "row " << r;
        EXPECT_EQ(got[r].share, expected[r].share) << "row " << r;
    }
}

}  // namespace

// An odd number of deviates per series (white noise, N_A + N_B + 51 odd)
// carries the cached deviate from one series into the next, across the
// blocks that different workers compute; the rows summarize alike too.
TEST(Runs, EffectSizesAreTheSameForAnyThreadCount) {
    ModelParameters m;
    m.nA = 4;
    m.nB = 6;
    m.fB2 = 1.0f;
    m.fSA = m.fSB = 1.0f;
    const Outcome one = simulate(Option::EffectSizes, m, 1);
    EXPECT_EQ(one.dots, 3);
    EXPECT_EQ(one.after.nNormals, 10000u * 61u);
    for (int threads : {2, 3, 8}) expectSameRows(one, simulate(Option::EffectSizes, m, threads), threads);
    for (int threads : {1, 2, 3}) expectSameSummaries(one.rows, threads);
}

// The method draws uniforms between the series' deviates and its own; with
// an odd series count the cached deviate crosses into the method's draws.
TEST(Runs, VardenIsTheSameForAnyThreadCount) {
    ModelParameters m;
    m.nA = 3;
    m.nB = 4;
    m.fB1 = 0.2f;
    m.fSA = 1.0f;
    m.fSB = 2.0f;
    m.fAR1 = 0.3f;  // 57 series deviates: odd
    const Outcome one = simulate(Option::Varden, m, 1);
    EXPECT_EQ(one.after.nNormals, 1000u * (57u + 2u * 1000u * (4u + 54u)));
    // Two threads are covered by the recorded sessions.
    for (int threads : {3, 8}) expectSameRows(one, simulate(Option::Varden, m, threads), threads);
}

TEST(Runs, EveryRunStartsFromTheSeed) {
    ModelParameters m;
    m.nA = m.nB = 5;
    m.fSA = m.fSB = 1.0f;
    Rng rng;
    const auto first = simulateRun(Option::EffectSizes, m, rng, 2, [] {});
    const auto second = simulateRun(Option::EffectSizes, m, rng, 2, [] {});
    EXPECT_EQ(0, std::memcmp(first[0].values.data(), second[0].values.data(),
                             first[0].values.size() * sizeof(float)));
    EXPECT_EQ(rng.use_last, 0) << "a run draws an even number of deviates";
}

// Settings other than the dialogue's: fewer iterations, another seed, another
// level.  The p-values are kept per iteration and the count of significant
// ones follows the level.
TEST(Runs, SettingsChangeIterationsSeedAndLevel) {
    ModelParameters m;
    m.nA = m.nB = 5;
    m.fB2 = 1.0f;
    m.fSA = m.fSB = 1.0f;
    Simulator simulator(3);
    RunSettings s = defaultSettings(Option::EffectSizes);
    EXPECT_EQ(s.iterations, 10000);
    EXPECT_EQ(s.seed, 7487u);
    EXPECT_EQ(s.alpha, 0.05);
    s.iterations = 37;
    s.seed = 11;
    s.alpha = 0.2;
    Rng rng;
    int dots = 0;
    const auto rows = simulator.run(Option::EffectSizes, m, rng, s, [&] { ++dots; });
    EXPECT_EQ(dots, 3);  // after iterations 9, 18 and 27
    ASSERT_EQ(rows.size(), 6u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.values.size(), 37u);
        const bool tested = row.statistic != Statistic::MpdR && row.statistic != Statistic::Ecl;
        ASSERT_EQ(row.pValues.size(), tested ? 37u : 0u);
        int significant = 0;
        for (float p : row.pValues) significant += static_cast<double>(p) < 0.2;
        EXPECT_EQ(row.significant, significant);
    }

    // The first 37 iterations of a default run from seed 11 are the same.
    RunSettings full = defaultSettings(Option::EffectSizes);
    full.seed = 11;
    Rng other;
    const auto longer = simulator.run(Option::EffectSizes, m, other, full, [] {});
    EXPECT_EQ(0, std::memcmp(rows[0].values.data(), longer[0].values.data(), 37 * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(rows[4].pValues.data(), longer[4].pValues.data(), 37 * sizeof(float)));
}

// One simulator serves runs of both options in turn, as the dialogue and a
// study use it, with the same rows as fresh runs.
TEST(Runs, ASimulatorIsReusedAcrossRunsAndOptions) {
    ModelParameters m;
    m.nA = 3;
    m.nB = 4;
    m.fSA = m.fSB = 1.0f;
    m.fMA1 = 0.3f;
    Simulator simulator(2);
    RunSettings varden = defaultSettings(Option::Varden);
    varden.iterations = 6;
    RunSettings effects = defaultSettings(Option::EffectSizes);
    effects.iterations = 600;
    for (int round = 0; round < 2; ++round) {
        Rng a, b;
        const auto v = simulator.run(Option::Varden, m, a, varden, [] {});
        const auto e = simulator.run(Option::EffectSizes, m, b, effects, [] {});
        Simulator freshV(1), freshE(1);
        Rng c, d;
        const auto v1 = freshV.run(Option::Varden, m, c, varden, [] {});
        const auto e1 = freshE.run(Option::EffectSizes, m, d, effects, [] {});
        EXPECT_EQ(0, std::memcmp(v[0].values.data(), v1[0].values.data(), 6 * sizeof(float)));
        EXPECT_EQ(0, std::memcmp(v[1].pValues.data(), v1[1].pValues.data(), 6 * sizeof(float)));
        EXPECT_EQ(0, std::memcmp(e[3].values.data(), e1[3].values.data(), 600 * sizeof(float)));
        EXPECT_TRUE(a == c && b == d);
    }
}
