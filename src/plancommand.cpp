#include "plancommand.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <iostream>
#include <limits>
#include <memory>

#include "gridcommand.h"
#include "plan.h"

void addPlanCommand(CLI::App& app, Invocation& invocation) {
    // The settings outlive parsing: the command runs after it.
    auto o = std::make_shared<PlanOptions>();
    CLI::App& plan = *app.add_subcommand(
        "plan", "Find the shortest phase length whose rejection rate reaches a\n"
                "target power (or stays under a Type-I bound), at a stated\n"
                "Monte-Carlo certainty; the factors take one value each");
    plan.fallthrough();  // --threads after the command's name
    addFactorOptions(plan, o->factors, FactorValues::Single);
    const auto wholeFromOne = CLI::Range(1, std::numeric_limits<int>::max()).description("");
    plan.add_option("--search", o->search, "The searched length: n_b (default), n_a, or both\n(n_a = n_b)")
        ->type_name("FACTOR")
        ->check(CLI::IsMember({"n_b", "n_a", "both"}).description(""));
    plan.add_option("--from", o->from, "The shortest length of the range")->required()->type_name("N")->check(wholeFromOne);
    plan.add_option("--to", o->to, "The longest length of the range")->required()->type_name("N")->check(wholeFromOne);
    plan.add_option("--statistic", o->statistic, "Any statistic with a test, by its label (default\nPL-Tau)")
        ->type_name("LABEL");
    CLI::Option* power = plan.add_option_function<double>(
                                 "--power", [o](double p) { o->power = p; },
                                 "Target: the rejection rate is at least P (default 0.8)")
                             ->type_name("P");
    plan.add_option_function<double>(
            "--type-one-at-most", [o](double b) { o->typeOneAtMost = b; },
            "Target instead: the rejection rate is at most B (a Type-I\nerror rate, under a model without effect)")
        ->type_name("B")
        ->excludes(power);
    plan.add_option("--alpha", o->alpha, "A p-value below A counts as a rejection (default 0.05)")->type_name("A");
    plan.add_option("--seed", o->seed, "The base of the per-condition seeds (default 7487)")->type_name("S");
    plan.add_option("--confidence", o->confidence,
                    "The posterior probability that a length's side of the\n"
                    "target is right before it is judged (default 0.99)")
        ->type_name("C");
    plan.add_option("--max-replications", o->maxReplications, "The most series for one length (default 100000)")
        ->type_name("N")
        ->check(wholeFromOne);
    plan.add_option("-o,--output", o->output, "Also write every evaluated condition to a results CSV\n"
                                               "(and its sidecar FILE.json)")
        ->type_name("FILE");
    plan.callback([&invocation, o] {
        invocation.command = [o](CommandContext& context) {
            PlanOptions options = *o;
            options.commandLine = shellCommandLine(context.args);
            options.progress = ::isatty(STDERR_FILENO) != 0;
            return runPlan(options, context.threads, context.out, std::cerr);
        };
    });
}
