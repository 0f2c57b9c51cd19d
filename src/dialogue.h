// The console dialogue: banner, menu, option, and the endless cycle of runs.
#pragma once

#include "console.h"

#include <functional>
#include <iosfwd>
#include <vector>

#include "runs.h"

// What performs one run in place of the dialogue's own Simulator: a stand-in
// where only the dialogue is under test.
using RunFn = std::function<std::vector<StatisticRow>(Option, const ModelParameters&, Rng&, int,
                                                      const ProgressFn&)>;

// The whole program on the given console; returns the exit status.  It ends
// after an invalid option, or when the input ends.  threads <= 0 uses all
// hardware threads.  Without a stand-in the dialogue keeps one Simulator, its
// threads and workspaces, for all of its runs.  The dialogue keeps its own
// copy of the stand-in.  When a run's entries are not each one number (a
// decimal comma, a word), a one-line note (entrynote.h) goes to notes.
int runDialogue(Input& in, Output& out, int threads = 0, RunFn run = {}, std::ostream* notes = nullptr);
