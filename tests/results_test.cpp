#include "results.h"
#include "sidecar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

const std::vector<std::string> kLabels1 = {"PL-Tau", "Tau-U", "MPD-r", "ECL", "PND", "PNCD"};
const std::vector<std::string> kLabels2 = {"SIM-d", "SIM-r"};

std::vector<std::string> labelsOf(Option option) {
    return option == Option::EffectSizes ? kLabels1 : kLabels2;
}

Condition varden(int id) {
    Condition c;
    c.id = id;
    c.option = Option::Varden;
    c.model = {3, 3, 0, 0.5f, 0, 1, 1, 0, 0};
    return c;
}

// Two statistics of four series: one with NaN and infinite values and p-values.
ConditionOutcome outcome() {
    ConditionOutcome o;
    o.nSim = 4;
    StatisticOutcome d;
    d.label = "SIM-d";
    d.mean = 0.1;
    d.se = 0.3f;
    d.share = 0.75;
    d.quantiles[0] = -std::numeric_limits<float>::infinity();
    d.quantiles[4] = std::numeric_limits<float>::quiet_NaN();
    d.values = {1.0f, NAN, INFINITY, -INFINITY};
    d.pValues = {0.01f, NAN, 0.5f, NAN};
    StatisticOutcome r = d;
    r.label = "SIM-r";
    r.hasTest = false;
    r.values = {0.5f, 0.25f, 0.125f, 1e-8f};
    r.pValues.clear();
    o.statistics = {d, r};
    return o;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (;;) {
        const auto comma = line.find(',', start);
        f.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return f;
        start = comma + 1;
    }
}

}  // namespace

TEST(ResultsText, NumbersAsRReadsThem) {
    EXPECT_EQ(numberText(std::nan(""), 17), "NaN");
    EXPECT_EQ(numberText(-std::nan(""), 9), "NaN");
    EXPECT_EQ(numberText(HUGE_VAL, 9), "Inf");
    EXPECT_EQ(numberText(-HUGE_VAL, 17), "-Inf");
    // The table's quotients read back exactly from 17 digits.
    for (double v : {5402.0f / 10000.0, 0.1, 1.0 / 3.0, -1e-300, 4931.0 / 10000.0}) {
        EXPECT_EQ(std::strtod(numberText(v, 17).c_str(), nullptr), v);
        EXPECT_EQ(std::strtod(shortestNumber(v).c_str(), nullptr), v);
    }
    EXPECT_EQ(shortestNumber(584.0 / 10000.0), "0.0584");
    EXPECT_EQ(shortestNumber(-std::nan("")), "NaN");
    EXPECT_EQ(shortestNumber(-HUGE_VAL), "-Inf");
    for (float v : {0.1f, 1e-38f, -3.3333333f})
        EXPECT_EQ(std::strtof(numberText(static_cast<double>(v), 9).c_str(), nullptr), v);
}

TEST(ResultsText, OneLinePerStatisticWithCountsAndNA) {
    const std::string text = resultLines(varden(12), 99, outcome());
    const auto nl = text.find('\n');
    ASSERT_NE(nl, std::string::npos);
    const std::vector<std::string> d = split(text.substr(0, nl));
    const std::vector<std::string> r = split(text.substr(nl + 1, text.size() - nl - 2));
    ASSERT_EQ(d.size(), static_cast<std::size_t>(kResultColumnCount));
    ASSERT_EQ(r.size(), static_cast<std::size_t>(kResultColumnCount));
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(d[0], "12");
    EXPECT_EQ(d[2], "3");
    EXPECT_EQ(d[5], "0.5");
    EXPECT_EQ(d[11], "4");
    EXPECT_EQ(d[12], "99");
    EXPECT_EQ(d[13], "SIM-d");
    EXPECT_EQ(d[14], "0.1");
    EXPECT_EQ(d[15], "0.300000012");
    EXPECT_EQ(d[16], "0.75");
    EXPECT_EQ(std::strtod(d[17].c_str(), nullptr), std::sqrt(0.75 * 0.25 / 4));
    EXPECT_EQ(d[18], "-Inf");
    EXPECT_EQ(d[22], "NaN");
    EXPECT_EQ(d[23], "3") << "NaN, Inf and -Inf values";
    EXPECT_EQ(d[24], "2") << "NaN p-values";
    EXPECT_EQ(r[13], "SIM-r");
    EXPECT_EQ(r[16], "NA");
    EXPECT_EQ(r[17], "NA");
    EXPECT_EQ(r[23], "0");
    EXPECT_EQ(r[24], "NA");
    EXPECT_EQ(split(resultsHeader().substr(0, resultsHeader().size() - 1)).size(),
              static_cast<std::size_t>(kResultColumnCount));
}

