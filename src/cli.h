// The command line: options beside the dialogue, and the place where
// subcommands join the parser.  main only hands its arguments to runProgram.
#pragma once

#include <string>
#include <vector>

#include "command.h"

// Declares the program's options on app, bound to invocation, and registers
// the subcommands.
void configureParser(CLI::App& app, Invocation& invocation);

// The subcommands.  Each one adds itself here with app.add_subcommand,
// declares its own options and, from its callback, sets invocation.command;
// the global options stay valid after it (zelkor grid run --threads 4).
// The study runner comes as `grid` (expand, run, merge) and the plots as
// `plot` (power, distribution).
void registerSubcommands(CLI::App& app, Invocation& invocation);

// The outcome of parsing: either go on and run, or end at once with status
// after writing out (to standard output) and err (to standard error).
struct ParseResult {
    bool proceed = false;
    int status = 0;
    std::string out;
    std::string err;
};

// Parses the arguments after the program name.
ParseResult parseCommandLine(const std::vector<std::string>& args, Invocation& invocation);

// The whole program: parses argv, sets up standard output (checked; the
// letters in the encoding asked for or suited to the terminal) and runs the
// dialogue or the chosen subcommand.  Returns the exit status: 0, 1 after a
// failed write (reported on standard error) or 2 after a bad command line.
int runProgram(int argc, const char* const* argv);
