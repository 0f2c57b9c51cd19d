// The command line as parsed (options, exit statuses, messages) and the
// built program as a Unix tool sees it: status, standard error, bytes.
#include "cli.h"
#include "clihelp.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test.h"

namespace {

ParseResult parse(const std::vector<std::string>& args, Invocation& invocation) {
    return parseCommandLine(args, invocation);
}

ParseResult parse(const std::vector<std::string>& args) {
    Invocation invocation;
    return parse(args, invocation);
}

const std::string kHint = "Run with --help for more information.\n";

// A refused command line: nothing on standard output, status 2, and on
// standard error one line naming the program and the usage hint.
void expectRefused(const std::vector<std::string>& args) {
    std::string shown;
    for (const auto& a : args) shown += " '" + a + "'";
    SCOPED_TRACE("arguments" + shown);
    const ParseResult r = parse(args);
    EXPECT_FALSE(r.proceed);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    ASSERT_GE(r.err.size(), kHint.size());
    EXPECT_EQ(r.err.rfind("zelkor: ", 0), 0u) << r.err;
    const std::string first = r.err.substr(0, r.err.size() - kHint.size());
    EXPECT_EQ(r.err.substr(first.size()), kHint);
    EXPECT_EQ(first.find('\n'), first.size() - 1) << "not one line: " << first;
}

TEST(CommandLine, NoArgumentsRunTheDialogue) {
    Invocation invocation;
    const ParseResult r = parse({}, invocation);
    EXPECT_TRUE(r.proceed);
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(invocation.threads, 0);
    EXPECT_FALSE(invocation.encoding.has_value());
    EXPECT_FALSE(invocation.command);
    EXPECT_TRUE(parse({"--"}).proceed);
}

TEST(CommandLine, ThreadsAndEncodingAreTaken) {
    Invocation invocation;
    EXPECT_TRUE(parse({"--threads", "3", "--encoding", "utf8"}, invocation).proceed);
    EXPECT_EQ(invocation.threads, 3);
    EXPECT_EQ(invocation.encoding, Encoding::Utf8);

    Invocation joined;
    EXPECT_TRUE(parse({"--threads=1", "--encoding=cp437"}, joined).proceed);
    EXPECT_EQ(joined.threads, 1);
    EXPECT_EQ(joined.encoding, Encoding::Cp437);
}

TEST(CommandLine, HelpGoesToStandardOutputWithStatusZero) {
    for (const char* flag : {"--help", "-h"}) {
        const ParseResult r = parse({flag});
        EXPECT_FALSE(r.proceed);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find("Usage: zelkor [OPTIONS]"), std::string::npos) << r.out;
        for (const char* option : {"--threads", "--encoding", "--version"})
            EXPECT_NE(r.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(parse({"--threads", "2", "--help"}).status, 0);
}

TEST(CommandLine, VersionIsNameAndProjectVersion) {
    const ParseResult r = parse({"--version"});
    EXPECT_FALSE(r.proceed);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "zelkor " ZELKOR_VERSION "\n");
}

TEST(CommandLine, BadFlagsAndValuesAreRefusedWithStatusTwo) {
    expectRefused({"--bogus"});
    expectRefused({"-x"});
    expectRefused({"stray"});
    expectRefused({"--", "--threads"});  // after "--" nothing is an option
    expectRefused({"--threads"});
    expectRefused({"--encoding", "latin1"});
    expectRefused({"--encoding", "UTF8x"});
    for (const char* n : {"0", "-1", "abc", "", "2x", "1.5", "99999999999"})
        expectRefused({"--threads", n});
    expectRefused({"--threads=-1"});
}

TEST(CommandLine, ThreadValueNamesTheOffender) {
    const ParseResult r = parse({"--threads", "abc"});
    EXPECT_NE(r.err.find("--threads"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("abc"), std::string::npos) << r.err;
}

// The shape a command group will have: global options after its name still
// count, and the chosen leaf leaves its work in the invocation.
TEST(CommandLine, SubcommandsSlotInBesideTheGlobalOptions) {
    CLI::App app;
    Invocation invocation;
    configureParser(app, invocation);
    CLI::App& group = *app.add_subcommand("group", "A command group");
    group.require_subcommand(1);
    group.add_subcommand("leaf", "A command")->callback([&invocation] {
        invocation.command = [](CommandContext& context) { return context.threads; };
    });
    std::vector<std::string> args = {"3", "--threads", "leaf", "group"};  // last first
    app.parse(args);
    EXPECT_EQ(invocation.threads, 3);
    ASSERT_TRUE(invocation.command);
    StringInput in("");
    StringOutput out;
    CommandContext context{in, out, invocation.threads};
    EXPECT_EQ(invocation.command(context), 3);

    CLI::App bare;
    Invocation none;
    configureParser(bare, none);
    bare.add_subcommand("group", "A command group")->require_subcommand(1);
    std::vector<std::string> groupOnly = {"group"};
    EXPECT_THROW(bare.parse(groupOnly), CLI::ParseError);
}

// The message of a refused line, without the program's name and the hint.
std::string refusal(const std::vector<std::string>& args) {
    expectRefused(args);
    const ParseResult r = parse(args);
    return r.err.substr(8, r.err.find('\n') - 8);
}

TEST(CommandLine, MisspeltOptionsAndCommandsAreNamedWithTheNearestOne) {
    // Whatever the parser met first (a missing -o here), the slip is what is named.
    EXPECT_EQ(refusal({"grid", "run", "d.csv", "--replication", "100"}),
              "grid run: unknown option '--replication'; did you mean --replications?");
    EXPECT_EQ(refusal({"grid", "run", "d.csv", "-o", "r.csv", "--replications=5", "--threds", "2"}),
              "grid run: unknown option '--threds'; did you mean --threads?");
    EXPECT_EQ(refusal({"grid", "run", "d.csv", "-o", "r.csv", "--seed_mode", "fixed"}),
              "grid run: unknown option '--seed_mode'; did you mean --seed-mode?");
    EXPECT_EQ(refusal({"grid", "expand", "--option", "1", "--n_a", "3:10", "--n-b", "5"}),
              "grid expand: unknown option '--n_a'; did you mean --n-a?");
    EXPECT_EQ(refusal({"grid", "runn"}), "grid: unknown command 'runn'; did you mean run?");
    EXPECT_EQ(refusal({"gird", "run"}), "unknown command 'gird'; did you mean grid?");
    EXPECT_EQ(refusal({"plot", "pwoer"}), "plot: unknown command 'pwoer'; did you mean power?");
    EXPECT_EQ(refusal({"stray"}), "unknown command 'stray'; the commands are grid, plot, plan and analyse");
    EXPECT_EQ(refusal({"grid"}), "grid: a command is required: expand, run or merge");
    EXPECT_EQ(refusal({"--bogus"}), "unknown option '--bogus'");
    EXPECT_EQ(refusal({"--encodin", "utf8"}), "unknown option '--encodin'; did you mean --encoding?");
    // Values are not taken for options or commands; a bad value keeps the parser's word.
    EXPECT_EQ(refusal({"grid", "run", "d.csv", "-o", "r.csv", "--alpha", "-1", "--replications", "x"}).find(
                  "unknown"),
              std::string::npos);
    EXPECT_EQ(refusal({"--threads", "abc"}).find("unknown"), std::string::npos);
}

TEST(CommandLine, NearestWordIsASlipOrAPrefix) {
    EXPECT_EQ(editDistance("grid", "gird"), 1);
    EXPECT_EQ(editDistance("", "run"), 3);
    EXPECT_EQ(editDistance("kitten", "sitting"), 3);
    const std::vector<std::string> commands = {"expand", "run", "merge"};
    EXPECT_EQ(nearestWord("merg", commands), "merge");
    EXPECT_EQ(nearestWord("rn", commands), "run");
    EXPECT_EQ(nearestWord("x", commands), "");
    EXPECT_EQ(nearestWord("plot", commands), "");
    EXPECT_EQ(nearestWord("--rep", {"--replications", "--resume"}), "--replications");
    EXPECT_EQ(nearestWord("--re", {"--replications", "--resume"}), "") << "two letters say too little";
}

TEST(CommandLine, EveryCommandsHelpListsTheProgramsOptions) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"grid", "run"}, {"grid", "expand"}, {"grid", "merge"}, {"plot", "power"},
          {"plot", "distribution"}, {"grid"}}) {
        std::vector<std::string> args = command;
        args.push_back("--help");
        const ParseResult r = parse(args);
        EXPECT_EQ(r.status, 0);
        for (const char* option : {"--threads", "--encoding", "--version", "Options of zelkor:"})
            EXPECT_NE(r.out.find(option), std::string::npos) << command.back() << ": " << option << "\n" << r.out;
    }
    const std::string run = parse({"grid", "run", "--help"}).out;
    EXPECT_LT(run.find("--resume"), run.find("Options of zelkor:")) << "the command's own options come first";
    EXPECT_EQ(parse({"--help"}).out.find("Options of zelkor:"), std::string::npos);
}

