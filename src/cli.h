// The command line: options beside the dialogue, and the place where
// subcommands join the parser.  main only hands its arguments to runProgram.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console.h"
#include "letters.h"

namespace CLI {
class App;
}

// What a subcommand needs to do its work once the whole line is parsed.
struct CommandContext {
    Input& in;
    Output& out;  // standard output, checked, with its letter encoding set
    int threads;  // worker threads, at least 1
    std::vector<std::string> args = {};  // the whole command line, program name first
};

using Command = std::function<int(CommandContext&)>;

// What the command line asks for.
struct Invocation {
    int threads = 0;                    // 0: all hardware threads
    std::optional<Encoding> encoding;   // forced; otherwise chosen by the terminal
    Command command;                    // set by a subcommand; empty: the dialogue
};

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
