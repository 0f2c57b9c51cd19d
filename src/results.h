// The results of a study as text: one line per condition and statistic in
// long form, the per-series file, and the reading of results files back into
// whole conditions for resuming and merging.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "design.h"

// One statistic of one simulated condition: the report's numbers and every
// series' value and p-value in series order.
struct StatisticOutcome {
    std::string label;  // as the table prints it, without padding
    bool hasTest = true;
    double mean = 0.0;   // the running sum over n_sim, as the table divides it
    float se = 0.0f;
    double share = 0.0;  // significant series over n_sim (with a test)
    float quantiles[5] = {};
    std::vector<float> values;
    std::vector<float> pValues;  // empty without a test
};

struct ConditionOutcome {
    int nSim = 0;
    std::vector<StatisticOutcome> statistics;  // in the table's row order
};

// The labels an option's table prints, in row order.
using LabelsFn = std::function<std::vector<std::string>(Option)>;

inline constexpr int kResultColumnCount = 25;
inline constexpr int kStatisticColumn = 13;  // 0-based index of "statistic"

// A double or float as R reads it back: NaN, Inf, -Inf, or printf's %.*g.
std::string numberText(double value, int precision);

// A double as the shortest text that reads back as the same double (0.0584
// rather than 0.058400000000000001); NaN, Inf, -Inf as numberText writes them.
std::string shortestNumber(double value);

// The results header line, with its line end.
std::string resultsHeader();

// One line per statistic, each with its line end.  The mean and the share are
// the doubles the table rounds, written as their shortest exact text; floats
// get 9 significant digits (enough to read back the same float, and never a
// shorter decimal that would round to two places differently).
std::string resultLines(const Condition& c, std::uint32_t seed, const ConditionOutcome& outcome);

// The per-series file: one line per condition, statistic and series.
std::string perSeriesHeader();
std::string perSeriesLines(const Condition& c, const ConditionOutcome& outcome);

// A condition's lines as read from a results file.
struct ResultBlock {
    int id = 0;
    std::vector<std::string> lines;  // without line ends
    std::size_t end = 0;             // offset just past the block's last line end
};

struct ResultsReading {
    std::vector<ResultBlock> blocks;  // whole conditions, in file order
    bool tornTail = false;            // an incomplete condition or line was left at the end
    int errorLine = 0;                // 0: no error
    std::string error;
};

// Splits a results file into whole conditions.  The header must be exact;
// every line has the results' field count; a condition's lines follow each
// other and carry its option's labels in order.  An incomplete last
// condition (or a last line without a line end) is left out and flagged,
// anything else that does not fit is an error.
ResultsReading readResults(const std::string& text, const LabelsFn& labels);
