// A study's results file as the plots read it: a CSV with a header line,
// columns found by name, cells kept as text until a plot asks for a number.
#pragma once

#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plot {

// Bad input: the message already names the file and, where it can, the line
// and the column.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ResultsTable {
    std::string name;                             // as given, for messages
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;   // every row has header.size() cells
    std::vector<int> lines;                       // file line of each row, from 1

    // Index of the column, or -1 when the header has no such name.
    int column(std::string_view columnName) const;

    // The column's index; an InputError naming the file when it is absent.
    int requireColumn(std::string_view columnName, std::string_view purpose) const;

    // The cell as a number: nullopt for "NA" (or an empty cell), NaN for
    // "NaN", infinities for "Inf" and "-Inf" (any letter case, R's and C's
    // spellings), otherwise a decimal number; anything else is an InputError
    // naming file, line and column.
    std::optional<double> number(std::size_t row, int col) const;

    // "results.csv:4:15" for a cell, for messages.
    std::string where(std::size_t row, int col) const;
};

// Reads a CSV: comma separated, fields optionally in double quotes (a quote
// inside doubled), LF or CRLF line ends, blank lines ignored.  Errors (an
// empty file, a duplicate column name, a row with the wrong number of fields,
// an unterminated quote) are InputErrors naming the file.
ResultsTable readResultsTable(std::istream& in, const std::string& name);

// Parses one cell's text as ResultsTable::number does; false when it is not a
// number.
bool parseCell(std::string_view text, std::optional<double>& value);

// The value as the shortest text that reads back as the same float, the way
// the design and results files write their factors ("0.3", "10", "-1e-05");
// "NaN", "Inf" and "-Inf" for the others.
std::string factorText(double value);

}  // namespace plot
