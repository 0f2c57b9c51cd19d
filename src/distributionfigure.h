// The distribution picture: one panel per statistic (or per statistic and
// value of the factors --rows and --columns name), one box-and-whisker row
// per condition (five quantiles and the mean); and the gnuplot script that
// draws it (distributionscript.cpp).
#pragma once

#include <string>
#include <vector>

#include "gnuplot.h"
#include "plotfigure.h"
#include "plotscript.h"

namespace plot {

// What the distribution picture is asked for.  --rows and --columns name a
// design column or "statistic".
struct DistributionRequest {
    std::string rows;
    std::string columns;
    std::vector<std::string> statistics;  // the panels' statistics, in this order; empty: all, in the file's order
    bool greek = true;
    std::string title;  // replaces the figure's title when not empty
};

struct Spread {
    double q[5] = {};  // 0, 25, 50, 75 and 100 % quantiles
    double mean = 0.0;
};

struct DistributionPanel {
    std::string statistic;
    std::string title;            // the statistic, and the values of the grid's factors
    int row = 0;                  // its cell in the grid
    int column = 0;
    std::vector<int> rows;        // index into DistributionFigure::conditions, one per box
    std::vector<Spread> spreads;  // parallel to rows
    double scale = 1.0;           // the values are drawn divided by this (valueScale)
};

struct DistributionFigure {
    std::string title;
    std::vector<std::string> notes;
    std::vector<std::string> conditions;    // box-row labels from the factors that vary within panels, top to bottom
    std::vector<DistributionPanel> panels;  // in reading order, row by row
    bool nonFinite = false;  // some value is NaN or infinite and is not drawn
    int rows = 1;
    int columns = 1;
};

// The most box rows a panel holds and still prints legibly, and the
// largest side of a picture drawn at the size it needs.
inline constexpr int kMostBoxRows = 60;
inline constexpr int kLargestSide = 5000;

// The conditions in the order they first appear (by condition_id when the
// table has it, otherwise by their factors' values).  InputError for an
// absent column, a condition with two sets of design values, a second row
// of one statistic for a condition, an unknown --rows, --columns or
// --statistics name, two factors in --rows and --columns with more than one
// statistic, and panels of more than kMostBoxRows rows (naming the options
// that spread them).
DistributionFigure buildDistributionFigure(const ResultsTable& table, const DistributionRequest& request = {});

// An empty text when the figure fits the look's size (or, without one, stays
// within kLargestSide), else why not.
std::string distributionFitProblem(const DistributionFigure& figure, ImageFormat format, const Look& look);

std::string distributionScript(const DistributionFigure& figure, ImageFormat format,
                               const std::string& picturePath, const Look& look = {});

}  // namespace plot
