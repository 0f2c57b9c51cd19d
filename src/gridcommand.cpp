#include "gridcommand.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <memory>

#include "grid.h"
#include "gridsimulation.h"
#include "memorybudget.h"

namespace {

// What the three subcommands read; lives as long as the parser's callbacks.
struct GridState {
    ExpandOptions expand;
    RunOptions run;
    MergeOptions merge;
    std::string shard;
    std::string seedMode = "fixed";
    std::string maxMemory;
    std::string statistics;
};

const CLI::Validator kStatisticList(
    [](std::string& text) -> std::string {
        std::vector<Statistic> list;
        std::string error;
        return parseStatisticList(text, list, error) ? std::string() : error;
    },
    "");

const CLI::Validator kShard(
    [](std::string& text) -> std::string {
        int k = 0;
        int n = 0;
        std::string error;
        return parseShard(text, k, n, error) ? std::string() : error;
    },
    "");

const CLI::Validator kMemorySize(
    [](std::string& text) -> std::string {
        std::uint64_t bytes = 0;
        return parseMemorySize(text, bytes) ? std::string()
                                            : "'" + text + "' is not a size such as 512M, 4G or 1.5T";
    },
    "");

}  // namespace

std::string shellCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty()) line += ' ';
        const bool plain = !arg.empty() && arg.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                                 "0123456789-_=+/.,:@%") == std::string::npos;
        if (plain) {
            line += arg;
            continue;
        }
        line += '\'';
        for (char c : arg) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

void addFactorOptions(CLI::App& command, ExpandOptions& e, FactorValues values) {
    const bool lists = values == FactorValues::Lists;
    CLI::Option* option = command.add_option("--option", e.option,
                                              lists ? "1 (effect sizes) or 2 (VARDEN)"
                                                    : "1 (effect sizes) or 2 (VARDEN) (default: the\n"
                                                      "option whose runs compute the statistic)");
    option->type_name("1|2")->check(CLI::IsMember({1, 2}).description(""));
    if (lists) option->required();
    struct Factor {
        const char* name;
        std::optional<std::string> ExpandOptions::*member;
        const char* list;    // what a list gives, and its default
        const char* single;  // what one value gives, and its default
    };
    static const Factor kFactors[] = {
        {"--n-a", &ExpandOptions::nA, "A phase lengths (required)", "A phase length (unless searched)"},
        {"--n-b", &ExpandOptions::nB, "B phase lengths (required)", "B phase length (unless searched)"},
        {"--trend", &ExpandOptions::trend, "Baseline trends (default 0)", "Baseline trend (default 0)"},
        {"--level", &ExpandOptions::level, "Level changes (default 0)", "Level change (default 0)"},
        {"--slope", &ExpandOptions::slope, "Slope changes (default 0)", "Slope change (default 0)"},
        {"--sd-a", &ExpandOptions::sdA, "A phase SDs (default 1)", "A phase SD (default 1)"},
        {"--sd-b", &ExpandOptions::sdB, "B phase SDs (default 1)", "B phase SD (default 1)"},
        {"--ar1", &ExpandOptions::ar1, "AR(1) coefficients (default 0)", "AR(1) coefficient (default 0)"},
        {"--ma1", &ExpandOptions::ma1, "MA(1) coefficients (default 0)", "MA(1) coefficient (default 0)"},
    };
    for (const Factor& f : kFactors) {
        std::optional<std::string>& target = e.*(f.member);
        command
            .add_option_function<std::string>(
                f.name, [&target](const std::string& v) { target = v; }, lists ? f.list : f.single)
            ->type_name(lists ? "LIST" : "X");
    }
}

