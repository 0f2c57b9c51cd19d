// The `plot` command group: `plot power` and `plot distribution` on the
// command line, drawing a study's results file.
#pragma once

#include "command.h"

// Adds `power` and `distribution` to the group, each with its options; the
// chosen one becomes invocation.command.
void addPlotCommands(CLI::App& plot, Invocation& invocation);
