// Memory: the figure a run's per-series arrays need and the ceiling it must
// fit under, and running out of memory anywhere (main thread, worker, a
// study run halfway) ending in one line and exit status 1, resumable.
#include "memorybudget.h"
#include "mersenne.h"
#include "outofmemory.h"

#include "test.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <new>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZELKOR_SANITIZED 1
#endif

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
const std::string kLine = kOutOfMemoryLine;

struct Finished {
    int status = -1;  // exit status; 128 + signal when killed
    std::string out;
    std::string err;
};

// Starts the built program in `dir` with `args`, `input` on standard input
// and its address space limited to `limit` bytes (0: no limit).
pid_t start(const ScratchDirectory& dir, const std::vector<std::string>& args, const std::string& input,
            std::uint64_t limit) {
    dir.write(".in", input);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.directory().c_str()) != 0) ::_exit(126);
        if (limit > 0) {
            const rlimit as{limit, limit};
            ::setrlimit(RLIMIT_AS, &as);
        }
        ::dup2(::open(".in", O_RDONLY), 0);
        ::dup2(::open(".out", O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(".err", O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> argv;
        std::string program = ZELKOR_BINARY;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

Finished wait(const ScratchDirectory& dir, pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    Finished f;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    f.out = dir.read(".out");
    f.err = dir.read(".err");
    return f;
}

Finished run(const ScratchDirectory& dir, const std::vector<std::string>& args, const std::string& input = "",
             std::uint64_t limit = 0) {
    return wait(dir, start(dir, args, input, limit));
}

// The least address space (in 64 KiB steps) in which the program starts
// and answers --version.
std::uint64_t startingAddressSpace(const ScratchDirectory& dir) {
    for (std::uint64_t limit = 4 * kMiB; limit < 64 * kMiB; limit += 64 * 1024) {
        if (run(dir, {"--version"}, "", limit).status == 0) return limit;
    }
    return 0;
}

std::uint64_t virtualSize(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
    }
    return 0;
}

std::size_t lineCount(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

void allocateTooMuch() {
    void* volatile p = ::operator new(std::size_t{1} << 62);
    ::operator delete(p);
}

}  // namespace

// ---- Running out ------------------------------------------------------------------------

#ifndef ZELKOR_SANITIZED
TEST(OutOfMemoryDeathTest, AFailedAllocationInAnyThreadEndsWithOneLine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            installOutOfMemoryHandler();
            allocateTooMuch();
        },
        testing::ExitedWithCode(1), "^zelkor: out of memory: an allocation failed; the program was stopped\n$");
    EXPECT_EXIT(
        {
            installOutOfMemoryHandler();
            std::thread worker(allocateTooMuch);
            worker.join();
        },
        testing::ExitedWithCode(1), "^zelkor: out of memory");
    // A bad_alloc thrown without operator new, escaping a worker.
    EXPECT_EXIT(
        {
            installOutOfMemoryHandler();
            std::thread worker([] { throw std::bad_array_new_length(); });
            worker.join();
        },
        testing::ExitedWithCode(1), "^zelkor: out of memory");
    // Other exceptions still end as before.
    EXPECT_DEATH(
        {
            installOutOfMemoryHandler();
            std::thread worker([] { throw std::runtime_error("not memory"); });
            worker.join();
        },
        "not memory");
}

TEST(OutOfMemory, TheDialogueEndsWithOneLineInsteadOfAnAbort) {
    ScratchDirectory dir;
    const std::uint64_t least = startingAddressSpace(dir);
    ASSERT_GT(least, 0u);
    // The largest option-2 design, in just the room to start.
    Finished f = run(dir, {}, "2\n\n100 100 0 0 0 1 1 0 0\n", least);
    EXPECT_EQ(f.status, 1);
    EXPECT_EQ(f.err, kLine);
    EXPECT_EQ(f.out.rfind("ZELKOR", 0), 0u) << "what was written before is flushed";

    // Whatever the room, a run ends complete or with the line: never an abort.
    const std::string input = "1\n\n5 5 0 0 0 1 1 0 0\n";
    const std::string whole = run(dir, {"--threads", "2"}, input).out;
    int outOfMemory = 0;
    for (std::uint64_t limit = least; limit <= least + kMiB; limit += 128 * 1024) {
        f = run(dir, {"--threads", "2"}, input, limit);
        if (f.status == 0) {
            EXPECT_EQ(f.out, whole) << limit;
        } else {
            ++outOfMemory;
            EXPECT_EQ(f.status, 1) << limit;
            EXPECT_EQ(f.err, kLine) << limit;
            EXPECT_EQ(whole.compare(0, f.out.size(), f.out), 0) << limit;
        }
    }
    EXPECT_GT(outOfMemory, 0);
}

