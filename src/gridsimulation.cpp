#include "gridsimulation.h"

#include "runs.h"
#include "summary.h"

std::vector<std::string> tableLabels(Option option) {
    std::vector<std::string> labels;
    for (Statistic s : defaultStatistics(option)) labels.emplace_back(statisticInfo(s).label);
    return labels;
}

GridSimulation::GridSimulation(int threads) : simulator_(std::make_unique<Simulator>(threads)) {}

GridSimulation::~GridSimulation() = default;

ConditionRunner GridSimulation::runner() {
    return ConditionRunner{tableLabels, [this](const Condition& c, std::uint32_t seed, int replications,
                                               double alpha) { return run(c, seed, replications, alpha); }};
}

ConditionOutcome GridSimulation::run(const Condition& c, std::uint32_t seed, int replications, double alpha) {
    RunSettings settings;
    settings.iterations = replications;
    settings.seed = seed;
    settings.alpha = alpha;
    std::vector<StatisticRow> rows = simulator_->run(c.option, c.model, rng_, settings, [] {});
    ConditionOutcome outcome;
    outcome.nSim = replications;
    for (StatisticRow& row : rows) {
        const StatisticInfo& info = statisticInfo(row.statistic);
        const RowSummary summary = summarizeRow(row);
        StatisticOutcome s;
        s.label = info.label;
        s.hasTest = info.hasTest;
        s.mean = summary.mean;
        s.se = summary.sd;
        s.share = summary.share;
        for (int k = 0; k < 5; ++k) s.quantiles[k] = summary.quantiles[k];
        s.values = std::move(row.values);
        s.pValues = std::move(row.pValues);
        outcome.statistics.push_back(std::move(s));
    }
    return outcome;
}
