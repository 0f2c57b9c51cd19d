// zelkor analyse as a user runs it: the results and the sidecar written
// whole, and every bad input refused with its file, line and case, status 2
// and nothing written.
#include "analysecommand.h"

#include <gtest/gtest.h>

#include "cli.h"

#include <map>
#include <sstream>
#include "test.h"

namespace {

const char* const kThreeCases =
    "case,session,phase,value\n"
    "ann,1,A,3\nann,2,A,4\nann,3,A,3\nann,4,B,6\nann,5,B,7\nann,6,B,NA\nann,7,B,8\n"
    "ben,1,A,5\nben,2,A,5\nben,3,B,5\nben,4,B,6\n"
    "cy,1,A,2\ncy,2,B,1\n";

}  // namespace

TEST(AnalyseCommand, WritesLongResultsAndTheSidecar) {
    const ScratchDirectory dir;
    dir.write("data.csv", kThreeCases);
    const ProgramRun run = runBinary({"analyse", "data.csv", "-o", "r.csv", "--statistics", "NAP,ECL,SIM-d"}, "",
                                     Stdout::Capture, dir.directory().string());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string text = dir.read("r.csv");
    EXPECT_EQ(text.substr(0, text.find('\n')), "case,n_a,n_b,n_missing,statistic,value,p");
    EXPECT_NE(text.find("\nann,3,3,1,NAP,1,"), std::string::npos) << text;
    EXPECT_NE(text.find("\ncy,1,1,0,ECL,NA,NA\n"), std::string::npos) << "one-point baseline: " << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
    const std::string sidecar = dir.read("r.csv.json");
    EXPECT_NE(sidecar.find("\"format\": \"zelkor-analysis-results\""), std::string::npos) << sidecar;
    EXPECT_NE(sidecar.find("\"seed\": 7487"), std::string::npos) << sidecar;
    EXPECT_NE(sidecar.find("zelkor analyse data.csv -o r.csv --statistics NAP,ECL,SIM-d\""),
              std::string::npos)
        << sidecar;
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"data.csv", "r.csv", "r.csv.json"}));

    const ProgramRun wide = runBinary({"analyse", "data.csv", "-o", "w.csv", "--wide", "--statistics", "PEM,SMD"}, "",
                                      Stdout::Capture, dir.directory().string());
    ASSERT_EQ(wide.status, 0) << wide.err;
    EXPECT_EQ(dir.read("w.csv").substr(0, dir.read("w.csv").find('\n')), "case,n_a,n_b,n_missing,PEM,PEM_p,SMD");
}

TEST(AnalyseCommand, BadInputNamesFileLineAndCaseAndWritesNothing) {
    const struct {
        std::vector<std::string> args;
        const char* data;
        const char* says;
    } cases[] = {
        {{}, "case,phase,value\nx,B,1\nx,A,2\n", "data.csv:3: case 'x': only AB designs are supported"},
        {{}, "case,phase,value\nx,A,1\nx,B,oops\n", "data.csv:3: case 'x': cannot read 'oops'"},
        {{}, "", "data.csv:1: the file is empty"},
        {{}, "case,value\n", "data.csv:1: missing column 'phase'"},
        {{"--statistics", "SIM-d"}, nullptr, "case 'long': phases of 2 and 101 values; SIM-d takes at most 100"},
        {{"--statistics", "NAP,nap"}, kThreeCases, "zelkor: analyse: --statistics: unknown statistic 'nap'"},
        {{"--phases", "A"}, kThreeCases, "zelkor: analyse: --phases: expected two phase labels"},
        {{"-o", "data.csv"}, kThreeCases, "are the same file"},
    };
    std::string longCase = "case,phase,value\nlong,A,1\nlong,A,2\n";
    for (int i = 0; i < 101; ++i) longCase += "long,B," + std::to_string(i) + "\n";
    for (const auto& c : cases) {
        const ScratchDirectory dir;
        dir.write("data.csv", c.data ? c.data : longCase);
        std::vector<std::string> args = {"analyse", "data.csv"};
        if (std::find(c.args.begin(), c.args.end(), "-o") == c.args.end()) args.insert(args.end(), {"-o", "r.csv"});
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramRun run = runBinary(args, "", Stdout::Capture, dir.directory().string());
        EXPECT_EQ(run.status, 2) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(dir.files(), std::vector<std::string>{"data.csv"}) << c.says;
    }
    const ScratchDirectory many;
    std::string data = "case,phase,value\n";
    for (int i = 0; i < 12; ++i) data += "c" + std::to_string(i) + ",base,1\n";
    many.write("data.csv", data);
    const ProgramRun capped = runBinary({"analyse", "data.csv", "-o", "r.csv"}, "", Stdout::Capture,
                                        many.directory().string());
    EXPECT_EQ(std::count(capped.err.begin(), capped.err.end(), '\n'), 11) << capped.err;
    EXPECT_NE(capped.err.find("\ndata.csv: and 2 more errors\n"), std::string::npos) << capped.err;

    const ScratchDirectory dir;
    const ProgramRun missing = runBinary({"analyse", "none.csv", "-o", "r.csv"}, "", Stdout::Capture,
                                         dir.directory().string());
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("none.csv: cannot be opened"), std::string::npos) << missing.err;
}

