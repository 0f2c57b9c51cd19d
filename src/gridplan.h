// What a grid run is to do, settled before anything is written: the options
// checked, every file the run writes checked against the design and against
// each other (outputpaths.h), the whole design read and checked, the memory
// its per-series arrays need checked against what there is
// (memorybudget.h), this shard's conditions in ascending id order with their
// seeds and series counts, the sidecar that will describe the results, and
// the names of the files involved.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "grid.h"
#include "outputpaths.h"
#include "resultsread.h"
#include "sidecar.h"

struct RunPlan {
    RunOptions options;
    std::vector<Condition> part;  // this shard's conditions, ascending ids
    Sidecar sidecar;              // as this run writes it
    StatisticsOf statistics = defaultStatistics;  // the rows a condition of each option has

    // The files: results and sidecar written as .partial until the run is
    // complete, and the per-series file likewise.
    std::string partialPath;
    std::string partialSidecarPath;
    std::string sidecarPath;
    std::string seriesPartialPath;
    bool perSeries = false;

    int replicationsOf(const Condition& c) const;
    std::uint32_t seedOf(const Condition& c) const;

    // Every file the run writes, with its role for messages: the results,
    // its partial file, sidecar, partial sidecar and lock file, and the
    // per-series file with its partial and lock files.
    std::vector<NamedPath> outputs() const;
};

// Fills plan; 0, or the exit status after the messages on err.
int planRun(const RunOptions& options, RunPlan& plan, std::ostream& err);

// The name of a seed mode as sidecars record it.
const char* seedModeName(SeedMode mode);
