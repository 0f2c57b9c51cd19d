// The study runner's subcommands on the command line: grid expand, grid run
// and grid merge.
#pragma once

#include <string>
#include <vector>

#include "command.h"

// Adds expand, run and merge to the `grid` command group; the chosen one
// becomes invocation.command.
void addGridCommands(CLI::App& grid, Invocation& invocation);

// The arguments as one line a shell reads back as the same arguments.
std::string shellCommandLine(const std::vector<std::string>& args);