TEST(AnalyseCommand, ParsesIntoWork) {
    Invocation invocation;
    const ParseResult r = parseCommandLine({"analyse", "d.csv", "-o", "r.csv", "--phases", "base,treat", "--seed",
                                            "4294967295", "--statistics", "SIM-r", "--wide", "--threads", "2"},
                                           invocation);
    EXPECT_TRUE(r.proceed) << r.err;
    EXPECT_TRUE(invocation.command);
    Invocation without;
    EXPECT_FALSE(parseCommandLine({"analyse", "d.csv"}, without).proceed) << "-o is required";
}

// The README's worked example, against the values worked out by hand there.
TEST(AnalyseCommand, TheWorkedExampleGivesTheHandWorkedValues) {
    const ScratchDirectory dir;
    dir.write("observed.csv", readFile(std::string(ZELKOR_TEST_DATA) + "/../examples/observed.csv"));
    const ProgramRun run = runBinary({"analyse", "observed.csv", "--phases", "baseline,intervention", "-o", "c.csv"},
                                     "", Stdout::Capture, dir.directory().string());
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, std::pair<double, double>> found;  // case/statistic -> value, p (NaN for NA)
    std::istringstream in(dir.read("c.csv"));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const std::vector<std::string> f = csvFields(line);
        const auto number = [](const std::string& t) { return t == "NA" ? NAN : std::strtod(t.c_str(), nullptr); };
        found[f[0] + "/" + f[4]] = {number(f[5]), number(f[6])};
    }
    EXPECT_EQ(found.size(), 33u);
    // Ada: A 3 4 3 5, B 7 8 9 8 (one NA left out); every pair has B higher.
    EXPECT_EQ(found["Ada/NAP"].first, 1.0);
    // Ties (3, 3 and 8, 8): z = (16 - 8 - 0.5) / sqrt(16/12 (9 - 12/56)) = 2.1913.
    EXPECT_NEAR(found["Ada/NAP"].second, std::erfc(7.5 / std::sqrt(16.0 / 12 * (9 - 12.0 / 56)) / std::sqrt(2.0)), 1e-8);
    EXPECT_EQ(found["Ada/Tau-AB"].second, found["Ada/NAP"].second);
    EXPECT_EQ(found["Ada/PEM"], std::make_pair(1.0, 0.0625));  // median 3.5, four of four above
    // (8 - 3.75) / sqrt(2.75 / 3) * (1 - 3 / 11)
    EXPECT_NEAR(found["Ada/SMD"].first, 4.25 / std::sqrt(2.75 / 3) * (8.0 / 11), 1e-6);
    EXPECT_EQ(found["Ada/PND"].first, 1.0);
    // Ben: A 6 5 6 6 5, B 6 7 6 8 7: 22 of 25 pairs, ties one half.
    EXPECT_NEAR(found["Ben/NAP"].first, 0.88, 1e-7);
    EXPECT_NEAR(found["Ben/Tau-AB"].first, 0.76, 1e-7);
    EXPECT_NEAR(found["Ben/PEM"].first, 0.8, 1e-7);  // median 6: three above, two on it
    EXPECT_EQ(found["Ben/PEM"].second, 0.125);       // three of three off the median
    // Cleo: twelve distinct values, all B above all A: exact p = 2 / C(12, 5).
    EXPECT_NEAR(found["Cleo/NAP"].second, 2.0 / 792, 1e-11);
    EXPECT_EQ(found["Cleo/PEM"].second, 1.0 / 128);
    EXPECT_TRUE(std::isnan(found["Cleo/MPD-r"].second)) << "no test: NA";
}
