// The distribution picture: one panel per statistic, one box-and-whisker
// row per condition (five quantiles and the mean); and the gnuplot script
// that draws it.
#pragma once

#include <string>
#include <vector>

#include "gnuplot.h"
#include "plotfigure.h"

namespace plot {

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
    std::vector<std::string> conditions;    // row labels from the factors that vary, top to bottom
    std::vector<DistributionPanel> panels;  // one per statistic, in the file's order
    bool nonFinite = false;  // some value is NaN or infinite and is not drawn
    int rows = 1;
    int columns = 1;
};

// The conditions in the order they first appear (by condition_id when the
// table has it, otherwise by their factors' values).  InputError for an
// absent column, a condition with two sets of design values, or a second row
// of one statistic for a condition.
DistributionFigure buildDistributionFigure(const ResultsTable& table);

std::string distributionScript(const DistributionFigure& figure, ImageFormat format,
                               const std::string& picturePath);

}  // namespace plot
