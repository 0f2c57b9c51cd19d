// zelkor plan through the built program: its answers, exit statuses,
// results files (the rows a grid run writes for the same conditions) and
// usage errors; and the progress line it shares with grid run.
#include "test.h"

#include <map>
#include <sstream>

#include "cli.h"
#include "progress.h"
#include "results.h"

namespace {

// The lines of a text, without their line ends.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A quick question: PL-Tau at level 2, no autocorrelation, N_A 5, N_B searched.
std::vector<std::string> question(std::vector<std::string> more) {
    std::vector<std::string> args{"plan", "--n-a", "5", "--level", "2", "--from", "3", "--to", "24",
                                  "--max-replications", "4000", "--seed", "11"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Where a column of the results layer stands in a line of a results file.
std::size_t fieldOf(ResultColumn column) {
    const auto& columns = resultColumns();
    const std::string name = resultColumn(column).name;
    for (std::size_t k = 0; k < columns.size(); ++k)
        if (columns[k].name == name) return k;
    ADD_FAILURE() << name;
    return 0;
}

// The results file's rows by condition id.
std::map<std::string, std::vector<std::string>> rowsById(const std::string& text) {
    std::map<std::string, std::vector<std::string>> rows;
    const std::vector<std::string> lines = linesOf(text);
    for (std::size_t k = 1; k < lines.size(); ++k)
        rows[csvFields(lines[k])[fieldOf(ResultColumn::ConditionId)]].push_back(lines[k]);
    return rows;
}

// A row without its condition_id, the results' first column.
std::string withoutId(const std::string& line) {
    EXPECT_EQ(fieldOf(ResultColumn::ConditionId), 0u);
    return line.substr(line.find(','));
}

// Everything but the last line, the time taken.
std::string withoutTime(const std::string& summary) {
    std::vector<std::string> lines = linesOf(summary);
    EXPECT_EQ(lines.back().rfind("Time: ", 0), 0u) << summary;
    lines.pop_back();
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

}  // namespace

TEST(Plan, FindsTheAnswerAndWritesTheRowsOfAGridRunOnAnyThreadCount) {
    const ScratchDirectory dir;
    const ProgramRun one = runBinary(question({"--threads", "1", "-o", dir.path("one.csv")}));
    ASSERT_TRUE(one.exited);
    ASSERT_EQ(one.status, 0) << one.out << one.err;
    EXPECT_EQ(one.err, "");
    EXPECT_NE(one.out.find("Answer:    n_b = "), std::string::npos) << one.out;
    const ProgramRun two = runBinary(question({"--threads", "2", "-o", dir.path("two.csv")}));
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(withoutTime(one.out), withoutTime(two.out));
    const std::string results = dir.read("one.csv");
    EXPECT_EQ(results, dir.read("two.csv"));
    EXPECT_NE(dir.read("one.csv.json").find("\"seed_mode\": \"per-condition\""), std::string::npos);
    EXPECT_FALSE(dir.exists("one.csv.lock"));

    // Every evaluated length is a condition with a row per statistic of option 1.
    const auto rows = rowsById(results);
    const std::string evaluated = one.out.substr(one.out.find("Evaluated: "));
    EXPECT_EQ(evaluated.rfind("Evaluated: " + std::to_string(rows.size()) + " lengths", 0), 0u) << evaluated;
    for (const auto& [id, lines] : rows) EXPECT_EQ(lines.size(), 6u) << id;

    // Condition 1 is --from; a grid run of it at its n_sim writes the same bytes.
    // So does the last condition, but for its id.
    for (const std::string id : {std::string("1"), std::to_string(rows.size())}) {
        const std::vector<std::string> first = csvFields(rows.at(id)[0]);
        const std::string nB = first[fieldOf(ResultColumn::NB)], nSim = first[fieldOf(ResultColumn::NSim)];
        const std::string design = dir.path("design-" + id + ".csv");
        ASSERT_EQ(runBinary({"grid", "expand", "--option", "1", "--n-a", "5", "--n-b", nB, "--level", "2", "-o",
                             design})
                      .status,
                  0);
        const std::string gridResults = dir.path("grid-" + id + ".csv");
        const ProgramRun grid = runBinary({"grid", "run", design, "--seed-mode", "per-condition", "--seed", "11",
                                           "--replications", nSim, "-o", gridResults});
        ASSERT_EQ(grid.status, 0) << grid.err;
        const std::vector<std::string> gridRows = rowsById(readFile(gridResults)).at("1");
        ASSERT_EQ(gridRows.size(), rows.at(id).size());
        for (std::size_t k = 0; k < gridRows.size(); ++k) {
            if (id == "1")
                EXPECT_EQ(rows.at(id)[k], gridRows[k]);
            else
                EXPECT_EQ(withoutId(rows.at(id)[k]), withoutId(gridRows[k]));
        }
    }

    // plot power draws the evaluated curve.
    const ProgramRun plot = runBinary({"plot", "power", dir.path("one.csv"), "--x", "n_b", "-o", dir.path("p.svg")});
    EXPECT_EQ(plot.status, 0) << plot.err;
}

TEST(Plan, EdgeOutcomesHaveTheirOwnStatusesAndStillWriteTheRows) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"plan", "--n-a", "5", "--level", "4", "--from", "12", "--to", "20", "--max-replications", "2000"}, 3,
         "Answer:    n_b = 12, the start of the range (exit status 3)"},
        {{"plan", "--n-a", "5", "--from", "3", "--to", "10", "--max-replications", "2000"}, 4,
         "Answer:    none: not reached by n_b = 10 (exit status 4)"},
        {{"plan", "--search", "both", "--level", "1", "--from", "3", "--to", "9", "--power", "0.5",
          "--max-replications", "3"},
         5, "Answer:    undecidable at the cap (exit status 5)"},
        {{"plan", "--n-a", "6", "--from", "3", "--to", "10", "--type-one-at-most", "0.2", "--max-replications", "2000"},
         3, "Answer:    n_b = 3, the start of the range (exit status 3)"},
    };
    for (const Case& c : cases) {
        const ScratchDirectory dir;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", dir.path("r.csv")});
        const ProgramRun run = runBinary(args);
        EXPECT_EQ(run.status, c.status) << c.says << "\n" << run.out << run.err;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
        EXPECT_GT(linesOf(dir.read("r.csv")).size(), 1u) << c.says;
        EXPECT_TRUE(dir.exists("r.csv.json")) << c.says;
    }
}

