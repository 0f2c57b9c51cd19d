#include "runs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

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
        EXPECT_EQ(x.significant, y.significant) << "row " << r;
    }
    EXPECT_TRUE(a.after == b.after) << "generator state after the run, " << threads << " threads";
    EXPECT_EQ(b.dots, 3);
}

}  // namespace

// An odd number of deviates per series (white noise, N_A + N_B + 51 odd)
// carries the cached deviate from one series into the next, across the
// blocks that different workers compute.
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
