// Pictures of a study's results file: power curves (the share of series with
// p < alpha against one design factor, one line per statistic with a test)
// and the distribution of every statistic per condition (five quantiles and
// the mean as a box-and-whisker row).  The figures are built from the file's
// typed rows first, then drawn by gnuplot from a generated script.
#pragma once

#include <optional>
#include <ostream>
#include <string>

struct PlotPowerOptions {
    std::string results;             // the results CSV
    std::string output;              // .svg or .png
    std::string x;                   // design column on the x axis
    std::string facet;               // design column whose values head the panel grid; may be empty
    std::optional<double> alpha;     // the runs' significance level, when given
    std::string gnuplot = "gnuplot"; // the engine's program
};

struct PlotDistributionOptions {
    std::string results;
    std::string output;
    std::string gnuplot = "gnuplot";
};

// Exit statuses: 0 drawn; 1 the engine is missing or failed, or the picture
// could not be written; 2 bad options or a bad results file.  Every failure
// writes one line naming the file to err, and leaves nothing at the output
// path.
//
// The power picture's alpha is the one the results' sidecar (RESULTS.json)
// records, when there is one; --alpha must then agree with it.  Without a
// sidecar it is --alpha, or 0.05.
int plotPower(const PlotPowerOptions& options, std::ostream& err);
int plotDistribution(const PlotDistributionOptions& options, std::ostream& err);
