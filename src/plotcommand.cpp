#include "plotcommand.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "plot.h"

namespace {

// The options both pictures take, after the results file.
void addCommonOptions(CLI::App& command, PlotCommonOptions& o, const char* rowsHelp, const char* columnsHelp,
                      const char* statisticsHelp) {
    command.add_option("-o,--output", o.output, "Picture to write: .svg or .png")->required()->type_name("FILE");
    command.add_option("--rows", o.rows, rowsHelp)->type_name("FACTOR");
    command.add_option("--columns", o.columns, columnsHelp)->type_name("FACTOR");
    command.add_option("--statistics", o.statistics, statisticsHelp)->delimiter(',')->type_name("LIST");
    command.add_option("--size", o.size, "Picture size in pixels, for example 1600x1000\n"
                                         "(default: as large as the panels need)")
        ->type_name("WxH");
    command.add_option("--font-size", o.fontSize, "Font size in points (default: 13 for SVG, 10 for PNG)")
        ->type_name("PT");
    command.add_option("--title", o.title, "The picture's title (default: what it shows)")->type_name("TEXT");
    command.add_option("--timeout", o.timeout, "Seconds gnuplot may take before it is stopped\n(default: 60)")
        ->type_name("SECONDS");
}

// Letters as the command line's --encoding asks: spelled out for cp437.
bool greekLetters(const Invocation& invocation) { return invocation.encoding != Encoding::Cp437; }

}  // namespace

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
                            "Design column whose values lead the wrapped panels\n"
                            "(default: every other column that varies, in file order)")
        ->type_name("COLUMN");
    powerCommand.add_option_function<double>(
                    "--alpha", [power](double a) { power->alpha = a; },
                    "The runs' significance level, for the dashed line\n"
                    "and the axis title (default: the one in RESULTS.csv.json,\n"
                    "else 0.05)")
        ->type_name("A");
    addCommonOptions(powerCommand, *power,
                     "Design column whose values make the rows of panels\n"
                     "(without --columns, the other varying columns make the columns)",
                     "Design column whose values make the columns of panels\n"
                     "(without --rows, the other varying columns make the rows)",
                     "Statistics with a test to draw, in this order,\n"
                     "comma-separated: PL-Tau,Tau-U,PND (default: all)");
    powerCommand.callback([&invocation, power] {
        invocation.command = [&invocation, power](CommandContext&) {
            power->greek = greekLetters(invocation);
            return plotPower(*power, std::cerr);
        };
    });

    auto distribution = std::make_shared<PlotDistributionOptions>();
    CLI::App& distributionCommand = *plot.add_subcommand(
        "distribution", "Quantiles and mean of every statistic per condition, as box-and-whisker rows");
    distributionCommand.add_option("results", distribution->results, "Results CSV written by `zelkor grid run`")
        ->required()
        ->type_name("RESULTS.csv");
    addCommonOptions(distributionCommand, *distribution,
                     "Design column, or statistic, whose values make the rows\n"
                     "of panels (the other side is statistic unless named)",
                     "Design column, or statistic, whose values make the\n"
                     "columns of panels",
                     "Statistics to draw, in this order, comma-separated:\n"
                     "PL-Tau,PND (default: all in the file)");
    distributionCommand.callback([&invocation, distribution] {
        invocation.command = [&invocation, distribution](CommandContext&) {
            distribution->greek = greekLetters(invocation);
            return plotDistribution(*distribution, std::cerr);
        };
    });
}
