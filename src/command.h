// The seam between the command line and the command groups: what a command
// gets to do its work, and what parsing the command line asks for.  The host
// (cli) fills these; a command group (grid, plot) knows only this header.
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

// What a command needs to do its work once the whole line is parsed.
struct CommandContext {
    Input& in;
    Output& out;  // standard output, checked, with its letter encoding set
    int threads;  // worker threads, at least 1
    std::vector<std::string> args = {};  // the whole command line, program name first
};

// A command's work; returns the exit status.
using Command = std::function<int(CommandContext&)>;

// What the command line asks for.
struct Invocation {
    int threads = 0;                    // 0: all hardware threads
    std::optional<Encoding> encoding;   // forced; otherwise chosen by the terminal
    Command command;                    // set by a command; empty: the dialogue
};
