// One writer per output: the lock file, a second taker refused at once with
// the holder named, release, stale lock files and planted ones.
#include "outputlock.h"

#include "test.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string hostName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

// Another process that holds the lock on `output` until it is told to let
// go (a byte on its pipe); returns its pid after it has taken the lock.
struct OtherHolder {
    pid_t pid = -1;
    int release = -1;

    explicit OtherHolder(const std::string& output) {
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            OutputLock lock(output);
            const char state = lock.held() ? 'H' : 'F';
            [[maybe_unused]] ssize_t n = ::write(fromChild[1], &state, 1);
            char go;
            n = ::read(toChild[0], &go, 1);
            ::_exit(0);  // the lock file stays, as after a kill
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        release = toChild[1];
        char state = 0;
        if (::read(fromChild[0], &state, 1) != 1 || state != 'H') pid = -1;
        ::close(fromChild[0]);
    }
    ~OtherHolder() {
        if (release >= 0) ::close(release);
        if (pid > 0) ::waitpid(pid, nullptr, 0);
    }
};

}  // namespace

TEST(OutputLock, ASecondRunOnTheSameOutputIsRefusedNamingTheFirst) {
    ScratchDirectory dir;
    const std::string output = dir.path("r.csv");
    {
        OtherHolder other(output);
        ASSERT_GT(other.pid, 0);
        OutputLock second(output);
        EXPECT_EQ(second.state(), OutputLock::State::Busy);
        const std::string expected = output + " is being written by another run (process " +
                                     std::to_string(other.pid) + " on host " + hostName() + ", started ";
        EXPECT_EQ(second.message().rfind(expected, 0), 0u) << second.message();
        EXPECT_EQ(second.message().substr(second.message().size() - 5), " UTC)");
    }
    // The holder ended without removing its lock file: the next run takes it.
    EXPECT_TRUE(fs::exists(output + ".lock"));
    OutputLock next(output);
    ASSERT_TRUE(next.held()) << next.message();
    EXPECT_EQ(dir.read("r.csv.lock").rfind("process " + std::to_string(::getpid()) + " on host ", 0), 0u);
}

TEST(OutputLock, ReleaseRemovesTheLockFileAndFreesTheOutput) {
    ScratchDirectory dir;
    const std::string output = dir.path("r.csv");
    OutputLock first(output);
    ASSERT_TRUE(first.held()) << first.message();
    EXPECT_EQ(first.lockPath(), output + ".lock");
    OutputLock again(output);
    EXPECT_EQ(again.state(), OutputLock::State::Busy) << "a second lock in the same process is refused too";
    OutputLock moved(std::move(first));
    EXPECT_TRUE(moved.held());
    EXPECT_FALSE(first.held());
    moved.release();
    EXPECT_EQ(moved.state(), OutputLock::State::Released);
    EXPECT_EQ(dir.files(), std::vector<std::string>{});
    OutputLock third(output);
    EXPECT_TRUE(third.held());
}

TEST(OutputLock, AChildProcessDoesNotInheritTheLock) {
    ScratchDirectory dir;
    const std::string output = dir.path("r.csv");
    pid_t child = 0;
    {
        OutputLock lock(output);
        ASSERT_TRUE(lock.held());
        char sh[] = "sh";
        char flag[] = "-c";
        char body[] = "sleep 2";
        char* argv[] = {sh, flag, body, nullptr};
        ASSERT_EQ(::posix_spawnp(&child, "sh", nullptr, nullptr, argv, environ), 0);
    }
    OutputLock next(output);
    EXPECT_TRUE(next.held()) << next.message();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

TEST(OutputLock, APlantedLinkOrDirectoryIsNotFollowed) {
    ScratchDirectory dir;
    const std::string victim = dir.write("victim.txt", "precious\n");
    fs::create_symlink(victim, dir.path("r.csv.lock"));
    OutputLock viaLink(dir.path("r.csv"));
    EXPECT_EQ(viaLink.state(), OutputLock::State::Failed);
    EXPECT_EQ(viaLink.message(), "cannot open the lock file " + dir.path("r.csv.lock") + ": Too many levels of symbolic links");
    EXPECT_EQ(dir.read("victim.txt"), "precious\n");

    fs::create_directory(dir.path("s.csv.lock"));
    OutputLock viaDirectory(dir.path("s.csv"));
    EXPECT_EQ(viaDirectory.state(), OutputLock::State::Failed);
    EXPECT_NE(viaDirectory.message().find("s.csv.lock"), std::string::npos);

    OutputLock nowhere(dir.path("missing/r.csv"));
    EXPECT_EQ(nowhere.state(), OutputLock::State::Failed);
    EXPECT_EQ(nowhere.message(), "cannot open the lock file " + dir.path("missing/r.csv.lock") + ": No such file or directory");
}
