// The console dialogue: banner, menu, option, and the endless cycle of runs.
#pragma once

#include "console.h"

#include <functional>
#include <vector>

#include "runs.h"

// The phase lengths a run accepts: from 1 to this many points each.  The
// work of a run grows with the square of the lengths (option 2: of every
// bootstrap replicate), and these keep a run within minutes.
inline constexpr int kMaxPhaseLengthEffectSizes = 1000;
inline constexpr int kMaxPhaseLengthVarden = 100;

int maxPhaseLength(Option option);

// What performs one run in place of the dialogue's own Simulator: a stand-in
// where only the dialogue is under test.
using RunFn = std::function<std::vector<StatisticRow>(Option, const ModelParameters&, Rng&, int,
                                                      const ProgressFn&)>;

// The whole program on the given console; returns the exit status.  It ends
// after an invalid option, or when the input ends.  threads <= 0 uses all
// hardware threads.  Without a stand-in the dialogue keeps one Simulator, its
// threads and workspaces, for all of its runs.
int runDialogue(Input& in, Output& out, int threads = 0, const RunFn& run = {});
