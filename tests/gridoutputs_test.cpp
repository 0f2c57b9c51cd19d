// The files of a grid run: outputs that are inputs, each other or no regular
// files refused before anything runs; one run per output; and a commit that
// a kill at any instant leaves resumable to the bytes of an uninterrupted run.
#include "grid.h"
#include "outputlock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "test.h"

namespace {

namespace fs = std::filesystem;

const std::string kDesign =
    "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1\n"
    "1,1,3,4,0,1,0,1,1,0,0\n"
    "2,2,3,3,0,0.5,0,1,1,0,0\n"
    "3,1,5,5,0,0,0,1,1,0.2,0\n";

// Values from the seed and the model only; enough for the file handling.
ConditionOutcome fakeOutcome(const Condition& c, std::uint32_t seed, int replications, double) {
    ConditionOutcome o;
    o.nSim = replications;
    for (const Statistic s : defaultStatistics(c.option)) {
        StatisticOutcome st;
        st.statistic = s;
        for (int i = 0; i < replications; ++i) {
            st.values.push_back(static_cast<float>(seed % 100) + static_cast<float>(c.model.nA) + 0.25f * i);
            if (statisticInfo(s).hasTest) st.pValues.push_back(0.5f);
        }
        st.summary.mean = st.values.front();
        o.statistics.push_back(st);
    }
    return o;
}

class GridOutputs : public testing::Test, protected ScratchDirectory {
protected:
    void SetUp() override { write("d.csv", kDesign); }

    RunOptions options(const std::string& output, const std::string& perSeries = "") const {
        RunOptions o;
        o.design = path("d.csv");
        o.output = path(output);
        if (!perSeries.empty()) o.perSeries = path(perSeries);
        o.replications = 5;
        return o;
    }

    int run(const RunOptions& o) {
        ran_ = 0;
        err_.str("");
        return gridRun(o, ConditionRunner{[this](const Condition& c, std::uint32_t seed, int n, double alpha) {
                           ++ran_;
                           return fakeOutcome(c, seed, n, alpha);
                       }},
                       err_);
    }

    // Refused with status 2 and the message, before any condition ran and
    // without a file changed.
    void refused(const RunOptions& o, const std::string& message) {
        const std::vector<std::string> before = files();
        EXPECT_EQ(run(o), 2) << message;
        EXPECT_EQ(err_.str(), "zelkor: grid run: " + message + "\n");
        EXPECT_EQ(ran_, 0) << message;
        EXPECT_EQ(files(), before) << message;
        EXPECT_EQ(read("d.csv"), kDesign) << message;
    }

    int ran_ = 0;
    std::ostringstream err_;
};

}  // namespace

TEST_F(GridOutputs, AnOutputThatIsAnInputOrAnotherOutputIsRefused) {
    const std::string d = path("d.csv");
    RunOptions o = options("r.csv");
    o.output = directory().string() + "/./d.csv";
    refused(o, o.output + " (the results file) and " + d + " (the design) are the same file");
    ASSERT_EQ(::link(d.c_str(), path("hard.csv").c_str()), 0);
    fs::create_symlink(d, path("soft.csv"));
    for (const char* alias : {"hard.csv", "soft.csv"}) {
        o = options(alias);
        refused(o, path(alias) + " (the results file) and " + d + " (the design) are the same file");
    }
    // The run's own files under --per-series: each would be destroyed.
    const std::vector<std::pair<std::string, std::string>> clashes = {
        {"d.csv", "the design"},
        {"r.csv", "the results file"},
        {"r.csv.partial", "the partial results file"},
        {"r.csv.json", "the sidecar"},
        {"r.csv.partial.json", "the partial sidecar"},
        {"r.csv.lock", "the lock file"}};
    for (const auto& [name, role] : clashes) {
        o = options("r.csv", name);
        refused(o, path(name) + " (the per-series file) and " + path(name) + " (" + role + ") are the same file");
    }
    // The implied names clash too: the results file is the per-series file's partial.
    o = options("s.csv.partial", "s.csv");
    refused(o, path("s.csv.partial") + " (the partial per-series file) and " + path("s.csv.partial") +
                   " (the results file) are the same file");
    o = options("r.csv");
    o.design = path("r.csv.partial");
    write("r.csv.partial", kDesign);
    refused(o, path("r.csv.partial") + " (the partial results file) and " + path("r.csv.partial") +
                   " (the design) are the same file");
}

