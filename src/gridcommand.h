// The study runner's subcommands on the command line: grid expand, grid run
// and grid merge.
#pragma once

#include <string>
#include <vector>

#include "command.h"
#include "grid.h"

// Adds expand, run and merge to the `grid` command group; the chosen one
// becomes invocation.command.
void addGridCommands(CLI::App& grid, Invocation& invocation);

// How the design's factors are given: lists of values (grid expand) or one
// value each (plan).
enum class FactorValues { Lists, Single };

// The design's factors as options of a command: --option, --n-a, --n-b,
// --trend, --level, --slope, --sd-a, --sd-b, --ar1 and --ma1, read into e
// as given (--option is required with lists).
void addFactorOptions(CLI::App& command, ExpandOptions& e, FactorValues values);

// The arguments as one line a shell reads back as the same arguments.
std::string shellCommandLine(const std::vector<std::string>& args);
