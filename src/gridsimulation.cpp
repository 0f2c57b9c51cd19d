#include "gridsimulation.h"

#include "report.h"
#include "runs.h"

namespace {

// The rows each option's run returns, in table order.
std::vector<Statistic> statisticsOf(Option option) {
    if (option == Option::EffectSizes)
        return {Statistic::PlTau, Statistic::TauU, Statistic::MpdR, Statistic::Ecl, Statistic::Pnd,
                Statistic::Pncd};
    return {Statistic::SimD, Statistic::SimR};
}

}  // namespace

std::vector<std::string> tableLabels(Option option) {
    std::vector<std::string> labels;
    for (Statistic s : statisticsOf(option)) labels.emplace_back(statisticInfo(s).label);
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
        const StatisticInfo info = statisticInfo(row.statistic);
        const RowSummary summary = summarizeRow(row);
        StatisticOutcome s;
        s.label = info.label;
        s.hasTest = info.hasTest;
        s.mean = summary.mean;
        // The report widens these from floats: narrowing gives them back exactly.
        s.se = static_cast<float>(summary.se);
        s.share = summary.share;
        for (int k = 0; k < 5; ++k) s.quantiles[k] = static_cast<float>(summary.quantiles[k]);
        s.values = std::move(row.values);
        s.pValues = std::move(row.pValues);
        outcome.statistics.push_back(std::move(s));
    }
    return outcome;
}
