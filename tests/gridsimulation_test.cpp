// The study runner on the program's own runs: rows against the dialogue's
// tables, seeds that survive row order, sharding and thread counts, and the
// command line end to end.
#include "gridsimulation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "dialogue.h"
#include "runs.h"
#include "sidecar.h"
#include "test.h"

namespace {

namespace fs = std::filesystem;

const std::string kHeader = "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1\n";

class GridSimulationTest : public testing::Test, protected ScratchDirectory {
protected:
    // Runs the design into output; returns the exit status.
    int run(GridSimulation& simulation, RunOptions o) {
        err_.str("");
        return gridRun(o, simulation.runner(), err_);
    }

    RunOptions options(const std::string& design, const std::string& output) const {
        RunOptions o;
        o.design = path(design);
        o.output = path(output);
        return o;
    }

    std::ostringstream err_;
};

// The results file writes every NaN as NaN, whatever its sign bit: "-nan"
// and " nan" of a table both count as "nan".
std::string unsignedNaN(std::string text) {
    for (const char* signed_ : {"-nan", " nan"})
        for (auto at = text.find(signed_); at != std::string::npos; at = text.find(signed_)) text.replace(at, 4, "nan");
    return text;
}

// A results file's rows as the dialogue's table prints them.
std::string asTable(const std::string& results) {
    std::istringstream in(results);
    std::string line;
    std::getline(in, line);
    std::string table;
    char buf[200];
    while (std::getline(in, line)) {
        const std::vector<std::string> f = csvFields(line);
        const auto cell = [&](ResultColumn c) { return f[static_cast<std::size_t>(c)]; };
        const auto num = [&](ResultColumn c) { return std::strtod(cell(c).c_str(), nullptr); };
        using C = ResultColumn;
        const std::string name = cell(C::Statistic);
        if (cell(C::PSig) == "NA")
            std::snprintf(buf, sizeof buf, "%-6s\t% .2f\t%.2f\t*   \t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n",
                          name.c_str(), num(C::Mean), num(C::Sd), num(C::Q0), num(C::Q25), num(C::Q50), num(C::Q75),
                          num(C::Q100));
        else
            std::snprintf(buf, sizeof buf, "%-6s\t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n",
                          name.c_str(), num(C::Mean), num(C::Sd), num(C::PSig), num(C::Q0), num(C::Q25), num(C::Q50),
                          num(C::Q75), num(C::Q100));
        table += buf;
    }
    return table;
}

// The table rows of a dialogue session's reports, one after another.
std::string dialogueRows(const std::string& session) {
    StringInput in(session);
    StringOutput out;
    EXPECT_EQ(runDialogue(in, out, 2), 0);
    std::istringstream text(out.text());
    std::string line;
    std::string rows;
    bool inTable = false;
    while (std::getline(text, line)) {
        if (line.rfind("      \t MEAN", 0) == 0) {
            inTable = true;
        } else if (line.empty()) {
            inTable = false;
        } else if (inTable) {
            rows += line + "\n";
        }
    }
    return rows;
}

}  // namespace

TEST_F(GridSimulationTest, RowsRoundedAreTheDialoguesTables) {
    // Option 1 with an MA(1) error and with an AR(1) error at degenerate lengths;
    // option 2 small.
    write("design.csv", kHeader +
                            "1,1,10,10,0.1,1,0,1,1,0,0.4\n"
                            "2,1,1,5,0,0.5,0,1,1,-0.5,0\n"
                            "3,2,3,3,0.2,1,0,1,2,0.3,0\n");
    GridSimulation simulation(2);
    ASSERT_EQ(run(simulation, options("design.csv", "r.csv")), 0) << err_.str();
    const std::string results = read("r.csv");
    const std::string option1 = results.substr(0, results.find("\n3,2,") + 1);
    const std::string option2 = resultsHeader() + results.substr(results.find("\n3,2,") + 1);
    EXPECT_EQ(unsignedNaN(asTable(option1)),
              unsignedNaN(dialogueRows("1\n\n10 10 0.1 1 0 1 1 0 0.4\n\n1 5 0 0.5 0 1 1 -0.5\n")));
    EXPECT_EQ(unsignedNaN(asTable(option2)), unsignedNaN(dialogueRows("2\n\n3 3 0.2 1 0 1 2 0.3\n")));
    EXPECT_NE(results.find(",10000,7487,PL-Tau,"), std::string::npos);
    EXPECT_NE(results.find(",1000,7487,SIM-d,"), std::string::npos);
}