// Workers' workspaces and the main thread's arrays run out at every room
// from the least the program starts in: a study run ends complete, or with
// the one line and exit status 1 and files that --resume completes to the
// bytes of a run that had room.
TEST(OutOfMemory, AStudyRunOutOfRoomEndsWithOneLineAndResumes) {
    const std::string design =
        "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1\n1,1,3,3,0,0,0,1,1,0,0\n"
        "2,2,8,8,0,1,0,1,1,0,0\n3,1,200,200,0,1,0,1,1,0,0.3\n";
    const std::vector<std::string> args = {"grid", "run", "d.csv", "--replications", "200", "--threads", "2",
                                           "--per-series", "s.csv", "-o", "r.csv"};
    ScratchDirectory whole;
    whole.write("d.csv", design);
    ASSERT_EQ(run(whole, args).status, 0);
    const std::uint64_t least = startingAddressSpace(whole);
    ASSERT_GT(least, 0u);
    std::vector<std::string> resume = args;
    resume.push_back("--resume");
    int outOfMemory = 0;
    // Room for no worker thread, for one, and for both (8 MiB of stack each).
    for (std::uint64_t limit = least; limit <= least + 24 * kMiB; limit += kMiB) {
        ScratchDirectory dir;
        dir.write("d.csv", design);
        const Finished f = run(dir, args, "", limit);
        if (f.status != 0) {
            ++outOfMemory;
            ASSERT_EQ(f.status, 1) << limit << ": " << f.err;
            EXPECT_EQ(f.err, kLine) << limit;
            const Finished resumed = run(dir, resume);
            ASSERT_EQ(resumed.status, 0) << limit << ": " << resumed.err;
        }
        EXPECT_TRUE(dir.read("r.csv") == whole.read("r.csv")) << limit;
        EXPECT_TRUE(dir.read("s.csv") == whole.read("s.csv")) << limit;
    }
    EXPECT_GT(outOfMemory, 0);
}
#endif

// A count of replications that cannot fit is refused before anything is
// written, with the figure and what limits it.
TEST(MemoryBudget, AStudyRunThatCannotFitIsRefusedWithTheFigure) {
    ScratchDirectory dir;
    dir.write("d.csv", "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1\n1,1,5,5,0,0,0,1,1,0,0\n");
    Finished f = run(dir, {"grid", "run", "d.csv", "--replications", "2147483647", "-o", "r.csv"});
    EXPECT_EQ(f.status, 2);
    EXPECT_EQ(f.err.rfind("zelkor: grid run: the run needs at least ", 0), 0u) << f.err;
    EXPECT_NE(f.err.find(" of memory for its per-series arrays; "), std::string::npos) << f.err;
#ifndef ZELKOR_SANITIZED
    f = run(dir, {"grid", "run", "d.csv", "--replications", "100000000", "-o", "r.csv"}, "", 1024 * kMiB);
    EXPECT_EQ(f.status, 2);
    EXPECT_EQ(f.err,
              "zelkor: grid run: the run needs at least 4.1 GiB of memory for its per-series arrays; the "
              "address-space limit (ulimit -v) is 1 GiB\n");
#endif
    f = run(dir, {"grid", "run", "d.csv", "--replications", "100000", "--per-series", "s.csv", "--max-memory", "10M",
                  "-o", "r.csv"});
    EXPECT_EQ(f.status, 2);
    EXPECT_EQ(f.err,
              "zelkor: grid run: the run needs at least 77.4 MiB of memory for its per-series arrays; "
              "--max-memory is 10 MiB\n");
    f = run(dir, {"grid", "run", "d.csv", "--replications", "100", "--max-memory", "lots", "-o", "r.csv"});
    EXPECT_EQ(f.status, 2);
    EXPECT_NE(f.err.find("'lots' is not a size"), std::string::npos) << f.err;
    EXPECT_EQ(dir.files(), (std::vector<std::string>{".err", ".in", ".out", "d.csv"}));
    f = run(dir, {"grid", "run", "d.csv", "--replications", "100", "--max-memory", "10M", "-o", "r.csv"});
    EXPECT_EQ(f.status, 0) << f.err;
}

#ifndef ZELKOR_SANITIZED

