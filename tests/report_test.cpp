// The table lines the report prints from a row's summary.
#include "report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A row of values 1 .. n in descending order, with its running sum and one
// significant iteration in three.
StatisticRow descending(Statistic statistic, int n) {
    StatisticRow r;
    r.statistic = statistic;
    for (int i = n; i >= 1; --i) {
        r.values.push_back(static_cast<float>(i));
        r.sum = r.sum + static_cast<float>(i);
    }
    if (statisticInfo(statistic).hasTest) {
        for (int i = 0; i < n; ++i) r.pValues.push_back(i % 3 == 0 ? 0.01f : 0.5f);
        r.significant = static_cast<float>((n + 2) / 3);
    }
    return r;
}

}  // namespace

TEST(Report, RowLinesWithAndWithoutTest) {
    StringOutput out;
    ModelParameters m;
    m.nA = m.nB = 4;
    writeReport(out, 100, m, {descending(Statistic::Pncd, 100), descending(Statistic::MpdR, 100)});
    const std::string& text = out.text();
    EXPECT_NE(text.find("\nPNCD  \t 50.50\t29.01\t0.34\t 1.00\t 25.00\t 50.00\t 75.00\t 100.00\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nMPD-r \t 50.50\t29.01\t*   \t 1.00\t 25.00\t 50.00\t 75.00\t 100.00\n"),
              std::string::npos)
        << text;
}
