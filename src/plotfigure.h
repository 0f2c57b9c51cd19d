// What both pictures take from a results table the same way: the design's
// factors of each row, the values they take, the notes under a title, and
// the shape of a grid of panels.  Bad input is an InputError whose message
// names the file.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "resultstable.h"

namespace plot {

class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The design's factors in file order: every condition column but condition_id.
const std::vector<ResultColumn>& factorColumns();

const char* columnName(ResultColumn column);

// How a picture names a factor: "N_A", "baseline trend", "level change",
// "slope change", "SD of A", "SD of B", "AR(1)", "MA(1)", followed by its
// Greek letter (beta 1 to 3, phi, theta) when greek is set: "level change
// β₂".
std::string factorLabel(ResultColumn column, bool greek);

// The axis title of a factor: the label with a capital and, for the phase
// lengths, what they are: "N_A (length of phase A)", "Level change β₂".
std::string factorTitle(ResultColumn column, bool greek);

// The statistics --statistics names, in its order: each a label of
// statistic.h, once; with needTest, each one with a test.  InputError
// naming the file otherwise.
std::vector<std::string> chosenStatistics(const std::vector<std::string>& names, bool needTest,
                                          const std::string& file);

// The factor of that name; none for other names.
std::optional<ResultColumn> factorNamed(const std::string& name);

// A factor's value in a row, as the decimal the file writes for it.
double factorValue(const ResultRow& row, ResultColumn column);

// A factor's value as the design writes it ("0.3", "10", "-1e-05"; "NaN",
// "Inf", "-Inf"), for titles and labels.
std::string factorText(double value);

// "level = 1".
std::string assignment(const std::string& name, double value);

// A total order on factor values in which NaN equals NaN and comes last.
bool valueLess(double a, double b);
bool sameValue(double a, double b);

struct KeyLess {
    bool operator()(const std::vector<double>& a, const std::vector<double>& b) const;
};

// The values, ascending, each once.
std::vector<double> distinctValues(std::vector<double> values);

std::string join(const std::vector<std::string>& parts, const std::string& separator);

// Lines of notes naming the factors that take one value over the rows
// ("Same in every condition: n_b = 10, trend = 0"), broken between factors so
// that no line grows much wider than a panel row.
std::vector<std::string> fixedFactorLines(const std::vector<std::string>& names,
                                          const std::vector<std::vector<double>>& values,
                                          const std::vector<std::size_t>& which);

// "10000 series per condition" from the rows' n_sim, when the table has it.
std::string seriesNote(const ResultsTable& table, const std::vector<std::size_t>& rows);

// Rows and columns of a panel grid.  When the panels are every combination
// of the split factors (the first varying slowest), the columns are the
// combinations of the last factors, as many as keep them at most six wide,
// and the rows the combinations of the others, so that no row mixes values
// of a factor before them; otherwise the panels wrap into a near-square
// grid.
void layoutPanels(int panels, const std::vector<int>& valueCounts, int& rows, int& columns);

// The column's position, or an InputError naming the file and why it is needed.
void requireColumn(const ResultsTable& table, ResultColumn column, const std::string& purpose);

}  // namespace plot
