// The statistics of observed AB cases, computed as a run computes them for a
// simulated series with the same points (seriesstatistics.h).
//
// What it promises
// - A case's estimates depend on its own points, the statistics and the
//   seed alone: never on the other cases or their order.
// - The first option's statistics are those of the run's routines on the
//   case's float series, PND and PNCD with the p-values a run's table of
//   the same lengths holds.
// - The method's statistics (SIM-d, SIM-r) come from one call of varden with
//   kVardenInnerSimulations inner simulations, drawn from a generator made
//   afresh for the case and seeded with the settings' seed.
// - Phase lengths are held to the runs' limits: 1 .. 1000 points per phase
//   for the first option's statistics, 1 .. 100 for the method's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "observeddata.h"
#include "results.h"
#include "runs.h"

struct AnalysisSettings {
    std::vector<Statistic> statistics = {};  // in the results' order
    std::uint32_t seed = kRunSeed;           // of the method's inner simulations
};

// What an analysis computes unless asked otherwise: every statistic of the
// first option, in table order.
std::vector<Statistic> defaultAnalysisStatistics();

// Why the case's phases are too long for one of the statistics; empty when
// they are not.
std::string caseLengthProblem(const ObservedCase& c, const std::vector<Statistic>& statistics);

// One case's estimates, in the order of settings.statistics.
CaseOutcome analyseCase(const ObservedCase& c, const AnalysisSettings& settings);

std::vector<CaseOutcome> analyseCases(const std::vector<ObservedCase>& cases, const AnalysisSettings& settings);