TEST_F(GridSimulationTest, PerConditionRowsIgnoreOrderShardsAndThreads) {
    const std::string rows[] = {"1,1,3,4,0,1,0,1,1,0,0\n", "2,1,5,5,0.1,0,0,1,1,0.3,0\n",
                                "3,2,2,3,0,1,0,1,1,0,0\n", "4,1,2,2,0,0,0,0,0,0,0\n"};
    write("design.csv", kHeader + rows[0] + rows[1] + rows[2] + rows[3]);
    write("shuffled.csv", kHeader + rows[3] + rows[1] + rows[0] + rows[2]);
    GridSimulation one(1);
    GridSimulation three(3);
    RunOptions o = options("design.csv", "a.csv");
    o.seedMode = SeedMode::PerCondition;
    o.seed = 99;
    o.replications = 40;
    o.perSeries = path("a-series.csv");
    ASSERT_EQ(run(one, o), 0) << err_.str();
    o.design = path("shuffled.csv");
    o.perSeries.clear();
    for (int k = 1; k <= 2; ++k) {
        o.output = path("part" + std::to_string(k) + ".csv");
        o.shard = k;
        o.shards = 2;
        ASSERT_EQ(run(three, o), 0) << err_.str();
    }
    ASSERT_EQ(gridMerge(MergeOptions{{path("part2.csv"), path("part1.csv")}, path("m.csv"), "merge"}, err_), 0)
        << err_.str();
    EXPECT_EQ(read("m.csv"), read("a.csv"));
    // Zero SDs: PL-Tau is NaN in every series, and counted, while its p-value is 0.
    const std::string a = read("a.csv");
    EXPECT_NE(a.find(",40," + std::to_string(conditionSeed(99, Condition{4, Option::EffectSizes, {2, 2, 0, 0, 0, 0, 0, 0, 0}})) +
                     ",PL-Tau,NaN,NaN,1,NaN,0,NaN,NaN,NaN,NaN,NaN,40,0\n"),
              std::string::npos)
        << a;
    EXPECT_NE(read("a-series.csv").find("\n4,PL-Tau,40,NaN,0\n"), std::string::npos);
}

TEST_F(GridSimulationTest, ResumedRunEqualsAnUninterruptedOne) {
    write("design.csv", kHeader + "1,1,3,4,0,1,0,1,1,0,0\n2,2,2,2,0,1,0,1,1,0,0\n3,1,8,8,0,1,0,1,1,0,0.2\n");
    GridSimulation simulation(2);
    RunOptions o = options("design.csv", "whole.csv");
    o.replications = 100;
    ASSERT_EQ(run(simulation, o), 0);
    // An interruption after the first condition and inside the second.
    const std::string whole = read("whole.csv");
    const std::size_t cut = whole.find("\n2,2,") + 30;
    o.output = path("r.csv");
    write("r.csv.partial", whole.substr(0, cut));
    Sidecar partial;
    std::string error;
    ASSERT_TRUE(parseSidecar(read("whole.csv.json"), partial, error));
    write("r.csv.partial.json", sidecarJson(partial));
    o.resume = true;
    ASSERT_EQ(run(simulation, o), 0) << err_.str();
    EXPECT_EQ(read("r.csv"), whole);
}

// A condition that leaves a normal deviate cached in the generator must not
// hand it to the next one: each condition draws as the dialogue's first run
// of its model from its seed, in any order, shard or resumed run.
TEST(GridSimulation, AConditionDoesNotDependOnTheConditionBefore) {
    Condition before{1, Option::EffectSizes, {}};
    const int replications = 3;
    for (int nB = 1; nB <= 4; ++nB) {
        before.model = modelOf(2, nB, 0, 0, 0, 1, 1, 0, 0);
        Simulator simulator(1);
        Rng rng;
        RunSettings settings;
        settings.iterations = replications;
        simulator.run(before.option, before.model, rng, settings, [] {});
        if (rng.use_last == 1) break;
        ASSERT_LT(nB, 4) << "no run found that leaves a cached deviate";
    }

    const Condition c{2, Option::EffectSizes, modelOf(5, 5, 0, 1, 0, 1, 1, 0, 0)};
    GridSimulation after(2);
    after.run(before, kRunSeed, replications, kAlpha);
    const ConditionOutcome second = after.run(c, kRunSeed, 20, kAlpha);
    GridSimulation alone(1);
    const ConditionOutcome first = alone.run(c, kRunSeed, 20, kAlpha);
    // The dialogue's first run of the model.
    Simulator simulator(1);
    Rng rng;
    RunSettings settings;
    settings.iterations = 20;
    const std::vector<StatisticRow> rows = simulator.run(c.option, c.model, rng, settings, [] {});
    ASSERT_EQ(second.statistics.size(), rows.size());
    for (std::size_t s = 0; s < rows.size(); ++s) {
        for (std::size_t i = 0; i < rows[s].values.size(); ++i) {
            EXPECT_BITS(second.statistics[s].values[i], rows[s].values[i]) << s << " " << i;
            EXPECT_BITS(first.statistics[s].values[i], rows[s].values[i]) << s << " " << i;
        }
    }
}

