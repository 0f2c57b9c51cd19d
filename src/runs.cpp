#include "runs.h"

#include <algorithm>
#include <thread>

#include "rnorm.h"
#include "simulate.h"
#include "summary.h"

int defaultThreadCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

int maxPhaseLength(Option option) {
    return option == Option::EffectSizes ? kMaxPhaseLengthEffectSizes : kMaxPhaseLengthVarden;
}

int iterationsOf(Option option) {
    return option == Option::EffectSizes ? kEffectSizeIterations : kVardenIterations;
}

// Option 1's series are cheap, option 2's are not.
int seriesPerBlock(Option option) { return option == Option::EffectSizes ? 250 : 1; }

RunSettings defaultSettings(Option option) {
    RunSettings s;
    s.iterations = iterationsOf(option);
    return s;
}

namespace {

// The rows asked for (the option's table when none are), each with room for
// nSim values and, with a test, p-values.
std::vector<StatisticRow> makeRows(Option option, const RunSettings& settings, int nSim) {
    std::vector<StatisticRow> rows;
    for (const Statistic statistic : settings.statistics.empty() ? defaultStatistics(option) : settings.statistics) {
        StatisticRow r;
        r.statistic = statistic;
        r.values.assign(static_cast<std::size_t>(nSim), 0.0f);
        if (statisticInfo(statistic).hasTest) r.pValues.assign(static_cast<std::size_t>(nSim), 0.0f);
        rows.push_back(std::move(r));
    }
    return rows;
}

// The statistics of the rows, in order.
std::vector<Statistic> statisticsOfRows(const std::vector<StatisticRow>& rows) {
    std::vector<Statistic> statistics;
    for (const StatisticRow& r : rows) statistics.push_back(r.statistic);
    return statistics;
}

// Stores iteration i's estimates in the rows, one per row in order.
void store(std::vector<StatisticRow>& rows, int i, const std::vector<Estimate>& found) {
    const auto at = static_cast<std::size_t>(i);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        rows[k].values[at] = found[k].value;
        if (!rows[k].pValues.empty()) rows[k].pValues[at] = found[k].p;
    }
}

// Counts iteration i's test.
void accumulate(StatisticRow& r, int i, double alpha) {
    if (!r.pValues.empty()) countSignificant(r, static_cast<std::size_t>(i), alpha);
}

// The running sums, once every value is in.
void finishSums(std::vector<StatisticRow>& rows) {
    for (StatisticRow& r : rows) r.sum = runningSum(r.values);
}

// The dots fall before the iterations that start the second, third and last
// quarters of the run.
bool dotBefore(int i, int nSim) {
    if (i == 0) return false;
    for (int k = 1; k <= 3; ++k)
        if (i == static_cast<int>(static_cast<long long>(k) * nSim / 4)) return true;
    return false;
}

}  // namespace

IterationDraws seriesDraws(Option option, const ModelParameters& m) {
    const auto series = static_cast<std::uint64_t>(seriesDrawCount(m.nA, m.nB, m.fAR1));
    if (option == Option::EffectSizes) return {{DrawStep::Kind::Normals, series}};
    return {{DrawStep::Kind::Normals, series},
            {DrawStep::Kind::Uniforms, static_cast<std::uint64_t>(vardenUniformCount(m.nA, m.nB))},
            {DrawStep::Kind::Normals,
             static_cast<std::uint64_t>(vardenNormalCount(m.nB, kVardenInnerSimulations))}};
}

void skipSeries(Option option, const ModelParameters& m, Rng& rng, int count) {
    skipIterations(rng, seriesDraws(option, m), static_cast<std::uint64_t>(std::max(count, 0)));
}

Simulator::Simulator(int threads)
    : blocks_(threads > 0 ? threads : defaultThreadCount()),
      spaces_(static_cast<std::size_t>(blocks_.workerSlots())) {}

std::vector<StatisticRow> Simulator::run(Option option, const ModelParameters& model, Rng& rng,
                                         const RunSettings& settings, const ProgressFn& dot) {
    sgenrand(rng, settings.seed);
    return continueRun(option, model, rng, settings, dot);
}

std::vector<StatisticRow> Simulator::continueRun(Option option, const ModelParameters& model, Rng& rng,
                                                 const RunSettings& settings, const ProgressFn& dot) {
    if (option == Option::EffectSizes) return effectSizeRun(model, rng, settings, dot);
    return vardenRun(model, rng, settings, dot);
}

std::vector<RowSummary> Simulator::summarize(const std::vector<StatisticRow>& rows) {
    std::vector<RowSummary> summaries(rows.size());
    blocks_.forEach(static_cast<int>(rows.size()), [&](int, int i) {
        const auto at = static_cast<std::size_t>(i);
        summaries[at] = summarizeRow(rows[at]);
    });
    return summaries;
}

std::vector<StatisticRow> Simulator::effectSizeRun(const ModelParameters& m, Rng& rng,
                                                   const RunSettings& settings,
                                                   const ProgressFn& dot) {
    const int nSim = std::max(settings.iterations, 0);
    std::vector<StatisticRow> rows = makeRows(Option::EffectSizes, settings, nSim);
    const std::vector<Statistic> wanted = statisticsOfRows(rows);

    const NonOverlapTable pTable(m.nA, m.nB);
    const int n = std::max(m.nA, 0) + std::max(m.nB, 0);

    const auto compute = [&](int worker, Rng& r, int first, int count) {
        WorkerSpace& space = spaces_[static_cast<std::size_t>(worker)];
        float* y = space.series.floats(n);
        space.found.resize(wanted.size());
        for (int i = first; i < first + count; ++i) {
            simABTimeSeries(r, m, y);
            effectSizeStatistics(m.nA, m.nB, y, wanted, space.found, space.statistics, &pTable);
            store(rows, i, space.found);
        }
    };
    const auto collect = [&](int i) {
        if (dotBefore(i, nSim)) dot();
        for (auto& row : rows) accumulate(row, i, settings.alpha);
    };
    blocks_.run(rng, nSim, seriesPerBlock(Option::EffectSizes), compute, seriesDraws(Option::EffectSizes, m), collect);
    finishSums(rows);
    return rows;
}

std::vector<StatisticRow> Simulator::vardenRun(const ModelParameters& m, Rng& rng,
                                               const RunSettings& settings, const ProgressFn& dot) {
    const int nSim = std::max(settings.iterations, 0);
    std::vector<StatisticRow> rows = makeRows(Option::Varden, settings, nSim);
    const std::vector<Statistic> wanted = statisticsOfRows(rows);

    const int n = std::max(m.nA, 0) + std::max(m.nB, 0);

    const auto compute = [&](int worker, Rng& r, int first, int count) {
        WorkerSpace& space = spaces_[static_cast<std::size_t>(worker)];
        float* y = space.series.floats(n);
        space.found.resize(wanted.size());
        for (int i = first; i < first + count; ++i) {
            simABTimeSeries(r, m, y);
            vardenStatistics(r, m.nA, m.nB, y, kVardenInnerSimulations, wanted, space.found, space.varden);
            store(rows, i, space.found);
        }
    };
    const auto collect = [&](int i) {
        if (dotBefore(i, nSim)) dot();
        for (auto& row : rows) accumulate(row, i, settings.alpha);
    };
    blocks_.run(rng, nSim, seriesPerBlock(Option::Varden), compute, seriesDraws(Option::Varden, m), collect);
    finishSums(rows);
    return rows;
}