#ifdef ZELKOR_BINARY

const std::string kSession = "1\n\n5 6 0.1 1 0 1 1 0 0.4\n\n5 6 0.1 1 0 1 1 0.3\n";

TEST(Program, NormalRunExitsZeroWithNothingOnStandardError) {
    const ProgramRun r = runBinary({}, kSession);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("*Not currently available"), std::string::npos);
}

TEST(Program, ThreadCountsGiveTheSameBytes) {
    const ProgramRun one = runBinary({"--threads", "1"}, kSession);
    const ProgramRun two = runBinary({"--threads", "2"}, kSession);
    const ProgramRun all = runBinary({}, kSession);
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(one.out, two.out);
    EXPECT_EQ(one.out, all.out);
}

TEST(Program, FullDiskIsAWriteErrorWithStatusOne) {
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"--help"},
                             std::vector<std::string>{"--version"}}) {
        const ProgramRun r = runBinary(args, kSession, Stdout::Full);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "zelkor: write error: No space left on device\n");
    }
}

TEST(Program, ClosedStandardOutputIsAWriteErrorWithStatusOne) {
    const ProgramRun r = runBinary({}, kSession, Stdout::Closed);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zelkor: write error: Bad file descriptor\n");
}

TEST(Program, BrokenPipeEndsQuietlyBySignal) {
    const ProgramRun r = runBinary({}, kSession, Stdout::BrokenPipe);
    EXPECT_FALSE(r.exited);
    EXPECT_EQ(r.signal, SIGPIPE);
    EXPECT_EQ(r.err, "");
}