// The same at the level of files: with an odd count of series of odd
// length, condition 1 leaves a deviate cached; the shards merge to the
// serial run's bytes all the same.
TEST_F(GridSimulationTest, ShardsOfOddCountsMergeToTheSerialBytes) {
    write("design.csv", kHeader + "1,1,2,3,0,0,0,1,1,0,0\n2,1,5,5,0,1,0,1,1,0,0\n3,1,2,2,0,0,0,1,1,0,0\n");
    GridSimulation simulation(2);
    RunOptions o = options("design.csv", "all.csv");
    o.replications = 3;
    ASSERT_EQ(run(simulation, o), 0) << err_.str();
    o.shards = 2;
    for (o.shard = 1; o.shard <= 2; ++o.shard) {
        o.output = path("part" + std::to_string(o.shard) + ".csv");
        ASSERT_EQ(run(simulation, o), 0) << err_.str();
    }
    ASSERT_EQ(gridMerge(MergeOptions{{path("part1.csv"), path("part2.csv")}, path("m.csv"), "merge"}, err_), 0)
        << err_.str();
    EXPECT_EQ(read("m.csv"), read("all.csv"));
}

// The command line, as the README's guide uses it.
TEST_F(GridSimulationTest, CommandLineEndToEnd) {
    const std::string zelkor = ZELKOR_BINARY;
    ProgramRun last;
    const auto sh = [&](const std::vector<std::string>& args) {
        last = runBinary(args, "", Stdout::Capture, directory().string());
        return last.exited ? last.status : -1;
    };
    ASSERT_EQ(sh({"grid", "expand", "--option", "1", "--n-a", "3:5:2", "--n-b", "4", "--level", "0,1", "-o",
                  "design.csv"}),
              0);
    EXPECT_EQ(read("design.csv"),
              kHeader + "1,1,3,4,0,0,0,1,1,0,0\n2,1,3,4,0,1,0,1,1,0,0\n3,1,5,4,0,0,0,1,1,0,0\n"
                        "4,1,5,4,0,1,0,1,1,0,0\n");
    ASSERT_EQ(sh({"grid", "run", "design.csv", "--replications", "200", "--threads", "2", "-o", "all.csv"}), 0);
    for (int k = 1; k <= 2; ++k)
        ASSERT_EQ(sh({"grid", "run", "design.csv", "--replications", "200", "--shard", std::to_string(k) + "/2",
                      "--threads", "1", "-o", "part-" + std::to_string(k) + ".csv"}),
                  0);
    ASSERT_EQ(sh({"grid", "merge", "part-1.csv", "part-2.csv", "-o", "merged.csv"}), 0);
    EXPECT_EQ(read("merged.csv"), read("all.csv"));
    EXPECT_NE(read("part-2.csv.json").find("\"command_line\": \"" + zelkor + " grid run design.csv"),
              std::string::npos)
        << read("part-2.csv.json");

    // Input errors: status 2, with file, line and column.
    write("bad.csv", kHeader + "1,1,3,4,0,0,0,1,1,0,0\n1,1,3,4,0,0,0,1,1,0,0\n");
    EXPECT_EQ(sh({"grid", "run", "bad.csv", "-o", "x.csv"}), 2);
    EXPECT_EQ(last.err, "bad.csv:3:1: duplicate condition_id 1 (first on line 2)\n");
    EXPECT_EQ(sh({"grid", "merge", "part-1.csv", "-o", "x.csv"}), 2);
    EXPECT_NE(last.err.find("shard 2/2 is missing"), std::string::npos);
    EXPECT_EQ(sh({"grid", "run", "design.csv", "--shard", "3/2", "-o", "x.csv"}), 2);
    EXPECT_EQ(sh({"grid", "run", "design.csv", "--seed-mode", "random", "-o", "x.csv"}), 2);
    EXPECT_FALSE(fs::exists(path("x.csv")));
}

