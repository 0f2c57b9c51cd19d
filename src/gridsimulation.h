// The study runner's way into the program's runs: one simulator, with its
// worker threads and workspaces, serves every condition of a grid, and each
// condition's rows are summarized as the dialogue's table summarizes them.
// Every condition draws from a generator of its own, new and seeded with the
// condition's seed: nothing of the condition before it (such as a cached
// normal deviate) carries over, so a condition gives the rows of the
// dialogue's first run of its model from that seed, whether it runs alone,
// in a shard, after a resume or after any other condition.
#pragma once

#include <memory>
#include <vector>

#include "grid.h"
#include "mersenne.h"
#include "resultsread.h"
#include "statistic.h"

class Simulator;

class GridSimulation {
public:
    // threads <= 0 uses all hardware threads.  A condition's rows are the
    // statistics of its option (its table unless a study names others).
    explicit GridSimulation(int threads, StatisticsOf statistics = defaultStatistics);
    ~GridSimulation();
    GridSimulation(const GridSimulation&) = delete;
    GridSimulation& operator=(const GridSimulation&) = delete;

    // A runner for gridRun; valid while this object lives.
    ConditionRunner runner();

    // One condition: the rows of a run with these settings, summarized.
    ConditionOutcome run(const Condition& c, std::uint32_t seed, int replications, double alpha);

private:
    std::unique_ptr<Simulator> simulator_;
    StatisticsOf statistics_;
};

// A run's rows of a condition of `replications` series with their summaries
// (summarizeRow of each row, as the dialogue's table summarizes them): what a
// results row is formed from.
ConditionOutcome conditionOutcome(std::vector<StatisticRow> rows, int replications,
                                  const std::vector<RowSummary>& summaries);
