// The study runner's files with a stand-in simulation: order, shards, seeds,
// resuming after an interruption, merging and its refusals.
#include "grid.h"
#include "resultsread.h"
#include "sidecar.h"
#include "version.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "test.h"

namespace {

namespace fs = std::filesystem;

// Numbers that depend on the seed and the parameters only, never on the id.
ConditionOutcome fakeOutcome(const Condition& c, std::uint32_t seed, int replications, double alpha) {
    ConditionOutcome o;
    o.nSim = replications;
    const std::vector<Statistic> statistics = defaultStatistics(c.option);
    for (std::size_t s = 0; s < statistics.size(); ++s) {
        StatisticOutcome st;
        st.statistic = statistics[s];
        const bool hasTest = statisticInfo(statistics[s]).hasTest;
        double sum = 0;
        int significant = 0;
        for (int i = 0; i < replications; ++i) {
            const float v = static_cast<float>(static_cast<double>(seed % 997) * 1e-3 + c.model.nA * 0.01 +
                                               static_cast<double>(c.model.fB2) + static_cast<double>(s) +
                                               i * 1e-4);
            st.values.push_back(i == 1 && c.model.nA % 2 == 1 ? NAN : v);
            sum += static_cast<double>(v);
            if (hasTest) {
                const float p = static_cast<float>((seed + 7u * static_cast<unsigned>(i) + s) % 101u) / 100.0f;
                st.pValues.push_back(i == 2 ? NAN : p);
                if (static_cast<double>(p) < alpha) ++significant;
            }
        }
        st.summary.mean = sum / replications;
        st.summary.sd = static_cast<float>(seed % 13) / 7.0f;
        st.summary.share = static_cast<double>(significant) / replications;
        std::vector<float> sorted = st.values;
        std::sort(sorted.begin(), sorted.end());
        for (int q = 0; q < 5; ++q)
            st.summary.quantiles[q] = sorted[static_cast<std::size_t>(q * (replications - 1) / 4)];
        o.statistics.push_back(st);
    }
    return o;
}

// The stand-in simulation, recording which conditions it ran; it fails at one
// condition when asked to, like a process killed there.
struct Fake {
    std::vector<int> ran;
    int failAt = 0;

    ConditionRunner runner() {
        return ConditionRunner{[this](const Condition& c, std::uint32_t seed, int replications, double alpha) {
            if (c.id == failAt) throw std::runtime_error("stopped");
            ran.push_back(c.id);
            return fakeOutcome(c, seed, replications, alpha);
        }};
    }
};

class Grid : public testing::Test, protected ScratchDirectory {
protected:
    RunOptions options(const std::string& design, const std::string& output) const {
        RunOptions o;
        o.design = path(design);
        o.output = path(output);
        o.replications = 8;
        o.commandLine = "zelkor grid run " + design + " -o " + output;
        return o;
    }

    int run(const RunOptions& o, Fake& fake) {
        err_.str("");
        return gridRun(o, fake.runner(), err_);
    }

    int run(const RunOptions& o) {
        Fake fake;
        return run(o, fake);
    }

    int merge(const std::vector<std::string>& parts, const std::string& output) {
        MergeOptions m;
        for (const std::string& p : parts) m.parts.push_back(path(p));
        m.output = path(output);
        m.design = designFile_;
        m.commandLine = "zelkor grid merge";
        err_.str("");
        return gridMerge(m, err_);
    }

    std::string err() const { return err_.str(); }

    std::ostringstream err_;
    std::string designFile_;  // --design of merge
};

const std::string kHeader = "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1\n";

// Seven conditions of both options, out of id order.
const std::string kDesign = kHeader +
                            "5,1,3,4,0,1,0,1,1,0,0\n"
                            "1,1,4,4,0,0,0,1,1,0.3,0\n"
                            "4,2,3,3,0,0.5,0,1,1,0,0\n"
                            "2,1,5,6,0.1,0,0,1,1,0,0.4\n"
                            "3,1,6,5,0,2,0,1,1,0,0\n"
                            "7,2,2,4,0,0,0.2,1,2,0,0\n"
                            "6,1,9,9,0,0,0,1,1,0,0\n";

Sidecar sidecarOf(const std::string& text) {
    Sidecar s;
    std::string error;
    EXPECT_TRUE(parseSidecar(text, s, error)) << error;
    return s;
}

// The result lines of every condition, by id.
std::map<int, std::string> byCondition(const std::string& results) {
    std::map<int, std::string> lines;
    std::istringstream in(results);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) lines[std::stoi(line)] += line + "\n";
    return lines;
}

// Lines without their leading condition ids.
std::string withoutIds(const std::string& lines) {
    std::istringstream in(lines);
    std::string line;
    std::string rest;
    while (std::getline(in, line)) rest += line.substr(line.find(',')) + "\n";
    return rest;
}

