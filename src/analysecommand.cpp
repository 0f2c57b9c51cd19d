#include "analysecommand.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "analysis.h"
#include "atomicfile.h"
#include "boundedread.h"
#include "gridcommand.h"
#include "messagetext.h"
#include "outputpaths.h"
#include "sidecar.h"
#include "version.h"

namespace {

const char* const kWhere = "zelkor: analyse: ";
constexpr int kExitInput = 2;
constexpr int kExitFailure = 1;

// What the options ask for, checked.
struct AnalysePlan {
    PhaseLabels phases;
    AnalysisSettings settings;
};

int usage(std::ostream& err, const std::string& message) {
    err << kWhere << message << "\n";
    return kExitInput;
}

int planAnalysis(const AnalyseOptions& options, AnalysePlan& plan, std::ostream& err) {
    std::string error;
    if (!options.phases.empty() && !parsePhaseLabels(options.phases, plan.phases, error))
        return usage(err, "--phases: " + error);
    plan.settings.statistics = defaultAnalysisStatistics();
    if (!options.statistics.empty() && !parseStatisticList(options.statistics, plan.settings.statistics, error))
        return usage(err, "--statistics: " + error);
    plan.settings.seed = options.seed;
    const std::string clash = checkOutputPaths({{options.data, "the data"}},
                                               {{options.output, "the results file"},
                                                {options.output + ".json", "the sidecar"}});
    if (!clash.empty()) return usage(err, clash);
    return 0;
}

// The cases of the data file, every one fit for the statistics; 0, or 2
// after every problem (a few of them shown) with its file, line and case.
int readCases(const AnalyseOptions& options, const AnalysePlan& plan, std::vector<ObservedCase>& cases,
              std::ostream& err) {
    std::string text;
    std::string error;
    if (!readBoundedFile(options.data, kInputFileLimit, text, error))
        return usage(err, printableText(options.data) + ": " + error);
    ObservedData data = readObservedData(text, plan.phases);
    for (const ObservedCase& c : data.cases)
        if (const std::string why = caseLengthProblem(c, plan.settings.statistics); !why.empty())
            data.problems.push_back({c.line, c.name, why});
    if (data.problems.empty()) {
        cases = std::move(data.cases);
        return 0;
    }
    ErrorReport report(err);
    for (const DataProblem& p : data.problems)
        report.add(options.data + ":" + std::to_string(p.line) + ": " +
                   (p.caseName.empty() ? std::string() : "case " + quotedExcerpt(p.caseName) + ": ") + p.message);
    report.finish(options.data + ": ");
    return kExitInput;
}

// The results, then the sidecar, each written whole or not at all.
int writeResults(const AnalyseOptions& options, const AnalysePlan& plan, const std::vector<CaseOutcome>& outcomes,
                 std::ostream& err) {
    const std::vector<Statistic>& statistics = plan.settings.statistics;
    AnalysisSidecar sidecar{programVersion(), options.data, {}, plan.settings.seed, options.wide, options.commandLine};
    for (const Statistic s : statistics) sidecar.statistics.emplace_back(statisticInfo(s).label);
    const std::string text = options.wide ? analysisWideText(outcomes, statistics) : analysisLongText(outcomes, statistics);
    std::string error;
    if (!writeFileAtomically(options.output, text, error) ||
        !writeFileAtomically(options.output + ".json", analysisSidecarJson(sidecar), error)) {
        err << "zelkor: " << printableText(error) << "\n";
        return kExitFailure;
    }
    return 0;
}

}  // namespace

int analyse(const AnalyseOptions& options, std::ostream& err) {
    AnalysePlan plan;
    if (const int status = planAnalysis(options, plan, err)) return status;
    std::vector<ObservedCase> cases;
    if (const int status = readCases(options, plan, cases, err)) return status;
    return writeResults(options, plan, analyseCases(cases, plan.settings), err);
}

void addAnalyseCommand(CLI::App& app, Invocation& invocation) {
    auto options = std::make_shared<AnalyseOptions>();
    options->seed = kRunSeed;
    CLI::App& command = *app.add_subcommand(
        "analyse", "Compute the statistics of observed AB cases from a long CSV\n"
                   "(columns case, phase, value and optionally session)");
    command.fallthrough();
    command.add_option("data", options->data, "The observed data")->required()->type_name("DATA.csv");
    command.add_option("-o,--output", options->output, "Results CSV (and its sidecar FILE.json)")
        ->required()
        ->type_name("FILE");
    command.add_option("--phases", options->phases, "The labels of phase A and phase B in the data\n"
                                                    "(default A,B; letter case does not matter)")
        ->type_name("A_LABEL,B_LABEL");
    command.add_option("--statistics", options->statistics,
                       "The statistics, in this order (default: PL-Tau, Tau-U,\n"
                       "MPD-r, ECL, PND, PNCD, MPD-d, NAP, Tau-AB, PEM, SMD;\n"
                       "SIM-d and SIM-r run the simulation method)")
        ->type_name("LIST");
    command.add_option("--seed", options->seed, "Seed of the method's inner simulations, the same\n"
                                                "for every case (default 7487)")
        ->type_name("S");
    command.add_flag("--wide", options->wide, "One row per case instead of one per case and statistic");
    command.callback([&invocation, options] {
        invocation.command = [options](CommandContext& context) {
            AnalyseOptions o = *options;
            o.commandLine = shellCommandLine(context.args);
            return analyse(o, std::cerr);
        };
    });
}