void addGridCommands(CLI::App& grid, Invocation& invocation) {
    auto state = std::make_shared<GridState>();
    grid.fallthrough();  // --threads after the command's name

    // expand
    CLI::App* expand = grid.add_subcommand("expand", "Write a design CSV: every combination of the factors'\n"
                                                      "values (LIST: a,b,c or from:to[:step], inclusive,\n"
                                                      "step 1 when left out)");
    expand->fallthrough();
    addFactorOptions(*expand, state->expand, FactorValues::Lists);
    expand->add_option("-o,--output", state->expand.output, "Design file (default: standard output)")->type_name("FILE");
    expand->callback([&invocation, state] {
        invocation.command = [state](CommandContext& context) {
            return gridExpand(state->expand, context.out, std::cerr);
        };
    });

    // run
    CLI::App* run = grid.add_subcommand("run", "Simulate every condition of a design into a results CSV\n"
                                                "(and its sidecar FILE.json)");
    run->fallthrough();
    RunOptions& r = state->run;
    run->add_option("design", r.design, "Design CSV")->required()->type_name("DESIGN");
    run->add_option("-o,--output", r.output, "Results CSV")->required()->type_name("FILE");
    run->add_option("--shard", state->shard, "Run the K-th of N interleaved slices of the design's\n"
                                             "rows: rows i with i mod N = K - 1, counted from 0")
        ->type_name("K/N")
        ->check(kShard);
    run->add_option("--replications", r.replications,
                    "Series per condition (default: 10000 for option 1,\n1000 for option 2)")
        ->type_name("N")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()).description(""));
    run->add_option("--alpha", r.alpha, "A p-value below A counts as significant (0 < A < 1;\ndefault 0.05)")
        ->type_name("A");
    run->add_option("--seed-mode", state->seedMode,
                    "fixed: every condition from the seed (default 7487, as the\n"
                    "dialogue); per-condition: a seed hashed from --seed and the\n"
                    "condition's parameters")
        ->check(CLI::IsMember({"fixed", "per-condition"}).description(""))
        ->type_name("MODE");
    run->add_option("--seed", r.seed, "The fixed seed or the base of the hash (default 7487)")->type_name("S");
    run->add_option("--per-series", r.perSeries, "Also write every series' values and p-values to FILE")
        ->type_name("FILE");
    run->add_option("--statistics", state->statistics,
                    "The rows of each condition, in this order: the listed\n"
                    "statistics of its option (default: the option's table;\n"
                    "NAP, Tau-AB, PEM, SMD and MPD-d only when named)")
        ->type_name("LIST")
        ->check(kStatisticList);
    run->add_flag("--resume", r.resume, "Keep the finished conditions of an interrupted run and run the rest");
    run->add_option("--max-memory", state->maxMemory,
                    "Refuse a run whose per-series arrays need more than SIZE\n"
                    "(K, M, G, T; default: the machine's memory or ulimit -v)")
        ->type_name("SIZE")
        ->check(kMemorySize);
    run->callback([&invocation, state] {
        invocation.command = [state](CommandContext& context) {
            RunOptions options = state->run;
            std::string error;
            if (!state->shard.empty()) parseShard(state->shard, options.shard, options.shards, error);
            parseSeedMode(state->seedMode, options.seedMode);
            if (!state->maxMemory.empty()) parseMemorySize(state->maxMemory, options.maxMemory);
            if (!state->statistics.empty()) parseStatisticList(state->statistics, options.statistics, error);
            options.commandLine = shellCommandLine(context.args);
            options.progress = ::isatty(STDERR_FILENO) != 0;
            const std::vector<Statistic> chosen = options.statistics;
            GridSimulation simulation(context.threads,
                                      [chosen](Option option) { return chosenStatistics(chosen, option); });
            return gridRun(options, simulation.runner(), std::cerr);
        };
    });

    // merge
    CLI::App* merge = grid.add_subcommand("merge", "Merge the results of a design's shards into one CSV");
    merge->fallthrough();
    MergeOptions& m = state->merge;
    merge->add_option("parts", m.parts, "The shards' results CSVs")->required()->type_name("PART");
    merge->add_option("-o,--output", m.output, "Merged results CSV")->required()->type_name("FILE");
    merge->add_option("--design", m.design, "The design the parts were run from; every row is checked against it")
        ->type_name("FILE");
    merge->callback([&invocation, state] {
        invocation.command = [state](CommandContext& context) {
            MergeOptions options = state->merge;
            options.commandLine = shellCommandLine(context.args);
            return gridMerge(options, std::cerr);
        };
    });
}
