// What the tests share: bit-exact float comparison, a scripted generator
// source, models and rows written in one line, a scratch directory, reading a file, splitting a CSV line, and one
// way to run the built program with arguments and input and see its exit
// status and both streams.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mersenne.h"
#include "model.h"
#include "statistic.h"

// ---- Floats ------------------------------------------------------------------

inline std::int64_t orderedBits(float v) {
    std::int32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b < 0 ? -static_cast<std::int64_t>(b & 0x7fffffff) : b;
}

// Equal bits, or both NaN; a failure shows both values as hexfloats with
// their distance in units in the last place.
inline ::testing::AssertionResult sameFloat(float actual, float expected) {
    if (std::isnan(actual) && std::isnan(expected)) return ::testing::AssertionSuccess();
    std::uint32_t a, e;
    std::memcpy(&a, &actual, sizeof a);
    std::memcpy(&e, &expected, sizeof e);
    if (a == e) return ::testing::AssertionSuccess();
    std::ostringstream out;
    out << std::hexfloat << actual << " (" << std::defaultfloat << actual << ") vs expected " << std::hexfloat
        << expected << " (" << std::defaultfloat << expected << ")";
    if (!std::isnan(actual) && !std::isnan(expected))
        out << ", " << std::llabs(orderedBits(actual) - orderedBits(expected)) << " ulp apart";
    return ::testing::AssertionFailure() << out.str();
}

#define EXPECT_BITS(actual, expected) EXPECT_TRUE(sameFloat((actual), (expected)))

// ---- The generator ---------------------------------------------------------

namespace test_detail {

inline std::uint32_t undoRightShift(std::uint32_t y, int s) {
    std::uint32_t x = y;
    for (int k = 0; k < 32 / s + 1; ++k) x = y ^ (x >> s);
    return x;
}

inline std::uint32_t undoLeftShift(std::uint32_t y, int s, std::uint32_t mask) {
    std::uint32_t x = y;
    for (int k = 0; k < 32 / s + 1; ++k) x = y ^ ((x << s) & mask);
    return x;
}

inline std::uint32_t untemper(std::uint32_t y) {
    y = undoRightShift(y, 18);
    y = undoLeftShift(y, 15, 0xefc60000U);
    y = undoLeftShift(y, 7, 0x9d2c5680U);
    return undoRightShift(y, 11);
}

}  // namespace test_detail

// A generator whose next genrand outputs are exactly `outputs` (at most 624
// of them), for forcing each branch of a routine that draws.
inline Rng scriptedRng(const std::vector<std::uint32_t>& outputs) {
    Rng rng;
    sgenrand(rng, 1);
    rng.mti = 0;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        rng.mt[i] = test_detail::untemper(outputs[i]);
        EXPECT_EQ(mt_detail::temper(rng.mt[i]), outputs[i]);
    }
    return rng;
}

// ---- Models ------------------------------------------------------------------

// The model of the dialogue's entries, in the order it asks for them.
inline ModelParameters modelOf(int nA, int nB, float b1, float b2, float b3, float sa, float sb, float ar,
                               float ma) {
    return ModelParameters{nA, nB, b1, b2, b3, sa, sb, ar, ma};
}

// A row of the values n, n - 1, .. 1 with their running sum and, for a
// statistic with a test, p-values of which every third one is significant.
inline StatisticRow descendingRow(Statistic statistic, int n) {
    StatisticRow r;
    r.statistic = statistic;
    for (int i = n; i >= 1; --i) {
        r.values.push_back(static_cast<float>(i));
        r.sum = r.sum + static_cast<float>(i);
    }
    if (statisticInfo(statistic).hasTest) {
        for (int i = 0; i < n; ++i) r.pValues.push_back(i % 3 == 0 ? 0.01f : 0.5f);
        r.significant = (n + 2) / 3;
    }
    return r;
}

// ---- Files -------------------------------------------------------------------

// The message of the Error that action throws, or "(no error)" when it
// throws none; other exceptions pass.
template <class Error, class Action>
std::string thrownMessage(const Action& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

// How often `what` occurs in text, overlapping occurrences included.
inline std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The whole file; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A directory of its own for a test that writes files, removed with it.
class ScratchDirectory {
public:
    ScratchDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zelkor-test-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
    }
    ~ScratchDirectory() { std::filesystem::remove_all(dir_); }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& directory() const { return dir_; }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Writes text to the named file; returns its path.
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }

    std::string read(const std::string& name) const { return readFile(path(name)); }

    bool exists(const std::string& name) const { return std::filesystem::exists(path(name)); }

    // The names of the files in the directory, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path dir_;
};

// ---- CSV ---------------------------------------------------------------------

// The fields of one line of a file the program wrote (no quoted fields).
inline std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

// ---- The built program -------------------------------------------------------

#ifdef ZELKOR_BINARY

// Where the program's standard output goes.
enum class Stdout {
    Capture,    // a file, read back into ProgramRun::out
    Full,       // /dev/full: every write fails with ENOSPC
    Closed,     // no descriptor 1 at all
    BrokenPipe  // a pipe whose reading end is closed
};

struct ProgramRun {
    bool exited = false;
    int status = -1;  // the exit status when it exited
    int signal = 0;   // the terminating signal otherwise
    std::string out;
    std::string err;
};

// Runs the built program with args and input on standard input, in
// `directory` when one is given; standard error is captured, standard
// output as `mode` says.  A `wrapper` (a command found on PATH with its
// arguments, such as strace) runs the program instead: wrapper... PROGRAM args.
inline ProgramRun runBinary(const std::vector<std::string>& args, const std::string& input = "",
                            Stdout mode = Stdout::Capture, const std::string& directory = "",
                            const std::vector<std::string>& wrapper = {}) {
    const ScratchDirectory streams;
    const std::string inPath = streams.write("in", input);
    const std::string outPath = streams.write("out", "");
    const std::string errPath = streams.path("err");
    std::vector<std::string> copies(wrapper);
    copies.push_back(ZELKOR_BINARY);
    copies.insert(copies.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
        dup2(open(inPath.c_str(), O_RDONLY), 0);
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        switch (mode) {
            case Stdout::Capture: dup2(open(outPath.c_str(), O_WRONLY | O_TRUNC), 1); break;
            case Stdout::Full: dup2(open("/dev/full", O_WRONLY), 1); break;
            case Stdout::Closed: close(1); break;
            case Stdout::BrokenPipe: {
                int fds[2];
                if (pipe(fds) != 0) _exit(127);
                close(fds[0]);
                dup2(fds[1], 1);
                break;
            }
        }
        signal(SIGPIPE, SIG_DFL);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    ProgramRun run;
    int raw = 0;
    waitpid(pid, &raw, 0);
    run.exited = WIFEXITED(raw);
    if (run.exited) run.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) run.signal = WTERMSIG(raw);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

#endif