TEST_F(GridOutputs, AnOutputThatIsNoRegularFileIsRefusedBeforeTheRun) {
    fs::create_directory(path("dir"));
    refused(options("dir"), path("dir") + " (the results file) is a directory, not a regular file");
    fs::create_directory_symlink(path("dir"), path("link"));
    refused(options("link"),
            path("link") + " (the results file) is a symbolic link to a directory, not a regular file");
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    refused(options("r.csv", "fifo"), path("fifo") + " (the per-series file) is a FIFO, not a regular file");
    fs::create_directory(path("r.csv.partial"));
    refused(options("r.csv"), path("r.csv.partial") + " (the partial results file) is a directory, not a regular file");
    fs::remove(path("r.csv.partial"));
    RunOptions o = options("r.csv");
    o.output = "/dev/null";
    refused(o, "/dev/null (the results file) is a character device, not a regular file");
    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));

    // A symbolic link planted at a partial file's name is replaced, never written through.
    write("victim", "keep\n");
    fs::create_symlink(path("victim"), path("r.csv.partial"));
    ASSERT_EQ(run(options("r.csv")), 0) << err_.str();
    EXPECT_EQ(read("victim"), "keep\n");
    // Nor continued through one by --resume.
    const std::string results = read("r.csv");
    write("victim", results.substr(0, results.rfind("\n3,1,") + 1));
    fs::create_symlink(path("victim"), path("w.csv.partial"));
    write("w.csv.partial.json", read("r.csv.json"));
    RunOptions o2 = options("w.csv");
    o2.resume = true;
    EXPECT_EQ(run(o2), 1);
    EXPECT_EQ(err_.str(), "zelkor: " + path("w.csv.partial") +
                              ": a symbolic link, not the partial file a run writes; remove it\n");
    EXPECT_EQ(read("victim"), results.substr(0, results.rfind("\n3,1,") + 1));
}

TEST_F(GridOutputs, ASecondRunOnTheSameOutputIsRefusedAtOnce) {
    ASSERT_EQ(run(options("done.csv")), 0);
    const std::string finished = read("done.csv");
    const std::string me = "(process " + std::to_string(::getpid()) + " on host ";
    {
        const OutputLock first(path("r.csv"));
        ASSERT_TRUE(first.held());
        RunOptions o = options("r.csv");
        EXPECT_EQ(run(o), 2);
        EXPECT_EQ(err_.str().rfind("zelkor: grid run: " + path("r.csv") + " is being written by another run " + me, 0),
                  0u)
            << err_.str();
        EXPECT_EQ(ran_, 0);
        o.resume = true;
        EXPECT_EQ(run(o), 2) << "--resume takes the same lock";
        EXPECT_FALSE(exists("r.csv.partial"));
    }
    {
        // Another results file, but the same per-series file.
        const OutputLock first(path("s.csv"));
        EXPECT_EQ(run(options("other.csv", "s.csv")), 2);
        EXPECT_NE(err_.str().find(path("s.csv") + " is being written by another run " + me), std::string::npos);
        EXPECT_FALSE(exists("other.csv.partial"));
    }
    // Released: the runs go ahead, and leave no lock file behind.
    ASSERT_EQ(run(options("r.csv", "s.csv")), 0) << err_.str();
    EXPECT_EQ(read("r.csv"), finished);
    EXPECT_EQ(files(),
              (std::vector<std::string>{"d.csv", "done.csv", "done.csv.json", "r.csv", "r.csv.json", "s.csv"}));

    // Two processes: the program refuses while this one holds the lock.
    const OutputLock first(path("p.csv"));
    const ProgramRun second = runBinary({"grid", "run", "d.csv", "-o", "p.csv", "--replications", "5"}, "",
                                        Stdout::Capture, directory().string());
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(second.err.rfind("zelkor: grid run: p.csv is being written by another run " + me, 0), 0u) << second.err;
    EXPECT_FALSE(exists("p.csv.partial"));
}

