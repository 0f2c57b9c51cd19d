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
    return conditionOutcome(simulator_->run(c.option, c.model, rng, settings, [] {}), replications);
}

ConditionOutcome conditionOutcome(std::vector<StatisticRow> rows, int replications) {
    ConditionOutcome outcome;
    outcome.nSim = replications;
    for (StatisticRow& row : rows) {
        StatisticOutcome s;
        s.statistic = row.statistic;
        s.summary = summarizeRow(row);
        s.values = std::move(row.values);
        s.pValues = std::move(row.pValues);
        outcome.statistics.push_back(std::move(s));
    }
    return outcome;
}