TEST(Program, CommandLineStatuses) {
    const ProgramRun help = runBinary({"--help"}, "");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: zelkor"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const ProgramRun version = runBinary({"--version"}, "");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "zelkor " ZELKOR_VERSION "\n");

    for (const auto& args : {std::vector<std::string>{"--bogus"},
                             std::vector<std::string>{"--threads", "0"},
                             std::vector<std::string>{"--threads", "-1"},
                             std::vector<std::string>{"--threads", "abc"}}) {
        // A refused line starts no dialogue: input is left unread.
        const ProgramRun r = runBinary(args, kSession);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("zelkor: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(kHint), std::string::npos) << r.err;
    }
}

TEST(Program, LettersAreSingleBytesOnFilesUnlessUtf8IsForced) {
    const ProgramRun plain = runBinary({}, kSession);
    const ProgramRun forced = runBinary({"--encoding", "cp437"}, kSession);
    const ProgramRun utf8 = runBinary({"--encoding", "utf8"}, kSession);
    EXPECT_EQ(plain.out, forced.out);
    EXPECT_NE(plain.out.find("\xE1" "1 =\t"), std::string::npos);
    EXPECT_EQ(plain.out.find("\xCE\xB2"), std::string::npos);
    EXPECT_NE(utf8.out.find("\xCE\xB2" "1 =\t"), std::string::npos);
    EXPECT_NE(utf8.out.find("\xCF\x86" "1\t"), std::string::npos);
    EXPECT_NE(utf8.out.find("\xCE\x98" "1\t"), std::string::npos);
}

#endif

}  // namespace

// Lines that name no command are settled without the commands' options; the
// invocation is the one the whole parser makes of them.
TEST(CommandLine, LinesWithoutACommandGiveTheWholeParsersInvocation) {
    const std::vector<std::vector<std::string>> lines = {
        {}, {"--threads", "3"}, {"--threads=2", "--encoding", "utf8"}, {"--encoding", "cp437"},
        {"--"}};
    for (const auto& line : lines) {
        Invocation quick;
        const ParseResult r = parse(line, quick);
        ASSERT_TRUE(r.proceed) << r.err;
        CLI::App app;
        Invocation whole;
        configureParser(app, whole);
        std::vector<std::string> reversed(line.rbegin(), line.rend());
        app.parse(reversed);
        EXPECT_EQ(quick.threads, whole.threads);
        EXPECT_EQ(quick.encoding, whole.encoding);
        EXPECT_FALSE(quick.command);
    }
}
