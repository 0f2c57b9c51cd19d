// Pictures of a study's results file: power curves (the share of series with
// p < alpha against one design factor, one line per statistic with a test)
// and the distribution of every statistic per condition (five quantiles and
// the mean as a box-and-whisker row).  The figures are built from the file's
// typed rows first, then drawn by gnuplot from a generated script.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "gnuplot.h"

// What both pictures take.
struct PlotCommonOptions {
    std::string results;                  // the results CSV
    std::string output;                   // .svg or .png
    std::string rows;                     // a factor (or "statistic") whose values make the grid's rows
    std::string columns;                  // and its columns
    std::vector<std::string> statistics;  // which statistics, in order; empty: all
    std::string size;                     // "WxH" in pixels; empty: as the figure needs
    int fontSize = 0;                     // points; 0: the format's own
    std::string title;                    // replaces the figure's title
    bool greek = true;                    // factor labels with their Greek letters
    double timeout = std::chrono::duration<double>(plot::kGnuplotTimeLimit).count();  // seconds gnuplot may take
    std::string gnuplot = "gnuplot";      // the engine's program
};

struct PlotPowerOptions : PlotCommonOptions {
    std::string x;                // design column on the x axis
    std::string facet;            // design column whose values lead the wrapped panels; may be empty
    std::optional<double> alpha;  // the runs' significance level, when given
};

struct PlotDistributionOptions : PlotCommonOptions {};

// Exit statuses: 0 drawn; 1 the engine is missing, failed or ran out of
// time, or the picture could not be written; 2 bad options or a bad results
// file; 130 interrupted.  Every failure writes one line naming the file to
// err, and leaves the output as it was.
//
// The power picture's alpha is the one the results' sidecar (RESULTS.json)
// records, when there is one; --alpha must then agree with it.  Without a
// sidecar it is --alpha, or 0.05.
int plotPower(const PlotPowerOptions& options, std::ostream& err);
int plotDistribution(const PlotDistributionOptions& options, std::ostream& err);
