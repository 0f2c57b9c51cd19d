// The simulation runs of both options: N_SIM series from one model, the
// option's statistics on every series, in parallel with the sequential result.
#pragma once

#include <functional>
#include <vector>

#include "mersenne.h"
#include "report.h"

inline constexpr std::uint32_t kRunSeed = 7487;
inline constexpr int kEffectSizeIterations = 10000;
inline constexpr int kEffectSizeDotInterval = 2500;
inline constexpr int kVardenIterations = 1000;
inline constexpr int kVardenDotInterval = 250;
inline constexpr int kVardenInnerSimulations = 1000;

enum class Option { EffectSizes = 1, Varden = 2 };

// Called once per progress dot, in order.
using ProgressFn = std::function<void()>;

// Threads to use when the caller does not say: all hardware threads.
int defaultThreadCount();

// Seeds rng with the run seed, simulates the option's N_SIM series and returns
// the option's rows, values in iteration order, sums and counts formed in
// iteration order.  Any number of threads gives the same rows and leaves rng
// in the same state.
std::vector<StatisticRow> simulateRun(Option option, const ModelParameters& model, Rng& rng,
                                      int threads, const ProgressFn& dot);

int iterationsOf(Option option);
