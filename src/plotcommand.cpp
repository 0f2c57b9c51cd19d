#include "plotcommand.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "plot.h"

void addPlotCommands(CLI::App& plot, Invocation& invocation) {
    // The settings outlive parsing: the command runs after it.
    auto power = std::make_shared<PlotPowerOptions>();
    CLI::App& powerCommand = *plot.add_subcommand(
        "power", "Power curves: the share of series with p < alpha against a design column");
    powerCommand.add_option("results", power->results, "Results CSV written by `zelkor grid run`")
        ->required()
        ->type_name("RESULTS.csv");
    powerCommand.add_option("--x", power->x, "Design column on the x axis (n_a, n_b, trend, level,\n"
                                             "slope, sd_a, sd_b, ar1, ma1)")
        ->required()
        ->type_name("COLUMN");
    powerCommand.add_option("--facet", power->facet,
                            "Design column whose values lead the panel grid\n"
                            "(default: every other column that varies, in file order)")
        ->type_name("COLUMN");
    powerCommand.add_option_function<double>(
                    "--alpha", [power](double a) { power->alpha = a; },
                    "The runs' significance level, for the dashed line\n"
                    "and the axis title (default: the one in RESULTS.csv.json,\n"
                    "else 0.05)")
        ->type_name("A");
    powerCommand.add_option("-o,--output", power->output, "Picture to write: .svg or .png")
        ->required()
        ->type_name("FILE");
    powerCommand.callback([&invocation, power] {
        invocation.command = [power](CommandContext&) { return plotPower(*power, std::cerr); };
    });

    auto distribution = std::make_shared<PlotDistributionOptions>();
    CLI::App& distributionCommand = *plot.add_subcommand(
        "distribution", "Quantiles and mean of every statistic per condition, as box-and-whisker rows");
    distributionCommand.add_option("results", distribution->results, "Results CSV written by `zelkor grid run`")
        ->required()
        ->type_name("RESULTS.csv");
    distributionCommand.add_option("-o,--output", distribution->output, "Picture to write: .svg or .png")
        ->required()
        ->type_name("FILE");
    distributionCommand.callback([&invocation, distribution] {
        invocation.command = [distribution](CommandContext&) {
            return plotDistribution(*distribution, std::cerr);
        };
    });
}
