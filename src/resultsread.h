// A results file read back by whole conditions, as resuming an interrupted
// run and merging the parts of a study need it: the header exact, every
// condition's rows together, in ascending condition order, with its
// option's statistics in order.  A last condition or line cut short by an
// interruption is told apart from a file that is wrong.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results.h"

// The statistics whose rows a condition of each option holds, in order.
using StatisticsOf = std::function<std::vector<Statistic>(Option)>;

struct ResultBlock {
    std::vector<ResultRow> rows;  // one condition's rows; they agree in condition, n_sim and seed
    std::vector<int> lines;       // the line each row starts on
    std::size_t end = 0;          // offset just past its last line end
    int id() const { return rows.front().condition.id; }
};

struct ResultsReading {
    int formatVersion = kResultsFormatVersion;  // as the header tells (resultsFormatOf)
    std::vector<ResultBlock> blocks;   // whole conditions, in file order
    std::size_t headerEnd = 0;         // offset just past the header line; 0 when there is none
    bool tornTail = false;             // an incomplete condition or line was left out at the end
    std::optional<TableProblem> error;  // where the file stops being a results file
};

// Splits a results file of any version read into whole conditions, in the
// columns its header's version has.  An incomplete last
// condition, a last line without its line end and a header cut short are
// left out and flagged; anything else that does not fit is an error.
ResultsReading readResults(std::string_view text, const StatisticsOf& statistics = defaultStatistics,
                           CsvLimits limits = {});

// The length of an interrupted per-series file's beginning that holds its
// header and exactly every series of the kept conditions, in order: that
// much is kept when a run resumes.  False with a message when the file does
// not hold them.  A file without a whole header keeps nothing, which is
// right only when no condition is kept.
bool keptSeries(std::string_view text, const std::vector<ResultBlock>& kept, std::size_t& keep,
                std::string& error, CsvLimits limits = {});
