// zelkor analyse as a user runs it: the results and the sidecar written
// whole, and every bad input refused with its file, line and case, status 2
// and nothing written.
#include "analysecommand.h"

#include <gtest/gtest.h>

#include "cli.h"
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
