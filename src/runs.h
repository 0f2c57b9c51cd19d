// The simulation runs of both options: N_SIM series from one model, the
// option's statistics on every series, in parallel with the sequential result.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "blockrunner.h"
#include "buffer.h"
#include "effectsizes.h"
#include "seriesstatistics.h"
#include "mersenne.h"
#include "model.h"
#include "statistic.h"
#include "summary.h"
#include "varden.h"

inline constexpr std::uint32_t kRunSeed = 7487;
inline constexpr int kEffectSizeIterations = 10000;
inline constexpr int kVardenIterations = 1000;
inline constexpr int kVardenInnerSimulations = 1000;
inline constexpr double kAlpha = 0.05;

// The phase lengths a run accepts: from 1 to this many points each.  The
// work of a run grows with the square of the lengths (option 2: of every
// bootstrap replicate), and these keep a run within minutes.  The dialogue
// and a study's design are held to them alike.
inline constexpr int kMaxPhaseLengthEffectSizes = 1000;
inline constexpr int kMaxPhaseLengthVarden = 100;

int maxPhaseLength(Option option);

// What a run does besides the model: iterations, the seed the generator
// starts from, and the level below which a p-value counts as significant
// (compared as double(p) < alpha).
struct RunSettings {
    int iterations = kEffectSizeIterations;
    // The rows, in this order: statistics of the run's option.  Empty: the
    // option's table (defaultStatistics).
    std::vector<Statistic> statistics;
    std::uint32_t seed = kRunSeed;
    double alpha = kAlpha;
};

// The dialogue's settings for an option.
RunSettings defaultSettings(Option option);
int iterationsOf(Option option);

// Called once per progress dot, in order: before the iterations that start
// the second, third and last quarters of a run.
using ProgressFn = std::function<void()>;

// Threads to use when the caller does not say: all hardware threads.
int defaultThreadCount();

// Series per block of the block runner.
int seriesPerBlock(Option option);

// What one series of the option's run on model m draws.
IterationDraws seriesDraws(Option option, const ModelParameters& m);

// Moves rng over the draws of `count` series of the option's run on model m,
// exactly as simulating and analysing them would, without computing them:
// the replay that hands the block runner's blocks their starting states.
void skipSeries(Option option, const ModelParameters& m, Rng& rng, int count);

// Runs many simulations with one set of worker threads and one workspace per
// worker, all kept from run to run.
class Simulator {
public:
    // threads <= 0 uses all hardware threads.
    explicit Simulator(int threads);

    // Seeds rng with settings.seed, simulates settings.iterations series and
    // returns the rows of settings.statistics (or the option's table): values
    // and p-values in iteration order, the running sums as runningSum forms
    // them and exact counts of significant iterations.  Any number of threads gives the
    // same rows and leaves rng in the same state.
    std::vector<StatisticRow> run(Option option, const ModelParameters& model, Rng& rng,
                                  const RunSettings& settings, const ProgressFn& dot);

    // As run, but without seeding: the series continue from rng's state, so
    // run(a) followed by continueRun(b) on the same rng draws the series of
    // run(a + b).  The rows hold the b new series only, their sums and counts
    // formed over those alone; settings.seed is not used.
    std::vector<StatisticRow> continueRun(Option option, const ModelParameters& model, Rng& rng,
                                          const RunSettings& settings, const ProgressFn& dot);

    // summarizeRow of each row, in order, formed on the worker threads.
    std::vector<RowSummary> summarize(const std::vector<StatisticRow>& rows);

private:
    // What one worker owns.
    struct WorkerSpace {
        Buffer series;  // the simulated series
        SeriesWorkspace statistics;
        VardenWorkspace varden;
        std::vector<Estimate> found;  // one series' statistics, in row order
    };

    std::vector<StatisticRow> effectSizeRun(const ModelParameters& m, Rng& rng,
                                            const RunSettings& settings, const ProgressFn& dot);
    std::vector<StatisticRow> vardenRun(const ModelParameters& m, Rng& rng,
                                        const RunSettings& settings, const ProgressFn& dot);

    BlockRunner blocks_;
    std::vector<WorkerSpace> spaces_;  // one per worker slot
};
