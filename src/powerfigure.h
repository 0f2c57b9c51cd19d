// The power picture: the share of series with p < alpha against one design
// factor, one line per statistic with a test, one panel per combination of
// the other factors that vary, laid out as a grid of rows and columns when
// asked; and the gnuplot script that draws it (powerscript.cpp).
#pragma once

#include <string>
#include <vector>

#include "gnuplot.h"
#include "plotfigure.h"
#include "plotscript.h"

namespace plot {

// What the power picture is asked for.  Factors by their column names.
struct PowerRequest {
    std::string x;      // design column on the x axis
    std::string facet;  // design column whose values lead the wrapped panels; may be empty
    double alpha = 0.05;
    std::string rows;                     // design column whose values make the grid's rows; may be empty
    std::string columns;                  // and its columns
    std::vector<std::string> statistics;  // the lines, in this order; empty: every statistic with a test
    bool greek = true;                    // factor labels with their Greek letters
    std::string title;                    // replaces the figure's title when not empty
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
    std::string title;  // "level change = 1, AR(1) = 0.3"; empty when nothing else varies
    std::vector<PowerLine> lines;
    int row = 0;         // its cell in the grid
    int column = 0;
    bool typeI = false;  // every condition in it has no trend, level or slope: the share is a Type-I error rate
};

struct PowerFigure {
    std::string title;
    std::vector<std::string> notes;  // lines under the title: the factors that stay the same, the series
    std::string xLabel;
    double alpha = 0.05;
    std::vector<std::string> statistics;  // every line's statistic, in the order drawn
    std::vector<double> xValues;          // every x value, ascending
    std::vector<PowerPanel> panels;       // in reading order, row by row; a grid may leave cells empty
    int rows = 1;
    int columns = 1;
    bool greek = true;      // alpha written as the Greek letter
    double typeITop = 1.0;  // the top of the Type-I panels' y axis: at least 2 alpha, above every bar
};

// Checks the request against the table and builds the figure.  Rows whose
// p_sig is NA (statistics without a test) are left out; rows of one statistic
// at the same point of the same panel (repeated conditions) are pooled,
// weighted by n_sim.  InputError for an unknown or absent column, a factor
// named twice, a file in which no statistic has a test, an unknown
// statistic, and for --rows with --columns when another factor varies too.
PowerFigure buildPowerFigure(const ResultsTable& table, const PowerRequest& request);

// An empty text when the figure fits the look's size, else why not.
std::string powerFitProblem(const PowerFigure& figure, ImageFormat format, const Look& look);

std::string powerScript(const PowerFigure& figure, ImageFormat format, const std::string& picturePath,
                        const Look& look = {});

}  // namespace plot
