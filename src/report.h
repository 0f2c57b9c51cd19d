// The report that ends every run: parameter echo and result table.
#pragma once

#include <vector>

#include "console.h"

struct ModelParameters {
    int nA = 0;
    int nB = 0;
    float fB1 = 0.0f;
    float fB2 = 0.0f;
    float fB3 = 0.0f;
    float fSA = 0.0f;
    float fSB = 0.0f;
    float fAR1 = 0.0f;
    float fMA1 = 0.0f;
};

// One statistic's row: its per-iteration values, running sum and, for a
// statistic with a test, its count of significant iterations.
struct StatisticRow {
    const char* format;  // printf format; the first six characters are the label
    std::vector<float> values;
    float sum = 0.0f;
    float significant = 0.0f;
    bool hasTest = true;
};

// Letter bytes of code page 437.
inline constexpr char kBeta = static_cast<char>(225);
inline constexpr char kTheta = static_cast<char>(233);
inline constexpr char kPhi = static_cast<char>(237);

// Sorts every row's values and writes the line ends that close the progress
// line, the parameter echo, the header and one line per row.
void writeReport(Output& out, int nSim, const ModelParameters& model,
                 std::vector<StatisticRow>& rows);