TEST(Plan, BadQuestionsAreUsageErrorsThatWriteNothing) {
    const ScratchDirectory dir;
    const std::string out = dir.path("r.csv");
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"plan", "--n-a", "5", "--n-b", "4", "--from", "3", "--to", "9"},
             {"plan", "--from", "3", "--to", "9"},
             {"plan", "--search", "both", "--n-a", "5", "--from", "3", "--to", "9"},
             {"plan", "--n-a", "5", "--level", "1,2", "--from", "3", "--to", "9"},
             {"plan", "--n-a", "5", "--from", "9", "--to", "3"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "100000"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "9", "--statistic", "ECL"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "9", "--statistic", "Kappa"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "9", "--statistic", "SIM-d", "--option", "1"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "9", "--power", "1"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "9", "--power", "0.8", "--type-one-at-most", "0.05"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "9", "--confidence", "0.4"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "9", "--alpha", "0"},
             {"plan", "--n-a", "5", "--from", "3", "--to", "9", "--ar1", "0.3", "--ma1", "0.3"},
             {"plan", "--n-a", "5", "--from", "0", "--to", "9"},
         }) {
        std::vector<std::string> withOutput = args;
        withOutput.insert(withOutput.end(), {"-o", out});
        const ProgramRun run = runBinary(withOutput);
        std::string joined;
        for (const std::string& a : args) joined += a + " ";
        EXPECT_EQ(run.status, 2) << joined << run.err;
        EXPECT_EQ(run.out, "") << joined;
        EXPECT_EQ(run.err.rfind("zelkor: ", 0), 0u) << joined << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), run.err.find("--help") == std::string::npos ? 1 : 2)
            << joined << run.err;
    }
    EXPECT_TRUE(dir.files().empty());

    // An output that cannot be a results file is refused before any series is drawn.
    const ProgramRun directory =
        runBinary({"plan", "--n-a", "5", "--from", "3", "--to", "9", "-o", dir.directory().string()});
    EXPECT_EQ(directory.status, 2);
    EXPECT_NE(directory.err.find("is a directory"), std::string::npos) << directory.err;
    const ProgramRun missing =
        runBinary({"plan", "--n-a", "5", "--from", "3", "--to", "9", "-o", dir.path("no/r.csv")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
}

TEST(Plan, ParsesWithTheGridFactorsAndGlobalOptions) {
    Invocation invocation;
    const ParseResult r = parseCommandLine(
        {"plan", "--option", "2", "--statistic", "SIM-d", "--n-b", "4", "--trend", "0.5", "--search", "n_a",
         "--from", "3", "--to", "20", "--threads", "2", "--confidence", "0.95", "--max-replications", "5000"},
        invocation);
    EXPECT_TRUE(r.proceed) << r.err;
    EXPECT_TRUE(invocation.command);
    EXPECT_EQ(invocation.threads, 2);
}

TEST(Progress, OpenEndedRunsCountWithoutATotalAndCarryADetail) {
    std::ostringstream err;
    {
        Progress progress(err, true, 0, 0, "plan");
        progress.detail("n_b 17 at 4000 series");
        progress.step();
        progress.finish();
    }
    const std::string text = err.str();
    EXPECT_EQ(text.rfind("\rplan: 0 conditions, 0:00 elapsed", 0), 0u) << text;
    EXPECT_NE(text.find("\rplan: 0 conditions, 0:00 elapsed; n_b 17 at 4000 series"), std::string::npos) << text;
    EXPECT_NE(text.find("\rplan: 1 condition, 0:00 elapsed; n_b 17 at 4000 series"), std::string::npos) << text;
    EXPECT_EQ(text.find("left"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');

    std::ostringstream quiet;
    Progress off(quiet, false, 0, 0, "plan");
    off.detail("x");
    off.step();
    off.finish();
    EXPECT_EQ(quiet.str(), "");
}
