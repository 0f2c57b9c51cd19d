// The console dialogue: banner, menu, option, and the endless cycle of runs.
#pragma once

#include "console.h"

// The phase lengths a run accepts: from 1 to this many points each.
inline constexpr int kMaxPhaseLength = 1000;

// The whole program on the given console; returns the exit status.  It ends
// after an invalid option, or when the input ends.  threads <= 0 uses all
// hardware threads.
int runDialogue(Input& in, Output& out, int threads = 0);
