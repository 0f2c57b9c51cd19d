// Observed AB series read from a long CSV table, one row per measurement:
//
//     case,phase,value[,session]
//     S1,A,3
//     S1,B,7
//
// What it promises
// - The header names at least the columns case, phase and value (exact,
//   lower case), and may name session; other columns are passed over.  The
//   file is in the one CSV dialect (csv.h).
// - A case is the rows with its name, wherever they stand; cases come in the
//   order their first rows do.  Its time order is the session column's
//   (numbers, ascending; rows of one session are refused) or, without the
//   column, the file's.
// - Phases are the two labels given (by default A and B), matched without
//   regard to ASCII letter case.  In time order a case holds its A points,
//   then its B points, at least one of each; anything else is refused.
// - A value is read as strtof reads it, as the dialogue reads a number, and
//   must be finite; NA or an empty cell is a missing value, left out of the
//   series and counted.  Each phase needs at least one value.
// - Everything wrong is reported, each problem with its line (from 1) and,
//   where a row has one, its case; nothing is returned then.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "csv.h"

struct ObservedCase {
    std::string name;
    int line = 1;               // the line of its first row
    int nA = 0;                 // values of phase A
    int nB = 0;                 // values of phase B
    int nMissing = 0;           // NA or empty values of either phase, left out
    std::vector<float> values;  // nA values of A, then nB of B, in time order
};

// The labels of the two phases in the file.
struct PhaseLabels {
    std::string a = "A";
    std::string b = "B";
};

struct DataProblem {
    int line = 1;
    std::string caseName;  // empty where the problem is no case's
    std::string message;
};

struct ObservedData {
    std::vector<ObservedCase> cases;     // empty when there are problems
    std::vector<DataProblem> problems;   // in line order
};

ObservedData readObservedData(std::string_view text, const PhaseLabels& labels = {}, CsvLimits limits = {});

// "A,B" or "baseline,intervention" as two labels: two non-empty texts that
// differ without regard to letter case.  False with a message otherwise.
bool parsePhaseLabels(std::string_view text, PhaseLabels& labels, std::string& error);
