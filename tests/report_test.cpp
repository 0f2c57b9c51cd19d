// The report's own numbers and labels: summarizeRow on rows whose mean,
// spread, share and quantiles are known, and the table line it prints.
#include "report.h"

#include <gtest/gtest.h>

#include <cmath>
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

TEST(Report, LabelsAndTestsOfEveryStatistic) {
    const struct { Statistic s; const char* label; bool test; } expected[] = {
        {Statistic::PlTau, "PL-Tau", true}, {Statistic::TauU, "Tau-U", true},
        {Statistic::MpdR, "MPD-r", false},  {Statistic::Ecl, "ECL", false},
        {Statistic::Pnd, "PND", true},      {Statistic::Pncd, "PNCD", true},
        {Statistic::SimD, "SIM-d", true},   {Statistic::SimR, "SIM-r", true}};
    for (const auto& e : expected) {
        EXPECT_STREQ(statisticInfo(e.s).label, e.label);
        EXPECT_EQ(statisticInfo(e.s).hasTest, e.test) << e.label;
        EXPECT_LE(std::string(e.label).size(), 6u) << "labels fill a six-character column";
    }
}

TEST(Report, SummaryOfAKnownRow) {
    const StatisticRow r = descending(Statistic::Pnd, 100);
    const RowSummary s = summarizeRow(r);
    EXPECT_EQ(s.mean, 50.5);
    EXPECT_NEAR(s.se, 29.011492, 1e-5);  // sd of 1 .. 100
    EXPECT_EQ(s.share, 0.34);
    // The quantiles are the sorted values at 0, n/4 - 1, n/2 - 1, 3n/4 - 1, n - 1.
    const double q[5] = {1, 25, 50, 75, 100};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(s.quantiles[k], q[k]) << k;
    // The row itself is left in iteration order.
    EXPECT_EQ(r.values.front(), 100.0f);
}

TEST(Report, SummaryOfTinyRowsStaysInside) {
    const RowSummary one = summarizeRow(descending(Statistic::Ecl, 1));
    for (double q : one.quantiles) EXPECT_EQ(q, 1.0);
    const RowSummary three = summarizeRow(descending(Statistic::Ecl, 3));
    EXPECT_EQ(three.quantiles[1], 1.0);
    EXPECT_EQ(three.quantiles[2], 1.0);
    EXPECT_EQ(three.quantiles[4], 3.0);
    const RowSummary none = summarizeRow(StatisticRow{});
    EXPECT_TRUE(std::isnan(none.quantiles[0]));
}

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