// Memory runs out halfway through a study: the partial files are left as a
// kill would leave them, and --resume completes them to the same bytes as
// a run that was never stopped.
TEST(OutOfMemory, AStudyRunStoppedHalfwayResumesToTheSameBytes) {
    const std::string design =
        "condition_id,option,n_a,n_b,trend,level,slope,sd_a,sd_b,ar1,ma1\n1,1,3,3,0,0,0,1,1,0,0\n2,1,3,3,0,1,0,1,1,0,0\n";
    // Each condition's per-series lines (about 27 MB) are built in memory,
    // which is mapped anew for every condition.
    const std::vector<std::string> args = {"grid", "run", "d.csv", "--replications", "150000", "--threads", "2",
                                           "--per-series", "s.csv", "-o", "r.csv"};
    ScratchDirectory whole;
    whole.write("d.csv", design);
    ASSERT_EQ(run(whole, args).status, 0);

    ScratchDirectory dir;
    dir.write("d.csv", design);
    const pid_t pid = start(dir, args, "", 0);
    // Once the first condition is in the partial file, the process may map
    // no more than it has.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (lineCount(dir.read("r.csv.partial")) < 7 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::uint64_t size = virtualSize(pid);
    const rlimit as{size - kMiB, size - kMiB};
    ASSERT_EQ(::prlimit(pid, RLIMIT_AS, &as, nullptr), 0);
    const Finished stopped = wait(dir, pid);
    ASSERT_EQ(stopped.status, 1) << stopped.err;
    EXPECT_EQ(stopped.err, kLine);
    EXPECT_TRUE(dir.exists("r.csv.partial"));
    EXPECT_FALSE(dir.exists("r.csv"));

    std::vector<std::string> resume = args;
    resume.push_back("--resume");
    const Finished resumed = run(dir, resume);
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(dir.read("r.csv"), whole.read("r.csv"));
    EXPECT_TRUE(dir.read("s.csv") == whole.read("s.csv"));
}
#endif

// ---- The figure and the ceiling --------------------------------------------------------------

TEST(MemoryBudget, CountsWhatScalesWithTheReplications) {
    const RunShape option1{6, 4, false};
    EXPECT_EQ(runMemory(option1, 10000), 10000 * (4 * 10 + 4));
    EXPECT_EQ(runMemory(option1, 10001), 10001 * (4 * 10 + 4));
    EXPECT_EQ(runMemory({6, 4, true}, 1000), 1000 * (44 + 2 * 64 * 6));
    // Option 2's blocks of one series no longer hold a generator state each.
    EXPECT_EQ(runMemory({2, 2, false}, 100000), 100000 * (4 * 4 + 4));
    EXPECT_EQ(runMemory(option1, 0), 0u);
    const std::optional<std::uint64_t> most = runMemory(option1, 2147483647);
    ASSERT_TRUE(most);
    EXPECT_GT(*most, std::uint64_t{80} << 30) << "--replications 2147483647: about 93 GB";
    EXPECT_FALSE(runMemory(option1, std::uint64_t{1} << 62)) << "past 64 bits";
}

TEST(MemoryBudget, TheCeilingIsTheLeastOfMachineAddressSpaceAndGroup) {
    const MemoryCeiling here = memoryCeiling();
    EXPECT_GT(here.bytes, 64 * kMiB);
    EXPECT_FALSE(here.source.empty());
#ifndef ZELKOR_SANITIZED  // the sanitizers' shadow memory needs more address space
    // Under ulimit -v the address-space limit binds.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit as{512 * kMiB, 512 * kMiB};
        ::setrlimit(RLIMIT_AS, &as);
        const MemoryCeiling limited = memoryCeiling();
        const std::string text = std::to_string(limited.bytes) + " " + limited.source;
        [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char buffer[256] = {};
    [[maybe_unused]] const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer - 1);
    ::close(pipeFds[0]);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(std::string(buffer), std::to_string(512 * kMiB) + " the address-space limit (ulimit -v)");
#endif

    EXPECT_EQ(memoryRefusal(100, {100, "x"}), "");
    EXPECT_EQ(memoryRefusal(std::uint64_t{80} << 30, {std::uint64_t{24} << 30, "the machine's physical memory"}),
              "the run needs at least 80 GiB of memory for its per-series arrays; the machine's physical memory is 24 GiB");
    EXPECT_EQ(memoryRefusal(5 * kMiB, {4 * kMiB, "--max-memory"}),
              "the run needs at least 5 MiB of memory for its per-series arrays; --max-memory is 4 MiB");
}

TEST(MemoryBudget, ReadsSizesForAnOption) {
    std::uint64_t bytes = 0;
    const std::vector<std::pair<const char*, std::uint64_t>> good = {
        {"4G", std::uint64_t{4} << 30}, {"512M", 512 * kMiB},  {"1.5GiB", std::uint64_t{3} << 29},
        {"100", 100},                   {"64kb", 64 * 1024},   {"2T", std::uint64_t{2} << 40},
        {"1b", 1}};
    for (const auto& [text, expected] : good) {
        ASSERT_TRUE(parseMemorySize(text, bytes)) << text;
        EXPECT_EQ(bytes, expected) << text;
    }
    for (const char* bad : {"", "G", "0", "-1G", "1.5", "1..5G", "4 G", "4X", "16777216T", "0.1"}) {
        EXPECT_FALSE(parseMemorySize(bad, bytes)) << bad;
    }
}
