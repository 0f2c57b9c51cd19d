// The `analyse` command: the statistics of observed AB cases read from a
// long CSV (observeddata.h), computed as the runs compute them
// (analysis.h), written as a results CSV with its sidecar FILE.json.
//
// Exit statuses: 0 success; 2 bad usage or input (an option's value, an
// output path that is an input or no regular file, a data file that cannot
// be read or holds problems, a case too long for a statistic), each problem
// named with its file, line and case, nothing written; 1 when a file cannot
// be written.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "command.h"

struct AnalyseOptions {
    std::string data;
    std::string output;
    std::string phases;      // "A_LABEL,B_LABEL"; empty: A,B
    std::string statistics;  // labels, comma-separated; empty: the first option's statistics
    std::uint32_t seed = 0;  // set from runs.h's kRunSeed by the parser
    bool wide = false;
    std::string commandLine;
};

int analyse(const AnalyseOptions& options, std::ostream& err);

// Adds `analyse` to the program's commands; when chosen it becomes
// invocation.command.
void addAnalyseCommand(CLI::App& app, Invocation& invocation);
