// The study commands: expand a design, run every condition of a design (or
// of one shard of it) into a results file that is written condition by
// condition under a temporary name and can be resumed, and merge the shards'
// files.  The simulation itself is reached through a ConditionRunner, so
// that the file handling can be exercised without it.
//
// Exit statuses of the entry points: 0 success; 1 runtime failure (a file
// cannot be written or renamed, the simulation fails); 2 usage or input error
// (bad option value, unreadable or invalid design, results or sidecar file,
// an interrupted run that does not match, parts that cannot be merged).
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "console.h"
#include "designexpand.h"
#include "results.h"

// What simulates the conditions: the program's runs, or a stand-in in tests.
struct ConditionRunner {
    // One condition from the given seed: replications series, a series counts
    // as significant when its p-value is below alpha; the rows of the
    // condition's option in table order (defaultStatistics).
    std::function<ConditionOutcome(const Condition&, std::uint32_t seed, int replications, double alpha)> run;
};

inline constexpr int kExitFailure = 1;
inline constexpr int kExitInput = 2;

// ---- expand ------------------------------------------------------------------

struct ExpandOptions {
    int option = 0;  // 1 or 2
    // Factor specifications ("a,b,c", "from:to:step" or "from:to"); a factor without one
    // takes the dialogue's value (0, or 1 for the SDs).  n_a and n_b are required.
    std::optional<std::string> nA, nB, trend, level, slope, sdA, sdB, ar1, ma1;
    std::string output;  // empty: standard output
};

// Reads the factors' lists of options into f (option 1 or 2; n_a and n_b
// only when given, each length within the option's limits); false after a
// message "<where><option name>: <problem>" on err.
bool readFactorLists(const ExpandOptions& options, FactorLists& f, std::ostream& err, const char* where);

// Writes the design to options.output or to out.
int gridExpand(const ExpandOptions& options, Output& out, std::ostream& err);

// ---- run ---------------------------------------------------------------------

enum class SeedMode { Fixed, PerCondition };

struct RunOptions {
    std::string design;
    std::string output;
    int shard = 1;   // K of --shard K/N
    int shards = 1;  // N
    int replications = 0;  // 0: 10000 for option 1, 1000 for option 2
    double alpha = 0.05;
    SeedMode seedMode = SeedMode::Fixed;
    // Fixed mode: the seed of every condition.  Per-condition mode: the base
    // seed of the hash.
    std::uint32_t seed = kRunSeed;
    std::string perSeries;  // empty: no per-series file
    // --statistics: the rows of each option's conditions (chosenStatistics);
    // empty: each option's table.
    std::vector<Statistic> statistics;
    bool resume = false;
    // The most memory the run may need for its per-series arrays (0: what
    // the machine, ulimit -v or the control group allows).
    std::uint64_t maxMemory = 0;
    bool progress = false;  // a progress line on err (for a terminal)
    std::string commandLine;
};

int gridRun(const RunOptions& options, const ConditionRunner& runner, std::ostream& err);

// "K/N" with 1 <= K <= N; false with a message otherwise.
bool parseShard(const std::string& text, int& shard, int& shards, std::string& error);

// "fixed" or "per-condition".
bool parseSeedMode(const std::string& text, SeedMode& mode);

// One warning line on err per kind of model slip (modelcheck.h) among the
// conditions, naming how many and the first ids: "WHERE warning: |AR(1)| >= 1:
// ...; 3 conditions (4, 9, 12) run as given".
void warnModelSlips(const std::vector<Condition>& conditions, const std::string& where, std::ostream& err);

// ---- merge -------------------------------------------------------------------

struct MergeOptions {
    std::vector<std::string> parts;
    std::string output;
    std::string commandLine;
    std::string design;  // optional: the design the parts were run from, every row checked against it
};

int gridMerge(const MergeOptions& options, std::ostream& err);
