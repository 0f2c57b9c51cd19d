#include "planevaluator.h"

#include <algorithm>
#include <stdexcept>

#include "summary.h"

Condition conditionAtLength(const Condition& base, SearchedFactor factor, int length) {
    Condition c = base;
    if (factor != SearchedFactor::NA) c.model.nB = length;
    if (factor != SearchedFactor::NB) c.model.nA = length;
    return c;
}

std::string evaluatorProblem(const EvaluatorSettings& settings, int from, int to) {
    for (const int length : {from, to}) {
        const std::string problem = conditionProblem(conditionAtLength(settings.base, settings.factor, length));
        if (!problem.empty()) return problem;
    }
    return {};
}

SimulationEvaluator::SimulationEvaluator(const EvaluatorSettings& settings, int threads, SettledFn settled)
    : settings_(settings), simulator_(threads), settled_(std::move(settled)) {}

long long SimulationEvaluator::rejections(int length, int replications) {
    if (!started_ || length != length_) start(length);
    if (replications < series_) throw std::logic_error("a condition's replication count cannot shrink");
    if (replications > series_) extend(replications);
    return rejections_;
}

void SimulationEvaluator::start(int length) {
    started_ = true;
    length_ = length;
    condition_ = conditionAtLength(settings_.base, settings_.factor, length);
    seed_ = conditionSeed(settings_.baseSeed, condition_);
    rng_ = Rng{};  // no cached deviate: as the first condition of a grid run
    rows_.clear();
    series_ = 0;
    rejections_ = 0;
}

// Draws the series from series_ + 1 to `replications`, continuing the stream.
void SimulationEvaluator::extend(int replications) {
    RunSettings run;
    run.iterations = replications - series_;
    run.seed = seed_;
    run.alpha = settings_.alpha;
    const Option option = condition_.option;
    std::vector<StatisticRow> more =
        series_ == 0 ? simulator_.run(option, condition_.model, rng_, run, [] {})
                     : simulator_.continueRun(option, condition_.model, rng_, run, [] {});
    const auto searched = std::find_if(more.begin(), more.end(), [this](const StatisticRow& r) {
        return r.statistic == settings_.statistic;
    });
    if (searched == more.end() || searched->pValues.size() != searched->values.size())
        throw std::invalid_argument("the searched statistic has no test in this option's runs");
    // The runner's count of p < alpha.
    rejections_ += searched->significant;
    if (rows_.empty()) {
        rows_ = std::move(more);
    } else {
        for (std::size_t k = 0; k < rows_.size(); ++k) {
            rows_[k].values.insert(rows_[k].values.end(), more[k].values.begin(), more[k].values.end());
            rows_[k].pValues.insert(rows_[k].pValues.end(), more[k].pValues.begin(), more[k].pValues.end());
            rows_[k].significant = rows_[k].significant + more[k].significant;
        }
    }
    series_ = replications;
}

void SimulationEvaluator::settle(const EvaluatedPoint& point) {
    if (!started_ || point.length != length_ || point.replications != series_)
        throw std::logic_error("settling a condition that is not in hand");
    // The running sum as a run of all the series forms it; a sum of the
    // extensions' sums would round differently.
    for (StatisticRow& row : rows_) row.sum = runningSum(row.values);
    if (settled_) settled_(condition_, seed_, rows_);
    rows_ = {};
    started_ = false;
}
