// The planning search's simulation: each length it asks about is one
// condition of a study (the fixed factors with the searched phase length
// set), run with its per-condition seed, so its series are those of a grid
// run of that condition in per-condition seed mode.
//
// What it promises.
// - A condition's series are drawn once: a count that grows continues the
//   generator where the previous look left it (Simulator::continueRun), so
//   the first r series are always those of a run of r replications.
// - Every condition starts from a fresh generator seeded with
//   conditionSeed(base seed, condition), as the first condition of a grid run
//   does.
// - When the search settles a condition, the settled callback receives the
//   rows of all its series (every statistic of the option, values and
//   p-values in series order, running sums and counts formed in series order
//   as a run forms them): exactly the rows Simulator::run returns for that
//   seed and count, from which a results row of the condition is formed.
//   The series are then let go, so one condition's rows are held at a time.
// - The rows do not depend on the thread count.
//
// This is the search's one adapter onto the program's runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "design.h"
#include "powersearch.h"
#include "runs.h"

// The phase length the search varies.
enum class SearchedFactor {
    NB,    // n_b
    NA,    // n_a
    Both,  // n_a = n_b
};

// The base condition with its searched length(s) set; its id is kept.
Condition conditionAtLength(const Condition& base, SearchedFactor factor, int length);

struct EvaluatorSettings {
    Condition base;  // the fixed factors; the searched length in it is ignored
    SearchedFactor factor = SearchedFactor::NB;
    Statistic statistic = Statistic::PlTau;  // a statistic of base.option with a test
    std::uint32_t baseSeed = kRunSeed;
    double alpha = kAlpha;
};

// What is wrong with searching the base condition over [from, to], or empty:
// the conditions at both ends must be valid (option, phase-length limits,
// not both coefficients non-zero).
std::string evaluatorProblem(const EvaluatorSettings& settings, int from, int to);

// A settled condition: the condition, the seed it ran with and its rows.
using SettledFn = std::function<void(const Condition& condition, std::uint32_t seed,
                                     const std::vector<StatisticRow>& rows)>;

class SimulationEvaluator final : public LengthEvaluator {
public:
    // threads <= 0 uses all hardware threads.
    SimulationEvaluator(const EvaluatorSettings& settings, int threads, SettledFn settled = {});

    // Throws std::invalid_argument when the option's runs give the statistic
    // no p-values, std::logic_error when a count shrinks.
    long long rejections(int length, int replications) override;
    void settle(const EvaluatedPoint& point) override;

private:
    void start(int length);
    void extend(int replications);

    EvaluatorSettings settings_;
    Simulator simulator_;
    SettledFn settled_;

    // The condition in hand.
    bool started_ = false;
    int length_ = 0;
    Condition condition_;
    std::uint32_t seed_ = 0;
    Rng rng_;
    std::vector<StatisticRow> rows_;  // every series so far; sums formed at settling
    int series_ = 0;
    long long rejections_ = 0;
};
