// Input files read whole under a size limit: regular files by their size,
// devices and FIFOs until the limit is passed.
#include "boundedread.h"

#include "test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

struct Read {
    bool ok;
    std::string text;
    std::string error;
};

Read readUpTo(const std::string& path, std::uint64_t limit) {
    Read r;
    r.text = "stale";
    r.ok = readBoundedFile(path, limit, r.text, r.error);
    return r;
}

}  // namespace

TEST(BoundedRead, EndlessInputsStopAtTheLimit) {
    const auto start = std::chrono::steady_clock::now();
    Read r = readUpTo("/dev/zero", kMiB);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "is larger than 1 MiB, the limit for one input file");
    EXPECT_EQ(r.text, "");

    // A FIFO fed forever.
    ScratchDirectory dir;
    const std::string fifo = dir.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        ::execl("/bin/sh", "sh", "-c", ("exec yes > '" + fifo + "'").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    r = readUpTo(fifo, kMiB);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "is larger than 1 MiB, the limit for one input file");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(BoundedRead, ARegularFileIsJudgedByItsSize) {
    ScratchDirectory dir;
    const std::string path = dir.write("big.csv", "");
    std::filesystem::resize_file(path, 3 * kMiB);  // sparse: nothing to read
    Read r = readUpTo(path, 2 * kMiB);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "is larger than 2 MiB, the limit for one input file");
    r = readUpTo(path, 3 * kMiB);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.text.size(), 3 * kMiB);

    r = readUpTo(dir.write("small.csv", "a,b\n1,2\n"), 8);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.text, "a,b\n1,2\n");
    r = readUpTo(dir.write("empty.csv", ""), 0);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(kInputFileLimit, std::uint64_t{1} << 30) << "the documented limit";
}

TEST(BoundedRead, NamesWhatCannotBeRead) {
    ScratchDirectory dir;
    Read r = readUpTo(dir.path("missing.csv"), kMiB);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "cannot be opened: No such file or directory");
    r = readUpTo(dir.directory().string(), kMiB);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "is a directory");
    EXPECT_EQ(r.text, "");
}

TEST(BoundedRead, ALineLimitStopsEndlessLinesEarly) {
    Read r;
    r.ok = readBoundedFile("/dev/zero", std::uint64_t{1} << 30, r.text, r.error, kMiB);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "has a line longer than 1 MiB (line 1), the limit for one line");
    EXPECT_EQ(r.text, "");

    // Line ends of every kind count; a long line after short ones is found on its line.
    ScratchDirectory dir;
    const std::string path = dir.path("lines.csv");
    std::ofstream(path, std::ios::binary) << "a\r\nb\rc\n" << std::string(20, 'x') << "\n";
    r.ok = readBoundedFile(path, kMiB, r.text, r.error, 20);
    EXPECT_TRUE(r.ok) << r.error;
    r.ok = readBoundedFile(path, kMiB, r.text, r.error, 19);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "has a line longer than 19 bytes (line 4), the limit for one line");
}
