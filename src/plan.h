// zelkor plan: the shortest phase length whose rejection rate reaches a
// target (a power, or a bound on a Type-I rate) at a stated Monte-Carlo
// certainty, found by the planning search (powersearch.h) on the program's
// simulation (planevaluator.h).  It prints a short summary and, with an
// output file, writes every evaluated condition as a results file with its
// sidecar, as `grid run` writes them.
//
// The conditions of the results file are numbered 1, 2, ... by ascending
// searched length; each row is the row `grid run --seed-mode per-condition`
// writes for that condition at the same seed, alpha and series count.  The
// sidecar records the seed mode "per-condition" and, as replications, the
// cap: each row's n_sim is the count that condition was taken to.
//
// Exit statuses: 0 found; 3 the target reached already at --from; 4 not
// reached by --to; 5 undecidable at the cap; 6 monotonicity violated (see
// powersearch.h); 1 failure; 2 usage or input error.  The summary and the
// files are written for every outcome from 0 to 6.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "console.h"
#include "grid.h"
#include "runs.h"

inline constexpr double kDefaultPower = 0.8;
inline constexpr double kDefaultConfidence = 0.99;
inline constexpr int kDefaultMaxReplications = 100000;

struct PlanOptions {
    ExpandOptions factors;  // one value each; the searched length(s) not given; option 0: the statistic's
    std::string search = "n_b";  // n_b, n_a or both (n_a = n_b)
    int from = 0;
    int to = 0;
    std::string statistic = "PL-Tau";
    std::optional<double> power;          // --power; kDefaultPower without either
    std::optional<double> typeOneAtMost;  // --type-one-at-most
    double alpha = kAlpha;
    std::uint32_t seed = kRunSeed;
    double confidence = kDefaultConfidence;
    int maxReplications = kDefaultMaxReplications;
    std::string output;  // empty: no results file
    bool progress = false;  // a progress line on err (for a terminal)
    std::string commandLine;
};

// Runs the search with `threads` worker threads (<= 0: all hardware
// threads): the summary on out; messages and progress on err.
int runPlan(const PlanOptions& options, int threads, Output& out, std::ostream& err);
