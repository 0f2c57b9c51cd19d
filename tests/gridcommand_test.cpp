#include "gridcommand.h"

#include "cli.h"

#include <gtest/gtest.h>

namespace {

ParseResult parse(std::vector<std::string> args, Invocation& invocation) {
    return parseCommandLine(args, invocation);
}

}  // namespace

TEST(GridCommand, ShellCommandLineReadsBackAsTheSameArguments) {
    EXPECT_EQ(shellCommandLine({"zelkor", "grid", "run", "d.csv", "--shard", "2/4", "-o", "r-2.csv"}),
              "zelkor grid run d.csv --shard 2/4 -o r-2.csv");
    EXPECT_EQ(shellCommandLine({"zelkor", "my design.csv", "", "it's", "$HOME", "a*b"}),
              "zelkor 'my design.csv' '' 'it'\\''s' '$HOME' 'a*b'");
}

TEST(GridCommand, EachCommandParsesIntoWork) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"grid", "expand", "--option", "2", "--n-a", "3", "--n-b", "3:5:1"},
          {"grid", "run", "d.csv", "-o", "r.csv", "--shard", "2/3", "--replications", "50", "--alpha", "0.1",
           "--seed-mode", "per-condition", "--seed", "4294967295", "--per-series", "s.csv", "--resume"},
          {"grid", "run", "d.csv", "-o", "r.csv", "--threads", "3"},
          {"--threads", "2", "grid", "merge", "a.csv", "b.csv", "-o", "r.csv"}}) {
        Invocation invocation;
        const ParseResult r = parse(args, invocation);
        EXPECT_TRUE(r.proceed) << args[1] << ": " << r.err;
        EXPECT_TRUE(invocation.command) << args[1];
    }
    Invocation threads;
    EXPECT_TRUE(parse({"grid", "run", "d.csv", "-o", "r.csv", "--threads", "3"}, threads).proceed);
    EXPECT_EQ(threads.threads, 3) << "--threads after the command's name";
}

TEST(GridCommand, BadArgumentsAreUsageErrors) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"grid"},
          {"grid", "expand", "--n-a", "3", "--n-b", "3"},
          {"grid", "expand", "--option", "3", "--n-a", "3", "--n-b", "3"},
          {"grid", "run", "-o", "r.csv"},
          {"grid", "run", "d.csv"},
          {"grid", "run", "d.csv", "-o", "r.csv", "--shard", "0/2"},
          {"grid", "run", "d.csv", "-o", "r.csv", "--shard", "3"},
          {"grid", "run", "d.csv", "-o", "r.csv", "--replications", "0"},
          {"grid", "run", "d.csv", "-o", "r.csv", "--seed-mode", "random"},
          {"grid", "run", "d.csv", "-o", "r.csv", "--seed", "-1"},
          {"grid", "merge", "-o", "r.csv"},
          {"grid", "merge", "a.csv"}}) {
        Invocation invocation;
        const ParseResult r = parse(args, invocation);
        std::string joined;
        for (const std::string& a : args) joined += a + " ";
        EXPECT_FALSE(r.proceed) << joined;
        EXPECT_EQ(r.status, 2) << joined;
        EXPECT_EQ(r.err.rfind("zelkor: ", 0), 0u) << joined << ": " << r.err;
    }
}