// --statistics: the named rows of each option, the same numbers as the
// table's rows, sharded and merged like any study; a design with an option
// the list leaves without a row is refused before anything runs.
TEST_F(GridSimulationTest, ChosenStatisticsAreTheTablesRowsAndMore) {
    const auto sh = [&](std::vector<std::string> args) {
        const ProgramRun r = runBinary(args, "", Stdout::Capture, directory().string());
        EXPECT_EQ(r.err.find("error"), std::string::npos) << r.err;
        return r;
    };
    write("design.csv", kHeader + "1,1,4,5,0,1,0,1,1,0,0\n2,2,4,4,0,1,0,1,1,0,0\n3,1,3,3,0,0,0,1,1,0,0\n");
    const std::vector<std::string> common = {"grid", "run", "design.csv", "--replications", "20", "--threads", "2"};
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = common;
        args.insert(args.end(), more.begin(), more.end());
        return sh(args);
    };
    ASSERT_EQ(with({"-o", "all.csv"}).status, 0);
    ASSERT_EQ(with({"--statistics", "NAP,PL-Tau,SIM-r,SMD", "-o", "chosen.csv"}).status, 0);

    // Rows by condition and statistic, without the design's columns.
    const auto rowsOf = [&](const std::string& file) {
        std::map<std::string, std::string> rows;
        std::vector<std::string> order;
        std::istringstream in(read(file));
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            const std::vector<std::string> f = csvFields(line);
            rows[f[0] + "/" + f[13]] = line.substr(line.find("," + f[13] + ","));
            order.push_back(f[0] + "/" + f[13]);
        }
        return std::make_pair(rows, order);
    };
    const auto [all, allOrder] = rowsOf("all.csv");
    const auto [chosen, order] = rowsOf("chosen.csv");
    EXPECT_EQ(order, (std::vector<std::string>{"1/NAP", "1/PL-Tau", "1/SMD", "2/SIM-r", "3/NAP", "3/PL-Tau", "3/SMD"}));
    for (const char* key : {"1/PL-Tau", "2/SIM-r", "3/PL-Tau"}) EXPECT_EQ(chosen.at(key), all.at(key)) << key;
    const std::string& smd = chosen.at("1/SMD");
    EXPECT_TRUE(smd.find(",NA,") != std::string::npos && smd.ends_with(",NA")) << "SMD has no test: " << smd;
    EXPECT_EQ(read("all.csv.json").find("\"statistics\""), std::string::npos) << "default sidecars as before";
    EXPECT_NE(read("chosen.csv.json").find("\"statistics\": [\n    \"NAP\",\n    \"PL-Tau\""), std::string::npos)
        << read("chosen.csv.json");

    for (const char* shard : {"1/2", "2/2"})
        ASSERT_EQ(with({"--statistics", "NAP,PL-Tau,SIM-r,SMD", "--shard", shard, "-o",
                        std::string("part-") + shard[0] + ".csv"})
                      .status,
                  0);
    ASSERT_EQ(sh({"grid", "merge", "part-1.csv", "part-2.csv", "-o", "merged.csv"}).status, 0);
    EXPECT_EQ(read("merged.csv"), read("chosen.csv"));
    ASSERT_EQ(with({"--shard", "2/2", "-o", "other-2.csv"}).status, 0);
    const ProgramRun mixed = runBinary({"grid", "merge", "part-1.csv", "other-2.csv", "-o", "x.csv"}, "",
                                       Stdout::Capture, directory().string());
    EXPECT_EQ(mixed.status, 2);
    EXPECT_NE(mixed.err.find("differ in statistics"), std::string::npos) << mixed.err;

    const ProgramRun none = runBinary({"grid", "run", "design.csv", "--statistics", "NAP", "-o", "x.csv"}, "",
                                      Stdout::Capture, directory().string());
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("--statistics names no statistic of option 2, which condition 2 runs"), std::string::npos)
        << none.err;
    const ProgramRun unknown = runBinary({"grid", "run", "design.csv", "--statistics", "NAP,XX", "-o", "x.csv"}, "",
                                         Stdout::Capture, directory().string());
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown statistic 'XX'"), std::string::npos) << unknown.err;
    EXPECT_FALSE(fs::exists(path("x.csv")));
}
