#include "cli.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <unistd.h>

#include "analysecommand.h"
#include "checkedoutput.h"
#include "clihelp.h"
#include "dialogue.h"
#include "gridcommand.h"
#include "plancommand.h"
#include "plotcommand.h"
#include "runs.h"
#include "version.h"

namespace {

const std::map<std::string, Encoding> kEncodings = {{"cp437", Encoding::Cp437},
                                                    {"utf8", Encoding::Utf8}};

// A parser message as the one line of an error report.
std::string oneLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// A whole number from 1 up, in the range of int.
const CLI::Validator kThreadCount(
    [](std::string& text) -> std::string {
        int value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || error != std::errc() || stop != end || value < 1)
            return "expected a whole number from 1 up, not '" + text + "'";
        return {};
    },
    "");

// The program's name, texts and options, without the subcommands.
void configureGlobalOptions(CLI::App& app, Invocation& invocation) {
    app.name("zelkor");
    app.description(
        "Monte-Carlo study of single-case AB designs.  Without a command, runs the\n"
        "dialogue: reads the parameters of each run from standard input and writes\n"
        "its table to standard output.");
    app.footer("See zelkor(1) for the dialogue and the scripted input format.");
    // Commands take it over when they are added: their help lists these options too.
    app.formatter(helpFormatter());
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.set_version_flag("--version", std::string("zelkor ") + programVersion(),
                         "Print the name and version and exit");
    // Global options keep working after a subcommand's name.
    app.fallthrough();

    app.add_option("--threads", invocation.threads,
                   "Worker threads (default: all hardware threads;\n"
                   "1: sequential); the output is the same for every N")
        ->type_name("N")
        ->check(kThreadCount);

    app.add_option_function<std::string>(
           "--encoding",
           [&invocation](const std::string& name) { invocation.encoding = kEncodings.at(name); },
           "How the letters beta, phi and theta are written:\n"
           "cp437 (one byte each) or utf8 (default: utf8 on\n"
           "a terminal whose locale uses UTF-8, else cp437);\n"
           "plot labels leave their Greek letters out under cp437")
        ->type_name("NAME")
        ->check(CLI::IsMember({"cp437", "utf8"}).description(""));
}

// Most runs name no command, and the commands' options are most of the
// parser's building (a third of a millisecond).  A parser of the global
// options alone settles such a line; any other line (a command, an unknown
// word, a help, a version, an error) is left to the whole parser, which
// decides it as it always has.
bool parsedWithoutCommands(const std::vector<std::string>& args, Invocation& invocation) {
    CLI::App app;
    Invocation globalOnly;
    configureGlobalOptions(app, globalOnly);
    app.allow_extras();
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::Error&) {
        return false;
    }
    if (!app.remaining().empty()) return false;
    invocation = std::move(globalOnly);
    return true;
}

}  // namespace

void configureParser(CLI::App& app, Invocation& invocation) {
    configureGlobalOptions(app, invocation);
    registerSubcommands(app, invocation);
    app.require_subcommand(0, 1);
}

void registerSubcommands(CLI::App& app, Invocation& invocation) {
    // Each command group adds itself here.  A leaf command binds its options
    // to its own settings and, from its callback, sets invocation.command to
    // the work to run once parsing has succeeded.
    CLI::App& grid = *app.add_subcommand("grid", "Run a study: a design of many conditions, each one\n"
                                                 "simulated as the dialogue simulates a run");
    grid.require_subcommand(1);
    addGridCommands(grid, invocation);  // expand, run, merge
    CLI::App& plot = *app.add_subcommand("plot", "Draw a study's results file: power curves, distributions");
    plot.require_subcommand(1);
    addPlotCommands(plot, invocation);  // power, distribution
    addPlanCommand(app, invocation);
    addAnalyseCommand(app, invocation);
}

ParseResult parseCommandLine(const std::vector<std::string>& args, Invocation& invocation) {
    if (parsedWithoutCommands(args, invocation)) return ParseResult{true, 0, {}, {}};
    CLI::App app;
    configureParser(app, invocation);
    ParseResult result;
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        result.proceed = true;
        return result;
    } catch (const CLI::CallForVersion& e) {
        result.status = 0;
        result.out = std::string(e.what()) + "\n";
    } catch (const CLI::Success& e) {
        // --help, of the program or of the subcommand named before it.
        std::ostringstream out, err;
        result.status = app.exit(e, out, err);
        result.out = out.str();
    } catch (const CLI::ParseError& e) {
        // A misspelt option or command is named with what it may have been,
        // whatever the parser tripped over first.
        const std::string misplaced = misplacedWord(app, args);
        result.status = 2;
        result.err = "zelkor: " + (misplaced.empty() ? oneLine(e.what()) : misplaced) +
                     "\nRun with --help for more information.\n";
    }
    return result;
}

int runProgram(int argc, const char* const* argv) {
    CheckedFileOutput out(stdout, exitOnWriteError);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

    Invocation invocation;
    const ParseResult parsed = parseCommandLine(args, invocation);
    if (!parsed.proceed) {
        writeText(out, parsed.out);
        out.close();
        std::fputs(parsed.err.c_str(), stderr);
        return parsed.status;
    }

    out.setEncoding(invocation.encoding ? *invocation.encoding
                                        : encodingOfDescriptor(STDOUT_FILENO));
    FileInput in(stdin);
    const int threads = invocation.threads > 0 ? invocation.threads : defaultThreadCount();
    CommandContext context{in, out, threads, {argv, argv + argc}};
    const int status = invocation.command ? invocation.command(context)
                                          : runDialogue(in, out, threads, {}, &std::cerr);
    out.close();
    return status;
}
