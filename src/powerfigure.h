// The power picture: the share of series with p < alpha against one design
// factor, one line per statistic with a test, one panel per combination of
// the other factors that vary; and the gnuplot script that draws it.
#pragma once

#include <string>
#include <vector>

#include "gnuplot.h"
#include "plotfigure.h"

namespace plot {

// What the power picture is asked for.
struct PowerRequest {
    std::string x;      // design column on the x axis
    std::string facet;  // design column whose values head the panel grid; may be empty
    double alpha = 0.05;
};

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

// Checks the request against the table and builds the figure.  Rows whose
// p_sig is NA (statistics without a test) are left out; rows of one statistic
// at the same point of the same panel (repeated conditions) are pooled,
// weighted by n_sim.  InputError for an unknown or absent column, or a file
// in which no statistic has a test.
PowerFigure buildPowerFigure(const ResultsTable& table, const PowerRequest& request);

std::string powerScript(const PowerFigure& figure, ImageFormat format, const std::string& picturePath);

}  // namespace plot
