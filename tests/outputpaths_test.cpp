// Output paths checked before any work: aliases of inputs and of each other
// by file identity, and outputs that exist as something other than a
// regular file.
#include "outputpaths.h"

#include "test.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The outputs a study run implies for -o OUT and --per-series SERIES.
std::vector<NamedPath> runOutputs(const std::string& out, const std::string& series) {
    return {{out, "the results file"},
            {out + ".json", "its sidecar"},
            {out + ".partial", "the partial results file"},
            {out + ".partial.json", "the partial sidecar"},
            {out + ".lock", "the lock file"},
            {series, "the per-series file"},
            {series + ".partial", "the partial per-series file"}};
}

}  // namespace

TEST(OutputPaths, AnOutputThatIsAnInputIsRefusedNamingBoth) {
    ScratchDirectory dir;
    const std::string design = dir.write("d.csv", "condition_id\n");
    const std::string other = dir.directory().string() + "/./sub/../d.csv";
    fs::create_directory(dir.path("sub"));
    ::link(design.c_str(), dir.path("hard.csv").c_str());
    fs::create_symlink(design, dir.path("soft.csv"));
    const std::vector<NamedPath> inputs = {{design, "the design"}};
    for (const std::string& alias : {other, dir.path("hard.csv"), dir.path("soft.csv")}) {
        EXPECT_EQ(pathClash(inputs, {{alias, "the results file"}}),
                  alias + " (the results file) and " + design + " (the design) are the same file");
    }
    EXPECT_EQ(pathClash(inputs, runOutputs(dir.path("r.csv"), dir.path("series.csv"))), "");
}

TEST(OutputPaths, EveryImpliedFileIsCheckedAgainstTheOthers) {
    ScratchDirectory dir;
    const std::string design = dir.write("d.csv", "x\n");
    const std::string out = dir.path("r.csv");
    const std::vector<NamedPath> inputs = {{design, "the design"}};
    struct Case {
        std::string series;
        std::string clash;
    };
    for (const Case& c : std::vector<Case>{
             {design, " (the per-series file) and " + design + " (the design)"},
             {out, " (the per-series file) and " + out + " (the results file)"},
             {out + ".json", " (the per-series file) and " + out + ".json (its sidecar)"},
             {out + ".partial", " (the per-series file) and " + out + ".partial (the partial results file)"},
             {out + ".partial.json", " (the per-series file) and " + out + ".partial.json (the partial sidecar)"},
             {dir.directory().string() + "//r.csv.json", " (the per-series file) and " + out + ".json (its sidecar)"},
         }) {
        EXPECT_EQ(pathClash(inputs, runOutputs(out, c.series)), c.series + c.clash + " are the same file");
    }
    // --per-series r.csv.partial: the per-series file's own partial is r.csv.partial.partial,
    // but the file itself is the results' partial file.
    EXPECT_NE(pathClash(inputs, runOutputs(out, out + ".partial")), "");
    // -o naming the per-series partial file of another output.
    EXPECT_NE(pathClash(inputs, runOutputs(dir.path("s.csv.partial"), dir.path("s.csv"))), "");
}

TEST(OutputPaths, NamesThatDoNotExistYetAreComparedByDirectoryAndName) {
    ScratchDirectory dir;
    fs::create_directory(dir.path("out"));
    fs::create_directory_symlink(dir.path("out"), dir.path("link"));
    const std::string a = dir.path("out/r.csv");
    for (const std::string& same : {dir.path("out/./r.csv"), dir.path("link/r.csv"), dir.path("out/../out/r.csv")}) {
        EXPECT_NE(pathClash({}, {{a, "one"}, {same, "two"}}), "") << same;
    }
    EXPECT_EQ(pathClash({}, {{a, "one"}, {dir.path("out/R.csv"), "two"}}), "");
    // Even the directory does not exist: compared by the resolved path.
    EXPECT_NE(pathClash({}, {{dir.path("none/r.csv"), "one"}, {dir.path("none/./r.csv"), "two"}}), "");
    EXPECT_EQ(pathClash({}, {{dir.path("none/r.csv"), "one"}, {dir.path("none/s.csv"), "two"}}), "");
}

TEST(OutputPaths, AnOutputThatIsNotARegularFileIsRefusedUpFront) {
    ScratchDirectory dir;
    fs::create_directory(dir.path("dir"));
    ::mkfifo(dir.path("fifo").c_str(), 0600);
    fs::create_directory_symlink(dir.path("dir"), dir.path("to-dir"));
    fs::create_symlink("/dev/null", dir.path("to-null"));
    fs::create_symlink(dir.path("nowhere"), dir.path("dangling"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.path("sock");
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const auto problem = [](const std::string& path) { return outputKindProblem({path, "the results file"}); };
    const std::string suffix = " (the results file) is ";
    EXPECT_EQ(problem(dir.path("dir")), dir.path("dir") + suffix + "a directory, not a regular file");
    EXPECT_EQ(problem("/dev/null"), "/dev/null" + suffix + "a character device, not a regular file");
    EXPECT_EQ(problem(dir.path("fifo")), dir.path("fifo") + suffix + "a FIFO, not a regular file");
    EXPECT_EQ(problem(socketPath), socketPath + suffix + "a socket, not a regular file");
    EXPECT_EQ(problem(dir.path("to-dir")), dir.path("to-dir") + suffix + "a symbolic link to a directory, not a regular file");
    EXPECT_EQ(problem(dir.path("to-null")), dir.path("to-null") + suffix + "a symbolic link to a character device, not a regular file");
    EXPECT_EQ(problem(dir.path("dangling")), "") << "a rename replaces the link itself";
    EXPECT_EQ(problem(dir.write("r.csv", "old")), "");
    EXPECT_EQ(problem(dir.path("new.csv")), "");
    ::close(sock);

    // The check covers the implied names too, and comes before the aliases.
    fs::create_directory(dir.path("r.csv.partial"));
    const std::string design = dir.write("d.csv", "x\n");
    EXPECT_EQ(checkOutputPaths({{design, "the design"}}, runOutputs(dir.path("r.csv"), design)),
              dir.path("r.csv.partial") + " (the partial results file) is a directory, not a regular file");
}

TEST(OutputPaths, PathsInMessagesAreShownPrintable) {
    ScratchDirectory dir;
    const std::string odd = dir.path("a\x1b[2Jb\n.csv");
    const std::string clash = pathClash({}, {{odd, "one"}, {odd, "two"}});
    EXPECT_NE(clash.find("a\\x1b[2Jb\\n.csv (two)"), std::string::npos) << clash;
    EXPECT_EQ(clash.find('\x1b'), std::string::npos);
}
