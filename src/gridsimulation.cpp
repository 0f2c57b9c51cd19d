#include "gridsimulation.h"

#include "runs.h"
#include "summary.h"

GridSimulation::GridSimulation(int threads, StatisticsOf statistics)
    : simulator_(std::make_unique<Simulator>(threads)), statistics_(std::move(statistics)) {}

GridSimulation::~GridSimulation() = default;

ConditionRunner GridSimulation::runner() {
    return ConditionRunner{[this](const Condition& c, std::uint32_t seed, int replications, double alpha) {
        return run(c, seed, replications, alpha);
    }};
}

ConditionOutcome GridSimulation::run(const Condition& c, std::uint32_t seed, int replications, double alpha) {
    RunSettings settings;
    settings.iterations = replications;
    settings.seed = seed;
    settings.alpha = alpha;
    Rng rng;  // fresh: no state of an earlier condition
    settings.statistics = statistics_(c.option);
    std::vector<StatisticRow> rows = simulator_->run(c.option, c.model, rng, settings, [] {});
    const std::vector<RowSummary> summaries = simulator_->summarize(rows);
    return conditionOutcome(std::move(rows), replications, summaries);
}

ConditionOutcome conditionOutcome(std::vector<StatisticRow> rows, int replications,
                                  const std::vector<RowSummary>& summaries) {
    ConditionOutcome outcome;
    outcome.nSim = replications;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        StatisticRow& row = rows[k];
        StatisticOutcome s;
        s.statistic = row.statistic;
        s.summary = summaries[k];
        s.values = std::move(row.values);
        s.pValues = std::move(row.pValues);
        outcome.statistics.push_back(std::move(s));
    }
    return outcome;
}
