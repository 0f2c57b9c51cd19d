// The table lines the report prints from a row's summary.
#include "report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test.h"

TEST(Report, RowLinesWithAndWithoutTest) {
    StringOutput out;
    ModelParameters m;
    m.nA = m.nB = 4;
    const std::vector<StatisticRow> rows = {descendingRow(Statistic::Pncd, 100), descendingRow(Statistic::MpdR, 100)};
    writeReport(out, 100, m, rows, {summarizeRow(rows[0]), summarizeRow(rows[1])});
    const std::string& text = out.text();
    EXPECT_NE(text.find("\nPNCD  \t 50.50\t29.01\t0.34\t 1.00\t 25.00\t 50.00\t 75.00\t 100.00\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nMPD-r \t 50.50\t29.01\t*   \t 1.00\t 25.00\t 50.00\t 75.00\t 100.00\n"),
              std::string::npos)
        << text;
}
