// Pictures of a study's results file: power curves (the share of series with
// p < alpha against one design factor, one line per statistic with a test)
// and the distribution of every statistic per condition (five quantiles and
// the mean as a box-and-whisker row).  The figures are built from the file
// first, then drawn by gnuplot from a generated script.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "gnuplot.h"
#include "resultstable.h"

struct PlotPowerOptions {
    std::string results;             // the results CSV
    std::string output;              // .svg or .png
    std::string x;                   // design column on the x axis
    std::string facet;               // design column whose values head the panel grid; may be empty
    double alpha = 0.05;             // the runs' significance level, for labels and a reference line
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
int plotPower(const PlotPowerOptions& options, std::ostream& err);
int plotDistribution(const PlotDistributionOptions& options, std::ostream& err);

namespace plot {

// Design columns a plot can put on an axis or split into panels, in the
// order of the design file.
extern const std::vector<std::string> kFactorColumns;

// "A phase length (n_a)" for "n_a".
std::string factorTitle(const std::string& column);

// ---- Power -----------------------------------------------------------------

struct PowerPoint {
    double x = 0.0;
    double share = 0.0;  // P(p < alpha)
    double mcse = 0.0;   // its Monte-Carlo standard error (0 when not given)
};

struct PowerLine {
    std::string statistic;
    int style = 0;  // index of the statistic among all the figure's lines, for colours
    std::vector<PowerPoint> points;  // ascending x
};

struct PowerPanel {
    std::string title;  // "level = 1, ar1 = 0.3"; empty when nothing else varies
    std::vector<PowerLine> lines;
};

struct PowerFigure {
    std::string title;
    std::vector<std::string> notes;  // lines under the title: the factors that stay the same, the series
    std::string xLabel;
    std::string yLabel;
    double alpha = 0.05;
    std::vector<std::string> statistics;  // every line's statistic, in the file's order
    std::vector<double> xValues;          // every x value, ascending
    std::vector<PowerPanel> panels;       // in reading order, row by row
    int rows = 1;
    int columns = 1;
};

// Validates the options against the table and builds the figure.  Rows whose
// p_sig is NA (statistics without a test) are left out; rows of one statistic
// at the same point of the same panel (repeated conditions) are pooled,
// weighted by n_sim.  InputError for an unknown or absent column, a bad cell,
// or a file in which no statistic has a test.
PowerFigure buildPowerFigure(const ResultsTable& table, const PlotPowerOptions& options);

std::string powerScript(const PowerFigure& figure, ImageFormat format, const std::string& picturePath);

// ---- Distribution ------------------------------------------------------------

struct Spread {
    double q[5] = {};  // 0, 25, 50, 75 and 100 % quantiles
    double mean = 0.0;
};

struct DistributionPanel {
    std::string statistic;
    std::vector<int> rows;        // index into DistributionFigure::conditions, one per box
    std::vector<Spread> spreads;  // parallel to rows
};

struct DistributionFigure {
    std::string title;
    std::vector<std::string> notes;
    std::vector<std::string> conditions;  // row labels from the factors that vary, top to bottom
    std::vector<DistributionPanel> panels;  // one per statistic, in the file's order
    bool nonFinite = false;  // some value is NaN or infinite and is not drawn
    int rows = 1;
    int columns = 1;
};

DistributionFigure buildDistributionFigure(const ResultsTable& table);

std::string distributionScript(const DistributionFigure& figure, ImageFormat format,
                               const std::string& picturePath);

}  // namespace plot
