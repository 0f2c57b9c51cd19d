// A results file as the plots read it: typed rows of whichever results
// columns its header names, in any order (a file cut down in R, or written
// by hand, will do); other columns are passed over.  Files of results
// format version 1 read too (their "se" as sd), and a first column without
// a name (the row names of R's write.csv) is passed over.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results.h"

struct ResultsTable {
    std::string name;              // the file as given, for messages
    std::vector<ResultRow> rows;   // columns the header lacks keep ResultRow's defaults
    std::vector<int> lines;        // the file line of each row, from 1
    std::vector<bool> present;     // for each ResultColumn: whether the header has it

    bool has(ResultColumn column) const { return present[static_cast<std::size_t>(column)]; }
};

// Reads the table from text.  False with one message that names the file
// and, where it can, the line and column ("r.csv:4:15: ..."): an empty file,
// a column named twice or without a name, a row with another number of
// fields than the header, a cell that is not its column's kind of value.
bool readResultsTable(std::string_view text, const std::string& name, ResultsTable& table, std::string& error,
                      CsvLimits limits = {});