// The text with column `column` (from 0) of every row of condition id set to value.
std::string withCell(const std::string& text, int id, std::size_t column, const std::string& value) {
    std::istringstream in(text);
    std::string out;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields = csvFields(line);
        if (out.empty() || std::stoi(fields[0]) != id) {
            out += line + "\n";
            continue;
        }
        fields[column] = value;
        for (std::size_t k = 0; k < fields.size(); ++k) out += (k > 0 ? "," : "") + fields[k];
        out += "\n";
    }
    return out;
}

// A sidecar as version 0.1 wrote it: without the digest of the rows.
std::string withoutDigest(std::string sidecar) {
    const std::size_t at = sidecar.find(",\n  \"rows_digest\"");
    return at == std::string::npos ? sidecar : sidecar.erase(at, sidecar.find('\n', at + 2) - at);
}

}  // namespace

TEST_F(Grid, RunWritesConditionsInIdOrderWithSidecar) {
    write("design.csv", kDesign);
    Fake fake;
    ASSERT_EQ(run(options("design.csv", "results.csv"), fake), 0) << err();
    EXPECT_EQ(fake.ran, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(files(), (std::vector<std::string>{"design.csv", "results.csv", "results.csv.json"}));
    EXPECT_EQ(err(), "");

    const std::string results = read("results.csv");
    EXPECT_EQ(results.substr(0, resultsHeader().size()), resultsHeader());
    const auto lines = byCondition(results);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(std::count(results.begin(), results.end(), '\n'), 1 + 5 * 6 + 2 * 2);
    EXPECT_EQ(lines.at(1).substr(0, 36), "1,1,4,4,0,0,0,1,1,0.3,0,8,7487,PL-Ta");

    const Sidecar s = sidecarOf(read("results.csv.json"));
    EXPECT_EQ(s.conditions, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(s.designConditions, 7);
    EXPECT_EQ(s.shard, 1);
    EXPECT_EQ(s.shards, 1);
    EXPECT_EQ(s.seedMode, "fixed");
    EXPECT_EQ(s.seed, 7487u);
    EXPECT_EQ(s.replications, 8);
    EXPECT_EQ(s.alpha, 0.05);
    EXPECT_EQ(s.programVersion, programVersion());
    EXPECT_EQ(s.commandLine, "zelkor grid run design.csv -o results.csv");
}

TEST_F(Grid, RunDefaultsToEachOptionsReplications) {
    write("design.csv", kHeader + "1,1,3,3,0,0,0,1,1,0,0\n2,2,3,3,0,0,0,1,1,0,0\n");
    RunOptions o = options("design.csv", "r.csv");
    o.replications = 0;
    ASSERT_EQ(run(o), 0) << err();
    const auto lines = byCondition(read("r.csv"));
    EXPECT_EQ(lines.at(1).substr(0, 30), "1,1,3,3,0,0,0,1,1,0,0,10000,74");
    EXPECT_EQ(lines.at(2).substr(0, 29), "2,2,3,3,0,0,0,1,1,0,0,1000,74");
    EXPECT_EQ(sidecarOf(read("r.csv.json")).replications, 0);
}

TEST_F(Grid, DesignErrorsStopTheRunBeforeAnySimulation) {
    write("design.csv", kHeader + "1,1,3,3,0,0,0,1,1,0,0\n2,1,1001,3,0,0,0,1,1,0,0\n2,1,3,3,0,0,0,1,1,0.2,0.3\n");
    Fake fake;
    EXPECT_EQ(run(options("design.csv", "r.csv"), fake), 2);
    EXPECT_TRUE(fake.ran.empty());
    const std::string d = path("design.csv");
    EXPECT_EQ(err(), d + ":3:5: n_a must be from 1 to 1000 with option 1, found 1001\n" + d +
                         ":4:1: duplicate condition_id 2 (first on line 3)\n" + d +
                         ":4:23: ar1 and ma1 are both non-zero; a condition has an AR(1) or an MA(1) "
                         "coefficient, not both\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"design.csv"}));

    EXPECT_EQ(run(options("missing.csv", "r.csv")), 2);
    EXPECT_EQ(err(), "zelkor: " + path("missing.csv") + ": cannot be opened: No such file or directory\n");
}

TEST_F(Grid, RunRefusesBadSettings) {
    write("design.csv", kDesign);
    RunOptions o = options("design.csv", "r.csv");
    o.alpha = 0;
    EXPECT_EQ(run(o), 2);
    o.alpha = 0.05;
    o.shard = 4;
    o.shards = 3;
    EXPECT_EQ(run(o), 2);
    o.shard = 1;
    o.perSeries = o.output;
    EXPECT_EQ(run(o), 2);
    EXPECT_EQ(files(), (std::vector<std::string>{"design.csv"}));
}

TEST_F(Grid, ShardsMergeToTheUnshardedBytes) {
    write("design.csv", kDesign);
    ASSERT_EQ(run(options("design.csv", "all.csv")), 0);
    for (int shards : {3, 9}) {  // with 9, two parts are empty
        std::vector<std::string> parts;
        std::vector<int> seen;
        for (int k = shards; k >= 1; --k) {
            RunOptions o = options("design.csv", "part-" + std::to_string(k) + ".csv");
            o.shard = k;
            o.shards = shards;
            ASSERT_EQ(run(o), 0) << err();
            parts.push_back("part-" + std::to_string(k) + ".csv");
            const Sidecar s = sidecarOf(read(parts.back() + ".json"));
            EXPECT_EQ(s.shard, k);
            seen.insert(seen.end(), s.conditions.begin(), s.conditions.end());
        }
        // Interleaved slices of the file's rows: 1/3 holds rows 0, 3 and 6.
        if (shards == 3) {
            EXPECT_EQ(sidecarOf(read("part-1.csv.json")).conditions, (std::vector<int>{2, 5, 6}));
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
        ASSERT_EQ(merge(parts, "merged.csv"), 0) << err();
        EXPECT_EQ(read("merged.csv"), read("all.csv")) << shards << " shards";
        Sidecar merged = sidecarOf(read("merged.csv.json"));
        Sidecar whole = sidecarOf(read("all.csv.json"));
        merged.commandLine = whole.commandLine;
        EXPECT_EQ(sidecarJson(merged), sidecarJson(whole));
    }
}

TEST_F(Grid, PerConditionSeedsSurviveShufflingShardingAndAddedRows) {
    write("design.csv", kDesign);
    // The same conditions under other ids and rows, plus one more.
    std::string shuffled = kHeader +
                           "17,2,2,4,0,0,0.2,1,2,0,0\n"
                           "11,1,4,4,0,0,0,1,1,0.3,0\n"
                           "99,1,8,8,0,0,0,1,1,0,0\n"
                           "16,1,9,9,0,0,0,1,1,0,0\n"
                           "13,1,6,5,0,2,0,1,1,0,0\n"
                           "12,1,5,6,0.1,0,0,1,1,0,0.4\n"
                           "15,1,3,4,0,1,0,1,1,0,0\n"
                           "14,2,3,3,0,0.5,0,1,1,0,0\n";
    write("shuffled.csv", shuffled);
    RunOptions o = options("design.csv", "a.csv");
    o.seedMode = SeedMode::PerCondition;
    o.seed = 12345;
    ASSERT_EQ(run(o), 0);
    o.design = path("shuffled.csv");
    o.output = path("b.csv");
    o.shard = 2;
    o.shards = 2;
    ASSERT_EQ(run(o), 0);
    o.shard = 1;
    o.output = path("c.csv");
    ASSERT_EQ(run(o), 0);

    const auto a = byCondition(read("a.csv"));
    auto b = byCondition(read("b.csv"));
    const auto c = byCondition(read("c.csv"));
    b.insert(c.begin(), c.end());
    ASSERT_EQ(b.size(), 8u);
    std::set<std::string> seeds;
    for (const auto& [id, lines] : a) {
        EXPECT_EQ(withoutIds(b.at(id + 10)), withoutIds(lines)) << "condition " << id;
        seeds.insert(csvFields(lines.substr(0, lines.find('\n')))[12]);
    }
    EXPECT_EQ(seeds.size(), 7u);
    Condition first;
    first.id = 1;
    first.model = {4, 4, 0, 0, 0, 1, 1, 0.3f, 0};
    EXPECT_NE(a.at(1).find(",8," + std::to_string(conditionSeed(12345, first)) + ",PL-Tau,"), std::string::npos);
}

TEST_F(Grid, ResumeAfterAnInterruptionGivesTheSameBytes) {
    write("design.csv", kDesign);
    RunOptions o = options("design.csv", "whole.csv");
    o.perSeries = path("whole-series.csv");
    ASSERT_EQ(run(o), 0);

    o.output = path("r.csv");
    o.perSeries = path("series.csv");
    Fake interrupted;
    interrupted.failAt = 5;
    EXPECT_EQ(run(o, interrupted), 1);
    EXPECT_NE(err().find("condition 5"), std::string::npos) << err();
    EXPECT_FALSE(exists("r.csv"));
    EXPECT_FALSE(exists("r.csv.json"));
    ASSERT_TRUE(exists("r.csv.partial"));
    ASSERT_TRUE(exists("r.csv.partial.json"));
    // Torn tails as a kill leaves them: a line cut short in each file.
    std::ofstream(path("r.csv.partial"), std::ios::app) << "5,1,3,4,0,1,0,1,1,0,0,8,7487,PL-Tau,0.4";
    std::ofstream(path("series.csv.partial"), std::ios::app) << "5,PL-Tau,1,0.5\n5,PL-Tau,2,0.";

    o.resume = true;
    Fake rest;
    ASSERT_EQ(run(o, rest), 0) << err();
    EXPECT_EQ(rest.ran, (std::vector<int>{5, 6, 7}));
    EXPECT_EQ(read("r.csv"), read("whole.csv"));
    EXPECT_EQ(read("series.csv"), read("whole-series.csv"));
    EXPECT_FALSE(exists("r.csv.partial"));
    EXPECT_FALSE(exists("r.csv.partial.json"));
    EXPECT_FALSE(exists("series.csv.partial"));
    EXPECT_EQ(sidecarOf(read("r.csv.json")).conditions, sidecarOf(read("whole.csv.json")).conditions);

    // Resuming a finished run leaves it alone.
    Fake none;
    EXPECT_EQ(run(o, none), 0);
    EXPECT_TRUE(none.ran.empty());
    EXPECT_NE(err().find("already complete"), std::string::npos);
}

TEST_F(Grid, ResumeKeepsOnlyWholeConditions) {
    write("design.csv", kDesign);
    RunOptions o = options("design.csv", "whole.csv");
    ASSERT_EQ(run(o), 0);
    const std::string whole = read("whole.csv");
    o.output = path("r.csv");
    o.resume = true;
    // Every cut of a finished file, as if the run had been killed there.
    for (std::size_t cut : {std::size_t{0}, std::size_t{30}, resultsHeader().size(), resultsHeader().size() + 1,
                            whole.size() / 3, whole.size() / 2, whole.size() - 1}) {
        Fake fake;
        fake.failAt = 1;  // the sidecar of the interrupted run comes from a run stopped at once
        EXPECT_EQ(run(options("design.csv", "r.csv"), fake), 1);
        write("r.csv.partial", whole.substr(0, cut));
        Fake rest;
        ASSERT_EQ(run(o, rest), 0) << "cut at " << cut << ": " << err();
        EXPECT_EQ(read("r.csv"), whole) << "cut at " << cut;
        EXPECT_FALSE(rest.ran.empty());
        fs::remove(path("r.csv"));
        fs::remove(path("r.csv.json"));
    }
}

TEST_F(Grid, ResumeRefusesAnotherStudy) {
    write("design.csv", kDesign);
    RunOptions o = options("design.csv", "r.csv");
    Fake interrupted;
    interrupted.failAt = 3;
    EXPECT_EQ(run(o, interrupted), 1);
    const std::string partial = read("r.csv.partial");

    o.resume = true;
    o.alpha = 0.01;
    Fake fake;
    EXPECT_EQ(run(o, fake), 2);
    EXPECT_NE(err().find("another alpha"), std::string::npos) << err();
    o.alpha = 0.05;
    o.shards = 2;
    EXPECT_EQ(run(o, fake), 2);
    EXPECT_NE(err().find("another shards"), std::string::npos) << err();
    o.shards = 1;
    write("design.csv", kDesign + "8,1,3,3,0,0,0,1,1,0,0\n");
    EXPECT_EQ(run(o, fake), 2);
    EXPECT_NE(err().find("another design_hash"), std::string::npos) << err();
    EXPECT_TRUE(fake.ran.empty());
    EXPECT_EQ(read("r.csv.partial"), partial);

    // Lines that are not this run's, under a matching sidecar: another
    // condition, and the same one from another seed.
    write("design.csv", kDesign);
    const auto forge = [&](const std::string& from, const std::string& to) {
        std::string forged = partial;
        for (auto at = forged.find(from); at != std::string::npos; at = forged.find(from, at + 1))
            forged.replace(at, from.size(), to);
        write("r.csv.partial", forged);
    };
    forge("\n1,1,4,4,", "\n1,1,4,5,");
    EXPECT_EQ(run(o, fake), 2);
    EXPECT_NE(err().find("condition 1 in " + path("r.csv.partial") + " does not belong"), std::string::npos) << err();
    forge(",8,7487,", ",8,7488,");
    EXPECT_EQ(run(o, fake), 2);
    EXPECT_NE(err().find("does not belong"), std::string::npos) << err();
    forge("\n2,1,5,6,", "\n2,1,5,6.5,");
    EXPECT_EQ(run(o, fake), 2);
    EXPECT_NE(err().find(path("r.csv.partial") + ":8:7: cannot read '6.5' as a whole number (n_b)"),
              std::string::npos)
        << err();
    EXPECT_TRUE(fake.ran.empty());
}

TEST_F(Grid, MergeRefusesPartsThatDoNotMakeTheStudy) {
    write("design.csv", kDesign);
    std::vector<std::string> parts;
    for (int k = 1; k <= 3; ++k) {
        RunOptions o = options("design.csv", "p" + std::to_string(k) + ".csv");
        o.shard = k;
        o.shards = 3;
        ASSERT_EQ(run(o), 0);
        parts.push_back("p" + std::to_string(k) + ".csv");
    }
    const auto refused = [&](const std::vector<std::string>& given, const std::string& message) {
        EXPECT_EQ(merge(given, "out.csv"), 2) << message;
        EXPECT_NE(err().find(message), std::string::npos) << err();
        EXPECT_FALSE(exists("out.csv")) << message;
        EXPECT_FALSE(exists("out.csv.json")) << message;
    };
    refused({"p1.csv", "p3.csv"}, "shard 2/3 is missing");
    refused({"p1.csv", "p2.csv", "p3.csv", "p2.csv"}, "are both shard 2/3");
    refused({"p1.csv", "p2.csv", "nothere.csv"}, "nothere.csv: cannot be opened: No such file or directory");

    // A part without its sidecar.
    fs::copy_file(path("p3.csv"), path("lone.csv"));
    refused({"p1.csv", "p2.csv", "lone.csv"}, "lone.csv.json: cannot be opened: No such file or directory");

    // Part 1's conditions again, claimed as shard 3.
    fs::copy_file(path("p1.csv"), path("dup.csv"));
    std::string side = read("p1.csv.json");
    side.replace(side.find("\"shard\": 1"), 10, "\"shard\": 3");
    write("dup.csv.json", side);
    refused({"p1.csv", "p2.csv", "dup.csv"}, "dup.csv.json differ from those its run recorded in rows_digest");
    write("dup.csv.json", withoutDigest(side));
    refused({"p1.csv", "p2.csv", "dup.csv"}, "condition 2 is in both");

    // Shard 3 run with another alpha.
    RunOptions o = options("design.csv", "alpha.csv");
    o.shard = 3;
    o.shards = 3;
    o.alpha = 0.1;
    ASSERT_EQ(run(o), 0);
    refused({"p1.csv", "p2.csv", "alpha.csv"}, "differ in alpha");

    // A part cut short, and one whose sidecar lists other conditions.
    write("torn.csv", read("p3.csv").substr(0, read("p3.csv").size() - 5));
    fs::copy_file(path("p3.csv.json"), path("torn.csv.json"));
    refused({"p1.csv", "p2.csv", "torn.csv"}, "ends inside a condition");
    const std::string p3 = read("p3.csv");
    std::size_t cut = 0;  // header and condition 4's two lines
    for (int line = 0; line < 3; ++line) cut = p3.find('\n', cut) + 1;
    write("short.csv", p3.substr(0, cut));
    fs::copy_file(path("p3.csv.json"), path("short.csv.json"));
    refused({"p1.csv", "p2.csv", "short.csv"}, "short.csv:4:1: its sidecar lists 2 conditions, the file holds 1");

    ASSERT_EQ(merge(parts, "out.csv"), 0) << err();
}

// A results file and its sidecar as a program of results format version 1
// wrote them.
void writeFirstVersion(const std::string& from, const std::string& to, ScratchDirectory& dir) {
    const ResultsReading r = readResults(dir.read(from));
    ASSERT_FALSE(r.error);
    std::string text = resultsHeader(1);
    for (const ResultBlock& b : r.blocks) text += resultLines(b.rows, 1);
    dir.write(to, text);
    std::string side = withoutDigest(dir.read(from + ".json"));  // as that program wrote it
    side.replace(side.find("\"format_version\": 2"), 19, "\"format_version\": 1");
    dir.write(to + ".json", side);
}

TEST_F(Grid, MergeKeepsTheFormatOfItsPartsAndRefusesToMixThem) {
    write("design.csv", kDesign);
    ASSERT_EQ(run(options("design.csv", "all.csv")), 0);
    for (int k = 1; k <= 2; ++k) {
        RunOptions o = options("design.csv", "p" + std::to_string(k) + ".csv");
        o.shard = k;
        o.shards = 2;
        ASSERT_EQ(run(o), 0);
        writeFirstVersion("p" + std::to_string(k) + ".csv", "old" + std::to_string(k) + ".csv", *this);
    }
    writeFirstVersion("all.csv", "all-old.csv", *this);
    EXPECT_EQ(sidecarOf(read("old1.csv.json")).formatVersion, 1);

    // Version 1 parts merge as version 1 did: the same bytes as the whole run in that format.
    ASSERT_EQ(merge({"old1.csv", "old2.csv"}, "merged-old.csv"), 0) << err();
    EXPECT_EQ(read("merged-old.csv"), read("all-old.csv"));
    EXPECT_EQ(sidecarOf(read("merged-old.csv.json")).formatVersion, 1);

    EXPECT_EQ(merge({"p1.csv", "old2.csv"}, "mixed.csv"), 2);
    EXPECT_NE(err().find("cannot mix results format versions: " + path("p1.csv") + " is version 2 (columns sd, "
                         "mean_mcse), " + path("old2.csv") + " version 1 (column se)"),
              std::string::npos)
        << err();
    EXPECT_FALSE(exists("mixed.csv"));

    // A version 1 file beside a sidecar that claims version 2.
    fs::copy_file(path("old2.csv"), path("claims.csv"));
    fs::copy_file(path("p2.csv.json"), path("claims.csv.json"));
    EXPECT_EQ(merge({"p1.csv", "claims.csv"}, "claims-merged.csv"), 2);
    EXPECT_NE(err().find("claims.csv is a results file of format version 1 (column se), but its sidecar says "
                         "version 2"),
              std::string::npos)
        << err();

    // An interrupted run of version 1 is not resumed in version 2, whatever its sidecar says.
    fs::copy_file(path("all-old.csv"), path("r.csv.partial"));
    fs::copy_file(path("all-old.csv.json"), path("r.csv.partial.json"));
    RunOptions o = options("design.csv", "r.csv");
    o.resume = true;
    EXPECT_EQ(run(o), 2);
    EXPECT_NE(err().find("was written with another format_version"), std::string::npos) << err();
    fs::copy_file(path("all.csv.json"), path("r.csv.partial.json"), fs::copy_options::overwrite_existing);
    EXPECT_EQ(run(o), 2);
    EXPECT_NE(err().find("a results file of format version 1; this run writes version 2"), std::string::npos)
        << err();
}

TEST_F(Grid, MergeTakesOnlyRowsTheirSidecarsDescribe) {
    write("design.csv", kDesign);
    ASSERT_EQ(run(options("design.csv", "all.csv")), 0);
    std::vector<std::string> parts;
    for (int k = 1; k <= 3; ++k) {
        RunOptions o = options("design.csv", "p" + std::to_string(k) + ".csv");
        o.shard = k;
        o.shards = 3;
        ASSERT_EQ(run(o), 0);
        parts.push_back("p" + std::to_string(k) + ".csv");
        EXPECT_EQ(sidecarOf(read(parts.back() + ".json")).rowsDigest.size(), 71u);
    }
    const std::string p3 = read("p3.csv");  // conditions 4 and 7, on lines 2-3 and 4-5
    const std::string p3Sidecar = read("p3.csv.json");
    // Part 3 replaced by `rows` under a sidecar; merge refuses it with `message`, writing nothing.
    const auto refused = [&](const std::string& rows, const std::string& sidecar, const std::string& message) {
        write("x.csv", rows);
        write("x.csv.json", sidecar);
        EXPECT_EQ(merge({"p1.csv", "p2.csv", "x.csv"}, "out.csv"), 2) << message;
        EXPECT_NE(err().find(message), std::string::npos) << err();
        EXPECT_FALSE(exists("out.csv") || exists("out.csv.json")) << message;
    };
    // Edited n_sim and seed are found on their line, digest or not.
    for (const std::string& sidecar : {p3Sidecar, withoutDigest(p3Sidecar)}) {
        refused(withCell(p3, 7, 11, "9"), sidecar,
                "x.csv:4:1: n_sim 9 of condition 7 is not the 8 replications its sidecar records");
        refused(withCell(p3, 4, 12, "7488"), sidecar,
                "x.csv:2:1: seed 7488 of condition 4 is not the seed 7487 its sidecar's fixed seed 7487 gives it");
    }
    // A changed statistic or design value breaks the digest.
    const std::string digest = "x.csv.json differ from those its run recorded in rows_digest";
    refused(withCell(p3, 7, 14, "0.5"), p3Sidecar, digest);
    refused(withCell(p3, 7, 5, "0.25"), p3Sidecar, digest);
    // Without a digest, the design's hash finds changed design columns and ids.
    const std::string design = "hash to ";
    refused(withCell(p3, 7, 5, "0.25"), withoutDigest(p3Sidecar), design);
    std::string renamed = withCell(p3, 7, 0, "8");
    std::string renamedSidecar = withoutDigest(p3Sidecar);
    renamedSidecar.replace(renamedSidecar.find("    7\n"), 6, "    8\n");
    refused(renamed, renamedSidecar, design);
    // Given the design, the line of a changed design column is named, and a design of another study refused.
    designFile_ = path("design.csv");
    refused(withCell(p3, 7, 5, "0.25"), withoutDigest(p3Sidecar),
            "x.csv:4:1: the design columns of condition 7 differ from " + path("design.csv") + "'s");
    refused(withCell(p3, 4, 3, "4"), withoutDigest(p3Sidecar), "x.csv:2:1: the design columns of condition 4");
    write("other.csv", kDesign + "8,1,3,4,0,1,0,1,1,0,0\n");
    designFile_ = path("other.csv");
    refused(p3, p3Sidecar, "other.csv is not the design the parts were run from");
    designFile_.clear();

    // Rows of another run under the right sidecar.
    const auto foreign = [&](auto change, const std::string& message) {
        RunOptions o = options("design.csv", "other.csv");
        o.shard = 3;
        o.shards = 3;
        change(o);
        ASSERT_EQ(run(o), 0) << err();
        refused(read("other.csv"), p3Sidecar, message);
        fs::remove(path("other.csv.json"));
    };
    foreign([](RunOptions& o) { o.replications = 9; }, "n_sim 9 of condition 4 is not the 8");
    foreign([](RunOptions& o) { o.seed = 5; }, "seed 5 of condition 4 is not the seed 7487");
    foreign([](RunOptions& o) { o.seedMode = SeedMode::PerCondition; }, "of condition 4 is not the seed 7487");
    foreign([](RunOptions& o) { o.alpha = 0.5; }, digest);
    // A sidecar whose settings were edited to fit foreign rows.
    std::string edited = p3Sidecar;
    edited.replace(edited.find("\"alpha\": 0.05"), 13, "\"alpha\": 0.06");
    refused(p3, edited, digest);

    // Parts of version 0.1 merge, with a note, to the same bytes.
    for (const std::string& part : parts) write(part + ".json", withoutDigest(read(part + ".json")));
    ASSERT_EQ(merge(parts, "out.csv"), 0) << err();
    EXPECT_NE(err().find("p1.csv.json records no digest of the rows (a part of version 0.1)"), std::string::npos);
    EXPECT_EQ(read("out.csv"), read("all.csv"));
    EXPECT_EQ(sidecarOf(read("out.csv.json")).rowsDigest, sidecarOf(read("all.csv.json")).rowsDigest);
}

// Inputs that never end, and the byte-order mark and line ends of a
// spreadsheet, read the same way by run, resume and merge.
TEST_F(Grid, EndlessInputsAreRefusedAndSpreadsheetFilesRead) {
    RunOptions zero = options("design.csv", "r.csv");
    zero.design = "/dev/zero";
    EXPECT_EQ(run(zero), 2);
    EXPECT_EQ(err(), "zelkor: /dev/zero: has a line longer than 1 MiB (line 1), the limit for one line\n");
    EXPECT_EQ(merge({"../../../dev/zero"}, "m.csv"), 2);
    EXPECT_NE(err().find("has a line longer than 1 MiB (line 1)"), std::string::npos) << err();

    // A design saved as "CSV UTF-8" with CR line ends runs as the plain one.
    write("design.csv", kDesign);
    ASSERT_EQ(run(options("design.csv", "plain.csv")), 0);
    std::string cr = "\xEF\xBB\xBF" + kDesign;
    std::replace(cr.begin(), cr.end(), '\n', '\r');
    write("cr.csv", cr);
    ASSERT_EQ(run(options("cr.csv", "r.csv")), 0) << err();
    EXPECT_EQ(read("r.csv"), read("plain.csv"));
    write("utf16.csv", "\xFF\xFE" "c\0");
    EXPECT_EQ(run(options("utf16.csv", "u.csv")), 2);
    EXPECT_NE(err().find("utf16.csv:1:1: the file is UTF-16 text"), std::string::npos) << err();

    // A part given a byte-order mark by a spreadsheet still merges: its rows are unchanged.
    write("bom.csv", "\xEF\xBB\xBF" + read("plain.csv"));
    write("bom.csv.json", read("plain.csv.json"));
    ASSERT_EQ(merge({"bom.csv"}, "m.csv"), 0) << err();
    EXPECT_EQ(read("m.csv"), read("plain.csv"));
}

TEST_F(Grid, ExpandWritesTheProductOrRefuses) {
    ExpandOptions e;
    e.option = 1;
    e.nA = "3:5:2";
    e.nB = "10";
    e.level = "0,1";
    e.ar1 = "0,0.3";
    e.ma1 = "0,0.4";
    StringOutput out;
    std::ostringstream errors;
    ASSERT_EQ(gridExpand(e, out, errors), 0);
    EXPECT_EQ(out.text(), kHeader +
                             "1,1,3,10,0,0,0,1,1,0,0\n2,1,3,10,0,0,0,1,1,0,0.4\n3,1,3,10,0,0,0,1,1,0.3,0\n"
                             "4,1,3,10,0,1,0,1,1,0,0\n5,1,3,10,0,1,0,1,1,0,0.4\n6,1,3,10,0,1,0,1,1,0.3,0\n"
                             "7,1,5,10,0,0,0,1,1,0,0\n8,1,5,10,0,0,0,1,1,0,0.4\n9,1,5,10,0,0,0,1,1,0.3,0\n"
                             "10,1,5,10,0,1,0,1,1,0,0\n11,1,5,10,0,1,0,1,1,0,0.4\n12,1,5,10,0,1,0,1,1,0.3,0\n");
    EXPECT_NE(errors.str().find("left out 4 combinations"), std::string::npos);

    e.output = path("d.csv");
    StringOutput none;
    ASSERT_EQ(gridExpand(e, none, errors), 0);
    EXPECT_EQ(none.text(), "");
    EXPECT_EQ(read("d.csv"), out.text());
    std::vector<Condition> design;
    EXPECT_TRUE(parseDesign(read("d.csv"), design).empty());

    const auto refused = [&](ExpandOptions bad, const std::string& message) {
        StringOutput o;
        std::ostringstream m;
        EXPECT_EQ(gridExpand(bad, o, m), 2) << message;
        EXPECT_NE(m.str().find(message), std::string::npos) << m.str();
        EXPECT_EQ(o.text(), "");
    };
    ExpandOptions bad = e;
    bad.output.clear();
    bad.option = 3;
    refused(bad, "--option must be 1 or 2");
    bad = e;
    bad.nB.reset();
    refused(bad, "--n-a and --n-b are required");
    bad = e;
    bad.option = 2;
    bad.nB = "50:150:50";
    refused(bad, "--n-b: 150 is outside 1..100 for option 2");
    bad = e;
    bad.trend = "0:1:2:3";
    refused(bad, "--trend: '0:1:2:3' is neither a list");
    bad = e;
    bad.ar1 = "0.5";
    bad.ma1 = "0.5";
    refused(bad, "every combination has both ar1 and ma1 non-zero; no conditions");
    bad = e;
    bad.nA = "1:1000:1";
    bad.nB = "1:1000:1";
    bad.level = "0:10:1";
    bad.ar1.reset();
    bad.ma1.reset();
    refused(bad, "the factors' values make 11000000 combinations; a design has at most 10000000 conditions");

    // A file that cannot be written is named as the user gave it.
    e.output = path("nodir/d.csv");
    std::ostringstream m;
    EXPECT_EQ(gridExpand(e, none, m), 1);
    EXPECT_NE(m.str().find("\nzelkor: grid expand: cannot create a file beside " + path("nodir/d.csv") +
                           ": No such file or directory\n"),
              std::string::npos)
        << m.str();
}

TEST_F(Grid, ExpandRefusesAnOutputThatIsNoRegularFile) {
    ExpandOptions e;
    e.option = 1;
    e.nA = "3";
    e.nB = "4";
    fs::create_directory(path("dir"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    for (const auto& [name, what] : {std::pair<std::string, std::string>{path("dir"), "a directory"},
                                     {path("fifo"), "a FIFO"},
                                     {"/dev/null", "a character device"}}) {
        e.output = name;
        StringOutput out;
        std::ostringstream m;
        EXPECT_EQ(gridExpand(e, out, m), 2) << name;
        EXPECT_EQ(m.str(), "zelkor: grid expand: " + name + " (the design file) is " + what + ", not a regular file\n");
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"dir", "fifo"}));
    EXPECT_TRUE(fs::is_empty(path("dir")));
}

TEST_F(Grid, ARunThatCannotBeginNamesTheFileAndLeavesNothing) {
    write("design.csv", kDesign);
    Fake fake;
    RunOptions o = options("design.csv", "nodir/r.csv");
    EXPECT_EQ(run(o, fake), 1);
    EXPECT_EQ(err(), "zelkor: " + path("nodir/r.csv") + ": No such file or directory\n");
    o = options("design.csv", "r.csv");
    o.perSeries = path("nodir/series.csv");
    EXPECT_EQ(run(o, fake), 1);
    EXPECT_EQ(err(), "zelkor: " + path("nodir/series.csv") + ": No such file or directory\n");
    EXPECT_TRUE(fake.ran.empty());
    EXPECT_EQ(files(), (std::vector<std::string>{"design.csv"})) << "no partial files";
}

TEST(GridOptions, ShardAndSeedMode) {
    int k = 0;
    int n = 0;
    std::string error;
    EXPECT_TRUE(parseShard("3/4", k, n, error));
    EXPECT_EQ(k, 3);
    EXPECT_EQ(n, 4);
    for (const char* bad : {"0/4", "5/4", "1/0", "4", "a/b", "-1/2", "1/2/3", "", "/", "1 /2"})
        EXPECT_FALSE(parseShard(bad, k, n, error)) << bad;
    SeedMode mode = SeedMode::Fixed;
    EXPECT_TRUE(parseSeedMode("per-condition", mode));
    EXPECT_EQ(mode, SeedMode::PerCondition);
    EXPECT_FALSE(parseSeedMode("random", mode));
}