// A run killed at each rename and each removal of its own (the signal
// injected by strace at the k-th such system call) and resumed gives the
// bytes of a run that was never stopped: results, per-series file and sidecar.
// The leak checker of a sanitized build refuses to run under ptrace, so it is
// off for the traced runs.
TEST(GridCommit, AKillAtEveryStepResumesToTheSameBytes) {
    if (::system("strace -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
    const std::vector<std::string> args = {"grid",  "run", "d.csv", "--replications", "30",  "--threads",
                                           "1",     "--per-series", "s.csv",          "-o",  "r.csv"};
    ScratchDirectory whole;
    whole.write("d.csv", kDesign);
    ASSERT_EQ(runBinary(args, "", Stdout::Capture, whole.directory().string()).status, 0);
    const std::vector<std::string> finished = {"d.csv", "r.csv", "r.csv.json", "s.csv"};
    ASSERT_EQ(whole.files(), finished);

    std::vector<std::string> resume = args;
    resume.push_back("--resume");
    int kills = 0;
    for (const char* call : {"rename", "unlink"}) {
        for (int k = 1;; ++k) {
            ASSERT_LT(k, 20) << call;
            ScratchDirectory dir;
            dir.write("d.csv", kDesign);
            const std::string inject = std::string(call) + ":signal=KILL:when=" + std::to_string(k);
            const ProgramRun killed =
                runBinary(args, "", Stdout::Capture, dir.directory().string(),
                          {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-qq", "-o", "/dev/null", "-e",
                           "trace=" + std::string(call), "-e", "inject=" + inject});
            if (killed.exited && killed.status == 0) break;  // fewer than k such calls
            ++kills;
            const std::string at = std::string(call) + " " + std::to_string(k);
            // Killed before its partial sidecar recorded the command line, a
            // run is begun afresh under the resuming one.
            std::string sidecar = whole.read("r.csv.json");
            if (!dir.exists("r.csv.partial.json") && !dir.exists("r.csv.json"))
                sidecar.insert(sidecar.find(" -o r.csv\"") + 9, " --resume");
            const ProgramRun resumed = runBinary(resume, "", Stdout::Capture, dir.directory().string());
            ASSERT_EQ(resumed.status, 0) << at << ": " << resumed.err;
            EXPECT_TRUE(dir.read("r.csv") == whole.read("r.csv")) << at;
            EXPECT_TRUE(dir.read("s.csv") == whole.read("s.csv")) << at;
            EXPECT_EQ(dir.read("r.csv.json"), sidecar) << at;
            // Nothing else is left, not even a temporary whose rename the kill stopped.
            EXPECT_EQ(dir.files(), finished) << at;
        }
    }
    EXPECT_GE(kills, 8);
}

// The states an interrupted commit leaves, made by hand: each is completed
// without running a condition again; finished files that do not hold the
// whole run are run afresh instead.
TEST_F(GridOutputs, AnInterruptedCommitIsCompletedOnlyWhenItsFilesAreWhole) {
    RunOptions o = options("whole.csv", "whole-s.csv");
    ASSERT_EQ(run(o), 0);
    const std::string results = read("whole.csv");
    const std::string series = read("whole-s.csv");
    o = options("r.csv", "s.csv");
    ASSERT_EQ(run(o), 0);
    const std::string sidecar = read("r.csv.json");
    o.resume = true;
    const auto state = [&](bool seriesRenamed, bool sidecarWritten) {
        for (const char* name : {"r.csv", "r.csv.json", "s.csv", "s.csv.partial", "r.csv.partial.json"})
            fs::remove(path(name));
        write("r.csv", results);
        write(seriesRenamed ? "s.csv" : "s.csv.partial", series);
        if (sidecarWritten) write("r.csv.json", sidecar);
        write("r.csv.partial.json", sidecar);
    };
    for (const bool seriesRenamed : {false, true}) {
        for (const bool sidecarWritten : {false, true}) {
            if (!seriesRenamed && sidecarWritten) continue;
            state(seriesRenamed, sidecarWritten);
            ASSERT_EQ(run(o), 0) << err_.str();
            EXPECT_EQ(ran_, 0);
            EXPECT_EQ(read("r.csv"), results);
            EXPECT_EQ(read("s.csv"), series);
            EXPECT_EQ(read("r.csv.json"), sidecar);
            EXPECT_EQ(files(), (std::vector<std::string>{"d.csv", "r.csv", "r.csv.json", "s.csv", "whole-s.csv",
                                                          "whole.csv", "whole.csv.json"}));
        }
    }
    // A results file short of a condition, or a per-series file short of a
    // series: not this run's commit.
    state(true, false);
    write("r.csv", results.substr(0, results.rfind("\n3,1,") + 1));
    ASSERT_EQ(run(o), 0) << err_.str();
    EXPECT_EQ(ran_, 3);
    EXPECT_EQ(read("r.csv"), results);
    state(true, false);
    write("s.csv", series.substr(0, series.size() - 10));
    ASSERT_EQ(run(o), 0) << err_.str();
    EXPECT_EQ(ran_, 3);
    EXPECT_EQ(read("s.csv"), series);
}