TEST(ResultsText, PerSeriesLines) {
    const std::string text = perSeriesLines(varden(3), outcome());
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
              "3,SIM-d,1,1,0.00999999978\n3,SIM-d,2,NaN,NaN\n");
    EXPECT_NE(text.find("3,SIM-r,4,9.99999994e-09,NA\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);
}

TEST(ResultsRead, WholeConditionsAndTornTails) {
    const std::string whole = resultsHeader() + resultLines(varden(2), 1, outcome()) +
                              resultLines(varden(5), 1, outcome());
    ResultsReading r = readResults(whole, labelsOf);
    EXPECT_EQ(r.errorLine, 0) << r.error;
    EXPECT_FALSE(r.tornTail);
    ASSERT_EQ(r.blocks.size(), 2u);
    EXPECT_EQ(r.blocks[1].id, 5);
    EXPECT_EQ(r.blocks[1].end, whole.size());
    EXPECT_EQ(r.blocks[0].lines.size(), 2u);

    // Every cut inside the second condition keeps the first and flags the rest.
    for (std::size_t cut = r.blocks[0].end + 1; cut < whole.size(); cut += 7) {
        const ResultsReading t = readResults(whole.substr(0, cut), labelsOf);
        EXPECT_EQ(t.errorLine, 0) << cut;
        EXPECT_TRUE(t.tornTail) << cut;
        ASSERT_EQ(t.blocks.size(), 1u) << cut;
    }
    // A header cut short is an empty file that was interrupted.
    const ResultsReading h = readResults(resultsHeader().substr(0, 20), labelsOf);
    EXPECT_EQ(h.errorLine, 0);
    EXPECT_TRUE(h.tornTail);
    EXPECT_TRUE(readResults("", labelsOf).blocks.empty());
}

TEST(ResultsRead, RejectsWhatNoRunWrites) {
    const std::string one = resultLines(varden(2), 1, outcome());
    const std::string firstLine = one.substr(0, one.find('\n') + 1);
    const std::string lines2 = resultLines(varden(1), 1, outcome());
    struct Case {
        std::string text;
        int line;
    };
    for (const Case& c : {Case{"x" + resultsHeader() + one, 1},
                          Case{resultsHeader() + one + lines2, 4},            // ids descend
                          Case{resultsHeader() + one + one, 4},               // repeated
                          Case{resultsHeader() + firstLine + lines2, 3},      // incomplete before another
                          Case{resultsHeader() + firstLine + firstLine, 3},   // a label out of place
                          Case{resultsHeader() + "2,2,3\n", 2}}) {
        const ResultsReading r = readResults(c.text, labelsOf);
        EXPECT_EQ(r.errorLine, c.line) << c.text;
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(Sidecar, RoundTripsWithAwkwardCommandLine) {
    Sidecar s;
    s.programVersion = "0.1";
    s.designHash = "0123456789abcdef";
    s.designConditions = 200;
    s.shard = 3;
    s.shards = 4;
    s.conditions = {3, 7, 11};
    s.seedMode = "per-condition";
    s.seed = 4294967295u;
    s.replications = 500;
    s.alpha = 0.1;
    s.perSeries = "series \"x\".csv";
    s.commandLine = "zelkor grid run 'a b.csv' -o \"r\\.csv\"\t\n\x01 \xce\xb2";
    const std::string json = sidecarJson(s);
    EXPECT_NE(json.find("\\u0001"), std::string::npos);
    EXPECT_NE(json.find("\"alpha\": 0.1,"), std::string::npos);
    Sidecar back;
    std::string error;
    ASSERT_TRUE(parseSidecar(json, back, error)) << error;
    EXPECT_EQ(back.commandLine, s.commandLine);
    EXPECT_EQ(back.perSeries, s.perSeries);
    EXPECT_EQ(back.conditions, s.conditions);
    EXPECT_EQ(back.seed, s.seed);
    EXPECT_EQ(back.alpha, 0.1);
    EXPECT_EQ(studyDifference(s, back), "");
    EXPECT_EQ(sidecarJson(back), json);

    s.replications = 0;
    s.conditions.clear();
    s.perSeries.clear();
    ASSERT_TRUE(parseSidecar(sidecarJson(s), back, error)) << error;
    EXPECT_EQ(back.replications, 0);
    EXPECT_TRUE(back.conditions.empty());
    EXPECT_TRUE(back.perSeries.empty());
}

TEST(Sidecar, NamesTheFirstDifferenceAndRejectsOtherFiles) {
    Sidecar a;
    a.seedMode = "fixed";
    Sidecar b = a;
    b.shard = 2;
    b.conditions = {4};
    b.commandLine = "other";
    EXPECT_EQ(studyDifference(a, b), "") << "shard, conditions and command line may differ";
    b.alpha = 0.01;
    EXPECT_EQ(studyDifference(a, b), "alpha");
    b.seed = 1;
    EXPECT_EQ(studyDifference(a, b), "seed");
    b.designHash = "x";
    EXPECT_EQ(studyDifference(a, b), "design_hash");

    Sidecar s;
    std::string error;
    for (const char* bad : {"", "[]", "{", "{\"format\": \"zelkor-grid-results\"}", "{\"format\": \"other\"}",
                            "{} x"})
        EXPECT_FALSE(parseSidecar(bad, s, error)) << bad;
    std::string json = sidecarJson(a);
    json.replace(json.find("\"seed\": 0"), 9, "\"seed\": -1");
    EXPECT_FALSE(parseSidecar(json, s, error));
    EXPECT_NE(error.find("seed"), std::string::npos) << error;
}
